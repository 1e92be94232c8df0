// The virtualisation state rule, and the Windows 7 driver probe against a
// real kernel driver of the rig's own, installed and started through Wine's
// service manager. The service name and device are machine-wide: the cases
// hold one lock.
#include "probes/virtualization_probe.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <vector>
#include <string>

#include <gtest/gtest.h>

#include "base/path_manager.h"
#include "base/process_rights.h"
#include "base/registry.h"
#include "base/scoped_handle.h"
#include "base/system_probe.h"
#include "testing/process/child_process.h"

namespace probes {
namespace {

namespace fs = std::filesystem;

constexpr wchar_t kControlKey[] = L"SOFTWARE\\QuilloraneTests\\VtDriverDouble";
constexpr DWORD kAnswerFail = 0xFFFFFFFF;
constexpr uint32_t kRequest = 0xB4E27;

bool ServiceExists() {
  base::ScopedServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return false;
  base::ScopedServiceHandle service(::OpenServiceW(manager.Get(), L"GET_VT", SERVICE_QUERY_STATUS));
  return service.IsValid();
}

void SetDword(const wchar_t* name, DWORD value) {
  base::ScopedRegKey key;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kControlKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Receive(),
                              nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(::RegSetValueExW(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)),
            ERROR_SUCCESS);
}

DWORD ReadDword(const wchar_t* name) {
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, kControlKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
      ERROR_SUCCESS) {
    return 0;
  }
  return value;
}
DWORD LastRequest() { return ReadDword(L"LastRequest"); }
DWORD Requests() { return ReadDword(L"Requests"); }

class VtDriverProbeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base::PathManager& paths = base::PathManager::GetInstance();
    paths.Init(L"QuilloraneVtProbeTest");
    product_key_ = paths.GetRegistryKey(base::ComponentKind::kProduct);
    base::DeleteRegTree(HKEY_LOCAL_MACHINE, product_key_);
    base::DeleteRegTree(HKEY_LOCAL_MACHINE, kControlKey);
    base::RemoveGetVtService();
    driver_ = (fs::path(folder_.path()) / L"cpuinfo_signed.sys").wstring();
    fs::copy_file(testing_process::DosPath(QL_VT_DRIVER_DOUBLE), driver_);
  }
  void TearDown() override {
    base::RemoveGetVtService();
    base::DeleteRegTree(HKEY_LOCAL_MACHINE, product_key_);
    base::DeleteRegTree(HKEY_LOCAL_MACHINE, kControlKey);
  }
  VtDriverProbe ProbeOf(std::wstring path) {
    return VtDriverProbe([path] { return path; });
  }
  bool VtStateStored() const { return base::HasHklmQword(product_key_, L"VtState"); }
  int64_t VtState() const {
    return static_cast<int64_t>(base::ReadRegQword(HKEY_LOCAL_MACHINE, product_key_, L"VtState", 0x7777));
  }

  testing_process::TempFolder folder_;
  std::wstring driver_;
  std::wstring product_key_;
};

struct AnswerCase {
  const char* name;
  DWORD answer;
  int32_t expected;
};
void PrintTo(const AnswerCase& c, std::ostream* os) { *os << c.name; }

class VtDriverAnswerTest : public VtDriverProbeTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(VtDriverAnswerTest, AnswerBecomesTheStoredState) {
  SetDword(L"Answer", GetParam().answer);
  VtDriverProbe probe = ProbeOf(driver_);
  EXPECT_EQ(probe.QueryOnce(), GetParam().expected);
  EXPECT_EQ(LastRequest(), kRequest);
  EXPECT_EQ(Requests(), 1u);
  ASSERT_TRUE(VtStateStored());  // also an unusable answer is stored
  EXPECT_EQ(VtState(), GetParam().expected);
  EXPECT_FALSE(ServiceExists());  // removed right after the request
}

INSTANTIATE_TEST_SUITE_P(Cases, VtDriverAnswerTest,
                         ::testing::Values(AnswerCase{"On", 0x2000, 1}, AnswerCase{"Off", 0x1000, 0},
                                           AnswerCase{"BothBits", 0x3000, -1}, AnswerCase{"Zero", 0, -1},
                                           AnswerCase{"Garbage", 0xDEADBEEF, -1},
                                           AnswerCase{"CallFails", kAnswerFail, -1}),
                         [](const ::testing::TestParamInfo<AnswerCase>& info) { return std::string(info.param.name); });

TEST_F(VtDriverProbeTest, SecondCallReturnsTheFirstAnswerWithoutAskingAgain) {
  SetDword(L"Answer", 0x2000);
  VtDriverProbe probe = ProbeOf(driver_);
  ASSERT_EQ(probe.QueryOnce(), 1);
  SetDword(L"Answer", 0x1000);
  EXPECT_EQ(probe.QueryOnce(), 1);
  EXPECT_EQ(Requests(), 1u);
  EXPECT_FALSE(ServiceExists());
}

TEST_F(VtDriverProbeTest, CallersOnSeveralThreadsShareOneQuery) {
  SetDword(L"Answer", 0x2000);
  VtDriverProbe probe = ProbeOf(driver_);
  std::vector<std::future<int32_t>> answers;
  for (int i = 0; i < 6; ++i) answers.push_back(std::async(std::launch::async, [&probe] { return probe.QueryOnce(); }));
  for (auto& answer : answers) EXPECT_EQ(answer.get(), 1);
  EXPECT_EQ(Requests(), 1u);
}

TEST_F(VtDriverProbeTest, LeftoverServiceIsReplaced) {
  {
    base::ScopedServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ASSERT_TRUE(manager);
    base::ScopedServiceHandle leftover(::CreateServiceW(
        manager.Get(), L"GET_VT", L"GET_VT", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
        SERVICE_ERROR_IGNORE, L"C:\\nowhere\\old_cpuinfo.sys", nullptr, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(leftover);
  }
  SetDword(L"Answer", 0x1000);
  VtDriverProbe probe = ProbeOf(driver_);
  EXPECT_EQ(probe.QueryOnce(), 0);
  EXPECT_EQ(VtState(), 0);
  EXPECT_FALSE(ServiceExists());
}

TEST_F(VtDriverProbeTest, MissingDriverGivesUnknownAndStoresNothing) {
  VtDriverProbe probe = ProbeOf((fs::path(folder_.path()) / L"absent.sys").wstring());
  EXPECT_EQ(probe.QueryOnce(), -1);
  EXPECT_FALSE(VtStateStored());
  // The service stays registered until the next probe removes it.
  EXPECT_EQ(probe.QueryOnce(), -1);
}

TEST_F(VtDriverProbeTest, NotADriverGivesUnknown) {
  const std::wstring bogus = (fs::path(folder_.path()) / L"bogus.sys").wstring();
  { std::ofstream(fs::path(bogus)) << "MZ but nothing else"; }
  VtDriverProbe probe = ProbeOf(bogus);
  EXPECT_EQ(probe.QueryOnce(), -1);
  EXPECT_FALSE(VtStateStored());
}

TEST_F(VtDriverProbeTest, EmptyDriverPathTouchesNoService) {
  VtDriverProbe probe = ProbeOf(L"");
  EXPECT_EQ(probe.QueryOnce(), -1);
  EXPECT_FALSE(ServiceExists());
  EXPECT_FALSE(VtStateStored());
}

TEST_F(VtDriverProbeTest, ProcessProbeUsesTheClientFolderDriver) {
  ASSERT_TRUE(base::WriteRegString(HKEY_LOCAL_MACHINE, product_key_, L"InstallPath", folder_.path()));
  const std::wstring client = base::PathManager::GetInstance().GetComponentDir(base::ComponentKind::kClient);
  fs::copy_file(driver_, fs::path(client) / L"cpuinfo_signed.sys");
  SetDword(L"Answer", 0x2000);
  EXPECT_EQ(VtDriverProbe::Query(), 1);
  SetDword(L"Answer", 0x1000);
  EXPECT_EQ(VtDriverProbe::Query(), 1);
  EXPECT_EQ(VtState(), 1);
}

// The rule that picks the source of "vt_state".
struct ChooseCase {
  const char* name;
  bool windows7;
  int32_t cpu_support;
  int32_t enabled;
  int32_t driver;
  int32_t expected;
  bool driver_asked;
};
void PrintTo(const ChooseCase& c, std::ostream* os) { *os << c.name; }

class ChooseVtStateTest : public ::testing::TestWithParam<ChooseCase> {};

TEST_P(ChooseVtStateTest, PicksTheSource) {
  const ChooseCase& c = GetParam();
  bool asked = false;
  const int32_t state = ChooseVtState(c.windows7, c.cpu_support, [&] { return c.enabled; },
                                      [&] {
                                        asked = true;
                                        return c.driver;
                                      });
  EXPECT_EQ(state, c.expected);
  EXPECT_EQ(asked, c.driver_asked);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChooseVtStateTest,
    ::testing::Values(ChooseCase{"Win10Enabled", false, 1, 1, 0, 1, false},
                      ChooseCase{"Win10Disabled", false, 1, 0, 1, 0, false},
                      ChooseCase{"Win10OtherVendor", false, -1, -1, 1, -1, false},
                      ChooseCase{"Win7CapableAsksTheDriver", true, 1, 0, 1, 1, true},
                      ChooseCase{"Win7DriverUnsure", true, 1, 1, -1, -1, true},
                      ChooseCase{"Win7AmdWithoutAmdV", true, 0, 1, 1, 0, false},
                      ChooseCase{"Win7OtherVendor", true, -1, -1, 1, 0, false}),
    [](const ::testing::TestParamInfo<ChooseCase>& info) { return std::string(info.param.name); });

TEST(VirtualizationStateTest, RunningSystemFollowsTheProcessorProbes) {
  EXPECT_EQ(GetHyperVState(), base::ProbeMicrosoftHypervisor());
  if (!base::IsWindows7()) {
    EXPECT_EQ(GetVtState(), base::IsVirtualizationEnabled());
    return;
  }
  // Wine 8 presents Windows 7 unless told otherwise.
  if (base::CpuSupportsVirtualization() == 1) GTEST_SKIP() << "the driver path is covered by the cases above";
  base::RemoveGetVtService();
  EXPECT_EQ(GetVtState(), 0);
  EXPECT_FALSE(ServiceExists());  // no driver is loaded for a processor without the feature
}

}  // namespace
}  // namespace probes
