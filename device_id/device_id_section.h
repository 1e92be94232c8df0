// The 32-byte cache of a device identifier that every process of one
// executable image shares (a shared PE section), and the rule by which a
// process claims it: the first to move the state from empty to filling
// generates; the others wait until it is ready and copy the identifier.
#pragma once

#include <windows.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace device_id {

using DeviceIdBytes = std::array<uint8_t, 16>;

struct DeviceIdSection {
  volatile LONG state;  // kSectionEmpty, kSectionFilling or kSectionReady
  uint8_t reserved[12];
  uint8_t id[16];
};
static_assert(sizeof(DeviceIdSection) == 32);

inline constexpr LONG kSectionEmpty = 0;
inline constexpr LONG kSectionFilling = 0xFF;
inline constexpr LONG kSectionReady = 1;

// How long a process waits for another one that claimed the section. The
// claimer may have died while filling it; the waiter then makes the
// identifier itself (from the same facts and profile, so normally the same
// value) and leaves the section alone.
inline constexpr std::chrono::milliseconds kClaimWaitLimit{3000};

// Runs the claim protocol on `section`. `fill_section` (called only by the
// claimer) writes the identifier into section.id; `generate_locally` makes it
// without touching the section when the wait runs out.
DeviceIdBytes ClaimDeviceId(DeviceIdSection& section, const std::function<void()>& fill_section,
                            const std::function<DeviceIdBytes()>& generate_locally,
                            std::chrono::milliseconds wait_limit = kClaimWaitLimit);

// 32 lower-case hex digits, two per byte in byte order.
std::string FormatDeviceId(const DeviceIdBytes& id);

}  // namespace device_id
