#include "ui_toolkit/core/horizontal_layout.h"

#include <algorithm>

#include "ui_toolkit/core/dpi_helper.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

int ClampTo(int value, int low, int high) { return std::max(low, std::min(value, high)); }

}  // namespace

const wchar_t* CHorizontalLayoutUI::GetClassName() const { return L"HorizontalLayoutUI"; }

void* CHorizontalLayoutUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"HorizontalLayout")) return static_cast<CHorizontalLayoutUI*>(this);
  return CContainerUI::QueryInterfaceByName(name);
}

UINT CHorizontalLayoutUI::GetControlFlags() const {
  return (IsEnabled() && sep_size_ != 0) ? UIFLAG_SETCURSOR : 0;
}

void CHorizontalLayoutUI::SetPos(RECT rc, bool invalidate) {
  CControlUI::SetPos(rc, invalidate);
  const RECT inner = GetInnerRect();
  if (items_.IsEmpty()) {
    ProcessScrollBar(inner, 0, 0);
    return;
  }
  const int p = GetChildPadding();
  const bool vbar = IsVerticalBarVisible();
  const bool hbar = IsHorizontalBarVisible();
  const SIZE range = GetScrollRange();
  const SIZE scroll = GetScrollPos();
  // Only the visible width is shared out; the height grows by the vertical range.
  SIZE avail{inner.right - inner.left, inner.bottom - inner.top};
  if (vbar) avail.cy += range.cy;
  int needed_height = 0;

  int n = 0;
  int stretch = 0;
  int fixed = 0;
  for (int i = 0; i < items_.GetSize(); ++i) {
    auto* c = static_cast<CControlUI*>(items_.GetAt(i));
    if (!c->IsVisible() || c->IsFloat()) continue;
    ++n;
    const RECT pad = c->GetPadding();
    const int fw = c->GetFixedWidth();
    const int fh = c->GetFixedHeight();
    const SIZE limit{std::min<int>(avail.cx, fw > 0 ? fw : c->GetMaxWidth()),
                     std::min<int>(avail.cy - pad.top - pad.bottom, fh > 0 ? fh : c->GetMaxHeight())};
    SIZE s = c->MeasureSize(limit);
    if (s.cx == 0) {
      ++stretch;
    } else {
      s.cx = ClampTo(s.cx, c->GetMinWidth(), std::max(c->GetMinWidth(), c->GetMaxWidth()));
    }
    fixed += pad.left + s.cx + pad.right;
    const int h = ClampTo(std::max<int>(s.cy, 0), c->GetMinHeight(), std::max(c->GetMinHeight(), c->GetMaxHeight()));
    needed_height = std::max<int>(needed_height, pad.top + h + pad.bottom);
  }
  if (n > 1) fixed += (n - 1) * p;
  const int share = stretch > 0 ? std::max<int>(0, (avail.cx - fixed) / stretch) : 0;

  int x = inner.left;
  if (hbar) {
    x -= scroll.cx;
  } else if (stretch == 0) {
    if (child_align_ == DT_CENTER) {
      x += (avail.cx - fixed) / 2;
    } else if (child_align_ == DT_RIGHT) {
      x += avail.cx - fixed;
    }
  }

  int remaining = avail.cx;
  int remaining_fixed = fixed;
  int placed = 0;
  int stretch_seen = 0;
  int needed_width = 0;
  for (int i = 0; i < items_.GetSize(); ++i) {
    auto* c = static_cast<CControlUI*>(items_.GetAt(i));
    if (!c->IsVisible()) continue;
    if (c->IsFloat()) {
      SetFloatChildPos(i);
      continue;
    }
    ++placed;
    const RECT pad = c->GetPadding();
    remaining -= pad.left;
    const int fw = c->GetFixedWidth();
    const int fh = c->GetFixedHeight();
    const SIZE limit{std::min<int>(remaining, fw > 0 ? fw : c->GetMaxWidth()),
                     std::min<int>(avail.cy - pad.top - pad.bottom, fh > 0 ? fh : c->GetMaxHeight())};
    remaining_fixed -= pad.left + pad.right;
    if (placed > 1) remaining_fixed -= p;
    const SIZE s = c->MeasureSize(limit);
    const int max_w = std::max(c->GetMinWidth(), c->GetMaxWidth());
    int width = 0;
    if (s.cx == 0) {
      ++stretch_seen;
      width = stretch_seen == stretch ? std::max<int>(0, remaining - remaining_fixed - pad.right) : share;
      width = ClampTo(width, c->GetMinWidth(), max_w);
    } else {
      width = ClampTo(s.cx, c->GetMinWidth(), max_w);
      remaining_fixed -= width;
    }
    int height = std::max<int>(s.cy, 0);
    if (height == 0) height = avail.cy - pad.top - pad.bottom;
    height = std::min<int>(height, limit.cy);
    height = std::max<int>(height, c->GetMinHeight());
    int top = 0;
    if (child_valign_ == DT_VCENTER) {
      top = (inner.top + inner.bottom) / 2 + (vbar ? range.cy / 2 - scroll.cy : 0) - height / 2;
    } else if (child_valign_ == DT_BOTTOM) {
      top = inner.bottom + (vbar ? range.cy - scroll.cy : 0) - pad.bottom - height;
    } else {
      top = inner.top - (vbar ? scroll.cy : 0) + pad.top;
    }
    c->SetPos(RECT{x + pad.left, top, x + pad.left + width, top + height}, false);
    needed_width += width + pad.left + pad.right;
    x += width + pad.left + pad.right + p;
    remaining -= width + pad.right + p;
  }
  ProcessScrollBar(inner, needed_width + (n > 0 ? (n - 1) * p : 0), needed_height);
}

void CHorizontalLayoutUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (attr::Equals(name, L"sepwidth")) {
    SetSepWidth(attr::ParseInt(value));
  } else if (attr::Equals(name, L"sepimm")) {
    SetSepImmMode(attr::IsTrue(value));
  } else {
    CContainerUI::SetAttribute(name, value);
  }
}

void CHorizontalLayoutUI::SetSepImmMode(bool immediate) {
  if (immediate_ == immediate) return;
  if ((button_state_ & UISTATE_CAPTURED) != 0 && !immediate_ && manager_ != nullptr) {
    manager_->RemovePostPaint(this);
  }
  immediate_ = immediate;
}

RECT CHorizontalLayoutUI::GetSeparatorRect(bool use_new_pos) const {
  const RECT base = (use_new_pos && (button_state_ & UISTATE_CAPTURED) != 0) ? new_pos_ : pos_;
  RECT rc = base;
  if (sep_size_ < 0) {
    rc.right = base.left - sep_size_;
  } else {
    rc.left = base.right - sep_size_;
  }
  return rc;
}

void CHorizontalLayoutUI::HandleEvent(ControlEventUI& event) {
  if (sep_size_ == 0) {
    CContainerUI::HandleEvent(event);
    return;
  }
  const bool dragging = (button_state_ & UISTATE_CAPTURED) != 0;
  if (event.Type == UIEVENT_BUTTONDOWN && IsEnabled()) {
    const RECT sep = GetSeparatorRect(false);
    if (::PtInRect(&sep, event.ptMouse)) {
      button_state_ |= UISTATE_CAPTURED;
      last_mouse_ = event.ptMouse;
      new_pos_ = pos_;
      if (!immediate_ && manager_ != nullptr) manager_->AddPostPaint(this);
      return;
    }
  } else if (event.Type == UIEVENT_BUTTONUP && dragging) {
    button_state_ &= ~UISTATE_CAPTURED;
    pos_ = new_pos_;
    if (!immediate_ && manager_ != nullptr) manager_->RemovePostPaint(this);
    MarkParentNeedsLayout();
    return;
  } else if (event.Type == UIEVENT_MOUSEMOVE && dragging) {
    const LONG delta = event.ptMouse.x - last_mouse_.x;
    last_mouse_ = event.ptMouse;
    const LONG x = event.ptMouse.x;
    if (sep_size_ >= 0) {
      if ((delta > 0 && x < new_pos_.right - sep_size_) || (delta < 0 && x > new_pos_.right)) return;
    } else {
      if ((delta > 0 && x < new_pos_.left) || (delta < 0 && x > new_pos_.left - sep_size_)) return;
    }
    RECT rc = new_pos_;
    if (sep_size_ >= 0) {
      rc.right += delta;
    } else {
      rc.left += delta;
    }
    const int size = rc.right - rc.left;
    const int current = new_pos_.right - new_pos_.left;
    if (size <= GetMinWidth()) {
      if (current <= GetMinWidth()) return;
      if (sep_size_ >= 0) rc.right = rc.left + GetMinWidth(); else rc.left = rc.right - GetMinWidth();
    }
    if (size >= GetMaxWidth()) {
      if (current >= GetMaxWidth()) return;
      if (sep_size_ >= 0) rc.right = rc.left + GetMaxWidth(); else rc.left = rc.right - GetMaxWidth();
    }
    RECT old_band = GetSeparatorRect(true);
    new_pos_ = rc;
    const int new_width = rc.right - rc.left;
    fixed_size_.cx = manager_ != nullptr ? manager_->GetDpiHelper()->Unscale(new_width) : new_width;
    if (immediate_) {
      pos_ = new_pos_;
      MarkParentNeedsLayout();
    } else if (manager_ != nullptr) {
      const RECT new_band = GetSeparatorRect(true);
      const RECT now_band = GetSeparatorRect(false);
      ::UnionRect(&old_band, &old_band, &new_band);
      ::UnionRect(&old_band, &old_band, &now_band);
      manager_->InvalidateRect(old_band);
    }
    return;
  } else if (event.Type == UIEVENT_SETCURSOR && IsEnabled()) {
    const RECT sep = GetSeparatorRect(false);
    if (::PtInRect(&sep, event.ptMouse)) {
      ::SetCursor(::LoadCursorW(nullptr, IDC_SIZEWE));
      return;
    }
  }
  CContainerUI::HandleEvent(event);
}

void CHorizontalLayoutUI::PaintAfterChildren(HDC dc, const RECT&) {
  if ((button_state_ & UISTATE_CAPTURED) != 0 && !immediate_) {
    CUiDrawEngine::FillColor(dc, GetSeparatorRect(true), 0xAA000000);
  }
}

}  // namespace SkinUI
