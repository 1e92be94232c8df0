#include "device_id/tuvo_guid.h"

#include <cstring>

namespace base {
namespace tuvo_guid {
namespace {

// One copy for all processes of the image, for as long as one of them runs.
__attribute__((section(".TUGuid"), shared, used)) device_id::DeviceIdSection g_section = {0, {}, {}};

device_id::DeviceIdBytes SectionBytes() {
  device_id::DeviceIdBytes id{};
  std::memcpy(id.data(), g_section.id, id.size());
  return id;
}

void StoreSectionBytes(const device_id::DeviceIdBytes& id) { std::memcpy(g_section.id, id.data(), id.size()); }

}  // namespace

bool CSeqIDGenerator::Generate() {
  device_id::DeviceIdBytes id = SectionBytes();
  device_id::GenerateDeviceId(device_id::ReadHardwareFacts(), device_id::RoamingAppDataDirA(), kProfileFolder, id);
  StoreSectionBytes(id);
  return true;
}

bool CSeqIDGenerator::ReadProfile(const std::string& path, const device_id::ProfileDigests& digests,
                                  bool mac_present, bool disk_present, bool cpu_present, bool& cpu_flag) {
  device_id::DeviceIdBytes id{};
  if (!device_id::ReadProfile(path, digests, mac_present, disk_present, cpu_present, cpu_flag, id)) return false;
  StoreSectionBytes(id);
  return true;
}

void CSeqIDGenerator::WriteProfile(HANDLE file, const std::string& path, const device_id::ProfileDigests& digests) {
  device_id::WriteProfile(file, path, digests, SectionBytes());
}

device_id::Digest CSeqIDGenerator::DigestHex(std::string_view text) { return device_id::DigestHex(text); }

device_id::ProfileFile CSeqIDGenerator::OpenProfileFile() {
  return device_id::OpenProfileFile(device_id::RoamingAppDataDirA(), kProfileFolder);
}

device_id::DeviceIdSection& DeviceIdSection() { return g_section; }

}  // namespace tuvo_guid

std::string GetTuvoDeviceId() {
  const device_id::DeviceIdBytes id = device_id::ClaimDeviceId(
      tuvo_guid::g_section,
      [] {
        tuvo_guid::CSeqIDGenerator generator;
        generator.Generate();
      },
      [] {
        device_id::DeviceIdBytes local{};
        device_id::GenerateDeviceId(device_id::ReadHardwareFacts(), device_id::RoamingAppDataDirA(),
                                    tuvo_guid::kProfileFolder, local);
        return local;
      });
  return device_id::FormatDeviceId(id);
}

}  // namespace base
