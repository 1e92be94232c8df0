#include <gtest/gtest.h>

#include <string>

#include "ui_toolkit/controls/roll_text.h"
#include "ui_toolkit/controls/tests/further_test_util.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

using testing::SkinWindow;
using testing::Tick;

// A 100 x 40 rolling text at (0, 0) with a green box to its right.
constexpr wchar_t kSkin[] =
    L"<Window size=\"200,40\"><Font id=\"1\" name=\"Liberation Sans\" size=\"14\"/>"
    L"<HorizontalLayout bkcolor=\"#FFFFFFFF\"><RollText name=\"r\" width=\"100\" height=\"40\" font=\"1\" textcolor=\"#FF000000\""
    L" text=\"Rolling\"/><Control name=\"next\" bkcolor=\"#FF00FF00\"/></HorizontalLayout></Window>";

// One step: the repaint timer fires and the window paints.
void Step(SkinWindow& w, CRollTextUI* r) {
  Tick(r, CRollTextUI::kRollTimerId);
  w.Paint();
}

bool AllOf(SkinWindow& w, RECT rc, std::uint32_t rgb) {
  int width = 0;
  int height = 0;
  const auto px = w.Pixels(&width, &height);
  for (int y = rc.top; y < rc.bottom; ++y) {
    for (int x = rc.left; x < rc.right; ++x) {
      if ((px[static_cast<size_t>(y) * width + x] & 0xFFFFFF) != rgb) return false;
    }
  }
  return true;
}

class RollTextTest : public ::testing::Test {
 protected:
  void Start(SkinWindow& w, int direction) {
    ASSERT_TRUE(w.Open());
    r_ = static_cast<CRollTextUI*>(w.Find(L"r"));
    // Real timers far in the future: the steps below are the test's own.
    ASSERT_TRUE(r_->BeginRoll(direction, 5, 1000000, 0));
    r_->SetText(L"Rolling");  // measured again at the next paint
    Step(w, r_);
    ASSERT_GT(r_->GetTextExtent(), 0);
  }
  CRollTextUI* r_ = nullptr;
};

TEST_F(RollTextTest, FirstPaintOnlyMeasuresThenTheTextEntersFromTheRight) {
  SkinWindow w(kSkin);
  Start(w, ROLLTEXT_LEFT);
  EXPECT_TRUE(AllOf(w, RECT{0, 0, 100, 40}, 0xFFFFFF));  // nothing shown while measuring
  const int extent = r_->GetTextExtent();
  const int span = 100 + extent;
  int offset = 0;
  for (int i = 0; i < 60; ++i) {
    Step(w, r_);
    const RECT rc = r_->GetLastTextRect();
    ASSERT_EQ(100 - offset, rc.left) << i;
    ASSERT_EQ(extent, rc.right - rc.left) << i;
    offset += 5;
    if (offset > span) offset = 0;
    ASSERT_EQ(offset, r_->GetOffset()) << i;
    // Whatever the position, the neighbour is never painted over.
    ASSERT_TRUE(AllOf(w, RECT{100, 0, 200, 40}, 0x00FF00)) << i;
  }
}

TEST_F(RollTextTest, EachDirectionStartsOutsideTheBoxOnItsSide) {
  struct Case {
    int direction;
    int first_left;   // on the first visible step
    int first_top;
    int moves_x;      // per step
    int moves_y;
  };
  const Case cases[] = {
      {ROLLTEXT_LEFT, 100, 0, -5, 0},
      {ROLLTEXT_RIGHT, -100, 0, 5, 0},
      {ROLLTEXT_UP, 0, 40, 0, -5},
      {ROLLTEXT_DOWN, 0, -40, 0, 5},
  };
  for (const Case& c : cases) {
    SkinWindow w(kSkin);
    Start(w, c.direction);
    Step(w, r_);
    const RECT first = r_->GetLastTextRect();
    EXPECT_EQ(c.first_left, first.left) << c.direction;
    EXPECT_EQ(c.first_top, first.top) << c.direction;
    Step(w, r_);
    const RECT second = r_->GetLastTextRect();
    EXPECT_EQ(c.moves_x, second.left - first.left) << c.direction;
    EXPECT_EQ(c.moves_y, second.top - first.top) << c.direction;
  }
}

TEST_F(RollTextTest, TheEndTimerReportsOnceAndEndRollStopsAll) {
  SkinWindow w(kSkin);
  ASSERT_TRUE(w.Open());
  r_ = static_cast<CRollTextUI*>(w.Find(L"r"));
  ASSERT_TRUE(r_->BeginRoll(ROLLTEXT_LEFT, 5, 1000000, 1000000));
  EXPECT_TRUE(r_->IsRolling());
  w.ClearSeen();
  Tick(r_, CRollTextUI::kEndTimerId);
  EXPECT_EQ(std::vector<std::wstring>{L"textrollend"}, testing::Sent(w, L"r"));
  // The end timer was killed: a second real one cannot come.
  EXPECT_FALSE(w.GetPaintManager().KillTimer(r_, CRollTextUI::kEndTimerId));
  r_->EndRoll();
  EXPECT_FALSE(r_->IsRolling());
  EXPECT_EQ(0, r_->GetOffset());
  EXPECT_FALSE(w.GetPaintManager().KillTimer(r_, CRollTextUI::kRollTimerId));
  EXPECT_FALSE(r_->BeginRoll(7, 5, 10, 0));
}

TEST_F(RollTextTest, RealTimerRollsTheText) {
  SkinWindow w(kSkin);
  ASSERT_TRUE(w.Open());
  r_ = static_cast<CRollTextUI*>(w.Find(L"r"));
  ASSERT_TRUE(r_->BeginRoll(ROLLTEXT_LEFT, 5, 10, 0));
  ASSERT_TRUE(testing::PumpUntil([&] { return r_->GetOffset() >= 15; }, 5000));
  r_->EndRoll();
}

TEST(RollTextEmptyTest, EmptyTextDrawsNothing) {
  SkinWindow w(L"<Window size=\"100,40\"><HorizontalLayout bkcolor=\"#FFFFFFFF\"><RollText name=\"r\"/>"
               L"</HorizontalLayout></Window>");
  ASSERT_TRUE(w.Open());
  auto* r = static_cast<CRollTextUI*>(w.Find(L"r"));
  Step(w, r);
  Step(w, r);
  EXPECT_EQ(0, r->GetTextExtent());
  EXPECT_EQ(0, r->GetOffset());
  EXPECT_EQ(std::wstring(L"RollTextUI"), r->GetClassName());
  EXPECT_EQ(r, r->QueryInterfaceByName(L"rolltext"));
}

class RollTextGoldenTest : public RollTextTest, public ::testing::WithParamInterface<int> {};

TEST_P(RollTextGoldenTest, HalfWayIn) {
  SkinWindow w(kSkin, GetParam());
  Start(w, ROLLTEXT_LEFT);
  for (int i = 0; i < 10; ++i) Step(w, r_);
  testing::ExpectGolden(w, "rolltext_" + std::to_string(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Scales, RollTextGoldenTest, ::testing::Values(100, 150));

}  // namespace
}  // namespace SkinUI
