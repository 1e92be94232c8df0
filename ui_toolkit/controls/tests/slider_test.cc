#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ui_toolkit/controls/slider.h"
#include "ui_toolkit/controls/tests/further_test_util.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/tests/image_bytes.h"
#include "ui_toolkit/core/tests/zip_builder.h"

namespace SkinUI {
namespace {

using testing::SkinWindow;

// Thumb pictures in the skin zip: dark grey normal, orange hot, red pushed.
class SliderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zip_ = testing::BuildZip({{.name = "thumb.png", .data = testing::EncodePng(std::vector<uint32_t>(100, 0xFF404040), 10, 10)},
                              {.name = "hot.png", .data = testing::EncodePng(std::vector<uint32_t>(100, 0xFFFF8000), 10, 10)},
                              {.name = "pushed.png", .data = testing::EncodePng(std::vector<uint32_t>(100, 0xFFE00000), 10, 10)}})
               .bytes;
    CPaintManagerUI::SetResourceZipFromMemory(zip_.data(), static_cast<unsigned>(zip_.size()));
  }

  // A 200 x 20 slider at (10, 10), 0..100.
  static std::wstring Skin(const std::wstring& extra = L"") {
    return L"<Window size=\"220,40\"><VerticalLayout bkcolor=\"#FFFFFFFF\" inset=\"10,10,10,10\">"
           L"<Slider name=\"s\" height=\"20\" min=\"0\" max=\"100\" value=\"0\" bkcolor=\"#FFC0C0C0\""
           L" forecolor=\"#FF3070E0\" thumbsize=\"10,10\" thumbimage=\"file='thumb.png'\""
           L" thumbhotimage=\"file='hot.png'\" thumbpushedimage=\"file='pushed.png'\" " +
           extra + L"/></VerticalLayout></Window>";
  }

  static std::vector<std::wstring> Types(const SkinWindow& w) { return testing::Sent(w, L"s"); }

  std::string zip_;
};

TEST_F(SliderTest, PressJumpsWithoutNotifyingAndTheReleaseCommits) {
  SkinWindow w(Skin());
  ASSERT_TRUE(w.Open());
  auto* s = static_cast<CSliderUI*>(w.Find(L"s"));
  w.ClearSeen();
  // Track from x 15 to 205: 95 pixels in is half way.
  w.MouseDown(110, 20);
  EXPECT_EQ(50, s->GetValue());
  EXPECT_NE(0u, s->GetThumbState() & UISTATE_CAPTURED);
  EXPECT_TRUE(Types(w).empty());
  w.MouseUp(110, 20);
  EXPECT_EQ(std::vector<std::wstring>{L"valuechanged"}, Types(w));
  EXPECT_EQ(50, s->GetValue());
  EXPECT_EQ(0u, s->GetThumbState() & UISTATE_CAPTURED);
  const RECT thumb = s->GetThumbRect();
  EXPECT_EQ(105, thumb.left);  // 10 + 190 * 50 / 100
  EXPECT_EQ(15, thumb.top);
}

TEST_F(SliderTest, DraggingPastEitherEndGivesExactlyTheLimits) {
  SkinWindow w(Skin(L"sendmove=\"true\""));
  ASSERT_TRUE(w.Open());
  auto* s = static_cast<CSliderUI*>(w.Find(L"s"));
  w.MouseDown(15, 20);
  EXPECT_EQ(0, s->GetValue());
  w.ClearSeen();
  w.MouseMove(300, 20);
  EXPECT_EQ(100, s->GetValue());
  w.MouseMove(0, 20);
  EXPECT_EQ(0, s->GetValue());
  w.MouseMove(72, 20);  // 57 of 190 pixels: 30
  EXPECT_EQ(30, s->GetValue());
  EXPECT_EQ((std::vector<std::wstring>{L"movevaluechanged", L"movevaluechanged", L"movevaluechanged"}), Types(w));
  // While the thumb is held the program cannot move it.
  s->SetValue(90);
  EXPECT_EQ(30, s->GetValue());
  w.MouseUp(400, 20);
  EXPECT_EQ(100, s->GetValue());
  EXPECT_EQ(L"valuechanged", Types(w).back());
}

TEST_F(SliderTest, WheelStepsAndNotifiesEvenAtTheEnd) {
  SkinWindow w(Skin(L"step=\"30\" value=\"80\""));
  ASSERT_TRUE(w.Open());
  auto* s = static_cast<CSliderUI*>(w.Find(L"s"));
  POINT at{100, 20};
  ::ClientToScreen(w.Hwnd(), &at);
  const auto wheel = [&](int delta) {
    ::SendMessageW(w.Hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(at.x, at.y));
  };
  w.ClearSeen();
  wheel(-120);
  EXPECT_EQ(50, s->GetValue());
  wheel(120);
  EXPECT_EQ(80, s->GetValue());
  wheel(120);  // 110 is past the maximum: unchanged, still reported
  EXPECT_EQ(80, s->GetValue());
  EXPECT_EQ((std::vector<std::wstring>{L"valuechanged", L"valuechanged", L"valuechanged"}), Types(w));
}

TEST_F(SliderTest, HotFollowsTheThumbAndDisablingClearsIt) {
  SkinWindow w(Skin());
  ASSERT_TRUE(w.Open());
  auto* s = static_cast<CSliderUI*>(w.Find(L"s"));
  w.MouseMove(15, 20);
  EXPECT_NE(0u, s->GetThumbState() & UISTATE_HOT);
  w.MouseMove(150, 20);
  EXPECT_EQ(0u, s->GetThumbState() & UISTATE_HOT);
  w.MouseMove(15, 20);
  s->SetEnabled(false);
  EXPECT_EQ(0u, s->GetThumbState());
  w.ClearSeen();
  w.Click(150, 20);
  EXPECT_EQ(0, s->GetValue());
  EXPECT_TRUE(Types(w).empty());
}

TEST_F(SliderTest, VerticalSliderHasItsMinimumAtTheBottom) {
  SkinWindow w(L"<Window size=\"40,220\"><HorizontalLayout inset=\"10,10,10,10\"><Slider name=\"s\" width=\"20\" height=\"200\""
               L" hor=\"false\" min=\"0\" max=\"100\" value=\"0\" thumbsize=\"10,10\"/></HorizontalLayout></Window>");
  ASSERT_TRUE(w.Open());
  auto* s = static_cast<CSliderUI*>(w.Find(L"s"));
  RECT thumb = s->GetThumbRect();
  EXPECT_EQ(200, thumb.top);  // bottom 210 less the thumb
  EXPECT_EQ(15, thumb.left);
  w.Click(20, 12);
  EXPECT_EQ(100, s->GetValue());
  w.Click(20, 205);
  EXPECT_EQ(0, s->GetValue());
  w.Click(20, 110);  // 95 of 190 pixels up from 205
  EXPECT_EQ(50, s->GetValue());
  thumb = s->GetThumbRect();
  EXPECT_EQ(105, thumb.top);
}

TEST_F(SliderTest, ZeroAndReversedRangesNeitherCrashNorLeaveTheTrack) {
  CSliderUI lone;
  lone.SetMinValue(5);
  lone.SetMaxValue(5);
  lone.SetPos(RECT{0, 0, 100, 20}, false);
  RECT thumb = lone.GetThumbRect();
  EXPECT_EQ(0, thumb.left);
  lone.SetMaxValue(2);  // reversed
  thumb = lone.GetThumbRect();
  EXPECT_EQ(0, thumb.left);
  EXPECT_EQ(10, thumb.right);

  SkinWindow w(L"<Window size=\"220,40\"><VerticalLayout inset=\"10,10,10,10\"><Slider name=\"s\" height=\"20\""
               L" min=\"7\" max=\"7\" value=\"7\"/></VerticalLayout></Window>");
  ASSERT_TRUE(w.Open());
  auto* s = static_cast<CSliderUI*>(w.Find(L"s"));
  w.ClearSeen();
  w.MouseDown(110, 20);
  w.MouseMove(150, 20);
  w.MouseUp(150, 20);
  EXPECT_GE(s->GetValue(), s->GetMinValue());
  EXPECT_LE(s->GetValue(), s->GetMaxValue());
  thumb = s->GetThumbRect();
  EXPECT_GE(thumb.left, 10);
  EXPECT_LE(thumb.right, 210);
}

TEST_F(SliderTest, AThumbAsWideAsTheTrackDoesNotDivideByZero) {
  SkinWindow w(L"<Window size=\"40,40\"><VerticalLayout><Slider name=\"s\" width=\"20\" height=\"20\""
               L" thumbsize=\"20,20\" min=\"0\" max=\"10\"/><Control/></VerticalLayout></Window>");
  ASSERT_TRUE(w.Open());
  auto* s = static_cast<CSliderUI*>(w.Find(L"s"));
  w.Click(10, 10);
  EXPECT_GE(s->GetValue(), 0);
  EXPECT_LE(s->GetValue(), 10);
}

TEST_F(SliderTest, AWheelStepPastTheIntegerRangeIsNotTaken) {
  CSliderUI s;
  s.SetMinValue(INT32_MIN);
  s.SetMaxValue(INT32_MAX);
  s.SetValue(INT32_MAX - 1);
  s.SetChangeStep(10);
  ControlEventUI wheel;
  wheel.Type = UIEVENT_SCROLLWHEEL;
  wheel.pSender = &s;
  wheel.wParam = MAKEWPARAM(0, 120);
  s.DispatchEvent(wheel);
  EXPECT_EQ(INT32_MAX - 1, s.GetValue());  // no wrap to a negative value
  s.SetValue(INT32_MIN + 1);
  wheel.wParam = MAKEWPARAM(1, static_cast<WORD>(-120));
  s.DispatchEvent(wheel);
  EXPECT_EQ(INT32_MIN + 1, s.GetValue());
}

TEST_F(SliderTest, AttributesAndNames) {
  CSliderUI s;
  s.SetAttribute(L"ThumbSize", L"12,8");
  s.SetAttribute(L"step", L"7");
  s.SetAttribute(L"sendmove", L"TRUE");
  EXPECT_EQ(12, s.GetThumbSize().cx);
  EXPECT_EQ(8, s.GetThumbSize().cy);
  EXPECT_EQ(7, s.GetChangeStep());
  EXPECT_TRUE(s.GetCanSendMove());
  EXPECT_EQ(std::wstring(L"SliderUI"), s.GetClassName());
  EXPECT_EQ(&s, s.QueryInterfaceByName(L"slider"));
  EXPECT_NE(nullptr, s.QueryInterfaceByName(L"Progress"));
}

class SliderGoldenTest : public SliderTest, public ::testing::WithParamInterface<int> {};

TEST_P(SliderGoldenTest, NormalHotAndPushedThumbs) {
  const int scale = GetParam();
  const std::string suffix = "_" + std::to_string(scale);
  SkinWindow w(Skin(L"value=\"25\""), scale);
  ASSERT_TRUE(w.Open());
  auto* s = static_cast<CSliderUI*>(w.Find(L"s"));
  testing::ExpectGolden(w, "slider_normal" + suffix);
  const RECT thumb = s->GetThumbRect();
  const int cx = (thumb.left + thumb.right) / 2;
  const int cy = (thumb.top + thumb.bottom) / 2;
  w.MouseMove(cx, cy);
  testing::ExpectGolden(w, "slider_hot" + suffix);
  w.MouseDown(cx, cy);
  w.MouseMove(s->GetPos().left + s->GetWidth() * 3 / 4, cy);
  testing::ExpectGolden(w, "slider_pushed" + suffix);
  w.MouseUp(s->GetPos().left + s->GetWidth() * 3 / 4, cy);
}

INSTANTIATE_TEST_SUITE_P(Scales, SliderGoldenTest, ::testing::Values(100, 150));

}  // namespace
}  // namespace SkinUI
