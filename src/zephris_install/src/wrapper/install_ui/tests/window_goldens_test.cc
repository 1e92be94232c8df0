// The installer windows' cards as they look with the installer's own skins
// (the zip resource the program carries), at 100 % and 150 %, against golden
// pictures (regenerate with ui_toolkit/tools/update-goldens.sh after a
// deliberate change).
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/path_manager.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/wrapper/install_ui/tests/window_rig.h"
#include "src/zephris_install/src/wrapper/install_wrapper/tests/fake_engine.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/tests/golden_image.h"

namespace {

using window_rig::Testable;
using window_rig::WindowRun;

class WindowGoldenTest : public ::testing::TestWithParam<int> {
 protected:
  static void SetUpTestSuite() {
    base::PathManager::GetInstance().Init(L"Quillorane");
    // The zip resource handed over as start-up hands it.
    const HMODULE module = ::GetModuleHandleW(nullptr);
    const HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(102), L"ZIPRES");
    ASSERT_NE(found, nullptr);
    const HGLOBAL loaded = ::LoadResource(module, found);
    ASSERT_NE(loaded, nullptr);
    SkinUI::CPaintManagerUI::SetInstance(module);
    SkinUI::CPaintManagerUI::SetResourceZipFromMemory(::LockResource(loaded), ::SizeofResource(module, found));
  }
  void SetUp() override {
    GlobalConfig& config = GlobalConfig::Instance();
    config.install_result_code = 0;
    config.install_mode = 0;
    config.install_priority = 0;
    config.auto_authorize = 0;
    config.pullup_type = 0;
    config.app_type = 0;
    config.source_trace = "";
    config.sdk_product = "";
    config.create_desktop_link = 1;
    config.create_start_menu_link = 1;
    config.auto_start_market = 1;
    config.install_dir = L"C:\\Program Files\\Orvalis\\Quillorane";
    config.carousel_images.clear();
  }

  template <class Window>
  void Expect(Window& window, WindowRun& run, const std::string& card) {
    std::vector<std::uint32_t> pixels;
    int width = 0;
    int height = 0;
    run.OnUi([&] { pixels = window.Pixels(&width, &height); });
    ASSERT_FALSE(pixels.empty());
    const std::string name = card + "_" + std::to_string(GetParam());
    const auto result = SkinUI::testing::MatchGolden(name, pixels, width, height, false);
    EXPECT_TRUE(result.ok) << name << ": " << result.message;
  }

  void Status(InstallUI& window, int32_t code, double percent, int32_t type) {
    InstallStatus status;
    status.code = code;
    status.percent = percent;
    status.component_type = type;
    std::thread([&] { window.OnInstallStatus(status); }).join();
  }

  std::shared_ptr<front_test::EngineProbe> probe_ = std::make_shared<front_test::EngineProbe>();
};

TEST_P(WindowGoldenTest, MainWindowCards) {
  GlobalConfig::Instance().install_ui = 0;
  GlobalConfig::Instance().display_name = "";
  GlobalConfig::Instance().app_id = "";
  auto window = InstallUI::Make<Testable<InstallWindow>>();
  window->SetScale(GetParam());
  window->SetEngine(std::make_shared<front_test::FakeEngine>(window, probe_));
  window->SetBoxes(std::make_shared<window_rig::FakeBoxes>());
  WindowRun run(window);
  ASSERT_TRUE(run.Start());
  Expect(*window, run, "install_start_card");
  ASSERT_TRUE(run.Click(L"authorize_option"));
  ASSERT_TRUE(run.Click(L"expand_btn"));
  Expect(*window, run, "custom_install_card");
  ASSERT_TRUE(run.Click(L"install_btn"));
  ASSERT_TRUE(probe_->WaitRunning());
  Status(*window, kStatusDownloading, 42.5, 2);
  // The skin's own text is there from the start: wait for the status's.
  ASSERT_TRUE(run.WaitUi([&] {
    return std::wstring(window->Find(L"installing_precent_label")->GetText().GetData()).find(L"42.50%") == 0;
  }));
  Expect(*window, run, "installing_card");
}

TEST_P(WindowGoldenTest, SdkWindowCards) {
  GlobalConfig::Instance().install_ui = 1;
  GlobalConfig::Instance().display_name = "Demo Game";
  GlobalConfig::Instance().app_id = "com.pcvztsdk.install.demo";
  auto window = InstallUI::Make<Testable<SdkWindow>>();
  window->SetScale(GetParam());
  window->SetEngine(std::make_shared<front_test::FakeEngine>(window, probe_));
  window->SetBoxes(std::make_shared<window_rig::FakeBoxes>());
  WindowRun run(window);
  ASSERT_TRUE(run.Start());
  ASSERT_TRUE(run.Click(L"authorize_option"));
  Expect(*window, run, "sdk_install_start_card");
  ASSERT_TRUE(run.Click(L"install_btn"));
  ASSERT_TRUE(probe_->WaitRunning());
  Status(*window, kStatusDownloading, 42.5, 2);
  // The skin's own text is there from the start: wait for the status's.
  ASSERT_TRUE(run.WaitUi([&] {
    return std::wstring(window->Find(L"installing_precent_label")->GetText().GetData()).find(L"42.50%") == 0;
  }));
  Expect(*window, run, "sdk_installing_card");
}

INSTANTIATE_TEST_SUITE_P(Scales, WindowGoldenTest, ::testing::Values(100, 150));

// The quit question in the installer's own message box, answered by clicks.
class SkinnedQuitTest : public WindowGoldenTest {
 protected:
  // Posts a click, as input arrives, so that a box the click opens runs its
  // modal loop while this thread goes on.
  static void PostClick(HWND window, POINT at) {
    const LPARAM where = MAKELPARAM(at.x, at.y);
    ::PostMessageW(window, WM_MOUSEMOVE, 0, where);
    ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, where);
    ::PostMessageW(window, WM_LBUTTONUP, 0, where);
  }
  // The message box of the window's thread, once it shows.
  static HWND WaitForBox(HWND owner) {
    const DWORD thread = ::GetWindowThreadProcessId(owner, nullptr);
    for (int i = 0; i < 500; ++i) {
      const HWND box = ::FindWindowW(L"zephris_install_messagebox", nullptr);
      if (box != nullptr && ::IsWindowVisible(box) && ::GetWindowThreadProcessId(box, nullptr) == thread) {
        ::Sleep(200);  // its first layout
        return box;
      }
      ::Sleep(20);
    }
    return nullptr;
  }
  static bool WaitGone(HWND box) {
    for (int i = 0; i < 500 && ::IsWindow(box); ++i) ::Sleep(20);
    return !::IsWindow(box);
  }
};

TEST_F(SkinnedQuitTest, CancelKeepsTheInstallAndConfirmEndsIt) {
  GlobalConfig::Instance().install_ui = 0;
  GlobalConfig::Instance().display_name = "";
  GlobalConfig::Instance().app_id = "";
  auto window = InstallUI::Make<Testable<InstallWindow>>();
  window->SetEngine(std::make_shared<front_test::FakeEngine>(window, probe_));
  WindowRun run(window);
  ASSERT_TRUE(run.Start());
  ASSERT_TRUE(run.Click(L"authorize_option"));
  ASSERT_TRUE(run.Click(L"install_btn"));
  ASSERT_TRUE(probe_->WaitRunning());
  POINT close{};
  run.OnUi([&] {
    const RECT pos = window->Find(L"close_btn")->GetPos();
    close = {(pos.left + pos.right) / 2, (pos.top + pos.bottom) / 2};
  });
  // The box's buttons at 100 %: confirm, then cancel, on its bottom row.
  constexpr POINT kConfirm{272, 176};
  constexpr POINT kCancel{392, 176};

  PostClick(run.hwnd(), close);
  HWND box = WaitForBox(run.hwnd());
  ASSERT_NE(box, nullptr);
  EXPECT_FALSE(::IsWindowEnabled(run.hwnd()));  // the box is modal
  PostClick(box, kCancel);
  ASSERT_TRUE(WaitGone(box));
  EXPECT_TRUE(run.WaitUi([&] { return ::IsWindowEnabled(run.hwnd()) != FALSE; }));
  EXPECT_FALSE(run.exited());
  EXPECT_EQ(probe_->stops, 0);

  PostClick(run.hwnd(), close);
  box = WaitForBox(run.hwnd());
  ASSERT_NE(box, nullptr);
  PostClick(box, kConfirm);
  ASSERT_TRUE(run.WaitExit());
  EXPECT_EQ(probe_->stops, 1);
  EXPECT_TRUE(probe_->run_returned);
}

}  // namespace
