#include "ui_toolkit/controls/combo.h"

#include <algorithm>

#include "base/product_log.h"
#include "ui_toolkit/controls/scroll_bar.h"
#include "ui_toolkit/core/dpi_helper.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/shadow.h"
#include "ui_toolkit/core/vertical_layout.h"

namespace SkinUI {
namespace {

IListItemUI* AsListItem(CControlUI* control) {
  return control == nullptr ? nullptr : static_cast<IListItemUI*>(control->QueryInterfaceByName(L"ListItem"));
}

void ClearBits(UINT& style, UINT bits) { style &= ~bits; }

}  // namespace

// ---- CComboUI

CComboUI::CComboUI() {
  info_.uTextStyle = DT_VCENTER;
  info_.nColumns = 0;
  info_.bAlternateBk = false;
  info_.bShowRowLine = false;
  info_.bShowColumnLine = false;
  info_.bShowHtml = false;
  info_.bMultiExpandable = false;
  info_.bRSelected = false;
}

CComboUI::~CComboUI() {
  if (popup_ != nullptr) popup_->DetachOwner();
  popup_ = nullptr;
}

const wchar_t* CComboUI::GetClassName() const { return L"ComboUI"; }

void* CComboUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"Combo")) return this;
  if (attr::Equals(name, L"IListOwner")) return static_cast<IListOwnerUI*>(this);
  return CContainerUI::QueryInterfaceByName(name);
}

UINT CComboUI::GetControlFlags() const { return UIFLAG_TABSTOP | UIFLAG_SETCURSOR; }

bool CComboUI::Activate() {
  if (!CControlUI::Activate()) return false;
  if (manager_ != nullptr) manager_->SendNotify(this, L"predropdown");
  if (popup_ != nullptr) return true;
  popup_ = new CComboWnd();
  if (!popup_->Init(this)) {
    // A window that got as far as its final message freed itself and
    // cleared the field; one that never existed is freed here.
    delete popup_;
    popup_ = nullptr;
    PRODUCT_LOG("combo drop-down not created");
    return false;
  }
  if (manager_ != nullptr) manager_->SendNotify(this, L"dropdown");
  Invalidate();
  return true;
}

CUiString CComboUI::GetText() const {
  if (cur_sel_ < 0) return CControlUI::GetText();
  CControlUI* item = GetItemAt(cur_sel_);
  return item == nullptr ? CControlUI::GetText() : item->GetText();
}

void CComboUI::SetPos(RECT rc, bool invalidate) {
  if (::EqualRect(&rc, &pos_)) return;
  if (popup_ != nullptr && ::IsWindow(popup_->GetWindowHandle())) popup_->Close(1);
  for (int i = 0; i < GetCount(); ++i) GetItemAt(i)->SetPos(RECT{}, true);
  CControlUI::SetPos(rc, invalidate);
}

void CComboUI::MoveBy(SIZE delta, bool invalidate) { CControlUI::MoveBy(delta, invalidate); }

void CComboUI::SetEnabled(bool enabled) {
  CContainerUI::SetEnabled(enabled);
  if (!IsEnabled()) state_ = 0;
}

bool CComboUI::SelectItem(int index, bool take_focus) {
  if (index == cur_sel_) return true;
  const int previous = cur_sel_;
  if (cur_sel_ >= 0) {
    CControlUI* current = GetItemAt(cur_sel_);
    if (current == nullptr) return false;
    if (IListItemUI* item = AsListItem(current)) item->Select(false);
    cur_sel_ = -1;
  }
  if (index < 0 || GetCount() == 0) return false;
  if (index >= GetCount()) index = GetCount() - 1;
  CControlUI* control = GetItemAt(index);
  IListItemUI* item = AsListItem(control);
  if (control == nullptr || !control->IsEnabled() || item == nullptr) return false;
  cur_sel_ = index;
  if (popup_ != nullptr || take_focus) control->SetFocus();
  item->Select(true);
  if (manager_ != nullptr) manager_->SendNotify(this, L"itemselect", cur_sel_, previous);
  Invalidate();
  return true;
}

void CComboUI::Renumber(int from, int to) {
  for (int i = std::max(from, 0); i <= to && i < GetCount(); ++i) {
    if (IListItemUI* item = AsListItem(GetItemAt(i))) item->SetIndex(i);
  }
}

bool CComboUI::SetItemIndex(CControlUI* control, int index) {
  const int old_index = GetItemIndex(control);
  if (old_index < 0) return false;
  if (old_index == index) return true;
  CControlUI* selected = cur_sel_ >= 0 ? GetItemAt(cur_sel_) : nullptr;
  if (!CContainerUI::SetItemIndex(control, index)) return false;
  Renumber(std::min(old_index, index), std::max(old_index, index));
  if (selected != nullptr) cur_sel_ = GetItemIndex(selected);
  return true;
}

bool CComboUI::Add(CControlUI* control) {
  if (IListItemUI* item = AsListItem(control)) {
    item->SetOwner(this);
    item->SetIndex(GetCount());
  }
  return CContainerUI::Add(control);
}

bool CComboUI::AddAt(CControlUI* control, int index) {
  if (!CContainerUI::AddAt(control, index)) return false;
  const int at = GetItemIndex(control);
  if (IListItemUI* item = AsListItem(control)) {
    item->SetOwner(this);
    item->SetIndex(at);
  }
  Renumber(at + 1, GetCount() - 1);
  if (cur_sel_ >= at) ++cur_sel_;
  return true;
}

bool CComboUI::Remove(CControlUI* control) {
  const int index = GetItemIndex(control);
  if (index < 0 || !CContainerUI::Remove(control)) return false;
  AfterRemoval(index);
  return true;
}

bool CComboUI::RemoveAt(int index) {
  CControlUI* control = GetItemAt(index);
  if (control == nullptr || !CContainerUI::Remove(control)) return false;
  AfterRemoval(index);
  return true;
}

void CComboUI::AfterRemoval(int index) {
  Renumber(index, GetCount() - 1);
  if (index == cur_sel_ && cur_sel_ >= 0) {
    cur_sel_ = -1;
    SelectItem(FindSelectable(index, false), false);
  } else if (index < cur_sel_) {
    --cur_sel_;
  }
}

void CComboUI::RemoveAll() {
  cur_sel_ = -1;
  CContainerUI::RemoveAll();
}

void CComboUI::HandleEvent(ControlEventUI& event) {
  if (!IsMouseEnabled() && event.Type > UIEVENT__MOUSEBEGIN && event.Type < UIEVENT__MOUSEEND) {
    if (parent_ != nullptr) {
      parent_->HandleEvent(event);
    } else {
      CContainerUI::HandleEvent(event);
    }
    return;
  }
  switch (event.Type) {
    case UIEVENT_SETFOCUS:
    case UIEVENT_KILLFOCUS:
      Invalidate();
      break;
    case UIEVENT_BUTTONDOWN:
      if (IsEnabled()) {
        Activate();
        state_ |= UISTATE_PUSHED | UISTATE_CAPTURED;
      }
      return;
    case UIEVENT_BUTTONUP:
      if (state_ & UISTATE_CAPTURED) {
        state_ &= ~UISTATE_CAPTURED;
        Invalidate();
      }
      return;
    case UIEVENT_MOUSEMOVE:
      return;
    case UIEVENT_KEYDOWN:
      if (!IsKeyboardEnabled()) break;
      switch (event.chKey) {
        case VK_PRIOR:
        case VK_UP:
          SelectItem(FindSelectable(cur_sel_ - 1, false), false);
          return;
        case VK_NEXT:
        case VK_DOWN:
          SelectItem(FindSelectable(cur_sel_ + 1, true), false);
          return;
        case VK_HOME:
          SelectItem(FindSelectable(0, false), false);
          return;
        case VK_END:
          SelectItem(FindSelectable(GetCount() - 1, true), false);
          return;
        case VK_F4:
          Activate();
          return;
        default:
          break;
      }
      break;
    case UIEVENT_SCROLLWHEEL:
      if (scroll_select_) {
        if (LOWORD(event.wParam) == 1) {  // the high word carries the delta
          SelectItem(FindSelectable(cur_sel_ + 1, true), false);
        } else {
          SelectItem(FindSelectable(cur_sel_ - 1, false), false);
        }
      }
      return;
    case UIEVENT_CONTEXTMENU:
      return;
    case UIEVENT_MOUSEENTER:
      if (::PtInRect(&pos_, event.ptMouse)) {
        state_ |= UISTATE_HOT;
        Invalidate();
      }
      return;
    case UIEVENT_MOUSELEAVE:
      if (state_ & UISTATE_HOT) {
        state_ &= ~UISTATE_HOT;
        Invalidate();
      }
      return;
    default:
      break;
  }
  CControlUI::HandleEvent(event);
}

SIZE CComboUI::MeasureSize(SIZE available) {
  if (fixed_size_.cy != 0) return CControlUI::MeasureSize(available);
  LONG height = 12;
  if (manager_ != nullptr) height += manager_->GetDefaultFontRecord()->tm.tmHeight;
  return SIZE{fixed_size_.cx, height};
}

bool CComboUI::PaintContent(HDC dc, const RECT& paint, CControlUI* stop) {
  // The rows are painted in the pop-up, never here.
  return CControlUI::PaintContent(dc, paint, stop);
}

void CComboUI::UpdateFocusAndDisabledBits() {
  if (IsFocused()) {
    state_ |= UISTATE_FOCUSED;
  } else {
    state_ &= ~UISTATE_FOCUSED;
  }
  if (!IsEnabled()) {
    state_ |= UISTATE_DISABLED;
  } else {
    state_ &= ~UISTATE_DISABLED;
  }
}

void CComboUI::PaintStateImage(HDC dc) {
  UpdateFocusAndDisabledBits();
  const CUiString* chosen = nullptr;
  if (state_ & UISTATE_DISABLED) {
    chosen = &disabled_image_;
  } else if (state_ & UISTATE_PUSHED) {
    chosen = &pushed_image_;
  } else if (state_ & UISTATE_HOT) {
    chosen = &hot_image_;
  } else if (state_ & UISTATE_FOCUSED) {
    chosen = &focused_image_;
  }
  if (chosen != nullptr && !chosen->IsEmpty() && DrawImage(dc, *chosen)) return;
  if (!normal_image_.IsEmpty()) DrawImage(dc, normal_image_);
}

void CComboUI::PaintText(HDC dc) {
  if (manager_ == nullptr) return;
  if (text_color_ == 0) text_color_ = manager_->GetDefaultTextColor();
  if (disabled_text_color_ == 0) disabled_text_color_ = manager_->GetDisabledTextColor();
  RECT rc = pos_;
  rc.left += text_padding_.left;
  rc.top += text_padding_.top;
  rc.right -= text_padding_.right;
  rc.bottom -= text_padding_.bottom;
  const CUiString text = GetText();
  if (text.IsEmpty()) return;
  const DWORD color = IsEnabled() ? text_color_ : disabled_text_color_;
  if (show_html_) {
    int links = 0;
    CUiDrawEngine::DrawHtmlText(dc, manager_, rc, text, color, nullptr, nullptr, links, font_, text_style_);
  } else {
    CUiDrawEngine::DrawText(dc, manager_, rc, text, color, font_, text_style_);
  }
}

void CComboUI::SetTextColor(DWORD color) {
  text_color_ = color;
  Invalidate();
}
void CComboUI::SetDisabledTextColor(DWORD color) {
  disabled_text_color_ = color;
  Invalidate();
}
void CComboUI::SetFont(int id) {
  font_ = id;
  Invalidate();
}
void CComboUI::SetTextPadding(RECT rc) {
  text_padding_ = rc;
  Invalidate();
}
void CComboUI::SetShowHtml(bool on) {
  if (show_html_ == on) return;
  show_html_ = on;
  Invalidate();
}
void CComboUI::SetShowShadow(bool on) {
  if (show_shadow_ == on) return;
  show_shadow_ = on;
  Invalidate();
}
void CComboUI::SetNormalImage(const wchar_t* image) {
  normal_image_ = image;
  Invalidate();
}
void CComboUI::SetHotImage(const wchar_t* image) {
  hot_image_ = image;
  Invalidate();
}
void CComboUI::SetPushedImage(const wchar_t* image) {
  pushed_image_ = image;
  Invalidate();
}
void CComboUI::SetFocusedImage(const wchar_t* image) {
  focused_image_ = image;
  Invalidate();
}
void CComboUI::SetDisabledImage(const wchar_t* image) {
  disabled_image_ = image;
  Invalidate();
}
void CComboUI::SetItemFont(int font) {
  info_.nFont = font;
  Invalidate();
}
void CComboUI::SetItemTextPadding(RECT rc) {
  info_.rcTextPadding = rc;
  Invalidate();
}
void CComboUI::SetItemTextColor(DWORD color) {
  info_.dwTextColor = color;
  Invalidate();
}
void CComboUI::SetItemShowHtml(bool on) {
  if (info_.bShowHtml == on) return;
  info_.bShowHtml = on;
  Invalidate();
}

void CComboUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  using attr::Contains;
  using attr::Equals;
  using attr::IsTrue;
  const wchar_t* v = value == nullptr ? L"" : value;
  if (Equals(name, L"align")) {
    if (Contains(v, L"left")) ClearBits(text_style_, DT_CENTER | DT_RIGHT | DT_SINGLELINE);
    if (Contains(v, L"center")) {
      text_style_ |= DT_CENTER;
      ClearBits(text_style_, DT_RIGHT);
    }
    if (Contains(v, L"right")) {
      text_style_ |= DT_RIGHT;
      ClearBits(text_style_, DT_CENTER | DT_SINGLELINE);
    }
  } else if (Equals(name, L"valign")) {
    if (Contains(v, L"top")) {
      ClearBits(text_style_, DT_VCENTER | DT_BOTTOM);
      text_style_ |= DT_SINGLELINE;
    }
    if (Contains(v, L"vcenter")) {
      ClearBits(text_style_, DT_BOTTOM);
      text_style_ |= DT_VCENTER | DT_SINGLELINE;
    }
    if (Contains(v, L"bottom")) {
      ClearBits(text_style_, DT_VCENTER);
      text_style_ |= DT_BOTTOM | DT_SINGLELINE;
    }
  } else if (Equals(name, L"endellipsis")) {
    if (IsTrue(v)) {
      text_style_ |= DT_END_ELLIPSIS;
    } else {
      ClearBits(text_style_, DT_END_ELLIPSIS);
    }
  } else if (Equals(name, L"wordbreak")) {
    if (IsTrue(v)) {
      ClearBits(text_style_, DT_SINGLELINE);
      text_style_ |= DT_WORDBREAK | DT_EDITCONTROL;
    } else {
      ClearBits(text_style_, DT_WORDBREAK | DT_EDITCONTROL);
      text_style_ |= DT_SINGLELINE;
    }
  } else if (Equals(name, L"font")) {
    SetFont(attr::ParseInt(v));
  } else if (Equals(name, L"textcolor")) {
    SetTextColor(attr::ParseColor(v));
  } else if (Equals(name, L"disabledtextcolor")) {
    SetDisabledTextColor(attr::ParseColor(v));
  } else if (Equals(name, L"textpadding")) {
    SetTextPadding(attr::ParseRect(v));
  } else if (Equals(name, L"showhtml")) {
    SetShowHtml(IsTrue(v));
  } else if (Equals(name, L"showshadow")) {
    SetShowShadow(IsTrue(v));
  } else if (Equals(name, L"scrollselect")) {
    SetScrollSelect(IsTrue(v));
  } else if (Equals(name, L"normalimage")) {
    SetNormalImage(v);
  } else if (Equals(name, L"hotimage")) {
    SetHotImage(v);
  } else if (Equals(name, L"pushedimage")) {
    SetPushedImage(v);
  } else if (Equals(name, L"focusedimage")) {
    SetFocusedImage(v);
  } else if (Equals(name, L"disabledimage")) {
    SetDisabledImage(v);
  } else if (Equals(name, L"dropbox")) {
    SetDropBoxAttributeList(v);
  } else if (Equals(name, L"dropboxsize")) {
    SetDropBoxSize(attr::ParseSize(v));
  } else if (Equals(name, L"dropboxinset")) {
    SetDropBoxInset(attr::ParseRect(v));
  } else if (Equals(name, L"itemfont")) {
    info_.nFont = attr::ParseInt(v);
  } else if (Equals(name, L"itemalign")) {
    if (Contains(v, L"left")) ClearBits(info_.uTextStyle, DT_CENTER | DT_RIGHT);
    if (Contains(v, L"center")) {
      info_.uTextStyle |= DT_CENTER;
      ClearBits(info_.uTextStyle, DT_RIGHT);
    }
    if (Contains(v, L"right")) {
      info_.uTextStyle |= DT_RIGHT;
      ClearBits(info_.uTextStyle, DT_CENTER);
    }
  } else if (Equals(name, L"itemvalign")) {
    if (Contains(v, L"top")) ClearBits(info_.uTextStyle, DT_VCENTER | DT_BOTTOM);
    if (Contains(v, L"vcenter")) {
      ClearBits(info_.uTextStyle, DT_BOTTOM | DT_WORDBREAK);
      info_.uTextStyle |= DT_VCENTER | DT_SINGLELINE;
    }
    if (Contains(v, L"bottom")) {
      ClearBits(info_.uTextStyle, DT_VCENTER);
      info_.uTextStyle |= DT_BOTTOM;
    }
  } else if (Equals(name, L"itemendellipsis")) {
    if (IsTrue(v)) {
      info_.uTextStyle |= DT_END_ELLIPSIS;
    } else {
      ClearBits(info_.uTextStyle, DT_END_ELLIPSIS);
    }
  } else if (Equals(name, L"itemtextpadding")) {
    SetItemTextPadding(attr::ParseRect(v));
  } else if (Equals(name, L"itemtextcolor")) {
    SetItemTextColor(attr::ParseColor(v));
  } else if (Equals(name, L"itembkcolor")) {
    SetItemBkColor(attr::ParseColor(v));
  } else if (Equals(name, L"itemselectedtextcolor")) {
    SetItemSelectedTextColor(attr::ParseColor(v));
  } else if (Equals(name, L"itemselectedbkcolor")) {
    SetItemSelectedBkColor(attr::ParseColor(v));
  } else if (Equals(name, L"itemhottextcolor")) {
    SetItemHotTextColor(attr::ParseColor(v));
  } else if (Equals(name, L"itemhotbkcolor")) {
    SetItemHotBkColor(attr::ParseColor(v));
  } else if (Equals(name, L"itemdisabledtextcolor")) {
    SetItemDisabledTextColor(attr::ParseColor(v));
  } else if (Equals(name, L"itemdisabledbkcolor")) {
    SetItemDisabledBkColor(attr::ParseColor(v));
  } else if (Equals(name, L"itemlinecolor")) {
    SetItemLineColor(attr::ParseColor(v));
  } else if (Equals(name, L"itembkimage")) {
    SetItemBkImage(v);
  } else if (Equals(name, L"itemselectedimage")) {
    SetItemSelectedImage(v);
  } else if (Equals(name, L"itemhotimage")) {
    SetItemHotImage(v);
  } else if (Equals(name, L"itemdisabledimage")) {
    SetItemDisabledImage(v);
  } else if (Equals(name, L"itemaltbk")) {
    SetItemAltBk(IsTrue(v));
  } else if (Equals(name, L"itemshowhtml")) {
    SetItemShowHtml(IsTrue(v));
  } else {
    CContainerUI::SetAttribute(name, value);
  }
}

// ---- CComboWnd

bool CComboWnd::Init(CComboUI* owner) {
  owner_ = owner;
  old_selection_ = owner->GetCurrentSelection();
  hit_item_ = false;

  const RECT pos = owner->GetPos();
  const SIZE box = owner->GetDropBoxSize();
  RECT rc{pos.left, pos.bottom, box.cx > 0 ? pos.left + box.cx : pos.right, 0};
  const SIZE available{rc.right - rc.left, box.cy};
  LONG height = owner->GetDropBoxInset().top;
  for (int i = 0; i < owner->GetCount(); ++i) {
    CControlUI* item = owner->GetItemAt(i);
    if (item == nullptr || !item->IsVisible()) continue;
    height += item->MeasureSize(available).cy;
  }
  height += 4;
  height = std::min<LONG>(height, box.cy);
  rc.bottom = rc.top + height;

  const HWND owner_window = owner->GetManager()->GetPaintWindow();
  ::MapWindowPoints(owner_window, HWND_DESKTOP, reinterpret_cast<POINT*>(&rc), 2);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  ::GetMonitorInfoW(::MonitorFromWindow(nullptr, MONITOR_DEFAULTTOPRIMARY), &info);
  if (rc.bottom > info.rcWork.bottom) {
    rc = RECT{pos.left, pos.top - height, box.cx > 0 ? pos.left + box.cx : pos.right, pos.top};
    ::MapWindowPoints(owner_window, HWND_DESKTOP, reinterpret_cast<POINT*>(&rc), 2);
  }
  if (CreateInRect(owner_window, nullptr, WS_POPUP, WS_EX_TOOLWINDOW, rc) == nullptr) return false;
  HWND top = hwnd_;
  while (HWND above = ::GetParent(top)) top = above;
  ::ShowWindow(hwnd_, SW_SHOW);
  ::SendMessageW(top, WM_NCACTIVATE, TRUE, 0);
  return true;
}

void CComboWnd::DetachOwner() {
  // The rows go back to the combo's own window before the combo frees them.
  owner_->SetManager(owner_->GetManager(), owner_->GetParent(), false);
  if (layout_ != nullptr) layout_->RemoveAll();  // the layout does not own the rows
  owner_ = nullptr;
  if (hwnd_ != nullptr && ::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
}

LRESULT CComboWnd::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: {
      paint_manager_.SetUseSharedResources(true);
      paint_manager_.Init(hwnd_);
      paint_manager_.SetLayered(true);
      layout_ = new CVerticalLayoutUI();
      layout_->SetManager(&paint_manager_, nullptr, true);
      CPaintManagerUI* owner_manager = owner_->GetManager();
      if (const wchar_t* defaults = owner_manager->FindDefaultAttributes(L"VerticalLayout")) {
        layout_->ApplyAttributeString(defaults);
      }
      layout_->SetInset(RECT{1, 1, 1, 1});
      layout_->SetBackgroundColor(0xFFFFFFFF);
      layout_->SetBorderColor(0xFFC6C7D2);
      layout_->SetBorderSize(1);
      layout_->SetAutoDestroy(false);
      layout_->EnableScrollBar(true, false);
      layout_->ApplyAttributeString(owner_->GetDropBoxAttributeList());
      for (int i = 0; i < owner_->GetCount(); ++i) layout_->Add(owner_->GetItemAt(i));
      CShadowUI* shadow = paint_manager_.GetShadow();
      owner_manager->GetShadow()->CopySettingsTo(shadow);
      shadow->SetEnabled(owner_->IsShowShadow());
      paint_manager_.SetRootControl(layout_);
      paint_manager_.AddNotifier(this);
      return 0;
    }
    case WM_CLOSE:
      if (owner_ != nullptr) {
        owner_->SetManager(owner_->GetManager(), owner_->GetParent(), false);
        for (int i = 0; i < owner_->GetCount(); ++i) owner_->GetItemAt(i)->SetPos(RECT{}, true);
        owner_->SetFocus();
      }
      break;
    case WM_KILLFOCUS:
      if (reinterpret_cast<HWND>(wparam) != hwnd_) PostMessage(WM_CLOSE);
      break;
    case WM_KEYDOWN:
      if (owner_ == nullptr) break;
      if (wparam == VK_RETURN) {
        PostMessage(WM_KILLFOCUS);
      } else if (wparam == VK_ESCAPE) {
        owner_->SelectItem(old_selection_, true);
        EnsureVisible(old_selection_);
        PostMessage(WM_KILLFOCUS);
      } else {
        ControlEventUI event;
        event.Type = UIEVENT_KEYDOWN;
        event.chKey = static_cast<wchar_t>(wparam);
        event.wParam = wparam;
        event.dwTimestamp = ::GetTickCount();
        owner_->HandleEvent(event);
        EnsureVisible(owner_ != nullptr ? owner_->GetCurrentSelection() : -1);
        return 0;
      }
      break;
    case WM_LBUTTONDOWN:
      hit_item_ = IsHitItem(POINT{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))});
      break;
    case WM_LBUTTONUP: {
      const POINT pt{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      if (hit_item_ && IsHitItem(pt)) PostMessage(WM_KILLFOCUS);
      hit_item_ = false;
      break;
    }
    case WM_MOUSEWHEEL: {
      if (owner_ == nullptr) break;
      ControlEventUI event;
      event.Type = UIEVENT_SCROLLWHEEL;
      event.wParam = static_cast<short>(HIWORD(wparam)) < 0 ? 1 : 0;
      event.lParam = lparam;
      event.dwTimestamp = ::GetTickCount();
      if (owner_->IsScrollSelect()) {
        owner_->HandleEvent(event);
        EnsureVisible(owner_->GetCurrentSelection());
      } else {
        event.pSender = layout_;
        layout_->HandleEvent(event);
      }
      return 0;
    }
    default:
      break;
  }
  LRESULT result = 0;
  if (paint_manager_.HandleWindowMessage(message, wparam, lparam, result)) return result;
  return CWindowWnd::HandleMessage(message, wparam, lparam);
}

bool CComboWnd::IsHitItem(POINT pt) const {
  CControlUI* control = paint_manager_.FindControlAtPoint(pt);
  if (control == nullptr || control->QueryInterfaceByName(L"ScrollBar") != nullptr) return false;
  for (; control != nullptr; control = control->GetParent()) {
    if (control->QueryInterfaceByName(L"ListItem") != nullptr) return true;
  }
  return false;
}

void CComboWnd::Notify(NotifyMsgUI& msg) {
  if (msg.sType.Equals(L"windowinit")) {
    EnsureVisible(old_selection_);
  } else if (msg.sType.Equals(L"click") && owner_ != nullptr) {
    if (CPaintManagerUI* manager = owner_->GetManager()) manager->SendNotify(msg.pSender, L"click", 0, 0);
  }
}

void CComboWnd::EnsureVisible(int index) {
  if (owner_ == nullptr || owner_->GetCurrentSelection() < 0 || layout_ == nullptr) return;
  CControlUI* item = layout_->GetItemAt(index);
  if (item == nullptr) return;
  const RECT item_rc = item->GetPos();
  RECT list_rc = layout_->GetPos();
  CScrollBarUI* horizontal = layout_->GetHorizontalScrollBar();
  if (horizontal != nullptr && horizontal->IsVisible()) list_rc.bottom -= horizontal->GetFixedHeight();
  if (item_rc.top >= list_rc.top && item_rc.bottom < list_rc.bottom) return;
  int dy = 0;
  if (item_rc.top < list_rc.top) dy = item_rc.top - list_rc.top;
  if (item_rc.bottom > list_rc.bottom) dy = item_rc.bottom - list_rc.bottom;
  SIZE scroll = layout_->GetScrollPos();
  scroll.cy += dy;
  layout_->SetScrollPos(scroll, true);
}

void CComboWnd::OnFinalMessage(HWND) {
  if (owner_ != nullptr) {
    owner_->popup_ = nullptr;
    owner_->state_ &= ~UISTATE_PUSHED;
    owner_->Invalidate();
  }
  delete this;
}

}  // namespace SkinUI
