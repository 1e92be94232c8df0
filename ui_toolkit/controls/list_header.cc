#include "ui_toolkit/controls/list_header.h"

#include <algorithm>
#include <cwchar>

#include "ui_toolkit/controls/list.h"
#include "ui_toolkit/controls/scroll_bar.h"
#include "ui_toolkit/core/dpi_helper.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

int ClampTo(int value, int low, int high) { return std::max(low, std::min(value, high)); }

}  // namespace

// ---- header

const wchar_t* CListHeaderUI::GetClassName() const { return L"ListHeaderUI"; }

void* CListHeaderUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"ListHeader")) return static_cast<CListHeaderUI*>(this);
  return CHorizontalLayoutUI::QueryInterfaceByName(name);
}

void CListHeaderUI::SetPos(RECT rc, bool invalidate) {
  CControlUI::SetPos(rc, invalidate);
  const RECT inner = GetInnerRect();
  if (items_.IsEmpty()) return;
  const SIZE avail{inner.right - inner.left, inner.bottom - inner.top};
  const int p = GetChildPadding();

  int counted = 0;
  int stretching = 0;
  int fixed = 0;
  for (int i = 0; i < items_.GetSize(); ++i) {
    auto* c = static_cast<CControlUI*>(items_.GetAt(i));
    if (!c->IsVisible() || c->IsFloat()) continue;
    ++counted;
    const SIZE s = c->MeasureSize(avail);
    const RECT pad = c->GetPadding();
    int width = s.cx;
    if (width == 0) {
      ++stretching;
    } else {
      width = ClampTo(width, c->GetMinWidth(), std::max(c->GetMinWidth(), c->GetMaxWidth()));
    }
    fixed += width + pad.left + pad.right;
  }
  if (counted > 1) fixed += (counted - 1) * p;
  const int stretch_width = stretching > 0 ? std::max<int>(0, (avail.cx - fixed) / stretching) : 0;
  // Scaled columns leave room for the list's vertical bar, shown or not.
  int scale_base = avail.cx;
  if (auto* list = parent_ != nullptr ? static_cast<CListUI*>(parent_->QueryInterfaceByName(L"List")) : nullptr) {
    if (CScrollBarUI* bar = list->GetVerticalScrollBar()) scale_base -= bar->GetWidth();
  }

  int x = inner.left;
  int remaining = avail.cx;
  int remaining_fixed = fixed;
  int stretch_seen = 0;
  for (int i = 0; i < items_.GetSize(); ++i) {
    auto* c = static_cast<CControlUI*>(items_.GetAt(i));
    if (!c->IsVisible()) continue;
    if (c->IsFloat()) {
      SetFloatChildPos(i);
      continue;
    }
    const RECT pad = c->GetPadding();
    remaining -= pad.left;
    remaining_fixed -= pad.left + pad.right;
    int width = 0;
    if (scale_header_) {
      auto* column = static_cast<CListHeaderItemUI*>(c->QueryInterfaceByName(L"ListHeaderItem"));
      width = column != nullptr ? static_cast<int>(column->GetScale() * scale_base / 100.0) : 0;
    } else {
      width = c->MeasureSize(avail).cx;
    }
    const int max_w = std::max(c->GetMinWidth(), c->GetMaxWidth());
    if (width != 0) {
      width = ClampTo(width, c->GetMinWidth(), max_w);
      remaining_fixed -= width;
    } else {
      ++stretch_seen;
      width = stretch_seen == stretching ? std::max<int>(0, remaining - pad.right - remaining_fixed) : stretch_width;
      width = ClampTo(width, c->GetMinWidth(), max_w);
    }
    int height = c->GetFixedHeight();
    if (height == 0) height = avail.cy - pad.top - pad.bottom;
    height = ClampTo(height, c->GetMinHeight(), std::max(c->GetMinHeight(), c->GetMaxHeight()));
    const int left = x + pad.left;
    const int top = inner.top + pad.top;
    c->SetPos(RECT{left, top, left + width, top + height}, invalidate);
    x += width + pad.left + pad.right + p;
    remaining -= width + pad.right + p;
    remaining_fixed -= p;
  }
}

SIZE CListHeaderUI::MeasureSize(SIZE available) {
  SIZE size{0, GetFixedHeight()};
  if (size.cy == 0 && manager_ != nullptr) {
    for (int i = 0; i < items_.GetSize(); ++i) {
      size.cy = std::max<LONG>(size.cy, static_cast<CControlUI*>(items_.GetAt(i))->MeasureSize(available).cy);
    }
    const int font_height = manager_->GetDefaultFontRecord()->tm.tmHeight + 6;
    size.cy = std::max<LONG>(size.cy, font_height);
  }
  for (int i = 0; i < items_.GetSize(); ++i) {
    size.cx += static_cast<CControlUI*>(items_.GetAt(i))->MeasureSize(available).cx;
  }
  size.cx = std::max(size.cx, available.cx);
  return size;
}

void CListHeaderUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (attr::Equals(name, L"scaleheader")) {
    SetScaleHeader(attr::IsTrue(value));
  } else {
    CHorizontalLayoutUI::SetAttribute(name, value);
  }
}

void CListHeaderUI::PaintAfterChildren(HDC, const RECT&) {}

// ---- header item

CListHeaderItemUI::CListHeaderItemUI() { SetMinWidth(16); }

const wchar_t* CListHeaderItemUI::GetClassName() const { return L"ListHeaderItemUI"; }

void* CListHeaderItemUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"ListHeaderItem")) return static_cast<CListHeaderItemUI*>(this);
  return CContainerUI::QueryInterfaceByName(name);
}

UINT CListHeaderItemUI::GetControlFlags() const {
  return (IsEnabled() && sep_width_ != 0) ? UIFLAG_SETCURSOR : 0;
}

void CListHeaderItemUI::SetEnabled(bool enabled) {
  CContainerUI::SetEnabled(enabled);
  if (!IsEnabled()) state_ = 0;
}

void CListHeaderItemUI::SetDragable(bool on) {
  dragable_ = on;
  if (!on) state_ &= ~UISTATE_CAPTURED;
}

void CListHeaderItemUI::SetShowHtml(bool on) {
  if (show_html_ == on) return;
  show_html_ = on;
  Invalidate();
}

void CListHeaderItemUI::SetTextPadding(RECT rc) {
  text_padding_ = rc;
  Invalidate();
}

void CListHeaderItemUI::SetNormalImage(const wchar_t* image) { normal_image_ = image; Invalidate(); }
void CListHeaderItemUI::SetHotImage(const wchar_t* image) { hot_image_ = image; Invalidate(); }
void CListHeaderItemUI::SetPushedImage(const wchar_t* image) { pushed_image_ = image; Invalidate(); }
void CListHeaderItemUI::SetFocusedImage(const wchar_t* image) { focused_image_ = image; Invalidate(); }
void CListHeaderItemUI::SetSepImage(const wchar_t* image) { sep_image_ = image; Invalidate(); }

RECT CListHeaderItemUI::GetSeparatorRect() const {
  if (sep_width_ >= 0) return RECT{pos_.right - sep_width_, pos_.top, pos_.right, pos_.bottom};
  return RECT{pos_.left, pos_.top, pos_.left - sep_width_, pos_.bottom};
}

RECT CListHeaderItemUI::GetDragRect() const {
  RECT rc = GetSeparatorRect();
  if (sep_width_ >= 0) {
    rc.left -= 4;
  } else {
    rc.right += 4;
  }
  return rc;
}

void CListHeaderItemUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  using attr::Equals;
  if (name == nullptr || value == nullptr) return;
  if (Equals(name, L"dragable")) {
    SetDragable(attr::IsTrue(value));
  } else if (Equals(name, L"sepwidth")) {
    SetSepWidth(attr::ParseInt(value));
  } else if (Equals(name, L"align")) {
    if (attr::Contains(value, L"left")) text_style_ &= ~(DT_CENTER | DT_RIGHT);
    if (attr::Contains(value, L"center")) {
      text_style_ &= ~DT_RIGHT;
      text_style_ |= DT_CENTER;
    }
    if (attr::Contains(value, L"right")) {
      text_style_ &= ~DT_CENTER;
      text_style_ |= DT_RIGHT;
    }
  } else if (Equals(name, L"endellipsis")) {
    if (attr::IsTrue(value)) {
      text_style_ |= DT_END_ELLIPSIS;
    } else {
      text_style_ &= ~DT_END_ELLIPSIS;
    }
  } else if (Equals(name, L"font")) {
    SetFont(attr::ParseInt(value));
  } else if (Equals(name, L"textcolor")) {
    SetTextColor(attr::ParseColor(value));
  } else if (Equals(name, L"textpadding")) {
    SetTextPadding(attr::ParseRect(value));
  } else if (Equals(name, L"showhtml")) {
    SetShowHtml(attr::IsTrue(value));
  } else if (Equals(name, L"normalimage")) {
    SetNormalImage(value);
  } else if (Equals(name, L"hotimage")) {
    SetHotImage(value);
  } else if (Equals(name, L"pushedimage")) {
    SetPushedImage(value);
  } else if (Equals(name, L"focusedimage")) {
    SetFocusedImage(value);
  } else if (Equals(name, L"sepimage")) {
    SetSepImage(value);
  } else if (Equals(name, L"scale")) {
    SetScale(attr::ParseInt(value));
  } else {
    CHorizontalLayoutUI::SetAttribute(name, value);
  }
}

SIZE CListHeaderItemUI::MeasureSize(SIZE) {
  if (GetFixedHeight() != 0) return ScaleSizeValue(fixed_size_);
  const int font_height = manager_ != nullptr ? manager_->GetDefaultFontRecord()->tm.tmHeight : 0;
  return SIZE{ScaleValue(fixed_size_.cx), font_height + 14};
}

void CListHeaderItemUI::HandleEvent(ControlEventUI& event) {
  if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
    if (parent_ != nullptr) {
      parent_->HandleEvent(event);
    } else {
      CContainerUI::HandleEvent(event);
    }
    return;
  }
  if (event.Type == UIEVENT_SETFOCUS || event.Type == UIEVENT_KILLFOCUS) Invalidate();
  if ((event.Type == UIEVENT_BUTTONDOWN || event.Type == UIEVENT_DBLCLICK) && IsEnabled()) {
    const RECT strip = GetDragRect();
    if (::PtInRect(&strip, event.ptMouse)) {
      if (dragable_) {
        state_ |= UISTATE_CAPTURED;
        last_mouse_ = event.ptMouse;
      }
    } else {
      state_ |= UISTATE_PUSHED;
      if (manager_ != nullptr) manager_->SendNotify(this, ClickNotification());
      Invalidate();
    }
    return;
  }
  if (event.Type == UIEVENT_MOUSEMOVE) {
    if ((state_ & UISTATE_CAPTURED) != 0) {
      RECT rc = pos_;
      const int dx = event.ptMouse.x - last_mouse_.x;
      if (sep_width_ >= 0) {
        rc.right += dx;
      } else {
        rc.left += dx;
      }
      const int width = rc.right - GetPadding().right - rc.left;
      if (width > GetMinWidth()) {
        fixed_size_.cx = manager_ != nullptr ? manager_->GetDpiHelper()->Unscale(width) : width;
        last_mouse_ = event.ptMouse;
        if (parent_ != nullptr) parent_->MarkParentNeedsLayout();
      }
    }
    return;
  }
  if (event.Type == UIEVENT_BUTTONUP) {
    if ((state_ & UISTATE_CAPTURED) != 0) {
      state_ &= ~UISTATE_CAPTURED;
      if (parent_ != nullptr) parent_->MarkParentNeedsLayout();
    } else if ((state_ & UISTATE_PUSHED) != 0) {
      state_ &= ~UISTATE_PUSHED;
      Invalidate();
    }
    return;
  }
  if (event.Type == UIEVENT_SETCURSOR) {
    const RECT strip = GetDragRect();
    if (IsEnabled() && dragable_ && ::PtInRect(&strip, event.ptMouse)) {
      ::SetCursor(::LoadCursorW(nullptr, IDC_SIZEWE));
      return;
    }
  }
  if (event.Type == UIEVENT_MOUSEENTER && IsEnabled()) {
    state_ |= UISTATE_HOT;
    Invalidate();
    return;
  }
  if (event.Type == UIEVENT_MOUSELEAVE && IsEnabled()) {
    state_ &= ~UISTATE_HOT;
    Invalidate();
    return;
  }
  CHorizontalLayoutUI::HandleEvent(event);
}

void CListHeaderItemUI::PaintStateImage(HDC dc) {
  if (IsFocused()) {
    state_ |= UISTATE_FOCUSED;
  } else {
    state_ &= ~UISTATE_FOCUSED;
  }
  const CUiString* chosen = nullptr;
  if ((state_ & UISTATE_PUSHED) != 0) {
    chosen = &pushed_image_;
  } else if ((state_ & UISTATE_HOT) != 0) {
    chosen = &hot_image_;
  } else if ((state_ & UISTATE_FOCUSED) != 0) {
    chosen = &focused_image_;
  }
  if (chosen != nullptr) {
    if (chosen->IsEmpty() && !normal_image_.IsEmpty()) DrawImage(dc, normal_image_.GetData());
    if (!chosen->IsEmpty()) DrawImage(dc, chosen->GetData());
  } else if (!normal_image_.IsEmpty()) {
    DrawImage(dc, normal_image_.GetData());
  }
  if (!sep_image_.IsEmpty()) {
    const RECT sep = GetSeparatorRect();
    wchar_t modify[96];
    std::swprintf(modify, 96, L"dest='%d,%d,%d,%d'", static_cast<int>(sep.left - pos_.left),
                  static_cast<int>(sep.top - pos_.top), static_cast<int>(sep.right - pos_.left),
                  static_cast<int>(sep.bottom - pos_.top));
    sep_image_modify_ = modify;
    DrawImage(dc, sep_image_.GetData(), sep_image_modify_.GetData());
  }
}

void CListHeaderItemUI::PaintText(HDC dc) {
  if (text_color_ == 0 && manager_ != nullptr) text_color_ = manager_->GetDefaultTextColor();
  RECT rc = pos_;
  rc.left += text_padding_.left;
  rc.top += text_padding_.top;
  rc.right -= text_padding_.right;
  rc.bottom -= text_padding_.bottom;
  const CUiString text = GetText();
  if (text.IsEmpty()) return;
  if (show_html_) {
    int links = 0;
    CUiDrawEngine::DrawHtmlText(dc, manager_, rc, text.GetData(), text_color_, nullptr, nullptr, links, font_,
                                text_style_);
  } else {
    CUiDrawEngine::DrawText(dc, manager_, rc, text.GetData(), text_color_, font_, text_style_);
  }
}

}  // namespace SkinUI
