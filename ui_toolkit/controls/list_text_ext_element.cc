#include "ui_toolkit/controls/list_text_ext_element.h"

#include "ui_toolkit/controls/list_ex.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {

CListTextExtElementUI::~CListTextExtElementUI() {
  for (int i = 0; i < texts_.GetSize(); ++i) delete static_cast<CUiString*>(texts_.GetAt(i));
}

const wchar_t* CListTextExtElementUI::GetClassName() const { return L"ListTextExElementUI"; }

void* CListTextExtElementUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"ListTextExElement")) return static_cast<CListTextExtElementUI*>(this);
  return CListLabelElementUI::QueryInterfaceByName(name);
}

UINT CListTextExtElementUI::GetControlFlags() const {
  return (IsEnabled() && link_count_ > 0) ? (4 | UIFLAG_SETCURSOR) : 4;
}

void CListTextExtElementUI::SetOwner(CControlUI* owner) {
  CListLabelElementUI::SetOwner(owner);
  owner_list_ = owner != nullptr ? static_cast<CListUI*>(owner->QueryInterfaceByName(L"List")) : nullptr;
}

CListExUI* CListTextExtElementUI::ExtendedOwner() const {
  if (owner_list_ == nullptr || owner_list_->QueryInterfaceByName(L"ListEx") == nullptr) return nullptr;
  return static_cast<CListExUI*>(owner_list_);
}

bool CListTextExtElementUI::AnyColumnCheckable() const {
  CListExUI* list = ExtendedOwner();
  if (list == nullptr) return false;
  const int columns = list->GetListInfo()->nColumns;
  for (int c = 0; c < columns; ++c) {
    if (list->IsColumnCheckable(c)) return true;
  }
  return false;
}

void CListTextExtElementUI::SetColumnText(int column, const wchar_t* text) {
  if (owner_list_ == nullptr) return;
  const int columns = owner_list_->GetListInfo()->nColumns;
  if (column < 0 || column >= columns) return;
  while (texts_.GetSize() < columns) texts_.Add(nullptr);
  auto* entry = static_cast<CUiString*>(texts_.GetAt(column));
  if (entry != nullptr) {
    if (text != nullptr && entry->Equals(text)) return;
    *entry = text != nullptr ? text : L"";
  } else {
    if (text == nullptr) return;
    texts_.SetAt(column, new CUiString(text));
  }
  InvalidateListItem();
}

const wchar_t* CListTextExtElementUI::GetColumnText(int column) const {
  auto* entry = static_cast<CUiString*>(texts_.GetAtOrNull(column));
  return entry != nullptr ? entry->GetData() : nullptr;
}

int CListTextExtElementUI::GetColumnAtPoint(POINT pt) const {
  if (owner_ == nullptr) return -1;
  const ListInfoUI* info = owner_->GetListInfo();
  for (int c = 0; c < info->nColumns; ++c) {
    const RECT& col = info->rcColumn[c];
    const RECT cell{col.left + info->rcTextPadding.left, pos_.top + info->rcTextPadding.top,
                    col.right - info->rcTextPadding.right, pos_.bottom - info->rcTextPadding.bottom};
    if (::PtInRect(&cell, pt)) return c;
  }
  return -1;
}

RECT CListTextExtElementUI::GetCellEditRect(int column) const {
  if (owner_list_ == nullptr || column < 0 || column >= owner_list_->GetListInfo()->nColumns) return RECT{};
  const RECT& col = owner_list_->GetListInfo()->rcColumn[column];
  const RECT& list = owner_list_->GetPos();
  return RECT{col.left + 1 - list.left, pos_.top + 1 - list.top, col.right - 1 - list.left,
              pos_.bottom - 1 - list.top};
}

RECT CListTextExtElementUI::GetCheckBoxRect() const {
  // Scaled like the header's box, so that both boxes match at every scale.
  return box_.BoxIn(pos_, ScaleValue(box_.width), ScaleValue(box_.height));
}

void CListTextExtElementUI::SetCheck(bool check) {
  if (box_.checked == check) return;
  box_.checked = check;
  if (check) {
    box_.state |= UISTATE_SELECTED;
  } else {
    box_.state &= ~UISTATE_SELECTED;
  }
  InvalidateListItem();
}

int CListTextExtElementUI::LinkAt(POINT pt) const {
  for (int i = 0; i < link_count_; ++i) {
    if (::PtInRect(&links_[i], pt)) return i;
  }
  return -1;
}

void CListTextExtElementUI::HandleCheckBoxEvent(ControlEventUI& event) {
  const RECT box = GetCheckBoxRect();
  const bool inside = ::PtInRect(&box, event.ptMouse) != FALSE;
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
      if (!inside) return;
      box_.state |= UISTATE_PUSHED | UISTATE_CAPTURED;
      break;
    case UIEVENT_MOUSEMOVE:
      if ((box_.state & UISTATE_CAPTURED) == 0) return;
      if (inside) {
        box_.state |= UISTATE_PUSHED;
      } else {
        box_.state &= ~UISTATE_PUSHED;
      }
      break;
    case UIEVENT_BUTTONUP:
      if ((box_.state & UISTATE_CAPTURED) == 0) return;
      if (inside) {
        SetCheck(!box_.checked);
        // The row index travels in the low word; the high word (the column) is 0.
        if (manager_ != nullptr) {
          manager_->SendNotify(this, L"listitemchecked", static_cast<WPARAM>(index_ & 0xFFFF), box_.checked ? 1 : 0);
        }
      }
      box_.state &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
      break;
    case UIEVENT_MOUSEENTER:
      if (!inside) return;
      box_.state |= UISTATE_HOT;
      break;
    case UIEVENT_MOUSELEAVE:
      box_.state &= ~UISTATE_HOT;
      break;
    default:
      return;
  }
  InvalidateListItem();
}

void CListTextExtElementUI::HandleEvent(ControlEventUI& event) {
  if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
    if (owner_list_ != nullptr) {
      owner_list_->HandleOwnerEvent(event);
    } else {
      CListLabelElementUI::HandleEvent(event);
    }
    return;
  }
  if (event.Type == UIEVENT_SETCURSOR && LinkAt(event.ptMouse) >= 0) {
    ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    return;
  }
  if (event.Type == UIEVENT_BUTTONUP && IsEnabled()) {
    const int link = LinkAt(event.ptMouse);
    if (link >= 0) {
      if (manager_ != nullptr) manager_->SendNotify(this, L"link", static_cast<WPARAM>(link));
      return;
    }
  }
  if (link_count_ > 0) {
    if (event.Type == UIEVENT_MOUSEMOVE) {
      const int hovered = LinkAt(event.ptMouse);
      if (hovered != hovered_link_) {
        hovered_link_ = hovered;
        InvalidateListItem();
      }
    } else if (event.Type == UIEVENT_MOUSELEAVE && hovered_link_ != -1) {
      InvalidateListItem();
      hovered_link_ = -1;
    }
  }
  if (CListExUI* list = ExtendedOwner()) {
    const RECT box = GetCheckBoxRect();
    const bool on_box = AnyColumnCheckable() && ::PtInRect(&box, event.ptMouse) != FALSE;
    // A click on the check box checks the row; an editor opened there would
    // cover the box and take the next click meant for it.
    if (event.Type == UIEVENT_BUTTONUP && list->IsFocused() && !on_box) {
      const int column = GetColumnAtPoint(event.ptMouse);
      const RECT cell = column >= 0 ? GetCellEditRect(column) : RECT{};
      list->OnListItemClicked(index_, column, cell, column >= 0 ? GetColumnText(column) : nullptr);
    }
    // Every checkable column shows the same box of the row: one toggle per
    // click however many columns are checkable.
    if (AnyColumnCheckable()) HandleCheckBoxEvent(event);
  }
  CListLabelElementUI::HandleEvent(event);
}

void CListTextExtElementUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (name == nullptr || value == nullptr) return;
  if (box_.SetAttribute(name, value)) return;
  CListLabelElementUI::SetAttribute(name, value);
}

SIZE CListTextExtElementUI::MeasureSize(SIZE) {
  SIZE size = ScaleSizeValue(fixed_size_);
  if (fixed_size_.cy == 0 && manager_ != nullptr && owner_ != nullptr) {
    const ListInfoUI* info = owner_->GetListInfo();
    size.cy = manager_->GetFontRecordById(info->nFont)->tm.tmHeight + 8 + info->rcTextPadding.top +
              info->rcTextPadding.bottom;
  }
  return size;
}

bool CListTextExtElementUI::PaintContent(HDC dc, const RECT& paint, CControlUI*) {
  RECT t{};
  if (!::IntersectRect(&t, &paint, &pos_)) return true;
  DrawItemBk(dc, pos_);
  PaintStateImage(dc);
  DrawItemText(dc, pos_);
  return true;
}

void CListTextExtElementUI::PaintStateImage(HDC dc) {
  if (!AnyColumnCheckable()) return;
  box_.Paint(dc, this, GetCheckBoxRect(), paint_rect_, IsFocused(), IsEnabled());
}

void CListTextExtElementUI::DrawItemText(HDC dc, const RECT& rc) {
  link_count_ = 0;
  if (owner_ == nullptr || owner_list_ == nullptr) return;
  ListInfoUI* info = owner_->GetListInfo();
  IListTextSourceUI* source = owner_list_->GetTextSource();
  CListExUI* list = ExtendedOwner();
  DWORD color = IsHot() ? info->dwHotTextColor : info->dwTextColor;
  if (selected_) color = info->dwSelectedTextColor;
  if (!IsEnabled()) color = info->dwDisabledTextColor;
  const UINT style = info->uTextStyle | DT_SINGLELINE;
  const int box_width = ScaleValue(box_.width);
  for (int c = 0; c < info->nColumns; ++c) {
    const RECT& col = info->rcColumn[c];
    RECT cell{col.left + info->rcTextPadding.left, rc.top + info->rcTextPadding.top,
              col.right - info->rcTextPadding.right, rc.bottom - info->rcTextPadding.bottom};
    if (list != nullptr && list->IsColumnCheckable(c)) cell.left += box_width;
    CUiString text;
    if (source != nullptr) {
      text = source->GetItemText(this, index_, c);
    } else if (const wchar_t* own = GetColumnText(c)) {
      text = own;
    }
    if (info->bShowHtml) {
      int links = kMaxLinks - link_count_;
      CUiDrawEngine::DrawHtmlText(dc, manager_, cell, text.GetData(), color, &links_[link_count_],
                                  &link_texts_[link_count_], links, info->nFont, style);
      link_count_ += links;
    } else {
      CUiDrawEngine::DrawText(dc, manager_, cell, text.GetData(), color, info->nFont, style);
    }
  }
  for (int i = link_count_; i < kMaxLinks; ++i) {
    links_[i] = RECT{};
    link_texts_[i] = L"";
  }
}

}  // namespace SkinUI
