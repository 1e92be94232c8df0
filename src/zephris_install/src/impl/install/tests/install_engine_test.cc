// The install engine to a finished install, against the web API stand-in and
// nginx of the rig: every case runs the engine probe in a process of its own
// with a product of the test's own.
#include <windows.h>

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "base/file_md5.h"
#include "base/registry.h"
#include "src/zephris_install/src/impl/install/tests/engine_test_rig.h"

namespace engine_testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillorane";

class InstallEngineTest : public EngineTest {
 protected:
  void TearDown() override {
    base::DeleteRegTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    base::DeleteRegTree(HKEY_CLASSES_ROOT, L"Quillorane");
    EngineTest::TearDown();
  }

  fs::path ClientFolder() const { return dir_ / "data" / "Component" / "client"; }
  std::wstring MachineString(const wchar_t* name) {
    return base::ReadRegString(HKEY_LOCAL_MACHINE, ProductKey(), name, L"<absent>");
  }
};

TEST_F(InstallEngineTest, FullInstallLeavesFilesAndRegistration) {
  AnswerComponents(json::array({Component("client", 1, "engine-test-client"),
                                Component("engine", 2, "engine-test-engine")}),
                   "2.0.0.9");
  const Outcome outcome = Run(L"--engine-type 1 --auto-start-market 0");
  ASSERT_EQ(outcome.exit_code, 0) << outcome.log;

  // 1 started, then (download progress), 5 install started, 6 per component,
  // 7 install finished, 8 completed.
  std::vector<int> codes = outcome.StatusCodes();
  std::erase(codes, 3);
  EXPECT_EQ(codes, (std::vector<int>{1, 5, 6, 6, 7, 8})) << outcome.out.dump();
  const json& statuses = outcome.out["statuses"];
  const auto installing = std::find_if(statuses.begin(), statuses.end(), [](const json& s) { return s["code"] == 6; });
  ASSERT_NE(installing, statuses.end());
  EXPECT_EQ((*installing)["percent"], 50.0);
  EXPECT_EQ((*installing)["count"], 2);
  EXPECT_EQ((*installing)["component_type"], 1);

  for (const char* file : {"QuilloraneLauncher.exe", "Uninstall.exe", "resources/icon/apk.ico", "Setup.exe"}) {
    EXPECT_TRUE(fs::exists(ClientFolder() / file)) << file;
  }
  EXPECT_TRUE(fs::exists(dir_ / "data" / "Component" / "engine" / "Setup.exe"));
  EXPECT_EQ(ReadFile(ClientFolder() / "setup_args.txt").substr(ReadFile(ClientFolder() / "setup_args.txt").find("--")),
            "--install \"1\" --no-create-desktop-link \"1\" --no-create-service \"\" --no-create-start-menu-link \"1\" ");

  EXPECT_EQ(MachineString(L"InstallPath"), (dir_ / "install").wstring());
  EXPECT_EQ(MachineString(L"QuilloraneData"), (dir_ / "data").wstring());
  EXPECT_EQ(MachineString(L"Version"), L"2.0.0.9");
  EXPECT_EQ(base::ReadRegQword(HKEY_CURRENT_USER, ProductKey() + L"\\QuilloraneEmulator", L"BrandCode", 99), 0u);
  EXPECT_EQ(base::ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion", L"<absent>"), L"2.0.0.9");
  EXPECT_NE(base::ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString", L"").find(L"Uninstall.exe"),
            std::wstring::npos);
  EXPECT_NE(base::ReadRegString(HKEY_CLASSES_ROOT, L"Quillorane\\shell\\open\\command", L"", L"")
                .find(L"QuilloraneLauncher.exe"),
            std::wstring::npos);
  EXPECT_EQ(base::ReadRegQword(HKEY_LOCAL_MACHINE, ProductKey(), L"OemCounter", 99), 1u) << "the channel \"vzt\"";
  EXPECT_EQ(base::ReadRegQword(HKEY_LOCAL_MACHINE, ProductKey(), L"ClientType", 99), 1u)
      << "no client type given, and no Android subsystem among the components";
  EXPECT_EQ(base::ReadRegQword(HKEY_LOCAL_MACHINE, ProductKey() + L"\\Settings\\QuilloraneSettings",
                               L"ZephrisAutoStartSwitch", 99),
            0u);
  EXPECT_NE(outcome.log.find("install comps success"), std::string::npos) << outcome.log;
}

TEST_F(InstallEngineTest, ArchiveOnDiskIsNotDownloadedAgain) {
  const std::string url = FaultUrl("engine-test-client", "");
  AnswerComponents(json::array({Component("client", 1, "engine-test-client", url)}));
  fs::copy_file(RigArchive("engine-test-client"), ComponentDir() / "client.7z");
  const Outcome outcome = Run(L"");
  ASSERT_EQ(outcome.exit_code, 0) << outcome.log;
  EXPECT_NE(outcome.log.find("client already download md5"), std::string::npos) << outcome.log;
  EXPECT_EQ(FaultStats(Marker()), "") << "no request reached the server";
  EXPECT_TRUE(fs::exists(ClientFolder() / "Uninstall.exe"));
}

TEST_F(InstallEngineTest, PauseThenResumeFinishes) {
  AnswerComponents(
      json::array({Component("client", 1, "engine-test-big", RateUrl("engine-test-big", "512k"))}));
  const Outcome outcome = Run(L"", L"pause-on-download");
  ASSERT_EQ(outcome.exit_code, 0) << outcome.log;
  EXPECT_NE(outcome.log.find("Pause"), std::string::npos) << outcome.log;
  EXPECT_NE(outcome.log.find("Resume"), std::string::npos) << outcome.log;
  EXPECT_EQ(outcome.StatusCodes().back(), 8);
  EXPECT_TRUE(fs::exists(ClientFolder() / "payload.bin"));
}

TEST_F(InstallEngineTest, InstallOnlyUsesTheListCachedByADownloadOnlyRun) {
  AnswerComponents(json::array({Component("client", 1, "engine-test-client")}));
  const Outcome download = Run(L"--install-action 1 --sdk-product enginetest");
  ASSERT_EQ(download.exit_code, 0) << download.log;
  std::vector<int> codes = download.StatusCodes();
  std::erase(codes, 3);
  EXPECT_EQ(codes, (std::vector<int>{1, 8}));
  EXPECT_FALSE(fs::exists(ClientFolder())) << "a download-only run unpacks nothing";

  // The web API now fails: the list can only come from the cache.
  SetMode("error_code");
  const Outcome install = Run(L"--install-action 2 --sdk-product enginetest");
  ASSERT_EQ(install.exit_code, 0) << install.log;
  EXPECT_EQ(install.StatusCodes(), (std::vector<int>{1, 5, 6, 7, 8}));
  EXPECT_EQ(CountOf(install.log, "retry update api"), 0u) << install.log;
  EXPECT_TRUE(fs::exists(ClientFolder() / "Uninstall.exe"));

  // A successful install from the cache uses the entry up.
  const Outcome again = Run(L"--install-action 2 --sdk-product enginetest");
  EXPECT_EQ(again.exit_code, 1) << again.log;
}

// An install-only run has no list without a cached one: it fails with 1 and
// stops there, instead of reporting success after its error.
TEST_F(InstallEngineTest, InstallOnlyWithoutAListFails) {
  const Outcome outcome = Run(L"--install-action 2");
  EXPECT_EQ(outcome.exit_code, 1) << outcome.log;
  EXPECT_EQ(outcome.StatusCodes(), (std::vector<int>{1, 5, 100}));
}

// An archive that changed on disk after its download is not unpacked.
TEST_F(InstallEngineTest, ArchiveChangedSinceTheDownloadIsNotExtracted) {
  const json client = Component("client", 1, "engine-test-client");
  AnswerComponents(json::array({client}));
  ASSERT_EQ(Run(L"--install-action 1 --sdk-product enginetest").exit_code, 0);
  fs::copy_file(RigArchive("engine-test-engine"), ComponentDir() / "client.7z", fs::copy_options::overwrite_existing);

  const Outcome outcome = Run(L"--install-action 2 --sdk-product enginetest");
  EXPECT_EQ(outcome.exit_code, 7) << outcome.log;
  EXPECT_EQ(outcome.out["detail_code_0"], 1);
  EXPECT_EQ(outcome.out["error_message"], client["url"]);
  EXPECT_EQ(outcome.out["error_message_1"], base::FileMd5Hex(RigArchive("engine-test-engine")));
  EXPECT_FALSE(fs::exists(ClientFolder())) << "nothing unpacked";
  EXPECT_EQ(outcome.StatusCodes().back(), 100);
}

struct InstallFailureCase {
  const char* name;
  const char* archive;
  int result;
  int detail_code_0;
  const char* error_message;
};

void PrintTo(const InstallFailureCase& c, std::ostream* os) { *os << c.name; }

class InstallFailureTest : public InstallEngineTest, public testing::WithParamInterface<InstallFailureCase> {};

TEST_P(InstallFailureTest, EndsWithItsResultCode) {
  const InstallFailureCase& c = GetParam();
  AnswerComponents(json::array({Component("client", 1, c.archive)}));
  const Outcome outcome = Run(L"");
  EXPECT_EQ(outcome.exit_code, c.result) << outcome.log;
  EXPECT_EQ(outcome.out["detail_code_0"], c.detail_code_0);
  EXPECT_EQ(outcome.out["error_message"], c.error_message);
  EXPECT_EQ(outcome.StatusCodes().back(), 100);
  EXPECT_EQ(MachineString(L"InstallPath"), L"<absent>") << "a failed fresh install leaves no product key";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InstallFailureTest,
    testing::Values(InstallFailureCase{"SetupExitsNonZero", "engine-test-setup-fails", 3, 7, ""},
                    InstallFailureCase{"KeyFileMissing", "engine-test-no-uninstall", 9, 0, "Uninstall.exe"}),
    [](const testing::TestParamInfo<InstallFailureCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace engine_testing
