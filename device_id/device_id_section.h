// The 32-byte cache of a device identifier that every process of one
// executable image shares (a shared PE section), and the rule by which a
// process claims it: the first to move the state from empty to filling
// generates; the others wait until it is ready and copy the identifier.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

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

// Runs the claim protocol on `section`. `fill_section` (called only by the
// claimer) writes the identifier into section.id; `generate_locally` makes it
// without touching the section when the claimer is gone without finishing.
//
// The claimer holds the named mutex `claim_mutex_name()` (machine-wide, one per
// image file and section) from before its claim until the section is ready.
// Filling may take long (one disk query alone may take 10 s), so a waiter waits
// on that mutex for as long as the claimer lives; when it gets the mutex and
// the section is still being filled, the claimer has died, and the waiter
// makes the identifier itself (from the same facts and profile, so normally
// the same value) and leaves the section alone. The section's 32 bytes are
// used exactly as every process of the image expects.
DeviceIdBytes ClaimDeviceId(DeviceIdSection& section, const std::function<std::wstring()>& claim_mutex_name,
                            const std::function<void()>& fill_section,
                            const std::function<DeviceIdBytes()>& generate_locally);

// "Global\" plus a name made of `tag` and the identity (volume and file
// index) of the image file that holds `section_address`: every process that
// shares that image's sections finds the same mutex, whatever path it was
// started by. Empty when the image file cannot be identified.
std::wstring SectionClaimMutexName(const void* section_address, std::string_view tag);

// 32 lower-case hex digits, two per byte in byte order.
std::string FormatDeviceId(const DeviceIdBytes& id);

}  // namespace device_id
