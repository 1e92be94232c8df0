#include "ui_toolkit/controls/roll_text.h"

#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {
constexpr int kMeasureReach = 10000;
}  // namespace

CRollTextUI::CRollTextUI() = default;

CRollTextUI::~CRollTextUI() {
  if (manager_ != nullptr) {
    manager_->KillTimer(this, kRollTimerId);
    manager_->KillTimer(this, kEndTimerId);
  }
}

const wchar_t* CRollTextUI::GetClassName() const { return L"RollTextUI"; }

void* CRollTextUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"RollText")) return static_cast<CRollTextUI*>(this);
  return CLabelUI::QueryInterfaceByName(name);
}

void CRollTextUI::SetText(const wchar_t* text) {
  CLabelUI::SetText(text);
  extent_ = 0;
}

void CRollTextUI::SetRollRect(RECT rc) {
  CControlUI::SetPos(rc, true);
  extent_ = 0;
}

bool CRollTextUI::BeginRoll(int direction, int step, UINT interval_ms, UINT duration_ms) {
  if (manager_ == nullptr || direction < ROLLTEXT_LEFT || direction > ROLLTEXT_DOWN || interval_ms == 0) return false;
  EndRoll();
  direction_ = direction;
  step_ = step;
  if (!manager_->SetTimer(this, kRollTimerId, interval_ms)) return false;
  if (duration_ms > 0 && !manager_->SetTimer(this, kEndTimerId, duration_ms)) {
    manager_->KillTimer(this, kRollTimerId);
    return false;
  }
  rolling_ = true;
  return true;
}

void CRollTextUI::EndRoll() {
  if (manager_ != nullptr) {
    manager_->KillTimer(this, kRollTimerId);
    manager_->KillTimer(this, kEndTimerId);
  }
  rolling_ = false;
  offset_ = 0;
  Invalidate();
}

void CRollTextUI::HandleEvent(ControlEventUI& event) {
  if (event.Type == UIEVENT_TIMER && event.wParam == kRollTimerId) {
    Invalidate();
    return;
  }
  if (event.Type == UIEVENT_TIMER && event.wParam == kEndTimerId) {
    if (manager_ != nullptr) {
      manager_->KillTimer(this, kEndTimerId);
      manager_->SendNotify(this, L"textrollend");
    }
    return;
  }
  CLabelUI::HandleEvent(event);
}

void CRollTextUI::PaintText(HDC dc) {
  last_text_rect_ = RECT{};
  const CUiString text = GetText();
  if (text.IsEmpty() || manager_ == nullptr) return;
  ResolveDefaultColors();
  const DWORD color = IsEnabled() ? text_color_ : disabled_text_color_;
  const RECT pad = GetTextPadding();
  const RECT box{pos_.left + pad.left, pos_.top + pad.top, pos_.right - pad.right, pos_.bottom - pad.bottom};
  RECT rc = box;
  const bool horizontal = direction_ == ROLLTEXT_LEFT || direction_ == ROLLTEXT_RIGHT;
  const UINT style = DT_WORDBREAK | DT_EDITCONTROL;
  if (extent_ <= 0) {
    // The first paint only measures: the text's length along the roll.
    if (horizontal) {
      rc.right += kMeasureReach;
    } else {
      rc.bottom += kMeasureReach;
    }
    DrawLabelText(dc, rc, text, color, font_, style | DT_CALCRECT);
    extent_ = horizontal ? rc.right - rc.left : rc.bottom - rc.top;
    if (extent_ <= 0) extent_ = 1;
    return;
  }
  int span = 0;
  if (horizontal) {
    const int width = box.right - box.left;
    span = width + extent_;
    const int shift = direction_ == ROLLTEXT_LEFT ? width - offset_ : -width + offset_;
    rc.left += shift;
    rc.right = rc.left + extent_;
  } else {
    const int height = box.bottom - box.top;
    span = height + extent_;
    const int shift = direction_ == ROLLTEXT_UP ? height - offset_ : -height + offset_;
    rc.top += shift;
    rc.bottom = rc.top + extent_;
  }
  offset_ += step_;
  if (offset_ > span) offset_ = 0;
  // The text travels in from outside the box: it must not be drawn over
  // the neighbours it passes.
  CUiClipScope clip;
  CUiClipScope::Begin(dc, box, clip);
  last_text_rect_ = rc;
  DrawLabelText(dc, rc, text, color, font_, style);
}

}  // namespace SkinUI
