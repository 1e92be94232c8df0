#include <gtest/gtest.h>

#include <string>

#include "ui_toolkit/controls/color_palette.h"
#include "ui_toolkit/controls/tests/further_test_util.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/tests/image_bytes.h"
#include "ui_toolkit/core/tests/zip_builder.h"

namespace SkinUI {
namespace {

using testing::SkinWindow;

// A 200 x 230 palette at (0, 0): the palette in rows 0..199, the bar in 210..229.
class ColorPaletteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<uint32_t> ring(64, 0xFFFFFFFF);
    for (int y = 2; y < 6; ++y) {
      for (int x = 2; x < 6; ++x) ring[y * 8 + x] = 0x00000000;
    }
    zip_ = testing::BuildZip({{.name = "ring.png", .data = testing::EncodePng(ring, 8, 8)}}).bytes;
    CPaintManagerUI::SetResourceZipFromMemory(zip_.data(), static_cast<unsigned>(zip_.size()));
  }
  static std::wstring Skin() {
    return L"<Window size=\"200,230\"><VerticalLayout bkcolor=\"#FF808080\"><ColorPalette name=\"p\" height=\"230\""
           L" palletheight=\"200\" barheight=\"20\" thumbimage=\"file='ring.png'\"/></VerticalLayout></Window>";
  }
  std::string zip_;
};

std::vector<WPARAM> ColourNotes(const SkinWindow& w) {
  std::vector<WPARAM> out;
  for (const auto& s : w.Seen()) {
    if (s.type == L"colorchanged") out.push_back(s.wparam);
  }
  return out;
}

TEST_F(ColorPaletteTest, StartsAtCyanWithTheThumbInTheMiddle) {
  SkinWindow w(Skin());
  ASSERT_TRUE(w.Open());
  auto* p = static_cast<CColorPaletteUI*>(w.Find(L"p"));
  // Cyan, the blue channel truncated from 254.99 in single precision.
  EXPECT_EQ(0xFF00FFFEu, p->GetSelectColor());
  EXPECT_EQ(100, p->GetThumbPoint().x);
  EXPECT_EQ(100, p->GetThumbPoint().y);
}

TEST_F(ColorPaletteTest, PickingInThePaletteSetsHueAndLightness) {
  SkinWindow w(Skin());
  ASSERT_TRUE(w.Open());
  auto* p = static_cast<CColorPaletteUI*>(w.Find(L"p"));
  w.ClearSeen();
  w.MouseDown(50, 50);
  EXPECT_EQ(90, p->GetHue());
  EXPECT_EQ(150, p->GetLightness());
  EXPECT_TRUE(ColourNotes(w).empty());  // reported on the release
  w.MouseUp(50, 50);
  // HSL(90, 100 %, 75 %) = (191, 255, 127).
  EXPECT_EQ(std::vector<WPARAM>{0xFFBFFF7F}, ColourNotes(w));
  EXPECT_EQ(50, p->GetThumbPoint().x);
  EXPECT_EQ(50, p->GetThumbPoint().y);
  // The bar now shades that hue and lightness from grey (left) to full colour.
  EXPECT_EQ(0xBFBFBFu, p->GetBitmapPixel(0, 215));
}

TEST_F(ColorPaletteTest, DraggingTheBarSetsSaturationClampedToItsEnds) {
  SkinWindow w(Skin());
  ASSERT_TRUE(w.Open());
  auto* p = static_cast<CColorPaletteUI*>(w.Find(L"p"));
  w.MouseDown(50, 220);
  EXPECT_EQ(50, p->GetSaturation());
  w.MouseMove(120, 220);
  EXPECT_EQ(120, p->GetSaturation());
  w.MouseMove(500, 220);
  EXPECT_EQ(200, p->GetSaturation());
  w.MouseMove(0, 220);
  EXPECT_EQ(0, p->GetSaturation());
  w.ClearSeen();
  w.MouseUp(0, 220);
  // No saturation: grey of the lightness (50 %).
  EXPECT_EQ(std::vector<WPARAM>{0xFF7F7F7F}, ColourNotes(w));
  // The palette was rebuilt without saturation: greys only.
  EXPECT_EQ(0x7F7F7Fu, p->GetBitmapPixel(0, 100));
  // A move after the release drags nothing.
  w.MouseMove(150, 220);
  EXPECT_EQ(0, p->GetSaturation());
}

TEST_F(ColorPaletteTest, DraggingThePaletteFollowsOnlyInsideIt) {
  SkinWindow w(Skin());
  ASSERT_TRUE(w.Open());
  auto* p = static_cast<CColorPaletteUI*>(w.Find(L"p"));
  w.MouseDown(100, 100);
  w.MouseMove(150, 20);
  EXPECT_EQ(270, p->GetHue());
  EXPECT_EQ(180, p->GetLightness());
  w.MouseMove(150, 205);  // below the palette: ignored
  EXPECT_EQ(180, p->GetLightness());
  w.MouseUp(150, 205);
}

TEST_F(ColorPaletteTest, AReleaseBetweenPaletteAndBarStillReportsTheColour) {
  SkinWindow w(Skin());
  ASSERT_TRUE(w.Open());
  w.ClearSeen();
  w.Click(100, 205);
  EXPECT_EQ(std::vector<WPARAM>{0xFF00FFFE}, ColourNotes(w));
}

TEST_F(ColorPaletteTest, PaletteBitmapRowsRunFromLightToBlack) {
  SkinWindow w(Skin());
  ASSERT_TRUE(w.Open());
  auto* p = static_cast<CColorPaletteUI*>(w.Find(L"p"));
  struct Case {
    int x;
    int y;
    DWORD rgb;
  };
  const Case cases[] = {
      {0, 100, 0xFF0000},    // hue 0 at half lightness
      {120, 100, 0x00FF00},  // hue 120
      {240, 100, 0x0000FF},  // hue 240
      {0, 200, 0x010000},    // lightness 0: black, kept apart from nothing drawn
      {0, 1, 0xFFFCFC},      // lightness 199/200
  };
  for (const Case& c : cases) EXPECT_EQ(c.rgb, p->GetBitmapPixel(c.x, c.y)) << c.x << "," << c.y;
  // On the screen: the top left is light, the bottom of the palette dark.
  EXPECT_GT(w.PixelAt(2, 2) & 0xFF, 0xC0u);
  EXPECT_LT((w.PixelAt(2, 198) >> 16) & 0xFF, 0x10u);
}

TEST(ColorPaletteAttributeTest, BarHeightIsCappedAndNamesAreCaseSensitive) {
  CColorPaletteUI p;
  p.SetAttribute(L"barheight", L"300");
  EXPECT_EQ(150, p.GetBarHeight());
  p.SetAttribute(L"palletheight", L"120");
  EXPECT_EQ(120, p.GetPalletHeight());
  p.SetAttribute(L"BarHeight", L"20");  // not this control's attribute
  EXPECT_EQ(150, p.GetBarHeight());
  p.SetAttribute(L"barheight", L"-4");
  EXPECT_EQ(0, p.GetBarHeight());
  EXPECT_EQ(&p, p.QueryInterfaceByName(L"ColorPalette"));
  EXPECT_NE(static_cast<void*>(&p), p.QueryInterfaceByName(L"colorpalette"));
}

TEST(ColorPaletteAttributeTest, AControlWithoutSizeTakesInputWithoutDividingByZero) {
  CColorPaletteUI p;
  p.SetAttribute(L"palletheight", L"0");
  p.SetPos(RECT{5, 5, 5, 5}, false);
  for (const int type : {UIEVENT_BUTTONDOWN, UIEVENT_MOUSEMOVE, UIEVENT_BUTTONUP}) {
    ControlEventUI event;
    event.Type = type;
    event.pSender = &p;
    event.ptMouse = POINT{5, 5};
    p.DispatchEvent(event);
  }
  EXPECT_GE(p.GetHue(), 0);
  EXPECT_LE(p.GetHue(), 360);
}

class ColorPaletteGoldenTest : public ColorPaletteTest, public ::testing::WithParamInterface<int> {};

TEST_P(ColorPaletteGoldenTest, AfterAPick) {
  const int scale = GetParam();
  SkinWindow w(Skin(), scale);
  ASSERT_TRUE(w.Open());
  testing::ExpectGolden(w, "palette_start_" + std::to_string(scale));
  auto* p = static_cast<CColorPaletteUI*>(w.Find(L"p"));
  const RECT pos = p->GetPos();
  w.Click(pos.left + (pos.right - pos.left) / 4, pos.top + (pos.bottom - pos.top) / 4);
  testing::ExpectGolden(w, "palette_picked_" + std::to_string(scale));
}

INSTANTIATE_TEST_SUITE_P(Scales, ColorPaletteGoldenTest, ::testing::Values(100, 150));

}  // namespace
}  // namespace SkinUI
