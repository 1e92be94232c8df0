#include "device_id/device_id_section.h"

#include <cstring>

#include <fmt/format.h>

#include "base/failure_boundary.h"

namespace device_id {

DeviceIdBytes ClaimDeviceId(DeviceIdSection& section, const std::function<void()>& fill_section,
                            const std::function<DeviceIdBytes()>& generate_locally,
                            std::chrono::milliseconds wait_limit) {
  DeviceIdBytes id{};
  if (::InterlockedCompareExchange(&section.state, kSectionFilling, kSectionEmpty) == kSectionEmpty) {
    fill_section();
    std::memcpy(id.data(), section.id, id.size());
    ::InterlockedExchange(&section.state, kSectionReady);
    return id;
  }
  const auto deadline = std::chrono::steady_clock::now() + wait_limit;
  while (section.state == kSectionFilling) {
    if (std::chrono::steady_clock::now() >= deadline) return generate_locally();
    ::SwitchToThread();
  }
  ::MemoryBarrier();  // the identifier bytes were published before the state
  std::memcpy(id.data(), section.id, id.size());
  return id;
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
