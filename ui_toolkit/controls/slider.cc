#include "ui_toolkit/controls/slider.h"

#include <cstdint>

#include "ui_toolkit/core/dpi_helper.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {

CSliderUI::CSliderUI() { text_style_ = DT_SINGLELINE | DT_CENTER; }

CSliderUI::~CSliderUI() = default;

const wchar_t* CSliderUI::GetClassName() const { return L"SliderUI"; }

void* CSliderUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"Slider")) return static_cast<CSliderUI*>(this);
  return CProgressUI::QueryInterfaceByName(name);
}

void CSliderUI::SetEnabled(bool enabled) {
  CProgressUI::SetEnabled(enabled);
  if (!enabled) thumb_state_ = 0;
}

void CSliderUI::SetValue(int value) {
  if ((thumb_state_ & UISTATE_CAPTURED) != 0) return;
  CProgressUI::SetValue(value);
}

void CSliderUI::SetThumbSize(SIZE size) {
  thumb_size_ = size;
  Invalidate();
}

void CSliderUI::SetThumbImage(const wchar_t* description) {
  thumb_image_ = description;
  Invalidate();
}
void CSliderUI::SetThumbHotImage(const wchar_t* description) {
  thumb_hot_image_ = description;
  Invalidate();
}
void CSliderUI::SetThumbPushedImage(const wchar_t* description) {
  thumb_pushed_image_ = description;
  Invalidate();
}

SIZE CSliderUI::ScaledThumbSize() const { return ScaleSizeValue(thumb_size_); }

RECT CSliderUI::GetThumbRect() const {
  const SIZE thumb = ScaledThumbSize();
  const RECT& r = pos_;
  // A range of zero (or a reversed one) leaves the thumb at the minimum's
  // end instead of dividing by zero; 64 bits keep wide ranges exact.
  const std::int64_t span = static_cast<std::int64_t>(GetMaxValue()) - GetMinValue();
  const std::int64_t v = span > 0 ? static_cast<std::int64_t>(GetValue()) - GetMinValue() : 0;
  const std::int64_t s = span > 0 ? span : 1;
  RECT rc{};
  if (IsHorizontal()) {
    rc.left = r.left + static_cast<LONG>((static_cast<std::int64_t>(r.right - r.left) - thumb.cx) * v / s);
    rc.top = (r.top + r.bottom - thumb.cy) / 2;
  } else {
    rc.left = (r.left + r.right - thumb.cx) / 2;
    rc.top = r.bottom - static_cast<LONG>((static_cast<std::int64_t>(r.bottom - r.top) - thumb.cy) * v / s) -
             thumb.cy;
  }
  rc.right = rc.left + thumb.cx;
  rc.bottom = rc.top + thumb.cy;
  return rc;
}

int CSliderUI::ValueFromPoint(POINT pt, bool exact) const {
  // The track is measured with the thumb as it is drawn (scaled), so that the
  // value under the thumb's centre is the value the thumb shows.
  const SIZE thumb = ScaledThumbSize();
  const int min = GetMinValue();
  const int max = GetMaxValue();
  const std::int64_t span = static_cast<std::int64_t>(max) - min;
  const bool horizontal = IsHorizontal();
  const int extent = horizontal ? pos_.right - pos_.left : pos_.bottom - pos_.top;
  const int size = horizontal ? thumb.cx : thumb.cy;
  const int half = size / 2;
  // Distance from the minimum's end of the track.
  std::int64_t along = 0;
  if (horizontal) {
    if (pt.x >= pos_.right - half) return max;
    if (pt.x <= pos_.left + half) return min;
    along = pt.x - (pos_.left + half);
  } else {
    if (pt.y >= pos_.bottom - half) return min;
    if (pt.y <= pos_.top + half) return max;
    along = (pos_.bottom - half) - pt.y;
  }
  const int track = extent - size;
  if (track <= 0 || span <= 0) return min;
  std::int64_t value = 0;
  if (exact) {
    value = min + along * span / track;
  } else {
    value = min + static_cast<std::int64_t>(static_cast<float>(along) * static_cast<float>(span) /
                                            static_cast<float>(track));
  }
  if (value > max) value = max;
  if (value < min) value = min;
  return static_cast<int>(value);
}

void CSliderUI::HandleEvent(ControlEventUI& event) {
  if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
    if (parent_ != nullptr) {
      parent_->HandleEvent(event);
    } else {
      CLabelUI::HandleEvent(event);
    }
    return;
  }
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
      if (IsEnabled()) {
        thumb_state_ |= UISTATE_CAPTURED;
        const int value = ValueFromPoint(event.ptMouse, false);
        if (value != GetValue()) CProgressUI::SetValue(value);
        UpdateText();
      }
      return;
    case UIEVENT_BUTTONUP:
    case UIEVENT_RBUTTONUP:
      if (IsEnabled()) {
        thumb_state_ &= ~UISTATE_CAPTURED;
        const int value = ValueFromPoint(event.ptMouse, true);
        if (value <= GetMaxValue() && value >= GetMinValue()) {
          CProgressUI::SetValue(value);
          if (manager_ != nullptr) manager_->SendNotify(this, L"valuechanged");
          Invalidate();
        }
        UpdateText();
      }
      return;
    case UIEVENT_CONTEXTMENU:
      return;
    case UIEVENT_SCROLLWHEEL:
      if (IsEnabled()) {
        const WORD code = LOWORD(event.wParam);
        if (code == 0 || code == 1) {
          const std::int64_t next = static_cast<std::int64_t>(GetValue()) + (code == 0 ? step_ : -step_);
          // A step past either end is simply not taken (no 32-bit wrap).
          if (next >= INT32_MIN && next <= INT32_MAX) SetValue(static_cast<int>(next));
          if (manager_ != nullptr) manager_->SendNotify(this, L"valuechanged");
          return;
        }
      }
      break;
    case UIEVENT_MOUSEMOVE:
      if ((thumb_state_ & UISTATE_CAPTURED) != 0) {
        CProgressUI::SetValue(ValueFromPoint(event.ptMouse, false));
        if (send_move_) {
          UpdateText();
          if (manager_ != nullptr) manager_->SendNotify(this, L"movevaluechanged");
        }
        Invalidate();
      }
      {
        const RECT thumb = GetThumbRect();
        if (IsEnabled() && ::PtInRect(&thumb, event.ptMouse)) {
          thumb_state_ |= UISTATE_HOT;
        } else {
          thumb_state_ &= ~UISTATE_HOT;
        }
      }
      Invalidate();
      return;
    case UIEVENT_SETCURSOR:
      if (IsEnabled()) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        return;
      }
      break;
    case UIEVENT_MOUSELEAVE:
      if (IsEnabled()) {
        thumb_state_ &= ~UISTATE_HOT;
        Invalidate();
      }
      return;
    default:
      break;
  }
  CControlUI::HandleEvent(event);
}

void CSliderUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  using attr::Equals;
  if (Equals(name, L"thumbimage")) {
    SetThumbImage(value);
  } else if (Equals(name, L"thumbhotimage")) {
    SetThumbHotImage(value);
  } else if (Equals(name, L"thumbpushedimage")) {
    SetThumbPushedImage(value);
  } else if (Equals(name, L"thumbsize")) {
    SetThumbSize(attr::ParseSize(value));
  } else if (Equals(name, L"step")) {
    SetChangeStep(attr::ParseInt(value));
  } else if (Equals(name, L"sendmove")) {
    SetCanSendMove(attr::IsTrue(value));
  } else {
    CProgressUI::SetAttribute(name, value);
  }
}

void CSliderUI::PaintForegroundImage(HDC dc) {
  CProgressUI::PaintForegroundImage(dc);
  RECT thumb = GetThumbRect();
  ::OffsetRect(&thumb, -pos_.left, -pos_.top);
  if (manager_ != nullptr) manager_->GetDpiHelper()->UnscaleRect(&thumb);
  modifier_.Format(L"dest='%d,%d,%d,%d'", thumb.left, thumb.top, thumb.right, thumb.bottom);
  if ((thumb_state_ & UISTATE_CAPTURED) != 0 && !thumb_pushed_image_.IsEmpty() &&
      DrawImage(dc, thumb_pushed_image_.GetData(), modifier_.GetData())) {
    return;
  }
  if ((thumb_state_ & UISTATE_HOT) != 0 && !thumb_hot_image_.IsEmpty() &&
      DrawImage(dc, thumb_hot_image_.GetData(), modifier_.GetData())) {
    return;
  }
  if (!thumb_image_.IsEmpty()) DrawImage(dc, thumb_image_.GetData(), modifier_.GetData());
}

}  // namespace SkinUI
