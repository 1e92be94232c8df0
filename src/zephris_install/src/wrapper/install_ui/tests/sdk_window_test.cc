// The engine-SDK window driven by mouse input, with the engine's statuses and
// the app's install states handed in from other threads, and a fake engine.
#include "src/zephris_install/src/wrapper/install_ui/sdk_window.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "base/path_manager.h"
#include "base/registry.h"
#include "base/registry_stamp.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/wrapper/install_ui/tests/window_rig.h"
#include "src/zephris_install/src/wrapper/install_wrapper/tests/fake_engine.h"
#include "ui_toolkit/controls/label.h"
#include "ui_toolkit/controls/progress.h"

namespace {

using front_test::EngineProbe;
using front_test::FakeEngine;
using window_rig::FakeBoxes;
using window_rig::Testable;
using window_rig::WindowRun;
using TestSdkWindow = Testable<SdkWindow>;

constexpr char kPlaceholderApp[] = "com.pcvztsdk.install.demo";

class SdkWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    base::PathManager::GetInstance().Init(L"Quillorane");
    window_rig::UseFixtureSkin();
  }

  void SetUp() override {
    GlobalConfig& config = GlobalConfig::Instance();
    config.install_result_code = 0;
    config.install_mode = 0;
    config.install_ui = 1;
    config.install_priority = 0;
    config.auto_authorize = 0;
    config.pullup_type = 0;
    config.display_name = "Demo Game";
    config.app_id = kPlaceholderApp;
    config.app_type = 0;
    config.source_trace = "PcvztSdk";
    config.sdk_product = "";
    config.create_desktop_link = 0;
    config.create_start_menu_link = 0;
    config.desktop_link_option_changed = false;
    ClearMark();
  }
  void TearDown() override { ClearMark(); }

  static void ClearMark() {
    const base::MarkStore mark(SdkWindow::kSdkMark);
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, mark.key().c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
      ::RegDeleteValueW(key, mark.name().c_str());
      ::RegCloseKey(key);
    }
  }
  static bool MarkSet() { return base::MarkStore(SdkWindow::kSdkMark).IsSet(); }

  void Open() {
    window_ = InstallUI::Make<TestSdkWindow>();
    window_->SetEngine(std::make_shared<FakeEngine>(window_, probe_));
    window_->SetBoxes(boxes_);
    run_ = std::make_unique<WindowRun>(window_);
    ASSERT_TRUE(run_->Start());
  }

  void Status(int32_t code, std::optional<double> percent = {}, std::optional<int32_t> type = {}) {
    InstallStatus status;
    status.code = code;
    status.percent = percent;
    status.component_type = type;
    std::thread([&] { window_->OnInstallStatus(status); }).join();
  }
  void AppState(const std::string& app_id, const std::string& state, const std::string& progress = "",
                const std::string& engine_name = "") {
    InstallerAppInstallState record;
    record.app_id = app_id;
    record.state = state;
    record.progress = progress;
    record.is_installing_engine = false;
    record.engine_name = engine_name;
    std::thread([&] { window_->OnAppInstallState(record); }).join();
  }
  bool LineIs(const std::wstring& text) {
    return run_->WaitUi([&] { return window_->Find(L"installing_precent_label")->GetText() == text.c_str(); });
  }
  int Bar() {
    int value = -1;
    run_->OnUi([&] {
      value = static_cast<SkinUI::CProgressUI*>(window_->Find(L"installing_progress"))->GetValue();
    });
    return value;
  }
  void StartInstalling() {
    ASSERT_TRUE(run_->Click(L"authorize_option"));
    ASSERT_TRUE(run_->Enabled(L"install_btn"));
    ASSERT_TRUE(run_->Click(L"install_btn"));
    ASSERT_TRUE(probe_->WaitRunning());
  }

  std::shared_ptr<TestSdkWindow> window_;
  std::shared_ptr<EngineProbe> probe_ = std::make_shared<EngineProbe>();
  std::shared_ptr<FakeBoxes> boxes_ = std::make_shared<FakeBoxes>();
  std::unique_ptr<WindowRun> run_;
};

TEST_F(SdkWindowTest, APlaceholderAppShowsTheRecordsNameAndTheSkinsPicture) {
  Open();
  EXPECT_EQ(window_->title(), L"Demo Game");
  EXPECT_TRUE(window_->icon_path().empty());
  EXPECT_EQ(run_->Text(L"title_label"), L"是否安装【Demo Game】");
  EXPECT_EQ(run_->Text(L"content_label"), L"电脑上运行【Demo Game】需由OrvalisQuillorane提供移动应用引擎服务");
  EXPECT_EQ(run_->Text(L"app_name_label"), L"Demo Game");
  EXPECT_EQ(run_->BackgroundImage(L"app_label"), L"");
  EXPECT_FALSE(run_->Enabled(L"install_btn"));
}

TEST_F(SdkWindowTest, AnAppThatRunsSaysRunEverywhere) {
  GlobalConfig::Instance().app_type = 2;
  Open();
  EXPECT_EQ(run_->Text(L"title_label"), L"是否运行【Demo Game】");
  ASSERT_TRUE(run_->Click(L"authorize_option"));
  EXPECT_EQ(run_->Text(L"install_btn"), L"运行");
  ASSERT_TRUE(run_->Click(L"install_btn"));
  ASSERT_TRUE(probe_->WaitRunning());
  EXPECT_EQ(run_->Text(L"title_label"), L"【Demo Game】运行中");
  EXPECT_EQ(run_->Text(L"content_label"), L"移动应用引擎服务由OrvalisQuillorane提供");
  EXPECT_FALSE(run_->Visible(L"install_start_card"));
  EXPECT_TRUE(run_->Visible(L"installing_card"));
}

TEST_F(SdkWindowTest, InstallingBeforeAnyDownloadMovesTheBarAfterItNot) {
  GlobalConfig::Instance().install_priority = 1;  // F = 0.6 on a fresh machine
  Open();
  StartInstalling();
  Status(kStatusInstalling, 50, 2);
  EXPECT_TRUE(LineIs(L"正在安装虚拟化组件，请稍候..."));
  EXPECT_EQ(Bar(), 30);
  Status(kStatusDownloading, 100, 1);
  EXPECT_TRUE(LineIs(L"60.00% 正在下载Quillorane组件，请稍候..."));
  Status(kStatusInstalling, 10, 1);
  EXPECT_TRUE(LineIs(L"正在安装Quillorane组件，请稍候..."));
  EXPECT_EQ(Bar(), 60);
}

TEST_F(SdkWindowTest, CompletionWithAnAppStillToInstallKeepsTheWindow) {
  GlobalConfig::Instance().install_priority = 1;
  Open();
  StartInstalling();
  Status(kStatusCompleted);
  EXPECT_TRUE(run_->WaitUi([] { return MarkSet(); }));
  EXPECT_FALSE(run_->exited());

  // States of other apps change nothing; the app's own lead on.
  AppState("com.other.app", "app_install_complete");
  AppState(kPlaceholderApp, "app_downloading", "0.5");
  EXPECT_TRUE(LineIs(L"80.00% 正在下载Demo Game，请稍候..."));
  EXPECT_FALSE(run_->exited());
  AppState(kPlaceholderApp, "app_install_complete");
  EXPECT_TRUE(run_->WaitExit());
}

TEST_F(SdkWindowTest, CompletionOtherwiseMarksAndFinishes) {
  Open();
  StartInstalling();
  probe_->FinishWith(kStatusCompleted);
  ASSERT_TRUE(run_->WaitExit());
  EXPECT_TRUE(MarkSet());
}

TEST_F(SdkWindowTest, TheEnginesOwnAppEndsTheInstallWhenItsDownloadCompletes) {
  Open();
  StartInstalling();
  AppState(kPlaceholderApp, "app_download_complete", "", "ZVApp");
  ASSERT_TRUE(run_->WaitExit());
  EXPECT_TRUE(MarkSet());
}

TEST_F(SdkWindowTest, AppErrorsShowTheFailureText) {
  for (const char* state : {"app_download_error", "zephris_store_exit", "app_install_error"}) {
    SCOPED_TRACE(state);
    probe_ = std::make_shared<EngineProbe>();
    Open();
    StartInstalling();
    AppState(kPlaceholderApp, state);
    EXPECT_TRUE(LineIs(L"安装失败，请重新尝试下载"));
    DWORD color = 0;
    run_->OnUi([&] { color = static_cast<SkinUI::CLabelUI*>(window_->Find(L"installing_precent_label"))->GetTextColor(); });
    EXPECT_EQ(color, 0xFFFF0055u);
    EXPECT_FALSE(run_->exited());
    run_.reset();
  }
}

TEST_F(SdkWindowTest, CancelEndsTheWindowWithoutAnInstall) {
  Open();
  ASSERT_TRUE(run_->Click(L"cancel_btn"));
  ASSERT_TRUE(run_->WaitExit());
  EXPECT_EQ(probe_->runs, 0);
  EXPECT_FALSE(MarkSet());
}

TEST(SdkPackageTest, PlaceholderIdsAreNoPackages) {
  EXPECT_FALSE(IsRealPackage(""));
  EXPECT_FALSE(IsRealPackage("com.pcvztsdk.install.12"));
  EXPECT_TRUE(IsRealPackage("com.example.game"));
}

}  // namespace
