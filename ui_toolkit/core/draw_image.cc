// The nine-grid image drawer, the GDI+ image drawer and image placement.
#include <cwchar>

#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/gdiplus_include.h"

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

class PieceDrawer {
 public:
  PieceDrawer(HDC dc, HDC source, const RECT& paint, bool blended, BYTE fade)
      : dc_(dc), source_(source), paint_(paint), blended_(blended), blend_{AC_SRC_OVER, 0, fade, AC_SRC_ALPHA} {}

  // Draws source piece |s| onto |d| when both have a size and |d| touches the paint rectangle.
  void operator()(const RECT& d, const RECT& s) const {
    if (Width(d) <= 0 || Height(d) <= 0 || Width(s) <= 0 || Height(s) <= 0 || !Intersects(d, paint_)) return;
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

void DrawMiddle(const PieceDrawer& piece, const RECT& m, const RECT& sm, bool x_tiled, bool y_tiled) {
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

}  // namespace

void CUiDrawEngine::DrawImage(HDC dc, HBITMAP bitmap, const RECT& dest, const RECT& paint, const RECT& source,
                              const RECT& corners, bool alpha, BYTE fade, bool hole, bool x_tiled, bool y_tiled) {
  if (dc == nullptr || bitmap == nullptr) return;
  HDC mem = ::CreateCompatibleDC(dc);
  if (mem == nullptr) return;
  HGDIOBJ old_bitmap = ::SelectObject(mem, bitmap);
  const int old_mode = ::SetStretchBltMode(dc, HALFTONE);
  POINT old_origin;
  ::SetBrushOrgEx(dc, 0, 0, &old_origin);

  const RECT& d = dest;
  const RECT& s = source;
  const RECT& c = corners;
  const bool blended = alpha || fade < 255;
  const PieceDrawer piece(dc, mem, paint, blended, fade);

  if (!blended && Width(d) == Width(s) && Height(d) == Height(s) && c.left == 0 && c.top == 0 && c.right == 0 &&
      c.bottom == 0) {
    RECT part;
    if (::IntersectRect(&part, &paint, &d)) {
      ::BitBlt(dc, part.left, part.top, Width(part), Height(part), mem, s.left + part.left - d.left,
               s.top + part.top - d.top, SRCCOPY);
    }
  } else {
    if (!hole) {
      const RECT m{d.left + c.left, d.top + c.top, d.right - c.right, d.bottom - c.bottom};
      const RECT sm{s.left + c.left, s.top + c.top, s.right - c.right, s.bottom - c.bottom};
      if (Width(m) > 0 && Height(m) > 0 && Intersects(m, paint)) DrawMiddle(piece, m, sm, x_tiled, y_tiled);
    }
    // Borders: corners 1:1, edges stretched along their length.
    piece(RECT{d.left, d.top, d.left + c.left, d.top + c.top}, RECT{s.left, s.top, s.left + c.left, s.top + c.top});
    piece(RECT{d.left + c.left, d.top, d.right - c.right, d.top + c.top},
          RECT{s.left + c.left, s.top, s.right - c.right, s.top + c.top});
    piece(RECT{d.right - c.right, d.top, d.right, d.top + c.top},
          RECT{s.right - c.right, s.top, s.right, s.top + c.top});
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

  ::SetBrushOrgEx(dc, old_origin.x, old_origin.y, nullptr);
  ::SetStretchBltMode(dc, old_mode);
  ::SelectObject(mem, old_bitmap);
  ::DeleteDC(mem);
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
