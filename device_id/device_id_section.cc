#include "device_id/device_id_section.h"

#include <cstring>

#include <fmt/format.h>
#include <fmt/xchar.h>

#include "base/failure_boundary.h"
#include "base/named_mutex.h"
#include "base/scoped_handle.h"
#include "base/text_conversion.h"

namespace device_id {

namespace {

DeviceIdBytes PublishedId(const DeviceIdSection& section) {
  ::MemoryBarrier();  // the identifier bytes were published before the state
  DeviceIdBytes id{};
  std::memcpy(id.data(), const_cast<const uint8_t*>(section.id), id.size());
  return id;
}

}  // namespace

DeviceIdBytes ClaimDeviceId(DeviceIdSection& section, const std::function<std::wstring()>& claim_mutex_name,
                            const std::function<void()>& fill_section,
                            const std::function<DeviceIdBytes()>& generate_locally) {
  if (section.state == kSectionReady) return PublishedId(section);

  // Taken before the claim and kept until the section is ready, so that
  // holding it while the section is being filled proves the claimer gone.
  // Released on every way out, a throwing fill included.
  struct ClaimMutex {
    base::ScopedKernelHandle handle;
    bool held = false;
    ~ClaimMutex() {
      if (held) ::ReleaseMutex(handle.Get());
    }
    void Release() {
      if (held) ::ReleaseMutex(handle.Get());
      held = false;
    }
  } mutex;
  const std::wstring name = base::NoThrowOr(std::wstring(), claim_mutex_name);
  if (!name.empty()) mutex.handle.Reset(::CreateMutexW(base::GetNullDaclSecurityAttributes(), FALSE, name.c_str()));
  if (mutex.handle) {
    const DWORD waited = ::WaitForSingleObject(mutex.handle.Get(), INFINITE);
    mutex.held = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;  // abandoned: its claimer died
  }

  if (::InterlockedCompareExchange(&section.state, kSectionFilling, kSectionEmpty) == kSectionEmpty) {
    fill_section();
    DeviceIdBytes id{};
    std::memcpy(id.data(), const_cast<const uint8_t*>(section.id), id.size());
    ::InterlockedExchange(&section.state, kSectionReady);
    return id;
  }
  if (mutex.held) {
    const bool claimer_gone = section.state == kSectionFilling;
    mutex.Release();
    return claimer_gone ? generate_locally() : PublishedId(section);
  }
  // Without the mutex the claimer cannot be watched: wait while it fills.
  while (section.state == kSectionFilling) ::SwitchToThread();
  return PublishedId(section);
}

std::wstring SectionClaimMutexName(const void* section_address, std::string_view tag) {
  return base::NoThrowOr(std::wstring(), [&] {
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<LPCWSTR>(section_address), &module)) {
      return std::wstring();
    }
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
      const DWORD length = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
      if (length == 0) return std::wstring();
      if (length < path.size()) {
        path.resize(length);
        break;
      }
      path.resize(path.size() * 2);
    }
    base::ScopedKernelHandle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !::GetFileInformationByHandle(file.Get(), &info)) return std::wstring();
    return fmt::format(L"Global\\QuilloraneDeviceIdClaim.{}.{:08x}.{:08x}{:08x}", base::Utf8ToWide(tag),
                       info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow);
  });
}

std::string FormatDeviceId(const DeviceIdBytes& id) {
  return base::NoThrowOr(std::string(), [&] {
    std::string text;
    text.reserve(32);
    for (const uint8_t byte : id) text += fmt::format("{:02x}", byte);
    return text;
  });
}

}  // namespace device_id
