#include "ui_toolkit/controls/list.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "ui_toolkit/controls/list_body.h"
#include "ui_toolkit/controls/list_header.h"
#include "ui_toolkit/controls/scroll_bar.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

void* IndexToPtr(int index) { return reinterpret_cast<void*>(static_cast<intptr_t>(index)); }
int PtrToIndex(void* p) { return static_cast<int>(reinterpret_cast<intptr_t>(p)); }

bool CtrlHeld() { return ::GetKeyState(VK_CONTROL) < 0; }
bool ShiftHeld() { return ::GetKeyState(VK_SHIFT) < 0; }

}  // namespace

CListUI::CListUI() {
  body_ = new CListBodyUI(this);
  header_ = new CListHeaderUI();
  CVerticalLayoutUI::Add(header_);
  CVerticalLayoutUI::Add(body_);
}

CListUI::~CListUI() = default;

const wchar_t* CListUI::GetClassName() const { return L"ListUI"; }

void* CListUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"List")) return static_cast<CListUI*>(this);
  if (attr::Equals(name, L"IList")) return static_cast<IListUI*>(this);
  if (attr::Equals(name, L"IListOwner")) return static_cast<IListOwnerUI*>(this);
  return CVerticalLayoutUI::QueryInterfaceByName(name);
}

UINT CListUI::GetControlFlags() const { return UIFLAG_TABSTOP; }

bool CListUI::IsHeader(CControlUI* control) const {
  return control != nullptr && control->QueryInterfaceByName(L"ListHeader") != nullptr;
}

bool CListUI::IsHeaderItem(CControlUI* control) {
  return control != nullptr && std::wcsstr(control->GetClassName(), L"ListHeaderItemUI") != nullptr;
}

IListItemUI* CListUI::AsListItem(CControlUI* control) {
  return control != nullptr ? static_cast<IListItemUI*>(control->QueryInterfaceByName(L"ListItem")) : nullptr;
}

IListItemUI* CListUI::ItemAt(int index) const { return AsListItem(body_->GetItemAt(index)); }

bool CListUI::IsSelectedIndex(int index) const { return selection_.Find(IndexToPtr(index)) >= 0; }

void CListUI::RemoveSelectedIndex(int index) {
  const int at = selection_.Find(IndexToPtr(index));
  if (at >= 0) selection_.RemoveAt(at);
  if (cur_sel_ == index) cur_sel_ = -1;
}

void CListUI::UpdateColumnCount() {
  info_.nColumns = std::min(header_->GetCount(), kListMaxColumns);
}

void CListUI::Renumber(int from) {
  for (int i = std::max(from, 0); i < body_->GetCount(); ++i) {
    if (IListItemUI* item = ItemAt(i)) item->SetIndex(i);
  }
}

void CListUI::Notify(const wchar_t* type, WPARAM wparam, LPARAM lparam) {
  if (manager_ != nullptr) manager_->SendNotify(this, type, wparam, lparam);
}

// ---- layout

void CListUI::SetPos(RECT rc, bool invalidate) {
  CVerticalLayoutUI::SetPos(rc, invalidate);
  if (header_ == nullptr) return;
  UpdateColumnCount();
  const bool header_shown = header_->IsVisible();
  if (!header_shown) {
    // A hidden header still decides the columns: lay it out along the list's
    // width with no height so that the rows have cells to paint in.
    for (int i = 0; i < header_->GetCount(); ++i) header_->GetItemAt(i)->SetVisibleByParent(true);
    header_->SetPos(RECT{rc.left, 0, rc.right, 0}, invalidate);
  }
  for (int i = 0; i < info_.nColumns; ++i) {
    CControlUI* column = header_->GetItemAt(i);
    if (!column->IsVisible() || column->IsFloat()) continue;
    info_.rcColumn[i] = column->GetPos();
  }
  if (!header_shown) {
    for (int i = 0; i < header_->GetCount(); ++i) header_->GetItemAt(i)->SetVisibleByParent(false);
  }
  body_->SetPos(body_->GetPos(), invalidate);
}

void CListUI::MoveBy(SIZE delta, bool invalidate) {
  CVerticalLayoutUI::MoveBy(delta, invalidate);
  if (header_ != nullptr && !header_->IsVisible()) header_->MoveBy(delta, false);
}

// ---- container routing

CControlUI* CListUI::GetItemAt(int index) const { return body_->GetItemAt(index); }
int CListUI::GetCount() const { return body_->GetCount(); }

int CListUI::GetItemIndex(CControlUI* control) const {
  if (IsHeader(control)) return CVerticalLayoutUI::GetItemIndex(control);
  if (IsHeaderItem(control)) return header_->GetItemIndex(control);
  return body_->GetItemIndex(control);
}

bool CListUI::SetItemIndex(CControlUI* control, int index) {
  if (IsHeader(control)) return CVerticalLayoutUI::SetItemIndex(control, index);
  if (IsHeaderItem(control)) return header_->SetItemIndex(control, index);
  const int old_index = body_->GetItemIndex(control);
  if (old_index < 0) return false;
  if (old_index == index) return true;
  CControlUI* current = cur_sel_ >= 0 ? body_->GetItemAt(cur_sel_) : nullptr;
  // The selection follows its rows through the move.
  CUiPtrArray selected_rows;
  for (int i = 0; i < selection_.GetSize(); ++i) selected_rows.Add(body_->GetItemAt(PtrToIndex(selection_.GetAt(i))));
  if (!body_->SetItemIndex(control, index)) return false;
  Renumber(std::min(old_index, index));
  if (current != nullptr) cur_sel_ = body_->GetItemIndex(current);
  for (int i = 0; i < selection_.GetSize(); ++i) {
    selection_.SetAt(i, IndexToPtr(body_->GetItemIndex(static_cast<CControlUI*>(selected_rows.GetAt(i)))));
  }
  return true;
}

bool CListUI::Add(CControlUI* control) {
  if (control == nullptr) return false;
  if (IsHeader(control)) {
    auto* header = static_cast<CListHeaderUI*>(control->QueryInterfaceByName(L"ListHeader"));
    if (header != header_ && header_->GetCount() == 0) {
      CVerticalLayoutUI::Remove(header_);
      header_ = header;
    }
    UpdateColumnCount();
    return CVerticalLayoutUI::AddAt(control, 0);
  }
  if (IsHeaderItem(control)) {
    const bool ok = header_->Add(control);
    UpdateColumnCount();
    return ok;
  }
  if (IListItemUI* item = AsListItem(control)) {
    item->SetOwner(this);
    item->SetIndex(GetCount());
    return body_->Add(control);
  }
  return CVerticalLayoutUI::Add(control);
}

bool CListUI::AddAt(CControlUI* control, int index) {
  if (control == nullptr) return false;
  if (IsHeader(control)) return Add(control);
  if (IsHeaderItem(control)) {
    const bool ok = header_->AddAt(control, index);
    UpdateColumnCount();
    return ok;
  }
  if (!body_->AddAt(control, index)) return false;
  if (IListItemUI* item = AsListItem(control)) {
    item->SetOwner(this);
    item->SetIndex(index);
  }
  Renumber(index + 1);
  if (cur_sel_ >= index) cur_sel_ += 1;
  ShiftSelection(index, 1);
  return true;
}

bool CListUI::Remove(CControlUI* control) {
  if (control == nullptr) return false;
  if (IsHeader(control)) return CVerticalLayoutUI::Remove(control);
  if (IsHeaderItem(control)) {
    const bool ok = header_->Remove(control);
    UpdateColumnCount();
    return ok;
  }
  const int index = body_->GetItemIndex(control);
  if (index < 0) return false;
  // Not the virtual RemoveAt: a subclass's RemoveAt may come back here.
  return CListUI::RemoveAt(index);
}

bool CListUI::RemoveAt(int index) {
  if (!body_->RemoveAt(index)) return false;
  Renumber(index);
  // Selected indices after the removed row shift with it, so the selection
  // keeps naming the rows the user chose.
  const int at = selection_.Find(IndexToPtr(index));
  if (at >= 0) selection_.RemoveAt(at);
  ShiftSelection(index + 1, -1);
  if (index == cur_sel_) {
    cur_sel_ = -1;
    SelectItem(body_->FindSelectable(index - 1, false), false);
  } else if (index < cur_sel_) {
    cur_sel_ -= 1;
  }
  return true;
}

void CListUI::ShiftSelection(int from, int delta) {
  for (int i = 0; i < selection_.GetSize(); ++i) {
    const int sel = PtrToIndex(selection_.GetAt(i));
    if (sel >= from) selection_.SetAt(i, IndexToPtr(sel + delta));
  }
}

void CListUI::RemoveAll() {
  cur_sel_ = -1;
  expanded_item_ = -1;
  selection_.Empty();
  body_->RemoveAll();
}

SIZE CListUI::GetScrollPos() const { return body_->GetScrollPos(); }
SIZE CListUI::GetScrollRange() const { return body_->GetScrollRange(); }
void CListUI::SetScrollPos(SIZE pos, bool notify) { body_->SetScrollPos(pos, notify); }
void CListUI::LineUp() { body_->LineUp(); }
void CListUI::LineDown() { body_->LineDown(); }
void CListUI::PageUp() { body_->PageUp(); }
void CListUI::PageDown() { body_->PageDown(); }
void CListUI::HomeUp() { body_->HomeUp(); }
void CListUI::EndDown() { body_->EndDown(); }
void CListUI::LineLeft() { body_->LineLeft(); }
void CListUI::LineRight() { body_->LineRight(); }
void CListUI::PageLeft() { body_->PageLeft(); }
void CListUI::PageRight() { body_->PageRight(); }
void CListUI::HomeLeft() { body_->HomeLeft(); }
void CListUI::EndRight() { body_->EndRight(); }
void CListUI::EnableScrollBar(bool vertical, bool horizontal) { body_->EnableScrollBar(vertical, horizontal); }
CScrollBarUI* CListUI::GetVerticalScrollBar() const { return body_->GetVerticalScrollBar(); }
CScrollBarUI* CListUI::GetHorizontalScrollBar() const { return body_->GetHorizontalScrollBar(); }

void CListUI::ScrollItemIntoView(int index) {
  if (cur_sel_ < 0) return;
  CControlUI* control = body_->GetItemAt(index);
  if (control == nullptr) return;
  RECT band = body_->GetPos();
  const RECT inset = body_->GetInset();
  band.left += inset.left;
  band.top += inset.top;
  band.right -= inset.right;
  band.bottom -= inset.bottom;
  CScrollBarUI* hbar = body_->GetHorizontalScrollBar();
  if (hbar != nullptr && hbar->IsVisible()) band.bottom -= hbar->GetFixedHeight();
  const RECT pos = control->GetPos();
  if (pos.top >= band.top && pos.bottom < band.bottom) return;
  int dy = 0;
  if (pos.top < band.top) dy = pos.top - band.top;
  if (pos.bottom > band.bottom) dy = pos.bottom - band.bottom;
  ScrollBy(0, dy);
}

void CListUI::ScrollBy(int dx, int dy) {
  if (dx == 0 && dy == 0) return;
  const SIZE pos = body_->GetScrollPos();
  body_->SetScrollPos(SIZE{pos.cx + dx, pos.cy + dy}, true);
}

int CListUI::GetChildPadding() const { return body_->GetChildPadding(); }
void CListUI::SetChildPadding(int padding) { body_->SetChildPadding(padding); }
bool CListUI::IsDelayedDestroy() const { return body_->IsDelayedDestroy(); }
void CListUI::SetDelayedDestroy(bool on) { body_->SetDelayedDestroy(on); }

bool CListUI::IsColumnEditable(int) { return false; }
CControlUI* CListUI::GetEditControl() { return nullptr; }
bool CListUI::IsColumnComboable(int) { return false; }
CControlUI* CListUI::GetComboControl() { return nullptr; }

// ---- selection

int CListUI::GetCurrentSelection() const {
  return selection_.IsEmpty() ? -1 : PtrToIndex(selection_.GetAt(0));
}

bool CListUI::SelectItem(int index, bool take_focus) {
  if (index >= 0) {
    // A row that cannot be selected leaves the selection as it is, rather
    // than clearing it on the way to failing.
    CControlUI* target = body_->GetItemAt(index);
    if (AsListItem(target) == nullptr || !target->IsEnabled()) return false;
  }
  DeselectItem(index, true);
  range_anchor_ = -1;
  if (index < 0) return false;
  if (IsSelectedIndex(index)) return true;
  CControlUI* control = body_->GetItemAt(index);
  IListItemUI* item = AsListItem(control);
  if (item == nullptr || !item->Select(true)) return false;
  // The row's Select calls back into this operation, which selects and
  // notifies; this outer call then sees the index current and stays quiet.
  const int previous = cur_sel_;
  cur_sel_ = index;
  if (!IsSelectedIndex(index)) selection_.Add(IndexToPtr(index));
  ScrollItemIntoView(index);
  if (take_focus) control->SetFocus();
  if (previous != cur_sel_) Notify(L"itemselect", static_cast<WPARAM>(index), 0);
  return true;
}

bool CListUI::SelectItemMulti(int index, bool take_focus) {
  if (!multi_select_) return SelectItem(index, take_focus);
  if (index < 0) {
    DeselectAll();
    return true;
  }
  if (range_anchor_ == -1) range_anchor_ = cur_sel_ >= 0 ? cur_sel_ : index;
  CControlUI* control = body_->GetItemAt(index);
  IListItemUI* item = AsListItem(control);
  if (item == nullptr || !control->IsEnabled()) return false;
  const bool ctrl = CtrlHeld();
  if (ctrl && IsSelectedIndex(index)) {
    if (!item->SetSelectedFlag(false)) return false;
    RemoveSelectedIndex(index);
    Notify(L"itemselect", static_cast<WPARAM>(-1), 0);
    return true;
  }
  if (!ctrl && ShiftHeld()) {
    DeselectAll();
    const int first = std::min(range_anchor_, index);
    const int last = std::max(range_anchor_, index);
    for (int i = first; i <= last; ++i) {
      CControlUI* c = body_->GetItemAt(i);
      IListItemUI* it = AsListItem(c);
      if (it == nullptr || !c->IsEnabled() || !it->SetSelectedFlag(true)) continue;
      selection_.Add(IndexToPtr(i));
    }
    cur_sel_ = index;
    ScrollItemIntoView(index);
    if (take_focus) control->SetFocus();
    Notify(L"itemselect", static_cast<WPARAM>(index), static_cast<LPARAM>(range_anchor_));
    return true;
  }
  if (!item->SetSelectedFlag(true)) return false;
  cur_sel_ = index;
  if (!IsSelectedIndex(index)) selection_.Add(IndexToPtr(index));
  ScrollItemIntoView(index);
  if (take_focus) control->SetFocus();
  Notify(L"itemselect", static_cast<WPARAM>(index), 0);
  return true;
}

bool CListUI::DeselectItem(int index, bool others) {
  if (!others) {
    if (index < 0) return false;
    CControlUI* control = body_->GetItemAt(index);
    IListItemUI* item = AsListItem(control);
    if (item == nullptr || !control->IsEnabled() || !IsSelectedIndex(index)) return false;
    if (!item->SetSelectedFlag(false)) return false;
    RemoveSelectedIndex(index);
    return true;
  }
  for (int i = selection_.GetSize() - 1; i >= 0; --i) {
    const int sel = PtrToIndex(selection_.GetAt(i));
    if (sel == index) continue;
    CControlUI* control = body_->GetItemAt(sel);
    IListItemUI* item = AsListItem(control);
    if (item == nullptr || !control->IsEnabled() || !item->SetSelectedFlag(false)) continue;
    selection_.RemoveAt(i);
    if (cur_sel_ == sel) cur_sel_ = -1;
  }
  if (multi_select_) Notify(L"itemselect", static_cast<WPARAM>(-1), static_cast<LPARAM>(-1));
  return true;
}

void CListUI::SetMultiSelect(bool on) {
  multi_select_ = on;
  if (!on) DeselectAll();
}

void CListUI::SelectAll() {
  // One pass over the rows with the present selection as flags, so that
  // selecting a hundred thousand rows stays linear.
  const int count = body_->GetCount();
  std::vector<bool> present(static_cast<size_t>(count), false);
  for (int i = 0; i < selection_.GetSize(); ++i) {
    const int sel = PtrToIndex(selection_.GetAt(i));
    if (sel >= 0 && sel < count) present[static_cast<size_t>(sel)] = true;
  }
  for (int i = 0; i < count; ++i) {
    CControlUI* control = body_->GetItemAt(i);
    IListItemUI* item = AsListItem(control);
    if (item == nullptr || !control->IsVisible() || !control->IsEnabled()) continue;
    if (!item->SetSelectedFlag(true)) continue;
    if (!present[static_cast<size_t>(i)]) selection_.Add(IndexToPtr(i));
    cur_sel_ = i;
  }
  if (multi_select_) Notify(L"itemselect", static_cast<WPARAM>(-1), static_cast<LPARAM>(-1));
}

void CListUI::DeselectAll() {
  for (int i = 0; i < selection_.GetSize(); ++i) {
    CControlUI* control = body_->GetItemAt(PtrToIndex(selection_.GetAt(i)));
    IListItemUI* item = AsListItem(control);
    if (item != nullptr && control->IsEnabled()) item->SetSelectedFlag(false);
  }
  selection_.Empty();
  cur_sel_ = -1;
}

int CListUI::GetNextSelected(int index) const {
  if (selection_.IsEmpty()) return -1;
  if (index < 0) return PtrToIndex(selection_.GetAt(0));
  const int at = selection_.Find(IndexToPtr(index));
  if (at < 0 || at + 1 >= selection_.GetSize()) return -1;
  return PtrToIndex(selection_.GetAt(at + 1));
}

bool CListUI::ExpandItem(int index, bool expand) {
  if (expanded_item_ >= 0 && !info_.bMultiExpandable) {
    if (IListItemUI* item = ItemAt(expanded_item_)) item->Expand(false);
    expanded_item_ = -1;
  }
  if (expand) {
    CControlUI* control = body_->GetItemAt(index);
    IListItemUI* item = AsListItem(control);
    if (item == nullptr || !control->IsVisible()) return false;
    expanded_item_ = index;
    if (!item->Expand(true)) {
      expanded_item_ = -1;
      return false;
    }
  }
  MarkNeedsLayout();
  return true;
}

// ---- events

void CListUI::HandleEvent(ControlEventUI& event) {
  if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
    if (parent_ != nullptr) {
      parent_->HandleEvent(event);
    } else {
      CVerticalLayoutUI::HandleEvent(event);
    }
    return;
  }
  switch (event.Type) {
    case UIEVENT_SETFOCUS:
      focused_ = true;
      return;
    case UIEVENT_KILLFOCUS:
      focused_ = false;
      return;
    case UIEVENT_KEYDOWN:
      switch (event.chKey) {
        case VK_RETURN:
          if (cur_sel_ != -1) {
            if (CControlUI* c = body_->GetItemAt(cur_sel_)) c->Activate();
          }
          return;
        case VK_PRIOR:
          PageUp();
          return;
        case VK_NEXT:
          PageDown();
          return;
        case VK_HOME:
          SelectItem(body_->FindSelectable(0, false), true);
          return;
        case VK_END:
          SelectItem(body_->FindSelectable(GetCount() - 1, true), true);
          return;
        case VK_UP: {
          if (selection_.IsEmpty()) return;
          int smallest = PtrToIndex(selection_.GetAt(0));
          for (int i = 1; i < selection_.GetSize(); ++i) smallest = std::min(smallest, PtrToIndex(selection_.GetAt(i)));
          DeselectAll();
          SelectItem(std::max(smallest - 1, 0), true);
          return;
        }
        case VK_DOWN: {
          if (selection_.IsEmpty()) return;
          int largest = PtrToIndex(selection_.GetAt(0));
          for (int i = 1; i < selection_.GetSize(); ++i) largest = std::max(largest, PtrToIndex(selection_.GetAt(i)));
          DeselectAll();
          SelectItem(largest + 2 > GetCount() ? GetCount() - 1 : largest + 1, true);
          return;
        }
        case 'A':
          if (multi_select_ && CtrlHeld()) {
            DeselectAll();
            SelectAll();
            return;
          }
          break;
        default:
          break;
      }
      break;
    case UIEVENT_SCROLLWHEEL: {
      const int direction = LOWORD(event.wParam);
      if (direction != 0 && direction != 1) break;
      if (scroll_select_ && !multi_select_) {
        if (direction == 0) {
          SelectItem(body_->FindSelectable(cur_sel_ - 1, false), true);
        } else {
          SelectItem(body_->FindSelectable(cur_sel_ + 1, true), true);
        }
        return;
      }
      if (direction == 0) {
        LineUp();
      } else {
        LineDown();
      }
      return;
    }
    default:
      break;
  }
  CVerticalLayoutUI::HandleEvent(event);
}

// ---- attributes

void CListUI::SetItemFont(int font) { info_.nFont = font; }
void CListUI::SetItemTextStyle(UINT style) { info_.uTextStyle = style; }
void CListUI::SetItemTextPadding(RECT rc) {
  info_.rcTextPadding = rc;
  MarkNeedsLayout();
}
void CListUI::SetItemTextColor(DWORD color) { info_.dwTextColor = color; Invalidate(); }
void CListUI::SetItemBkColor(DWORD color) { info_.dwBkColor = color; Invalidate(); }
void CListUI::SetItemBkImage(const wchar_t* image) { info_.sBkImage = image; Invalidate(); }
void CListUI::SetAlternateBk(bool on) { info_.bAlternateBk = on; Invalidate(); }
void CListUI::SetSelectedItemTextColor(DWORD color) { info_.dwSelectedTextColor = color; Invalidate(); }
void CListUI::SetSelectedItemBkColor(DWORD color) { info_.dwSelectedBkColor = color; Invalidate(); }
void CListUI::SetSelectedItemImage(const wchar_t* image) { info_.sSelectedImage = image; Invalidate(); }
void CListUI::SetHotItemTextColor(DWORD color) { info_.dwHotTextColor = color; Invalidate(); }
void CListUI::SetHotItemBkColor(DWORD color) { info_.dwHotBkColor = color; Invalidate(); }
void CListUI::SetHotItemImage(const wchar_t* image) { info_.sHotImage = image; Invalidate(); }
void CListUI::SetDisabledItemTextColor(DWORD color) { info_.dwDisabledTextColor = color; Invalidate(); }
void CListUI::SetDisabledItemBkColor(DWORD color) { info_.dwDisabledBkColor = color; Invalidate(); }
void CListUI::SetDisabledItemImage(const wchar_t* image) { info_.sDisabledImage = image; Invalidate(); }
void CListUI::SetItemForeImage(const wchar_t* image) { info_.sForeImage = image; Invalidate(); }
void CListUI::SetHotItemForeImage(const wchar_t* image) { info_.sHotForeImage = image; Invalidate(); }
void CListUI::SetSelectedItemForeImage(const wchar_t* image) { info_.sSelectedForeImage = image; Invalidate(); }
void CListUI::SetItemLineColor(DWORD color) { info_.dwLineColor = color; Invalidate(); }
void CListUI::SetItemShowRowLine(bool on) { info_.bShowRowLine = on; Invalidate(); }
void CListUI::SetItemShowColumnLine(bool on) { info_.bShowColumnLine = on; Invalidate(); }
void CListUI::SetItemShowHtml(bool on) {
  if (info_.bShowHtml == on) return;
  info_.bShowHtml = on;
  MarkNeedsLayout();
}
void CListUI::SetItemRSelected(bool on) {
  if (info_.bRSelected == on) return;
  info_.bRSelected = on;
  MarkNeedsLayout();
}

void CListUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  using attr::Contains;
  using attr::Equals;
  if (name == nullptr || value == nullptr) return;
  if (Equals(name, L"header")) {
    header_->SetVisible(!Equals(value, L"hidden"));
  } else if (Equals(name, L"headerbkimage")) {
    header_->SetBackgroundImage(value);
  } else if (Equals(name, L"scrollselect")) {
    SetScrollSelect(attr::IsTrue(value));
  } else if (Equals(name, L"multiexpanding")) {
    SetMultiExpanding(attr::IsTrue(value));
  } else if (Equals(name, L"itemfont")) {
    info_.nFont = attr::ParseInt(value);
  } else if (Equals(name, L"itemalign")) {
    if (Contains(value, L"left")) {
      info_.uTextStyle &= ~(DT_CENTER | DT_RIGHT);
    }
    if (Contains(value, L"center")) {
      info_.uTextStyle &= ~DT_RIGHT;
      info_.uTextStyle |= DT_CENTER;
    }
    if (Contains(value, L"right")) {
      info_.uTextStyle &= ~DT_CENTER;
      info_.uTextStyle |= DT_RIGHT;
    }
  } else if (Equals(name, L"itemvalign")) {
    if (Contains(value, L"top")) info_.uTextStyle &= ~(DT_VCENTER | DT_BOTTOM);
    if (Contains(value, L"vcenter")) {
      info_.uTextStyle &= ~(DT_BOTTOM | DT_WORDBREAK);
      info_.uTextStyle |= DT_VCENTER | DT_SINGLELINE;
    }
    if (Contains(value, L"bottom")) {
      info_.uTextStyle &= ~DT_VCENTER;
      info_.uTextStyle |= DT_BOTTOM;
    }
  } else if (Equals(name, L"itemendellipsis")) {
    if (attr::IsTrue(value)) {
      info_.uTextStyle |= DT_END_ELLIPSIS;
    } else {
      info_.uTextStyle &= ~DT_END_ELLIPSIS;
    }
  } else if (Equals(name, L"itemtextpadding")) {
    SetItemTextPadding(attr::ParseRect(value));
  } else if (Equals(name, L"itemtextcolor")) {
    SetItemTextColor(attr::ParseColor(value));
  } else if (Equals(name, L"itembkcolor")) {
    SetItemBkColor(attr::ParseColor(value));
  } else if (Equals(name, L"itemselectedtextcolor")) {
    SetSelectedItemTextColor(attr::ParseColor(value));
  } else if (Equals(name, L"itemselectedbkcolor")) {
    SetSelectedItemBkColor(attr::ParseColor(value));
  } else if (Equals(name, L"itemhottextcolor")) {
    SetHotItemTextColor(attr::ParseColor(value));
  } else if (Equals(name, L"itemhotbkcolor")) {
    SetHotItemBkColor(attr::ParseColor(value));
  } else if (Equals(name, L"itemdisabledtextcolor")) {
    SetDisabledItemTextColor(attr::ParseColor(value));
  } else if (Equals(name, L"itemdisabledbkcolor")) {
    SetDisabledItemBkColor(attr::ParseColor(value));
  } else if (Equals(name, L"itemlinecolor")) {
    SetItemLineColor(attr::ParseColor(value));
  } else if (Equals(name, L"itembkimage")) {
    SetItemBkImage(value);
  } else if (Equals(name, L"itemselectedimage")) {
    SetSelectedItemImage(value);
  } else if (Equals(name, L"itemhotimage")) {
    SetHotItemImage(value);
  } else if (Equals(name, L"itemdisabledimage")) {
    SetDisabledItemImage(value);
  } else if (Equals(name, L"itemforeimage")) {
    SetItemForeImage(value);
  } else if (Equals(name, L"itemhotforeimage")) {
    SetHotItemForeImage(value);
  } else if (Equals(name, L"itemselectedforeimage")) {
    SetSelectedItemForeImage(value);
  } else if (Equals(name, L"itemaltbk")) {
    SetAlternateBk(attr::IsTrue(value));
  } else if (Equals(name, L"itemshowrowline")) {
    SetItemShowRowLine(attr::IsTrue(value));
  } else if (Equals(name, L"itemshowcolumnline")) {
    SetItemShowColumnLine(attr::IsTrue(value));
  } else if (Equals(name, L"itemshowhtml")) {
    SetItemShowHtml(attr::IsTrue(value));
  } else if (std::wcscmp(name, L"multiselect") == 0) {
    SetMultiSelect(std::wcscmp(value, L"true") == 0);
  } else if (std::wcscmp(name, L"itemrselected") == 0) {
    SetItemRSelected(std::wcscmp(value, L"true") == 0);
  } else {
    CVerticalLayoutUI::SetAttribute(name, value);
  }
}

}  // namespace SkinUI
