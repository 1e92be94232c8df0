#include "ui_toolkit/core/tab_layout.h"

#include <algorithm>

#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {

const wchar_t* CTabLayoutUI::GetClassName() const { return L"TabLayoutUI"; }

void* CTabLayoutUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"TabLayout")) return static_cast<CTabLayoutUI*>(this);
  return CContainerUI::QueryInterfaceByName(name);
}

void CTabLayoutUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (attr::Equals(name, L"selectedid")) {
    SelectItem(attr::ParseInt(value));
  } else {
    CContainerUI::SetAttribute(name, value);
  }
}

bool CTabLayoutUI::Add(CControlUI* control) {
  if (!CContainerUI::Add(control)) return false;
  if (current_ == -1 && control->IsVisible()) {
    current_ = GetItemIndex(control);
  } else {
    control->SetVisible(false);
  }
  return true;
}

bool CTabLayoutUI::AddAt(CControlUI* control, int index) {
  if (!CContainerUI::AddAt(control, index)) return false;
  if (current_ == -1 && control->IsVisible()) {
    current_ = index;
  } else {
    if (current_ != -1 && index <= current_) ++current_;
    control->SetVisible(false);
  }
  return true;
}

bool CTabLayoutUI::Remove(CControlUI* control) {
  if (control == nullptr) return false;
  const int index = GetItemIndex(control);
  if (!CContainerUI::Remove(control)) return false;
  if (index == current_) {
    if (GetCount() == 0) {
      current_ = -1;
    } else {
      current_ = 0;
      GetItemAt(0)->SetVisible(true);
    }
    MarkParentNeedsLayout();
  } else if (index < current_) {
    --current_;
  }
  return true;
}

void CTabLayoutUI::RemoveAll() {
  current_ = -1;
  CContainerUI::RemoveAll();
  MarkParentNeedsLayout();
}

bool CTabLayoutUI::SelectItem(int index) {
  if (index < 0 || index >= GetCount()) return false;
  if (index == current_) return true;
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
  }
  SetPos(pos_, true);
  MarkParentNeedsLayout();
  if (manager_ != nullptr) {
    manager_->SetNextTabControl();
    manager_->SendNotify(this, L"tabselect", static_cast<WPARAM>(current_), static_cast<LPARAM>(old));
  }
  return true;
}

bool CTabLayoutUI::SelectItem(CControlUI* control) {
  const int index = GetItemIndex(control);
  return index >= 0 && SelectItem(index);
}

void CTabLayoutUI::SetPos(RECT rc, bool invalidate) {
  CControlUI::SetPos(rc, invalidate);
  const RECT inset = GetInset();
  const RECT area{pos_.left + inset.left, pos_.top + inset.top, pos_.right - inset.right, pos_.bottom - inset.bottom};
  for (int i = 0; i < items_.GetSize(); ++i) {
    auto* child = static_cast<CControlUI*>(items_.GetAt(i));
    if (!child->IsVisible()) continue;
    if (child->IsFloat()) {
      SetFloatChildPos(i);
      continue;
    }
    if (i != current_) continue;
    const RECT pad = child->GetPadding();
    const RECT page{area.left + pad.left, area.top + pad.top, area.right - pad.right, area.bottom - pad.bottom};
    const int width = page.right - page.left;
    const int height = page.bottom - page.top;
    SIZE s = child->MeasureSize(SIZE{width, height});
    if (s.cx == 0) s.cx = std::max(width, 0);
    if (s.cy == 0) s.cy = std::max(height, 0);
    s.cx = std::clamp<int>(s.cx, child->GetMinWidth(), std::max(child->GetMinWidth(), child->GetMaxWidth()));
    s.cy = std::clamp<int>(s.cy, child->GetMinHeight(), std::max(child->GetMinHeight(), child->GetMaxHeight()));
    child->SetPos(RECT{page.left, page.top, page.left + s.cx, page.top + s.cy}, true);
  }
}

}  // namespace SkinUI
