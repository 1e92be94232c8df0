// The product's own device identifier: a second generator of the same design
// as the telemetry one, with its own ".TUGuid" section and its own profile,
// so the two are cached and reused independently.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "device_id/device_id_section.h"
#include "device_id/seq_id_generator.h"

namespace base {

// 32 lower-case hex digits. Every call runs the claim protocol on the section
// (no text is kept): the first call of a section lifetime generates, later
// ones copy.
std::string GetTuvoDeviceId();

namespace tuvo_guid {

// Profile: <app data>\Orvalis\Pellgrave\GlobalMgr.db.
inline constexpr char kProfileFolder[] = "Pellgrave";

class CSeqIDGenerator {
 public:
  virtual ~CSeqIDGenerator() = default;

  // Leaves the identifier in the ".TUGuid" section's identifier bytes.
  bool Generate();
  bool ReadProfile(const std::string& path, const device_id::ProfileDigests& digests, bool mac_present,
                   bool disk_present, bool cpu_present, bool& cpu_flag);
  void WriteProfile(HANDLE file, const std::string& path, const device_id::ProfileDigests& digests);
  device_id::Digest DigestHex(std::string_view text);
  device_id::ProfileFile OpenProfileFile();
};

// This image's ".TUGuid" section.
device_id::DeviceIdSection& DeviceIdSection();

}  // namespace tuvo_guid
}  // namespace base
