#include "ui_toolkit/core/vertical_layout.h"

#include <algorithm>

#include "ui_toolkit/core/dpi_helper.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

int ClampTo(int value, int low, int high) { return std::max(low, std::min(value, high)); }

}  // namespace

const wchar_t* CVerticalLayoutUI::GetClassName() const { return L"VerticalLayoutUI"; }

void* CVerticalLayoutUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"VerticalLayout")) return static_cast<CVerticalLayoutUI*>(this);
  return CContainerUI::QueryInterfaceByName(name);
}

UINT CVerticalLayoutUI::GetControlFlags() const { return (IsEnabled() && sep_size_ != 0) ? UIFLAG_SETCURSOR : 0; }

void CVerticalLayoutUI::SetPos(RECT rc, bool invalidate) {
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
  SIZE avail{inner.right - inner.left, inner.bottom - inner.top};
  if (hbar) avail.cx += range.cx;
  if (vbar) avail.cy += range.cy;
  int needed_width = 0;

  // Estimate: how much the fixed children need, how many stretch.
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
    const SIZE limit{std::min<int>(avail.cx - pad.left - pad.right, fw > 0 ? fw : c->GetMaxWidth()),
                     std::min<int>(avail.cy, fh > 0 ? fh : c->GetMaxHeight())};
    SIZE s = c->MeasureSize(limit);
    if (s.cy == 0) {
      ++stretch;
    } else {
      s.cy = ClampTo(s.cy, c->GetMinHeight(), std::max(c->GetMinHeight(), c->GetMaxHeight()));
    }
    fixed += pad.top + s.cy + pad.bottom;
    const int w = ClampTo(std::max<int>(s.cx, 0), c->GetMinWidth(), std::max(c->GetMinWidth(), c->GetMaxWidth()));
    needed_width = std::max<int>(needed_width, pad.left + w + pad.right);
  }
  if (n > 1) fixed += (n - 1) * p;
  const int share = stretch > 0 ? std::max<int>(0, (avail.cy - fixed) / stretch) : 0;

  int y = inner.top;
  if (vbar) {
    y -= scroll.cy;
  } else if (stretch == 0) {
    if (child_valign_ == DT_VCENTER) {
      y += (avail.cy - fixed) / 2;
    } else if (child_valign_ == DT_BOTTOM) {
      y += avail.cy - fixed;
    }
  }

  int remaining = avail.cy;
  int remaining_fixed = fixed;
  int placed = 0;
  int stretch_seen = 0;
  int needed_height = 0;
  for (int i = 0; i < items_.GetSize(); ++i) {
    auto* c = static_cast<CControlUI*>(items_.GetAt(i));
    if (!c->IsVisible()) continue;
    if (c->IsFloat()) {
      SetFloatChildPos(i);
      continue;
    }
    ++placed;
    const RECT pad = c->GetPadding();
    remaining -= pad.top;
    const int fw = c->GetFixedWidth();
    const int fh = c->GetFixedHeight();
    const SIZE limit{std::min<int>(avail.cx - pad.left - pad.right, fw > 0 ? fw : c->GetMaxWidth()),
                     std::min<int>(remaining, fh > 0 ? fh : c->GetMaxHeight())};
    remaining_fixed -= pad.top + pad.bottom;
    if (placed > 1) remaining_fixed -= p;
    const SIZE s = c->MeasureSize(limit);
    const int max_h = std::max(c->GetMinHeight(), c->GetMaxHeight());
    int height = 0;
    if (s.cy == 0) {
      ++stretch_seen;
      height = stretch_seen == stretch ? std::max<int>(0, remaining - remaining_fixed - pad.bottom) : share;
      height = ClampTo(height, c->GetMinHeight(), max_h);
    } else {
      height = ClampTo(s.cy, c->GetMinHeight(), max_h);
      remaining_fixed -= height;
    }
    int width = std::max<int>(s.cx, 0);
    if (width == 0) width = avail.cx - pad.left - pad.right;
    width = std::min<int>(width, limit.cx);
    width = std::max<int>(width, c->GetMinWidth());
    int left = 0;
    if (child_align_ == DT_CENTER) {
      const int middle = (inner.left + inner.right) / 2 + (hbar ? range.cx / 2 - scroll.cx : 0);
      left = middle - width / 2;
    } else if (child_align_ == DT_RIGHT) {
      left = inner.right + (hbar ? range.cx - scroll.cx : 0) - pad.right - width;
    } else {
      left = inner.left - (hbar ? scroll.cx : 0) + pad.left;
    }
    c->SetPos(RECT{left, y + pad.top, left + width, y + pad.top + height}, false);
    needed_height += height + pad.top + pad.bottom;
    y += height + pad.top + pad.bottom + p;
    remaining -= height + pad.bottom + p;
  }
  ProcessScrollBar(inner, needed_width, needed_height + (n > 0 ? (n - 1) * p : 0));
}

void CVerticalLayoutUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (attr::Equals(name, L"sepheight")) {
    SetSepHeight(attr::ParseInt(value));
  } else if (attr::Equals(name, L"sepimm")) {
    SetSepImmMode(attr::IsTrue(value));
  } else {
    CContainerUI::SetAttribute(name, value);
  }
}

void CVerticalLayoutUI::SetSepImmMode(bool immediate) {
  if (immediate_ == immediate) return;
  if ((button_state_ & UISTATE_CAPTURED) != 0 && !immediate_ && manager_ != nullptr) {
    manager_->RemovePostPaint(this);
  }
  immediate_ = immediate;
}

RECT CVerticalLayoutUI::GetSeparatorRect(bool use_new_pos) const {
  const RECT base = (use_new_pos && (button_state_ & UISTATE_CAPTURED) != 0) ? new_pos_ : pos_;
  RECT rc = base;
  if (sep_size_ < 0) {
    rc.bottom = std::min<LONG>(base.top - sep_size_, base.bottom);
  } else {
    rc.top = std::max<LONG>(base.bottom - sep_size_, base.top);
  }
  return rc;
}

void CVerticalLayoutUI::HandleEvent(ControlEventUI& event) {
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
    const LONG delta = event.ptMouse.y - last_mouse_.y;
    last_mouse_ = event.ptMouse;
    const LONG y = event.ptMouse.y;
    if (sep_size_ >= 0) {
      if ((delta > 0 && y < new_pos_.bottom + sep_size_) || (delta < 0 && y > new_pos_.bottom)) return;
    } else {
      if ((delta > 0 && y < new_pos_.top) || (delta < 0 && y > new_pos_.top + sep_size_)) return;
    }
    RECT rc = new_pos_;
    if (sep_size_ >= 0) {
      rc.bottom += delta;
    } else {
      rc.top += delta;
    }
    const int size = rc.bottom - rc.top;
    const int current = new_pos_.bottom - new_pos_.top;
    if (size <= GetMinHeight()) {
      if (current <= GetMinHeight()) return;
      if (sep_size_ >= 0) rc.bottom = rc.top + GetMinHeight(); else rc.top = rc.bottom - GetMinHeight();
    }
    if (size >= GetMaxHeight()) {
      if (current >= GetMaxHeight()) return;
      if (sep_size_ >= 0) rc.bottom = rc.top + GetMaxHeight(); else rc.top = rc.bottom - GetMaxHeight();
    }
    RECT old_band = GetSeparatorRect(true);
    new_pos_ = rc;
    const int new_height = rc.bottom - rc.top;
    fixed_size_.cy = manager_ != nullptr ? manager_->GetDpiHelper()->Unscale(new_height) : new_height;
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
      ::SetCursor(::LoadCursorW(nullptr, IDC_SIZENS));
      return;
    }
  }
  CContainerUI::HandleEvent(event);
}

void CVerticalLayoutUI::PaintAfterChildren(HDC dc, const RECT&) {
  if ((button_state_ & UISTATE_CAPTURED) != 0 && !immediate_) {
    CUiDrawEngine::FillColor(dc, GetSeparatorRect(true), 0xAA000000);
  }
}

}  // namespace SkinUI
