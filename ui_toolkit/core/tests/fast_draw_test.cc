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
