// The telemetry client's device identifier: the generator, and the ".ZUGuid"
// section of the executable that caches the identifier for every process of
// the same image.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "device_id/device_id_section.h"
#include "device_id/seq_id_generator.h"

namespace ZUMacID {

// Profile: <app data>\Orvalis\vireon\GlobalMgr.db.
inline constexpr char kProfileFolder[] = "vireon";

class CSeqIDGenerator {
 public:
  virtual ~CSeqIDGenerator() = default;

  // Reads the hardware facts and leaves the identifier in the section's
  // identifier bytes (the state word is the caller's). Always true.
  bool Generate();
  // On reuse the section's identifier bytes hold the stored identifier.
  bool ReadProfile(const std::string& path, const device_id::ProfileDigests& digests, bool mac_present,
                   bool disk_present, bool cpu_present, bool& cpu_flag);
  // Rewrites the profile from the section's identifier bytes.
  void WriteProfile(HANDLE file, const std::string& path, const device_id::ProfileDigests& digests);
  device_id::Digest DigestHex(std::string_view text);
};

// This image's ".ZUGuid" section.
device_id::DeviceIdSection& DeviceIdSection();

// The 16 identifier bytes: from the section when another process of this
// image made them, otherwise generated (and published there).
device_id::DeviceIdBytes ComputeVireonDeviceId();

}  // namespace ZUMacID
