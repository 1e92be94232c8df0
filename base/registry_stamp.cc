#include "base/registry_stamp.h"

#include <windows.h>

#include <chrono>

#include "base/path_manager.h"
#include "base/registry.h"

namespace base {
namespace {

std::wstring ProductSubkey(const wchar_t* name) {
  return PathManager::GetInstance().GetRegistryKey(ComponentKind::kProduct) + L"\\" + name;
}

uint64_t NowUnixMilliseconds() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

}  // namespace

MarkStore::MarkStore(std::wstring_view name) : name_(name), key_(ProductSubkey(L"Mark")) {}

bool MarkStore::IsSet() const { return ReadRegQword(HKEY_CURRENT_USER, key_, name_, 0) != 0; }

bool MarkStore::Set() const { return WriteRegQword(HKEY_CURRENT_USER, key_, name_, 1); }

DurationStamp::DurationStamp(std::wstring_view name)
    : name_(name), key_(name.empty() ? std::wstring() : ProductSubkey(L"Duration")) {}

bool DurationStamp::Record() {
  const uint64_t now = NowUnixMilliseconds();
  if (key_.empty()) {
    time_ = now;
    return true;
  }
  return WriteRegQword(HKEY_CURRENT_USER, key_, name_, now);
}

}  // namespace base
