#include "src/zephris_install/src/boot/device_id_registry.h"

#include <windows.h>

#include "base/path_manager.h"
#include "base/registry.h"
#include "base/text_conversion.h"

void WriteDeviceIdToRegistry(const std::string& device_id) {
  const std::wstring key = base::PathManager::GetInstance().GetEnvKey();
  const std::wstring value = base::Utf8ToWide(device_id);
  base::WriteRegString(HKEY_LOCAL_MACHINE, key, L"svid", value);
  base::WriteRegString(HKEY_CURRENT_USER, key, L"svid", value);
}
