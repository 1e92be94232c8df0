// The scroll bar built from a skin and driven by the mouse: part layout,
// buttons, rail pages, thumb drag, auto-repeat stepped tick by tick, states,
// extreme ranges, and its pictures at 100 % and 150 %.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "ui_toolkit/controls/scroll_bar.h"
#include "ui_toolkit/controls/tests/step_timer.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/tests/golden_image.h"
#include "ui_toolkit/core/tests/image_bytes.h"
#include "ui_toolkit/core/tests/skin_window.h"
#include "ui_toolkit/core/tests/zip_builder.h"

namespace SkinUI {
namespace {

using testing::SkinWindow;
using testing::StepTimer;

std::wstring BarSkin(const std::wstring& bar_attributes, int height = 200) {
  return L"<Window size=\"100," + std::to_wstring(height) + L"\"><HorizontalLayout bkcolor=\"#FFFFFFFF\">"
         L"<ScrollBar name=\"sb\" height=\"" + std::to_wstring(height) + L"\" " + bar_attributes +
         L"/><Control/></HorizontalLayout></Window>";
}

bool SameRect(const RECT& a, const RECT& b) { return ::EqualRect(&a, &b) != FALSE; }

std::string Str(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

class ScrollBarTest : public ::testing::Test {
 protected:
  void Open(const std::wstring& attributes, int height = 200, int scale = 100) {
    window_ = std::make_unique<SkinWindow>(BarSkin(attributes, height), scale);
    ASSERT_TRUE(window_->Open());
    bar_ = static_cast<CScrollBarUI*>(window_->Find(L"sb"));
    ASSERT_NE(nullptr, bar_);
    window_->ClearSeen();
  }
  size_t Scrolls() const {
    size_t n = 0;
    for (const auto& seen : window_->Seen()) n += seen.type == L"scroll" ? 1 : 0;
    return n;
  }

  std::unique_ptr<SkinWindow> window_;
  CScrollBarUI* bar_ = nullptr;
};

TEST_F(ScrollBarTest, PartsFollowRangeAndPosition) {
  Open(L"range=\"1000\" linesize=\"10\"");
  EXPECT_STREQ(L"ScrollBarUI", bar_->GetClassName());
  EXPECT_EQ(bar_, bar_->QueryInterfaceByName(L"scrollbar"));
  EXPECT_EQ("0,0,16,16", Str(bar_->GetButton1Rect()));
  EXPECT_EQ("0,184,16,200", Str(bar_->GetButton2Rect()));
  // Track 168, thumb 168 * 200 / 1200 = 28.
  EXPECT_EQ("0,16,16,44", Str(bar_->GetThumbRect()));
  bar_->SetScrollPos(500);
  EXPECT_EQ("0,86,16,114", Str(bar_->GetThumbRect()));
  bar_->SetScrollPos(5000);  // clamped to the range
  EXPECT_EQ(1000, bar_->GetScrollPos());
  EXPECT_EQ("0,156,16,184", Str(bar_->GetThumbRect()));
  bar_->SetScrollRange(400);  // the position follows the range down
  EXPECT_EQ(400, bar_->GetScrollPos());
  bar_->SetScrollPos(-5);
  EXPECT_EQ(0, bar_->GetScrollPos());
  bar_->SetScrollRange(-7);
  EXPECT_EQ(0, bar_->GetScrollRange());
}

TEST_F(ScrollBarTest, HorizontalBarLaysOutAlongX) {
  window_ = std::make_unique<SkinWindow>(
      L"<Window size=\"200,100\"><VerticalLayout><ScrollBar name=\"sb\" hor=\"true\" range=\"200\" value=\"200\""
      L" width=\"200\"/><Control/></VerticalLayout></Window>");
  ASSERT_TRUE(window_->Open());
  auto* bar = static_cast<CScrollBarUI*>(window_->Find(L"sb"));
  EXPECT_TRUE(bar->IsHorizontal());
  EXPECT_EQ(16, bar->GetHeight());
  EXPECT_EQ("0,0,16,16", Str(bar->GetButton1Rect()));
  EXPECT_EQ("184,0,200,16", Str(bar->GetButton2Rect()));
  // Thumb 168 * 200 / 400 = 84, at the end of the track.
  EXPECT_EQ("100,0,184,16", Str(bar->GetThumbRect()));
}

TEST_F(ScrollBarTest, ButtonsStepByALineAndRailClicksPage) {
  Open(L"range=\"1000\" linesize=\"10\"");
  window_->Click(8, 190);
  EXPECT_EQ(10, bar_->GetScrollPos());
  EXPECT_EQ(1u, Scrolls());
  window_->Click(8, 190);
  window_->Click(8, 5);
  EXPECT_EQ(10, bar_->GetScrollPos());
  // After the thumb: one page of the bar's own height; before it: back.
  window_->Click(8, 150);
  EXPECT_EQ(210, bar_->GetScrollPos());
  window_->Click(8, 20);
  EXPECT_EQ(10, bar_->GetScrollPos());
  EXPECT_EQ(5u, Scrolls());
  for (const auto& seen : window_->Seen()) {
    if (seen.type != L"scroll") continue;
    EXPECT_EQ(L"sb", seen.sender);
    EXPECT_EQ(0u, seen.wparam);
    EXPECT_EQ(0, seen.lparam);
  }
  // The pushed flag lasts from the press to the release.
  window_->MouseDown(8, 190);
  EXPECT_NE(0u, bar_->GetButton2State() & UISTATE_PUSHED);
  window_->MouseUp(8, 190);
  EXPECT_EQ(0u, bar_->GetButton2State() & UISTATE_PUSHED);
}

TEST_F(ScrollBarTest, HeldButtonRepeatsFromTheSixthTick) {
  Open(L"range=\"1000\" linesize=\"10\"");
  window_->MouseDown(8, 190);
  EXPECT_EQ(10, bar_->GetScrollPos());
  StepTimer(bar_, CScrollBarUI::kRepeatTimerId, 5);
  EXPECT_EQ(10, bar_->GetScrollPos());
  EXPECT_EQ(1u, Scrolls());
  StepTimer(bar_, CScrollBarUI::kRepeatTimerId);
  EXPECT_EQ(20, bar_->GetScrollPos());
  StepTimer(bar_, CScrollBarUI::kRepeatTimerId, 3);
  EXPECT_EQ(50, bar_->GetScrollPos());
  EXPECT_EQ(5u, Scrolls());
  window_->MouseUp(8, 190);
  StepTimer(bar_, CScrollBarUI::kRepeatTimerId, 8);
  EXPECT_EQ(50, bar_->GetScrollPos());
  // Button 1 repeats the same way.
  window_->MouseDown(8, 5);
  StepTimer(bar_, CScrollBarUI::kRepeatTimerId, 7);
  EXPECT_EQ(20, bar_->GetScrollPos());
  window_->MouseUp(8, 5);
}

TEST_F(ScrollBarTest, DraggedThumbFollowsTheMouseOnEachTick) {
  Open(L"range=\"1000\"");
  window_->MouseDown(8, 30);
  EXPECT_NE(0u, bar_->GetThumbState() & UISTATE_CAPTURED);
  window_->MouseMove(8, 100);
  EXPECT_EQ(0, bar_->GetScrollPos());  // moves land on the next tick
  StepTimer(bar_, CScrollBarUI::kRepeatTimerId);
  // 70 pixels of a 140-pixel travel.
  EXPECT_EQ(500, bar_->GetScrollPos());
  EXPECT_EQ("0,86,16,114", Str(bar_->GetThumbRect()));
  window_->MouseMove(8, 400);  // far below the bar: stops at the end
  StepTimer(bar_, CScrollBarUI::kRepeatTimerId);
  EXPECT_EQ(1000, bar_->GetScrollPos());
  window_->MouseMove(8, 10);
  StepTimer(bar_, CScrollBarUI::kRepeatTimerId);
  EXPECT_EQ(0, bar_->GetScrollPos());
  window_->MouseUp(8, 10);
  EXPECT_EQ(0u, bar_->GetThumbState() & (UISTATE_CAPTURED | UISTATE_PUSHED));
}

TEST_F(ScrollBarTest, ThumbStaysUnderTheMouseAtOneHundredFiftyPercent) {
  Open(L"range=\"1000\"", 200, 150);
  // 300 pixels: buttons of 24, thumb 252 * 300 / 1300 = 58, travel 194.
  EXPECT_EQ("0,24,24,82", Str(bar_->GetThumbRect()));
  window_->MouseDown(12, 50);
  window_->MouseMove(12, 50 + 97);
  StepTimer(bar_, CScrollBarUI::kRepeatTimerId);
  EXPECT_EQ(500, bar_->GetScrollPos());
  EXPECT_EQ(24 + 97, bar_->GetThumbRect().top);
  window_->MouseUp(12, 147);
}

TEST_F(ScrollBarTest, RangeZeroFillsTheTrackAndKeepsPositionZero) {
  Open(L"range=\"0\"");
  EXPECT_EQ("0,16,16,184", Str(bar_->GetThumbRect()));
  bar_->SetScrollPos(50);
  EXPECT_EQ(0, bar_->GetScrollPos());
  window_->MouseDown(8, 100);
  window_->MouseMove(8, 180);
  StepTimer(bar_, CScrollBarUI::kRepeatTimerId);
  window_->MouseUp(8, 180);
  EXPECT_EQ(0, bar_->GetScrollPos());
}

TEST_F(ScrollBarTest, LargestRangeDragsToItsEndsWithoutWrapping) {
  Open(L"range=\"2147483647\" linesize=\"10\"");
  EXPECT_EQ(INT_MAX, bar_->GetScrollRange());
  // The thumb keeps the bar's thickness.
  EXPECT_EQ("0,16,16,32", Str(bar_->GetThumbRect()));
  window_->MouseDown(8, 20);
  window_->MouseMove(8, 199);  // far more than the whole range in offset terms
  StepTimer(bar_, CScrollBarUI::kRepeatTimerId);
  EXPECT_EQ(INT_MAX, bar_->GetScrollPos());
  EXPECT_EQ("0,168,16,184", Str(bar_->GetThumbRect()));
  window_->MouseUp(8, 199);
  // A line forward at the end stays at the end.
  window_->Click(8, 190);
  EXPECT_EQ(INT_MAX, bar_->GetScrollPos());
  window_->MouseDown(8, 170);
  window_->MouseMove(8, -100);
  StepTimer(bar_, CScrollBarUI::kRepeatTimerId);
  EXPECT_EQ(0, bar_->GetScrollPos());
  window_->MouseUp(8, 0);
}

TEST_F(ScrollBarTest, ShortBarHasNoThumb) {
  Open(L"range=\"100\"", 30);
  EXPECT_EQ("0,0,16,15", Str(bar_->GetButton1Rect()));
  EXPECT_EQ("0,15,16,30", Str(bar_->GetButton2Rect()));
  EXPECT_TRUE(SameRect(RECT{}, bar_->GetThumbRect()));
  bar_->SetShowButton1(false);
  EXPECT_EQ("0,0,0,0", Str(bar_->GetButton1Rect()));
  bar_->SetShowButton2(false);
  // Without buttons the 30 pixels are enough for a thumb.
  EXPECT_FALSE(SameRect(RECT{}, bar_->GetThumbRect()));
}

TEST_F(ScrollBarTest, DisabledBarIgnoresPressesAndHover) {
  Open(L"range=\"1000\" enabled=\"false\"");
  window_->MouseMove(8, 30);
  EXPECT_EQ(0u, bar_->GetThumbState() & UISTATE_HOT);
  window_->Click(8, 190);
  EXPECT_EQ(0, bar_->GetScrollPos());
  EXPECT_EQ(0u, Scrolls());
  bar_->SetEnabled(true);
  window_->MouseMove(60, 30);
  window_->MouseMove(8, 30);
  EXPECT_NE(0u, bar_->GetThumbState() & UISTATE_HOT);
  EXPECT_NE(0u, bar_->GetButton1State() & UISTATE_HOT);
  window_->MouseMove(8, 100);  // off the thumb, still on the bar
  EXPECT_EQ(0u, bar_->GetThumbState() & UISTATE_HOT);
  window_->MouseMove(60, 100);
  EXPECT_EQ(0u, bar_->GetButton1State() & UISTATE_HOT);
}

TEST_F(ScrollBarTest, WithoutImagesPartsAreOutlined) {
  Open(L"range=\"1000\"");
  EXPECT_EQ(0x85E4FFu, window_->PixelAt(0, 8) & 0xFFFFFF);   // button 1 outline
  EXPECT_EQ(0xFFFFFFu, window_->PixelAt(8, 8) & 0xFFFFFF);   // its inside
  EXPECT_EQ(0x85E4FFu, window_->PixelAt(8, 198) & 0xFFFFFF);  // button 2 outline
  EXPECT_EQ(0x85E4FFu, window_->PixelAt(8, 16) & 0xFFFFFF);   // thumb top edge
  bar_->SetShowScrollBar(false);
  EXPECT_EQ(0xFFFFFFu, window_->PixelAt(0, 8) & 0xFFFFFF);
}

// One-colour images for every part and state, stretched over each part.
class ScrollBarGoldenTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    const auto png = [](uint32_t argb) { return testing::EncodePng({argb}, 1, 1); };
    zip_ = testing::BuildZip({{.name = "b.png", .data = png(0xFF3050C0)},
                              {.name = "bh.png", .data = png(0xFF6080F0)},
                              {.name = "bp.png", .data = png(0xFF102060)},
                              {.name = "bd.png", .data = png(0xFFB0B0B0)},
                              {.name = "t.png", .data = png(0xFF30A050)},
                              {.name = "th.png", .data = png(0xFF60D080)},
                              {.name = "tp.png", .data = png(0xFF105020)},
                              {.name = "td.png", .data = png(0xFFC8C8C8)},
                              {.name = "r.png", .data = png(0xFFF0D020)},
                              {.name = "bk.png", .data = png(0xFFE8E0D0)}})
               .bytes;
    CPaintManagerUI::SetResourceZipFromMemory(zip_.data(), static_cast<unsigned>(zip_.size()));
  }
  std::string zip_;
};

TEST_P(ScrollBarGoldenTest, StatesLookAsTheirGoldens) {
  const int scale = GetParam();
  const std::wstring images =
      L" button1normalimage=\"b.png\" button1hotimage=\"bh.png\" button1pushedimage=\"bp.png\""
      L" button1disabledimage=\"bd.png\" button2normalimage=\"b.png\" button2hotimage=\"bh.png\""
      L" button2pushedimage=\"bp.png\" button2disabledimage=\"bd.png\" thumbnormalimage=\"t.png\""
      L" thumbhotimage=\"th.png\" thumbpushedimage=\"tp.png\" thumbdisabledimage=\"td.png\""
      L" railnormalimage=\"r.png\" bknormalimage=\"bk.png\"";
  SkinWindow w(L"<Window size=\"160,120\"><HorizontalLayout bkcolor=\"#FFFFFFFF\" childpadding=\"8\">"
               L"<ScrollBar name=\"normal\" range=\"300\" value=\"100\"" + images + L"/>"
               L"<ScrollBar name=\"hot\" range=\"300\" value=\"100\"" + images + L"/>"
               L"<ScrollBar name=\"pushed\" range=\"300\" value=\"100\"" + images + L"/>"
               L"<ScrollBar name=\"disabled\" range=\"300\" value=\"100\" enabled=\"false\"" + images + L"/>"
               L"<VerticalLayout><Control/><ScrollBar name=\"plain\" hor=\"true\" range=\"50\" value=\"25\""
               L" bkcolor=\"#FFEEEEEE\"/></VerticalLayout></HorizontalLayout></Window>",
               scale);
  ASSERT_TRUE(w.Open());
  const auto middle = [](const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; };
  int width = 0;
  int height = 0;
  // The mouse over the second bar's thumb: its buttons and thumb are hot.
  auto* hot = static_cast<CScrollBarUI*>(w.Find(L"hot"));
  const POINT hot_thumb = middle(hot->GetThumbRect());
  w.MouseMove(hot_thumb.x, hot_thumb.y);
  EXPECT_NE(0u, hot->GetThumbState() & UISTATE_HOT);
  const std::vector<std::uint32_t> hot_pixels = w.Pixels(&width, &height);
  const auto hot_result = testing::MatchGolden("scroll_bar_hot_" + std::to_string(scale), hot_pixels, width, height,
                                               false);
  EXPECT_TRUE(hot_result.ok) << hot_result.message;
  // The third bar's thumb held down.
  auto* pushed = static_cast<CScrollBarUI*>(w.Find(L"pushed"));
  const POINT pushed_thumb = middle(pushed->GetThumbRect());
  w.MouseDown(pushed_thumb.x, pushed_thumb.y);
  EXPECT_NE(0u, pushed->GetThumbState() & UISTATE_PUSHED);
  EXPECT_EQ(0u, hot->GetThumbState() & UISTATE_HOT);
  const std::vector<std::uint32_t> pushed_pixels = w.Pixels(&width, &height);
  const auto pushed_result = testing::MatchGolden("scroll_bar_pushed_" + std::to_string(scale), pushed_pixels, width,
                                                  height, false);
  EXPECT_TRUE(pushed_result.ok) << pushed_result.message;
  w.MouseUp(pushed_thumb.x, pushed_thumb.y);
}

INSTANTIATE_TEST_SUITE_P(Scales, ScrollBarGoldenTest, ::testing::Values(100, 150));

}  // namespace
}  // namespace SkinUI
