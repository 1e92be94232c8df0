#include "ui_toolkit/controls/fade_button.h"

#include <cwchar>

#include "ui_toolkit/core/image_draw_spec.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {

CFadeButtonUI::CFadeButtonUI() : CUIAnimation(this) {}

// The jobs' timers belong to this control: none may tick on after it is gone.
CFadeButtonUI::~CFadeButtonUI() { StopAnimation(0); }

const wchar_t* CFadeButtonUI::GetClassName() const { return L"FadeButtonUI"; }

void* CFadeButtonUI::QueryInterfaceByName(const wchar_t* name) {
  if (name != nullptr && std::wcscmp(name, L"FadeButton") == 0) return static_cast<CFadeButtonUI*>(this);
  return CButtonUI::QueryInterfaceByName(name);
}

void CFadeButtonUI::SetNormalImage(const wchar_t* description) {
  CButtonUI::SetNormalImage(description);
  last_image_ = description;
}

void CFadeButtonUI::SetEnabled(bool enabled) {
  CButtonUI::SetEnabled(enabled);
  // A disabled button takes no mouse leave, so a fade left running (or its
  // hot end) would outlast the hover it stood for.
  if (!IsEnabled()) SettleFade();
}

void CFadeButtonUI::StartFade(bool fade_in) {
  fade_ = 0;
  // Only the latest crossing counts: an enter and a leave that both come
  // before the next paint must not leave the older one to win at that paint.
  fade_in_pending_ = fade_in;
  fade_out_pending_ = !fade_in;
  StopAnimation(fade_in ? kFadeOutId : kFadeInId);
  StartAnimation(kFadeElapse, kFadeFrames, fade_in ? kFadeInId : kFadeOutId);
  Invalidate();
}

void CFadeButtonUI::SettleFade() {
  if (IsAnimationRunning(kFadeInId) || fade_in_pending_) {
    last_image_ = hot_image_;
  } else if (IsAnimationRunning(kFadeOutId) || fade_out_pending_) {
    last_image_ = normal_image_;
  }
  fade_in_pending_ = false;
  fade_out_pending_ = false;
  StopAnimation(kFadeInId);
  StopAnimation(kFadeOutId);
}

void CFadeButtonUI::HandleEvent(ControlEventUI& event) {
  if (event.Type == UIEVENT_TIMER) {
    OnAnimationTimer(static_cast<int>(event.wParam));
  } else if (event.Type == UIEVENT_MOUSEENTER && IsEnabled() && !IsAnimationRunning(kFadeInId)) {
    StartFade(true);
    return;
  } else if (event.Type == UIEVENT_MOUSELEAVE) {
    if (IsEnabled()) {
      if (!IsAnimationRunning(kFadeOutId)) {
        StartFade(false);
        return;
      }
    } else {
      // Left while disabled: straight back to the normal image, nothing to fade.
      SettleFade();
      last_image_ = normal_image_;
    }
  }
  CButtonUI::HandleEvent(event);
}

void CFadeButtonUI::OnAnimationStep(int total_frames, int current_frame, int) {
  if (total_frames < 1) return;
  fade_ = static_cast<BYTE>(current_frame * 255 / total_frames);
  if (fade_ == 0) fade_ = 10;
  Invalidate();
}

bool CFadeButtonUI::CanDraw(const CUiString& description) {
  if (description.IsEmpty() || manager_ == nullptr) return false;
  const ImageDrawSpecUI* spec = manager_->GetImageDrawSpec(description.GetData());
  if (spec == nullptr || spec->sImageName.IsEmpty()) return false;
  return manager_->GetOrAddImage(spec->sImageName.GetData(), spec->sResType.GetData(), spec->dwMask, spec->bHSL,
                                 spec->bGdiplus) != nullptr;
}

void CFadeButtonUI::PaintStateImage(HDC dc) {
  if (IsFocused()) {
    button_state_ |= UISTATE_FOCUSED;
  } else {
    button_state_ &= ~UISTATE_FOCUSED;
  }
  if (IsEnabled()) {
    button_state_ &= ~UISTATE_DISABLED;
  } else {
    button_state_ |= UISTATE_DISABLED;
  }
  const CUiString* state = nullptr;
  if ((button_state_ & UISTATE_DISABLED) != 0) {
    state = &disabled_image_;
  } else if ((button_state_ & UISTATE_PUSHED) != 0) {
    state = &pushed_image_;
  } else if ((button_state_ & UISTATE_FOCUSED) != 0) {
    state = &focused_image_;
  }
  if (state != nullptr && !state->IsEmpty() && DrawImage(dc, state->GetData())) return;
  if (normal_image_.IsEmpty()) return;
  // A disabled button without its own image looks as a plain button does:
  // normal, whatever the hover did.
  if ((button_state_ & UISTATE_DISABLED) != 0) {
    DrawImage(dc, normal_image_.GetData());
    return;
  }
  if (fade_in_pending_) last_image_ = hot_image_;
  if (fade_out_pending_) last_image_ = normal_image_;
  fade_in_pending_ = false;
  fade_out_pending_ = false;
  const bool fading_in = IsAnimationRunning(kFadeInId);
  const bool fading_out = IsAnimationRunning(kFadeOutId);
  // Without a hot image that loads there is nothing to fade to: fading the
  // normal image out would leave the button blank until the fade ends.
  if ((fading_in || fading_out) && CanDraw(hot_image_)) {
    from_image_ = fading_out ? hot_image_ : normal_image_;
    to_image_ = fading_out ? normal_image_ : hot_image_;
    CUiString modifier;
    modifier.Format(L"fade='%d'", 255 - fade_);
    DrawImage(dc, from_image_.GetData(), modifier.GetData());
    modifier.Format(L"fade='%d'", static_cast<int>(fade_));
    DrawImage(dc, to_image_.GetData(), modifier.GetData());
    return;
  }
  const CUiString& image = last_image_.IsEmpty() ? normal_image_ : last_image_;
  // A hot image that does not load falls back to the normal one, as on a plain button.
  if (!DrawImage(dc, image.GetData()) && !(image == normal_image_)) DrawImage(dc, normal_image_.GetData());
}

}  // namespace SkinUI
