#include "ui_toolkit/controls/animation_tab_layout.h"

#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {

CAnimationTabLayoutUI::CAnimationTabLayoutUI() : CUIAnimation(this) {}

const wchar_t* CAnimationTabLayoutUI::GetClassName() const { return L"AnimationTabLayoutUI"; }

void* CAnimationTabLayoutUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"AnimationTabLayout")) return static_cast<CAnimationTabLayoutUI*>(this);
  return CTabLayoutUI::QueryInterfaceByName(name);
}

bool CAnimationTabLayoutUI::SelectItem(int index) {
  if (index < 0 || index >= GetCount()) return false;
  if (index == current_) return true;
  sign_ = index > current_ ? -1 : 1;
  const int old = current_;
  current_ = index;
  for (int i = 0; i < GetCount(); ++i) {
    CControlUI* page = GetItemAt(i);
    if (i != index) {
      page->SetVisible(false);
      continue;
    }
    page->SetVisible(true);
    page->SetFocus();
    current_page_ = page;
    page_shown_ = false;
  }
  MarkParentNeedsLayout();
  // The page stays hidden until the slide's first frame shows it.
  if (current_page_ != nullptr) current_page_->SetVisible(false);
  StartSwitchAnimation();
  if (manager_ != nullptr) {
    manager_->SetNextTabControl();
    manager_->SendNotify(this, L"tabselect", static_cast<WPARAM>(current_), static_cast<LPARAM>(old));
  }
  return true;
}

bool CAnimationTabLayoutUI::Remove(CControlUI* control) {
  // A page removed during a slide must not be shown by a later frame.
  if (control != nullptr && control == current_page_) current_page_ = nullptr;
  return CTabLayoutUI::Remove(control);
}

void CAnimationTabLayoutUI::RemoveAll() {
  current_page_ = nullptr;
  CTabLayoutUI::RemoveAll();
}

void CAnimationTabLayoutUI::StartSwitchAnimation() {
  rest_pos_ = pos_;
  current_pos_ = rest_pos_;
  if (vertical_) {
    ::OffsetRect(&current_pos_, 0, -sign_ * (rest_pos_.bottom - rest_pos_.top));
  } else {
    // The page starts its width less 52 pixels away: left of its place for a
    // page before the old one, right of it for a page after.
    ::OffsetRect(&current_pos_, sign_ * (rest_pos_.left - rest_pos_.right + 52), 0);
  }
  StopAnimation(kSwitchAnimationId);
  StartAnimation(kSwitchElapse, kSwitchFrames, kSwitchAnimationId, false);
}

void CAnimationTabLayoutUI::OnAnimationStep(int total_frames, int current_frame, int) {
  if (!page_shown_) {
    if (current_page_ != nullptr) current_page_->SetVisible(true);
    page_shown_ = true;
  }
  if (current_frame < total_frames) {
    // Each move covers a fifteenth of the way from the start position back to
    // the rest position, so the page approaches its place without passing it.
    if (vertical_) {
      const int step = (rest_pos_.top - current_pos_.top) / (total_frames - current_frame);
      current_pos_.top += step;
      current_pos_.bottom += step;
    } else {
      const int step = (rest_pos_.left - current_pos_.left) / (total_frames - current_frame);
      current_pos_.left += step;
      current_pos_.right += step;
    }
  } else {
    current_pos_ = rest_pos_;
    pos_ = rest_pos_;
  }
  SetPos(current_pos_, true);
}

void CAnimationTabLayoutUI::OnAnimationStop(int) {
  SetPos(rest_pos_, true);
  MarkParentNeedsLayout();
}

void CAnimationTabLayoutUI::HandleEvent(ControlEventUI& event) {
  if (event.Type == UIEVENT_TIMER) OnAnimationTimer(static_cast<int>(event.wParam));
  CContainerUI::HandleEvent(event);
}

void CAnimationTabLayoutUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (attr::Equals(name, L"animation_direction") && attr::Equals(value, L"vertical")) vertical_ = true;
  CTabLayoutUI::SetAttribute(name, value);
}

}  // namespace SkinUI
