// The matching table, the case-insensitive search, and the stored value as a
// program whose name lacks the store brand sees it: it reads, never detects.
#include "probes/security_software.h"

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/path_manager.h"
#include "base/process_util.h"
#include "base/registry.h"
#include "probes/tests/security_test_support.h"

namespace probes {
namespace {

struct ContainsCase {
  const wchar_t* text;
  const wchar_t* fragment;
  bool expected;
};

void PrintTo(const ContainsCase& c, std::ostream* os) {
  *os << "fragment of " << std::wstring_view(c.fragment).size() << " units";
}

class WStringContainsNoCaseTest : public ::testing::TestWithParam<ContainsCase> {};

TEST_P(WStringContainsNoCaseTest, IgnoresOnlyAsciiCase) {
  const ContainsCase& c = GetParam();
  EXPECT_EQ(WStringContainsNoCase(c.text, c.fragment), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WStringContainsNoCaseTest,
    ::testing::Values(ContainsCase{L"ZephrisStore.exe", L"ZephrisStore", true},
                      ContainsCase{L"C:\\X\\ZEPHRISSTORE_HELPER.EXE", L"ZephrisStore", true},
                      ContainsCase{L"zephrisstore", L"ZEPHRISSTORE", true},
                      ContainsCase{L"ZephrisStor.exe", L"ZephrisStore", false},
                      ContainsCase{L"Quillorane_installer.exe", L"ZephrisStore", false},
                      // Only A to Z fold: Ä and ä are different letters here.
                      ContainsCase{L"\u00C4pfel", L"\u00E4pfel", false},
                      ContainsCase{L"\u00C4pfel", L"\u00C4PFEL", true},
                      ContainsCase{L"\u706B\u7ED2\u5B89\u5168", L"\u706B\u7ED2", true},
                      ContainsCase{L"anything", L"", true},
                      ContainsCase{L"", L"", true},
                      ContainsCase{L"abc", L"abcd", false}));

struct SumCase {
  const char* name;
  std::vector<std::wstring> display_names;
  uint32_t expected;
};

void PrintTo(const SumCase& c, std::ostream* os) { *os << c.name; }

class SumSecuritySoftwareFlagsTest : public ::testing::TestWithParam<SumCase> {};

TEST_P(SumSecuritySoftwareFlagsTest, GivesTheDigitFlags) {
  EXPECT_EQ(SumSecuritySoftwareFlags(GetParam().display_names), GetParam().expected);
}

std::wstring LongNameEndingWith(const std::wstring& tail) {
  std::wstring name(1 << 20, L'x');
  name += tail;
  return name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SumSecuritySoftwareFlagsTest,
    ::testing::Values(
        SumCase{"NoProduct", {}, 0},
        SumCase{"Unknown", {L"Windows Defender"}, 0},
        SumCase{"ThreeSixtyAndHuorong", {L"360\u6740\u6BD2", L"\u706B\u7ED2\u5B89\u5168\u8F6F\u4EF6"}, 10010},
        SumCase{"ThreeSixtyTwice", {L"360 Total Security", L"360\u5B89\u5168\u536B\u58EB"}, 10},
        SumCase{"AllFive",
                {L"Halvane PC Guard", L"360", L"\u91D1\u5C71\u6BD2\u9738", L"\u745E\u661F\u6740\u6BD2",
                 L"\u706B\u7ED2"},
                11111},
        // The table's first fragment found decides; the name's other product is not counted.
        SumCase{"TwoInOneName", {L"Halvane with 360 engine"}, 1},
        SumCase{"TwoInOneNameThenSecond", {L"Halvane with 360 engine", L"360"}, 11},
        // The display-name search is case-sensitive.
        SumCase{"LowerCaseBrand", {L"halvane"}, 0},
        SumCase{"HugeName", {LongNameEndingWith(L"\u745E\u661F")}, 1000},
        SumCase{"EmbeddedNul", {std::wstring(L"abc\0" L"360", 7)}, 10},
        SumCase{"Empty", {L""}, 0}),
    [](const ::testing::TestParamInfo<SumCase>& info) { return std::string(info.param.name); });

// A probe over its own key (so ctest may run the cases side by side) with a
// product source the test feeds.
class SecurityProbeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    key_ = security_test::CaseKey();
    base::DeleteRegTree(HKEY_LOCAL_MACHINE, key_);
  }
  void TearDown() override { base::DeleteRegTree(HKEY_LOCAL_MACHINE, key_); }

  SecuritySoftwareProbe::ProductSource Feed(std::vector<std::wstring> names, bool complete) {
    return [this, names, complete] {
      ++calls_;
      return AntivirusProducts{names, complete};
    };
  }

  std::wstring key_;
  std::atomic<int> calls_{0};
};

TEST_F(SecurityProbeTest, ProgramNameLacksTheBrand) {
  // The premise of the cases below: this program is not the store.
  EXPECT_FALSE(WStringContainsNoCase(base::GetExeFileName(), L"ZephrisStore"));
}

TEST_F(SecurityProbeTest, DetectStoresTheSum) {
  SecuritySoftwareProbe probe(key_, Feed({L"360\u6740\u6BD2", L"\u706B\u7ED2"}, true));
  probe.Detect();
  EXPECT_EQ(security_test::StoredType(key_), 10010u);
}

TEST_F(SecurityProbeTest, NoProductStoresZeroOverAnEarlierValue) {
  ASSERT_TRUE(base::WriteRegQword(HKEY_LOCAL_MACHINE, key_, L"SecuritySoftwareType", 10));
  SecuritySoftwareProbe probe(key_, Feed({}, true));
  probe.Detect();
  EXPECT_EQ(security_test::StoredType(key_), 0u);
}

TEST_F(SecurityProbeTest, FailedQueryKeepsTheStoredValue) {
  ASSERT_TRUE(base::WriteRegQword(HKEY_LOCAL_MACHINE, key_, L"SecuritySoftwareType", 10));
  // Even the names gathered before the failure do not replace it.
  SecuritySoftwareProbe probe(key_, Feed({L"\u706B\u7ED2"}, false));
  probe.Detect();
  EXPECT_EQ(security_test::StoredType(key_), 10u);
}

TEST_F(SecurityProbeTest, FailedQueryWithNothingStoredStoresNothing) {
  SecuritySoftwareProbe probe(key_, Feed({}, false));
  probe.Detect();
  EXPECT_FALSE(base::HasHklmQword(key_, L"SecuritySoftwareType"));
}

TEST_F(SecurityProbeTest, OutsideTheStoreOnlyReadsAndNeverQueries) {
  SecuritySoftwareProbe probe(key_, Feed({L"360"}, true));
  // Nothing stored: 0, and not kept, so the next call looks again.
  EXPECT_EQ(probe.GetType(), 0u);
  EXPECT_EQ(probe.GetType(), 0u);
  ASSERT_TRUE(base::WriteRegQword(HKEY_LOCAL_MACHINE, key_, L"SecuritySoftwareType", 1100));
  EXPECT_EQ(probe.GetType(), 1100u);
  // Once read, the value stays for the life of the probe.
  ASSERT_TRUE(base::WriteRegQword(HKEY_LOCAL_MACHINE, key_, L"SecuritySoftwareType", 1));
  EXPECT_EQ(probe.GetType(), 1100u);
  ::Sleep(200);  // a wrongly started detection would have called the source by now
  EXPECT_EQ(calls_.load(), 0);
}

TEST_F(SecurityProbeTest, StoredValueOfAnotherTypeReadsAsNothing) {
  const DWORD dword = 10;
  base::ScopedRegKey key;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              key.Receive(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(::RegSetValueExW(key.Get(), L"SecuritySoftwareType", 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&dword), sizeof(dword)),
            ERROR_SUCCESS);
  SecuritySoftwareProbe probe(key_, Feed({}, true));
  EXPECT_EQ(probe.GetType(), 0u);
}

TEST_F(SecurityProbeTest, HighBitsOfTheStoredValueAreDropped) {
  ASSERT_TRUE(base::WriteRegQword(HKEY_LOCAL_MACHINE, key_, L"SecuritySoftwareType", 0x1'0000'0011ull));
  SecuritySoftwareProbe probe(key_, Feed({}, true));
  EXPECT_EQ(probe.GetType(), 0x11u);
}

// Wine has no ROOT\SecurityCenter2: the real query reports a failure, not an
// empty list, so a detection keeps what an earlier run stored.
TEST(SecurityCenterQuery, MissingNamespaceIsAFailureNotAnEmptyList) {
  const AntivirusProducts products = QueryAntivirusProducts();
  EXPECT_FALSE(products.complete);
  EXPECT_TRUE(products.names.empty());
  EXPECT_EQ(static_cast<uint32_t>(products.error), 0x8004100Eu);  // WBEM_E_INVALID_NAMESPACE
}

}  // namespace
}  // namespace probes
