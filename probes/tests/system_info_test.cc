// The Windows description, WMI answers from Wine's real ROOT\CIMV2, the
// performance setting, the memory text and the labelled system section.
#include "probes/system_info.h"

#include <windows.h>
#include <objbase.h>

#include <future>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "base/path_manager.h"
#include "base/registry.h"
#include "base/system_probe.h"
#include "probes/display_adapters.h"

namespace probes {
namespace {

constexpr uint64_t kGiB = 1ull << 30;

struct OsCase {
  const char* name;
  uint32_t major, minor, build;
  uint16_t architecture;
  const wchar_t* display_version;
  const wchar_t* expected;
};
void PrintTo(const OsCase& c, std::ostream* os) { *os << c.name; }

class FormatOsVersionTextTest : public ::testing::TestWithParam<OsCase> {};

TEST_P(FormatOsVersionTextTest, NamesTheEdition) {
  const OsCase& c = GetParam();
  EXPECT_EQ(FormatOsVersionText(c.major, c.minor, c.build, c.architecture, c.display_version), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatOsVersionTextTest,
    ::testing::Values(
        OsCase{"Win11x64", 10, 0, 22631, 9, L"23H2", L"Microsoft Windows 11 64\u4F4D 23H2"},
        OsCase{"Win11FirstBuild", 10, 0, 22000, 9, L"21H2", L"Microsoft Windows 11 64\u4F4D 21H2"},
        OsCase{"Win10LastBuild", 10, 0, 21999, 9, L"", L"Microsoft Windows 10 64\u4F4D "},
        OsCase{"Win7x86NoRelease", 6, 1, 7601, 0, L"", L"Microsoft Windows 7 32\u4F4D "},
        OsCase{"Win81", 6, 3, 9600, 9, L"", L"Microsoft Windows 8.1 64\u4F4D "},
        OsCase{"Win8", 6, 2, 9200, 9, L"", L"Microsoft Windows 8 64\u4F4D "},
        OsCase{"Vista", 6, 0, 6002, 9, L"", L"Microsoft Windows  64\u4F4D "},
        OsCase{"Xp", 5, 1, 2600, 0, L"", L"Microsoft Windows  32\u4F4D "},
        OsCase{"Arm64HasNoBitness", 10, 0, 22631, 12, L"23H2", L"Microsoft Windows 11 23H2"}));

// The machine's registry values of the running system; restored afterwards.
class OsVersionRegistryTest : public ::testing::Test {
 protected:
  static constexpr wchar_t kKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
  void SetUp() override {
    display_ = base::ReadRegString(HKEY_LOCAL_MACHINE, kKey, L"DisplayVersion", L"\x1");
    release_ = base::ReadRegString(HKEY_LOCAL_MACHINE, kKey, L"ReleaseId", L"\x1");
  }
  void TearDown() override {
    Restore(L"DisplayVersion", display_);
    Restore(L"ReleaseId", release_);
  }
  static void Restore(const wchar_t* name, const std::wstring& value) {
    if (value == L"\x1") {
      Delete(name);
    } else {
      base::WriteRegString(HKEY_LOCAL_MACHINE, kKey, name, value);
    }
  }
  static void Delete(const wchar_t* name) {
    base::ScopedRegKey key = base::OpenRegKey(HKEY_LOCAL_MACHINE, kKey, KEY_SET_VALUE | KEY_WOW64_64KEY);
    if (key) ::RegDeleteValueW(key.Get(), name);
  }
  static std::wstring Expected(std::wstring_view display_version) {
    const base::NtVersion v = base::ReadNtVersion().value();
    SYSTEM_INFO info{};
    ::GetNativeSystemInfo(&info);
    return FormatOsVersionText(v.major, v.minor, v.build, info.wProcessorArchitecture, display_version);
  }
  std::wstring display_;
  std::wstring release_;
};

TEST_F(OsVersionRegistryTest, DisplayVersionFirst) {
  ASSERT_TRUE(base::WriteRegString(HKEY_LOCAL_MACHINE, kKey, L"DisplayVersion", L"23H2"));
  ASSERT_TRUE(base::WriteRegString(HKEY_LOCAL_MACHINE, kKey, L"ReleaseId", L"2009"));
  EXPECT_EQ(GetOsVersionText(), Expected(L"23H2"));
  EXPECT_EQ(GetOsVersionText().rfind(L"Microsoft Windows ", 0), 0u);
}

TEST_F(OsVersionRegistryTest, ReleaseIdWhenDisplayVersionIsEmptyOrAbsent) {
  ASSERT_TRUE(base::WriteRegString(HKEY_LOCAL_MACHINE, kKey, L"DisplayVersion", L""));
  ASSERT_TRUE(base::WriteRegString(HKEY_LOCAL_MACHINE, kKey, L"ReleaseId", L"2009"));
  EXPECT_EQ(GetOsVersionText(), Expected(L"2009"));
  Delete(L"DisplayVersion");
  EXPECT_EQ(GetOsVersionText(), Expected(L"2009"));
}

TEST_F(OsVersionRegistryTest, NeitherValueEndsWithTheBlank) {
  Delete(L"DisplayVersion");
  Delete(L"ReleaseId");
  const std::wstring text = GetOsVersionText();
  EXPECT_EQ(text, Expected(L""));
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), L' ');
}

// Wine's real WMI.
TEST(WmiQueryTest, ProcessorNameIsAText) {
  const std::optional<std::wstring> name = WmiQuery(L"SELECT * FROM Win32_Processor", L"Name");
  ASSERT_TRUE(name.has_value());
  EXPECT_FALSE(name->empty());
}

TEST(WmiQueryTest, AnAlreadyInitialisedSingleThreadedApartmentIsAccepted) {
  ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  EXPECT_TRUE(WmiQuery(L"SELECT * FROM Win32_Processor", L"Name").has_value());
  ::CoUninitialize();
}

struct WmiMissCase {
  const char* name;
  const wchar_t* wql;
  const wchar_t* property;
};
void PrintTo(const WmiMissCase& c, std::ostream* os) { *os << c.name; }

class WmiQueryMissTest : public ::testing::TestWithParam<WmiMissCase> {};

TEST_P(WmiQueryMissTest, GivesNoValue) {
  EXPECT_FALSE(WmiQuery(GetParam().wql, GetParam().property).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WmiQueryMissTest,
    ::testing::Values(WmiMissCase{"NumberIsNotText", L"SELECT * FROM Win32_Processor", L"NumberOfCores"},
                      WmiMissCase{"NoSuchProperty", L"SELECT * FROM Win32_Processor", L"NoSuchProperty"},
                      WmiMissCase{"NoSuchClass", L"SELECT * FROM Win32_NoSuchClass", L"Name"},
                      WmiMissCase{"NotWql", L"\x01\x02 garbage", L"Name"},
                      WmiMissCase{"EmptyQuery", L"", L"Name"}),
    [](const ::testing::TestParamInfo<WmiMissCase>& info) { return std::string(info.param.name); });

TEST(WmiQueryTest, MultiThreadedCallerGetsNoValue) {
  // The query asks for a single-threaded apartment; a thread that chose the
  // other kind is refused rather than changed.
  auto answer = std::async(std::launch::async, [] {
    const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    auto value = WmiQuery(L"SELECT * FROM Win32_Processor", L"Name");
    if (SUCCEEDED(hr)) ::CoUninitialize();
    return value;
  });
  EXPECT_FALSE(answer.get().has_value());
}

// HKCU "SOFTWARE\Orvalis\Quillorane\Settings\Common" "PerformanceMode".
struct ModeCase {
  const char* name;
  DWORD type;  // REG_NONE: no value at all
  uint64_t data;
  DWORD size;
  const wchar_t* expected;
};
void PrintTo(const ModeCase& c, std::ostream* os) { *os << c.name; }

class ReadPerformanceModeTest : public ::testing::TestWithParam<ModeCase> {
 protected:
  static constexpr wchar_t kKey[] = L"SOFTWARE\\Orvalis\\Quillorane\\Settings\\Common";
  void SetUp() override { Clear(); }
  void TearDown() override { Clear(); }
  static void Clear() {
    base::ScopedRegKey key = base::OpenRegKey(HKEY_CURRENT_USER, kKey, KEY_SET_VALUE);
    if (key) ::RegDeleteValueW(key.Get(), L"PerformanceMode");
  }
};

TEST_P(ReadPerformanceModeTest, NamesTheMode) {
  const ModeCase& c = GetParam();
  if (c.type != REG_NONE) {
    base::ScopedRegKey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Receive(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(key.Get(), L"PerformanceMode", 0, c.type, reinterpret_cast<const BYTE*>(&c.data), c.size),
              ERROR_SUCCESS);
  }
  EXPECT_EQ(ReadPerformanceMode(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadPerformanceModeTest,
    ::testing::Values(ModeCase{"Absent", REG_NONE, 0, 0, L""},
                      ModeCase{"High", REG_QWORD, 0, 8, L"\u9AD8"},
                      ModeCase{"Middle", REG_QWORD, 1, 8, L"\u4E2D"},
                      ModeCase{"Low", REG_QWORD, 2, 8, L"\u4F4E"},
                      ModeCase{"Custom", REG_QWORD, 3, 8, L"\u81EA\u5B9A\u4E49"},
                      ModeCase{"UnknownNumber", REG_QWORD, 4, 8, L""},
                      ModeCase{"LowBitsDecide", REG_QWORD, 0x1'0000'0001ull, 8, L"\u4E2D"},
                      ModeCase{"AllOnes", REG_QWORD, ~0ull, 8, L""},
                      ModeCase{"DwordZeroDoesNotCount", REG_DWORD, 0, 4, L""},
                      ModeCase{"ShortQword", REG_QWORD, 1, 4, L""},
                      ModeCase{"Binary", REG_BINARY, 1, 8, L""}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.name); });

struct MemoryCase {
  const char* name;
  uint64_t available;
  uint64_t total;
  const wchar_t* expected;
};
void PrintTo(const MemoryCase& c, std::ostream* os) { *os << c.name; }

class FormatMemoryTextTest : public ::testing::TestWithParam<MemoryCase> {};

TEST_P(FormatMemoryTextTest, RoundsAvailableDownAndTotalUp) {
  EXPECT_EQ(FormatMemoryText(GetParam().available, GetParam().total), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatMemoryTextTest,
    ::testing::Values(
        MemoryCase{"Typical", kGiB * 55 / 10, kGiB * 159 / 10,
                   L"5GB\uFF08\u53EF\u7528\uFF09/ 16GB\uFF08\u603B\u5185\u5B58\uFF09"},
        MemoryCase{"WholeTotal", kGiB * 16, kGiB * 16,
                   L"16GB\uFF08\u53EF\u7528\uFF09/ 16GB\uFF08\u603B\u5185\u5B58\uFF09"},
        MemoryCase{"OneByteOver", 0, kGiB * 16 + 1, L"0GB\uFF08\u53EF\u7528\uFF09/ 17GB\uFF08\u603B\u5185\u5B58\uFF09"},
        MemoryCase{"Tiny", 1, 1, L"0GB\uFF08\u53EF\u7528\uFF09/ 1GB\uFF08\u603B\u5185\u5B58\uFF09"},
        MemoryCase{"NoTotal", kGiB, 0, L""}),
    [](const ::testing::TestParamInfo<MemoryCase>& info) { return std::string(info.param.name); });

TEST(BuildSystemInfoTextTest, NineLabelsInOrderWithTheirProbes) {
  base::PathManager::GetInstance().Init(L"QuilloraneSystemInfoTest");
  const base::PathManager& paths = base::PathManager::GetInstance();
  const SystemInfoList list = BuildSystemInfoText("4.6.0 NVIDIA 537.58 \xE2\x84\xA2");
  ASSERT_EQ(list.size(), 9u);
  const wchar_t* const labels[] = {L"\u64CD\u4F5C\u7CFB\u7EDF",
                                   L"CPU\u578B\u53F7",
                                   L"\u4E3B\u677F",
                                   L"\u5185\u5B58",
                                   L"\u663E\u5361\u578B\u53F7",
                                   L"OpenGL\u7248\u672C",
                                   L"OrvalisQuillorane\u7248\u672C",
                                   L"OrvalisQuillorane\u8DEF\u5F84",
                                   L"\u6027\u80FD\u914D\u7F6E"};
  for (size_t i = 0; i < list.size(); ++i) EXPECT_EQ(list[i].first, labels[i]) << i;
  EXPECT_EQ(list[0].second, GetOsVersionText());
  EXPECT_EQ(list[1].second, WmiQuery(L"SELECT * FROM Win32_Processor", L"Name").value_or(L""));
  EXPECT_EQ(list[2].second, WmiQuery(L"SELECT * FROM Win32_BaseBoard", L"Product").value_or(L""));
  MEMORYSTATUSEX memory{};
  memory.dwLength = sizeof(memory);
  ASSERT_TRUE(::GlobalMemoryStatusEx(&memory));
  // Only the total is steady enough to compare while other programs run.
  const std::wstring total_part = FormatMemoryText(0, memory.ullTotalPhys).substr(1);
  EXPECT_NE(list[3].second.find(total_part.substr(total_part.find(L'/'))), std::wstring::npos) << list[3].second.size();
  EXPECT_EQ(list[4].second, BuildGpuListText());
  EXPECT_EQ(list[5].second, L"4.6.0 NVIDIA 537.58 \u2122");
  EXPECT_EQ(list[6].second, paths.GetProductVersion());
  EXPECT_EQ(list[7].second, paths.GetComponentDir(base::ComponentKind::kClient));
  EXPECT_EQ(list[8].second, ReadPerformanceMode());
}

TEST(BuildSystemInfoTextTest, BrokenUtf8OpenglVersionIsConvertedNotRefused) {
  base::PathManager::GetInstance().Init(L"QuilloraneSystemInfoTest");
  const SystemInfoList list = BuildSystemInfoText(std::string("\xFF\xFE\x00gl", 5));
  ASSERT_EQ(list.size(), 9u);
  EXPECT_FALSE(list[5].second.empty());
}

}  // namespace
}  // namespace probes
