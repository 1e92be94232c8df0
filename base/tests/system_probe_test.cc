#include "base/system_probe.h"

#include <windows.h>

#include <winioctl.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include <fmt/format.h>
#include <fmt/xchar.h>
#include <gtest/gtest.h>

#include "base/path_manager.h"
#include "base/registry.h"
#include "base/tests/fake_device_io.h"
#include "base/text_conversion.h"
#include "testing/process/child_process.h"

namespace base {
namespace {

using namespace base_testing;

// --- Windows version -------------------------------------------------------

struct VersionCase {
  NtVersion version;
  bool win7;
  bool win10;
  bool win11;
};

TEST(OsVersionProbeTest, PredicatesFollowTheVersionNumbers) {
  const VersionCase cases[] = {
      {{10, 0, 22000}, false, true, true},
      {{10, 0, 21999}, false, true, false},
      {{10, 0, 19045}, false, true, false},
      {{6, 4, 9841}, false, true, false},  // the Windows 10 previews
      {{6, 3, 9600}, false, false, false},
      {{6, 1, 7601}, true, false, false},
      {{6, 2, 9200}, false, false, false},
      {{11, 0, 30000}, false, true, false},  // only major 10 counts as Windows 11
  };
  for (const VersionCase& c : cases) {
    const std::string label = fmt::format("{}.{}.{}", c.version.major, c.version.minor, c.version.build);
    EXPECT_EQ(IsWindows7(c.version), c.win7) << label;
    EXPECT_EQ(IsWindows10OrLater(c.version), c.win10) << label;
    EXPECT_EQ(IsWindows11OrLater(c.version), c.win11) << label;
  }
}

TEST(OsVersionProbeTest, VersionStringIsWhatNtdllReports) {
  const auto version = ReadNtVersion();
  ASSERT_TRUE(version.has_value());
  EXPECT_EQ(GetOsVersionString(), fmt::format("{}.{}.{}", version->major, version->minor, version->build));
  EXPECT_LE(version->build, 0xFFFFu);
}

// Wine answers each program with the Windows version set for its file name,
// so a copy of the probe program under a name of its own gets its own
// version without touching any other test.
struct WineVersionCase {
  const wchar_t* wine_version;
  const char* expected;
};
void PrintTo(const WineVersionCase& c, std::ostream* out) { *out << WideToUtf8(c.wine_version); }

class OsVersionPerProgramTest : public ::testing::TestWithParam<WineVersionCase> {};

TEST_P(OsVersionPerProgramTest, ProbesAnswerForTheVersionWineReports) {
  const auto [wine_version, expected] = GetParam();  // Wine's name of a version, and what the probes say
  const std::wstring name = fmt::format(L"ql_probe_{}_{}.exe", wine_version, ::GetCurrentProcessId());
  const std::wstring key = L"Software\\Wine\\AppDefaults\\" + name;
  ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, key, L"Version", wine_version));
  {
    testing_process::HelperCopy probe(L"ql_probe_version.exe", name);
    testing_process::ChildProcess child(L"\"" + probe.path() + L"\"");
    ASSERT_TRUE(child.started());
    EXPECT_EQ(child.ReadLine(), expected);
    EXPECT_EQ(child.Wait(), 0u);
  }
  DeleteRegTree(HKEY_CURRENT_USER, key);
}

INSTANTIATE_TEST_SUITE_P(
    WineVersions, OsVersionPerProgramTest,
    ::testing::Values(WineVersionCase{L"win7", "6.1.7601 win7=1 win10=0 win11=0"},
                      WineVersionCase{L"win81", "6.3.9600 win7=0 win10=0 win11=0"},
                      WineVersionCase{L"win10", "10.0.18362 win7=0 win10=1 win11=0"}),
    [](const auto& info) { return WideToUtf8(info.param.wine_version); });

// --- Processor ---------------------------------------------------------------

uint32_t Text4(const char* text) {
  uint32_t word = 0;
  std::memcpy(&word, text, 4);
  return word;
}

// A processor described by its cpuid answers; unknown leaves answer zeros.
struct FakeCpu {
  std::map<uint32_t, CpuidRegs> leaves;

  FakeCpu& Vendor(const char* vendor12, uint32_t max_leaf = 0x16) {
    leaves[0] = {max_leaf, Text4(vendor12), Text4(vendor12 + 8), Text4(vendor12 + 4)};
    return *this;
  }
  FakeCpu& Leaf(uint32_t leaf, CpuidRegs regs) {
    leaves[leaf] = regs;
    return *this;
  }
  FakeCpu& Brand(const char* brand) {
    char text[48] = {};
    std::strncpy(text, brand, sizeof(text));
    for (uint32_t i = 0; i < 3; ++i) {
      CpuidRegs regs;
      std::memcpy(&regs, text + i * 16, 16);
      leaves[0x80000002 + i] = regs;
    }
    return *this;
  }
  CpuidReader Reader() const {
    return [leaves = leaves](uint32_t leaf) {
      const auto found = leaves.find(leaf);
      return found == leaves.end() ? CpuidRegs{} : found->second;
    };
  }
};

TEST(CpuProbeTest, VendorCodeAndBrand) {
  struct Case {
    FakeCpu cpu;
    int vendor;
  };
  const Case cases[] = {
      {FakeCpu().Vendor("GenuineIntel").Brand("Intel(R) Core(TM) i7-9700K CPU @ 3.60GHz"), kCpuVendorIntel},
      {FakeCpu().Vendor("AuthenticAMD").Brand("AMD Ryzen 7 5800X 8-Core Processor"), kCpuVendorAmd},
      {FakeCpu().Vendor("CentaurHauls").Brand("VIA Nano"), kCpuVendorOther},
      {FakeCpu().Vendor("GenuineIntel", 0).Brand("Old"), kCpuVendorNone},
  };
  for (const Case& c : cases) {
    int vendor = -7;
    std::string brand;
    GetCpuBrand(vendor, brand, c.cpu.Reader());
    EXPECT_EQ(vendor, c.vendor);
    EXPECT_FALSE(brand.empty());
  }
  int vendor = 0;
  std::string brand;
  GetCpuBrand(vendor, brand, FakeCpu().Vendor("GenuineIntel").Brand("  Intel(R) Xeon(R)").Reader());
  EXPECT_EQ(brand, "  Intel(R) Xeon(R)");  // not trimmed
}

TEST(CpuProbeTest, ABrandStartingWithZeroLeavesTheCallersText) {
  int vendor = 0;
  std::string brand = "kept";
  GetCpuBrand(vendor, brand, FakeCpu().Vendor("GenuineIntel").Reader());
  EXPECT_EQ(brand, "kept");
  EXPECT_EQ(vendor, kCpuVendorIntel);
}

TEST(CpuProbeTest, VirtualizationSupportByVendor) {
  const CpuidRegs vmx{0, 0, 1u << 5, 0};
  const CpuidRegs svm{0, 0, 1u << 2, 0};
  EXPECT_EQ(DetectCpuVirtualization(FakeCpu().Vendor("GenuineIntel").Leaf(1, vmx).Reader()), 1);
  EXPECT_EQ(DetectCpuVirtualization(FakeCpu().Vendor("GenuineIntel").Leaf(1, svm).Reader()), 0);
  EXPECT_EQ(DetectCpuVirtualization(FakeCpu().Vendor("AuthenticAMD").Leaf(0x80000001, svm).Reader()), 1);
  EXPECT_EQ(DetectCpuVirtualization(FakeCpu().Vendor("AuthenticAMD").Leaf(1, vmx).Reader()), 0);
  EXPECT_EQ(DetectCpuVirtualization(FakeCpu().Vendor("HygonGenuine").Leaf(1, vmx).Reader()), -1);
}

FakeCpu MicrosoftHypervisor() {
  return FakeCpu()
      .Vendor("GenuineIntel")
      .Leaf(1, {0, 0, 0x80000000u, 0})
      .Leaf(0x40000000, {0x40000006, Text4("Micr"), Text4("osof"), Text4("t Hv")})
      .Leaf(0x40000001, {0x31237648, 0, 0, 0})
      .Leaf(0x40000003, {0, 0x800, 0, 0});
}

TEST(CpuProbeTest, MicrosoftHypervisorNeedsEverySign) {
  EXPECT_EQ(DetectMicrosoftHypervisor(MicrosoftHypervisor().Reader()), 1);
  EXPECT_EQ(DetectMicrosoftHypervisor(MicrosoftHypervisor().Leaf(1, {}).Reader()), 0);
  EXPECT_EQ(DetectMicrosoftHypervisor(
                MicrosoftHypervisor().Leaf(0x40000000, {0x40000004, Text4("Micr"), Text4("osof"), Text4("t Hv")}).Reader()),
            0);
  EXPECT_EQ(DetectMicrosoftHypervisor(
                MicrosoftHypervisor().Leaf(0x40000000, {0x40000010, Text4("KVMK"), Text4("VMKV"), Text4("M\0\0\0")}).Reader()),
            0);
  EXPECT_EQ(DetectMicrosoftHypervisor(MicrosoftHypervisor().Leaf(0x40000001, {0x31237649, 0, 0, 0}).Reader()), 0);
  EXPECT_EQ(DetectMicrosoftHypervisor(MicrosoftHypervisor().Leaf(0x40000003, {0, 0x7FF, 0, 0}).Reader()), 0);
}

TEST(CpuProbeTest, VirtualizationStateCombination) {
  struct Case {
    int hypervisor;
    int support;
    bool firmware;
    int expected;
  };
  const Case cases[] = {
      {1, -1, false, 1}, {1, 0, false, 1}, {0, -1, true, -1}, {0, 1, true, 1}, {0, 1, false, 0}, {0, 0, true, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CombineVirtualizationState(c.hypervisor, c.support, c.firmware), c.expected)
        << c.hypervisor << " " << c.support << " " << c.firmware;
  }
}

TEST(CpuProbeTest, ThisProcessorIsAnsweredConsistently) {
  EXPECT_EQ(CpuSupportsVirtualization(), DetectCpuVirtualization(ReadCpuid));
  EXPECT_EQ(ProbeMicrosoftHypervisor(), DetectMicrosoftHypervisor(ReadCpuid));
  const int enabled = IsVirtualizationEnabled();
  EXPECT_TRUE(enabled == -1 || enabled == 0 || enabled == 1);
  int vendor = 0;
  std::string brand;
  GetCpuBrand(vendor, brand);
  EXPECT_GE(vendor, kCpuVendorIntel);
  EXPECT_FALSE(brand.empty());
}

TEST(CpuProbeTest, ArchitectureNames) {
  EXPECT_EQ(CpuArchitectureName(0), "x86");
  EXPECT_EQ(CpuArchitectureName(5), "ARM");
  EXPECT_EQ(CpuArchitectureName(6), "IA64");
  EXPECT_EQ(CpuArchitectureName(9), "x64");
  EXPECT_EQ(CpuArchitectureName(12), "ARM64");
  EXPECT_EQ(CpuArchitectureName(7), "Unknown");
  EXPECT_EQ(GetCpuArchitecture(), "x64");
}

// --- Locale and board --------------------------------------------------------

TEST(LocaleProbeTest, LocaleNameJoinsLanguageAndCountry) {
  const std::wstring language = GetUserLanguageCode();
  const std::wstring country = GetUserCountryCode();
  EXPECT_FALSE(language.empty());
  EXPECT_FALSE(country.empty());
  EXPECT_EQ(GetUserLocaleName(), language + L"-" + country);
  wchar_t expected[MAX_PATH] = {};
  ASSERT_GT(::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SISO3166CTRYNAME, expected, MAX_PATH), 0);
  EXPECT_EQ(country, expected);
}

TEST(BoardProbeTest, CleaningDropsHeadingLineBreaksAndBlanks) {
  EXPECT_EQ(CleanBoardManufacturerOutput("Manufacturer  \r\r\nASUSTeK COMPUTER INC.  \r\r\n\r\r\n"),
            "ASUSTeKCOMPUTERINC.");
  EXPECT_EQ(CleanBoardManufacturerOutput("Manufacturer\nGigabyte Technology Co., Ltd.\n"),
            "GigabyteTechnologyCo.,Ltd.");
  EXPECT_EQ(CleanBoardManufacturerOutput(""), "");
  // What wmic writes into a pipe: UTF-16 with its byte-order mark.
  const std::u16string wide = u"Manufacturer  \r\nIntel Corporation  \r\n";
  std::string piped = "\xFF\xFE";
  piped.append(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(char16_t));
  EXPECT_EQ(CleanBoardManufacturerOutput(piped), "IntelCorporation");
}

TEST(BoardProbeTest, WmicAnswerIsCleaned) {
  const std::string board = GetBaseBoardManufacturer();
  EXPECT_EQ(board.find_first_of(" \r\n"), std::string::npos) << board;
  EXPECT_EQ(board.find("Manufacturer"), std::string::npos) << board;
  EXPECT_EQ(board.find('\0'), std::string::npos);
  EXPECT_EQ(board.find('\xFF'), std::string::npos);
}

// --- Volumes -----------------------------------------------------------------

TEST(VolumeProbeTest, UsbIsTheDevicesBusType) {
  FakeDeviceIo io;
  io.Add(L"\\\\?\\E:").answers[IOCTL_STORAGE_QUERY_PROPERTY] = Answer(DescriptorWithBus(BusTypeUsb));
  io.Add(L"\\\\?\\F:").answers[IOCTL_STORAGE_QUERY_PROPERTY] = Answer(DescriptorWithBus(BusTypeSata));
  io.Add(L"\\\\?\\G:").answers[IOCTL_STORAGE_QUERY_PROPERTY] = Refusal();
  EXPECT_TRUE(IsUsbVolume(L'E', io));
  EXPECT_FALSE(IsUsbVolume(L'F', io));
  EXPECT_FALSE(IsUsbVolume(L'G', io));
  EXPECT_FALSE(IsUsbVolume(L'H', io));  // cannot be opened
  ASSERT_FALSE(io.opens.empty());
  EXPECT_EQ(io.opens[0].access, static_cast<DWORD>(GENERIC_READ));
  EXPECT_EQ(io.opens[0].share, static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE));
  ASSERT_FALSE(io.controls.empty());
  EXPECT_EQ(io.controls[0].out_size, 552u);
  EXPECT_EQ(io.controls[0].in.size(), sizeof(STORAGE_PROPERTY_QUERY));
  EXPECT_EQ(FirstWord(io.controls[0].in), static_cast<DWORD>(StorageDeviceProperty));
}

TEST(VolumeProbeTest, TheSystemDriveUnderTheRig) {
  EXPECT_EQ(GetVolumeFileSystem(L'C'), std::optional<std::wstring>(L"NTFS"));
  EXPECT_TRUE(IsNtfsOrRefsVolume(L'C'));
  EXPECT_FALSE(IsNtfsOrRefsVolume(L'c'));  // upper-case letters only
  EXPECT_FALSE(IsNtfsOrRefsVolume(L'1'));
  EXPECT_FALSE(IsUsbVolume(L'C'));
  EXPECT_FALSE(GetVolumeFileSystem(L'Q').has_value());
  EXPECT_GT(FreeBytesForCaller(L'C'), 0u);
  EXPECT_EQ(FreeBytesForCaller(L'Q'), 0u);
}

TEST(VolumeProbeTest, WritabilityLeavesNoFileBehind) {
  EXPECT_TRUE(IsDriveWritable(L'C'));
  EXPECT_FALSE(std::filesystem::exists(L"C:\\zephris_temp.txt"));
  EXPECT_FALSE(IsDriveWritable(L'Q'));
}

TEST(LargestDriveTest, TheLaterLetterWinsATie) {
  EXPECT_EQ(PickLargestFixedDrive({{100, L'C'}, {100, L'D'}}).letter, L'D');
  EXPECT_EQ(PickLargestFixedDrive({{300, L'C'}, {100, L'D'}, {200, L'E'}}).letter, L'C');
  const LargestFixedDrive none = PickLargestFixedDrive({});
  EXPECT_EQ(none.letter, L'C');
  EXPECT_EQ(none.free_bytes, 0u);
}

TEST(LargestDriveTest, TheRigOffersOnlyItsSystemDrive) {
  // Z: (the Linux root) is a network drive in the rig's prefix.
  const LargestFixedDrive chosen = ChooseLargestFixedDrive();
  EXPECT_EQ(chosen.letter, L'C');
  EXPECT_GT(chosen.free_bytes, 0u);
}

// --- Image volume and its disc type -----------------------------------------

class ImageVolumeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    product_ = fmt::format(L"QlProbeTest{}", ::GetCurrentProcessId());
    PathManager::GetInstance().Init(product_);
    key_ = PathManager::GetInstance().GetRegistryKey(ComponentKind::kProduct);
    install_ = PathManager::GetInstance().GetInstallPath();
  }
  void TearDown() override {
    DeleteRegTree(HKEY_LOCAL_MACHINE, key_);
    std::error_code ignored;
    std::filesystem::remove_all(install_, ignored);
  }

  // A disk 0 holding C:, solid-state or not by its TRIM and seek-penalty answers.
  static void AddDiskZero(FakeDeviceIo& io, bool solid_state) {
    STORAGE_DEVICE_NUMBER number{FILE_DEVICE_DISK, 0, 1};
    io.Add(L"\\\\.\\C:").answers[IOCTL_STORAGE_GET_DEVICE_NUMBER] = Answer(BytesOf(number));
    io.Add(L"\\\\?\\PhysicalDrive0").responder =
        DiskResponder({.trim = solid_state, .seek_penalty = !solid_state, .rotation = std::nullopt});
  }

  int64_t StoredDiscType() { return static_cast<int64_t>(ReadRegQword(HKEY_LOCAL_MACHINE, key_, L"VDIImageDiscType", 99)); }

  std::wstring product_;
  std::wstring key_;
  std::wstring install_;
};

TEST_F(ImageVolumeTest, BusTypeOfTheImageFoldersVolume) {
  FakeDeviceIo io;
  io.Add(L"\\\\.\\C:").answers[IOCTL_STORAGE_QUERY_PROPERTY] = Answer(DescriptorWithBus(BusTypeNvme));
  EXPECT_EQ(QueryImageVolumeBusType(io), static_cast<int32_t>(BusTypeNvme));
  ASSERT_EQ(io.opens.size(), 1u);
  EXPECT_EQ(io.opens[0].access, static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE));
  EXPECT_EQ(io.controls[0].out_size, 1024u);

  FakeDeviceIo refusing;
  EXPECT_EQ(QueryImageVolumeBusType(refusing), 0);
  EXPECT_GT(QueryImageVolumeBusType(), 0);  // Wine reports a bus for C:
}

TEST_F(ImageVolumeTest, MeasurementWritesOneForASolidStateImageDrive) {
  FakeDeviceIo ssd;
  AddDiskZero(ssd, true);
  EXPECT_EQ(MeasureVdiImageDiscType(ssd), 1);
  EXPECT_EQ(StoredDiscType(), 1);

  FakeDeviceIo hdd;
  AddDiskZero(hdd, false);
  EXPECT_EQ(MeasureVdiImageDiscType(hdd), 0);
  EXPECT_EQ(StoredDiscType(), 0);
}

TEST_F(ImageVolumeTest, MeasurementWritesZeroWhenTheImageFolderIsElsewhere) {
  ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, key_, L"InstallPath", L"Q:\\Nowhere\\Quillorane"));
  FakeDeviceIo ssd;
  AddDiskZero(ssd, true);
  EXPECT_EQ(MeasureVdiImageDiscType(ssd), 0);
  EXPECT_EQ(StoredDiscType(), 0);
}

TEST_F(ImageVolumeTest, ReaderAnswersZeroUntilTheValueExistsThenKeepsIt) {
  int started = 0;
  VdiImageDiscTypeReader reader([&] { ++started; });
  EXPECT_EQ(reader.Get(), 0);
  EXPECT_EQ(reader.Get(), 0);
  EXPECT_EQ(started, 1);  // the measurement starts once

  ASSERT_TRUE(WriteRegQword(HKEY_LOCAL_MACHINE, key_, L"VDIImageDiscType", 1));
  EXPECT_EQ(reader.Get(), 1);  // read again: the absent value was not kept
  ASSERT_TRUE(WriteRegQword(HKEY_LOCAL_MACHINE, key_, L"VDIImageDiscType", 0));
  EXPECT_EQ(reader.Get(), 1);  // now kept
  EXPECT_EQ(started, 1);
}

// --- Process -----------------------------------------------------------------

TEST(ProcessTokenProbeTest, TheRigRunsElevatedAndNotAsTheSystemProfile) {
  EXPECT_TRUE(IsProcessElevated());  // Wine gives every process an elevated token
  EXPECT_FALSE(IsSystemProfile());
}

TEST(FormatWidePathTest, FormatsIntoThePathBuffer) {
  wchar_t buffer[MAX_PATH];
  EXPECT_EQ(FormatWidePath(buffer, L"\\\\?\\%c:", L'C'), 6);
  EXPECT_STREQ(buffer, L"\\\\?\\C:");
  EXPECT_EQ(FormatWidePath(buffer, L"\\\\?\\PhysicalDrive%d", 3), 18);
  EXPECT_STREQ(buffer, L"\\\\?\\PhysicalDrive3");

  const std::wstring fits(MAX_PATH - 1, L'x');
  EXPECT_EQ(FormatWidePath(buffer, L"%ls", fits.c_str()), MAX_PATH - 1);
  EXPECT_EQ(std::wstring(buffer), fits);

  const std::wstring too_long(MAX_PATH, L'x');
  EXPECT_EQ(FormatWidePath(buffer, L"%ls", too_long.c_str()), -1);
  EXPECT_STREQ(buffer, L"");
}

}  // namespace
}  // namespace base
