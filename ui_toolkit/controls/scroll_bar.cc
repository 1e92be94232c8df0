#include "ui_toolkit/controls/scroll_bar.h"

#include <algorithm>
#include <climits>
#include <cwchar>

#include "ui_toolkit/core/container.h"
#include "ui_toolkit/core/dpi_helper.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

constexpr DWORD kFallbackOutline = 0xFF85E4FF;

int ClampToInt(std::int64_t value) {
  return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

}  // namespace

CScrollBarUI::CScrollBarUI() { fixed_size_.cx = 16; }

CScrollBarUI::~CScrollBarUI() = default;

const wchar_t* CScrollBarUI::GetClassName() const { return L"ScrollBarUI"; }

void* CScrollBarUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"ScrollBar")) return static_cast<CScrollBarUI*>(this);
  return CControlUI::QueryInterfaceByName(name);
}

void CScrollBarUI::SetImage(CUiString& slot, const wchar_t* image) {
  slot = image;
  Invalidate();
}

void CScrollBarUI::SetHorizontal(bool horizontal) {
  if (horizontal_ == horizontal) return;
  horizontal_ = horizontal;
  if (horizontal_) {
    if (fixed_size_.cy == 0) fixed_size_ = SIZE{0, 16};
  } else {
    if (fixed_size_.cx == 0) fixed_size_ = SIZE{16, 0};
  }
  if (owner_ != nullptr) {
    owner_->MarkNeedsLayout();
  } else {
    MarkParentNeedsLayout();
  }
}

void CScrollBarUI::SetScrollRange(int range) {
  if (range_ == range) return;
  range_ = std::max(range, 0);
  if (position_ > range_) position_ = range_;
  SetPos(pos_, true);
}

void CScrollBarUI::SetScrollPos(int pos) {
  if (position_ == pos) return;
  position_ = std::clamp<std::int64_t>(pos, 0, range_);
  SetPos(pos_, true);
}

void CScrollBarUI::SetShowButton1(bool show) {
  show_button1_ = show;
  SetPos(pos_, true);
}

void CScrollBarUI::SetShowButton2(bool show) {
  show_button2_ = show;
  SetPos(pos_, true);
}

void CScrollBarUI::SetShowScrollBar(bool show) {
  shown_ = show;
  Invalidate();
}

void CScrollBarUI::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  focused_ = false;
}

void CScrollBarUI::SetEnabled(bool enabled) {
  CControlUI::SetEnabled(enabled);
  if (!IsEnabled()) {
    button1_state_ = 0;
    button2_state_ = 0;
    thumb_state_ = 0;
  }
}

void CScrollBarUI::SetFocus() {
  if (owner_ != nullptr) {
    owner_->SetFocus();
  } else {
    CControlUI::SetFocus();
  }
}

int CScrollBarUI::Thickness() const { return horizontal_ ? GetFixedHeight() : GetFixedWidth(); }

void CScrollBarUI::SetPos(RECT rc, bool invalidate) {
  CControlUI::SetPos(rc, invalidate);
  const RECT& r = pos_;
  const int t = Thickness();
  // Along the scroll axis "start" is top (vertical) or left (horizontal).
  const int start = horizontal_ ? r.left : r.top;
  const int end = horizontal_ ? r.right : r.bottom;
  const int across = horizontal_ ? r.top : r.left;
  const int length = end - start;
  const int track = length - (show_button1_ ? t : 0) - (show_button2_ ? t : 0);
  // Builds a rectangle from axis coordinates (a0..a1) and cross coordinates (c0..c1).
  const auto make = [this](int a0, int a1, int c0, int c1) {
    return horizontal_ ? RECT{a0, c0, a1, c1} : RECT{c0, a0, c1, a1};
  };
  if (track > t) {
    button1_rect_ = show_button1_ ? make(start, start + t, across, across + t) : make(start, start, across, across);
    button2_rect_ = show_button2_ ? make(end - t, end, across, across + t) : make(end, end, across, across);
    const int b1_end = show_button1_ ? start + t : start;
    const int b2_start = show_button2_ ? end - t : end;
    if (range_ <= 0) {
      thumb_rect_ = make(b1_end, b2_start, across, across + t);
    } else {
      int thumb = static_cast<int>(static_cast<std::int64_t>(track) * length / (length + range_));
      thumb = std::max(thumb, t);
      int offset = 0;
      if (horizontal_) {
        offset = static_cast<int>(static_cast<std::int64_t>(track - thumb) * position_ / range_);
      } else {
        offset = static_cast<int>(static_cast<float>(position_) / static_cast<float>(range_) * (track - thumb));
      }
      int top = b1_end + offset;
      if (top + thumb > b2_start) top = b2_start - thumb;
      thumb_rect_ = make(top, top + thumb, across, across + t);
    }
  } else {
    const int half = std::min(t, length / 2);
    button1_rect_ = show_button1_ ? make(start, start + half, across, across + t) : make(start, start, across, across);
    button2_rect_ = show_button2_ ? make(end - half, end, across, across + t) : make(end, end, across, across);
    thumb_rect_ = RECT{};
  }
}

int CScrollBarUI::ThumbTravel() const {
  // The track the thumb really moves on, in real pixels at any scale, so a
  // drag keeps the thumb under the mouse.
  const int t = Thickness();
  const int length = horizontal_ ? pos_.right - pos_.left : pos_.bottom - pos_.top;
  const int thumb = horizontal_ ? thumb_rect_.right - thumb_rect_.left : thumb_rect_.bottom - thumb_rect_.top;
  return length - thumb - (show_button1_ ? t : 0) - (show_button2_ ? t : 0);
}

void CScrollBarUI::LineBack() {
  if (owner_ != nullptr) {
    if (horizontal_) {
      owner_->LineLeft();
    } else {
      owner_->LineUp();
    }
  } else {
    SetScrollPos(ClampToInt(position_ - line_size_));
  }
}

void CScrollBarUI::LineForward() {
  if (owner_ != nullptr) {
    if (horizontal_) {
      owner_->LineRight();
    } else {
      owner_->LineDown();
    }
  } else {
    SetScrollPos(ClampToInt(position_ + line_size_));
  }
}

void CScrollBarUI::PageBack() {
  if (owner_ != nullptr) {
    if (horizontal_) {
      owner_->PageLeft();
    } else {
      owner_->PageUp();
    }
  } else {
    SetScrollPos(ClampToInt(position_ - (horizontal_ ? GetWidth() : GetHeight())));
  }
}

void CScrollBarUI::PageForward() {
  if (owner_ != nullptr) {
    if (horizontal_) {
      owner_->PageRight();
    } else {
      owner_->PageDown();
    }
  } else {
    SetScrollPos(ClampToInt(position_ + (horizontal_ ? GetWidth() : GetHeight())));
  }
}

int CScrollBarUI::SideOfThumb(POINT pt) const {
  const int at = horizontal_ ? pt.x : pt.y;
  const int thumb_start = horizontal_ ? thumb_rect_.left : thumb_rect_.top;
  const int thumb_end = horizontal_ ? thumb_rect_.right : thumb_rect_.bottom;
  if (at < thumb_start) return -1;
  if (at > thumb_end) return 1;
  return 0;
}

void CScrollBarUI::NotifyScroll() {
  if (manager_ != nullptr) manager_->SendNotify(this, L"scroll");
}

void CScrollBarUI::RouteToOwner(ControlEventUI& event) {
  if (owner_ != nullptr) {
    owner_->CContainerUI::HandleEvent(event);
  } else {
    CControlUI::HandleEvent(event);
  }
}

void CScrollBarUI::HandleEvent(ControlEventUI& event) {
  if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
    RouteToOwner(event);
    return;
  }
  switch (event.Type) {
    case UIEVENT_KILLFOCUS:
    case UIEVENT_SETFOCUS:
    case UIEVENT_CONTEXTMENU:
      return;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK: {
      if (!IsEnabled()) return;
      drag_offset_ = 0;
      ticks_ = 0;
      repeating_ = true;
      if (manager_ != nullptr) manager_->SetTimer(this, kRepeatTimerId, kRepeatElapse);
      const POINT pt = event.ptMouse;
      if (::PtInRect(&button1_rect_, pt)) {
        button1_state_ |= UISTATE_PUSHED;
        LineBack();
      } else if (::PtInRect(&button2_rect_, pt)) {
        button2_state_ |= UISTATE_PUSHED;
        LineForward();
      } else if (::PtInRect(&thumb_rect_, pt)) {
        thumb_state_ |= UISTATE_PUSHED | UISTATE_CAPTURED;
        last_mouse_ = pt;
        position_at_drag_ = static_cast<int>(position_);
      } else {
        const int side = SideOfThumb(pt);
        if (side < 0) {
          PageBack();
        } else if (side > 0) {
          PageForward();
        }
      }
      // The pushed part must show even when nothing moved.
      Invalidate();
      NotifyScroll();
      return;
    }
    case UIEVENT_BUTTONUP: {
      drag_offset_ = 0;
      ticks_ = 0;
      repeating_ = false;
      if (manager_ != nullptr) manager_->KillTimer(this, kRepeatTimerId);
      bool cleared = true;
      if ((thumb_state_ & UISTATE_CAPTURED) != 0) {
        thumb_state_ &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
      } else if ((button1_state_ & UISTATE_PUSHED) != 0) {
        button1_state_ &= ~UISTATE_PUSHED;
      } else if ((button2_state_ & UISTATE_PUSHED) != 0) {
        button2_state_ &= ~UISTATE_PUSHED;
      } else {
        cleared = false;
      }
      if (cleared) Invalidate();
      return;
    }
    case UIEVENT_MOUSEMOVE: {
      if ((thumb_state_ & UISTATE_CAPTURED) != 0) {
        const int moved = horizontal_ ? event.ptMouse.x - last_mouse_.x : event.ptMouse.y - last_mouse_.y;
        const int travel = ThumbTravel();
        if (travel != 0) {
          // Clamped rather than truncated: with a huge range a long drag
          // must reach the end, not wrap around to a negative offset.
          drag_offset_ = ClampToInt(static_cast<std::int64_t>(moved) * range_ / std::abs(travel));
        }
        return;
      }
      const bool inside = ::PtInRect(&thumb_rect_, event.ptMouse) != FALSE;
      if ((thumb_state_ & UISTATE_HOT) != 0 && !inside) {
        thumb_state_ &= ~UISTATE_HOT;
        Invalidate();
      } else if (IsEnabled() && (thumb_state_ & UISTATE_HOT) == 0 && inside) {
        thumb_state_ |= UISTATE_HOT;
        Invalidate();
      }
      return;
    }
    case UIEVENT_MOUSEENTER:
      if (!IsEnabled()) return;
      button1_state_ |= UISTATE_HOT;
      button2_state_ |= UISTATE_HOT;
      if (::PtInRect(&thumb_rect_, event.ptMouse)) thumb_state_ |= UISTATE_HOT;
      Invalidate();
      return;
    case UIEVENT_MOUSELEAVE:
      if (!IsEnabled()) return;
      button1_state_ &= ~UISTATE_HOT;
      button2_state_ &= ~UISTATE_HOT;
      thumb_state_ &= ~UISTATE_HOT;
      Invalidate();
      return;
    case UIEVENT_TIMER:
      if (event.wParam != kRepeatTimerId) break;
      // A tick left over from a released press must not page towards
      // wherever the cursor happens to be.
      if (!repeating_) return;
      ++ticks_;
      if ((thumb_state_ & UISTATE_CAPTURED) != 0) {
        const int target = ClampToInt(static_cast<std::int64_t>(position_at_drag_) + drag_offset_);
        if (owner_ != nullptr) {
          SIZE pos = owner_->GetScrollPos();
          if (horizontal_) {
            pos.cx = target;
          } else {
            pos.cy = target;
          }
          owner_->SetScrollPos(pos, true);
        } else {
          SetScrollPos(target);
        }
        Invalidate();
        NotifyScroll();
      } else if ((button1_state_ & UISTATE_PUSHED) != 0) {
        if (ticks_ <= 5) return;
        LineBack();
        NotifyScroll();
      } else if (ticks_ > 5) {
        if ((button2_state_ & UISTATE_PUSHED) != 0) {
          LineForward();
        } else {
          POINT pt{};
          ::GetCursorPos(&pt);
          if (manager_ != nullptr) ::ScreenToClient(manager_->GetPaintWindow(), &pt);
          const int side = SideOfThumb(pt);
          if (side < 0) {
            PageBack();
          } else if (side > 0) {
            PageForward();
          }
        }
        NotifyScroll();
      }
      return;
    default:
      break;
  }
  RouteToOwner(event);
}

void CScrollBarUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  using attr::Equals;
  struct ImageAttribute {
    const wchar_t* name;
    CUiString StateImages::*slot;
    StateImages CScrollBarUI::*part;
  };
  static const ImageAttribute kImages[] = {
      {L"button1normalimage", &StateImages::normal, &CScrollBarUI::button1_images_},
      {L"button1hotimage", &StateImages::hot, &CScrollBarUI::button1_images_},
      {L"button1pushedimage", &StateImages::pushed, &CScrollBarUI::button1_images_},
      {L"button1disabledimage", &StateImages::disabled, &CScrollBarUI::button1_images_},
      {L"button2normalimage", &StateImages::normal, &CScrollBarUI::button2_images_},
      {L"button2hotimage", &StateImages::hot, &CScrollBarUI::button2_images_},
      {L"button2pushedimage", &StateImages::pushed, &CScrollBarUI::button2_images_},
      {L"button2disabledimage", &StateImages::disabled, &CScrollBarUI::button2_images_},
      {L"thumbnormalimage", &StateImages::normal, &CScrollBarUI::thumb_images_},
      {L"thumbhotimage", &StateImages::hot, &CScrollBarUI::thumb_images_},
      {L"thumbpushedimage", &StateImages::pushed, &CScrollBarUI::thumb_images_},
      {L"thumbdisabledimage", &StateImages::disabled, &CScrollBarUI::thumb_images_},
      {L"railnormalimage", &StateImages::normal, &CScrollBarUI::rail_images_},
      {L"railhotimage", &StateImages::hot, &CScrollBarUI::rail_images_},
      {L"railpushedimage", &StateImages::pushed, &CScrollBarUI::rail_images_},
      {L"raildisabledimage", &StateImages::disabled, &CScrollBarUI::rail_images_},
      {L"bknormalimage", &StateImages::normal, &CScrollBarUI::bk_images_},
      {L"bkhotimage", &StateImages::hot, &CScrollBarUI::bk_images_},
      {L"bkpushedimage", &StateImages::pushed, &CScrollBarUI::bk_images_},
      {L"bkdisabledimage", &StateImages::disabled, &CScrollBarUI::bk_images_},
  };
  for (const ImageAttribute& a : kImages) {
    if (Equals(name, a.name)) {
      SetImage(this->*a.part.*a.slot, value);
      return;
    }
  }
  if (Equals(name, L"hor")) {
    SetHorizontal(attr::IsTrue(value));
  } else if (Equals(name, L"linesize")) {
    SetLineSize(attr::ParseInt(value));
  } else if (Equals(name, L"range")) {
    SetScrollRange(attr::ParseInt(value));
  } else if (Equals(name, L"value")) {
    SetScrollPos(attr::ParseInt(value));
  } else if (Equals(name, L"showbutton1")) {
    SetShowButton1(attr::IsTrue(value));
  } else if (Equals(name, L"showbutton2")) {
    SetShowButton2(attr::IsTrue(value));
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

bool CScrollBarUI::PaintPart(HDC dc, const StateImages& images, std::uint32_t state, const RECT& part) {
  const CUiString* image = nullptr;
  if ((state & UISTATE_DISABLED) != 0) {
    image = &images.disabled;
  } else if ((state & UISTATE_PUSHED) != 0) {
    image = &images.pushed;
  } else if ((state & UISTATE_HOT) != 0) {
    image = &images.hot;
  }
  // Image descriptions scale their dest themselves, so the part's place is
  // given back in unscaled units.
  const int scale = manager_ != nullptr ? manager_->GetDpiHelper()->GetScale() : 100;
  const auto unscale = [scale](LONG v) { return ::MulDiv(v, 100, scale); };
  wchar_t text[96];
  swprintf(text, 96, L"dest='%d,%d,%d,%d'", unscale(part.left - pos_.left), unscale(part.top - pos_.top),
           unscale(part.right - pos_.left), unscale(part.bottom - pos_.top));
  modifier_ = text;
  if (image != nullptr && !image->IsEmpty() && DrawImage(dc, image->GetData(), modifier_.GetData())) return true;
  return !images.normal.IsEmpty() && DrawImage(dc, images.normal.GetData(), modifier_.GetData());
}

bool CScrollBarUI::PaintContent(HDC dc, const RECT&, CControlUI*) {
  if (!shown_) return true;
  PaintBackgroundColor(dc);
  PaintBackgroundImage(dc);
  const std::uint32_t disabled = IsEnabled() ? 0u : static_cast<std::uint32_t>(UISTATE_DISABLED);
  const auto with_enabled = [disabled](std::uint32_t& state) {
    state = (state & ~UISTATE_DISABLED) | disabled;
    return state;
  };

  const std::uint32_t bk_state = with_enabled(thumb_state_);
  const CUiString* bk = &bk_images_.normal;
  if ((bk_state & UISTATE_DISABLED) != 0) {
    bk = &bk_images_.disabled;
  } else if ((bk_state & UISTATE_PUSHED) != 0) {
    bk = &bk_images_.pushed;
  } else if ((bk_state & UISTATE_HOT) != 0) {
    bk = &bk_images_.hot;
  }
  if (bk->IsEmpty() || !DrawImage(dc, bk->GetData())) {
    if (!bk_images_.normal.IsEmpty()) DrawImage(dc, bk_images_.normal.GetData());
  }

  const int outline = 2;
  if (show_button1_ && !PaintPart(dc, button1_images_, with_enabled(button1_state_), button1_rect_)) {
    CUiDrawEngine::DrawRect(dc, button1_rect_, outline, kFallbackOutline);
  }
  if (show_button2_ && !PaintPart(dc, button2_images_, with_enabled(button2_state_), button2_rect_)) {
    CUiDrawEngine::DrawRect(dc, button2_rect_, outline, kFallbackOutline);
  }
  const RECT empty{};
  if (!::EqualRect(&thumb_rect_, &empty)) {
    const std::uint32_t state = with_enabled(thumb_state_);
    if (!PaintPart(dc, thumb_images_, state, thumb_rect_)) {
      CUiDrawEngine::DrawRect(dc, thumb_rect_, outline, kFallbackOutline);
    }
    // The grip: as long as the bar is thick, centred on the thumb.
    const int t = Thickness();
    RECT rail = thumb_rect_;
    if (horizontal_) {
      const int centre = (thumb_rect_.left + thumb_rect_.right) / 2;
      rail.left = centre - t / 2;
      rail.right = rail.left + t;
    } else {
      const int centre = (thumb_rect_.top + thumb_rect_.bottom) / 2;
      rail.top = centre - t / 2;
      rail.bottom = rail.top + t;
    }
    PaintPart(dc, rail_images_, state, rail);
  }
  PaintBorder(dc);
  return true;
}

}  // namespace SkinUI
