#include "ui_toolkit/core/dpi_helper.h"

#include <gtest/gtest.h>

namespace SkinUI {
namespace {

CDpiHelperUI AtScale(int scale) {
  CDpiHelperUI dpi;
  dpi.SetScaleFromDpi(::MulDiv(scale, 96, 100));
  EXPECT_EQ(scale, dpi.GetScale());
  return dpi;
}

TEST(DpiHelperTest, ScaleNeverCollapsesNonZeroValues) {
  struct Case {
    int scale, in, out;
  } cases[] = {
      {150, 1, 2}, {150, 0, 0}, {150, -1, -2}, {150, 10, 15}, {25, 1, 1},
      {25, -1, -1}, {25, 3, 1}, {100, 7, 7}, {200, -3, -6}, {125, 4, 5},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, AtScale(c.scale).Scale(c.in)) << c.scale << " " << c.in;
}

TEST(DpiHelperTest, RectanglesScaleTheirSizeOnTheirOwn) {
  RECT r{0, 0, 1, 1};
  AtScale(125).ScaleRect(&r);
  EXPECT_EQ((RECT{0, 0, 1, 1}).right, r.right);
  EXPECT_EQ(1, r.bottom);
  const RECT s = AtScale(150).ScaledRect(RECT{10, 10, 20, 30});
  EXPECT_EQ(15, s.left);
  EXPECT_EQ(15, s.top);
  EXPECT_EQ(30, s.right);
  EXPECT_EQ(45, s.bottom);
  RECT u = s;
  AtScale(150).UnscaleRect(&u);
  EXPECT_EQ(10, u.left);
  EXPECT_EQ(20, u.right);
  EXPECT_EQ(30, u.bottom);
  const SIZE z = AtScale(150).ScaledSize(SIZE{16, 1});
  EXPECT_EQ(24, z.cx);
  EXPECT_EQ(2, z.cy);
}

TEST(DpiHelperTest, ScaleFromDpi) {
  CDpiHelperUI dpi;
  EXPECT_EQ(100, dpi.GetScale());
  EXPECT_EQ(96, dpi.GetDpi());
  EXPECT_EQ(150, dpi.SetScaleFromDpi(144));
  EXPECT_EQ(144, dpi.GetDpi());
  EXPECT_EQ(10, dpi.Unscale(15));
  // A nonsensical DPI would make every later division by the scale fail.
  EXPECT_EQ(100, dpi.SetScaleFromDpi(0));
  EXPECT_EQ(15, dpi.Unscale(15));
}

}  // namespace
}  // namespace SkinUI
