#include "ui_toolkit/core/container.h"

#include <algorithm>
#include <cwchar>

#include "ui_toolkit/controls/scroll_bar.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {

CContainerUI::CContainerUI() = default;

CContainerUI::~CContainerUI() {
  delayed_destroy_ = false;
  RemoveAll();
  vertical_bar_.reset();
  horizontal_bar_.reset();
}

const wchar_t* CContainerUI::GetClassName() const { return L"ContainerUI"; }

void* CContainerUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"IContainer")) return static_cast<IContainerUI*>(this);
  if (attr::Equals(name, L"Container")) return static_cast<CContainerUI*>(this);
  return CControlUI::QueryInterfaceByName(name);
}

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
  for (int i = 0; i < items_.GetSize(); ++i) {
    static_cast<CControlUI*>(items_.GetAt(i))->SetManager(manager, this, init);
  }
  if (vertical_bar_) vertical_bar_->SetManager(manager, this, init);
  if (horizontal_bar_) horizontal_bar_->SetManager(manager, this, init);
  CControlUI::SetManager(manager, parent, init);
}

bool CContainerUI::IsVerticalBarVisible() const { return vertical_bar_ && vertical_bar_->IsVisible(); }
bool CContainerUI::IsHorizontalBarVisible() const { return horizontal_bar_ && horizontal_bar_->IsVisible(); }

RECT CContainerUI::GetInnerRect() const {
  const RECT inset = GetInset();
  RECT rc{pos_.left + inset.left, pos_.top + inset.top, pos_.right - inset.right, pos_.bottom - inset.bottom};
  if (IsVerticalBarVisible()) rc.right -= vertical_bar_->GetFixedWidth();
  if (IsHorizontalBarVisible()) rc.bottom -= horizontal_bar_->GetFixedHeight();
  return rc;
}

RECT CContainerUI::GetClientPos() const {
  const RECT inset = GetInset();
  RECT rc{pos_.left + inset.left, pos_.top + inset.top, pos_.right - inset.right, pos_.bottom - inset.bottom};
  if (IsVerticalBarVisible()) {
    rc.top -= vertical_bar_->GetScrollPos();
    rc.bottom -= vertical_bar_->GetScrollPos();
    rc.bottom += vertical_bar_->GetScrollRange();
    rc.right -= vertical_bar_->GetFixedWidth();
  }
  if (IsHorizontalBarVisible()) {
    rc.left -= horizontal_bar_->GetScrollPos();
    rc.right -= horizontal_bar_->GetScrollPos();
    rc.right += horizontal_bar_->GetScrollRange();
    rc.bottom -= horizontal_bar_->GetFixedHeight();
  }
  return rc;
}

void CContainerUI::SetPos(RECT rc, bool invalidate) {
  CControlUI::SetPos(rc, invalidate);
  if (items_.IsEmpty()) return;
  const RECT inset = GetInset();
  RECT area{pos_.left + inset.left, pos_.top + inset.top, pos_.right - inset.right, pos_.bottom - inset.bottom};
  if (IsVerticalBarVisible()) {
    area.top -= vertical_bar_->GetScrollPos();
    area.bottom += vertical_bar_->GetScrollRange() - vertical_bar_->GetScrollPos();
    area.right -= vertical_bar_->GetFixedWidth();
  }
  if (IsHorizontalBarVisible()) {
    area.left -= horizontal_bar_->GetScrollPos();
    area.right += horizontal_bar_->GetScrollRange() - horizontal_bar_->GetScrollPos();
    area.bottom -= horizontal_bar_->GetFixedHeight();
  }
  for (int i = 0; i < items_.GetSize(); ++i) {
    auto* child = static_cast<CControlUI*>(items_.GetAt(i));
    if (!child->IsVisible()) continue;
    if (child->IsFloat()) {
      SetFloatChildPos(i);
      continue;
    }
    const int width = std::clamp<int>(area.right - area.left, child->GetMinWidth(),
                                      std::max(child->GetMinWidth(), child->GetMaxWidth()));
    const int height = std::clamp<int>(area.bottom - area.top, child->GetMinHeight(),
                                       std::max(child->GetMinHeight(), child->GetMaxHeight()));
    child->SetPos(RECT{area.left, area.top, area.left + width, area.top + height}, false);
  }
}

void CContainerUI::SetFloatChildPos(int index) {
  auto* child = static_cast<CControlUI*>(items_.GetAtOrNull(index));
  if (child == nullptr || !child->IsVisible() || !child->IsFloat()) return;
  const SIZE xy = child->GetFixedXY();
  const int w = child->GetFixedWidth();
  const int h = child->GetFixedHeight();
  const int width = pos_.right - pos_.left;
  const int height = pos_.bottom - pos_.top;
  RECT rc{};
  const UINT align = child->GetFloatAlign();
  if (align != 0) {
    if (align & DT_CENTER) {
      rc.left = pos_.left + (width - w) / 2;
    } else if (align & DT_RIGHT) {
      rc.left = pos_.right - w;
    } else {
      rc.left = pos_.left + xy.cx;
    }
    if (align & DT_VCENTER) {
      rc.top = pos_.top + (height - h) / 2;
    } else if (align & DT_BOTTOM) {
      rc.top = pos_.bottom - h;
    } else {
      rc.top = pos_.top + xy.cy;
    }
    rc.right = rc.left + w;
    rc.bottom = rc.top + h;
  } else {
    const FloatPercentUI percent = child->GetFloatPercent();
    const int hbase = xy.cx < 0 ? pos_.right : pos_.left;
    const int vbase = xy.cy < 0 ? pos_.bottom : pos_.top;
    rc.left = hbase + static_cast<int>(width * percent.left) + xy.cx;
    rc.right = hbase + static_cast<int>(width * percent.right) + xy.cx + w;
    rc.top = vbase + static_cast<int>(height * percent.top) + xy.cy;
    rc.bottom = vbase + static_cast<int>(height * percent.bottom) + xy.cy + h;
  }
  child->SetPos(rc, false);
}

void CContainerUI::MoveBy(SIZE delta, bool invalidate) {
  CControlUI::MoveBy(delta, invalidate);
  if (IsVerticalBarVisible()) vertical_bar_->MoveBy(delta, false);
  if (IsHorizontalBarVisible()) horizontal_bar_->MoveBy(delta, false);
  for (int i = 0; i < items_.GetSize(); ++i) {
    auto* child = static_cast<CControlUI*>(items_.GetAt(i));
    if (child->IsVisible()) child->MoveBy(delta, false);
  }
}

void CContainerUI::SetVisible(bool visible) {
  if (visible_ == visible) return;
  CControlUI::SetVisible(visible);
  for (int i = 0; i < items_.GetSize(); ++i) {
    static_cast<CControlUI*>(items_.GetAt(i))->SetVisibleByParent(IsVisible());
  }
}

void CContainerUI::SetVisibleByParent(bool visible) {
  CControlUI::SetVisibleByParent(visible);
  for (int i = 0; i < items_.GetSize(); ++i) {
    static_cast<CControlUI*>(items_.GetAt(i))->SetVisibleByParent(IsVisible());
  }
}

void CContainerUI::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  for (int i = 0; i < items_.GetSize(); ++i) static_cast<CControlUI*>(items_.GetAt(i))->SetEnabled(enabled);
  Invalidate();
}

void CContainerUI::SetMouseEnabled(bool enabled) {
  if (vertical_bar_) vertical_bar_->SetMouseEnabled(enabled);
  if (horizontal_bar_) horizontal_bar_->SetMouseEnabled(enabled);
  mouse_enabled_ = enabled;
}

CControlUI* CContainerUI::FindControl(FindControlProc proc, void* data, UINT flags) {
  if ((flags & UIFIND_VISIBLE) != 0 && !IsVisible()) return nullptr;
  if ((flags & UIFIND_ENABLED) != 0 && !IsEnabled()) return nullptr;
  const bool hit_test = (flags & UIFIND_HITTEST) != 0;
  if (hit_test && !::PtInRect(&pos_, *static_cast<const POINT*>(data))) return nullptr;
  if ((flags & UIFIND_UPDATETEST) != 0 && proc(this, data) != nullptr) return nullptr;
  if ((flags & UIFIND_ME_FIRST) != 0 && (!hit_test || mouse_enabled_)) {
    if (CControlUI* found = proc(this, data)) return found;
  }
  if (!hit_test || mouse_enabled_) {
    for (CScrollBarUI* bar : {vertical_bar_.get(), horizontal_bar_.get()}) {
      if (bar == nullptr) continue;
      if (CControlUI* found = bar->FindControl(proc, data, flags)) return found;
    }
  }
  if (!hit_test || mouse_child_) {
    const RECT inner = GetInnerRect();
    const int count = items_.GetSize();
    const bool top_first = (flags & UIFIND_TOP_FIRST) != 0;
    for (int n = 0; n < count; ++n) {
      auto* child = static_cast<CControlUI*>(items_.GetAt(top_first ? count - 1 - n : n));
      CControlUI* found = child->FindControl(proc, data, flags);
      if (found == nullptr) continue;
      if (!hit_test || found->IsFloat() || ::PtInRect(&inner, *static_cast<const POINT*>(data))) return found;
    }
  }
  if ((flags & UIFIND_ME_FIRST) == 0 && (!hit_test || mouse_enabled_)) return proc(this, data);
  return nullptr;
}

void CContainerUI::HandleEvent(ControlEventUI& event) {
  if (!mouse_enabled_ && IsMouseEvent(event.Type)) {
    if (parent_ != nullptr) {
      parent_->HandleEvent(event);
    } else {
      CControlUI::HandleEvent(event);
    }
    return;
  }
  if (event.Type == UIEVENT_SETFOCUS) {
    focused_ = true;
    return;
  }
  if (event.Type == UIEVENT_KILLFOCUS) {
    focused_ = false;
    return;
  }
  if (HandleScrollEvent(event)) return;
  CControlUI::HandleEvent(event);
}

void CContainerUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  using attr::Equals;
  if (Equals(name, L"inset")) {
    SetInset(attr::ParseRect(value));
  } else if (Equals(name, L"mousechild")) {
    SetMouseChildEnabled(attr::IsTrue(value));
  } else if (Equals(name, L"childpadding")) {
    SetChildPadding(attr::ParseInt(value));
  } else if (Equals(name, L"vscrollbar")) {
    EnableScrollBar(attr::IsTrue(value), horizontal_bar_ != nullptr);
  } else if (Equals(name, L"vscrollbarstyle")) {
    vertical_bar_style_ = value;
    EnableScrollBar(true, horizontal_bar_ != nullptr);
    ApplyBarStyle(vertical_bar_.get(), value);
  } else if (Equals(name, L"hscrollbar")) {
    EnableScrollBar(vertical_bar_ != nullptr, attr::IsTrue(value));
  } else if (Equals(name, L"hscrollbarstyle")) {
    horizontal_bar_style_ = value;
    EnableScrollBar(vertical_bar_ != nullptr, true);
    ApplyBarStyle(horizontal_bar_.get(), value);
  } else if (wcscmp(name, L"childalign") == 0) {
    if (wcscmp(value, L"left") == 0) {
      child_align_ = 0;
    } else if (wcscmp(value, L"center") == 0) {
      child_align_ = DT_CENTER;
    } else if (wcscmp(value, L"right") == 0) {
      child_align_ = DT_RIGHT;
    }
  } else if (wcscmp(name, L"childvalign") == 0) {
    if (wcscmp(value, L"top") == 0) {
      child_valign_ = 0;
    } else if (wcscmp(value, L"vcenter") == 0) {
      child_valign_ = DT_VCENTER;
    } else if (wcscmp(value, L"bottom") == 0) {
      child_valign_ = DT_BOTTOM;
    }
  } else if (Equals(name, L"scrollstepsize")) {
    SetScrollStepSize(attr::ParseInt(value));
  } else if (Equals(name, L"fixedscrollbar")) {
    SetFixedScrollbar(attr::IsTrue(value));
  } else if (Equals(name, L"showscrollbar")) {
    SetShowScrollbar(attr::IsTrue(value));
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

void CContainerUI::ApplyBarStyle(CScrollBarUI* bar, const wchar_t* style) {
  if (bar == nullptr) return;
  const wchar_t* text = manager_ != nullptr ? manager_->GetStyle(style) : nullptr;
  bar->ApplyAttributeString(text != nullptr ? text : style);
}

bool CContainerUI::PaintContent(HDC dc, const RECT& paint, CControlUI* stop) {
  RECT rc_temp{};
  if (!::IntersectRect(&rc_temp, &paint, &pos_)) return true;
  CUiClipScope clip;
  CUiClipScope::Begin(dc, rc_temp, clip);
  CControlUI::PaintContent(dc, paint, stop);
  if (items_.IsEmpty()) return PaintScrollBars(dc, paint, stop);
  const RECT inner = GetInnerRect();
  RECT paint_inner{};
  if (!::IntersectRect(&paint_inner, &paint, &inner)) {
    for (int i = 0; i < items_.GetSize(); ++i) {
      auto* child = static_cast<CControlUI*>(items_.GetAt(i));
      if (child == stop) return false;
      RECT t{};
      if (!child->IsVisible() || !child->IsFloat()) continue;
      if (!::IntersectRect(&t, &paint, &child->GetPos()) || !::IntersectRect(&t, &pos_, &child->GetPos())) continue;
      if (!child->Paint(dc, paint, stop)) return false;
    }
    return PaintScrollBars(dc, paint, stop);
  }
  {
    // The children are cut to the inner rectangle; the bars lie outside it.
    CUiClipScope child_clip;
    CUiClipScope::Begin(dc, paint_inner, child_clip);
    for (int i = 0; i < items_.GetSize(); ++i) {
      auto* child = static_cast<CControlUI*>(items_.GetAt(i));
      if (child == stop) return false;
      RECT t{};
      if (!child->IsVisible() || !::IntersectRect(&t, &paint, &child->GetPos())) continue;
      if (child->IsFloat()) {
        if (!::IntersectRect(&t, &pos_, &child->GetPos())) continue;
        child_clip.SelectSavedRegion();
        const bool ok = child->Paint(dc, paint, stop);
        child_clip.SelectOwnRegion();
        if (!ok) return false;
      } else {
        if (!::IntersectRect(&t, &inner, &child->GetPos())) continue;
        if (!child->Paint(dc, paint, stop)) return false;
      }
    }
  }
  return PaintScrollBars(dc, paint, stop);
}

bool CContainerUI::PaintScrollBars(HDC dc, const RECT& paint, CControlUI* stop) {
  for (CScrollBarUI* bar : {vertical_bar_.get(), horizontal_bar_.get()}) {
    if (bar == nullptr || !bar->IsVisible()) continue;
    if (bar == stop) return false;
    RECT t{};
    if (!::IntersectRect(&t, &paint, &bar->GetPos())) continue;
    if (!bar->Paint(dc, paint, stop)) return false;
  }
  return true;
}

CControlUI* CContainerUI::GetItemAt(int index) const { return static_cast<CControlUI*>(items_.GetAtOrNull(index)); }

int CContainerUI::GetItemIndex(CControlUI* control) const { return items_.Find(control); }

bool CContainerUI::SetItemIndex(CControlUI* control, int index) {
  const int at = items_.Find(control);
  if (at < 0) return false;
  MarkNeedsLayout();
  items_.RemoveAt(at);
  return items_.InsertAt(index, control);
}

int CContainerUI::GetCount() const { return items_.GetSize(); }

bool CContainerUI::Add(CControlUI* control) {
  if (control == nullptr) return false;
  if (manager_ != nullptr) manager_->InitControls(control, this);
  if (IsVisible()) {
    MarkNeedsLayout();
  } else {
    control->SetVisibleByParent(false);
  }
  return items_.Add(control);
}

bool CContainerUI::AddAt(CControlUI* control, int index) {
  if (control == nullptr) return false;
  if (index < 0 || index > items_.GetSize()) return false;
  if (manager_ != nullptr) manager_->InitControls(control, this);
  if (IsVisible()) {
    MarkNeedsLayout();
  } else {
    control->SetVisibleByParent(false);
  }
  return items_.InsertAt(index, control);
}

void CContainerUI::DestroyChild(CControlUI* control) {
  if (delayed_destroy_ && manager_ != nullptr) {
    manager_->AddDelayedDelete(control);
  } else {
    delete control;
  }
}

bool CContainerUI::Remove(CControlUI* control) {
  if (control == nullptr) return false;
  const int at = items_.Find(control);
  if (at < 0) return false;
  MarkNeedsLayout();
  // The child leaves the list before it is destroyed, so its destructor never
  // sees a parent that still lists it.
  items_.RemoveAt(at);
  if (auto_destroy_) DestroyChild(control);
  return true;
}

bool CContainerUI::RemoveAt(int index) {
  auto* control = static_cast<CControlUI*>(items_.GetAtOrNull(index));
  return control != nullptr && Remove(control);
}

void CContainerUI::RemoveAll() {
  if (auto_destroy_) {
    while (!items_.IsEmpty()) {
      auto* control = static_cast<CControlUI*>(items_.GetAt(items_.GetSize() - 1));
      items_.RemoveAt(items_.GetSize() - 1);
      DestroyChild(control);
    }
  }
  items_.Empty();
  MarkNeedsLayout();
}

RECT CContainerUI::GetInset() const { return ScaleRectValue(inset_); }
void CContainerUI::SetInset(RECT rc) {
  inset_ = rc;
  MarkNeedsLayout();
}
int CContainerUI::GetChildPadding() const { return ScaleValue(child_padding_); }
void CContainerUI::SetChildPadding(int padding) {
  child_padding_ = padding;
  MarkNeedsLayout();
}
UINT CContainerUI::GetChildAlign() const { return child_align_; }
void CContainerUI::SetChildAlign(UINT align) {
  child_align_ = align;
  MarkNeedsLayout();
}
UINT CContainerUI::GetChildVAlign() const { return child_valign_; }
void CContainerUI::SetChildVAlign(UINT align) {
  child_valign_ = align;
  MarkNeedsLayout();
}
bool CContainerUI::IsAutoDestroy() const { return auto_destroy_; }
void CContainerUI::SetAutoDestroy(bool on) { auto_destroy_ = on; }
bool CContainerUI::IsDelayedDestroy() const { return delayed_destroy_; }
void CContainerUI::SetDelayedDestroy(bool on) { delayed_destroy_ = on; }
bool CContainerUI::IsMouseChildEnabled() const { return mouse_child_; }
void CContainerUI::SetMouseChildEnabled(bool on) { mouse_child_ = on; }

int CContainerUI::FindSelectable(int index, bool forward) const {
  const int count = items_.GetSize();
  if (count == 0) return -1;
  index = std::clamp(index, 0, count - 1);
  if (forward) {
    for (int i = index; i < count; ++i) {
      auto* c = static_cast<CControlUI*>(items_.GetAt(i));
      if (c->QueryInterfaceByName(L"ListItem") != nullptr && c->IsVisible() && c->IsEnabled()) return i;
    }
    return -1;
  }
  for (int i = index; i >= 0; --i) {
    auto* c = static_cast<CControlUI*>(items_.GetAt(i));
    if (c->QueryInterfaceByName(L"ListItem") != nullptr && c->IsVisible() && c->IsEnabled()) return i;
  }
  return FindSelectable(0, true);
}

}  // namespace SkinUI
