// The stop hand-over, the install-control requests and the shortcuts after
// an install, with a fake engine in place of the real ones.
#include "src/zephris_install/src/wrapper/install_wrapper/install_wrapper.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "base/registry_stamp.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/tool/shortcut.h"
#include "src/zephris_install/src/tool/tests/shell_test_product.h"
#include "src/zephris_install/src/wrapper/install_wrapper/tests/fake_engine.h"

// gcc 12 takes the optional members of designated initializers in a table of
// cases for uninitialised (its bug 80635): a false warning.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace {

namespace fs = std::filesystem;
using front_test::EngineProbe;
using front_test::FakeEngine;

// A front end whose run only starts the task.
class TaskWrapper : public InstallWrapper {
 public:
  void OnInstallStatus(const InstallStatus&) override {}
  void OnAppInstallState(const InstallerAppInstallState&) override {}
  void HandleInstallStatus(InstallStatus) override {}
  void HandleAppInstallState(InstallerAppInstallState) override {}
  void Exec() override { started = StartInstallTask(); }
  bool started = false;
};

struct Front {
  std::shared_ptr<TaskWrapper> wrapper = std::make_shared<TaskWrapper>();
  std::shared_ptr<EngineProbe> probe = std::make_shared<EngineProbe>();
  Front() { wrapper->SetEngine(std::make_shared<FakeEngine>(wrapper, probe)); }
};

class InstallWrapperTest : public ::testing::Test {
 protected:
  void SetUp() override { GlobalConfig::Instance().install_result_code = 0; }
};

TEST_F(InstallWrapperTest, AStopThatEndsTheEngineInTimeJoinsTheTask) {
  Front front;
  front.wrapper->Exec();
  ASSERT_TRUE(front.wrapper->started);
  ASSERT_TRUE(front.probe->WaitRunning());

  front.wrapper->Finish();

  EXPECT_TRUE(front.probe->run_returned);  // joined, not left behind
  EXPECT_EQ(front.probe->stops, 1);
  EXPECT_EQ(GlobalConfig::Instance().install_result_code, 0);
}

TEST_F(InstallWrapperTest, AnEngineSlowerThanTheStopWaitIsLeftRunningAndKeptAlive) {
  struct Case {
    int32_t code_before;
    int32_t code_after;
  } cases[] = {{0, 103}, {102, 103}, {2, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "result code before " << c.code_before);
    GlobalConfig::Instance().install_result_code = c.code_before;
    auto front = std::make_unique<Front>();
    const std::shared_ptr<EngineProbe> probe = front->probe;
    probe->cancel_allowed = false;
    front->wrapper->Exec();
    ASSERT_TRUE(probe->WaitRunning());

    front->wrapper->Finish();

    EXPECT_FALSE(probe->run_returned);
    EXPECT_EQ(GlobalConfig::Instance().install_result_code, c.code_after);
    // The front end goes while the task still runs: the engine must not.
    front.reset();
    {
      std::lock_guard lock(probe->mutex);
      EXPECT_FALSE(probe->destroyed);
    }
    probe->AllowCancel();
    EXPECT_TRUE(probe->WaitDestroyed());
    EXPECT_TRUE(probe->run_returned);
  }
}

TEST_F(InstallWrapperTest, ASecondFinishRunsNoSecondStop) {
  Front front;
  front.wrapper->Exec();
  ASSERT_TRUE(front.probe->WaitRunning());
  std::thread other([&] { front.wrapper->Finish(); });
  front.wrapper->Finish();
  other.join();
  front.wrapper->Finish();
  EXPECT_EQ(front.probe->stops, 1);
}

TEST_F(InstallWrapperTest, AStopBeforeTheTaskStartedKeepsItFromStarting) {
  Front front;
  front.wrapper->Finish();
  front.wrapper->Exec();
  EXPECT_FALSE(front.wrapper->started);
  EXPECT_EQ(front.probe->runs, 0);
}

TEST_F(InstallWrapperTest, InstallControlAppliesOnlyToThisAppAndSource) {
  struct Case {
    const char* name;
    std::optional<std::string> config_app_id;
    std::string config_source;
    InstallCtrl ctrl;
    int pauses, resumes, stops;
  } cases[] = {
      {"pause", "app.one", "sdk.a", {kCtrlPause, "app.one", "sdk.a"}, 1, 0, 0},
      {"resume", "app.one", "sdk.a", {kCtrlResume, "app.one", "sdk.a"}, 0, 1, 0},
      {"stop", "app.one", "sdk.a", {kCtrlStop, "app.one", "sdk.a"}, 0, 0, 1},
      {"code 3", "app.one", "sdk.a", {3, "app.one", "sdk.a"}, 0, 0, 0},
      {"other app", "app.one", "sdk.a", {kCtrlPause, "app.two", "sdk.a"}, 0, 0, 0},
      {"other source", "app.one", "sdk.a", {kCtrlPause, "app.one", "sdk.b"}, 0, 0, 0},
      {"no app id", "app.one", "sdk.a", {kCtrlPause, std::nullopt, "sdk.a"}, 0, 0, 0},
      {"no source", "app.one", "sdk.a", {kCtrlPause, "app.one", std::nullopt}, 0, 0, 0},
      {"absent and empty", "", "", {kCtrlPause, std::nullopt, std::nullopt}, 1, 0, 0},
      {"absent, config without app id", std::nullopt, "", {kCtrlPause, std::nullopt, std::nullopt}, 1, 0, 0},
      {"empty against a set app id", "app.one", "", {kCtrlPause, std::nullopt, std::nullopt}, 0, 0, 0},
  };
  GlobalConfig& config = GlobalConfig::Instance();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    config.app_id = c.config_app_id;
    config.sdk_product = c.config_source;
    Front front;
    front.wrapper->OnUserInstallCtrl(c.ctrl);
    EXPECT_EQ(front.probe->pauses, c.pauses);
    EXPECT_EQ(front.probe->resumes, c.resumes);
    EXPECT_EQ(front.probe->stops, c.stops);
  }
}

TEST_F(InstallWrapperTest, InstallControlWithoutAnEngineDoesNothing) {
  GlobalConfig& config = GlobalConfig::Instance();
  config.app_id = "";
  config.sdk_product = "";
  auto wrapper = std::make_shared<TaskWrapper>();
  wrapper->OnUserInstallCtrl({kCtrlStop, std::nullopt, std::nullopt});
  // The stop was not taken: a task can still start.
  auto probe = std::make_shared<EngineProbe>();
  wrapper->SetEngine(std::make_shared<FakeEngine>(wrapper, probe));
  wrapper->Exec();
  EXPECT_TRUE(wrapper->started);
  wrapper->Finish();
}

fs::path Desktop() {
  wchar_t folder[MAX_PATH] = {};
  EXPECT_TRUE(::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_DESKTOP, TRUE));
  return folder;
}

fs::path StartMenuPrograms() {
  wchar_t folder[MAX_PATH] = {};
  EXPECT_EQ(::SHGetFolderPathW(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, folder), S_OK);
  return folder;
}

constexpr wchar_t kLinkName[] = L"OrvalisQuillorane-畅玩手机游戏.lnk";

void RemoveLinks() {
  std::error_code ignored;
  fs::remove(Desktop() / kLinkName, ignored);
  fs::remove(StartMenuPrograms() / kLinkName, ignored);
}

TEST(InstallWrapperShortcutTest, TheDesktopMarkerDecidesTheDesktopLink) {
  struct Case {
    const char* name;
    bool option_changed;
    std::optional<int> desktop;
    std::optional<int> start_menu;
    bool marker_before;
    bool desktop_link, start_menu_link, marker_after;
  } cases[] = {
      {"unticked sets the marker", true, 0, 0, false, false, false, true},
      {"asked for", false, 1, 0, false, true, false, true},
      {"asked for, changed in the window", true, 1, 0, false, true, false, true},
      {"marker set", false, 1, 0, true, false, false, true},
      {"not asked, unchanged", false, 0, 0, false, false, false, false},
      {"value 2", false, 2, 2, false, false, false, false},
      {"start menu", false, 0, 1, false, false, true, false},
      {"start menu with the marker set", true, 0, 1, true, false, true, true},
  };
  ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  GlobalConfig& config = GlobalConfig::Instance();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RemoveLinks();
    shell_test::ScopedShellProduct product;
    product.SetClientType(0);
    if (c.marker_before) {
      ASSERT_TRUE(base::MarkStore(kDesktopLinkMark).Set());
    }
    config.desktop_link_option_changed = c.option_changed;
    config.create_desktop_link = c.desktop;
    config.create_start_menu_link = c.start_menu;
    auto wrapper = std::make_shared<TaskWrapper>();

    wrapper->CreateShortcutsAfterInstall();

    EXPECT_EQ(fs::exists(Desktop() / kLinkName), c.desktop_link);
    EXPECT_EQ(fs::exists(StartMenuPrograms() / kLinkName), c.start_menu_link);
    EXPECT_EQ(base::MarkStore(kDesktopLinkMark).IsSet(), c.marker_after);
  }
  RemoveLinks();
  ::CoUninitialize();
}

TEST(InstallWrapperShortcutTest, AnUntickedDesktopOptionHoldsForALaterInstall) {
  ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  RemoveLinks();
  shell_test::ScopedShellProduct product;
  product.SetClientType(0);
  GlobalConfig& config = GlobalConfig::Instance();
  config.create_start_menu_link = 0;
  config.desktop_link_option_changed = true;
  config.create_desktop_link = 0;
  std::make_shared<TaskWrapper>()->CreateShortcutsAfterInstall();

  config.desktop_link_option_changed = false;
  config.create_desktop_link = 1;
  std::make_shared<TaskWrapper>()->CreateShortcutsAfterInstall();

  EXPECT_FALSE(fs::exists(Desktop() / kLinkName));
  RemoveLinks();
  ::CoUninitialize();
}

}  // namespace
