// A container's scrolling: its two bars, the scroll position they keep, the
// step operations, keys and wheel, and the bars' fit to the children's needs.
#include <algorithm>
#include <climits>

#include "ui_toolkit/controls/scroll_bar.h"
#include "ui_toolkit/core/container.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

// How often ProcessScrollBar may relayout inside one layout pass.
constexpr int kMaxScrollRelayouts = 4;

int ClampToInt(long long value) { return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX)); }

}  // namespace

SIZE CContainerUI::GetScrollPos() const {
  SIZE pos{};
  if (IsVerticalBarVisible()) pos.cy = vertical_bar_->GetScrollPos();
  if (IsHorizontalBarVisible()) pos.cx = horizontal_bar_->GetScrollPos();
  return pos;
}

SIZE CContainerUI::GetScrollRange() const {
  SIZE range{};
  if (IsVerticalBarVisible()) range.cy = vertical_bar_->GetScrollRange();
  if (IsHorizontalBarVisible()) range.cx = horizontal_bar_->GetScrollRange();
  return range;
}

void CContainerUI::SetScrollPos(SIZE pos, bool notify) {
  int dx = 0;
  int dy = 0;
  if (IsVerticalBarVisible()) {
    const int old = vertical_bar_->GetScrollPos();
    vertical_bar_->SetScrollPos(pos.cy);
    dy = vertical_bar_->GetScrollPos() - old;
  }
  if (IsHorizontalBarVisible()) {
    const int old = horizontal_bar_->GetScrollPos();
    horizontal_bar_->SetScrollPos(pos.cx);
    dx = horizontal_bar_->GetScrollPos() - old;
  }
  if (dx == 0 && dy == 0) return;
  {
    CPaintManagerUI::InvalidateBatch batch(manager_);
    for (int i = 0; i < items_.GetSize(); ++i) {
      auto* child = static_cast<CControlUI*>(items_.GetAt(i));
      if (!child->IsVisible() || child->IsFloat()) continue;
      RECT rc = child->GetPos();
      ::OffsetRect(&rc, -dx, -dy);
      child->SetPos(rc, true);
    }
    Invalidate();
  }
  if (vertical_bar_ && manager_ != nullptr && notify) {
    // A line size of 0 would divide by zero: one pixel is one line then.
    const int line = vertical_bar_->GetLineSize() > 0 ? vertical_bar_->GetLineSize() : 1;
    const long long lines = (static_cast<long long>(vertical_bar_->GetScrollPos()) + line) / line;
    manager_->SendNotify(this, L"scroll", static_cast<WPARAM>(lines), 0);
  }
}

void CContainerUI::SetScrollStepSize(int size) {
  if (size > 0) scroll_step_size_ = size;
}

int CContainerUI::GetScrollStepSize() const { return ScaleValue(scroll_step_size_); }

namespace {
int LineStep(const CContainerUI& container, CPaintManagerUI* manager) {
  const int step = container.GetScrollStepSize();
  if (step != 0) return step;
  return manager != nullptr ? manager->GetDefaultFontRecord()->tm.tmHeight + 8 : 8;
}
}  // namespace

void CContainerUI::LineUp() {
  SIZE pos = GetScrollPos();
  pos.cy = ClampToInt(static_cast<long long>(pos.cy) - LineStep(*this, manager_));
  SetScrollPos(pos);
}

void CContainerUI::LineDown() {
  SIZE pos = GetScrollPos();
  pos.cy = ClampToInt(static_cast<long long>(pos.cy) + LineStep(*this, manager_));
  SetScrollPos(pos);
}

void CContainerUI::PageUp() {
  SIZE pos = GetScrollPos();
  int page = GetHeight() - inset_.top - inset_.bottom;
  if (IsHorizontalBarVisible()) page -= horizontal_bar_->GetFixedHeight();
  pos.cy = ClampToInt(static_cast<long long>(pos.cy) - page);
  SetScrollPos(pos);
}

void CContainerUI::PageDown() {
  SIZE pos = GetScrollPos();
  int page = GetHeight() - inset_.top - inset_.bottom;
  if (IsHorizontalBarVisible()) page -= horizontal_bar_->GetFixedHeight();
  pos.cy = ClampToInt(static_cast<long long>(pos.cy) + page);
  SetScrollPos(pos);
}

void CContainerUI::HomeUp() {
  SIZE pos = GetScrollPos();
  pos.cy = 0;
  SetScrollPos(pos);
}

void CContainerUI::EndDown() {
  // A pending layout settles the range first.
  if (manager_ != nullptr) ::UpdateWindow(manager_->GetPaintWindow());
  SIZE pos = GetScrollPos();
  pos.cy = GetScrollRange().cy;
  SetScrollPos(pos);
}

void CContainerUI::LineLeft() {
  SIZE pos = GetScrollPos();
  const int step = GetScrollStepSize() != 0 ? GetScrollStepSize() : 8;
  pos.cx = ClampToInt(static_cast<long long>(pos.cx) - step);
  SetScrollPos(pos);
}

void CContainerUI::LineRight() {
  SIZE pos = GetScrollPos();
  const int step = GetScrollStepSize() != 0 ? GetScrollStepSize() : 8;
  pos.cx = ClampToInt(static_cast<long long>(pos.cx) + step);
  SetScrollPos(pos);
}

void CContainerUI::PageLeft() {
  SIZE pos = GetScrollPos();
  const RECT inset = GetInset();
  int page = GetWidth() - inset.left - inset.right;
  if (IsVerticalBarVisible()) page -= vertical_bar_->GetFixedWidth();
  pos.cx = ClampToInt(static_cast<long long>(pos.cx) - page);
  SetScrollPos(pos);
}

void CContainerUI::PageRight() {
  SIZE pos = GetScrollPos();
  const RECT inset = GetInset();
  int page = GetWidth() - inset.left - inset.right;
  if (IsVerticalBarVisible()) page -= vertical_bar_->GetFixedWidth();
  pos.cx = ClampToInt(static_cast<long long>(pos.cx) + page);
  SetScrollPos(pos);
}

void CContainerUI::HomeLeft() {
  SIZE pos = GetScrollPos();
  pos.cx = 0;
  SetScrollPos(pos);
}

void CContainerUI::EndRight() {
  if (manager_ != nullptr) ::UpdateWindow(manager_->GetPaintWindow());
  SIZE pos = GetScrollPos();
  pos.cx = GetScrollRange().cx;
  SetScrollPos(pos);
}

void CContainerUI::EnableScrollBar(bool vertical, bool horizontal) {
  if (vertical && !vertical_bar_) {
    vertical_bar_ = std::make_unique<CScrollBarUI>();
    vertical_bar_->SetOwner(this);
    vertical_bar_->SetManager(manager_, nullptr, false);
    if (manager_ != nullptr) {
      if (const wchar_t* defaults = manager_->FindDefaultAttributes(L"VScrollBar")) {
        vertical_bar_->ApplyAttributeString(defaults);
      }
      vertical_bar_->SetShowScrollBar(show_scrollbar_);
    }
  } else if (!vertical && vertical_bar_) {
    vertical_bar_.reset();
  }
  if (horizontal && !horizontal_bar_) {
    horizontal_bar_ = std::make_unique<CScrollBarUI>();
    horizontal_bar_->SetHorizontal(true);
    horizontal_bar_->SetOwner(this);
    horizontal_bar_->SetManager(manager_, nullptr, false);
    if (manager_ != nullptr) {
      if (const wchar_t* defaults = manager_->FindDefaultAttributes(L"HScrollBar")) {
        horizontal_bar_->ApplyAttributeString(defaults);
      }
      horizontal_bar_->SetShowScrollBar(show_scrollbar_);
    }
  } else if (!horizontal && horizontal_bar_) {
    horizontal_bar_.reset();
  }
  MarkNeedsLayout();
}

CScrollBarUI* CContainerUI::GetVerticalScrollBar() const { return vertical_bar_.get(); }
CScrollBarUI* CContainerUI::GetHorizontalScrollBar() const { return horizontal_bar_.get(); }

void CContainerUI::SetFixedScrollbar(bool fixed) {
  fixed_scrollbar_ = fixed;
  Invalidate();
}

void CContainerUI::SetShowScrollbar(bool show) {
  show_scrollbar_ = show;
  if (vertical_bar_) vertical_bar_->SetShowScrollBar(show);
  if (horizontal_bar_) horizontal_bar_->SetShowScrollBar(show);
}

bool CContainerUI::HandleScrollEvent(ControlEventUI& event) {
  if (event.Type != UIEVENT_KEYDOWN && event.Type != UIEVENT_SCROLLWHEEL) return false;
  const bool wheel = event.Type == UIEVENT_SCROLLWHEEL;
  const WPARAM key = event.chKey;
  const WORD wheel_dir = LOWORD(event.wParam);
  if (vertical_bar_ && vertical_bar_->IsVisible() && vertical_bar_->IsEnabled()) {
    if (wheel) {
      if (wheel_dir == 0) {
        LineUp();
        return true;
      }
      if (wheel_dir == 1) {
        LineDown();
        return true;
      }
    } else {
      switch (key) {
        case VK_PRIOR: PageUp(); return true;
        case VK_NEXT: PageDown(); return true;
        case VK_HOME: HomeUp(); return true;
        case VK_END: EndDown(); return true;
        case VK_UP: LineUp(); return true;
        case VK_DOWN: LineDown(); return true;
        default: break;
      }
    }
  }
  if (horizontal_bar_ && horizontal_bar_->IsVisible() && horizontal_bar_->IsEnabled()) {
    if (wheel) {
      if (wheel_dir == 0) {
        LineLeft();
        return true;
      }
      if (wheel_dir == 1) {
        LineRight();
        return true;
      }
    } else {
      switch (key) {
        case VK_PRIOR: PageLeft(); return true;
        case VK_NEXT: PageRight(); return true;
        case VK_HOME: HomeLeft(); return true;
        case VK_END: EndRight(); return true;
        case VK_UP: LineLeft(); return true;
        case VK_DOWN: LineRight(); return true;
        default: break;
      }
    }
  }
  return false;
}

void CContainerUI::ProcessScrollBar(RECT rc, int cx_required, int cy_required) {
  const bool may_relayout = scroll_relayout_depth_ < kMaxScrollRelayouts;
  const auto relayout = [this, may_relayout] {
    if (!may_relayout) return;
    ++scroll_relayout_depth_;
    SetPos(pos_, true);
    --scroll_relayout_depth_;
  };
  if (horizontal_bar_) {
    const long long overflow = static_cast<long long>(cx_required) - (rc.right - rc.left);
    if (overflow > 0 && !horizontal_bar_->IsVisible()) {
      horizontal_bar_->SetVisible(true);
      horizontal_bar_->SetScrollRange(ClampToInt(overflow));
      horizontal_bar_->SetScrollPos(0);
      relayout();
      return;
    }
    if (horizontal_bar_->IsVisible()) {
      if (overflow <= 0) {
        horizontal_bar_->SetVisible(false);
        horizontal_bar_->SetScrollPos(0);
        horizontal_bar_->SetScrollRange(0);
        relayout();
        return;
      }
      horizontal_bar_->SetPos(RECT{rc.left, rc.bottom, rc.right, rc.bottom + horizontal_bar_->GetFixedHeight()}, true);
      if (horizontal_bar_->GetScrollRange() != overflow) {
        const int old = horizontal_bar_->GetScrollPos();
        horizontal_bar_->SetScrollRange(ClampToInt(overflow));
        if (horizontal_bar_->GetScrollPos() != old) {
          relayout();
          return;
        }
      }
    }
  }
  if (vertical_bar_) {
    const long long overflow = static_cast<long long>(cy_required) - (rc.bottom - rc.top);
    if (overflow > 0 && !vertical_bar_->IsVisible()) {
      vertical_bar_->SetVisible(true);
      vertical_bar_->SetScrollRange(ClampToInt(overflow));
      vertical_bar_->SetScrollPos(0);
      relayout();
      return;
    }
    if (vertical_bar_->IsVisible()) {
      if (overflow <= 0) {
        vertical_bar_->SetVisible(false);
        vertical_bar_->SetScrollPos(0);
        vertical_bar_->SetScrollRange(0);
        relayout();
        return;
      }
      vertical_bar_->SetPos(RECT{rc.right, rc.top, rc.right + vertical_bar_->GetFixedWidth(), rc.bottom}, true);
      if (vertical_bar_->GetScrollRange() != overflow) {
        const int old = vertical_bar_->GetScrollPos();
        vertical_bar_->SetScrollRange(ClampToInt(overflow));
        if (vertical_bar_->GetScrollPos() != old) relayout();
      }
    }
  }
}

}  // namespace SkinUI
