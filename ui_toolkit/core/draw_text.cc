// Single-format text (GDI, or GDI+ in layered windows) and measuring.
#include <cwchar>
#include <cwctype>
#include <memory>
#include <string>

#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/gdiplus_include.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

COLORREF ToColorRef(DWORD c) { return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

// "&#xE001;" draws the one code unit it names (a glyph of an icon font).
bool GlyphReference(const wchar_t* text, wchar_t* glyph) {
  const wchar_t* at = std::wcsstr(text, L"&#x");
  if (at == nullptr) return false;
  std::wstring code(at + 3, std::min<size_t>(4, std::wcslen(at + 3)));
  if (!code.empty() && code.back() == L' ') code.pop_back();
  if (!code.empty() && code.back() == L';') code.pop_back();
  *glyph = static_cast<wchar_t>(std::wcstoul(code.c_str(), nullptr, 16));
  return true;
}

}  // namespace

void CUiDrawEngine::DrawText(HDC dc, CPaintManagerUI* manager, RECT& rect, const wchar_t* text, DWORD color,
                             int font, UINT style) {
  if (dc == nullptr || manager == nullptr || text == nullptr) return;
  if (manager->IsLayered() || manager->IsGdiplusText()) {
    DrawTextGdiplus(dc, manager, rect, text, color, font, style);
    return;
  }
  const int old_mode = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF old_color = ::SetTextColor(dc, ToColorRef(color));
  HGDIOBJ old_font = ::SelectObject(dc, manager->GetFontById(font));
  wchar_t glyph = 0;
  if (GlyphReference(text, &glyph)) {
    ::DrawTextW(dc, &glyph, 1, &rect, style);
  } else {
    ::DrawTextW(dc, text, -1, &rect, style);
  }
  ::SelectObject(dc, old_font);
  ::SetTextColor(dc, old_color);
  ::SetBkMode(dc, old_mode);
}

void CUiDrawEngine::DrawTextGdiplus(HDC dc, CPaintManagerUI* manager, RECT& rect, const wchar_t* text, DWORD color,
                                    int font, UINT style) {
  if (dc == nullptr || manager == nullptr || text == nullptr) return;
  Gdiplus::Graphics graphics(dc);
  Gdiplus::Font gdiplus_font(dc, manager->GetFontById(font));
  const int hint = manager->GetTextRenderingHint();
  graphics.SetTextRenderingHint(hint >= 1 && hint <= 5 ? static_cast<Gdiplus::TextRenderingHint>(hint)
                                                       : Gdiplus::TextRenderingHintSystemDefault);
  graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
  graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
  // Alpha 0xFE: fully opaque text would read as a hole in a layered window.
  Gdiplus::SolidBrush brush(Gdiplus::Color(0xFE, static_cast<BYTE>(color >> 16), static_cast<BYTE>(color >> 8),
                                           static_cast<BYTE>(color)));
  std::unique_ptr<Gdiplus::StringFormat> format(Gdiplus::StringFormat::GenericTypographic()->Clone());
  if (style & DT_END_ELLIPSIS) format->SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter);
  INT flags = format->GetFormatFlags();
  if (style & DT_NOCLIP) flags |= Gdiplus::StringFormatFlagsNoClip;
  if (style & DT_SINGLELINE) flags |= Gdiplus::StringFormatFlagsNoWrap;
  format->SetFormatFlags(flags);
  format->SetAlignment((style & DT_CENTER)  ? Gdiplus::StringAlignmentCenter
                       : (style & DT_RIGHT) ? Gdiplus::StringAlignmentFar
                                            : Gdiplus::StringAlignmentNear);
  format->SetLineAlignment((style & DT_VCENTER)  ? Gdiplus::StringAlignmentCenter
                           : (style & DT_BOTTOM) ? Gdiplus::StringAlignmentFar
                                                 : Gdiplus::StringAlignmentNear);
  Gdiplus::RectF box(static_cast<Gdiplus::REAL>(rect.left), static_cast<Gdiplus::REAL>(rect.top),
                     static_cast<Gdiplus::REAL>(rect.right - rect.left),
                     static_cast<Gdiplus::REAL>(rect.bottom - rect.top));
  // GDI+ leaves out a line taller than its box, where GDI draws it clipped:
  // a large font in a label of a fixed height would show nothing. The line
  // gets its height, placed as the alignment says, and is clipped to the box.
  Gdiplus::RectF needed;
  if ((style & DT_SINGLELINE) && !(style & DT_CALCRECT)) {
    graphics.MeasureString(text, -1, &gdiplus_font, Gdiplus::PointF(box.X, box.Y), format.get(), &needed);
  }
  const Gdiplus::REAL line = needed.Height;
  if (line > box.Height) {
    if (!(style & DT_NOCLIP)) graphics.SetClip(box);
    const Gdiplus::REAL extra = line - box.Height;
    if (style & DT_VCENTER) {
      box.Y -= extra / 2;
    } else if (style & DT_BOTTOM) {
      box.Y -= extra;
    }
    box.Height = line;
  }
  if (style & DT_CALCRECT) {
    Gdiplus::RectF bounds;
    graphics.MeasureString(text, -1, &gdiplus_font, box, format.get(), &bounds);
    rect.right = rect.left + static_cast<LONG>(bounds.Width) + 1;
    rect.bottom = rect.top + static_cast<LONG>(bounds.Height) + 1;
  } else {
    graphics.DrawString(text, -1, &gdiplus_font, box, format.get(), &brush);
  }
}

void CUiDrawEngine::FillAndDrawText(HDC dc, CPaintManagerUI* manager, RECT& rect, const wchar_t* text,
                                    DWORD text_color, int font, UINT style, DWORD back_color) {
  FillColor(dc, rect, back_color);
  DrawText(dc, manager, rect, text, text_color, font, style);
}

SIZE CUiDrawEngine::MeasureText(HDC dc, CPaintManagerUI* manager, const wchar_t* text, int font) {
  SIZE size = {0, 0};
  if (dc == nullptr || manager == nullptr || text == nullptr) return size;
  const int old_mode = ::SetBkMode(dc, TRANSPARENT);
  HGDIOBJ old_font = ::SelectObject(dc, manager->GetFontById(font));
  ::GetTextExtentPoint32W(dc, text, static_cast<int>(std::wcslen(text)), &size);
  ::SelectObject(dc, old_font);
  ::SetBkMode(dc, old_mode);
  return size;
}

}  // namespace SkinUI
