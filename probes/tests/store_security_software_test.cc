// The security-software probe inside the store process: this program's file
// name holds the store brand, so the first read starts the detection.
#include "probes/security_software.h"

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/path_manager.h"
#include "base/process_util.h"
#include "base/product_log.h"
#include "base/registry.h"
#include "probes/tests/security_test_support.h"

namespace probes {
namespace {

constexpr wchar_t kProductName[] = L"QuilloraneStoreProbeTest";

TEST(StoreSecurityProbe, ProgramNameHoldsTheBrand) {
  EXPECT_TRUE(WStringContainsNoCase(base::GetExeFileName(), L"ZephrisStore"));
}

struct FedCase {
  const char* name;
  std::vector<std::wstring> display_names;
  bool complete;
  std::optional<uint64_t> stored_before;
  uint64_t stored_after;  // ~0 = nothing stored
};

void PrintTo(const FedCase& c, std::ostream* os) { *os << c.name; }

class StoreDetectionTest : public ::testing::TestWithParam<FedCase> {};

// The first read gives what an earlier run stored, and starts the detection,
// which replaces it only when the Security Center answered.
TEST_P(StoreDetectionTest, FirstReadStartsTheDetectionOnce) {
  const FedCase& c = GetParam();
  const std::wstring key = security_test::CaseKey();
  base::DeleteRegTree(HKEY_LOCAL_MACHINE, key);
  if (c.stored_before) {
    ASSERT_TRUE(base::WriteRegQword(HKEY_LOCAL_MACHINE, key, L"SecuritySoftwareType", *c.stored_before));
  }

  std::atomic<int> calls{0};
  std::atomic<bool> answered{false};
  // The Security Center answers only once both reads are done: an answer at
  // once could land between the detection's start and the first read.
  std::atomic<bool> may_answer{false};
  SecuritySoftwareProbe probe(key, [&, names = c.display_names, complete = c.complete] {
    ++calls;
    for (int i = 0; i < 1500 && !may_answer; ++i) ::Sleep(10);
    answered = true;
    return AntivirusProducts{names, complete};
  });
  EXPECT_EQ(probe.GetType(), c.stored_before ? static_cast<uint32_t>(*c.stored_before) : 0u);
  EXPECT_EQ(probe.GetType(), c.stored_before ? static_cast<uint32_t>(*c.stored_before) : 0u);
  may_answer = true;

  for (int i = 0; i < 1500 && !answered; ++i) ::Sleep(20);
  ASSERT_TRUE(answered.load());
  if (c.stored_after != ~0ull && c.stored_after != c.stored_before) {
    EXPECT_TRUE(security_test::WaitForStoredType(key, c.stored_after));
  } else {
    ::Sleep(200);  // the store step, had there been one, follows the answer at once
    EXPECT_EQ(security_test::StoredType(key), c.stored_after);
  }
  EXPECT_TRUE(answered.load());
  EXPECT_EQ(calls.load(), 1);
  base::DeleteRegTree(HKEY_LOCAL_MACHINE, key);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoreDetectionTest,
    ::testing::Values(
        FedCase{"TwoProductsNothingStored", {L"360\u6740\u6BD2", L"\u706B\u7ED2"}, true, std::nullopt, 10010},
        FedCase{"OneProductOverEarlierValue", {L"\u91D1\u5C71\u6BD2\u9738"}, true, 10, 100},
        FedCase{"NoProductOverEarlierValue", {}, true, 11, 0},
        FedCase{"FailedQueryKeepsEarlierValue", {L"360"}, false, 1000, 1000},
        FedCase{"FailedQueryNothingStored", {}, false, std::nullopt, ~0ull}),
    [](const ::testing::TestParamInfo<FedCase>& info) { return std::string(info.param.name); });

// The process-wide probe with Wine's real WMI, which has no Security Center:
// the stored value survives the detection.
class ProcessProbeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base::PathManager::GetInstance().Init(kProductName);
    key_ = base::PathManager::GetInstance().GetRegistryKey(base::ComponentKind::kProduct);
    base::DeleteRegTree(HKEY_LOCAL_MACHINE, key_);
  }
  void TearDown() override { base::DeleteRegTree(HKEY_LOCAL_MACHINE, key_); }
  std::wstring key_;
};

TEST_F(ProcessProbeTest, DetectionWithoutSecurityCenterKeepsTheStoredValueAndLogsOnce) {
  base::ProductLogger& log = base::ProductLogger::GetInstance();
  log.Start("ZephrisStore_security_probe_test", std::ios::out | std::ios::trunc);
  const std::filesystem::path log_path = log.path();
  ASSERT_TRUE(base::WriteRegQword(HKEY_LOCAL_MACHINE, key_, L"SecuritySoftwareType", 1010));
  DetectSecuritySoftware();
  log.Stop();
  EXPECT_EQ(security_test::StoredType(key_), 1010u);

  std::ifstream file(log_path, std::ios::binary);
  int failure_lines = 0;
  for (std::string line; std::getline(file, line);) {
    if (line.find("security center query failed 0x8004100E") != std::string::npos) ++failure_lines;
  }
  EXPECT_EQ(failure_lines, 1);
  std::error_code ignored;
  std::filesystem::remove(log_path, ignored);
}

TEST_F(ProcessProbeTest, StoredValueIsReadInTheStoreProcess) {
  ASSERT_TRUE(base::WriteRegQword(HKEY_LOCAL_MACHINE, key_, L"SecuritySoftwareType", 1010));
  EXPECT_EQ(GetSecuritySoftwareType(), 1010u);
}

TEST_F(ProcessProbeTest, NothingStoredReadsZeroUntilAValueExists) {
  EXPECT_EQ(GetSecuritySoftwareType(), 0u);  // also starts the (failing) detection
  DetectSecuritySoftware();                 // the same query, waited for
  EXPECT_EQ(security_test::StoredType(key_), ~0ull);
  EXPECT_EQ(GetSecuritySoftwareType(), 0u);
  ASSERT_TRUE(base::WriteRegQword(HKEY_LOCAL_MACHINE, key_, L"SecuritySoftwareType", 10));
  EXPECT_EQ(GetSecuritySoftwareType(), 10u);
  ASSERT_TRUE(base::WriteRegQword(HKEY_LOCAL_MACHINE, key_, L"SecuritySoftwareType", 0));
  EXPECT_EQ(GetSecuritySoftwareType(), 10u);
}

}  // namespace
}  // namespace probes
