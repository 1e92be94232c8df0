// The reinstall engine on an installed client that lost its store-UI
// library, in a product of the case's own: the library restored from its
// backup, the links, the uninstall entry and the URL protocol recreated, the
// statuses the front end sees, and what a rig peer registered as the client
// receives. Without a backup the switch fails and leaves everything alone.
#include "src/zephris_install/src/impl/install/reinstall.h"

#include <windows.h>
#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "base/path_manager.h"
#include "base/registry.h"
#include "base/system_probe.h"
#include "base/tests/settings_test_util.h"
#include "ipc/ipc_packet.h"
#include "src/zephris_install/src/global_config/client_state.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/tool/tests/log_capture.h"
#include "src/zephris_install/src/tool/tests/shell_test_product.h"
#include "src/zephris_install/src/tool/uninstall_entry.h"
#include "testing/ipc/child_process.h"

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillorane";
constexpr char kStoreUiBytes[] = "store-ui library of the backup";

class RecordingNotify : public IInstallNotify {
 public:
  void OnInstallStatus(const InstallStatus& status) override {
    std::lock_guard lock(mutex_);
    codes_.push_back(status.code);
  }
  void OnAppInstallState(const InstallerAppInstallState&) override {}
  void HandleInstallStatus(InstallStatus) override {}
  void HandleAppInstallState(InstallerAppInstallState) override {}
  void OnUserInstallCtrl(InstallCtrl) override {}

  std::vector<int32_t> codes() {
    std::lock_guard lock(mutex_);
    return codes_;
  }

 private:
  std::mutex mutex_;
  std::vector<int32_t> codes_;
};

fs::path ShellFolder(int csidl) {
  wchar_t folder[MAX_PATH] = {};
  EXPECT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder)));
  return folder;
}

fs::path DesktopLink() { return ShellFolder(CSIDL_DESKTOP) / (std::wstring(kProductDisplayText) + L".lnk"); }
fs::path StartMenuLink() { return ShellFolder(CSIDL_COMMON_PROGRAMS) / (std::wstring(kProductDisplayText) + L".lnk"); }

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void RemoveShellTraces() {
  std::error_code ignored;
  fs::remove(DesktopLink(), ignored);
  fs::remove(StartMenuLink(), ignored);
  base::DeleteRegTree(HKEY_LOCAL_MACHINE, kUninstallKey);
  base::DeleteRegTree(HKEY_CLASSES_ROOT, L"Quillorane");
}

class ReinstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveShellTraces();
    product_.SetClientType(0);
    auto& paths = base::PathManager::GetInstance();
    settings_test::SetString(HKEY_CURRENT_USER, paths.GetRegistryKey(base::ComponentKind::kClient), L"Version",
                             L"5.6.7.8");
    client_dir_ = paths.GetComponentDir(base::ComponentKind::kClient);
    ASSERT_FALSE(client_dir_.empty());
    // An installed store-UI client (brand code 10) without its library.
    for (const wchar_t* file : {L"Quillorane.exe", L"QuilloraneEmulator.exe"}) std::ofstream(client_dir_ / file) << "x";
    settings_test::SetQword(HKEY_CURRENT_USER, paths.GetRegistryKey(base::ComponentKind::kClient), L"BrandCode", 10);
    backup_ = fs::path(paths.GetAppDataDir(base::AppDataDirKind::kSelf)) / L"zephris.bak";

    GlobalConfig& config = GlobalConfig::Instance();
    InitConfigDefaults(config);
    config.install_result_code = 0;
    config.zephris_main_version = "5.6.7.8";
    notify_ = std::make_shared<RecordingNotify>();
  }
  void TearDown() override {
    if (quit_) quit_->Set();
    peer_.Wait(10000);
    RemoveShellTraces();
  }

  void WriteBackup() { std::ofstream(backup_, std::ios::binary) << kStoreUiBytes; }

  // A rig peer as the client, recording the show requests.
  void StartClientPeer() {
    received_ = temp_.path() / L"received.jsonl";
    const std::string ready = ipc_testing::UniqueName("reinstall-ready");
    const std::string quit = ipc_testing::UniqueName("reinstall-quit");
    ipc_testing::NamedEvent ready_event(ready);
    quit_ = std::make_unique<ipc_testing::NamedEvent>(quit);
    ASSERT_TRUE(peer_.Start(ipc_testing::ToWindowsPath(QL_RECORD_PEER_EXE),
                            {"--type", std::to_string(ipc::kClientAppstore), "--msgs",
                             std::to_string(ipc::kMsgShowTrayAndWindow), "--out", received_.string(), "--ready", ready,
                             "--quit", quit}));
    ASSERT_TRUE(ready_event.Wait(20000));
  }

  // The show requests of this process the peer received, once it had time
  // for one.
  std::vector<json> ShowRequests(bool expect_one) {
    return expect_one ? install_testing::WaitForOwnPackets(received_.wstring(), 1, 20000)
                      : install_testing::OwnPackets(received_.wstring());
  }

  shell_test::ScopedShellProduct product_;
  settings_test::ScopedTempDir temp_;
  fs::path client_dir_;
  fs::path backup_;
  fs::path received_;
  std::shared_ptr<RecordingNotify> notify_;
  ipc_testing::ChildProcess peer_;
  std::unique_ptr<ipc_testing::NamedEvent> quit_;
};

TEST_F(ReinstallTest, RestoresTheLibraryAndRecreatesTheIntegration) {
  WriteBackup();
  StartClientPeer();
  GlobalConfig::Instance().pullup_type = 1;
  Reinstall engine(notify_);
  EXPECT_EQ(engine.Run(), 0);
  EXPECT_EQ(engine.stage(), kStatusCompleted);
  EXPECT_EQ(notify_->codes(), (std::vector<int32_t>{kStatusStarted, kStatusInstallStarted, kStatusInstallFinished,
                                                    kStatusCompleted}));
  EXPECT_EQ(ReadFile(client_dir_ / L"store_ui_dll.dll"), kStoreUiBytes);
  EXPECT_TRUE(fs::exists(DesktopLink()));
  EXPECT_TRUE(fs::exists(StartMenuLink()));
  const auto version = settings_test::GetRawValue(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion");
  ASSERT_TRUE(version.found);
  EXPECT_EQ(settings_test::RawText(version), L"5.6.7.8");
  EXPECT_TRUE(settings_test::KeyExists(HKEY_CLASSES_ROOT, L"Quillorane\\shell\\open\\command"));

  const std::vector<json> requests = ShowRequests(true);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0]["to"], ipc::kClientAppstore);
  EXPECT_EQ(requests[0]["msg_id"], ipc::kMsgShowTrayAndWindow);
  EXPECT_EQ(requests[0]["handle_self_ipc"], true);
  EXPECT_EQ(requests[0]["data"], json({{"show_main_window", true}, {"show_tray", true}}));
}

// Only the links the configuration asks for are made.
TEST_F(ReinstallTest, LinksFollowTheConfiguration) {
  WriteBackup();
  struct Case {
    int desktop;
    int start_menu;
  };
  for (const Case c : {Case{0, 1}, Case{1, 0}, Case{0, 0}}) {
    SCOPED_TRACE(std::to_string(c.desktop) + "/" + std::to_string(c.start_menu));
    RemoveShellTraces();
    GlobalConfig::Instance().create_desktop_link = c.desktop;
    GlobalConfig::Instance().create_start_menu_link = c.start_menu;
    EXPECT_TRUE(SwitchToNormalMode(L"1.0.0.0", ReinstallOptionsFromConfig()));
    EXPECT_EQ(fs::exists(DesktopLink()), c.desktop == 1);
    EXPECT_EQ(fs::exists(StartMenuLink()), c.start_menu == 1);
  }
}

// Without the backup every copy attempt fails: the engine ends failed and
// makes no link, no entry and no message.
TEST_F(ReinstallTest, MissingBackupFailsAndChangesNothing) {
  StartClientPeer();
  ASSERT_TRUE(settings_test::KeyExists(HKEY_LOCAL_MACHINE, product_.product().key()));
  // The case is the one this engine exists for.
  ASSERT_TRUE(IsClientInstalled());
  ASSERT_TRUE(NeedReinstall());
  install_testing::LogCapture log("reinstall_missing_backup");
  Reinstall engine(notify_);
  // No result code of its own: the failure shows in the final status.
  EXPECT_EQ(engine.Run(), 0);
  EXPECT_EQ(engine.stage(), kStatusFailed);
  EXPECT_EQ(notify_->codes(), (std::vector<int32_t>{kStatusStarted, kStatusInstallStarted, kStatusFailed}));
  EXPECT_FALSE(fs::exists(client_dir_ / L"store_ui_dll.dll"));
  EXPECT_FALSE(fs::exists(DesktopLink()));
  EXPECT_FALSE(fs::exists(StartMenuLink()));
  EXPECT_FALSE(settings_test::KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_EQ(log.Count("restore store ui dll fail, error: 2"), 1u) << log.Text();
  EXPECT_EQ(log.Count("BadExit switch to normal mode fail"), 1u) << log.Text();
  // The product's keys of the earlier installation stay.
  EXPECT_TRUE(settings_test::KeyExists(HKEY_LOCAL_MACHINE, product_.product().key()));
  // The peer took every message sent before the run ended; none came.
  EXPECT_TRUE(ShowRequests(false).empty());
}

// What the client is asked to show, by pull-up type.
TEST_F(ReinstallTest, ShowFlagsByPullupType) {
  WriteBackup();
  StartClientPeer();
  struct Case {
    int32_t pullup_type;
    bool main_window;
    bool tray;
  };
  const Case cases[] = {{0, false, true}, {1, true, true}, {2, false, true}, {3, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pullup_type);
    std::error_code ignored;
    fs::remove(received_, ignored);
    GlobalConfig::Instance().pullup_type = c.pullup_type;
    GlobalConfig::Instance().create_desktop_link = 0;
    GlobalConfig::Instance().create_start_menu_link = 0;
    ASSERT_TRUE(SwitchToNormalMode(L"1.0.0.0", ReinstallOptionsFromConfig()));
    const std::vector<json> requests = ShowRequests(true);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0]["data"], json({{"show_main_window", c.main_window}, {"show_tray", c.tray}}));
  }
}

// The context-menu extensions, with the rig's COM stand-in (it records its
// registration under HKCU\Software\QlTest\ComStub, by file name) as both
// libraries and the command-line recorder as the Windows 11 program.
TEST_F(ReinstallTest, ContextMenusByWindowsVersion) {
  const std::wstring stub_key = L"Software\\QlTest\\ComStub";
  const auto registered = [&stub_key](const wchar_t* dll) {
    return settings_test::GetRawValue(HKEY_CURRENT_USER, stub_key, dll).found;
  };
  fs::create_directories(client_dir_ / L"win11_context_menu");
  fs::copy_file(ipc_testing::ToWindowsPath(QL_RECORD_ARGS_EXE),
                client_dir_ / L"win11_context_menu" / L"PCvztContextMenuApp.exe");
  const fs::path record = temp_.path() / L"context_menu_args.txt";
  ASSERT_TRUE(SetEnvironmentVariableW(L"QL_RECORD_ARGS", record.c_str()));
  fs::copy_file(ipc_testing::ToWindowsPath(QL_COM_STUB_DLL), client_dir_ / L"context_menu_ext.dll");
  const bool windows11 = base::IsWindows11OrLater();
  const bool windows10 = base::IsWindows10OrLater();
  SCOPED_TRACE(std::string("windows 10: ") + (windows10 ? "yes" : "no") + ", 11: " + (windows11 ? "yes" : "no"));

  struct Case {
    bool assistant_present;
  };
  for (const Case c : {Case{false}, Case{true}}) {
    SCOPED_TRACE(c.assistant_present);
    if (c.assistant_present) {
      fs::copy_file(ipc_testing::ToWindowsPath(QL_COM_STUB_DLL), client_dir_ / L"ZephrisAiAssistantContextMenu.dll");
    }
    std::error_code ignored;
    fs::remove(record, ignored);
    EXPECT_TRUE(RegisterContextMenus());
    // The extension library is registered only between Windows 10 and 11;
    // on Windows 11 the program takes its place ("/u" first, then "/i").
    EXPECT_EQ(registered(L"context_menu_ext.dll"), windows10 && !windows11);
    EXPECT_EQ(registered(L"ZephrisAiAssistantContextMenu.dll"), c.assistant_present);
    EXPECT_EQ(install_testing::ArgumentsOf(ReadFile(record)), windows11 ? "/i" : "");

    EXPECT_TRUE(UnregisterContextMenus());
    EXPECT_FALSE(registered(L"context_menu_ext.dll"));
    EXPECT_FALSE(registered(L"ZephrisAiAssistantContextMenu.dll"));
  }
  SetEnvironmentVariableW(L"QL_RECORD_ARGS", nullptr);
}

TEST(ClientShowRequestJson, WritesOnlyPresentValues) {
  EXPECT_EQ(json(ClientShowRequest{}).dump(), "{}");
  EXPECT_EQ(json(ClientShowRequest{true, std::nullopt}).dump(), R"({"show_tray":true})");
  EXPECT_EQ(json(ClientShowRequest{false, true}).dump(), R"({"show_main_window":true,"show_tray":false})");
}

}  // namespace
