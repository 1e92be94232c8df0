// The main window driven by mouse input through its cards, with the engine's
// statuses and the app states handed in from other threads as the engine and
// IPC hand them, and a fake engine behind the install task.
#include "src/zephris_install/src/wrapper/install_ui/install_window.h"

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "base/path_manager.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/wrapper/install_ui/tests/window_rig.h"
#include "src/zephris_install/src/wrapper/install_wrapper/tests/fake_engine.h"
#include "ui_toolkit/controls/label.h"
#include "ui_toolkit/controls/progress.h"

namespace {

namespace fs = std::filesystem;
using front_test::EngineProbe;
using front_test::FakeEngine;
using window_rig::FakeBoxes;
using window_rig::TestWindow;
using window_rig::WindowRun;

// The fake engine with a component list, which sets the close lock's length.
class ComponentEngine : public FakeEngine {
 public:
  ComponentEngine(const std::shared_ptr<IInstallNotify>& notify, std::shared_ptr<EngineProbe> probe, size_t count)
      : FakeEngine(notify, std::move(probe)) {
    components_.resize(count);
  }
};

class InstallWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    base::PathManager::GetInstance().Init(L"Quillorane");
    window_rig::UseFixtureSkin();
  }

  void SetUp() override {
    GlobalConfig& config = GlobalConfig::Instance();
    config.install_result_code = 0;
    config.install_mode = 0;
    config.install_ui = 0;
    config.install_priority = 0;
    config.auto_authorize = 0;
    config.pullup_type = 0;
    config.display_name = "";
    config.app_id = "";
    config.app_type = 0;
    config.source_trace = "";
    config.sdk_product = "";
    config.create_desktop_link = 0;
    config.create_start_menu_link = 0;
    config.auto_start_market = 1;
    config.desktop_link_option_changed = false;
    config.agreement_accepted = false;
    config.install_dir = L"C:\\Program Files\\Orvalis\\Quillorane";
    config.install_drive = 0;
    config.candidate_install_drives.clear();
    config.carousel_images.clear();
  }

  // A window with the fake engine and boxes, started.
  void Open(size_t components = 1) {
    window_ = InstallUI::Make<TestWindow>();
    window_->SetEngine(std::make_shared<ComponentEngine>(window_, probe_, components));
    window_->SetBoxes(boxes_);
    window_->SetPageOpener([this](const std::wstring& url) { opened_pages_.push_back(url); });
    run_ = std::make_unique<WindowRun>(window_);
    ASSERT_TRUE(run_->Start());
  }

  void Status(int32_t code, std::optional<double> percent = {}, std::optional<int32_t> type = {}) {
    InstallStatus status;
    status.code = code;
    status.percent = percent;
    status.component_type = type;
    // From a thread of its own, as the engine does.
    std::thread([&] { window_->OnInstallStatus(status); }).join();
  }

  void AppState(const std::string& state, const std::string& progress = "", bool engine = false) {
    InstallerAppInstallState record;
    record.app_id = "com.example.game";
    record.state = state;
    record.progress = progress;
    record.is_installing_engine = engine;
    std::thread([&] { window_->OnAppInstallState(record); }).join();
  }

  // Waits until the line shows `text`.
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
  std::string Card() {
    std::string card;
    run_->OnUi([&] { card = window_->current_card(); });
    return card;
  }

  // Ticks the agreement and presses install.
  void StartInstalling() {
    ASSERT_TRUE(run_->Click(L"authorize_option"));
    ASSERT_TRUE(run_->Enabled(L"install_btn"));
    ASSERT_TRUE(run_->Click(L"install_btn"));
    ASSERT_TRUE(probe_->WaitRunning());
    ASSERT_EQ(Card(), "installing_card");
  }

  std::shared_ptr<TestWindow> window_;
  std::shared_ptr<EngineProbe> probe_ = std::make_shared<EngineProbe>();
  std::shared_ptr<FakeBoxes> boxes_ = std::make_shared<FakeBoxes>();
  std::vector<std::wstring> opened_pages_;
  std::unique_ptr<WindowRun> run_;
};

TEST_F(InstallWindowTest, ClicksLeadThroughTheCardsToTheCompletion) {
  Open();
  EXPECT_EQ(Card(), "install_start_card");
  EXPECT_EQ(window_->title(), L"OrvalisQuillorane");
  EXPECT_FALSE(run_->Enabled(L"install_btn"));
  EXPECT_FALSE(run_->Visible(L"custom_install_card"));

  ASSERT_TRUE(run_->Click(L"authorize_option"));
  EXPECT_TRUE(run_->Enabled(L"install_btn"));
  EXPECT_TRUE(GlobalConfig::Instance().agreement_accepted);

  ASSERT_TRUE(run_->Click(L"expand_btn"));
  EXPECT_EQ(Card(), "custom_install_card");
  EXPECT_TRUE(run_->Visible(L"custom_install_card"));
  EXPECT_EQ(run_->ClientSize().cy, 580);
  EXPECT_EQ(run_->BackgroundImage(L"main_card"), L"img/bkg_custom_install.png");
  EXPECT_EQ(run_->Text(L"install_path_edit"), L"C:\\Program Files\\Orvalis\\Quillorane");

  // The options start as the configuration says and store each toggle.
  ASSERT_TRUE(run_->Click(L"start_menu_option"));
  EXPECT_EQ(GlobalConfig::Instance().create_start_menu_link, 1);
  ASSERT_TRUE(run_->Click(L"auto_start_option"));
  EXPECT_EQ(GlobalConfig::Instance().auto_start_market, 0);
  ASSERT_TRUE(run_->Click(L"desktop_link_option"));
  EXPECT_TRUE(GlobalConfig::Instance().desktop_link_option_changed);

  ASSERT_TRUE(run_->Click(L"install_btn"));
  ASSERT_TRUE(probe_->WaitRunning());
  EXPECT_EQ(Card(), "installing_card");
  EXPECT_EQ(run_->ClientSize().cy, 480);
  EXPECT_FALSE(run_->Visible(L"custom_install_card"));
  EXPECT_FALSE(run_->Visible(L"install_start_card"));
  EXPECT_TRUE(run_->Visible(L"installing_display_card"));
  EXPECT_EQ(run_->BackgroundImage(L"display_card"), L"img/carousel_0.png");
  EXPECT_EQ(GlobalConfig::Instance().install_dir, L"C:\\Program Files\\Orvalis\\Quillorane");
  EXPECT_EQ(GlobalConfig::Instance().create_start_menu_link, 1);
  EXPECT_EQ(GlobalConfig::Instance().create_desktop_link, 1);
  EXPECT_EQ(GlobalConfig::Instance().auto_start_market, 0);
  // A second press cannot start a second task.
  EXPECT_FALSE(run_->Enabled(L"install_btn"));

  Status(kStatusDownloading, 42.5, 2);
  EXPECT_TRUE(LineIs(L"42.50% 正在下载虚拟化组件，请稍候..."));
  EXPECT_EQ(Bar(), 42);
  Status(kStatusInstallStarted);
  EXPECT_TRUE(run_->WaitUi([&] { return window_->close_locked(); }));
  EXPECT_FALSE(run_->Visible(L"close_btn"));
  Status(kStatusInstalling, std::nullopt, 3);
  EXPECT_TRUE(LineIs(L"正在安装Android子系统，请稍候..."));
  EXPECT_EQ(Bar(), 100);
  Status(kStatusInstallFinished);
  EXPECT_TRUE(run_->WaitUi([&] { return !window_->close_locked(); }));
  EXPECT_TRUE(run_->Visible(L"close_btn"));

  // The engine completes: the completion card runs its action and the
  // window finishes by itself.
  probe_->FinishWith(kStatusCompleted);
  ASSERT_TRUE(run_->WaitExit());
  EXPECT_EQ(window_->current_card(), "install_complete_card");
  EXPECT_TRUE(probe_->run_returned);
  EXPECT_EQ(GlobalConfig::Instance().install_result_code, 0);
  EXPECT_TRUE(boxes_->Calls().empty());
}

TEST_F(InstallWindowTest, ExpandingTwiceComesBackToTheStartCard) {
  Open();
  ASSERT_TRUE(run_->Click(L"expand_label"));
  EXPECT_EQ(run_->ClientSize().cy, 580);
  ASSERT_TRUE(run_->Click(L"expand_btn"));
  EXPECT_EQ(Card(), "install_start_card");
  EXPECT_EQ(run_->ClientSize().cy, 480);
  EXPECT_FALSE(run_->Visible(L"custom_install_card"));
  EXPECT_EQ(run_->BackgroundImage(L"main_card"), L"img/bkg_main.png");
}

TEST_F(InstallWindowTest, TheCustomCardGrowsTheWindowAtItsScale) {
  window_ = InstallUI::Make<TestWindow>();
  window_->SetScale(150);
  window_->SetEngine(std::make_shared<ComponentEngine>(window_, probe_, 1));
  window_->SetBoxes(boxes_);
  run_ = std::make_unique<WindowRun>(window_);
  ASSERT_TRUE(run_->Start());
  EXPECT_EQ(run_->ClientSize().cy, 720);
  ASSERT_TRUE(run_->Click(L"expand_btn"));
  EXPECT_EQ(run_->ClientSize().cx, 996);
  EXPECT_EQ(run_->ClientSize().cy, 870);
  ASSERT_TRUE(run_->Click(L"expand_btn"));
  EXPECT_EQ(run_->ClientSize().cy, 720);
}

TEST_F(InstallWindowTest, AutoAuthorizeStartsWithTheAgreementTicked) {
  GlobalConfig::Instance().auto_authorize = 1;
  Open();
  bool selected = false;
  run_->OnUi([&] { selected = static_cast<SkinUI::COptionUI*>(window_->Find(L"authorize_option"))->IsSelected(); });
  EXPECT_TRUE(selected);
  EXPECT_TRUE(run_->Enabled(L"install_btn"));
}

TEST_F(InstallWindowTest, AutoStartInstallsWithoutTheStartCard) {
  GlobalConfig::Instance().install_mode = 1;
  Open();
  ASSERT_TRUE(probe_->WaitRunning());
  EXPECT_EQ(Card(), "installing_card");
  EXPECT_FALSE(run_->Visible(L"install_start_card"));
}

TEST_F(InstallWindowTest, TheAgreementLinksOpenTheirPages) {
  Open();
  ASSERT_TRUE(run_->Click(L"agreement_label"));
  ASSERT_TRUE(run_->Click(L"policy_label"));
  ASSERT_EQ(opened_pages_.size(), 2u);
  EXPECT_TRUE(opened_pages_[0].ends_with(L"/tuvo/webapp4/user_pact.html"));
  EXPECT_NE(opened_pages_[1].find(L"/document/preview/"), std::wstring::npos);
}

TEST_F(InstallWindowTest, StatusesBeforeTheWindowExistsAreKept) {
  window_ = InstallUI::Make<TestWindow>();
  window_->SetEngine(std::make_shared<FakeEngine>(window_, probe_));
  window_->SetBoxes(boxes_);
  InstallStatus early;
  early.code = kStatusDownloading;
  early.percent = 10;
  window_->OnInstallStatus(early);
  run_ = std::make_unique<WindowRun>(window_);
  ASSERT_TRUE(run_->Start());
  EXPECT_TRUE(LineIs(L"10.00% 正在下载Quillorane组件，请稍候..."));
  EXPECT_EQ(Bar(), 10);
}

TEST_F(InstallWindowTest, ProgressWithAnAppToInstallIsSplitAtTheBase) {
  GlobalConfig::Instance().install_priority = 1;
  Open();
  StartInstalling();
  Status(kStatusDownloading, 100, 1);
  EXPECT_TRUE(LineIs(L"18.00% 正在下载Quillorane组件，请稍候..."));
  EXPECT_EQ(Bar(), 18);
  Status(kStatusInstalling, std::nullopt, 1);
  EXPECT_TRUE(run_->WaitUi([&] { return Bar() == 18; }));

  AppState("app_downloading", "0.5");
  EXPECT_TRUE(LineIs(L"59.00% 正在下载OrvalisQuillorane，请稍候..."));
  EXPECT_EQ(Bar(), 59);
  // A peer's text that is no number changes nothing and the window lives on.
  AppState("app_downloading", "half");
  AppState("app_install_start", "", true);
  EXPECT_TRUE(LineIs(L"正在安装虚拟化组件，请稍候..."));
  EXPECT_EQ(Bar(), 59);
  // Out of range is held to the bar's end.
  AppState("app_downloading", "7");
  EXPECT_TRUE(LineIs(L"100.00% 正在下载OrvalisQuillorane，请稍候..."));
  EXPECT_EQ(Bar(), 100);
}

TEST_F(InstallWindowTest, FailuresShowTheirTextInRedAndUnlockTheClose) {
  struct Case {
    int32_t result;
    int32_t status;
    const wchar_t* text;
  };
  const Case cases[] = {
      {2, kStatusFailed, L"网络下载失败，请检查网络后重新安装"},
      {5, kStatusCancelled, L"安装失败，请重试"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.result);
    probe_ = std::make_shared<EngineProbe>();
    Open();
    StartInstalling();
    Status(kStatusInstallStarted);
    EXPECT_TRUE(run_->WaitUi([&] { return window_->close_locked(); }));
    GlobalConfig::Instance().install_result_code = c.result;
    Status(c.status);
    EXPECT_TRUE(LineIs(c.text));
    DWORD color = 0;
    run_->OnUi([&] { color = static_cast<SkinUI::CLabelUI*>(window_->Find(L"installing_precent_label"))->GetTextColor(); });
    EXPECT_EQ(color, 0x00FF3F3Fu);
    EXPECT_FALSE(window_->close_locked());
    EXPECT_EQ(Card(), "installing_card");
    run_.reset();
  }
}

TEST_F(InstallWindowTest, CloseWhileLockedIsSwallowed) {
  Open();
  StartInstalling();
  Status(kStatusInstallStarted);
  ASSERT_TRUE(run_->WaitUi([&] { return window_->close_locked(); }));
  ::SendMessageW(run_->hwnd(), WM_CLOSE, 1, 0);
  EXPECT_TRUE(::IsWindow(run_->hwnd()));
  EXPECT_TRUE(boxes_->Calls().empty());
  // A second lock starts no second timer; the install's end unlocks.
  Status(kStatusInstallStarted);
  Status(kStatusInstallFinished);
  EXPECT_TRUE(run_->WaitUi([&] { return !window_->close_locked(); }));
}

TEST_F(InstallWindowTest, TheLockTimerShowsTheCloseButtonAgain) {
  // No components: the lock lasts the system's shortest timer.
  Open(0);
  StartInstalling();
  Status(kStatusInstallStarted);
  EXPECT_TRUE(run_->WaitUi([&] { return !window_->close_locked(); }));
  EXPECT_TRUE(run_->Visible(L"close_btn"));
}

TEST_F(InstallWindowTest, QuitQuestionKeepsTheInstallUnlessConfirmed) {
  Open();
  StartInstalling();
  boxes_->Answer({kMessageBoxCancel, kMessageBoxClose});
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(run_->Click(L"close_btn"));
    EXPECT_TRUE(run_->WaitUi([&] { return boxes_->Calls().size() == static_cast<size_t>(i + 1); }));
    EXPECT_TRUE(::IsWindow(run_->hwnd()));
  }
  EXPECT_EQ(probe_->stops, 0);
  const std::vector<window_rig::BoxCall> calls = boxes_->Calls();
  EXPECT_EQ(calls[0].card, "quit_install_card");
  EXPECT_EQ(calls[0].source_card, "installing_card");
  EXPECT_EQ(calls[0].title, L"退出安装");
  EXPECT_EQ(calls[0].content, L"确定要退出安装OrvalisQuillorane程序吗？");
  EXPECT_EQ(calls[0].confirm, L"退出");
  EXPECT_EQ(calls[0].cancel, L"取消");

  boxes_->Answer({kMessageBoxConfirm});
  ASSERT_TRUE(run_->Click(L"close_btn"));
  ASSERT_TRUE(run_->WaitExit());
  EXPECT_EQ(probe_->stops, 1);
  EXPECT_TRUE(probe_->run_returned);
  EXPECT_EQ(boxes_->Calls().size(), 3u);
}

TEST_F(InstallWindowTest, AQuitThatTheEngineDoesNotFollowInTimeEndsWith103) {
  probe_->cancel_allowed = false;
  Open();
  StartInstalling();
  boxes_->Answer({kMessageBoxConfirm});
  ASSERT_TRUE(run_->Click(L"close_btn"));
  ASSERT_TRUE(run_->WaitExit());
  EXPECT_EQ(GlobalConfig::Instance().install_result_code, 103);
  probe_->AllowCancel();
}

TEST_F(InstallWindowTest, InstallControlFromOtherProcessesPausesResumesAndStops) {
  GlobalConfig::Instance().app_id = "com.example.game";
  GlobalConfig::Instance().sdk_product = "sdk.a";
  Open();
  StartInstalling();
  const InstallCtrl pause{kCtrlPause, "com.example.game", "sdk.a"};
  const InstallCtrl resume{kCtrlResume, "com.example.game", "sdk.a"};
  const InstallCtrl stop{kCtrlStop, "com.example.game", "sdk.a"};
  std::thread([&] { window_->OnUserInstallCtrl(pause); }).join();
  EXPECT_EQ(probe_->pauses, 1);
  std::thread([&] { window_->OnUserInstallCtrl(resume); }).join();
  EXPECT_EQ(probe_->resumes, 1);
  std::thread([&] { window_->OnUserInstallCtrl(stop); }).join();
  EXPECT_EQ(probe_->stops, 1);
  EXPECT_TRUE(probe_->run_returned);
  // The stop was the window's finish: a close now goes without a question.
  EXPECT_TRUE(run_->WaitExit() || (::SendMessageW(run_->hwnd(), WM_CLOSE, 1, 0), run_->WaitExit()));
  EXPECT_TRUE(boxes_->Calls().empty());
}

TEST_F(InstallWindowTest, AppStatesEndTheWindowAsTheyAsk) {
  struct Case {
    const char* state;
    bool complete;
  };
  const Case cases[] = {{"app_install_complete", true}, {"app_download_error", true}, {"app_download_pause", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state);
    probe_ = std::make_shared<EngineProbe>();
    boxes_ = std::make_shared<FakeBoxes>();
    GlobalConfig::Instance().install_priority = 1;
    Open();
    StartInstalling();
    AppState(c.state);
    if (c.complete) {
      ASSERT_TRUE(run_->WaitExit());
      EXPECT_EQ(window_->current_card(), "install_complete_card");
      EXPECT_TRUE(boxes_->Calls().empty());
    } else {
      // The pause asks the quit question; the refusal keeps the window.
      EXPECT_TRUE(run_->WaitUi([&] { return boxes_->Calls().size() == 1; }));
      EXPECT_FALSE(run_->exited());
    }
    if (std::string(c.state) == "app_download_error") {
      EXPECT_EQ(GlobalConfig::Instance().install_priority, 0);
    }
    run_.reset();
  }
}

TEST_F(InstallWindowTest, CarouselDotsPickThePage) {
  Open();
  StartInstalling();
  ASSERT_TRUE(run_->Click(L"carousel_2_btn"));
  EXPECT_EQ(window_->carousel_page(), 2u);
  EXPECT_EQ(run_->BackgroundImage(L"display_card"), L"img/carousel_2.png");
  EXPECT_EQ(run_->BackgroundImage(L"carousel_2_btn"), L"img/carousel_enable_btn.png");
  ASSERT_TRUE(run_->Click(L"carousel_3_btn"));
  EXPECT_EQ(run_->BackgroundImage(L"carousel_2_btn"), L"img/carousel_disable_btn.png");
  EXPECT_EQ(run_->BackgroundImage(L"display_card"), L"img/carousel_3.png");
}

// ---- folder choice

class FolderChoiceTest : public InstallWindowTest {
 protected:
  void SetUp() override {
    InstallWindowTest::SetUp();
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    base_ = fs::path(temp) / (L"ql_folder_choice_" + std::to_wstring(::GetCurrentProcessId()));
    std::error_code ignored;
    fs::remove_all(base_, ignored);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(base_, ignored);
  }
  void Choose(std::optional<std::wstring> folder) {
    window_->SetFolderPicker([folder](HWND) { return folder; });
    ASSERT_TRUE(run_->Click(L"browse_btn"));
  }
  void OpenCustom() {
    Open();
    ASSERT_TRUE(run_->Click(L"expand_btn"));
  }
  fs::path base_;
};

TEST_F(FolderChoiceTest, AFolderOnALocalNtfsDriveTakesTheProductFolder) {
  OpenCustom();
  const fs::path chosen = base_ / L"Games";
  Choose(chosen.wstring());
  EXPECT_EQ(run_->Text(L"install_path_edit"), (chosen.wstring() + L"\\Quillorane"));
  // The chosen folder was made; the product folder is left to the install.
  EXPECT_TRUE(fs::is_directory(chosen));
  EXPECT_FALSE(fs::exists(chosen / L"Quillorane"));
  EXPECT_TRUE(boxes_->Calls().empty());
}

TEST_F(FolderChoiceTest, ADriveRootGetsOneSeparatorAndALowerCaseLetterWorks) {
  OpenCustom();
  Choose(L"c:\\");
  EXPECT_EQ(run_->Text(L"install_path_edit"), L"c:\\Quillorane");
  EXPECT_TRUE(boxes_->Calls().empty());
}

TEST_F(FolderChoiceTest, CancelLeavesTheFolder) {
  OpenCustom();
  Choose(std::nullopt);
  EXPECT_EQ(run_->Text(L"install_path_edit"), L"C:\\Program Files\\Orvalis\\Quillorane");
}

TEST_F(FolderChoiceTest, AHardDiskBesidesTheRecommendedSsdGetsTheSsdAdvice) {
  GlobalConfig::Instance().install_drive = L'D';
  GlobalConfig::Instance().candidate_install_drives = {L'D'};
  OpenCustom();
  const fs::path chosen = base_ / L"Apps";
  Choose(chosen.wstring());
  EXPECT_EQ(run_->Text(L"install_path_edit"), (chosen.wstring() + L"\\Quillorane"));
  const std::vector<window_rig::BoxCall> calls = boxes_->Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].card, "install_ssd_tip_card");
  EXPECT_EQ(calls[0].source_card, "custom_install_card");
  EXPECT_EQ(calls[0].title, L"安装建议");
  EXPECT_EQ(calls[0].content,
            L"该目录位于机械硬盘C盘，可能会导致应用出现卡顿、无响应，建议选择固态硬盘D盘，以获得更流畅的体验");
  EXPECT_EQ(calls[0].confirm, L"确定");
  EXPECT_EQ(calls[0].cancel, L"");
}

TEST_F(FolderChoiceTest, TheRecommendedDriveItselfGetsNoAdvice) {
  GlobalConfig::Instance().install_drive = L'C';
  GlobalConfig::Instance().candidate_install_drives = {L'C'};
  OpenCustom();
  Choose((base_ / L"Apps").wstring());
  EXPECT_TRUE(boxes_->Calls().empty());
}

TEST_F(FolderChoiceTest, ANetworkShareThatCannotBeReachedChangesNothing) {
  OpenCustom();
  Choose(L"\\\\nas.invalid\\games");
  EXPECT_EQ(run_->Text(L"install_path_edit"), L"C:\\Program Files\\Orvalis\\Quillorane");
  EXPECT_TRUE(boxes_->Calls().empty());
}

}  // namespace
