// The demo components' programs as the installer and the uninstall entry
// start them: unpacked from the built archives by the project's archive
// layer, run as child processes against the test prefix's registry.
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/archive_extractor.h"
#include "archive/archive_format.h"
#include "archive/seven_zip_library.h"
#include "base/path_manager.h"
#include "base/registry.h"
#include "base/text_conversion.h"
#include "src/zephris_install/src/tool/uninstall_entry.h"
#include "testing/process/child_process.h"

namespace {

namespace fs = std::filesystem;

constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillorane";
constexpr wchar_t kClientVersion[] = L"" QL_DEMO_CLIENT_VERSION;
// The setup command lines the installer builds (with and without the
// auto-start service).
constexpr wchar_t kSetupArgs[] = LR"(--install "1" --no-create-desktop-link "1" --no-create-start-menu-link "1")";
constexpr wchar_t kSetupArgsNoService[] =
    LR"(--install "1" --no-create-desktop-link "1" --no-create-service "" --no-create-start-menu-link "1")";

fs::path ComponentsDir() { return testing_process::DosPath(QL_DEMO_COMPONENTS_DIR); }

// The exit code of the program started with these arguments.
DWORD RunProgram(const fs::path& program, const std::wstring& arguments) {
  testing_process::ChildProcess child(L"\"" + program.wstring() + L"\" " + arguments);
  EXPECT_TRUE(child.started()) << program;
  return child.Wait(std::chrono::seconds(60)).value_or(STILL_ACTIVE);
}

std::vector<std::string> RecordLines(const fs::path& program) {
  const fs::path record = program.parent_path() / (program.stem().wstring() + L".cmdline.txt");
  std::istringstream text(testing_process::ReadFileText(record.wstring()));
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

// Each case runs the programs under a product name of its own (the uninstall
// entry's name is fixed: the case holds its lock).
class DemoComponentsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(::SetEnvironmentVariableW(L"QL_DEMO_PRODUCT_NAME", product_.c_str()));
    ClearKeys();
    arc::SevenZipLibrary library(testing_process::DosPath(QL_SEVENZIP_DLL));
    arc::ArchiveExtractor extractor(library, arc::ArchiveFormats::SevenZipFormat);
    extractor.ExtractArchive((ComponentsDir() / L"client.7z").wstring(), client_.wstring());
    extractor.ExtractArchive((ComponentsDir() / L"engine.7z").wstring(), engine_.wstring());
    // What the installer writes before it runs any setup.
    ASSERT_TRUE(base::WriteRegString(HKEY_LOCAL_MACHINE, product_key_, L"InstallPath", install_.wstring()));
    base::PathManager::GetInstance().Init(product_);
  }
  void TearDown() override { ClearKeys(); }

  void ClearKeys() const {
    base::DeleteRegTree(HKEY_LOCAL_MACHINE, product_key_);
    base::DeleteRegTree(HKEY_CURRENT_USER, product_key_);
    base::DeleteRegTree(HKEY_LOCAL_MACHINE, kUninstallKey);
  }

  fs::path ApplicationDir() const { return install_ / L"Application"; }
  fs::path WorkingDir() const { return ApplicationDir() / kClientVersion; }

  const std::wstring product_ = L"QlDemo" + std::to_wstring(::GetCurrentProcessId());
  const std::wstring product_key_ = L"SOFTWARE\\Orvalis\\" + product_;
  const std::wstring client_key_ = product_key_ + L"\\QuilloraneEmulator";
  testing_process::TempFolder temp_;
  const fs::path client_ = fs::path(temp_.path()) / L"Component" / L"client";
  const fs::path engine_ = fs::path(temp_.path()) / L"Component" / L"engine";
  const fs::path install_ = fs::path(temp_.path()) / L"Program Files" / L"Orvalis" / product_;
};

TEST_F(DemoComponentsTest, ArchivesHoldWhatTheInstallerLooksFor) {
  for (const wchar_t* file : {L"Setup.exe", L"QuilloraneLauncher.exe", L"Quillorane.exe", L"QuilloraneEmulator.exe",
                              L"Uninstall.exe", L"resources\\icon\\apk.ico"}) {
    EXPECT_TRUE(fs::is_regular_file(client_ / file)) << file;
  }
  EXPECT_TRUE(fs::is_regular_file(engine_ / L"Setup.exe"));
  const HANDLE icon = ::LoadImageW(nullptr, (client_ / L"resources\\icon\\apk.ico").c_str(), IMAGE_ICON, 0, 0,
                                   LR_LOADFROMFILE | LR_DEFAULTSIZE);
  EXPECT_NE(icon, nullptr) << "apk.ico is not an icon";
  if (icon != nullptr) ::DestroyIcon(static_cast<HICON>(icon));
  EXPECT_EQ(testing_process::ReadFileText((ComponentsDir() / L"components.txt").wstring()),
            "client.7z 1 " QL_DEMO_CLIENT_VERSION "\nengine.7z 2 " QL_DEMO_ENGINE_VERSION "\n");
}

struct SetupCase {
  const char* name;
  bool client;  // the client's setup, else the engine's
  const wchar_t* arguments;
  DWORD exit_code;
  bool installs_client;
};

void PrintTo(const SetupCase& c, std::ostream* os) { *os << c.name; }

class DemoSetupTest : public DemoComponentsTest, public ::testing::WithParamInterface<SetupCase> {};

TEST_P(DemoSetupTest, RecordsItsCommandLineAndInstallsOnlyWhenAsked) {
  const SetupCase& c = GetParam();
  const fs::path setup = (c.client ? client_ : engine_) / L"Setup.exe";
  EXPECT_EQ(RunProgram(setup, c.arguments), c.exit_code);
  EXPECT_EQ(RecordLines(setup), std::vector<std::string>{base::WideToUtf8(c.arguments)});

  for (const fs::path& file : {ApplicationDir() / L"QuilloraneLauncher.exe", ApplicationDir() / L"Uninstall.exe",
                               ApplicationDir() / L"resources\\icon\\apk.ico", WorkingDir() / L"Quillorane.exe",
                               WorkingDir() / L"QuilloraneEmulator.exe"}) {
    EXPECT_EQ(fs::is_regular_file(file), c.installs_client) << file;
  }
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    EXPECT_EQ(base::ReadRegString(root, client_key_, L"Version", L"none"), c.installs_client ? kClientVersion : L"none");
  }
  // What the installer's own check says of it.
  EXPECT_EQ(base::PathManager::GetInstance().HasClientFiles(), c.installs_client);
}

// A second install over the first, as a reinstall from the main window does.
TEST_F(DemoComponentsTest, ClientSetupInstallsAgainOverItsOwnFiles) {
  const fs::path setup = client_ / L"Setup.exe";
  ASSERT_EQ(RunProgram(setup, kSetupArgs), 0u);
  EXPECT_EQ(RunProgram(setup, kSetupArgs), 0u);
  EXPECT_TRUE(base::PathManager::GetInstance().HasClientFiles());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DemoSetupTest,
    ::testing::Values(SetupCase{"client", true, kSetupArgs, 0, true},
                      SetupCase{"client_no_service", true, kSetupArgsNoService, 0, true},
                      SetupCase{"engine", false, kSetupArgs, 0, false},
                      SetupCase{"engine_no_service", false, kSetupArgsNoService, 0, false},
                      SetupCase{"client_install_0", true, LR"(--install "0" --no-create-desktop-link "1")", 2, false},
                      SetupCase{"client_bare", true, L"", 2, false},
                      SetupCase{"engine_bare", false, L"", 2, false}),
    [](const auto& info) { return std::string(info.param.name); });

class DemoClientTest : public DemoComponentsTest, public ::testing::WithParamInterface<const wchar_t*> {};

// The launch the installer makes after an install, then a second one.
TEST_P(DemoClientTest, RecordsEachStart) {
  const fs::path program = client_ / GetParam();
  const std::wstring first =
      LR"(--from "1002" --pseudo-protocol "Quillorane://client/windowActive?vzt_downloader_channel_id=2000&report_info=&silent=0&client_type=-1")";
  const std::wstring second = LR"(--from "1002" --pseudo-protocol "Quillorane://client/windowActive" --silent "")";
  EXPECT_EQ(RunProgram(program, first), 0u);
  EXPECT_EQ(RunProgram(program, second), 0u);
  EXPECT_EQ(RecordLines(program), (std::vector<std::string>{base::WideToUtf8(first), base::WideToUtf8(second)}));
}

INSTANTIATE_TEST_SUITE_P(Programs, DemoClientTest,
                         ::testing::Values(L"Quillorane.exe", L"QuilloraneEmulator.exe", L"QuilloraneLauncher.exe"),
                         [](const auto& info) { return fs::path(info.param).stem().string(); });

// Installs the client and writes the uninstall entry as the installer does.
class DemoUninstallTest : public DemoComponentsTest {
 protected:
  void SetUp() override {
    DemoComponentsTest::SetUp();
    ASSERT_EQ(RunProgram(client_ / L"Setup.exe", kSetupArgs), 0u);
    uninstaller_ = ApplicationDir() / L"Uninstall.exe";
    ASSERT_TRUE(WriteUninstallEntry(kUninstallKeyName, BuildUninstallCommand(uninstaller_.wstring()),
                                    uninstaller_.wstring(), kUninstallDisplayName, kClientVersion,
                                    kProductPublisher));
  }
  fs::path uninstaller_;
};

TEST_F(DemoUninstallTest, TheUninstallEntryRemovesTheClient) {
  const std::wstring command = base::ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString", L"");
  ASSERT_FALSE(command.empty());
  testing_process::ChildProcess child(command);
  ASSERT_TRUE(child.started());
  EXPECT_EQ(child.Wait(std::chrono::seconds(60)), std::optional<DWORD>(0));

  EXPECT_FALSE(fs::exists(ApplicationDir()));
  EXPECT_FALSE(base::OpenRegKey(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_READ).IsValid());
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    EXPECT_FALSE(base::OpenRegKey(root, client_key_, KEY_READ).IsValid());
  }
  // The product's own settings are not the client's to remove.
  EXPECT_EQ(base::ReadRegString(HKEY_LOCAL_MACHINE, product_key_, L"InstallPath", L""), install_.wstring());
  // The uninstaller moved itself aside to leave the folder; it is ours to clean.
  wchar_t temp[MAX_PATH + 1] = {};
  ::GetTempPathW(MAX_PATH + 1, temp);
  std::error_code ignored;
  fs::remove(fs::path(temp) / (L"Uninstall-" + std::to_wstring(child.id()) + L".exe"), ignored);
}

TEST_F(DemoUninstallTest, WithoutItsOptionNothingIsRemoved) {
  EXPECT_EQ(RunProgram(uninstaller_, L""), 2u);
  EXPECT_TRUE(fs::is_regular_file(WorkingDir() / L"Quillorane.exe"));
  EXPECT_TRUE(base::OpenRegKey(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_READ).IsValid());
  EXPECT_EQ(base::ReadRegString(HKEY_LOCAL_MACHINE, client_key_, L"Version", L""), kClientVersion);
}

}  // namespace
