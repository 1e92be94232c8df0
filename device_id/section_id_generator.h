// The design both device identifiers share: a generator that keeps its
// identifier bytes in one shared section of the image and its profile in one
// folder, and the claim protocol on that section. Each identifier binds the
// design to a section and a folder of its own, so the two never meet.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "device_id/device_id_section.h"
#include "device_id/seq_id_generator.h"

namespace device_id {

// A section of the image, as its identifier's accessor hands it out.
using SectionAccessor = DeviceIdSection& (*)();

// The generator steps over one section and profile folder.
void GenerateIntoSection(DeviceIdSection& section, std::string_view vendor_folder);
bool ReadProfileIntoSection(DeviceIdSection& section, const std::string& path, const ProfileDigests& digests,
                            bool mac_present, bool disk_present, bool cpu_present, bool& cpu_flag);
void WriteProfileFromSection(const DeviceIdSection& section, HANDLE file, const std::string& path,
                             const ProfileDigests& digests);
// The identifier made from the facts and the profile, leaving every section
// alone: what a process does when the claimer of a section died before it
// finished.
DeviceIdBytes GenerateOutsideSection(std::string_view vendor_folder);

template <SectionAccessor kSection, const char* kVendorFolder>
class SectionIdGenerator {
 public:
  virtual ~SectionIdGenerator() = default;

  // Reads the hardware facts and leaves the identifier in the section's
  // identifier bytes (the state word is the caller's). Always true.
  bool Generate() {
    GenerateIntoSection(kSection(), kVendorFolder);
    return true;
  }
  // On reuse the section's identifier bytes hold the stored identifier.
  bool ReadProfile(const std::string& path, const ProfileDigests& digests, bool mac_present, bool disk_present,
                   bool cpu_present, bool& cpu_flag) {
    return ReadProfileIntoSection(kSection(), path, digests, mac_present, disk_present, cpu_present, cpu_flag);
  }
  // Rewrites the profile from the section's identifier bytes.
  void WriteProfile(HANDLE file, const std::string& path, const ProfileDigests& digests) {
    WriteProfileFromSection(kSection(), file, path, digests);
  }
  Digest DigestHex(std::string_view text) { return device_id::DigestHex(text); }
  ProfileFile OpenProfileFile() { return device_id::OpenProfileFile(RoamingAppDataDirA(), kVendorFolder); }
};

// The mutex a claimer of the section holds while it fills it; the profile
// folder tells the two identifiers apart.
template <SectionAccessor kSection, const char* kVendorFolder>
std::wstring SectionClaimMutexName() {
  return device_id::SectionClaimMutexName(&kSection(), kVendorFolder);
}

// The 16 identifier bytes by the claim protocol on the section: the claimer
// fills it with a generator of its own; a waiter whose claimer died makes the
// identifier from the same folder's profile.
template <SectionAccessor kSection, const char* kVendorFolder>
DeviceIdBytes ClaimSectionDeviceId() {
  return ClaimDeviceId(
      kSection(), [] { return SectionClaimMutexName<kSection, kVendorFolder>(); },
      [] { SectionIdGenerator<kSection, kVendorFolder>().Generate(); },
      [] { return GenerateOutsideSection(kVendorFolder); });
}

}  // namespace device_id
