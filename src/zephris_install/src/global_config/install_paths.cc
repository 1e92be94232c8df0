#include "src/zephris_install/src/global_config/install_paths.h"

#include <fmt/xchar.h>

#include "base/disk_drive_map.h"
#include "base/system_probe.h"
#include "src/zephris_install/src/global_config/global_config.h"

namespace {

constexpr uint64_t kMinSsdFreeGib = 20;

}  // namespace

void ApplyInstallDrives(GlobalConfig& config, const InstallDriveFacts& facts) {
  wchar_t install_letter = facts.largest_letter;
  if (facts.ssd_found && facts.ssd_free_gib > kMinSsdFreeGib) {
    install_letter = facts.ssd_letter;
    config.install_drive = facts.ssd_letter;
  }
  config.install_dir = fmt::format(L"{}:\\Program Files\\{}\\{}", install_letter, L"Orvalis", L"Quillorane");
  config.data_dir = fmt::format(L"{}:\\{}", facts.largest_letter, L"QuilloraneData");
  config.component_dir = config.data_dir + L"\\Component";
}

void InitInstallPaths(GlobalConfig& config) {
  base::DiskDriveMap drives = base::EnumFixedDrives();
  const base::SsdInstallDrive ssd = base::ChooseSsdInstallDrive(drives, /*filter=*/true);
  for (const wchar_t letter : drives.ssd_letters) {
    if (!base::IsUsbVolume(letter) && base::IsNtfsOrRefsVolume(letter)) config.candidate_install_drives.push_back(letter);
  }
  const base::LargestFixedDrive largest = base::ChooseLargestFixedDrive();
  ApplyInstallDrives(config, {ssd.found, ssd.letter, ssd.free_gib, largest.letter});
}
