// The message box and the feedback tip box, shown modally as the installer
// shows them and driven by clicks at their controls: the close codes, the
// buttons an empty text hides, the feedback link that keeps the box open, the
// diagnosis option, and how each box looks at 100 % and 150 %.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/registry.h"
#include "base/text_conversion.h"
#include "src/common/diagnosis/tests/diagnosis_rig.h"
#include "src/zephris_install/src/boot/skin_resources.h"
#include "src/zephris_install/src/wrapper/message_box/feedback_tip_box.h"
#include "src/zephris_install/src/wrapper/message_box/tests/box_driver.h"
#include "src/zephris_install/src/wrapper/message_box/tiny_message_box.h"
#include "ui_toolkit/controls/option.h"
#include "ui_toolkit/core/control.h"
#include "ui_toolkit/core/tests/golden_image.h"

namespace {

namespace fs = std::filesystem;
using box_testing::BoxDriver;
using box_testing::BoxView;
using box_testing::Step;

constexpr wchar_t kMessageBoxClass[] = L"zephris_install_messagebox";
constexpr wchar_t kFeedbackBoxClass[] = L"zephris_install_feedback_box";

Step ClickStep(const wchar_t* name) {
  return [name](BoxView& box) {
    box.Click(name);
    return true;
  };
}

// Waits (tick by tick, the box running) until |done| holds.
Step WaitStep(std::function<bool()> done) {
  return [done = std::move(done)](BoxView&) { return done(); };
}

Step CheckStep(std::function<void(BoxView&)> check) {
  return [check = std::move(check)](BoxView& box) {
    check(box);
    return true;
  };
}

Step GoldenStep(std::string name) {
  return [name = std::move(name)](BoxView& box) {
    int width = 0;
    int height = 0;
    const std::vector<std::uint32_t> pixels = box.Pixels(&width, &height);
    const SkinUI::testing::GoldenResult result = SkinUI::testing::MatchGolden(name, pixels, width, height, true);
    EXPECT_TRUE(result.ok) << name << ": " << result.message;
    return true;
  };
}

bool IsVisible(BoxView& box, const wchar_t* name) {
  SkinUI::CControlUI* control = box.Find(name);
  return control != nullptr && control->IsVisible();
}

MessageBoxResult ShowMessageBox(const std::wstring& confirm, const std::wstring& cancel,
                                const data::TikoGroupConfig& group = data::DefaultTikoGroupConfig()) {
  return TinyMessageBox::Show(nullptr, "quit_install_card", "installing_card", L"退出安装",
                              L"安装尚未完成，确定要退出吗？退出后可以重新运行安装程序继续安装。", group, confirm, cancel);
}

class BoxTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(InitSkinResources(::GetModuleHandleW(nullptr))); }

  // The probe program that stands for the browser: opening it leaves
  // "<path>.opened" beside it.
  fs::path PlantProbe() {
    const char* probe = std::getenv("QL_OPEN_PROBE");
    EXPECT_NE(probe, nullptr);
    if (probe == nullptr) return {};
    const fs::path planted = machine_.root() / L"group_link_probe.exe";
    fs::copy_file(base::Utf8ToWide(probe), planted, fs::copy_options::overwrite_existing);
    return planted;
  }
  static bool Opened(const fs::path& probe) { return fs::exists(probe.wstring() + L".opened"); }

  diagnosis::testing::TestMachine machine_;
};

TEST_F(BoxTest, MessageBoxButtonsCloseWithTheirCodes) {
  struct Case {
    const wchar_t* button;
    MessageBoxResult result;
  } cases[] = {{L"confirm_btn", kMessageBoxConfirm}, {L"cancel_btn", kMessageBoxCancel}, {L"close_btn", kMessageBoxClose}};
  for (const Case& c : cases) {
    BoxDriver driver(kMessageBoxClass, 100, {ClickStep(c.button)});
    EXPECT_EQ(ShowMessageBox(L"确认", L"取消"), c.result) << base::WideToUtf8(c.button);
    EXPECT_TRUE(driver.AllDone());
    EXPECT_EQ(::FindWindowW(kMessageBoxClass, nullptr), nullptr);
  }
}

TEST_F(BoxTest, MessageBoxWithoutCancelTextShowsOnlyConfirmMovedRight) {
  long both_left = 0;
  {
    BoxDriver driver(kMessageBoxClass, 100, {CheckStep([&](BoxView& box) {
                                               both_left = box.Find(L"confirm_btn")->GetPos().left;
                                             }),
                                             ClickStep(L"confirm_btn")});
    ASSERT_EQ(ShowMessageBox(L"确认", L"取消"), kMessageBoxConfirm);
  }
  BoxDriver driver(kMessageBoxClass, 100,
                   {CheckStep([&](BoxView& box) {
                      EXPECT_FALSE(IsVisible(box, L"cancel_btn"));
                      ASSERT_TRUE(IsVisible(box, L"confirm_btn"));
                      EXPECT_EQ(box.Find(L"confirm_btn")->GetPos().left, both_left + 130 - 20);
                      EXPECT_STREQ(box.Find(L"confirm_btn")->GetText().GetData(), L"确认");
                    }),
                    ClickStep(L"confirm_btn")});
  EXPECT_EQ(ShowMessageBox(L"确认", L""), kMessageBoxConfirm);
  EXPECT_TRUE(driver.AllDone());
}

TEST_F(BoxTest, MessageBoxWithoutButtonTextsEndsOnlyByItsCloseButton) {
  BoxDriver driver(kMessageBoxClass, 100,
                   {CheckStep([](BoxView& box) {
                      EXPECT_FALSE(IsVisible(box, L"confirm_btn"));
                      EXPECT_FALSE(IsVisible(box, L"cancel_btn"));
                      EXPECT_TRUE(IsVisible(box, L"close_btn"));
                      // Where the buttons would be: nothing answers.
                      box.ClickAt(272, 184);
                      box.ClickAt(392, 184);
                    }),
                    [](BoxView& box) { return ::IsWindowVisible(box.Hwnd()) != FALSE; },
                    ClickStep(L"close_btn")});
  EXPECT_EQ(ShowMessageBox(L"", L""), kMessageBoxClose);
  EXPECT_TRUE(driver.AllDone());
}

// The feedback link opens the group's page with diagnostics (the package's
// path goes to the clipboard) and leaves the box open for the real answer.
TEST_F(BoxTest, MessageBoxFeedbackLinkKeepsTheBoxOpen) {
  ASSERT_TRUE(base::WriteRegQword(HKEY_CURRENT_USER, machine_.product_key(), L"api_debug_mode", 1));
  machine_.PlantSevenZipLibrary();
  const fs::path probe = PlantProbe();
  const data::TikoGroupConfig group{"123456", base::WideToUtf8(probe.wstring())};
  BoxDriver driver(kMessageBoxClass, 100,
                   {ClickStep(L"feedback_label"), WaitStep([&] { return Opened(probe); }),
                    CheckStep([](BoxView& box) { EXPECT_TRUE(::IsWindowVisible(box.Hwnd())); }),
                    ClickStep(L"cancel_btn")});
  EXPECT_EQ(ShowMessageBox(L"确认", L"取消", group), kMessageBoxCancel);
  EXPECT_TRUE(driver.AllDone());
  EXPECT_TRUE(Opened(probe));
}

TEST_F(BoxTest, FeedbackBoxButtonsCloseWithTheirCodes) {
  const fs::path probe = PlantProbe();
  const data::TikoGroupConfig group{"123456", base::WideToUtf8(probe.wstring())};
  struct Case {
    const wchar_t* button;
    MessageBoxResult result;
  } cases[] = {{L"close_btn", kMessageBoxClose}, {L"jointiko_btn", kMessageBoxConfirm}};
  for (const Case& c : cases) {
    // Without diagnostics the page opens and nothing is collected.
    BoxDriver driver(kFeedbackBoxClass, 100,
                     {CheckStep([](BoxView& box) {
                        auto* option = dynamic_cast<SkinUI::COptionUI*>(box.Find(L"diagnosis_option"));
                        ASSERT_NE(option, nullptr);
                        EXPECT_TRUE(option->IsSelected());
                      }),
                      ClickStep(L"diagnosis_option"),
                      CheckStep([](BoxView& box) {
                        EXPECT_FALSE(dynamic_cast<SkinUI::COptionUI*>(box.Find(L"diagnosis_option"))->IsSelected());
                      }),
                      ClickStep(c.button)});
    EXPECT_EQ(FeedbackTipBox::Show(nullptr, "installing_card", group), c.result) << base::WideToUtf8(c.button);
    EXPECT_TRUE(driver.AllDone());
  }
  // Only the group button opened the link.
  EXPECT_TRUE(diagnosis::testing::WaitFor([&] { return Opened(probe); }, std::chrono::seconds(10)));
}

TEST_F(BoxTest, FeedbackBoxForumButtonClosesWithCancel) {
  BoxDriver driver(kFeedbackBoxClass, 100, {ClickStep(L"diagnosis_option"), ClickStep(L"forum_btn")});
  EXPECT_EQ(FeedbackTipBox::Show(nullptr, "installing_card", data::DefaultTikoGroupConfig()), kMessageBoxCancel);
  EXPECT_TRUE(driver.AllDone());
}

class BoxGoldenTest : public BoxTest, public ::testing::WithParamInterface<int> {};

TEST_P(BoxGoldenTest, MessageBoxGolden) {
  const int scale = GetParam();
  BoxDriver driver(kMessageBoxClass, scale,
                   {GoldenStep("message_box_" + std::to_string(scale)), ClickStep(L"close_btn")});
  EXPECT_EQ(ShowMessageBox(L"确认", L"取消"), kMessageBoxClose);
  EXPECT_TRUE(driver.AllDone());
}

TEST_P(BoxGoldenTest, MessageBoxOneButtonGolden) {
  const int scale = GetParam();
  BoxDriver driver(kMessageBoxClass, scale,
                   {GoldenStep("message_box_one_button_" + std::to_string(scale)), ClickStep(L"confirm_btn")});
  EXPECT_EQ(TinyMessageBox::Show(nullptr, "quit_install_card", "none_card", L"下载提示", L"检测到有另一安装进程运行中。",
                                 data::DefaultTikoGroupConfig(), L"确认", L""),
            kMessageBoxConfirm);
  EXPECT_TRUE(driver.AllDone());
}

TEST_P(BoxGoldenTest, FeedbackBoxGolden) {
  const int scale = GetParam();
  BoxDriver driver(kFeedbackBoxClass, scale,
                   {GoldenStep("feedback_box_" + std::to_string(scale)), ClickStep(L"close_btn")});
  EXPECT_EQ(FeedbackTipBox::Show(nullptr, "installing_card", data::DefaultTikoGroupConfig()), kMessageBoxClose);
  EXPECT_TRUE(driver.AllDone());
}

INSTANTIATE_TEST_SUITE_P(Scales, BoxGoldenTest, ::testing::Values(100, 150));

}  // namespace
