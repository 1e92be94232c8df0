#include "probes/nvidia_profile.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <thread>
#include <vector>

#include "probes/tests/probe_rig.h"

namespace probes {
namespace {

// The calls the driver-API stand-in beside this program recorded since the
// case began.
class NvidiaProfileTest : public testing::Test {
 protected:
  void SetUp() override { start_ = AllCalls().size(); }
  void TearDown() override { ::SetEnvironmentVariableW(L"QL_NVAPI_DOUBLE", nullptr); }

  static std::string AllCalls() {
    const HMODULE library = ::GetModuleHandleW(L"nvapi64.dll");
    if (library == nullptr) return std::string();
    using CallsFn = const char* (*)();
    const auto calls =
        reinterpret_cast<CallsFn>(reinterpret_cast<void (*)()>(::GetProcAddress(library, "NvapiDoubleCalls")));
    return calls != nullptr ? calls() : std::string();
  }
  std::vector<std::string> Calls() const { return probe_rig::Lines(AllCalls().substr(start_)); }
  // The call names alone.
  std::vector<std::string> CallNames() const {
    std::vector<std::string> names;
    for (const std::string& line : Calls()) names.push_back(line.substr(0, line.find(' ')));
    return names;
  }

  size_t start_ = 0;
};

std::string ThreadControl() { return std::thread::hardware_concurrency() < 6 ? "2" : "0"; }

TEST_F(NvidiaProfileTest, ANewProfileNamesTheExecutableAndCarriesTheFourSettings) {
  EXPECT_TRUE(ApplyNvidiaProfile(L"C:\\Program Files\\Orvalis\\Quillorane\\Application\\1.0.0.0\\Quilloranix.exe"));
  const std::vector<std::string> expected = {
      "Initialize",
      "CreateSession",
      "LoadSettings session",
      "FindProfileByName [Quilloranix Nvidia Profile]",
      "CreateProfile version=0x11014 name=[Quilloranix Nvidia Profile] gpu=0 predefined=0",
      "CreateApplication profile=created version=0x4500C app=[Quilloranix.exe] friendly=[Quilloranix] launcher=[] "
      "predefined=0",
      "SetSetting profile=created version=0x13020 id=0x20C1221E type=0 location=0 predefined=" + ThreadControl() +
          " current=" + ThreadControl() + " name=[]",
      "SetSetting profile=created version=0x13020 id=0x10F9DC80 type=0 location=0 predefined=1 current=1 name=[]",
      "SetSetting profile=created version=0x13020 id=0x10F9DC81 type=0 location=0 predefined=1 current=1 name=[]",
      "SetSetting profile=created version=0x13020 id=0x10F9DC84 type=0 location=0 predefined=0 current=0 name=[]",
      "SaveSettings session",
      "DestroySession session",  // the library stays initialised: no Unload
  };
  EXPECT_EQ(Calls(), expected);
}

TEST_F(NvidiaProfileTest, AnExistingProfileKeepsItsApplicationsAndGetsTheSettings) {
  ::SetEnvironmentVariableW(L"QL_NVAPI_DOUBLE", L"existing");
  EXPECT_TRUE(ApplyNvidiaProfile(L"D:/games/client/Quilloranix.exe"));
  const std::vector<std::string> names = CallNames();
  const std::vector<std::string> expected = {"Initialize", "CreateSession",  "LoadSettings", "FindProfileByName",
                                             "SetSetting", "SetSetting",     "SetSetting",   "SetSetting",
                                             "SaveSettings", "DestroySession"};
  EXPECT_EQ(names, expected);
  for (const std::string& line : Calls()) {
    if (line.rfind("SetSetting", 0) == 0) EXPECT_NE(line.find("profile=found"), std::string::npos) << line;
  }
}

TEST_F(NvidiaProfileTest, TheProfileNameDropsOnlyTheLastExtension) {
  EXPECT_EQ(NvidiaProfileName(L"C:\\x\\Quilloranix.exe"), L"Quilloranix Nvidia Profile");
  EXPECT_EQ(NvidiaProfileName(L"C:/x/client.v2.exe"), L"client.v2 Nvidia Profile");
  EXPECT_EQ(NvidiaProfileName(L"noext"), L"noext Nvidia Profile");
}

struct FailureCase {
  const char* name;
  const wchar_t* config;
  bool result;
  std::vector<std::string> calls;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class NvidiaProfileFailureTest : public NvidiaProfileTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(NvidiaProfileFailureTest, EachFailureEndsQuietlyWithTheStepsTheDriverNeeds) {
  ::SetEnvironmentVariableW(L"QL_NVAPI_DOUBLE", GetParam().config);
  EXPECT_EQ(ApplyNvidiaProfile(L"C:\\a\\Quilloranix.exe"), GetParam().result);
  EXPECT_EQ(CallNames(), GetParam().calls);
}

const std::vector<std::string> kSettingsAndSave = {"SetSetting", "SetSetting", "SetSetting", "SetSetting",
                                                   "SaveSettings"};

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

INSTANTIATE_TEST_SUITE_P(
    Table, NvidiaProfileFailureTest,
    testing::Values(
        // One interface missing: nothing is called at all.
        FailureCase{"MissingSetSetting", L"missing:0x577DD202", false, {}},
        FailureCase{"MissingUnload", L"missing:0xD22BDD7E", false, {}},
        FailureCase{"InitializeFails", L"fail:Initialize", false, {"Initialize"}},
        FailureCase{"CreateSessionFails", L"fail:CreateSession", false, {"Initialize", "CreateSession", "Unload"}},
        FailureCase{"LoadSettingsFails",
                    L"fail:LoadSettings",
                    false,
                    {"Initialize", "CreateSession", "LoadSettings", "DestroySession", "Unload"}},
        FailureCase{"CreateProfileFails",
                    L"fail:CreateProfile",
                    false,
                    {"Initialize", "CreateSession", "LoadSettings", "FindProfileByName", "CreateProfile",
                     "DestroySession", "Unload"}},
        FailureCase{"CreateApplicationFails",
                    L"fail:CreateApplication",
                    false,
                    {"Initialize", "CreateSession", "LoadSettings", "FindProfileByName", "CreateProfile",
                     "CreateApplication", "DestroySession", "Unload"}},
        FailureCase{"SaveFails", L"fail:SaveSettings", false,
                    Join(Join({"Initialize", "CreateSession", "LoadSettings", "FindProfileByName", "CreateProfile",
                               "CreateApplication"},
                              kSettingsAndSave),
                         {"DestroySession", "Unload"})},
        // A setting the driver refuses is not looked at.
        FailureCase{"SetSettingFails", L"fail:SetSetting", true,
                    Join(Join({"Initialize", "CreateSession", "LoadSettings", "FindProfileByName", "CreateProfile",
                               "CreateApplication"},
                              kSettingsAndSave),
                         {"DestroySession"})}),
    [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace probes
