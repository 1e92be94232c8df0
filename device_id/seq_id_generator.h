// The device identifier generator shared by the telemetry identifier and the
// product's own one: an MD5 of hardware facts, kept in a profile file so a
// later run can keep its identifier when the hardware changed only in part.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "base/device_io.h"
#include "base/scoped_handle.h"
#include "device_id/device_id_section.h"

namespace device_id {

// The texts the identifier is hashed from.
struct HardwareFacts {
  std::string mac_text;                  // FormatMacText of GetMacAddress; always there
  std::optional<std::string> disk_text;  // serial, model and firmware joined; absent without a disk identity
  std::optional<std::string> cpu_brand;  // absent when empty
};
HardwareFacts ReadHardwareFacts(base::DeviceIo& io = base::SystemDeviceIo());

struct Digest {
  DeviceIdBytes bytes{};
  std::string hex;  // 32 lower-case digits
};
// MD5 of all the text's bytes.
Digest DigestHex(std::string_view text);

// Digests of the facts; an absent source has an empty digest.
struct ProfileDigests {
  std::string mac;
  std::string disk;
  std::string cpu;
};

// What OpenProfileFile reports.
enum ProfileOpenCode : int {
  kProfileCreated = 0,        // created empty, open
  kProfileNoFolder = 3,       // no application-data folder, or a folder could not be made
  kProfileExisted = 80,       // existed, open
  kProfileUnavailable = 1631  // could be neither opened nor created
};

struct ProfileFile {
  base::ScopedKernelHandle file;
  std::string path;  // set with a handle
  int code = kProfileNoFolder;
};

// The user's roaming application-data folder (ANSI), created when missing.
std::optional<std::string> RoamingAppDataDirA();

// Opens (or creates) <app data>\Orvalis\<vendor_folder>\GlobalMgr.db.
ProfileFile OpenProfileFile(const std::optional<std::string>& app_data_dir, std::string_view vendor_folder);

// Whether the identifier stored at `path` is kept; on keeping, `id` holds it.
// `cpu_flag` (cleared on entry) asks the caller to hash the CPU brand too.
bool ReadProfile(const std::string& path, const ProfileDigests& digests, bool mac_present, bool disk_present,
                 bool cpu_present, bool& cpu_flag, DeviceIdBytes& id);

// Rewrites the profile from `id` and the digests (config5 always 1).
void WriteProfile(HANDLE file, const std::string& path, const ProfileDigests& digests, const DeviceIdBytes& id);
// The text WriteProfile writes: ANSI, CRLF line ends, no byte-order mark.
std::string ProfileText(const ProfileDigests& digests, const DeviceIdBytes& id);

// The whole generator over given facts: reuses the profile's identifier when
// the facts still match it, otherwise hashes the facts into `id` and rewrites
// the profile. Without a profile the identifier is still made.
void GenerateDeviceId(const HardwareFacts& facts, const std::optional<std::string>& app_data_dir,
                      std::string_view vendor_folder, DeviceIdBytes& id);

}  // namespace device_id
