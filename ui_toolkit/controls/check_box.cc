#include "ui_toolkit/controls/check_box.h"

#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {

const wchar_t* CCheckBoxUI::GetClassName() const { return L"CheckBoxUI"; }

void* CCheckBoxUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"CheckBox")) return static_cast<CCheckBoxUI*>(this);
  return COptionUI::QueryInterfaceByName(name);
}

void CCheckBoxUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (attr::Equals(name, L"EnableAutoCheck")) auto_check_ = attr::IsTrue(value);
  COptionUI::SetAttribute(name, value);
}

void CCheckBoxUI::Selected(bool selected, bool notify) {
  if (selected_ == selected) return;
  selected_ = selected;
  if (selected_) {
    button_state_ |= UISTATE_SELECTED;
  } else {
    button_state_ &= ~UISTATE_SELECTED;
  }
  if (manager_ != nullptr) {
    if (!group_.IsEmpty()) {
      if (!selected_) {
        Invalidate();
        return;
      }
      CUiPtrArray* members = manager_->GetOptionGroup(group_.GetData());
      for (int i = 0; members != nullptr && i < members->GetSize(); ++i) {
        auto* other = static_cast<COptionUI*>(members->GetAt(i));
        if (other != this) other->Selected(false, notify);
      }
    }
    if (notify) manager_->SendNotify(this, L"selectchanged", selected_ ? 1 : 0);
  }
  Invalidate();
}

void CCheckBoxUI::HandleEvent(ControlEventUI& event) {
  if (!IsMouseEnabled() && IsMouseEvent(event.Type) && parent_ != nullptr) {
    parent_->HandleEvent(event);
    return;
  }
  if (auto_check_ && (event.Type == UIEVENT_BUTTONDOWN || event.Type == UIEVENT_DBLCLICK)) {
    if (::PtInRect(&pos_, event.ptMouse) && IsEnabled()) {
      Selected(!selected_, true);
      if (manager_ != nullptr) manager_->SendNotify(this, L"checkclick", 0);
      Invalidate();
    }
    return;
  }
  COptionUI::HandleEvent(event);
}

}  // namespace SkinUI
