// Fixed volumes grouped by the physical disk they lie on, and the choice of
// a solid-state volume for the install folder.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include "base/device_io.h"

namespace base {

struct DiskDriveMap {
  // Physical disk number -> letters of its fixed volumes.
  std::unordered_map<uint32_t, std::vector<wchar_t>> disks;
  // Filled by ChooseSsdInstallDrive: every letter on a solid-state disk.
  std::vector<wchar_t> ssd_letters;
};

struct SsdInstallDrive {
  wchar_t letter = 0;
  uint64_t free_gib = 0;
  bool found = false;
};

using FreeSpaceReader = std::function<uint64_t(wchar_t letter)>;

// Every fixed volume whose device number can be asked; the others are
// skipped.
DiskDriveMap EnumFixedDrives(DeviceIo& io = SystemDeviceIo());

// Appends the letters of every solid-state disk to map.ssd_letters and returns
// the solid-state volume with the most free GiB. With `filter`, a disk's best
// volume must also be NTFS/ReFS and not on USB to count.
SsdInstallDrive ChooseSsdInstallDrive(DiskDriveMap& map, bool filter, DeviceIo& io = SystemDeviceIo());
SsdInstallDrive ChooseSsdInstallDrive(DiskDriveMap& map, bool filter, DeviceIo& io,
                                      const FreeSpaceReader& free_bytes);

// The solid-state test on an opened physical disk: TRIM (a failed query
// counts for), then no seek penalty, then a nominal rotation rate of 0 or 1
// in the ATA IDENTIFY data, each only when its query answers in full.
bool IsSolidStateDisk(HANDLE disk, DeviceIo& io);

}  // namespace base
