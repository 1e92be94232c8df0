#include "device_id/seq_id_generator.h"

#include <shlobj.h>

#include <cstring>

#include <fmt/format.h>

#include "base/failure_boundary.h"
#include "base/md5.h"
#include "device_id/hardware_sources.h"

namespace device_id {
namespace {

constexpr char kSection[] = "Profile";
constexpr char kProfileFileName[] = "GlobalMgr.db";

std::string ReadProfileText(const std::string& path, const char* key) {
  char value[33] = {};  // at most 32 characters; a longer value is cut
  ::GetPrivateProfileStringA(kSection, key, "", value, sizeof(value), path.c_str());
  return value;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Two characters per byte. A pair that does not begin with a hex digit keeps
// the value of the pair before it.
DeviceIdBytes ParseStoredId(const std::string& text) {
  DeviceIdBytes id{};
  unsigned value = 0;
  for (std::size_t i = 0; i < id.size(); ++i) {
    const int high = HexValue(text[i * 2]);
    if (high >= 0) {
      const int low = HexValue(text[i * 2 + 1]);
      value = low >= 0 ? static_cast<unsigned>(high * 16 + low) : static_cast<unsigned>(high);
    }
    id[i] = static_cast<uint8_t>(value);
  }
  return id;
}

bool MakeFolder(const std::string& path) {
  if (::CreateDirectoryA(path.c_str(), nullptr)) return true;
  const DWORD error = ::GetLastError();
  return error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED;
}

bool WriteAll(HANDLE file, const std::string& text) {
  DWORD written = 0;
  return ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != FALSE;
}

}  // namespace

HardwareFacts ReadHardwareFacts(base::DeviceIo& io) {
  HardwareFacts facts;
  MacAddress mac{};
  GetMacAddress(mac);
  facts.mac_text = FormatMacText(mac);
  DiskIdentity disk;
  if (GetDiskIdentity(disk, io)) facts.disk_text = disk.serial + disk.model + disk.firmware;
  std::string brand = GetCpuBrandString();
  if (!brand.empty()) facts.cpu_brand = std::move(brand);
  return facts;
}

Digest DigestHex(std::string_view text) {
  base::Md5Context md5;
  md5.Update(text.data(), text.size());
  Digest digest;
  digest.bytes = md5.Final();
  digest.hex = FormatDeviceId(digest.bytes);
  return digest;
}

std::optional<std::string> RoamingAppDataDirA() {
  char path[MAX_PATH + 1] = {};
  if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path))) {
    return std::nullopt;
  }
  return std::string(path);
}

ProfileFile OpenProfileFile(const std::optional<std::string>& app_data_dir, std::string_view vendor_folder) {
  ProfileFile profile;
  if (!app_data_dir) return profile;
  std::string folder = *app_data_dir + "\\Orvalis";
  if (!MakeFolder(folder)) return profile;
  folder += "\\";
  folder += vendor_folder;
  if (!MakeFolder(folder)) return profile;
  std::string path = folder + "\\" + kProfileFileName;

  constexpr DWORD kAccess = GENERIC_READ | GENERIC_WRITE;
  constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
  profile.file.Reset(::CreateFileA(path.c_str(), kAccess, kShare, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (profile.file) {
    profile.code = kProfileExisted;
  } else if (::GetLastError() == ERROR_FILE_NOT_FOUND) {
    profile.file.Reset(::CreateFileA(path.c_str(), kAccess, kShare, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    profile.code = profile.file ? kProfileCreated : kProfileUnavailable;
  } else {
    profile.code = kProfileUnavailable;
  }
  if (profile.file) profile.path = std::move(path);
  return profile;
}

bool ReadProfile(const std::string& path, const ProfileDigests& digests, bool mac_present, bool disk_present,
                 bool cpu_present, bool& cpu_flag, DeviceIdBytes& id) {
  cpu_flag = false;
  const std::string stored_id = ReadProfileText(path, "config1");
  const std::string stored_mac = ReadProfileText(path, "config2");
  const std::string stored_disk = ReadProfileText(path, "config3");
  const std::string stored_cpu = ReadProfileText(path, "config4");
  const UINT written_whole = ::GetPrivateProfileIntA(kSection, "config5", 0, path.c_str());

  const bool match = EqualsIgnoringAsciiCase(stored_cpu, digests.cpu) &&
                     (EqualsIgnoringAsciiCase(stored_mac, digests.mac) ||
                      EqualsIgnoringAsciiCase(stored_disk, digests.disk));
  if (stored_id.size() != 32) return false;

  const int stored_count = !stored_mac.empty() + !stored_disk.empty() + !stored_cpu.empty();
  const int present_count = mac_present + disk_present + cpu_present;
  const bool candidate = match && present_count <= stored_count;

  bool reuse = false;
  if (written_whole != 0 || !cpu_present || (!stored_mac.empty() && !stored_disk.empty()) || present_count == 3 ||
      present_count < stored_count) {
    reuse = candidate;
  } else {
    // A profile from before the CPU brand was hashed: make the identifier
    // again, this time with the brand.
    cpu_flag = true;
  }
  if (reuse) id = ParseStoredId(stored_id);
  return reuse;
}

std::string ProfileText(const ProfileDigests& digests, const DeviceIdBytes& id) {
  return fmt::format("[Profile]\r\nconfig1={}\r\nconfig2={}\r\nconfig3={}\r\nconfig4={}\r\nconfig5=1\r\n",
                     FormatDeviceId(id), digests.mac, digests.disk, digests.cpu);
}

void WriteProfile(HANDLE file, const std::string& path, const ProfileDigests& digests, const DeviceIdBytes& id) {
  base::NoThrowOr(false, [&] {
    if (::SetFilePointer(file, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER) ::SetEndOfFile(file);
    const std::string text = ProfileText(digests, id);
    DWORD high = 0;
    const DWORD low = ::GetFileSize(file, &high);
    if (low == 0 && high == 0) return WriteAll(file, text);
    // The file could not be cut through the caller's handle: write it anew.
    base::ScopedKernelHandle again(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    return again && WriteAll(again.Get(), text);
  });
}

void GenerateDeviceId(const HardwareFacts& facts, const std::optional<std::string>& app_data_dir,
                      std::string_view vendor_folder, DeviceIdBytes& id) {
  base::NoThrowOr(false, [&] {
    ProfileDigests digests;
    digests.mac = DigestHex(facts.mac_text).hex;
    if (facts.disk_text) digests.disk = DigestHex(*facts.disk_text).hex;
    if (facts.cpu_brand) digests.cpu = DigestHex(*facts.cpu_brand).hex;

    ProfileFile profile = OpenProfileFile(app_data_dir, vendor_folder);
    bool cpu_flag = false;
    if (profile.file && profile.code == kProfileExisted &&
        ReadProfile(profile.path, digests, true, facts.disk_text.has_value(), facts.cpu_brand.has_value(), cpu_flag,
                    id)) {
      return true;
    }

    std::string input = facts.mac_text;
    if (facts.disk_text) input += *facts.disk_text;
    if (cpu_flag && facts.cpu_brand) input += *facts.cpu_brand;
    id = DigestHex(input).bytes;

    if (profile.file) WriteProfile(profile.file.Get(), profile.path, digests, id);
    return true;
  });
}

}  // namespace device_id
