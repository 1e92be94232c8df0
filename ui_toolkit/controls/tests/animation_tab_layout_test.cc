// The animated tab layout: a selection slides the new page in over 16 ticks,
// frame by frame, horizontally or vertically, and its frames' pictures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui_toolkit/controls/animation_tab_layout.h"
#include "ui_toolkit/controls/tests/step_timer.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/tests/golden_image.h"
#include "ui_toolkit/core/tests/skin_window.h"

namespace SkinUI {
namespace {

using testing::SkinWindow;
using testing::StepTimer;

std::wstring Skin(const std::wstring& attributes) {
  return L"<Window size=\"200,100\"><VerticalLayout bkcolor=\"#FFFFFFFF\"><AnimationTabLayout name=\"tabs\" " +
         attributes +
         L"><Control name=\"p0\" bkcolor=\"#FFD04040\"/><Control name=\"p1\" bkcolor=\"#FF40A0D0\"/>"
         L"<Control name=\"p2\" bkcolor=\"#FF50B050\"/></AnimationTabLayout></VerticalLayout></Window>";
}

class AnimationTabLayoutTest : public ::testing::Test {
 protected:
  void Open(const std::wstring& attributes = L"", int scale = 100) {
    window_ = std::make_unique<SkinWindow>(Skin(attributes), scale);
    ASSERT_TRUE(window_->Open());
    tabs_ = static_cast<CAnimationTabLayoutUI*>(window_->Find(L"tabs"));
    ASSERT_NE(nullptr, tabs_);
    window_->ClearSeen();
  }
  void Tick() { StepTimer(tabs_, CAnimationTabLayoutUI::kSwitchAnimationId); }
  std::vector<std::pair<WPARAM, LPARAM>> TabSelects() {
    std::vector<std::pair<WPARAM, LPARAM>> out;
    for (const auto& s : window_->Seen()) {
      if (s.type == L"tabselect") out.push_back({s.wparam, s.lparam});
    }
    return out;
  }

  std::unique_ptr<SkinWindow> window_;
  CAnimationTabLayoutUI* tabs_ = nullptr;
};

TEST_F(AnimationTabLayoutTest, ANewPageSlidesInFromTheRightAndSettles) {
  Open();
  EXPECT_STREQ(L"AnimationTabLayoutUI", tabs_->GetClassName());
  EXPECT_EQ(tabs_, tabs_->QueryInterfaceByName(L"TabLayout"));
  ASSERT_TRUE(tabs_->SelectItem(1));
  EXPECT_EQ((std::vector<std::pair<WPARAM, LPARAM>>{{1, 0}}), TabSelects());
  CControlUI* page = window_->Find(L"p1");
  EXPECT_FALSE(page->IsVisible());  // shown by the first frame
  EXPECT_TRUE(tabs_->IsAnimationRunning(CAnimationTabLayoutUI::kSwitchAnimationId));
  window_->Paint();
  std::vector<int> lefts;
  for (int tick = 0; tick < 15; ++tick) {
    Tick();
    lefts.push_back(tabs_->GetPos().left);
    EXPECT_EQ(lefts.back(), page->GetPos().left);
    // What the window shows follows the frame: white left of the page, the page from its left edge on.
    if (lefts.back() > 0) EXPECT_EQ(0xFFFFFFu, window_->PixelAt(lefts.back() - 1, 50) & 0xFFFFFF) << tick;
    EXPECT_EQ(0x40A0D0u, window_->PixelAt(lefts.back(), 50) & 0xFFFFFF) << tick;
  }
  EXPECT_TRUE(page->IsVisible());
  // It starts 148 pixels right (its width less 52) and closes in on its place
  // at every frame without passing it.
  EXPECT_LT(lefts.front(), 148);
  EXPECT_GT(lefts.front(), 130);
  for (size_t i = 1; i < lefts.size(); ++i) {
    EXPECT_LT(lefts[i], lefts[i - 1]) << i;
    EXPECT_GE(lefts[i], 0) << i;
  }
  EXPECT_TRUE(tabs_->IsAnimationRunning(CAnimationTabLayoutUI::kSwitchAnimationId));
  Tick();  // the sixteenth tick snaps it and ends the slide
  EXPECT_FALSE(tabs_->IsAnimationRunning(CAnimationTabLayoutUI::kSwitchAnimationId));
  EXPECT_EQ(0, tabs_->GetPos().left);
  EXPECT_EQ(200, tabs_->GetPos().right);
  EXPECT_EQ(0x40A0D0u, window_->PixelAt(100, 50) & 0xFFFFFF);
}

TEST_F(AnimationTabLayoutTest, AnEarlierPageSlidesInFromTheLeft) {
  Open();
  ASSERT_TRUE(tabs_->SelectItem(2));
  for (int tick = 0; tick < 16; ++tick) Tick();
  ASSERT_TRUE(tabs_->SelectItem(0));
  EXPECT_EQ(2, static_cast<int>(TabSelects().back().second));
  Tick();
  EXPECT_LT(tabs_->GetPos().left, -130);
  int last = tabs_->GetPos().left;
  for (int tick = 1; tick < 15; ++tick) {
    Tick();
    EXPECT_GT(tabs_->GetPos().left, last);
    EXPECT_LE(tabs_->GetPos().left, 0);
    last = tabs_->GetPos().left;
  }
  Tick();
  EXPECT_EQ(0, tabs_->GetPos().left);
}

TEST_F(AnimationTabLayoutTest, VerticalSlidesComeFromBelowOrAbove) {
  Open(L"animation_direction=\"VERTICAL\"");
  EXPECT_TRUE(tabs_->IsVerticalSwitch());
  ASSERT_TRUE(tabs_->SelectItem(1));
  Tick();
  EXPECT_GT(tabs_->GetPos().top, 80);  // from one full height below
  EXPECT_EQ(0, tabs_->GetPos().left);
  for (int tick = 1; tick < 16; ++tick) Tick();
  EXPECT_EQ(0, tabs_->GetPos().top);
  ASSERT_TRUE(tabs_->SelectItem(0));
  Tick();
  EXPECT_LT(tabs_->GetPos().top, -80);  // from above
}

TEST_F(AnimationTabLayoutTest, SameOrMissingPageStartsNothing) {
  Open();
  EXPECT_TRUE(tabs_->SelectItem(0));
  EXPECT_FALSE(tabs_->SelectItem(3));
  EXPECT_FALSE(tabs_->SelectItem(-1));
  EXPECT_TRUE(TabSelects().empty());
  EXPECT_FALSE(tabs_->IsAnimationRunning(CAnimationTabLayoutUI::kSwitchAnimationId));
}

TEST_F(AnimationTabLayoutTest, ASelectionDuringASlideRestartsIt) {
  Open();
  ASSERT_TRUE(tabs_->SelectItem(1));
  for (int tick = 0; tick < 8; ++tick) Tick();
  ASSERT_TRUE(tabs_->SelectItem(2));
  EXPECT_EQ(0, tabs_->GetCurrentFrame(CAnimationTabLayoutUI::kSwitchAnimationId));
  EXPECT_FALSE(window_->Find(L"p1")->IsVisible());
  for (int tick = 0; tick < 16; ++tick) Tick();
  EXPECT_FALSE(tabs_->IsAnimationRunning(CAnimationTabLayoutUI::kSwitchAnimationId));
  EXPECT_TRUE(window_->Find(L"p2")->IsVisible());
  EXPECT_EQ(0x50B050u, window_->PixelAt(100, 50) & 0xFFFFFF);
}

TEST_F(AnimationTabLayoutTest, RemovingTheSlidingPageIsSafe) {
  Open();
  ASSERT_TRUE(tabs_->SelectItem(2));
  Tick();
  tabs_->SetDelayedDestroy(false);
  ASSERT_TRUE(tabs_->Remove(window_->Find(L"p2")));
  for (int tick = 0; tick < 16; ++tick) Tick();
  EXPECT_FALSE(tabs_->IsAnimationRunning(CAnimationTabLayoutUI::kSwitchAnimationId));
  EXPECT_EQ(0, tabs_->GetCurSel());
}

TEST_F(AnimationTabLayoutTest, RealTimerFinishesTheSlide) {
  Open();
  ASSERT_TRUE(tabs_->SelectItem(1));
  ASSERT_TRUE(testing::PumpUntil(
      [&] { return !tabs_->IsAnimationRunning(CAnimationTabLayoutUI::kSwitchAnimationId); }));
  EXPECT_EQ(0, tabs_->GetPos().left);
  EXPECT_TRUE(window_->Find(L"p1")->IsVisible());
}

class AnimationTabGoldenTest : public ::testing::TestWithParam<int> {};

TEST_P(AnimationTabGoldenTest, MidSlideFrameLooksAsItsGolden) {
  const int scale = GetParam();
  SkinWindow w(Skin(L""), scale);
  ASSERT_TRUE(w.Open());
  auto* tabs = static_cast<CAnimationTabLayoutUI*>(w.Find(L"tabs"));
  ASSERT_TRUE(tabs->SelectItem(1));
  w.Paint();  // the window paints between the selection and the first frame
  StepTimer(tabs, CAnimationTabLayoutUI::kSwitchAnimationId, 7);
  int width = 0;
  int height = 0;
  const std::vector<std::uint32_t> pixels = w.Pixels(&width, &height);
  const auto result = testing::MatchGolden("animation_tab_" + std::to_string(scale), pixels, width, height, false);
  EXPECT_TRUE(result.ok) << result.message;
}

INSTANTIATE_TEST_SUITE_P(Scales, AnimationTabGoldenTest, ::testing::Values(100, 150));

}  // namespace
}  // namespace SkinUI
