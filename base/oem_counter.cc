#include "base/oem_counter.h"

#include <windows.h>

#include "base/path_manager.h"
#include "base/registry.h"

namespace oem {

OemCounter& OemCounter::GetInstance() {
  static OemCounter instance;
  return instance;
}

OemCounter::OemCounter() : channel_bits_{{"vzt", 1}, {"dorn", 2}, {"vivo", 4}, {"tikogame", 8}} {}

void OemCounter::Record(std::string_view channel) {
  if (recorded_) return;
  recorded_ = true;
  const auto bit = channel_bits_.find(channel);
  if (bit == channel_bits_.end()) return;
  const std::wstring key = base::PathManager::GetInstance().GetRegistryKey(base::ComponentKind::kProduct);
  const uint64_t counter = base::ReadRegQword(HKEY_LOCAL_MACHINE, key, L"OemCounter", 0);
  const uint64_t updated = counter | bit->second;
  if (updated != counter) base::WriteRegQword(HKEY_LOCAL_MACHINE, key, L"OemCounter", updated);
}

}  // namespace oem
