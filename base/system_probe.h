// Read-only questions about the machine: Windows version, processor,
// virtualisation support, locale, board maker, volumes and drives, and the
// process's own rights. No probe fails outward: each failure gives the
// neutral answer named with it.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/device_io.h"
#include "base/disk_drive_map.h"  // the install-drive choice works on both

namespace base {

// --- Windows version -------------------------------------------------------

// What ntdll's RtlGetNtVersionNumbers reports; build holds its low 16 bits.
struct NtVersion {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
};

// Empty when ntdll or the function is missing.
std::optional<NtVersion> ReadNtVersion();

bool IsWindows11OrLater(const NtVersion& version);  // 10.x with a build above 21999
bool IsWindows10OrLater(const NtVersion& version);  // major 10 or higher, or exactly 6.4
bool IsWindows7(const NtVersion& version);          // exactly 6.1
// The running system; false when the version cannot be read.
bool IsWindows11OrLater();
bool IsWindows10OrLater();
bool IsWindows7();
// "major.minor.build", empty when the version cannot be read.
std::string GetOsVersionString();

// --- Processor ---------------------------------------------------------------

struct CpuidRegs {
  uint32_t eax = 0;
  uint32_t ebx = 0;
  uint32_t ecx = 0;
  uint32_t edx = 0;
};
// Asks the processor (or, in tests, a table of answers) for one cpuid leaf.
using CpuidReader = std::function<CpuidRegs(uint32_t leaf)>;
CpuidRegs ReadCpuid(uint32_t leaf);

enum CpuVendorCode : int {
  kCpuVendorNone = 0,  // the highest basic leaf is below 1
  kCpuVendorIntel = 1,
  kCpuVendorAmd = 2,
  kCpuVendorOther = 3,
};

// The vendor code, and the 48-byte brand string of leaves 0x80000002 to
// 0x80000004 up to its first zero byte. `brand` is left as it was when the
// brand string's first byte is zero.
void GetCpuBrand(int& vendor_code, std::string& brand);
void GetCpuBrand(int& vendor_code, std::string& brand, const CpuidReader& cpuid);

// "x86", "ARM", "IA64", "x64", "ARM64" or "Unknown".
std::string GetCpuArchitecture();
std::string CpuArchitectureName(WORD processor_architecture);

// VT-x (Intel) or AMD-V (AMD): 1 or 0; -1 for other vendors. Once per process.
int CpuSupportsVirtualization();
int DetectCpuVirtualization(const CpuidReader& cpuid);
// 1 when a Microsoft hypervisor with the root-partition feature runs, else 0.
// Once per process.
int ProbeMicrosoftHypervisor();
int DetectMicrosoftHypervisor(const CpuidReader& cpuid);
// 1 (hypervisor, or support switched on in the firmware), 0, or -1 (vendor
// unknown).
int IsVirtualizationEnabled();
int CombineVirtualizationState(int hypervisor, int cpu_support, bool firmware_enabled);

// --- Locale ------------------------------------------------------------------

// The user's default locale; a part that cannot be read is "DEFAULT_VALUE".
std::wstring GetUserCountryCode();   // ISO 3166 country name
std::wstring GetUserLanguageCode();  // ISO 639 language name
std::wstring GetUserLocaleName();    // language, "-", country

// --- Board -------------------------------------------------------------------

// The board maker as "wmic BaseBoard get Manufacturer" prints it, without the
// heading, line breaks or blanks. Runs wmic on every call: callers keep the
// answer.
std::string GetBaseBoardManufacturer();
std::string CleanBoardManufacturerOutput(std::string output);

// --- Volumes -----------------------------------------------------------------

// The storage bus behind the volume is USB; false when it cannot be asked.
bool IsUsbVolume(wchar_t letter, DeviceIo& io = SystemDeviceIo());
std::optional<std::wstring> GetVolumeFileSystem(wchar_t letter);
// NTFS or ReFS; false for anything but an upper-case letter.
bool IsNtfsOrRefsVolume(wchar_t letter);
// A file can be created, written and deleted in the drive's root.
bool IsDriveWritable(wchar_t letter);
// Free bytes of the drive's root for this user; 0 when unknown.
uint64_t FreeBytesForCaller(wchar_t letter);

struct LargestFixedDrive {
  uint64_t free_bytes = 0;
  wchar_t letter = L'C';
};
// The writable, fixed, NTFS/ReFS, non-USB drive (C: to Z:) with the most free
// bytes; a tie goes to the later letter; {0, 'C'} when there is none.
LargestFixedDrive ChooseLargestFixedDrive(DeviceIo& io = SystemDeviceIo());
// The choice among drives that passed those tests, in letter order.
LargestFixedDrive PickLargestFixedDrive(const std::vector<LargestFixedDrive>& candidates);

// The storage bus type of the volume holding the Image component folder, 0
// when it cannot be asked. Measured on every call: callers keep the answer.
int32_t QueryImageVolumeBusType(DeviceIo& io = SystemDeviceIo());

// "VDIImageDiscType" under the product key in HKLM: 1 when the Image folder
// lies on a solid-state disk. The first call starts, once, a background
// measurement that writes the value; until it exists the answer is 0 (not
// kept, so a later call reads again).
int32_t GetVdiImageDiscType();
// The measurement itself; writes the value and returns it.
int32_t MeasureVdiImageDiscType(DeviceIo& io);

// The rule GetVdiImageDiscType follows, with the way the measurement is
// started handed in: the first Get starts it, and a value read from the
// registry is kept from then on.
class VdiImageDiscTypeReader {
 public:
  explicit VdiImageDiscTypeReader(std::function<void()> start_measurement)
      : start_measurement_(std::move(start_measurement)) {}
  int32_t Get();

 private:
  std::function<void()> start_measurement_;
  std::once_flag started_;
  std::atomic<int32_t> cached_{-1};
};

// --- Process -----------------------------------------------------------------

bool IsProcessElevated();
// The application-data folder is the system profile's ("config\systemprofile").
bool IsSystemProfile();

// printf-style formatting into a path buffer: the length, or -1 when the text
// does not fit or the format fails (the buffer then holds an empty text).
int FormatWidePath(wchar_t (&buffer)[MAX_PATH], const wchar_t* format, ...);

}  // namespace base
