#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/tests/image_bytes.h"

namespace SkinUI {
namespace {

using testing::EncodePng;

struct Decoded {
  ImageRecordUI* image = nullptr;
  ~Decoded() { CUiDrawEngine::FreeImage(image); }
  uint32_t At(int x, int y) const {
    uint32_t v;
    std::memcpy(&v, image->pBits + (static_cast<size_t>(y) * image->nX + x) * 4, 4);
    return v;
  }
};

ImageRecordUI* Decode(const std::string& bytes, DWORD mask = 0) {
  return CUiDrawEngine::DecodeImage(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size(), mask);
}

TEST(ImageDecoderTest, PixelsArePremultipliedTopDownBgra) {
  // Row 0: opaque blue, half-transparent red; row 1: transparent, opaque white.
  Decoded d{Decode(EncodePng({0xFF0000FF, 0x80FF0000, 0x00123456, 0xFFFFFFFF}, 2, 2))};
  ASSERT_NE(nullptr, d.image);
  EXPECT_EQ(2, d.image->nX);
  EXPECT_EQ(2, d.image->nY);
  EXPECT_TRUE(d.image->bAlpha);
  EXPECT_EQ(0xFF0000FFu, d.At(0, 0));
  EXPECT_EQ(0x80800000u, d.At(1, 0));  // blue 0, green 0, red 128, alpha 128
  EXPECT_EQ(0x00000000u, d.At(0, 1));
  EXPECT_EQ(0xFFFFFFFFu, d.At(1, 1));
  BITMAP info = {};
  ASSERT_TRUE(::GetObjectW(d.image->hBitmap, sizeof(info), &info));
  EXPECT_EQ(32, info.bmBitsPixel);
  EXPECT_EQ(d.image->pBits, info.bmBits);
}

TEST(ImageDecoderTest, OpaqueImagesNeedNoBlending) {
  Decoded d{Decode(EncodePng({0xFF102030, 0xFF405060}, 2, 1))};
  ASSERT_NE(nullptr, d.image);
  EXPECT_FALSE(d.image->bAlpha);
  Decoded bmp{Decode(testing::EncodeBmp({0xFF102030, 0xFF405060}, 2, 1))};
  ASSERT_NE(nullptr, bmp.image);
  EXPECT_EQ(0xFF405060u, bmp.At(1, 0));
}

TEST(ImageDecoderTest, MaskColourBecomesTransparent) {
  Decoded d{Decode(EncodePng({0xFFFF00FF, 0xFF00FF00, 0xFFFF00FF, 0x80FF00FF}, 4, 1), 0xFFFF00FF)};
  ASSERT_NE(nullptr, d.image);
  EXPECT_TRUE(d.image->bAlpha);
  EXPECT_EQ(0u, d.At(0, 0));
  EXPECT_EQ(0xFF00FF00u, d.At(1, 0));
  EXPECT_EQ(0u, d.At(2, 0));
  EXPECT_EQ(0x80800080u, d.At(3, 0));  // the mask is compared after premultiplying
}

TEST(ImageDecoderTest, HostileImagesAreRefused) {
  const std::string good = EncodePng(std::vector<uint32_t>(64, 0xFF808080), 8, 8);
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"100,000 x 100,000 declared in a 1 KB file", testing::PngHeaderOnly(100000, 100000)},
      {"wider than any skin image", testing::PngHeaderOnly(20000, 1)},
      {"too many pixels", testing::PngHeaderOnly(16384, 16384)},
      {"zero width", testing::PngHeaderOnly(0, 10)},
      {"not an image", std::string(500, 'x')},
      {"cut in half", good.substr(0, good.size() / 2)},
      {"empty", ""},
  };
  for (const Case& c : cases) {
    EXPECT_LT(c.bytes.size(), 2000u) << c.what;
    EXPECT_EQ(nullptr, Decode(c.bytes)) << c.what;
  }
  EXPECT_EQ(nullptr, CUiDrawEngine::DecodeImage(nullptr, 10, 0));
}

TEST(ImageDecoderTest, HslAdjustsThePixelsThatAreDrawn) {
  Decoded d{Decode(EncodePng({0xFFFF0000}, 1, 1))};
  ASSERT_NE(nullptr, d.image);
  CUiDrawEngine::AdjustImageHsl(true, d.image, 180, 100, 50);
  EXPECT_EQ(0xFFFF0000u, d.At(0, 0)) << "not registered with HSL: untouched";
  d.image->bUseHSL = true;
  CUiDrawEngine::PrepareImageHsl(d.image);
  CUiDrawEngine::AdjustImageHsl(true, d.image, 180, 100, 50);
  EXPECT_EQ(0xFF7F0000u, d.At(0, 0));
  CUiDrawEngine::AdjustImageHsl(false, d.image, 180, 100, 50);
  EXPECT_EQ(0xFFFF0000u, d.At(0, 0)) << "back to the unadjusted copy";
}

TEST(ImageDecoderTest, FreeImageIsSafeOnPartsAndNull) {
  CUiDrawEngine::FreeImage(nullptr);
  ImageRecordUI record;
  record.hBitmap = Decode(EncodePng({0xFF000000}, 1, 1))->hBitmap;  // the leaked record holds nothing else
  CUiDrawEngine::FreeImage(&record, false);
  EXPECT_EQ(nullptr, record.hBitmap);
  EXPECT_EQ(nullptr, record.pBits);
}

TEST(ColorHslTest, AdjustmentsOfColours) {
  EXPECT_EQ(0xFF7F0000u, CUiDrawEngine::AdjustColorHsl(0xFFFF0000, 180, 100, 50));
  EXPECT_EQ(0x80123456u, CUiDrawEngine::AdjustColorHsl(0x80123456, 180, 100, 100));
  // Hue turned by 120 degrees: red becomes green; alpha is kept.
  EXPECT_EQ(0x4000FF00u, CUiDrawEngine::AdjustColorHsl(0x40FF0000, 300, 100, 100));
  // No saturation: grey of the same lightness.
  EXPECT_EQ(0xFF7F7F7Fu, CUiDrawEngine::AdjustColorHsl(0xFFFF0000, 180, 0, 100));
  EXPECT_EQ(0xFF000001u, CUiDrawEngine::NudgePureBlack(0xFF000000));
  EXPECT_EQ(0xFF000100u, CUiDrawEngine::NudgePureBlack(0xFF000100));
}

}  // namespace
}  // namespace SkinUI
