// The computed drop shadow and the skinned-window base: hit testing of the
// caption and sizing edges, the system buttons, the rounded window region.
#include <gtest/gtest.h>

#include "base/scoped_handle.h"
#include "ui_toolkit/core/control.h"
#include "ui_toolkit/core/shadow.h"
#include "ui_toolkit/core/tests/skin_window.h"

namespace SkinUI {
namespace {

using testing::SkinWindow;

std::vector<std::pair<int, int>> FullSpans(int width, int height) {
  return std::vector<std::pair<int, int>>(height, {0, width - 1});
}

TEST(ShadowTest, ComputedShadowSurroundsTheHostAndNeverLiesUnderIt) {
  const auto pixels = CShadowUI::ComputeShadow(100, 100, FullSpans(100, 100), 4, 5, 150, 0, 0, 0);
  ASSERT_EQ(108u * 108u, pixels.size());
  EXPECT_EQ(0u, pixels[54 * 108 + 54]);      // under the host
  EXPECT_NE(0u, pixels[54 * 108 + 1] >> 24);  // left of the host
  EXPECT_LE(pixels[54 * 108 + 1] >> 24, 150u);
}

// The spans read from a region's rectangles are the ones a test of every
// pixel finds, for the shapes a skinned window's region takes.
TEST(ShadowTest, RegionSpansMatchThePixelsInsideTheRegion) {
  struct Case {
    const char* name;
    HRGN region;
  } cases[] = {
      {"rounded", ::CreateRoundRectRgn(0, 0, 61, 41, 12, 12)},
      {"ellipse", ::CreateEllipticRgn(5, 3, 50, 38)},
      {"beyond the window", ::CreateRectRgn(-10, -5, 80, 50)},
      {"empty", ::CreateRectRgn(0, 0, 0, 0)},
  };
  // Two pieces on some rows: the span runs from the first to the last pixel.
  HRGN pieces = ::CreateRectRgn(2, 2, 10, 30);
  HRGN right = ::CreateRectRgn(40, 10, 55, 20);
  ::CombineRgn(pieces, pieces, right, RGN_OR);
  ::DeleteObject(right);
  for (const Case& c : cases) {
    base::ScopedGdiObject owned(c.region);
    const auto spans = CShadowUI::RegionSpans(c.region, 60, 40);
    ASSERT_EQ(40u, spans.size()) << c.name;
    for (int y = 0; y < 40; ++y) {
      std::pair<int, int> expected{1, 0};
      for (int x = 0; x < 60; ++x) {
        if (!::PtInRegion(c.region, x, y)) continue;
        if (expected.first > expected.second) expected.first = x;
        expected.second = x;
      }
      EXPECT_EQ(expected, spans[y]) << c.name << " row " << y;
    }
  }
  base::ScopedGdiObject owned(pieces);
  const auto spans = CShadowUI::RegionSpans(pieces, 60, 40);
  EXPECT_EQ((std::pair<int, int>{2, 54}), spans[15]);
  EXPECT_EQ((std::pair<int, int>{2, 9}), spans[25]);
  EXPECT_EQ((std::pair<int, int>{1, 0}), spans[35]);
}

TEST(ShadowTest, HostileSizesAndOffsetsStayInsideTheBitmap) {
  struct Case {
    int size, sharpness, offset_x, offset_y;
  } cases[] = {{4, 5, 35, 35}, {4, 5, -35, -35}, {-4, 5, 0, 0}, {-35, 35, 35, -35}, {2, 35, 0, 0}, {35, 0, 0, 0}};
  for (const Case& c : cases) {
    const auto pixels =
        CShadowUI::ComputeShadow(20, 10, FullSpans(20, 10), c.size, c.sharpness, 200, c.offset_x, c.offset_y, 0);
    const int sw = 20 + 2 * c.size;
    const int sh = 10 + 2 * c.size;
    EXPECT_EQ(sw > 0 && sh > 0 ? static_cast<size_t>(sw) * sh : 0u, pixels.size()) << c.size;
  }
}

TEST(ShadowTest, SettersRefuseOutOfRangeValues) {
  CShadowUI s;
  EXPECT_TRUE(s.SetSize(4));
  EXPECT_FALSE(s.SetSize(36));
  EXPECT_EQ(4, s.GetSize());
  EXPECT_FALSE(s.SetDarkness(300));
  EXPECT_FALSE(s.SetSharpness(-1));
  EXPECT_FALSE(s.SetPosition(0, 36));
  EXPECT_FALSE(s.SetShadowCorner(RECT{0, -1, 0, 0}));
  EXPECT_FALSE(s.SetImage(nullptr));
}

TEST(ShadowTest, ShownShadowWindowSitsBehindItsHost) {
  SkinWindow w(L"<Window size=\"100,100\" showshadow=\"true\" shadowsize=\"4\"><Control bkcolor=\"#FF808080\"/></Window>");
  ASSERT_TRUE(w.Open());
  const HWND shadow = w.GetPaintManager().GetShadow()->GetShadowWindow();
  ASSERT_NE(nullptr, shadow);
  RECT host{};
  RECT rc{};
  ::GetWindowRect(w.Hwnd(), &host);
  ::GetWindowRect(shadow, &rc);
  EXPECT_EQ(host.left - 4, rc.left);
  EXPECT_EQ(host.top - 4, rc.top);
  EXPECT_EQ(108, rc.right - rc.left);
  EXPECT_EQ(108, rc.bottom - rc.top);
}

constexpr wchar_t kFramed[] =
    L"<Window size=\"200,100\" caption=\"0,0,0,30\" sizebox=\"4,4,4,4\" roundcorner=\"4,4\"><VerticalLayout>"
    L"<HorizontalLayout height=\"30\"><Label name=\"title\"/><Button name=\"minbtn\" width=\"30\"/>"
    L"<Button name=\"closebtn\" width=\"30\"/></HorizontalLayout><Control/></VerticalLayout></Window>";

LRESULT HitTest(SkinWindow& w, int x, int y) {
  POINT pt{x, y};
  ::ClientToScreen(w.Hwnd(), &pt);
  return ::SendMessageW(w.Hwnd(), WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
}

TEST(WindowImplBaseTest, CaptionDragsThroughLabelsButNotButtonsAndEdgesSize) {
  SkinWindow w(kFramed);
  ASSERT_TRUE(w.Open());
  EXPECT_EQ(HTTOPLEFT, HitTest(w, 2, 2));
  EXPECT_EQ(HTBOTTOMRIGHT, HitTest(w, 198, 98));
  EXPECT_EQ(HTCAPTION, HitTest(w, 50, 15));  // over the title label
  EXPECT_EQ(HTCLIENT, HitTest(w, 185, 15));  // over the close button
  EXPECT_EQ(HTCLIENT, HitTest(w, 100, 60));
  HRGN region = ::CreateRectRgn(0, 0, 0, 0);
  EXPECT_NE(ERROR, ::GetWindowRgn(w.Hwnd(), region));
  EXPECT_FALSE(::PtInRegion(region, 0, 0));  // the corner is cut round
  EXPECT_TRUE(::PtInRegion(region, 100, 50));
  ::DeleteObject(region);
}

TEST(WindowImplBaseTest, CloseButtonEndsTheModalLoopWithOneAndMinButtonMinimises) {
  SkinWindow w(kFramed);
  ASSERT_TRUE(w.Open());
  w.Click(155, 15);
  EXPECT_TRUE(::IsIconic(w.Hwnd()));
  ::ShowWindow(w.Hwnd(), SW_RESTORE);
  w.Paint();
  ::PostMessageW(w.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(185, 15));
  ::PostMessageW(w.Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(185, 15));
  EXPECT_EQ(1u, w.ShowModal());
  EXPECT_FALSE(::IsWindow(w.Hwnd()));
}

}  // namespace
}  // namespace SkinUI
