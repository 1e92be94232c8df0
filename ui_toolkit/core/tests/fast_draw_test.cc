// The quick paths of the drawer give the very pixels of the plain ones: an
// opaque fill through GDI against a GDI+ fill, a kept stretched image against
// one stretched on every paint; and batched invalidations repaint all that
// the single ones would.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "ui_toolkit/core/container.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/gdiplus_include.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/tests/image_bytes.h"
#include "ui_toolkit/core/tests/skin_window.h"

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

// A 32-bit top-down memory bitmap whose pixels differ from each other, alpha
// included, so that a wrong blend or an offset piece shows.
class Canvas {
 public:
  // |origin| is where the pattern's first pixel lies, so that a larger canvas
  // can hold the pattern of a smaller one inside it.
  Canvas(int width, int height, POINT origin = {}) : width_(width), height_(height) {
    dc_ = ::CreateCompatibleDC(nullptr);
    bitmap_ = CUiDrawEngine::CreateArgb32Bitmap(dc_, width, -height, &bits_);
    old_ = ::SelectObject(dc_, bitmap_);
    for (int row = 0; row < height; ++row) {
      for (int column = 0; column < width; ++column) {
        const int x = column - origin.x + 64, y = row - origin.y + 64;
        const uint32_t a = 0x40 + (x * 7 + y * 3) % 0xC0;
        const uint32_t p = (a << 24) | ((x * 9 % a) << 16) | ((y * 13 % a) << 8) | ((x + y) % a);
        std::memcpy(bits_ + (static_cast<size_t>(row) * width + column) * 4, &p, 4);
      }
    }
  }
  ~Canvas() {
    ::SelectObject(dc_, old_);
    ::DeleteObject(bitmap_);
    ::DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  std::vector<uint32_t> Pixels() const {
    ::GdiFlush();
    std::vector<uint32_t> out(static_cast<size_t>(width_) * height_);
    std::memcpy(out.data(), bits_, out.size() * 4);
    return out;
  }

 private:
  int width_, height_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
  BYTE* bits_ = nullptr;
};

// Where two pictures first differ, for the failure message.
std::string FirstDifference(const std::vector<uint32_t>& want, const std::vector<uint32_t>& got, int width) {
  for (size_t i = 0; i < want.size(); ++i) {
    if (want[i] == got[i]) continue;
    char text[96];
    std::snprintf(text, sizeof text, "at %d,%d want %08X got %08X", static_cast<int>(i % width),
                  static_cast<int>(i / width), want[i], got[i]);
    return text;
  }
  return "";
}

// How the DC is set up before a drawing.
enum class Clip { kNone, kRect, kRound };

HRGN ClipRegion(Clip clip) {
  if (clip == Clip::kRect) return ::CreateRectRgn(5, 3, 37, 29);
  if (clip == Clip::kRound) return ::CreateRoundRectRgn(2, 2, 40, 30, 12, 12);
  return nullptr;
}

void Prepare(HDC dc, Clip clip, POINT origin) {
  if (HRGN rgn = ClipRegion(clip)) {
    ::SelectClipRgn(dc, rgn);
    ::DeleteObject(rgn);
  }
  ::SetWindowOrgEx(dc, origin.x, origin.y, nullptr);
}

TEST(FastDrawTest, OpaqueFillsMatchTheGdiplusFill) {
  struct Case {
    RECT rect;
    DWORD color;
    Clip clip;
    POINT origin;
  } cases[] = {
      {{4, 4, 30, 20}, 0xFF336699, Clip::kNone, {}},
      {{0, 0, 48, 36}, 0xFF000000, Clip::kNone, {}},  // opaque black stays opaque
      {{10, 10, 11, 11}, 0xFFFFFFFF, Clip::kNone, {}},
      {{-8, -5, 20, 50}, 0xFF102030, Clip::kNone, {}},  // partly off the bitmap
      {{0, 0, 48, 36}, 0xFFF0F0F0, Clip::kRect, {}},
      {{3, 1, 45, 33}, 0xFF20A040, Clip::kRound, {}},
      {{10, 8, 40, 30}, 0xFF804020, Clip::kNone, {6, -4}},
      {{10, 8, 40, 30}, 0xFF804020, Clip::kRect, {-3, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(&c - cases));
    Canvas want(48, 36), got(48, 36);
    Prepare(want.dc(), c.clip, c.origin);
    Prepare(got.dc(), c.clip, c.origin);
    {
      Gdiplus::Graphics graphics(want.dc());
      Gdiplus::SolidBrush brush(Gdiplus::Color(static_cast<BYTE>(c.color >> 24), static_cast<BYTE>(c.color >> 16),
                                               static_cast<BYTE>(c.color >> 8), static_cast<BYTE>(c.color)));
      graphics.FillRectangle(&brush, static_cast<INT>(c.rect.left), static_cast<INT>(c.rect.top),
                             static_cast<INT>(c.rect.right - c.rect.left),
                             static_cast<INT>(c.rect.bottom - c.rect.top));
    }
    CUiDrawEngine::FillColor(got.dc(), c.rect, c.color);
    EXPECT_EQ("", FirstDifference(want.Pixels(), got.Pixels(), 48));
  }
}

struct LoadedImage {
  explicit LoadedImage(const std::vector<uint32_t>& argb, int width, int height) {
    const std::string png = testing::EncodePng(argb, width, height);
    record = CUiDrawEngine::DecodeImage(reinterpret_cast<const BYTE*>(png.data()), png.size(), 0);
  }
  ~LoadedImage() { CUiDrawEngine::FreeImage(record); }
  ImageRecordUI* record;
};

// A 12 x 10 image with no two neighbours alike; translucent when asked.
std::vector<uint32_t> Busy(bool translucent) {
  std::vector<uint32_t> px(12 * 10);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 12; ++x) {
      const uint32_t a = translucent ? 0x20 + (x * 37 + y * 53) % 0xE0 : 0xFF;
      px[y * 12 + x] = (a << 24) | ((x * 23 % 256) << 16) | ((y * 29 % 256) << 8) | ((x * y * 7 + 40) % 256);
    }
  }
  return px;
}

struct NineGridCase {
  const char* name;
  bool translucent;
  RECT dest;
  RECT paint;
  RECT source;
  RECT corners;
  BYTE fade;
  bool hole;
  Clip clip;
};

void PrintTo(const NineGridCase& c, std::ostream* out) { *out << c.name; }

RECT Moved(RECT rc, int by) {
  ::OffsetRect(&rc, by, by);
  return rc;
}

// The direct drawer's picture of the whole image, cut by the case's clip.
// Wine's stretches are not quite the same when the destination is cut (by a
// clip region or the bitmap's edge), so the picture is drawn uncut on a
// larger canvas that holds the same background, and cut afterwards.
std::vector<uint32_t> UncutDrawing(const NineGridCase& c, ImageRecordUI* image) {
  constexpr int kMargin = 24;
  constexpr int kWidth = 48 + 2 * kMargin;
  Canvas large(kWidth, 36 + 2 * kMargin, POINT{kMargin, kMargin});
  CUiDrawEngine::DrawImage(large.dc(), image->hBitmap, Moved(c.dest, kMargin), Moved(c.paint, kMargin), c.source,
                           c.corners, image->bAlpha, c.fade, c.hole);
  const std::vector<uint32_t> drawn = large.Pixels();
  std::vector<uint32_t> out = Canvas(48, 36).Pixels();
  HRGN clip = ClipRegion(c.clip);
  for (int y = 0; y < 36; ++y) {
    for (int x = 0; x < 48; ++x) {
      if (clip != nullptr && !::PtInRegion(clip, x, y)) continue;
      out[y * 48 + x] = drawn[(y + kMargin) * kWidth + x + kMargin];
    }
  }
  if (clip != nullptr) ::DeleteObject(clip);
  return out;
}

class KeptImageTest : public ::testing::TestWithParam<NineGridCase> {};

TEST_P(KeptImageTest, DrawsWhatTheDirectDrawerDrawsUncut) {
  const NineGridCase& c = GetParam();
  LoadedImage image(Busy(c.translucent), 12, 10);
  ASSERT_NE(nullptr, image.record);
  const std::vector<uint32_t> want = UncutDrawing(c, image.record);
  // The first drawing makes the kept copy, the second one uses it.
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    Canvas got(48, 36);
    Prepare(got.dc(), c.clip, POINT{});
    CUiDrawEngine::DrawImage(got.dc(), image.record, c.dest, c.paint, c.source, c.corners, image.record->bAlpha, c.fade,
                             c.hole);
    EXPECT_EQ("", FirstDifference(want, got.Pixels(), 48));
  }
}

constexpr RECT kAll{0, 0, 48, 36};
constexpr RECT kWhole{0, 0, 12, 10};
constexpr RECT kDest{3, 5, 43, 31};
constexpr RECT kTwo{2, 2, 2, 2};
constexpr bool kOpaque = false;
constexpr bool kTranslucent = true;
constexpr bool kHole = true;

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, KeptImageTest,
    ::testing::Values(
        NineGridCase{"StretchedWithBorders", kOpaque, kDest, kAll, kWhole, kTwo, 255, false, Clip::kNone},
        NineGridCase{"StretchedWithoutBorders", kOpaque, kDest, kAll, kWhole, {}, 255, false, Clip::kNone},
        NineGridCase{"NarrowerThanTheImage", kOpaque, {1, 2, 8, 30}, kAll, kWhole, {1, 3, 2, 0}, 255, false,
                     Clip::kNone},
        NineGridCase{"PaintCutsThroughTheMiddle", kOpaque, kDest, {10, 0, 20, 12}, kWhole, kTwo, 255, false,
                     Clip::kNone},
        NineGridCase{"PaintTouchesOneCorner", kOpaque, kDest, {0, 0, 4, 6}, kWhole, kTwo, 255, false, Clip::kNone},
        NineGridCase{"Hole", kOpaque, kDest, kAll, kWhole, kTwo, 255, kHole, Clip::kNone},
        NineGridCase{"PartOfTheImageInARoundClip", kOpaque, kDest, kAll, {2, 1, 10, 9}, {3, 2, 1, 2}, 255, false,
                     Clip::kRound},
        NineGridCase{"Faded", kOpaque, kDest, kAll, kWhole, kTwo, 128, false, Clip::kNone},
        NineGridCase{"PartlyOffTheBitmapAndClipped", kOpaque, {-6, -3, 30, 40}, kAll, kWhole, {4, 4, 4, 4}, 255,
                     false, Clip::kRect},
        NineGridCase{"TranslucentStretched", kTranslucent, kDest, kAll, kWhole, kTwo, 255, false, Clip::kNone},
        NineGridCase{"TranslucentFadedWithoutBorders", kTranslucent, kDest, kAll, kWhole, {}, 200, false,
                     Clip::kNone},
        NineGridCase{"TranslucentNarrowPaintBand", kTranslucent, {2, 3, 9, 33}, {0, 10, 48, 20}, kWhole,
                     {3, 3, 3, 3}, 255, false, Clip::kNone},
        NineGridCase{"TranslucentFadedHoleInARoundClip", kTranslucent, kDest, kAll, kWhole, kTwo, 90, kHole,
                     Clip::kRound},
        NineGridCase{"TranslucentPartOfTheImageClipped", kTranslucent, kDest, kAll, {1, 1, 11, 9}, kTwo, 255, false,
                     Clip::kRect},
        // Not kept: the same size as the source, or smaller than its borders.
        NineGridCase{"SameSizeAsTheImage", kOpaque, {5, 5, 17, 15}, kAll, kWhole, kTwo, 255, false, Clip::kNone},
        NineGridCase{"SmallerThanItsBorders", kTranslucent, {5, 5, 9, 8}, kAll, kWhole, {3, 3, 3, 3}, 255, false,
                     Clip::kNone},
        // A source middle of no width: the middle and the edges along it are left out.
        NineGridCase{"SourceMiddleOfNoWidth", kOpaque, kDest, kAll, {0, 0, 4, 10}, kTwo, 255, false, Clip::kNone}),
    [](const ::testing::TestParamInfo<NineGridCase>& info) { return std::string(info.param.name); });
// clang-format on

TEST(KeptImageSizesTest, EverySizeDrawsRightWhenOlderOnesAreDropped) {
  LoadedImage image(Busy(false), 12, 10);
  ASSERT_NE(nullptr, image.record);
  for (int round = 0; round < 2; ++round) {
    for (int w = 14; w < 14 + 8 * 3; w += 3) {
      SCOPED_TRACE(w);
      const RECT dest{1, 1, 1 + w, 30};
      Canvas want(48, 36), got(48, 36);
      CUiDrawEngine::DrawImage(want.dc(), image.record->hBitmap, dest, kAll, kWhole, RECT{2, 2, 2, 2}, false);
      CUiDrawEngine::DrawImage(got.dc(), image.record, dest, kAll, kWhole, RECT{2, 2, 2, 2}, false);
      ASSERT_EQ("", FirstDifference(want.Pixels(), got.Pixels(), 48));
    }
  }
}

TEST(KeptImageSizesTest, NewColoursOfAnImageAreNotHiddenByAnOldStretch) {
  LoadedImage image(Busy(false), 12, 10);
  ASSERT_NE(nullptr, image.record);
  image.record->bUseHSL = true;
  CUiDrawEngine::PrepareImageHsl(image.record);
  const RECT dest{2, 2, 40, 30};
  Canvas before(48, 36);
  CUiDrawEngine::DrawImage(before.dc(), image.record, dest, kAll, kWhole, RECT{2, 2, 2, 2}, false);
  CUiDrawEngine::AdjustImageHsl(true, image.record, 60, 100, 100);
  Canvas want(48, 36), got(48, 36);
  CUiDrawEngine::DrawImage(want.dc(), image.record->hBitmap, dest, kAll, kWhole, RECT{2, 2, 2, 2}, false);
  CUiDrawEngine::DrawImage(got.dc(), image.record, dest, kAll, kWhole, RECT{2, 2, 2, 2}, false);
  EXPECT_NE("", FirstDifference(before.Pixels(), want.Pixels(), 48)) << "the hue change shows";
  EXPECT_EQ("", FirstDifference(want.Pixels(), got.Pixels(), 48));
}

using testing::SkinWindow;

RECT UpdateRect(HWND hwnd) {
  RECT rc{};
  ::GetUpdateRect(hwnd, &rc, FALSE);
  return rc;
}

TEST(InvalidateBatchTest, ReachesTheWindowOnceAsTheUnionWhenTheOutermostBatchCloses) {
  SkinWindow w(L"<Window size=\"200,150\"><VerticalLayout bkcolor=\"#FFFFFFFF\"/></Window>");
  ASSERT_TRUE(w.Open());
  w.Paint();
  ASSERT_TRUE(::IsRectEmpty(&static_cast<const RECT&>(UpdateRect(w.Hwnd()))));
  CPaintManagerUI& pm = w.GetPaintManager();
  {
    CPaintManagerUI::InvalidateBatch outer(&pm);
    pm.InvalidateRect(RECT{10, 10, 20, 20});
    {
      CPaintManagerUI::InvalidateBatch inner(&pm);
      pm.InvalidateRect(RECT{50, 40, 60, 70});
    }
    const RECT held = UpdateRect(w.Hwnd());
    EXPECT_TRUE(::IsRectEmpty(&held)) << "nothing reaches the window while a batch is open";
  }
  const RECT want{10, 10, 60, 70};
  const RECT got = UpdateRect(w.Hwnd());
  EXPECT_TRUE(::EqualRect(&want, &got)) << got.left << "," << got.top << "," << got.right << "," << got.bottom;
}

TEST(InvalidateBatchTest, APageDownRepaintsWhatAFullRepaintPaints) {
  std::wstring skin =
      L"<Window size=\"300,200\"><VerticalLayout name=\"list\" vscrollbar=\"true\" bkcolor=\"#FFFFFFFF\">";
  for (int i = 0; i < 200; ++i) {
    skin += L"<Label height=\"20\" text=\"row " + std::to_wstring(i) + L"\" bkcolor=\"" +
            (i % 2 == 0 ? L"#FFF0F0F0" : L"#FFC0D0E0") + L"\" textcolor=\"#FF202020\"/>";
  }
  skin += L"</VerticalLayout></Window>";
  SkinWindow w(skin);
  ASSERT_TRUE(w.Open());
  auto* list = static_cast<CContainerUI*>(w.Find(L"list"));
  ASSERT_NE(nullptr, list);
  for (int page = 0; page < 3; ++page) {
    SCOPED_TRACE(page);
    list->PageDown();
    int width = 0, height = 0;
    const std::vector<uint32_t> scrolled = w.Pixels(&width, &height);
    w.GetPaintManager().InvalidateAll();
    const std::vector<uint32_t> full = w.Pixels(&width, &height);
    ASSERT_FALSE(full.empty());
    EXPECT_EQ("", FirstDifference(full, scrolled, width));
  }
  EXPECT_EQ(600, list->GetScrollPos().cy);
}

}  // namespace
}  // namespace SkinUI
