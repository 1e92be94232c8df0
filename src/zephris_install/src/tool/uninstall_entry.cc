#include "src/zephris_install/src/tool/uninstall_entry.h"

#include <windows.h>

#include <fmt/format.h>
#include <fmt/xchar.h>

#include <array>
#include <utility>

#include "base/registry.h"

std::wstring BuildUninstallCommand(const std::wstring& uninstaller_path) {
  return fmt::format(L"\"{}\" --{}={}", uninstaller_path, L"oem-uninstall", kProductDisplayText);
}

bool WriteUninstallEntry(const std::wstring& key_name, const std::wstring& uninstall_command,
                         const std::wstring& display_icon, const std::wstring& display_name,
                         const std::wstring& display_version, const std::wstring& publisher) {
  const std::wstring key = kUninstallKeyRoot + key_name;
  const std::array<std::pair<const wchar_t*, const std::wstring*>, 5> values = {{
      {L"DisplayIcon", &display_icon},
      {L"DisplayName", &display_name},
      {L"DisplayVersion", &display_version},
      {L"Publisher", &publisher},
      {L"UninstallString", &uninstall_command},
  }};
  bool all_written = true;
  for (const auto& [name, value] : values) {
    all_written = base::WriteRegString(HKEY_LOCAL_MACHINE, key, name, *value) && all_written;
  }
  return all_written;
}
