#include "ui_toolkit/controls/list_check_box.h"

#include "ui_toolkit/core/control.h"
#include "ui_toolkit/core/draw_engine.h"

namespace SkinUI {
namespace {

bool DrawInto(HDC dc, CControlUI* owner, const RECT& box, const RECT& paint, const CUiString& image) {
  if (image.IsEmpty()) return false;
  return CUiDrawEngine::DrawImageString(dc, owner->GetManager(), box, paint, image.GetData());
}

}  // namespace

bool ListCheckBoxUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  using attr::Equals;
  if (Equals(name, L"checkboxwidth")) {
    const int w = attr::ParseInt(value);
    if (w >= 0) width = w;
  } else if (Equals(name, L"checkboxheight")) {
    const int h = attr::ParseInt(value);
    if (h >= 0) height = h;
  } else if (Equals(name, L"checkboxnormalimage")) {
    normal_image = value;
  } else if (Equals(name, L"checkboxhotimage")) {
    hot_image = value;
  } else if (Equals(name, L"checkboxpushedimage")) {
    pushed_image = value;
  } else if (Equals(name, L"checkboxfocusedimage")) {
    focused_image = value;
  } else if (Equals(name, L"checkboxdisabledimage")) {
    disabled_image = value;
  } else if (Equals(name, L"checkboxselectedimage")) {
    selected_image = value;
  } else if (Equals(name, L"checkboxforeimage")) {
    fore_image = value;
  } else {
    return false;
  }
  return true;
}

RECT ListCheckBoxUI::BoxIn(const RECT& item, int w, int h) const {
  const LONG left = item.left + 6;
  const LONG top = item.top + (item.bottom - item.top - h) / 2;
  return RECT{left, top, left + w, top + h};
}

bool ListCheckBoxUI::Paint(HDC dc, CControlUI* owner, const RECT& box, const RECT& paint, bool focused,
                           bool enabled) {
  // The pushed look is never shown: the box shows its result, not the press.
  state &= ~UISTATE_PUSHED;
  if (checked && DrawInto(dc, owner, box, paint, selected_image)) {
    DrawInto(dc, owner, box, paint, fore_image);
    return false;
  }
  if (focused) {
    state |= UISTATE_FOCUSED;
  } else {
    state &= ~UISTATE_FOCUSED;
  }
  if (!enabled) {
    state |= UISTATE_DISABLED;
  } else {
    state &= ~UISTATE_DISABLED;
  }
  const CUiString* chosen = nullptr;
  if ((state & UISTATE_DISABLED) != 0) {
    chosen = &disabled_image;
  } else if ((state & UISTATE_PUSHED) != 0) {
    chosen = &pushed_image;
  } else if ((state & UISTATE_HOT) != 0) {
    chosen = &hot_image;
  } else if ((state & UISTATE_FOCUSED) != 0) {
    chosen = &focused_image;
  }
  if (chosen != nullptr && DrawInto(dc, owner, box, paint, *chosen)) return true;
  if (DrawInto(dc, owner, box, paint, normal_image)) return true;
  DrawInto(dc, owner, box, paint, fore_image);
  return false;
}

}  // namespace SkinUI
