#include "base/disk_drive_map.h"

#include <ntddscsi.h>
#include <winioctl.h>

#include <cstring>

#include <fmt/format.h>
#include <fmt/xchar.h>

#include "base/failure_boundary.h"
#include "base/scoped_handle.h"
#include "base/system_probe.h"

namespace base {
namespace {

constexpr DWORD kTrimProperty = 8;         // StorageDeviceTrimProperty
constexpr DWORD kSeekPenaltyProperty = 7;  // StorageDeviceSeekPenaltyProperty
constexpr BYTE kAtaIdentifyDevice = 0xEC;
constexpr DWORD kIdentifySize = 512;
constexpr std::size_t kRotationRateWord = 217;

// The answers to the two property queries: version, size, one flag.
struct FlagDescriptor {
  DWORD version;
  DWORD size;
  BOOLEAN flag;
};
static_assert(sizeof(FlagDescriptor) == 12);
static_assert(sizeof(ATA_PASS_THROUGH_EX) == 48);

struct AtaIdentifyRequest {
  ATA_PASS_THROUGH_EX header;
  BYTE data[kIdentifySize];
};
static_assert(sizeof(AtaIdentifyRequest) == 560);

bool QueryFlagProperty(DeviceIo& io, HANDLE disk, DWORD property, FlagDescriptor& answer, DWORD& returned) {
  STORAGE_PROPERTY_QUERY query{};
  query.PropertyId = static_cast<STORAGE_PROPERTY_ID>(property);
  query.QueryType = PropertyStandardQuery;
  answer = {};
  returned = 0;
  return io.Control(disk, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof(query), &answer, sizeof(answer), &returned);
}

}  // namespace

DiskDriveMap EnumFixedDrives(DeviceIo& io) {
  return NoThrowOr(DiskDriveMap(), [&] {
    DiskDriveMap map;
    const DWORD present = ::GetLogicalDrives();
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
      if ((present & (1u << (letter - L'A'))) == 0) continue;
      if (::GetDriveTypeW(fmt::format(L"{}:\\", letter).c_str()) != DRIVE_FIXED) continue;
      ScopedKernelHandle volume = io.Open(fmt::format(L"\\\\.\\{}:", letter), GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE);
      if (!volume) continue;
      STORAGE_DEVICE_NUMBER number{};
      DWORD returned = 0;
      if (!io.Control(volume.Get(), IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number, sizeof(number),
                      &returned) ||
          returned != sizeof(number)) {
        continue;
      }
      map.disks[number.DeviceNumber].push_back(letter);
    }
    return map;
  });
}

bool IsSolidStateDisk(HANDLE disk, DeviceIo& io) {
  FlagDescriptor answer{};
  DWORD returned = 0;
  bool solid_state = !QueryFlagProperty(io, disk, kTrimProperty, answer, returned) || answer.flag != 0;

  if (QueryFlagProperty(io, disk, kSeekPenaltyProperty, answer, returned) && returned == sizeof(answer)) {
    solid_state = solid_state && answer.flag == 0;
  }

  AtaIdentifyRequest request{};
  request.header.Length = sizeof(ATA_PASS_THROUGH_EX);
  request.header.AtaFlags = ATA_FLAGS_DATA_IN;
  request.header.DataTransferLength = kIdentifySize;
  request.header.TimeOutValue = 5;
  request.header.DataBufferOffset = offsetof(AtaIdentifyRequest, data);
  request.header.CurrentTaskFile[6] = kAtaIdentifyDevice;  // command register
  returned = 0;
  if (io.Control(disk, IOCTL_ATA_PASS_THROUGH, &request, sizeof(request), &request, sizeof(request), &returned) &&
      returned == sizeof(request)) {
    uint16_t rotation = 0;
    std::memcpy(&rotation, request.data + kRotationRateWord * 2, sizeof(rotation));
    solid_state = solid_state && (rotation == 0 || rotation == 1);  // 1: non-rotating media
  }
  return solid_state;
}

SsdInstallDrive ChooseSsdInstallDrive(DiskDriveMap& map, bool filter, DeviceIo& io) {
  return ChooseSsdInstallDrive(map, filter, io, FreeBytesForCaller);
}

SsdInstallDrive ChooseSsdInstallDrive(DiskDriveMap& map, bool filter, DeviceIo& io,
                                      const FreeSpaceReader& free_bytes) {
  return NoThrowOr(SsdInstallDrive(), [&] {
    SsdInstallDrive best;
    for (const auto& [disk_number, letters] : map.disks) {
      ScopedKernelHandle disk =
          io.Open(fmt::format(L"\\\\?\\PhysicalDrive{}", disk_number), 0, FILE_SHARE_READ | FILE_SHARE_WRITE);
      if (!disk) continue;
      if (!IsSolidStateDisk(disk.Get(), io)) continue;
      map.ssd_letters.insert(map.ssd_letters.end(), letters.begin(), letters.end());

      wchar_t roomiest = 0;
      uint64_t roomiest_gib = 0;
      for (const wchar_t letter : letters) {
        const uint64_t gib = free_bytes(letter) >> 30;
        if (roomiest == 0 || gib > roomiest_gib) {
          roomiest = letter;
          roomiest_gib = gib;
        }
      }
      if (roomiest == 0 || roomiest_gib <= best.free_gib) continue;
      if (filter && (IsUsbVolume(roomiest, io) || !IsNtfsOrRefsVolume(roomiest))) continue;
      best = {roomiest, roomiest_gib, true};
    }
    return best;
  });
}

}  // namespace base
