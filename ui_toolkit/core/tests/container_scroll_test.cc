// Container scrolling in real windows: the bars follow the children's needs,
// wheel, keys and the bar's own mouse handling move the children, positions
// survive layouts, and the "scroll" notification counts lines.
#include <gtest/gtest.h>

#include <string>

#include "ui_toolkit/controls/scroll_bar.h"
#include "ui_toolkit/controls/tests/step_timer.h"
#include "ui_toolkit/core/container.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/tests/golden_image.h"
#include "ui_toolkit/core/tests/skin_window.h"

namespace SkinUI {
namespace {

using testing::SkinWindow;
using testing::StepTimer;

// |rows| rows of 20 pixels, alternating colours, in a 200 x 100 list.
std::wstring ListSkin(int rows, const std::wstring& list_attributes = L"", int scale_rows_width = 0) {
  std::wstring skin = L"<Window size=\"200,100\"><VerticalLayout name=\"list\" vscrollbar=\"true\" bkcolor=\"#FFFFFFFF\" " +
                      list_attributes + L">";
  for (int i = 0; i < rows; ++i) {
    skin += L"<Control name=\"r" + std::to_wstring(i) + L"\" height=\"20\"" +
            (scale_rows_width > 0 ? L" width=\"" + std::to_wstring(scale_rows_width) + L"\"" : L"") +
            L" bkcolor=\"" + (i % 2 == 0 ? L"#FF4080C0" : L"#FFE0E0E0") + L"\"/>";
  }
  return skin + L"</VerticalLayout></Window>";
}

class ContainerScrollTest : public ::testing::Test {
 protected:
  void Open(const std::wstring& skin, int scale = 100) {
    window_ = std::make_unique<SkinWindow>(skin, scale);
    ASSERT_TRUE(window_->Open());
    list_ = static_cast<CContainerUI*>(window_->Find(L"list"));
    ASSERT_NE(nullptr, list_);
    window_->ClearSeen();
  }
  void Wheel(int x, int y, bool down) {
    POINT pt{x, y};
    ::ClientToScreen(window_->Hwnd(), &pt);
    ::SendMessageW(window_->Hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, down ? -WHEEL_DELTA : WHEEL_DELTA),
                   MAKELPARAM(pt.x, pt.y));
    window_->Paint();
  }
  int Top(int row) { return window_->Find((L"r" + std::to_wstring(row)).c_str())->GetPos().top; }
  std::vector<WPARAM> ScrollNotes() {
    std::vector<WPARAM> out;
    for (const auto& s : window_->Seen()) {
      if (s.type == L"scroll" && s.sender == L"list") out.push_back(s.wparam);
    }
    return out;
  }

  std::unique_ptr<SkinWindow> window_;
  CContainerUI* list_ = nullptr;
};

TEST_F(ContainerScrollTest, OverflowShowsTheBarBesideTheChildren) {
  Open(ListSkin(10));
  CScrollBarUI* bar = list_->GetVerticalScrollBar();
  ASSERT_NE(nullptr, bar);
  EXPECT_TRUE(bar->IsVisible());
  EXPECT_EQ(100, list_->GetScrollRange().cy);
  EXPECT_EQ(0, list_->GetScrollRange().cx);
  const RECT& b = bar->GetPos();
  EXPECT_EQ(184, b.left);
  EXPECT_EQ(200, b.right);
  EXPECT_EQ(100, b.bottom);
  EXPECT_EQ(184, window_->Find(L"r0")->GetPos().right);
  // The list's content area spans everything that can be scrolled to.
  EXPECT_EQ(200, list_->GetClientPos().bottom);
}

TEST_F(ContainerScrollTest, WheelStepsByTheScrollStepAndNotifiesLines) {
  Open(ListSkin(10, L"scrollstepsize=\"16\""));
  Wheel(50, 50, true);
  EXPECT_EQ(16, list_->GetScrollPos().cy);
  EXPECT_EQ(-16, Top(0));
  EXPECT_EQ(4, Top(1));
  // Line size 8: (16 + 8) / 8 = 3 lines.
  EXPECT_EQ((std::vector<WPARAM>{3}), ScrollNotes());
  Wheel(50, 50, false);
  EXPECT_EQ(0, list_->GetScrollPos().cy);
  EXPECT_EQ((std::vector<WPARAM>{3, 1}), ScrollNotes());
  Wheel(50, 50, false);  // already at the top: nothing moves, nothing is sent
  EXPECT_EQ(2u, ScrollNotes().size());
  // The wheel over the bar itself scrolls the list too.
  Wheel(190, 50, true);
  EXPECT_EQ(16, list_->GetScrollPos().cy);
}

TEST_F(ContainerScrollTest, LineSizeZeroCountsPixelsInsteadOfDividingByZero) {
  Open(ListSkin(10));
  list_->GetVerticalScrollBar()->SetLineSize(0);
  list_->SetScrollPos(SIZE{0, 16});
  EXPECT_EQ((std::vector<WPARAM>{17}), ScrollNotes());
}

TEST_F(ContainerScrollTest, DefaultStepIsTheFontHeightPlusEight) {
  Open(ListSkin(10, L"scrollstepsize=\"0\""));
  const int step = window_->GetPaintManager().GetDefaultFontRecord()->tm.tmHeight + 8;
  list_->LineDown();
  EXPECT_EQ(std::min(step, 100), list_->GetScrollPos().cy);
  list_->SetScrollStepSize(0);  // ignored
  list_->SetScrollStepSize(5);
  list_->HomeUp();
  list_->LineDown();
  EXPECT_EQ(5, list_->GetScrollPos().cy);
}

TEST_F(ContainerScrollTest, KeysPageAndJumpWhenTheListHasTheFocus) {
  Open(ListSkin(20, L"inset=\"0,5,0,5\""));
  window_->GetPaintManager().SetFocus(list_);
  EXPECT_EQ(310, list_->GetScrollRange().cy);
  window_->Key(VK_NEXT);  // 100 less the insets
  EXPECT_EQ(90, list_->GetScrollPos().cy);
  window_->Key(VK_END);
  EXPECT_EQ(310, list_->GetScrollPos().cy);
  EXPECT_EQ(95 - 20, Top(19));  // the last row ends at the inner bottom
  window_->Key(VK_PRIOR);
  EXPECT_EQ(220, list_->GetScrollPos().cy);
  window_->Key(VK_HOME);
  EXPECT_EQ(0, list_->GetScrollPos().cy);
  EXPECT_EQ(5, Top(0));
  list_->SetScrollStepSize(7);
  window_->Key(VK_DOWN);
  window_->Key(VK_DOWN);
  window_->Key(VK_UP);
  EXPECT_EQ(7, list_->GetScrollPos().cy);
}

TEST_F(ContainerScrollTest, DraggingTheBarsThumbScrollsTheList) {
  Open(ListSkin(10));
  CScrollBarUI* bar = list_->GetVerticalScrollBar();
  // Track 68, thumb 68 * 100 / 200 = 34 at 16..50.
  EXPECT_EQ(16, bar->GetThumbRect().top);
  EXPECT_EQ(50, bar->GetThumbRect().bottom);
  window_->MouseDown(192, 30);
  window_->MouseMove(192, 47);  // half the 34-pixel travel
  StepTimer(bar, CScrollBarUI::kRepeatTimerId);
  EXPECT_EQ(50, list_->GetScrollPos().cy);
  EXPECT_EQ(-50, Top(0));
  window_->MouseUp(192, 47);
  EXPECT_FALSE(ScrollNotes().empty());
  // A held arrow repeats through the list's own line step.
  list_->SetScrollStepSize(4);
  window_->MouseDown(192, 95);
  EXPECT_EQ(54, list_->GetScrollPos().cy);
  StepTimer(bar, CScrollBarUI::kRepeatTimerId, 6);
  EXPECT_EQ(58, list_->GetScrollPos().cy);
  window_->MouseUp(192, 95);
}

TEST_F(ContainerScrollTest, PositionSurvivesALayoutAndShrinkingHidesTheBar) {
  Open(ListSkin(10));
  list_->SetScrollPos(SIZE{0, 40});
  list_->SetPos(list_->GetPos(), true);
  window_->Paint();
  EXPECT_EQ(40, list_->GetScrollPos().cy);
  EXPECT_EQ(-40, Top(0));
  // Fewer rows: the overflow goes, and with it the bar and its position.
  for (int i = 9; i >= 5; --i) list_->RemoveAt(i);
  window_->Paint();
  CScrollBarUI* bar = list_->GetVerticalScrollBar();
  EXPECT_FALSE(bar->IsVisible());
  EXPECT_EQ(0, bar->GetScrollPos());
  EXPECT_EQ(0, bar->GetScrollRange());
  EXPECT_EQ(0, Top(0));
  EXPECT_EQ(200, window_->Find(L"r0")->GetPos().right);  // full width again
  // HomeUp without a visible bar changes nothing and sends nothing.
  window_->ClearSeen();
  list_->HomeUp();
  list_->LineDown();
  EXPECT_TRUE(ScrollNotes().empty());
}

TEST_F(ContainerScrollTest, PageDownLeavesOutAVisibleHorizontalBar) {
  Open(ListSkin(20, L"hscrollbar=\"true\"", 300));
  ASSERT_NE(nullptr, list_->GetHorizontalScrollBar());
  EXPECT_TRUE(list_->GetHorizontalScrollBar()->IsVisible());
  EXPECT_EQ(116, list_->GetScrollRange().cx);  // 300 less 184
  list_->PageDown();
  EXPECT_EQ(84, list_->GetScrollPos().cy);
  list_->PageRight();
  EXPECT_EQ(116, list_->GetScrollPos().cx);
  EXPECT_EQ(-116, window_->Find(L"r0")->GetPos().left);
  list_->LineLeft();
  EXPECT_EQ(108, list_->GetScrollPos().cx);
  // The wheel scrolls the vertical bar first.
  Wheel(50, 40, false);
  EXPECT_EQ(108, list_->GetScrollPos().cx);
  EXPECT_LT(list_->GetScrollPos().cy, 84);
}

TEST_F(ContainerScrollTest, ScrollBarDefaultsAndStylesApply) {
  Open(L"<Window size=\"200,100\"><Default name=\"VScrollBar\" value=\"width=&quot;10&quot; linesize=&quot;4&quot;\"/>"
       L"<Style name=\"thin\" value=\"height=&quot;6&quot;\"/>"
       L"<HorizontalLayout name=\"list\" vscrollbar=\"true\" hscrollbarstyle=\"thin\">"
       L"<Control width=\"300\" height=\"300\"/></HorizontalLayout></Window>");
  EXPECT_EQ(10, list_->GetVerticalScrollBar()->GetFixedWidth());
  EXPECT_EQ(4, list_->GetVerticalScrollBar()->GetLineSize());
  EXPECT_EQ(6, list_->GetHorizontalScrollBar()->GetFixedHeight());
  EXPECT_EQ(300 - 94, list_->GetScrollRange().cy);
  EXPECT_EQ(300 - 190, list_->GetScrollRange().cx);
  list_->EnableScrollBar(false, false);
  EXPECT_EQ(nullptr, list_->GetVerticalScrollBar());
  EXPECT_EQ(nullptr, list_->GetHorizontalScrollBar());
}

class ScrolledListGoldenTest : public ::testing::TestWithParam<int> {};

TEST_P(ScrolledListGoldenTest, ScrolledListLooksAsItsGolden) {
  const int scale = GetParam();
  SkinWindow w(ListSkin(10, L"scrollstepsize=\"10\""), scale);
  ASSERT_TRUE(w.Open());
  auto* list = static_cast<CContainerUI*>(w.Find(L"list"));
  list->LineDown();
  list->LineDown();
  list->LineDown();
  int width = 0;
  int height = 0;
  const std::vector<std::uint32_t> pixels = w.Pixels(&width, &height);
  const auto result = testing::MatchGolden("scrolled_list_" + std::to_string(scale), pixels, width, height, false);
  EXPECT_TRUE(result.ok) << result.message;
}

INSTANTIATE_TEST_SUITE_P(Scales, ScrolledListGoldenTest, ::testing::Values(100, 150));

}  // namespace
}  // namespace SkinUI
