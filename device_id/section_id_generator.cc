#include "device_id/section_id_generator.h"

#include <cstring>

namespace device_id {
namespace {

DeviceIdBytes SectionBytes(const DeviceIdSection& section) {
  DeviceIdBytes id{};
  std::memcpy(id.data(), section.id, id.size());
  return id;
}

void StoreSectionBytes(DeviceIdSection& section, const DeviceIdBytes& id) {
  std::memcpy(section.id, id.data(), id.size());
}

}  // namespace

void GenerateIntoSection(DeviceIdSection& section, std::string_view vendor_folder) {
  DeviceIdBytes id = SectionBytes(section);
  GenerateDeviceId(ReadHardwareFacts(), RoamingAppDataDirA(), vendor_folder, id);
  StoreSectionBytes(section, id);
}

bool ReadProfileIntoSection(DeviceIdSection& section, const std::string& path, const ProfileDigests& digests,
                            bool mac_present, bool disk_present, bool cpu_present, bool& cpu_flag) {
  DeviceIdBytes id{};
  if (!ReadProfile(path, digests, mac_present, disk_present, cpu_present, cpu_flag, id)) return false;
  StoreSectionBytes(section, id);
  return true;
}

void WriteProfileFromSection(const DeviceIdSection& section, HANDLE file, const std::string& path,
                             const ProfileDigests& digests) {
  WriteProfile(file, path, digests, SectionBytes(section));
}

DeviceIdBytes GenerateOutsideSection(std::string_view vendor_folder) {
  DeviceIdBytes id{};
  GenerateDeviceId(ReadHardwareFacts(), RoamingAppDataDirA(), vendor_folder, id);
  return id;
}

}  // namespace device_id
