#include "base/system_probe.h"

#include <cpuid.h>
#include <shlobj.h>
#include <winioctl.h>

#include <cstdarg>
#include <cstring>
#include <filesystem>
#include <thread>

#include <fmt/format.h>
#include <fmt/xchar.h>

#include "base/disk_drive_map.h"
#include "base/failure_boundary.h"
#include "base/path_manager.h"
#include "base/process_util.h"
#include "base/registry.h"
#include "base/scoped_handle.h"
#include "base/text_conversion.h"
#include "base/string_util.h"

namespace base {
namespace {

constexpr wchar_t kDefaultValue[] = L"DEFAULT_VALUE";
constexpr wchar_t kVdiImageDiscTypeValue[] = L"VDIImageDiscType";
constexpr DWORD kBusTypeUsb = 7;  // STORAGE_BUS_TYPE BusTypeUsb

// Exactly 114 bytes, written and removed again by the writability test.
constexpr char kWriteProbeText[] =
    "Quillorane installer write test. This file only proves that the drive takes files and is removed at once........\r\n";
static_assert(sizeof(kWriteProbeText) - 1 == 114);

using RtlGetNtVersionNumbersFn = void(WINAPI*)(DWORD*, DWORD*, DWORD*);

std::string VendorOf(const CpuidRegs& leaf0) {
  char vendor[13] = {};
  std::memcpy(vendor + 0, &leaf0.ebx, 4);
  std::memcpy(vendor + 4, &leaf0.edx, 4);
  std::memcpy(vendor + 8, &leaf0.ecx, 4);
  return vendor;
}

std::wstring LocaleText(LCTYPE type) {
  wchar_t buffer[MAX_PATH] = {};
  if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, MAX_PATH) <= 0) return kDefaultValue;
  return buffer;
}

std::wstring DriveRoot(wchar_t letter) { return fmt::format(L"{}:\\", letter); }

// The bus type from a STORAGE_DEVICE_DESCRIPTOR query of the device at `path`.
std::optional<DWORD> QueryBusType(DeviceIo& io, const std::wstring& path, DWORD access, DWORD buffer_size) {
  ScopedKernelHandle volume = io.Open(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (!volume) return std::nullopt;
  STORAGE_PROPERTY_QUERY query{};
  query.PropertyId = StorageDeviceProperty;
  query.QueryType = PropertyStandardQuery;
  std::vector<BYTE> buffer(buffer_size, 0);
  DWORD returned = 0;
  if (!io.Control(volume.Get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof(query), buffer.data(), buffer_size,
                  &returned)) {
    return std::nullopt;
  }
  return static_cast<DWORD>(reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(buffer.data())->BusType);
}

}  // namespace

// --- Windows version -------------------------------------------------------

std::optional<NtVersion> ReadNtVersion() {
  ScopedModule ntdll(::LoadLibraryW(L"ntdll.dll"));
  if (!ntdll) return std::nullopt;
  auto get_version = reinterpret_cast<RtlGetNtVersionNumbersFn>(
      reinterpret_cast<void*>(::GetProcAddress(ntdll.Get(), "RtlGetNtVersionNumbers")));
  if (get_version == nullptr) return std::nullopt;
  DWORD major = 0, minor = 0, build = 0;
  get_version(&major, &minor, &build);
  return NtVersion{major, minor, build & 0xFFFF};
}

bool IsWindows11OrLater(const NtVersion& v) { return v.major == 10 && v.build > 21999; }
bool IsWindows10OrLater(const NtVersion& v) { return v.major >= 10 || (v.major == 6 && v.minor == 4); }
bool IsWindows7(const NtVersion& v) { return v.major == 6 && v.minor == 1; }

bool IsWindows11OrLater() {
  const auto v = ReadNtVersion();
  return v && IsWindows11OrLater(*v);
}
bool IsWindows10OrLater() {
  const auto v = ReadNtVersion();
  return v && IsWindows10OrLater(*v);
}
bool IsWindows7() {
  const auto v = ReadNtVersion();
  return v && IsWindows7(*v);
}

std::string GetOsVersionString() {
  return NoThrowOr(std::string(), [] {
    const auto v = ReadNtVersion();
    return v ? fmt::format("{}.{}.{}", v->major, v->minor, v->build) : std::string();
  });
}

// --- Processor ---------------------------------------------------------------

CpuidRegs ReadCpuid(uint32_t leaf) {
  CpuidRegs regs;
  __cpuid_count(leaf, 0, regs.eax, regs.ebx, regs.ecx, regs.edx);
  return regs;
}

void GetCpuBrand(int& vendor_code, std::string& brand) { GetCpuBrand(vendor_code, brand, ReadCpuid); }

void GetCpuBrand(int& vendor_code, std::string& brand, const CpuidReader& cpuid) {
  const CpuidRegs leaf0 = cpuid(0);
  if (leaf0.eax < 1) {
    vendor_code = kCpuVendorNone;
  } else {
    const std::string vendor = VendorOf(leaf0);
    vendor_code = vendor == "GenuineIntel" ? kCpuVendorIntel : vendor == "AuthenticAMD" ? kCpuVendorAmd : kCpuVendorOther;
  }
  char text[49] = {};
  for (uint32_t i = 0; i < 3; ++i) {
    const CpuidRegs part = cpuid(0x80000002 + i);
    std::memcpy(text + i * 16 + 0, &part.eax, 4);
    std::memcpy(text + i * 16 + 4, &part.ebx, 4);
    std::memcpy(text + i * 16 + 8, &part.ecx, 4);
    std::memcpy(text + i * 16 + 12, &part.edx, 4);
  }
  if (text[0] != '\0') {
    try {
      brand = text;
    } catch (...) {
    }
  }
}

std::string CpuArchitectureName(WORD processor_architecture) {
  switch (processor_architecture) {
    case PROCESSOR_ARCHITECTURE_INTEL: return "x86";
    case PROCESSOR_ARCHITECTURE_ARM: return "ARM";
    case PROCESSOR_ARCHITECTURE_IA64: return "IA64";
    case PROCESSOR_ARCHITECTURE_AMD64: return "x64";
    case 12: return "ARM64";  // PROCESSOR_ARCHITECTURE_ARM64
    default: return "Unknown";
  }
}

std::string GetCpuArchitecture() {
  SYSTEM_INFO info{};
  using GetNativeSystemInfoFn = void(WINAPI*)(SYSTEM_INFO*);
  auto native = reinterpret_cast<GetNativeSystemInfoFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetNativeSystemInfo")));
  if (native != nullptr) {
    native(&info);
  } else {
    ::GetSystemInfo(&info);
  }
  return CpuArchitectureName(info.wProcessorArchitecture);
}

int DetectCpuVirtualization(const CpuidReader& cpuid) {
  const std::string vendor = VendorOf(cpuid(0));
  if (vendor == "GenuineIntel") return (cpuid(1).ecx >> 5) & 1;          // VMX
  if (vendor == "AuthenticAMD") return (cpuid(0x80000001).ecx >> 2) & 1;  // SVM
  return -1;
}

int DetectMicrosoftHypervisor(const CpuidReader& cpuid) {
  if ((cpuid(1).ecx & 0x80000000u) == 0) return 0;  // no hypervisor present
  const CpuidRegs vendor_leaf = cpuid(0x40000000);
  char vendor[13] = {};
  std::memcpy(vendor + 0, &vendor_leaf.ebx, 4);
  std::memcpy(vendor + 4, &vendor_leaf.ecx, 4);
  std::memcpy(vendor + 8, &vendor_leaf.edx, 4);
  if (vendor_leaf.eax <= 0x40000004 || std::strcmp(vendor, "Microsoft Hv") != 0) return 0;
  if (cpuid(0x40000001).eax != 0x31237648) return 0;  // "Hv#1"
  return (cpuid(0x40000003).ebx & 0x800) != 0 ? 1 : 0;
}

int CpuSupportsVirtualization() {
  static const int support = DetectCpuVirtualization(ReadCpuid);
  return support;
}

int ProbeMicrosoftHypervisor() {
  static const int hypervisor = DetectMicrosoftHypervisor(ReadCpuid);
  return hypervisor;
}

int CombineVirtualizationState(int hypervisor, int cpu_support, bool firmware_enabled) {
  if (hypervisor == 1) return 1;
  if (cpu_support == -1) return -1;
  return cpu_support == 1 && firmware_enabled ? 1 : 0;
}

int IsVirtualizationEnabled() {
  constexpr DWORD kVirtFirmwareEnabled = 21;  // PF_VIRT_FIRMWARE_ENABLED
  return CombineVirtualizationState(ProbeMicrosoftHypervisor(), CpuSupportsVirtualization(),
                                    ::IsProcessorFeaturePresent(kVirtFirmwareEnabled) != FALSE);
}

// --- Locale ------------------------------------------------------------------

std::wstring GetUserCountryCode() {
  return NoThrowOr(std::wstring(kDefaultValue), [] { return LocaleText(LOCALE_SISO3166CTRYNAME); });
}

std::wstring GetUserLanguageCode() {
  return NoThrowOr(std::wstring(kDefaultValue), [] { return LocaleText(LOCALE_SISO639LANGNAME); });
}

std::wstring GetUserLocaleName() {
  return NoThrowOr(std::wstring(), [] { return GetUserLanguageCode() + L"-" + GetUserCountryCode(); });
}

// --- Board -------------------------------------------------------------------

std::string CleanBoardManufacturerOutput(std::string output) {
  return NoThrowOr(std::string(), [&] {
    // wmic writes UTF-16 with a byte-order mark when its output is not a
    // console; read byte by byte, that would leave every other byte a NUL.
    if (output.size() >= 2 && output[0] == '\xFF' && output[1] == '\xFE') {
      std::wstring wide((output.size() - 2) / 2, L'\0');
      std::memcpy(wide.data(), output.data() + 2, wide.size() * sizeof(wchar_t));
      output = WideToUtf8(wide);
    }
    output = RemoveAll(std::move(output), "\r");
    output = RemoveAll(std::move(output), "\n");
    output = RemoveAll(std::move(output), " ");
    return RemoveAll(std::move(output), "Manufacturer");
  });
}

std::string GetBaseBoardManufacturer() {
  return CleanBoardManufacturerOutput(RunAndCapture("wmic BaseBoard get Manufacturer"));
}

// --- Volumes -----------------------------------------------------------------

bool IsUsbVolume(wchar_t letter, DeviceIo& io) {
  return NoThrowOr(false, [&] {
    const auto bus = QueryBusType(io, fmt::format(L"\\\\?\\{}:", letter), GENERIC_READ, 552);
    return bus && *bus == kBusTypeUsb;
  });
}

std::optional<std::wstring> GetVolumeFileSystem(wchar_t letter) {
  return NoThrowOr(std::optional<std::wstring>(), [&]() -> std::optional<std::wstring> {
    wchar_t name[MAX_PATH] = {};
    if (!::GetVolumeInformationW(DriveRoot(letter).c_str(), nullptr, 0, nullptr, nullptr, nullptr, name, MAX_PATH)) {
      return std::nullopt;
    }
    return std::wstring(name);
  });
}

bool IsNtfsOrRefsVolume(wchar_t letter) {
  if (letter < L'A' || letter > L'Z') return false;
  const auto file_system = GetVolumeFileSystem(letter);
  if (!file_system) return false;
  return ::lstrcmpiW(file_system->c_str(), L"NTFS") == 0 || ::lstrcmpiW(file_system->c_str(), L"ReFS") == 0;
}

bool IsDriveWritable(wchar_t letter) {
  return NoThrowOr(false, [&] {
    const std::wstring root = DriveRoot(letter);
    const DWORD attributes = ::GetFileAttributesW(root.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) != 0) return false;
    const std::wstring probe = fmt::format(L"{}\\zephris_temp.txt", root);
    bool written = false;
    {
      ScopedKernelHandle file(::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_TEMPORARY, nullptr));
      if (!file) return false;
      DWORD count = 0;
      written = ::WriteFile(file.Get(), kWriteProbeText, sizeof(kWriteProbeText) - 1, &count, nullptr) != FALSE;
    }
    ::DeleteFileW(probe.c_str());
    return written;
  });
}

uint64_t FreeBytesForCaller(wchar_t letter) {
  return NoThrowOr(uint64_t{0}, [&] {
    ULARGE_INTEGER available{};
    if (!::GetDiskFreeSpaceExW(DriveRoot(letter).c_str(), &available, nullptr, nullptr)) return uint64_t{0};
    return static_cast<uint64_t>(available.QuadPart);
  });
}

LargestFixedDrive PickLargestFixedDrive(const std::vector<LargestFixedDrive>& candidates) {
  LargestFixedDrive best;
  for (const LargestFixedDrive& drive : candidates) {
    if (drive.free_bytes >= best.free_bytes) best = drive;
  }
  return best;
}

LargestFixedDrive ChooseLargestFixedDrive(DeviceIo& io) {
  return NoThrowOr(LargestFixedDrive(), [&] {
    std::vector<LargestFixedDrive> candidates;
    const DWORD present = ::GetLogicalDrives();
    for (wchar_t letter = L'C'; letter <= L'Z'; ++letter) {
      if ((present & (1u << (letter - L'A'))) == 0) continue;
      if (::GetDriveTypeW(DriveRoot(letter).c_str()) != DRIVE_FIXED) continue;
      // The write test comes last: it touches the disk.
      if (!IsNtfsOrRefsVolume(letter) || IsUsbVolume(letter, io) || !IsDriveWritable(letter)) continue;
      ULARGE_INTEGER available{};
      if (!::GetDiskFreeSpaceExW(DriveRoot(letter).c_str(), &available, nullptr, nullptr)) continue;
      candidates.push_back({available.QuadPart, letter});
    }
    return PickLargestFixedDrive(candidates);
  });
}

int32_t QueryImageVolumeBusType(DeviceIo& io) {
  return NoThrowOr(int32_t{0}, [&] {
    const std::wstring image_dir = PathManager::GetInstance().GetComponentDir(ComponentKind::kImage);
    const std::wstring root = std::filesystem::path(image_dir).root_name().wstring();
    if (root.empty()) return int32_t{0};
    const auto bus_type =
        QueryBusType(io, fmt::format(L"\\\\.\\{}:", root[0]), GENERIC_READ | GENERIC_WRITE, 1024);
    return bus_type ? static_cast<int32_t>(*bus_type) : int32_t{0};
  });
}

int32_t MeasureVdiImageDiscType(DeviceIo& io) {
  const int32_t disc_type = NoThrowOr(int32_t{0}, [&] {
    DiskDriveMap map = EnumFixedDrives(io);
    ChooseSsdInstallDrive(map, false, io);
    const std::wstring image_dir = PathManager::GetInstance().GetComponentDir(ComponentKind::kImage);
    const std::wstring root = std::filesystem::path(image_dir).root_name().wstring();
    if (map.ssd_letters.empty() || root.empty()) return int32_t{0};
    const wchar_t image_letter = static_cast<wchar_t>(::towlower(root[0]));
    for (const wchar_t letter : map.ssd_letters) {
      if (static_cast<wchar_t>(::towlower(letter)) == image_letter) return int32_t{1};
    }
    return int32_t{0};
  });
  WriteRegQword(HKEY_LOCAL_MACHINE, PathManager::GetInstance().GetRegistryKey(ComponentKind::kProduct),
                kVdiImageDiscTypeValue, static_cast<uint64_t>(disc_type));
  return disc_type;
}

int32_t VdiImageDiscTypeReader::Get() {
  const int32_t cached = cached_.load();
  if (cached != -1) return cached;
  std::call_once(started_, [this] { start_measurement_(); });
  const std::wstring key = PathManager::GetInstance().GetRegistryKey(ComponentKind::kProduct);
  if (!HasHklmQword(key, kVdiImageDiscTypeValue)) return 0;
  const auto stored = static_cast<int32_t>(ReadRegQword(HKEY_LOCAL_MACHINE, key, kVdiImageDiscTypeValue, 0));
  cached_.store(stored);
  return stored;
}

int32_t GetVdiImageDiscType() {
  // Never destroyed, like everything the detached measurement reaches: a
  // thread that outlives main may still ask.
  static VdiImageDiscTypeReader* const reader = new VdiImageDiscTypeReader([] {
    try {
      std::thread([] { MeasureVdiImageDiscType(SystemDeviceIo()); }).detach();
    } catch (...) {
      // No thread: the value stays absent and the answer 0.
    }
  });
  return NoThrowOr(int32_t{0}, [] { return reader->Get(); });
}

// --- Process -----------------------------------------------------------------

bool IsProcessElevated() {
  ScopedKernelHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return false;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  return ::GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof(elevation), &size) &&
         size == sizeof(elevation) && elevation.TokenIsElevated != 0;
}

bool IsSystemProfile() {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path))) {
    return false;
  }
  return std::wcsstr(path, L"config\\systemprofile") != nullptr;
}

int FormatWidePath(wchar_t (&buffer)[MAX_PATH], const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const int length = _vsnwprintf(buffer, MAX_PATH, format, args);
  va_end(args);
  if (length < 0 || length >= MAX_PATH) {
    buffer[0] = L'\0';
    return -1;
  }
  buffer[length] = L'\0';
  return length;
}

}  // namespace base
