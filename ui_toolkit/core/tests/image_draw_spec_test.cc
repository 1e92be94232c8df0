#include "ui_toolkit/core/image_draw_spec.h"

#include <gtest/gtest.h>

#include "ui_toolkit/core/dpi_helper.h"

namespace SkinUI {
namespace {

bool Same(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

ImageDrawSpecUI Parsed(const wchar_t* description, const wchar_t* modifier = nullptr,
                       const CDpiHelperUI* dpi = nullptr) {
  ImageDrawSpecUI spec;
  spec.Parse(description, modifier, dpi);
  return spec;
}

TEST(ImageDrawSpecTest, PlainNameKeepsEveryDefault) {
  const ImageDrawSpecUI s = Parsed(L"img/bk.png");
  EXPECT_STREQ(L"img/bk.png", s.sImageName.GetData());
  EXPECT_STREQ(L"img/bk.png", s.sDescription.GetData());
  EXPECT_TRUE(s.sResType.IsEmpty());
  EXPECT_TRUE(Same(RECT{}, s.rcDest));
  EXPECT_TRUE(Same(RECT{}, s.rcCorner));
  EXPECT_EQ(255u, s.uFade);
  EXPECT_EQ(0u, s.dwMask);
  EXPECT_FALSE(s.bHole || s.bGdiplus || s.bTiledX || s.bTiledY || s.bHSL);
  EXPECT_EQ(0, s.szImage.cx);
}

TEST(ImageDrawSpecTest, PairsSetTheirFields) {
  const ImageDrawSpecUI s = Parsed(
      L"file='img/bk.png' corner='4,4,4,4' hole='true' dest='1,2,30,40' source='0,0,8,9' mask='#FFFF00FF' "
      L"xtiled='TRUE' ytiled='false' hsl='true' size='16,16' align='right vcenter' padding='0,0,4,0' "
      L"restype='PNG' unknown='x'");
  EXPECT_STREQ(L"img/bk.png", s.sImageName.GetData());
  EXPECT_TRUE(Same(RECT{4, 4, 4, 4}, s.rcCorner));
  EXPECT_TRUE(s.bHole);
  EXPECT_TRUE(Same(RECT{1, 2, 30, 40}, s.rcDest));
  EXPECT_TRUE(Same(RECT{0, 0, 8, 9}, s.rcSource));
  EXPECT_EQ(0xFFFF00FFu, s.dwMask);
  EXPECT_TRUE(s.bTiledX);
  EXPECT_FALSE(s.bTiledY);
  EXPECT_TRUE(s.bHSL);
  EXPECT_EQ(16, s.szImage.cx);
  EXPECT_STREQ(L"right vcenter", s.sAlign.GetData());
  EXPECT_TRUE(Same(RECT{0, 0, 4, 0}, s.rcPadding));
  EXPECT_STREQ(L"PNG", s.sResType.GetData());
  EXPECT_EQ(Parsed(L"mask='FF00FF00'").dwMask, Parsed(L"mask='#FF00FF00'").dwMask);
}

TEST(ImageDrawSpecTest, ModifierOverridesTheDescription) {
  const ImageDrawSpecUI s = Parsed(L"file='a.png' fade='200'", L"fade='128'");
  EXPECT_STREQ(L"a.png", s.sImageName.GetData());
  EXPECT_EQ(128u, s.uFade);
  EXPECT_STREQ(L"fade='128'", s.sModifier.GetData());
  EXPECT_EQ(255u, Parsed(L"fade='999'").uFade);
}

TEST(ImageDrawSpecTest, ListEndsAtAMissingSeparatorOrQuote) {
  const ImageDrawSpecUI glued = Parsed(L"file='a.png'dest='0,0,10,10'");
  EXPECT_STREQ(L"a.png", glued.sImageName.GetData());
  EXPECT_TRUE(Same(RECT{}, glued.rcDest));
  EXPECT_EQ(255u, Parsed(L"file='a.png' fade=\"1\"").uFade);
  EXPECT_STREQ(L"b.png", Parsed(L"  file  =  'b.png'  ").sImageName.GetData());
  EXPECT_STREQ(L"file='c.png", Parsed(L"file='c.png").sImageName.GetData());  // unterminated: nothing applied
  EXPECT_STREQ(L"d.png", Parsed(L"file='' file='d.png'").sImageName.GetData());  // an empty value is ignored
}

TEST(ImageDrawSpecTest, RotateSwitchesGdiplusOnUntilALaterPair) {
  const ImageDrawSpecUI on = Parsed(L"gdiplus='false' rotate='90'");
  EXPECT_TRUE(on.bGdiplus);
  EXPECT_EQ(90u, on.uRotate);
  EXPECT_FALSE(Parsed(L"rotate='90' gdiplus='false'").bGdiplus);
}

TEST(ImageDrawSpecTest, ShortNumberListsStopAtTheirEnd) {
  const ImageDrawSpecUI s = Parsed(L"dest='5,6' size='7' corner=',,,'");
  EXPECT_TRUE(Same(RECT{5, 6, 0, 0}, s.rcDest));
  EXPECT_EQ(7, s.szImage.cx);
  EXPECT_EQ(0, s.szImage.cy);
  EXPECT_TRUE(Same(RECT{}, s.rcCorner));
}

TEST(ImageDrawSpecTest, ScaleAppliesToRectanglesAndNames) {
  CDpiHelperUI dpi;
  dpi.SetScaleFromDpi(144);
  const ImageDrawSpecUI s = Parsed(L"file='img/bk.png' dest='0,0,10,10' size='16,16' padding='2,2,2,2'", nullptr, &dpi);
  EXPECT_TRUE(Same(RECT{0, 0, 15, 15}, s.rcDest));
  EXPECT_TRUE(Same(RECT{3, 3, 3, 3}, s.rcPadding));  // left and top as points, the width on its own
  EXPECT_EQ(16, s.szImage.cx);  // the drawer scales the size
  EXPECT_STREQ(L"img/bk@150.png", s.sImageName.GetData());
  EXPECT_STREQ(L"a@150.b@150.png", Parsed(L"a.b.png", nullptr, &dpi).sImageName.GetData());
  CDpiHelperUI normal;
  EXPECT_STREQ(L"a.png", Parsed(L"a.png", nullptr, &normal).sImageName.GetData());
}

}  // namespace
}  // namespace SkinUI
