// Colour fills, gradients, lines, rectangles and bitmaps.
#include <algorithm>
#include <iterator>
#include <mutex>

#include "base/scoped_handle.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/gdiplus_include.h"

namespace SkinUI {
namespace {

using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
using GradientFillFn = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);

struct Msimg32 {
  AlphaBlendFn alpha_blend = nullptr;
  GradientFillFn gradient_fill = nullptr;
};

// msimg32 is looked up once; a system without it blends in software and
// draws gradients in bands.
const Msimg32& Msimg32Functions() {
  static const Msimg32 functions = [] {
    Msimg32 f;
    if (HMODULE module = ::LoadLibraryW(L"msimg32.dll")) {
      f.alpha_blend = reinterpret_cast<AlphaBlendFn>(reinterpret_cast<void*>(::GetProcAddress(module, "AlphaBlend")));
      f.gradient_fill = reinterpret_cast<GradientFillFn>(reinterpret_cast<void*>(::GetProcAddress(module, "GradientFill")));
    }
    if (f.alpha_blend == nullptr) f.alpha_blend = &CUiDrawEngine::SoftAlphaBlend;
    return f;
  }();
  return functions;
}

Gdiplus::Color ArgbColor(DWORD c) {
  return Gdiplus::Color(static_cast<BYTE>(c >> 24), static_cast<BYTE>(c >> 16), static_cast<BYTE>(c >> 8),
                        static_cast<BYTE>(c));
}

COLORREF ToColorRef(DWORD c) { return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

void GradientBands(HDC dc, const RECT& r, DWORD first, DWORD second, bool vertical, int steps) {
  int shift = 1;
  for (int bands = 64, s = 6; s > 1; bands >>= 1, --s) {
    if (steps >= bands) {
      shift = s;
      break;
    }
  }
  const int bands = 1 << shift;
  const int extent = vertical ? r.bottom - r.top : r.right - r.left;
  for (int i = 0; i < bands; ++i) {
    const int from = (extent * i) >> shift;
    const int to = (extent * (i + 1)) >> shift;
    if (to == from) continue;
    auto mix = [&](int bit) {
      const int a = (first >> bit) & 0xFF, b = (second >> bit) & 0xFF;
      return (i * a + (bands - i) * b) >> shift;
    };
    RECT band = r;
    if (vertical) {
      band.bottom = r.bottom - from;
      band.top = r.bottom - to;
    } else {
      band.right = r.right - from;
      band.left = r.right - to;
    }
    base::ScopedGdiObject brush(::CreateSolidBrush(RGB(mix(16), mix(8), mix(0))));
    ::FillRect(dc, &band, static_cast<HBRUSH>(brush.Get()));
  }
}

void GradientInto(HDC dc, const RECT& r, DWORD first, DWORD second, bool vertical, int steps) {
  const Msimg32& f = Msimg32Functions();
  if (f.gradient_fill == nullptr) {
    GradientBands(dc, r, first, second, vertical, steps);
    return;
  }
  TRIVERTEX v[2] = {};
  v[0].x = r.left;
  v[0].y = r.top;
  v[0].Red = static_cast<COLOR16>(((first >> 16) & 0xFF) << 8);
  v[0].Green = static_cast<COLOR16>(((first >> 8) & 0xFF) << 8);
  v[0].Blue = static_cast<COLOR16>((first & 0xFF) << 8);
  v[0].Alpha = 0xFF00;
  v[1].x = r.right;
  v[1].y = r.bottom;
  v[1].Red = static_cast<COLOR16>(((second >> 16) & 0xFF) << 8);
  v[1].Green = static_cast<COLOR16>(((second >> 8) & 0xFF) << 8);
  v[1].Blue = static_cast<COLOR16>((second & 0xFF) << 8);
  v[1].Alpha = 0xFF00;
  GRADIENT_RECT rect = {0, 1};
  f.gradient_fill(dc, v, 2, &rect, 1, vertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H);
}

// An opaque fill through GDI, many times faster than a GDI+ graphics made
// for one rectangle. The brush is a 32-bit pattern, so the alpha
// byte lands in the bitmap as GDI+ would write it: a layered window keeps
// an opaque black fill opaque.
void FillOpaque(HDC dc, const RECT& rect, DWORD color) {
  // A row of pixels rather than one: GDI copies the pattern a row at a time.
  constexpr int kWidth = 64;
  struct {
    BITMAPINFOHEADER header;
    DWORD pixels[kWidth];
  } pattern{};
  pattern.header.biSize = sizeof(BITMAPINFOHEADER);
  pattern.header.biWidth = kWidth;
  pattern.header.biHeight = 1;
  pattern.header.biPlanes = 1;
  pattern.header.biBitCount = 32;
  pattern.header.biCompression = BI_RGB;
  std::fill(std::begin(pattern.pixels), std::end(pattern.pixels), color);
  base::ScopedGdiObject brush(::CreateDIBPatternBrushPt(&pattern, DIB_RGB_COLORS));
  ::FillRect(dc, &rect, static_cast<HBRUSH>(brush.Get()));
}

}  // namespace

BOOL WINAPI CUiDrawEngine::SoftAlphaBlend(HDC dest, int dx, int dy, int dw, int dh, HDC src, int sx, int sy, int sw,
                                          int sh, BLENDFUNCTION blend) {
  if (dw <= 0 || dh <= 0) return TRUE;
  HDC src_dc = ::CreateCompatibleDC(dest);
  HDC dst_dc = ::CreateCompatibleDC(dest);
  BYTE* src_bits = nullptr;
  BYTE* dst_bits = nullptr;
  HBITMAP src_bmp = CreateArgb32Bitmap(dest, dw, dh, &src_bits);
  HBITMAP dst_bmp = CreateArgb32Bitmap(dest, dw, dh, &dst_bits);
  bool ok = src_dc != nullptr && dst_dc != nullptr && src_bmp != nullptr && dst_bmp != nullptr;
  if (ok) {
    HGDIOBJ old_src = ::SelectObject(src_dc, src_bmp);
    HGDIOBJ old_dst = ::SelectObject(dst_dc, dst_bmp);
    ::SetStretchBltMode(src_dc, COLORONCOLOR);
    ::StretchBlt(src_dc, 0, 0, dw, dh, src, sx, sy, sw, sh, SRCCOPY);
    ::BitBlt(dst_dc, 0, 0, dw, dh, dest, dx, dy, SRCCOPY);
    ::GdiFlush();
    for (int i = 0; i < dw * dh; ++i) {
      BYTE* s = src_bits + i * 4;
      BYTE* d = dst_bits + i * 4;
      const BYTE source_alpha = (blend.AlphaFormat & AC_SRC_ALPHA) ? s[3] : 255;
      double k = blend.SourceConstantAlpha * source_alpha / 255.0 / 255.0;
      if (k < 0) k = 0;
      // The source is premultiplied: its colour takes the constant alpha
      // only, or partly transparent pixels would be darkened twice.
      const double source_weight = (blend.AlphaFormat & AC_SRC_ALPHA) ? blend.SourceConstantAlpha / 255.0 : k;
      for (int c = 0; c < 3; ++c) {
        const double v = s[c] * source_weight + d[c] * (1.0 - k);
        d[c] = static_cast<BYTE>(v > 255.0 ? 255.0 : v);
      }
    }
    ::BitBlt(dest, dx, dy, dw, dh, dst_dc, 0, 0, SRCCOPY);
    ::SelectObject(src_dc, old_src);
    ::SelectObject(dst_dc, old_dst);
  }
  if (src_bmp != nullptr) ::DeleteObject(src_bmp);
  if (dst_bmp != nullptr) ::DeleteObject(dst_bmp);
  if (src_dc != nullptr) ::DeleteDC(src_dc);
  if (dst_dc != nullptr) ::DeleteDC(dst_dc);
  return ok ? TRUE : FALSE;
}

void CUiDrawEngine::FillColor(HDC dc, const RECT& rect, DWORD color) {
  if (dc == nullptr || (color >> 24) == 0) return;
  if ((color >> 24) == 0xFF && rect.right > rect.left && rect.bottom > rect.top &&
      ::GetGraphicsMode(dc) == GM_COMPATIBLE) {
    FillOpaque(dc, rect, color);
    return;
  }
  Gdiplus::Graphics graphics(dc);
  Gdiplus::SolidBrush brush(ArgbColor(color));
  graphics.FillRectangle(&brush, static_cast<INT>(rect.left), static_cast<INT>(rect.top),
                         static_cast<INT>(rect.right - rect.left), static_cast<INT>(rect.bottom - rect.top));
}

void CUiDrawEngine::DrawGradient(HDC dc, const RECT& rect, DWORD first, DWORD second, bool vertical, int steps) {
  if (dc == nullptr) return;
  const DWORD alpha = ((first >> 24) + (second >> 24)) / 2;
  if (alpha == 0) return;
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return;
  if (alpha == 255) {
    GradientInto(dc, rect, first, second, vertical, steps);
    return;
  }
  HDC mem = ::CreateCompatibleDC(dc);
  BYTE* bits = nullptr;
  HBITMAP bitmap = CreateArgb32Bitmap(dc, width, height, &bits);
  if (mem != nullptr && bitmap != nullptr) {
    HGDIOBJ old = ::SelectObject(mem, bitmap);
    GradientInto(mem, RECT{0, 0, width, height}, first, second, vertical, steps);
    // The gradient is opaque before the blend; whether GDI wrote its alpha
    // bytes is not to be relied on.
    ::GdiFlush();
    for (int i = 0; i < width * height; ++i) bits[i * 4 + 3] = 0xFF;
    const BLENDFUNCTION blend = {AC_SRC_OVER, 0, static_cast<BYTE>(alpha), AC_SRC_ALPHA};
    Msimg32Functions().alpha_blend(dc, rect.left, rect.top, width, height, mem, 0, 0, width, height, blend);
    ::SelectObject(mem, old);
  }
  if (bitmap != nullptr) ::DeleteObject(bitmap);
  if (mem != nullptr) ::DeleteDC(mem);
}

void CUiDrawEngine::DrawLine(HDC dc, const RECT& rect, int width, DWORD color, int pen_style) {
  if (dc == nullptr) return;
  base::ScopedGdiObject pen(::CreatePen(pen_style, width, ToColorRef(color)));
  HGDIOBJ old = ::SelectObject(dc, pen.Get());
  POINT previous;
  ::MoveToEx(dc, rect.left, rect.top, &previous);
  ::LineTo(dc, rect.right, rect.bottom);
  ::MoveToEx(dc, previous.x, previous.y, nullptr);
  ::SelectObject(dc, old);
}

void CUiDrawEngine::DrawRect(HDC dc, const RECT& rect, int width, DWORD color, int dash_style) {
  if (dc == nullptr) return;
  Gdiplus::Graphics graphics(dc);
  Gdiplus::Pen pen(ArgbColor(color), static_cast<Gdiplus::REAL>(width));
  pen.SetAlignment(Gdiplus::PenAlignmentInset);
  pen.SetDashStyle(static_cast<Gdiplus::DashStyle>(dash_style));
  graphics.DrawRectangle(&pen, static_cast<INT>(rect.left), static_cast<INT>(rect.top),
                         static_cast<INT>(rect.right - rect.left - 1), static_cast<INT>(rect.bottom - rect.top - 1));
}

void CUiDrawEngine::DrawRoundRect(HDC dc, const RECT& rect, int width, int round_width, int round_height,
                                  DWORD color, int dash_style) {
  if (dc == nullptr) return;
  Gdiplus::Graphics graphics(dc);
  graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
  Gdiplus::Pen pen(ArgbColor(color), static_cast<Gdiplus::REAL>(width));
  pen.SetDashStyle(static_cast<Gdiplus::DashStyle>(dash_style));
  const INT x = rect.left, y = rect.top, w = rect.right - rect.left - 1, h = rect.bottom - rect.top - 1;
  const INT r = round_width / 2, d = 2 * r;
  if (r <= 0) {
    graphics.DrawRectangle(&pen, x, y, w, h);
    return;
  }
  Gdiplus::GraphicsPath path;
  path.AddLine(x + r, y, x + w - r, y);
  path.AddArc(x + w - d, y, d, d, 270, 90);
  path.AddLine(x + w, y + r, x + w, y + h - r);
  path.AddArc(x + w - d, y + h - d, d, d, 0, 90);
  path.AddLine(x + w - r, y + h, x + r, y + h);
  path.AddArc(x, y + h - d, d, d, 90, 90);
  path.AddLine(x, y + h - r, x, y + r);
  path.AddArc(x, y, d, d, 180, 90);
  path.CloseFigure();
  graphics.DrawPath(&pen, &path);
}

HBITMAP CUiDrawEngine::CreateArgb32Bitmap(HDC dc, int width, int height, BYTE** pixels) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biSizeImage = static_cast<DWORD>(width) * static_cast<DWORD>(height < 0 ? -height : height) * 4;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (pixels != nullptr) *pixels = bitmap != nullptr ? static_cast<BYTE*>(bits) : nullptr;
  return bitmap;
}

}  // namespace SkinUI
