#include "ui_toolkit/controls/label.h"

#include "ui_toolkit/core/dpi_helper.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {

CLabelUI::CLabelUI() = default;
CLabelUI::~CLabelUI() = default;

const wchar_t* CLabelUI::GetClassName() const { return L"LabelUI"; }

void* CLabelUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"Label")) return static_cast<CLabelUI*>(this);
  return CControlUI::QueryInterfaceByName(name);
}

UINT CLabelUI::GetControlFlags() const { return IsEnabled() ? UIFLAG_SETCURSOR : 0; }

void CLabelUI::SetText(const wchar_t* text) {
  CControlUI::SetText(text);
  if (auto_calc_width_ || auto_calc_height_) {
    measured_stale_ = true;
    MarkParentNeedsLayout();
  }
}

void CLabelUI::HandleEvent(ControlEventUI& event) {
  if (event.Type == UIEVENT_SETFOCUS) {
    focused_ = true;
    return;
  }
  if (event.Type == UIEVENT_KILLFOCUS) {
    focused_ = false;
    return;
  }
  CControlUI::HandleEvent(event);
}

bool CLabelUI::IsAutoCalcWidth() const { return auto_calc_width_; }
void CLabelUI::SetAutoCalcWidth(bool on) { auto_calc_width_ = on; }
bool CLabelUI::IsAutoCalcHeight() const { return auto_calc_height_; }
void CLabelUI::SetAutoCalcHeight(bool on) { auto_calc_height_ = on; }

void CLabelUI::SetTextColor(DWORD color) {
  text_color_ = color;
  Invalidate();
}
void CLabelUI::SetDisabledTextColor(DWORD color) {
  disabled_text_color_ = color;
  Invalidate();
}
void CLabelUI::SetFont(int id) {
  font_ = id;
  measured_stale_ = true;
  Invalidate();
}
void CLabelUI::SetTextStyle(UINT style) {
  text_style_ = style;
  measured_stale_ = true;
  Invalidate();
}
RECT CLabelUI::GetTextPadding() const { return ScaleRectValue(text_padding_); }
void CLabelUI::SetTextPadding(RECT rc) {
  text_padding_ = rc;
  measured_stale_ = true;
  Invalidate();
}
void CLabelUI::SetShowHtml(bool on) {
  if (show_html_ == on) return;
  show_html_ = on;
  measured_stale_ = true;
  Invalidate();
}

void CLabelUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  using attr::Equals;
  if (Equals(name, L"align")) {
    if (attr::Contains(value, L"left")) text_style_ &= ~(DT_CENTER | DT_RIGHT);
    if (attr::Contains(value, L"center")) text_style_ = (text_style_ | DT_CENTER) & ~DT_RIGHT;
    if (attr::Contains(value, L"right")) text_style_ = (text_style_ | DT_RIGHT) & ~DT_CENTER;
  } else if (Equals(name, L"valign")) {
    if (attr::Contains(value, L"top")) {
      text_style_ = (text_style_ & ~(DT_VCENTER | DT_BOTTOM | DT_WORDBREAK)) | DT_SINGLELINE;
    }
    if (attr::Contains(value, L"vcenter")) {
      text_style_ = (text_style_ & ~(DT_BOTTOM | DT_WORDBREAK)) | DT_VCENTER | DT_SINGLELINE;
    }
    if (attr::Contains(value, L"bottom")) {
      text_style_ = (text_style_ & ~(DT_VCENTER | DT_WORDBREAK)) | DT_BOTTOM | DT_SINGLELINE;
    }
  } else if (Equals(name, L"endellipsis")) {
    if (attr::IsTrue(value)) {
      text_style_ |= DT_END_ELLIPSIS;
    } else {
      text_style_ &= ~DT_END_ELLIPSIS;
    }
  } else if (Equals(name, L"wordbreak")) {
    if (attr::IsTrue(value)) {
      text_style_ = (text_style_ & ~DT_SINGLELINE) | DT_WORDBREAK | DT_EDITCONTROL;
    } else {
      text_style_ = (text_style_ & ~(DT_WORDBREAK | DT_EDITCONTROL)) | DT_SINGLELINE;
    }
  } else if (Equals(name, L"noprefix")) {
    if (attr::IsTrue(value)) {
      text_style_ |= DT_NOPREFIX;
    } else {
      text_style_ &= ~DT_NOPREFIX;
    }
  } else if (Equals(name, L"font")) {
    SetFont(attr::ParseInt(value));
  } else if (Equals(name, L"textcolor")) {
    SetTextColor(attr::ParseColor(value));
  } else if (Equals(name, L"disabledtextcolor")) {
    SetDisabledTextColor(attr::ParseColor(value));
  } else if (Equals(name, L"textpadding")) {
    SetTextPadding(attr::ParseRect(value));
  } else if (Equals(name, L"showhtml")) {
    SetShowHtml(attr::IsTrue(value));
  } else if (Equals(name, L"autocalcwidth")) {
    SetAutoCalcWidth(attr::IsTrue(value));
  } else if (Equals(name, L"autocalcheight")) {
    SetAutoCalcHeight(attr::IsTrue(value));
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

SIZE CLabelUI::MeasureSize(SIZE available) {
  const SIZE fixed = GetFixedSize();
  if (fixed.cx >= 1 && fixed.cy >= 1) return fixed;
  if (available.cx == last_available_.cx && available.cy == last_available_.cy && !measured_stale_) return measured_;
  last_available_ = available;
  measured_stale_ = false;
  SIZE size = fixed;
  if (manager_ == nullptr) {
    measured_ = size;
    return size;
  }
  const RECT pad = GetTextPadding();
  const CUiString text = GetText();
  if ((text_style_ & DT_SINGLELINE) != 0) {
    if (size.cy == 0) size.cy = pad.top + manager_->GetFontRecordById(font_)->tm.tmHeight + pad.bottom + 8;
    if (size.cx == 0 && auto_calc_width_) {
      RECT rc{0, 0, 9999, size.cy};
      const UINT style = (text_style_ & ~(DT_CENTER | DT_RIGHT)) | DT_CALCRECT;
      DrawLabelText(manager_->GetPaintDC(), rc, text, 0, font_, style);
      const int scaled_pad = manager_->GetDpiHelper()->Scale(text_padding_.left + text_padding_.right);
      size.cx = scaled_pad + (rc.right - rc.left);
    }
  } else if (size.cy == 0 && auto_calc_height_) {
    RECT rc{pad.left, 0, size.cx - pad.right, 9999};
    const UINT style = (text_style_ & ~(DT_CENTER | DT_RIGHT)) | DT_CALCRECT;
    DrawLabelText(manager_->GetPaintDC(), rc, text, 0, font_, style);
    size.cy = (rc.bottom - rc.top) + pad.top + pad.bottom;
  }
  measured_ = size;
  return size;
}

void CLabelUI::ResolveDefaultColors() {
  if (manager_ == nullptr) return;
  if (text_color_ == 0) text_color_ = manager_->GetDefaultTextColor();
  if (disabled_text_color_ == 0) disabled_text_color_ = manager_->GetDisabledTextColor();
}

void CLabelUI::DrawLabelText(HDC dc, RECT& rc, const CUiString& text, DWORD color, int font, UINT style) {
  if (show_html_) {
    int links = 0;
    CUiDrawEngine::DrawHtmlText(dc, manager_, rc, text.GetData(), color, nullptr, nullptr, links, font, style);
  } else {
    CUiDrawEngine::DrawText(dc, manager_, rc, text.GetData(), color, font, style);
  }
}

void CLabelUI::PaintText(HDC dc) {
  ResolveDefaultColors();
  const CUiString text = GetText();
  if (text.IsEmpty()) return;
  RECT rc = pos_;
  const RECT pad = GetTextPadding();
  rc.left += pad.left;
  rc.top += pad.top;
  rc.right -= pad.right;
  rc.bottom -= pad.bottom;
  DrawLabelText(dc, rc, text, IsEnabled() ? text_color_ : disabled_text_color_, font_, text_style_);
}

}  // namespace SkinUI
