#include "ui_toolkit/core/ui_rect.h"

#include <gtest/gtest.h>

namespace SkinUI {
namespace {

bool Same(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(UiRectTest, UnionHasNoSpecialCaseForEmptyRectangles) {
  struct Case {
    CUiRect a, b, want;
  } cases[] = {
      {{0, 0, 10, 10}, {0, 0, 0, 0}, {0, 0, 10, 10}},
      {{0, 0, 10, 10}, {20, 20, 20, 20}, {0, 0, 20, 20}},
      {{5, 5, 10, 10}, {0, 0, 0, 0}, {0, 0, 10, 10}},
      {{-3, 2, 4, 8}, {1, -6, 9, 3}, {-3, -6, 9, 8}},
  };
  for (auto& c : cases) {
    c.a.Union(c.b);
    EXPECT_TRUE(Same(c.want, c.a)) << c.a.left << "," << c.a.top << "," << c.a.right << "," << c.a.bottom;
  }
}

TEST(UiRectTest, GeometryAndRectConversions) {
  CUiRect r(10, 20, 110, 70);
  EXPECT_EQ(100, r.GetWidth());
  EXPECT_EQ(50, r.GetHeight());
  r.Deflate(5, 10);
  EXPECT_TRUE(Same(RECT{15, 30, 105, 60}, r));
  r.Offset(-20, 5);
  EXPECT_TRUE(Same(RECT{-5, 35, 85, 65}, r));
  r.MoveToOrigin();
  EXPECT_TRUE(Same(RECT{0, 0, 90, 30}, r));
  RECT plain = r;
  EXPECT_TRUE(Same(plain, CUiRect(plain)));
  EXPECT_TRUE(::OffsetRect(&r, 1, 1));  // passes where a RECT* is wanted
  EXPECT_TRUE(Same(RECT{1, 1, 91, 31}, r));
  static_assert(sizeof(CUiRect) == sizeof(RECT));
  static_assert(sizeof(CUiSize) == sizeof(SIZE));
  CUiSize s(3, 4);
  CUiSize copy(s);
  EXPECT_EQ(3, copy.cx);
  EXPECT_EQ(4, copy.cy);
  EXPECT_EQ(0, CUiSize().cx);
}

}  // namespace
}  // namespace SkinUI
