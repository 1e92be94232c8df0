#include "ui_toolkit/controls/color_palette.h"

#include <algorithm>
#include <cwchar>

#include "ui_toolkit/core/dpi_helper.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

// Rows of the off-screen bitmap: the palette in rows 1..200, the bar from 210.
constexpr int kPalletRows = 200;
constexpr int kPalletColumns = 360;
constexpr int kBarTop = 210;
constexpr int kBarColumns = 200;
constexpr int kThumbBox = 8;

float Channel(float p, float q, float t) {
  if (t < 0.0f) t += 1.0f;
  if (t > 1.0f) t -= 1.0f;
  if (t * 6.0f < 1.0f) return p + (q - p) * 6.0f * t;
  if (t * 2.0f < 1.0f) return q;
  if (t * 3.0f < 2.0f) return p + (q - p) * (2.0f / 3.0f - t) * 6.0f;
  return p;
}

DWORD Byte(float v) { return static_cast<DWORD>(std::clamp(v * 255.0f, 0.0f, 255.0f)); }

}  // namespace

DWORD CColorPaletteUI::HslToRgb(float h, float s, float l) {
  if (s == 0.0f) {
    const DWORD v = Byte(l);
    return (v << 16) | (v << 8) | v;
  }
  const float q = l < 0.5f ? l * (1.0f + s) : l + s - l * s;
  const float p = 2.0f * l - q;
  return (Byte(Channel(p, q, h + 1.0f / 3.0f)) << 16) | (Byte(Channel(p, q, h)) << 8) |
         Byte(Channel(p, q, h - 1.0f / 3.0f));
}

CColorPaletteUI::CColorPaletteUI() = default;
CColorPaletteUI::~CColorPaletteUI() = default;

const wchar_t* CColorPaletteUI::GetClassName() const { return L"ColorPaletteUI"; }

void* CColorPaletteUI::QueryInterfaceByName(const wchar_t* name) {
  if (name != nullptr && std::wcscmp(name, L"ColorPalette") == 0) return static_cast<CColorPaletteUI*>(this);
  return CControlUI::QueryInterfaceByName(name);
}

void CColorPaletteUI::OnInitialize() {
  if (bitmap_.IsValid()) return;
  // A 32-bit DIB section whatever the display's depth, so every pixel is
  // written as the four bytes it really has.
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = kBitmapWidth;
  info.bmiHeader.biHeight = -kBitmapHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  bitmap_.Reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  bits_ = bitmap_.IsValid() ? static_cast<std::uint32_t*>(bits) : nullptr;
  UpdatePalletData();
  UpdateBarData();
}

DWORD CColorPaletteUI::GetBitmapPixel(int x, int y) const {
  if (bits_ == nullptr || x < 0 || y < 0 || x >= kBitmapWidth || y >= kBitmapHeight) return 0;
  return bits_[static_cast<size_t>(y) * kBitmapWidth + x] & 0xFFFFFF;
}

void CColorPaletteUI::PutPixel(int x, int y, DWORD rgb) {
  // Pure black is kept apart from "nothing drawn".
  if (rgb == 0) rgb = 0x010000;
  bits_[static_cast<size_t>(y) * kBitmapWidth + x] = rgb;
}

void CColorPaletteUI::UpdatePalletData() {
  if (bits_ == nullptr) return;
  ::GdiFlush();
  const float s = static_cast<float>(saturation_) / 200.0f;
  for (int y = 1; y <= kPalletRows; ++y) {
    const float l = static_cast<float>(kPalletRows - y) / 200.0f;
    for (int x = 0; x < kPalletColumns; ++x) {
      PutPixel(x, y, HslToRgb(static_cast<float>(x) / 360.0f, s, l));
    }
  }
}

void CColorPaletteUI::UpdateBarData() {
  if (bits_ == nullptr) return;
  ::GdiFlush();
  const float h = static_cast<float>(hue_) / 360.0f;
  const float l = static_cast<float>(lightness_) / 200.0f;
  for (int x = 0; x < kBarColumns; ++x) {
    const DWORD rgb = HslToRgb(h, static_cast<float>(x) / 200.0f, l);
    for (int y = kBarTop; y < kBarTop + bar_height_; ++y) PutPixel(x, y, rgb);
  }
}

DWORD CColorPaletteUI::GetSelectColor() const {
  return 0xFF000000 | HslToRgb(static_cast<float>(hue_) / 360.0f, static_cast<float>(saturation_) / 200.0f,
                               static_cast<float>(lightness_) / 200.0f);
}

int CColorPaletteUI::ScaledPalletHeight() const { return ScaleValue(pallet_height_); }
int CColorPaletteUI::ScaledBarHeight() const { return ScaleValue(bar_height_); }

void CColorPaletteUI::SetPalletHeight(int height) {
  pallet_height_ = std::max(1, height);
  Invalidate();
}

void CColorPaletteUI::SetBarHeight(int height) {
  bar_height_ = std::clamp(height, 0, kMaxBarHeight);
  UpdateBarData();
  Invalidate();
}

void CColorPaletteUI::SetThumbImage(const wchar_t* description) {
  if (description == nullptr || thumb_image_ == description) return;
  thumb_image_ = description;
  MarkNeedsLayout();
}

void CColorPaletteUI::SetPos(RECT rc, bool invalidate) {
  CControlUI::SetPos(rc, invalidate);
  const int width = pos_.right - pos_.left;
  thumb_.x = pos_.left + width * hue_ / 360;
  thumb_.y = pos_.top + (200 - lightness_) * ScaledPalletHeight() / 200;
  UpdatePalletData();
  UpdateBarData();
}

void CColorPaletteUI::PickFromPallet(POINT pt) {
  const int width = std::max<int>(1, pos_.right - pos_.left);
  const int height = std::max(1, ScaledPalletHeight());
  hue_ = std::clamp(static_cast<int>((pt.x - pos_.left) * 360 / width), 0, 360);
  const int v = std::clamp(static_cast<int>((pt.y - pos_.top) * 200 / height), 0, 200);
  lightness_ = 200 - v;
  thumb_.x = std::clamp<LONG>(pt.x, pos_.left, pos_.right);
  thumb_.y = std::clamp<LONG>(pt.y, pos_.top, pos_.top + height);
}

void CColorPaletteUI::PickFromBar(POINT pt) {
  const int width = std::max<int>(1, pos_.right - pos_.left);
  saturation_ = std::clamp(static_cast<int>((pt.x - pos_.left) * 200 / width), 0, 200);
}

void CColorPaletteUI::HandleEvent(ControlEventUI& event) {
  CControlUI::HandleEvent(event);
  const POINT pt = event.ptMouse;
  const int pallet = ScaledPalletHeight();
  const int bar = ScaledBarHeight();
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
      if (pt.x >= pos_.left && pt.x < pos_.right && pt.y >= pos_.top && pt.y < pos_.top + pallet) {
        PickFromPallet(pt);
        state_ |= UISTATE_PUSHED;
        drag_pallet_ = true;
        UpdateBarData();
      }
      if (pt.x >= pos_.left && pt.x < pos_.right && pt.y >= pos_.bottom - bar && pt.y < pos_.bottom) {
        drag_bar_ = true;
        state_ |= UISTATE_PUSHED;
        PickFromBar(pt);
        UpdatePalletData();
      }
      Invalidate();
      return;
    case UIEVENT_BUTTONUP:
      if (IsEnabled() && manager_ != nullptr) manager_->SendNotify(this, L"colorchanged", GetSelectColor(), 0);
      state_ &= ~UISTATE_PUSHED;
      drag_pallet_ = false;
      drag_bar_ = false;
      Invalidate();
      return;
    case UIEVENT_MOUSEMOVE:
      if ((state_ & UISTATE_PUSHED) == 0) {
        drag_pallet_ = false;
        drag_bar_ = false;
      }
      if (drag_pallet_) {
        const int dx = pt.x - pos_.left;
        const int dy = pt.y - pos_.top;
        if (dx >= 0 && dx <= pos_.right - pos_.left && dy >= 0 && dy <= pallet) {
          PickFromPallet(pt);
          UpdateBarData();
        }
      }
      if (drag_bar_) {
        PickFromBar(pt);
        UpdatePalletData();
      }
      Invalidate();
      return;
    default:
      return;
  }
}

void CColorPaletteUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (std::wcscmp(name, L"palletheight") == 0) {
    SetPalletHeight(attr::ParseInt(value));
  } else if (std::wcscmp(name, L"barheight") == 0) {
    SetBarHeight(attr::ParseInt(value));
  } else if (std::wcscmp(name, L"thumbimage") == 0) {
    SetThumbImage(value);
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

void CColorPaletteUI::PaintBackgroundColor(HDC dc) { PaintPallet(dc); }

void CColorPaletteUI::PaintPallet(HDC dc) {
  if (!bitmap_.IsValid()) return;
  HDC memory = ::CreateCompatibleDC(dc);
  if (memory == nullptr) return;
  ::GdiFlush();
  HGDIOBJ old = ::SelectObject(memory, bitmap_.Get());
  const int saved = ::SaveDC(dc);
  ::SetStretchBltMode(dc, HALFTONE);
  ::SetBrushOrgEx(dc, 0, 0, nullptr);
  const int width = pos_.right - pos_.left;
  const int pallet = ScaledPalletHeight();
  const int bar = ScaledBarHeight();
  ::StretchBlt(dc, pos_.left, pos_.top, width, pallet, memory, 0, 1, kPalletColumns, kPalletRows, SRCCOPY);
  if (bar_height_ > 0) {
    ::StretchBlt(dc, pos_.left, pos_.bottom - bar, width, bar, memory, 0, kBarTop, kBarColumns, bar_height_, SRCCOPY);
  }
  ::RestoreDC(dc, saved);
  ::SelectObject(memory, old);
  ::DeleteDC(memory);
  if (thumb_image_.IsEmpty() || manager_ == nullptr) return;
  // Descriptions take unscaled rectangles relative to the control.
  CDpiHelperUI* dpi = manager_->GetDpiHelper();
  const auto box = [&](int cx, int cy) {
    const int x = dpi->Unscale(cx - pos_.left);
    const int y = dpi->Unscale(cy - pos_.top);
    modifier_.Format(L"dest='%d,%d,%d,%d'", x - kThumbBox / 2, y - kThumbBox / 2, x + kThumbBox / 2,
                     y + kThumbBox / 2);
    DrawImage(dc, thumb_image_.GetData(), modifier_.GetData());
  };
  box(thumb_.x, thumb_.y);
  box(pos_.left + width * saturation_ / 200, pos_.bottom - bar / 2);
}

}  // namespace SkinUI
