#include "ui_toolkit/controls/group_box.h"

#include <algorithm>

#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {
constexpr int kFrameInset = 5;
constexpr int kCaptionIndent = 15;
constexpr int kCaptionHeight = 20;
}  // namespace

CGroupBoxUI::CGroupBoxUI() { SetInset(RECT{20, 25, 20, 20}); }

CGroupBoxUI::~CGroupBoxUI() = default;

const wchar_t* CGroupBoxUI::GetClassName() const { return L"GroupBoxUI"; }

void* CGroupBoxUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"GroupBox")) return static_cast<CGroupBoxUI*>(this);
  return CVerticalLayoutUI::QueryInterfaceByName(name);
}

void CGroupBoxUI::SetTextColor(DWORD color) {
  text_color_ = color;
  Invalidate();
}

void CGroupBoxUI::SetDisabledTextColor(DWORD color) {
  disabled_text_color_ = color;
  Invalidate();
}

void CGroupBoxUI::SetFont(int id) {
  font_ = id;
  Invalidate();
}

void CGroupBoxUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (attr::Equals(name, L"textcolor")) {
    SetTextColor(attr::ParseColor(value));
  } else if (attr::Equals(name, L"disabledtextcolor")) {
    SetDisabledTextColor(attr::ParseColor(value));
  } else if (attr::Equals(name, L"font")) {
    SetFont(attr::ParseInt(value));
  }
  CVerticalLayoutUI::SetAttribute(name, value);
}

RECT CGroupBoxUI::FrameRect() const {
  RECT rc = pos_;
  ::InflateRect(&rc, -kFrameInset, -kFrameInset);
  return rc;
}

void CGroupBoxUI::PaintBorder(HDC dc) {
  const int width = GetBorderSizeScaled();
  if (width > 0) {
    const SIZE round = GetBorderRoundScaled();
    const RECT frame = FrameRect();
    const DWORD color = AdjustColorByHsl(IsFocused() && GetFocusBorderColor() != 0 ? GetFocusBorderColor()
                                                                                   : GetBorderColor());
    if (round.cx > 0 || round.cy > 0) {
      CUiDrawEngine::DrawRoundRect(dc, frame, width, round.cx, round.cy, color, GetBorderStyle());
    } else {
      CUiDrawEngine::DrawRect(dc, frame, width, color, GetBorderStyle());
    }
  }
  PaintText(dc);
}

SIZE CGroupBoxUI::CalcTextSize(SIZE box) {
  if (manager_ == nullptr) return SIZE{};
  RECT rc{0, 0, std::max<LONG>(box.cx, GetFixedXY().cx), kCaptionHeight};
  const CUiString text = GetText();
  CUiDrawEngine::DrawText(manager_->GetPaintDC(), manager_, rc, text.GetData(), text_color_, font_,
                          text_style_ | DT_CALCRECT);
  return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

void CGroupBoxUI::PaintText(HDC dc) {
  const CUiString text = GetText();
  if (text.IsEmpty() || manager_ == nullptr) return;
  if (text_color_ == 0) text_color_ = manager_->GetDefaultTextColor();
  if (disabled_text_color_ == 0) disabled_text_color_ = manager_->GetDisabledTextColor();
  const RECT frame = FrameRect();
  const SIZE size = CalcTextSize(SIZE{frame.right - frame.left, frame.bottom - frame.top});
  RECT caption{frame.left + kCaptionIndent, frame.top - kFrameInset, 0, 0};
  caption.right = caption.left + size.cx;
  caption.bottom = caption.top + size.cy;
  caption_rect_ = caption;
  CUiDrawEngine::FillColor(dc, caption, AdjustColorByHsl(GetBackgroundColor()));
  CUiDrawEngine::DrawText(dc, manager_, caption, text.GetData(), IsEnabled() ? text_color_ : disabled_text_color_,
                          font_, text_style_);
}

}  // namespace SkinUI
