// Drawing onto a 32-bit memory bitmap, checked pixel by pixel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/gdiplus_include.h"
#include "ui_toolkit/core/tests/image_bytes.h"

namespace SkinUI {
namespace {

class GdiplusEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token_, &input, nullptr);
  }
  void TearDown() override { Gdiplus::GdiplusShutdown(token_); }

 private:
  ULONG_PTR token_ = 0;
};
const auto* const kGdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

// A memory device context over a top-down 32-bit bitmap filled with one colour.
class Canvas {
 public:
  Canvas(int width, int height, uint32_t fill) : width_(width), height_(height) {
    dc_ = ::CreateCompatibleDC(nullptr);
    bitmap_ = CUiDrawEngine::CreateArgb32Bitmap(dc_, width, -height, &bits_);
    old_ = ::SelectObject(dc_, bitmap_);
    for (int i = 0; i < width * height; ++i) std::memcpy(bits_ + i * 4, &fill, 4);
  }
  ~Canvas() {
    ::SelectObject(dc_, old_);
    ::DeleteObject(bitmap_);
    ::DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  uint32_t At(int x, int y) const {
    ::GdiFlush();
    uint32_t v;
    std::memcpy(&v, bits_ + (static_cast<size_t>(y) * width_ + x) * 4, 4);
    return v & 0xFFFFFF;
  }

 private:
  int width_, height_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
  BYTE* bits_ = nullptr;
};

bool Near(uint32_t a, uint32_t b, int tolerance = 3) {
  for (int shift = 0; shift < 24; shift += 8) {
    if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tolerance) {
      return false;
    }
  }
  return true;
}

struct Image {
  explicit Image(const std::string& png)
      : record(CUiDrawEngine::DecodeImage(reinterpret_cast<const BYTE*>(png.data()), png.size(), 0)) {}
  ~Image() { CUiDrawEngine::FreeImage(record); }
  ImageRecordUI* record;
};

// An 8 x 8 image: four 2 x 2 corner colours, grey edges and a blue middle.
Image NineGrid() {
  std::vector<uint32_t> px(64, 0xFF808080);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const bool left = x < 2, right = x >= 6, top = y < 2, bottom = y >= 6;
      uint32_t& p = px[y * 8 + x];
      if (top && left) p = 0xFFFF0000;
      if (top && right) p = 0xFF00FF00;
      if (bottom && left) p = 0xFFFFFF00;
      if (bottom && right) p = 0xFF00FFFF;
      if (!left && !right && !top && !bottom) p = 0xFF0000FF;
    }
  }
  return Image(testing::EncodePng(px, 8, 8));
}

TEST(DrawImageTest, NineGridKeepsCornersAndStretchesTheRest) {
  Image image = NineGrid();
  ASSERT_NE(nullptr, image.record);
  Canvas canvas(20, 20, 0xFFFFFFFF);
  const RECT dest{2, 2, 18, 18};
  CUiDrawEngine::DrawImage(canvas.dc(), image.record->hBitmap, dest, RECT{0, 0, 20, 20}, RECT{0, 0, 8, 8},
                           RECT{2, 2, 2, 2}, false);
  struct Probe {
    int x, y;
    uint32_t want;
  } probes[] = {
      {2, 2, 0xFF0000}, {3, 3, 0xFF0000}, {17, 2, 0x00FF00}, {2, 17, 0xFFFF00}, {17, 17, 0x00FFFF},
      {10, 2, 0x808080}, {2, 10, 0x808080}, {10, 10, 0x0000FF}, {5, 5, 0x0000FF}, {14, 14, 0x0000FF},
      {1, 1, 0xFFFFFF}, {18, 18, 0xFFFFFF},
  };
  for (const Probe& p : probes) EXPECT_TRUE(Near(p.want, canvas.At(p.x, p.y))) << p.x << "," << p.y << " " << std::hex << canvas.At(p.x, p.y);
}

TEST(DrawImageTest, HoleLeavesTheMiddleUntouched) {
  Image image = NineGrid();
  Canvas canvas(16, 16, 0xFFFFFFFF);
  CUiDrawEngine::DrawImage(canvas.dc(), image.record->hBitmap, RECT{0, 0, 16, 16}, RECT{0, 0, 16, 16},
                           RECT{0, 0, 8, 8}, RECT{2, 2, 2, 2}, false, 255, true);
  EXPECT_EQ(0xFFFFFFu, canvas.At(8, 8));
  EXPECT_EQ(0xFF0000u, canvas.At(0, 0));
  EXPECT_EQ(0x808080u, canvas.At(8, 0));
}

TEST(DrawImageTest, XTiledColumnsRepeatTheSourceMiddle) {
  // Source middle 10 wide: columns of ten shades; corners of 1 pixel on either side.
  std::vector<uint32_t> px(12 * 4, 0xFF000000);
  for (int y = 0; y < 4; ++y) {
    for (int x = 1; x <= 10; ++x) px[y * 12 + x] = 0xFF000000 | static_cast<uint32_t>(x * 20) << 16;
  }
  Image image(testing::EncodePng(px, 12, 4));
  Canvas canvas(27, 8, 0xFFFFFFFF);
  CUiDrawEngine::DrawImage(canvas.dc(), image.record->hBitmap, RECT{0, 0, 27, 8}, RECT{0, 0, 27, 8},
                           RECT{0, 0, 12, 4}, RECT{1, 0, 1, 0}, false, 255, false, true, false);
  // Middle 25 wide from x 1: columns at 1, 11 and 21 (the last 5 wide, the left half of the source).
  for (int x = 0; x < 25; ++x) {
    const uint32_t want = static_cast<uint32_t>(((x % 10) + 1) * 20) << 16;
    EXPECT_EQ(want, canvas.At(1 + x, 0)) << x;
    EXPECT_EQ(want, canvas.At(1 + x, 7)) << x << " (each column spans the full height)";
  }
  EXPECT_EQ(0u, canvas.At(26, 3));  // the right corner
}

TEST(DrawImageTest, FadeBlendsAndFullFadeCopies) {
  Image image(testing::EncodePng(std::vector<uint32_t>(16, 0xFF000000), 4, 4));
  Canvas half(4, 4, 0xFFFFFFFF);
  CUiDrawEngine::DrawImage(half.dc(), image.record->hBitmap, RECT{0, 0, 4, 4}, RECT{0, 0, 4, 4}, RECT{0, 0, 4, 4},
                           RECT{}, false, 128);
  EXPECT_TRUE(Near(0x7F7F7F, half.At(1, 1), 2)) << std::hex << half.At(1, 1);
  Canvas full(4, 4, 0xFFFFFFFF);
  CUiDrawEngine::DrawImage(full.dc(), image.record->hBitmap, RECT{0, 0, 4, 4}, RECT{0, 2, 4, 4}, RECT{0, 0, 4, 4},
                           RECT{}, false, 255);
  EXPECT_EQ(0xFFFFFFu, full.At(1, 1)) << "outside the paint rectangle";
  EXPECT_EQ(0u, full.At(1, 3));
}

TEST(DrawImageTest, TransparentPixelsBlend) {
  Image image(testing::EncodePng({0x00000000, 0x80FF0000}, 2, 1));
  Canvas canvas(2, 1, 0xFFFFFFFF);
  CUiDrawEngine::DrawImage(canvas.dc(), image.record->hBitmap, RECT{0, 0, 2, 1}, RECT{0, 0, 2, 1}, RECT{0, 0, 2, 1},
                           RECT{}, image.record->bAlpha);
  EXPECT_EQ(0xFFFFFFu, canvas.At(0, 0));
  EXPECT_TRUE(Near(0xFF7F7F, canvas.At(1, 0), 2)) << std::hex << canvas.At(1, 0);
}

TEST(DrawImageTest, SoftAlphaBlendMatchesTheSystemBlend) {
  Image image(testing::EncodePng({0x80FF0000, 0xFF00FF00, 0x00000000, 0x40000080}, 4, 1));
  Canvas soft(4, 1, 0xFF204060), system(4, 1, 0xFF204060);
  HDC mem = ::CreateCompatibleDC(nullptr);
  HGDIOBJ old = ::SelectObject(mem, image.record->hBitmap);
  const BLENDFUNCTION blend = {AC_SRC_OVER, 0, 200, AC_SRC_ALPHA};
  ASSERT_TRUE(CUiDrawEngine::SoftAlphaBlend(soft.dc(), 0, 0, 4, 1, mem, 0, 0, 4, 1, blend));
  ::GdiAlphaBlend(system.dc(), 0, 0, 4, 1, mem, 0, 0, 4, 1, blend);
  ::SelectObject(mem, old);
  ::DeleteDC(mem);
  for (int x = 0; x < 4; ++x) EXPECT_TRUE(Near(system.At(x, 0), soft.At(x, 0), 2)) << x;
}

TEST(PlaceImageRectTest, AlignmentAndPadding) {
  struct Case {
    RECT item;
    SIZE size;
    RECT padding;
    const wchar_t* align;
    RECT want;
  } cases[] = {
      {{0, 0, 100, 40}, {16, 16}, {0, 0, 4, 0}, L"right vcenter", {80, 12, 96, 28}},
      {{0, 0, 100, 30}, {10, 20}, {}, L"bottom", {0, 10, 100, 30}},
      {{10, 10, 110, 50}, {20, 10}, {2, 3, 0, 0}, L"hcenter top", {52, 13, 72, 23}},
      {{0, 0, 50, 50}, {20, 20}, {}, L"left", {0, 0, 20, 50}},
      {{0, 0, 50, 50}, {20, 20}, {40, 40, 0, 0}, L"left top", {40, 40, 50, 50}},  // cut at the item
  };
  for (const Case& c : cases) {
    const RECT r = CUiDrawEngine::PlaceImageRect(c.item, c.item, c.size, c.padding, c.align);
    EXPECT_TRUE(::EqualRect(&r, &c.want)) << static_cast<int>(&c - cases) << ": " << r.left << "," << r.top << ","
                                          << r.right << "," << r.bottom;
  }
}

TEST(DrawShapesTest, FillColorBlendsByAlpha) {
  Canvas canvas(4, 4, 0xFFFFFFFF);
  CUiDrawEngine::FillColor(canvas.dc(), RECT{0, 0, 4, 4}, 0x00FF0000);
  EXPECT_EQ(0xFFFFFFu, canvas.At(1, 1));
  CUiDrawEngine::FillColor(canvas.dc(), RECT{0, 0, 2, 4}, 0x80FF0000);
  EXPECT_TRUE(Near(0xFF7F7F, canvas.At(1, 1))) << std::hex << canvas.At(1, 1);
  EXPECT_EQ(0xFFFFFFu, canvas.At(3, 1));
}

TEST(DrawShapesTest, GradientsAndTheirAlpha) {
  Canvas opaque(64, 4, 0xFFFFFFFF);
  CUiDrawEngine::DrawGradient(opaque.dc(), RECT{0, 0, 64, 4}, 0xFF000000, 0xFFFFFFFF, false, 64);
  EXPECT_LT(opaque.At(1, 1) & 0xFF, 0x10u);
  EXPECT_GT(opaque.At(62, 1) & 0xFF, 0xF0u);
  EXPECT_TRUE(Near(0x808080, opaque.At(32, 1), 8)) << std::hex << opaque.At(32, 1);
  Canvas half(8, 8, 0xFFFFFFFF);
  CUiDrawEngine::DrawGradient(half.dc(), RECT{0, 0, 8, 8}, 0xFF000000, 0x00000000, true, 8);
  EXPECT_TRUE(Near(0x808080, half.At(4, 4), 3)) << std::hex << half.At(4, 4);  // black blended at alpha 127
  Canvas none(8, 8, 0xFFFFFFFF);
  CUiDrawEngine::DrawGradient(none.dc(), RECT{0, 0, 8, 8}, 0x01000000, 0x00000000, true, 8);
  EXPECT_EQ(0xFFFFFFu, none.At(4, 4));
}

TEST(DrawShapesTest, LinesAndRectangles) {
  Canvas canvas(20, 20, 0xFFFFFFFF);
  CUiDrawEngine::DrawLine(canvas.dc(), RECT{0, 5, 20, 5}, 1, 0xFF0000FF);
  EXPECT_EQ(0x0000FFu, canvas.At(10, 5));
  EXPECT_EQ(0xFFFFFFu, canvas.At(10, 6));
  CUiDrawEngine::DrawRect(canvas.dc(), RECT{2, 8, 12, 18}, 1, 0xFFFF0000);
  EXPECT_EQ(0xFF0000u, canvas.At(2, 12));
  EXPECT_EQ(0xFF0000u, canvas.At(11, 12));
  EXPECT_EQ(0xFF0000u, canvas.At(6, 17));
  EXPECT_EQ(0xFFFFFFu, canvas.At(6, 12));
  EXPECT_EQ(0xFFFFFFu, canvas.At(12, 12));
  Canvas round(40, 40, 0xFFFFFFFF);
  CUiDrawEngine::DrawRoundRect(round.dc(), RECT{0, 0, 40, 40}, 1, 20, 20, 0xFF000000);
  EXPECT_EQ(0xFFFFFFu, round.At(0, 0)) << "the corner is rounded off";
  EXPECT_LT(round.At(20, 0) & 0xFF, 0x80u) << "the top edge";
  EXPECT_LT(round.At(0, 20) & 0xFF, 0x80u) << "the left edge";
}

TEST(ClipScopeTest, ClippingLastsForTheScope) {
  Canvas canvas(10, 10, 0xFFFFFFFF);
  HBRUSH red = ::CreateSolidBrush(RGB(255, 0, 0));
  {
    CUiClipScope clip;
    CUiClipScope::Begin(canvas.dc(), RECT{0, 0, 5, 5}, clip);
    RECT all{0, 0, 10, 10};
    ::FillRect(canvas.dc(), &all, red);
    EXPECT_EQ(0xFF0000u, canvas.At(2, 2));
    EXPECT_EQ(0xFFFFFFu, canvas.At(7, 7));
    clip.SelectSavedRegion();
    RECT corner{8, 8, 10, 10};
    ::FillRect(canvas.dc(), &corner, red);
    EXPECT_EQ(0xFF0000u, canvas.At(9, 9));
    clip.SelectOwnRegion();
    RECT other{5, 0, 10, 5};
    ::FillRect(canvas.dc(), &other, red);
    EXPECT_EQ(0xFFFFFFu, canvas.At(7, 2));
  }
  RECT rest{5, 0, 10, 5};
  ::FillRect(canvas.dc(), &rest, red);
  EXPECT_EQ(0xFF0000u, canvas.At(7, 2)) << "the clipping is restored";
  {
    Canvas rounded(20, 20, 0xFFFFFFFF);
    CUiClipScope clip;
    CUiClipScope::BeginRound(rounded.dc(), RECT{0, 0, 20, 20}, RECT{0, 0, 19, 19}, 12, 12, clip);
    RECT all{0, 0, 20, 20};
    ::FillRect(rounded.dc(), &all, red);
    EXPECT_EQ(0xFFFFFFu, rounded.At(0, 0));
    EXPECT_EQ(0xFF0000u, rounded.At(10, 10));
  }
  ::DeleteObject(red);
}

}  // namespace
}  // namespace SkinUI
