// The nine-grid image drawer, the GDI+ image drawer and image placement.
#include <algorithm>
#include <cwchar>
#include <utility>

#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/gdiplus_include.h"
#include "ui_toolkit/core/scaled_image_cache.h"

namespace SkinUI {
namespace {

using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);

AlphaBlendFn AlphaBlendFunction() {
  static const AlphaBlendFn function = [] {
    AlphaBlendFn f = nullptr;
    if (HMODULE module = ::LoadLibraryW(L"msimg32.dll")) {
      f = reinterpret_cast<AlphaBlendFn>(reinterpret_cast<void*>(::GetProcAddress(module, "AlphaBlend")));
    }
    return f != nullptr ? f : &CUiDrawEngine::SoftAlphaBlend;
  }();
  return function;
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

bool Intersects(const RECT& a, const RECT& b) {
  RECT out;
  return ::IntersectRect(&out, &a, &b) != FALSE;
}

bool IsZero(const RECT& r) { return r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0; }

// A piece is drawn when both its rectangles have a size and its destination
// touches the paint rectangle.
bool PieceDrawn(const RECT& d, const RECT& s, const RECT& paint) {
  return Width(d) > 0 && Height(d) > 0 && Width(s) > 0 && Height(s) > 0 && Intersects(d, paint);
}

class PieceDrawer {
 public:
  PieceDrawer(HDC dc, HDC source, const RECT& paint, bool blended, BYTE fade)
      : dc_(dc), source_(source), paint_(paint), blended_(blended), blend_{AC_SRC_OVER, 0, fade, AC_SRC_ALPHA} {}

  // Draws source piece |s| onto |d|.
  void operator()(const RECT& d, const RECT& s) const {
    if (!PieceDrawn(d, s, paint_)) return;
    if (blended_) {
      AlphaBlendFunction()(dc_, d.left, d.top, Width(d), Height(d), source_, s.left, s.top, Width(s), Height(s),
                           blend_);
    } else if (Width(d) == Width(s) && Height(d) == Height(s)) {
      ::BitBlt(dc_, d.left, d.top, Width(d), Height(d), source_, s.left, s.top, SRCCOPY);
    } else {
      ::StretchBlt(dc_, d.left, d.top, Width(d), Height(d), source_, s.left, s.top, Width(s), Height(s), SRCCOPY);
    }
  }

 private:
  HDC dc_;
  HDC source_;
  RECT paint_;
  bool blended_;
  BLENDFUNCTION blend_;
};

template <typename Piece>
void ForEachMiddlePiece(const Piece& piece, const RECT& m, const RECT& sm, bool x_tiled, bool y_tiled) {
  const int sw = Width(sm), sh = Height(sm);
  // A source middle without extent cannot be tiled: it is stretched (to nothing).
  if (x_tiled && sw <= 0) x_tiled = false;
  if (y_tiled && sh <= 0) y_tiled = false;
  if (!x_tiled && !y_tiled) {
    piece(m, sm);
  } else if (x_tiled && y_tiled) {
    for (int y = m.top; y < m.bottom; y += sh) {
      const int h = std::min(sh, static_cast<int>(m.bottom) - y);
      for (int x = m.left; x < m.right; x += sw) {
        const int w = std::min(sw, static_cast<int>(m.right) - x);
        piece(RECT{x, y, x + w, y + h}, RECT{sm.left, sm.top, sm.left + w, sm.top + h});
      }
    }
  } else if (x_tiled) {
    for (int x = m.left; x < m.right; x += sw) {
      const int w = std::min(sw, static_cast<int>(m.right) - x);
      piece(RECT{x, m.top, x + w, m.bottom}, RECT{sm.left, sm.top, sm.left + w, sm.bottom});
    }
  } else {
    for (int y = m.top; y < m.bottom; y += sh) {
      const int h = std::min(sh, static_cast<int>(m.bottom) - y);
      piece(RECT{m.left, y, m.right, y + h}, RECT{sm.left, sm.top, sm.right, sm.top + h});
    }
  }
}

// Hands every piece of the nine-grid to |piece|, in drawing order: the middle
// (unless a hole, or away from |paint|), then the corners and edges.
template <typename Piece>
void ForEachPiece(const Piece& piece, const RECT& d, const RECT& s, const RECT& c, const RECT& paint, bool hole,
                  bool x_tiled, bool y_tiled) {
  if (!hole) {
    const RECT m{d.left + c.left, d.top + c.top, d.right - c.right, d.bottom - c.bottom};
    const RECT sm{s.left + c.left, s.top + c.top, s.right - c.right, s.bottom - c.bottom};
    if (Width(m) > 0 && Height(m) > 0 && Intersects(m, paint)) ForEachMiddlePiece(piece, m, sm, x_tiled, y_tiled);
  }
  // Borders: corners 1:1, edges stretched along their length.
  piece(RECT{d.left, d.top, d.left + c.left, d.top + c.top}, RECT{s.left, s.top, s.left + c.left, s.top + c.top});
  piece(RECT{d.left + c.left, d.top, d.right - c.right, d.top + c.top},
        RECT{s.left + c.left, s.top, s.right - c.right, s.top + c.top});
  piece(RECT{d.right - c.right, d.top, d.right, d.top + c.top}, RECT{s.right - c.right, s.top, s.right, s.top + c.top});
  piece(RECT{d.left, d.top + c.top, d.left + c.left, d.bottom - c.bottom},
        RECT{s.left, s.top + c.top, s.left + c.left, s.bottom - c.bottom});
  piece(RECT{d.right - c.right, d.top + c.top, d.right, d.bottom - c.bottom},
        RECT{s.right - c.right, s.top + c.top, s.right, s.bottom - c.bottom});
  piece(RECT{d.left, d.bottom - c.bottom, d.left + c.left, d.bottom},
        RECT{s.left, s.bottom - c.bottom, s.left + c.left, s.bottom});
  piece(RECT{d.left + c.left, d.bottom - c.bottom, d.right - c.right, d.bottom},
        RECT{s.left + c.left, s.bottom - c.bottom, s.right - c.right, s.bottom});
  piece(RECT{d.right - c.right, d.bottom - c.bottom, d.right, d.bottom},
        RECT{s.right - c.right, s.bottom - c.bottom, s.right, s.bottom});
}

// Sets a DC up for the nine-grid drawer and puts it back afterwards.
class StretchSetup {
 public:
  explicit StretchSetup(HDC dc) : dc_(dc), old_mode_(::SetStretchBltMode(dc, HALFTONE)) {
    ::SetBrushOrgEx(dc_, 0, 0, &old_origin_);
  }
  ~StretchSetup() {
    ::SetBrushOrgEx(dc_, old_origin_.x, old_origin_.y, nullptr);
    ::SetStretchBltMode(dc_, old_mode_);
  }

 private:
  HDC dc_;
  int old_mode_;
  POINT old_origin_{};
};

// A memory DC with a bitmap selected for the life of the scope.
class SelectedBitmap {
 public:
  SelectedBitmap(HDC reference, HBITMAP bitmap) : dc_(::CreateCompatibleDC(reference)) {
    if (dc_ != nullptr) old_ = ::SelectObject(dc_, bitmap);
  }
  ~SelectedBitmap() {
    if (dc_ == nullptr) return;
    ::SelectObject(dc_, old_);
    ::DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }

 private:
  HDC dc_;
  HGDIOBJ old_ = nullptr;
};

// Whether a nine-grid drawing may be kept and copied later with the very
// pixels a direct drawing gives: the pieces must not overlap (a copy cannot
// redo a blend over the piece beneath), and something must be stretched, or
// there is nothing to save. Tiled middles are copies already.
bool WorthKeeping(const RECT& dest, const RECT& source, const RECT& c, bool x_tiled, bool y_tiled) {
  const int w = Width(dest), h = Height(dest);
  if (w <= 0 || h <= 0 || x_tiled || y_tiled) return false;
  if (static_cast<long long>(w) * h > CScaledImageCacheUI::kMaxPixels) return false;
  if (c.left < 0 || c.top < 0 || c.right < 0 || c.bottom < 0) return false;
  if (w < c.left + c.right || h < c.top + c.bottom) return false;
  return w != Width(source) || h != Height(source);
}

// Draws the whole nine-grid of |key| into a new bitmap of its size, the way
// the direct drawer draws it onto a window: blended pieces over transparent
// black, which a blend of its own then puts down unchanged.
base::ScopedGdiObject MakeScaled(HDC reference, HBITMAP image, const CScaledImageCacheUI::Key& key) {
  base::ScopedGdiObject bitmap(CUiDrawEngine::CreateArgb32Bitmap(reference, key.size.cx, -key.size.cy, nullptr));
  if (!bitmap.IsValid()) return bitmap;
  SelectedBitmap target(reference, static_cast<HBITMAP>(bitmap.Get()));
  SelectedBitmap source(reference, image);
  if (target.dc() == nullptr || source.dc() == nullptr) return base::ScopedGdiObject();
  const RECT whole{0, 0, key.size.cx, key.size.cy};
  StretchSetup setup(target.dc());
  const PieceDrawer piece(target.dc(), source.dc(), whole, key.blended, 255);
  ForEachPiece(piece, whole, key.source, key.corners, whole, key.hole, false, false);
  return bitmap;
}

}  // namespace

void CUiDrawEngine::DrawImage(HDC dc, HBITMAP bitmap, const RECT& dest, const RECT& paint, const RECT& source,
                              const RECT& corners, bool alpha, BYTE fade, bool hole, bool x_tiled, bool y_tiled) {
  if (dc == nullptr || bitmap == nullptr) return;
  SelectedBitmap mem(dc, bitmap);
  if (mem.dc() == nullptr) return;
  StretchSetup setup(dc);
  const RECT& d = dest;
  const RECT& s = source;
  const bool blended = alpha || fade < 255;
  if (!blended && Width(d) == Width(s) && Height(d) == Height(s) && IsZero(corners)) {
    RECT part;
    if (::IntersectRect(&part, &paint, &d)) {
      ::BitBlt(dc, part.left, part.top, Width(part), Height(part), mem.dc(), s.left + part.left - d.left,
               s.top + part.top - d.top, SRCCOPY);
    }
    return;
  }
  const PieceDrawer piece(dc, mem.dc(), paint, blended, fade);
  ForEachPiece(piece, d, s, corners, paint, hole, x_tiled, y_tiled);
}

void CUiDrawEngine::DrawImage(HDC dc, ImageRecordUI* image, const RECT& dest, const RECT& paint, const RECT& source,
                              const RECT& corners, bool alpha, BYTE fade, bool hole, bool x_tiled, bool y_tiled) {
  if (dc == nullptr || image == nullptr || image->hBitmap == nullptr) return;
  const bool blended = alpha || fade < 255;
  if (!WorthKeeping(dest, source, corners, x_tiled, y_tiled)) {
    DrawImage(dc, image->hBitmap, dest, paint, source, corners, alpha, fade, hole, x_tiled, y_tiled);
    return;
  }
  if (image->pScaled == nullptr) image->pScaled = new CScaledImageCacheUI;
  const CScaledImageCacheUI::Key key{source, corners, SIZE{Width(dest), Height(dest)}, blended, hole, false, false};
  HBITMAP scaled = image->pScaled->Find(key);
  if (scaled == nullptr) {
    base::ScopedGdiObject made = MakeScaled(dc, image->hBitmap, key);
    scaled = static_cast<HBITMAP>(made.Get());
    image->pScaled->Add(key, std::move(made));
  }
  if (scaled == nullptr) {
    DrawImage(dc, image->hBitmap, dest, paint, source, corners, alpha, fade, hole, x_tiled, y_tiled);
    return;
  }
  SelectedBitmap mem(dc, scaled);
  if (mem.dc() == nullptr) return;
  // The pieces the direct drawer would draw, copied from the kept drawing;
  // when that is every piece with an area, one copy of the whole does it.
  int drawn = 0;
  int with_area = 0;
  const auto count = [&](const RECT& d, const RECT& s) {
    if (Width(d) > 0 && Height(d) > 0) ++with_area;
    if (PieceDrawn(d, s, paint)) ++drawn;
  };
  ForEachPiece(count, dest, source, corners, dest, hole, false, false);
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, fade, AC_SRC_ALPHA};
  const auto copy = [&](const RECT& d, const RECT& s) {
    if (!PieceDrawn(d, s, paint)) return;
    const int sx = d.left - dest.left, sy = d.top - dest.top;
    if (blended) {
      AlphaBlendFunction()(dc, d.left, d.top, Width(d), Height(d), mem.dc(), sx, sy, Width(d), Height(d), blend);
    } else {
      ::BitBlt(dc, d.left, d.top, Width(d), Height(d), mem.dc(), sx, sy, SRCCOPY);
    }
  };
  if (drawn == with_area && !hole) {
    copy(dest, dest);
  } else {
    ForEachPiece(copy, dest, source, corners, paint, hole, false, false);
  }
}

void CUiDrawEngine::DrawImageGdiplus(HDC dc, Gdiplus::Image* image, const RECT& dest, const RECT& paint,
                                     const RECT& source, bool alpha, BYTE fade, DWORD rotation) {
  if (dc == nullptr || image == nullptr || !Intersects(dest, paint)) return;
  Gdiplus::Graphics graphics(dc);
  graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
  Gdiplus::ImageAttributes attributes;
  if (fade != 255) {
    Gdiplus::ColorMatrix matrix = {{{1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, 0, 1, 0, 0},
                                    {0, 0, 0, static_cast<Gdiplus::REAL>(fade) / 255.0f, 0}, {0, 0, 0, 0, 1}}};
    attributes.SetColorMatrix(&matrix, Gdiplus::ColorMatrixFlagsDefault, Gdiplus::ColorAdjustTypeBitmap);
  }
  if (rotation != 0) {
    const Gdiplus::REAL cx = static_cast<Gdiplus::REAL>(dest.left + Width(dest) / 2);
    const Gdiplus::REAL cy = static_cast<Gdiplus::REAL>(dest.top + Height(dest) / 2);
    graphics.TranslateTransform(cx, cy);
    graphics.RotateTransform(static_cast<Gdiplus::REAL>(rotation));
    graphics.TranslateTransform(-cx, -cy);
  }
  graphics.DrawImage(image, Gdiplus::Rect(dest.left, dest.top, Width(dest), Height(dest)), source.left, source.top,
                     Width(source), Height(source), Gdiplus::UnitPixel, &attributes);
  graphics.ResetTransform();
}

RECT CUiDrawEngine::PlaceImageRect(const RECT& item, const RECT& dest, SIZE size, const RECT& padding,
                                   const wchar_t* align) {
  RECT r = dest;
  const wchar_t* words = align != nullptr ? align : L"";
  if (std::wcsstr(words, L"left") != nullptr) {
    r.left = item.left;
    r.right = r.left + size.cx;
  } else if (std::wcsstr(words, L"hcenter") != nullptr) {
    r.left = item.left + (item.right - size.cx - item.left) / 2;
    r.right = r.left + size.cx;
  } else if (std::wcsstr(words, L"right") != nullptr) {
    r.left = item.right - size.cx;
    r.right = r.left + size.cx;
  }
  if (std::wcsstr(words, L"top") != nullptr) {
    r.top = item.top;
    r.bottom = r.top + size.cy;
  } else if (std::wcsstr(words, L"vcenter") != nullptr) {
    r.top = item.top + (item.bottom - item.top - size.cy) / 2;
    r.bottom = r.top + size.cy;
  } else if (std::wcsstr(words, L"bottom") != nullptr) {
    r.top = item.bottom - size.cy;
    r.bottom = r.top + size.cy;
  }
  ::OffsetRect(&r, padding.left - padding.right, padding.top - padding.bottom);
  if (r.right > item.right) r.right = item.right;
  if (r.bottom > item.bottom) r.bottom = item.bottom;
  return r;
}

}  // namespace SkinUI
