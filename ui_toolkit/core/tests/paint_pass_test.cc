// The paint pass: what the window shows, read from the paint manager's
// off-screen bitmap, layered alpha, and the notifications of the pass.
#include <gtest/gtest.h>

#include "ui_toolkit/core/control.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/tests/golden_image.h"
#include "ui_toolkit/core/tests/skin_window.h"

namespace SkinUI {
namespace {

using testing::SkinWindow;

// Boxes, a border, a label and a button with text, in a 200 x 120 window.
constexpr wchar_t kPanel[] =
    L"<Window size=\"200,120\"><Font id=\"1\" name=\"Liberation Sans\" size=\"14\"/>"
    L"<VerticalLayout bkcolor=\"#FFF0F0F0\" inset=\"8,8,8,8\" childpadding=\"6\">"
    L"<HorizontalLayout height=\"30\" bkcolor=\"#FF2060C0\"><Label text=\"Title\" font=\"1\" textcolor=\"#FFFFFFFF\""
    L" textpadding=\"6,0,0,0\"/></HorizontalLayout>"
    L"<Control height=\"20\" bkcolor=\"#FFFFD040\" bordercolor=\"#FF804000\" bordersize=\"1\"/>"
    L"<HorizontalLayout height=\"28\"><Control/><Button name=\"ok\" width=\"70\" text=\"OK\" font=\"1\""
    L" bkcolor=\"#FF40A040\" textcolor=\"#FF101010\"/></HorizontalLayout>"
    L"</VerticalLayout></Window>";

class GoldenScaleTest : public ::testing::TestWithParam<int> {};

TEST_P(GoldenScaleTest, PanelLooksAsItsGolden) {
  const int scale = GetParam();
  SkinWindow w(kPanel, scale);
  ASSERT_TRUE(w.Open());
  int width = 0;
  int height = 0;
  const std::vector<std::uint32_t> pixels = w.Pixels(&width, &height);
  ASSERT_EQ(200 * scale / 100, width);
  ASSERT_EQ(120 * scale / 100, height);
  const auto result = testing::MatchGolden("panel_" + std::to_string(scale), pixels, width, height, false);
  EXPECT_TRUE(result.ok) << result.message;
}

INSTANTIATE_TEST_SUITE_P(Scales, GoldenScaleTest, ::testing::Values(100, 150));

TEST(PaintPassTest, FillsLandWhereTheLayoutPutTheControls) {
  SkinWindow w(kPanel);
  ASSERT_TRUE(w.Open());
  EXPECT_EQ(0x00F0F0F0u, w.PixelAt(2, 2) & 0xFFFFFF);      // the layout's background
  EXPECT_EQ(0x002060C0u, w.PixelAt(150, 12) & 0xFFFFFF);   // the title bar, right of its text
  EXPECT_EQ(0x00804000u, w.PixelAt(8, 44) & 0xFFFFFF);     // the border of the yellow box
  EXPECT_EQ(0x00FFD040u, w.PixelAt(100, 54) & 0xFFFFFF);   // its inside
  // A button in a horizontal layout keeps its measured single-line height.
  const RECT ok = w.Find(L"ok")->GetPos();
  EXPECT_EQ(122, ok.left);
  EXPECT_EQ(70, ok.top);
  EXPECT_EQ(192, ok.right);
  EXPECT_EQ(94, ok.bottom);
}

TEST(PaintPassTest, WindowInitComesOnceBeforeTheFirstFrameAndWindowSizeAfterEachLayout) {
  SkinWindow w(kPanel);
  bool painted_before_init = true;
  w.on_notify = [&](NotifyMsgUI& msg) {
    if (msg.sType == L"windowinit") painted_before_init = w.GetPaintManager().GetOffscreenPixels() != nullptr;
  };
  ASSERT_TRUE(w.Open());
  testing::PumpFor(30);
  EXPECT_FALSE(painted_before_init);
  const auto types = w.SeenTypes();
  EXPECT_EQ(1, std::count(types.begin(), types.end(), L"windowinit"));
  const auto sizes_before = std::count(types.begin(), types.end(), L"windowsize");
  EXPECT_GE(sizes_before, 1);
  ::SetWindowPos(w.Hwnd(), nullptr, 0, 0, 260, 140, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  w.Paint();
  testing::PumpFor(30);
  const auto after = w.SeenTypes();
  EXPECT_EQ(1, std::count(after.begin(), after.end(), L"windowinit"));
  EXPECT_EQ(sizes_before + 1, std::count(after.begin(), after.end(), L"windowsize"));
  EXPECT_EQ(260, w.GetPaintManager().GetOffscreenSize().cx);  // rebuilt at the new size
}

TEST(PaintPassTest, LayeredWindowKeepsGdiBlackTransparentAndDarkGreyOpaque) {
  // Side borders are drawn with GDI pens, which leave alpha at 0.
  SkinWindow w(
      L"<Window size=\"60,20\" bktrans=\"true\"><HorizontalLayout>"
      L"<Control width=\"20\" bordercolor=\"#FF000000\" leftbordersize=\"4\"/>"
      L"<Control width=\"20\" bordercolor=\"#FF101010\" leftbordersize=\"4\"/>"
      L"<Control bkcolor=\"#FF000000\"/></HorizontalLayout></Window>");
  ASSERT_TRUE(w.Open());
  ASSERT_TRUE(w.GetPaintManager().IsLayered());
  EXPECT_NE(0, ::GetWindowLongPtrW(w.Hwnd(), GWL_EXSTYLE) & WS_EX_LAYERED);
  EXPECT_EQ(0x00000000u, w.PixelAt(0, 10));   // GDI's pure black stays transparent
  EXPECT_EQ(0xFF101010u, w.PixelAt(20, 10));  // GDI's dark grey becomes opaque
  EXPECT_EQ(0x00000000u, w.PixelAt(10, 10));  // nothing drawn: transparent
  EXPECT_EQ(0xFF000000u, w.PixelAt(50, 10));  // an opaque black fill is opaque
}

TEST(PaintPassTest, SetLayeredOnAChildWindowChangesNothing) {
  SkinWindow parent(L"<Window><Control/></Window>");
  ASSERT_TRUE(parent.Open());
  CPaintManagerUI pm;
  const HWND child = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, parent.Hwnd(), nullptr,
                                       ::GetModuleHandleW(nullptr), nullptr);
  pm.Init(child);
  pm.SetLayered(true);
  EXPECT_FALSE(pm.IsLayered());
  ::DestroyWindow(child);
}

}  // namespace
}  // namespace SkinUI
