#include "ui_toolkit/controls/list_ex.h"

#include "ui_toolkit/controls/combo_box.h"
#include "ui_toolkit/controls/list_container_header_item.h"
#include "ui_toolkit/controls/list_header.h"
#include "ui_toolkit/controls/list_text_ext_element.h"
#include "ui_toolkit/controls/rich_edit.h"
#include "ui_toolkit/core/dpi_helper.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

CListTextExtElementUI* AsExtRow(CControlUI* control) {
  return control != nullptr ? static_cast<CListTextExtElementUI*>(control->QueryInterfaceByName(L"ListTextExElement"))
                            : nullptr;
}

}  // namespace

CListExUI::~CListExUI() {
  // The host registered the list for notifications; a list that goes first
  // must not leave the window notifying freed memory.
  if (manager_ != nullptr) manager_->RemoveNotifier(this);
}

const wchar_t* CListExUI::GetClassName() const { return L"XListUI"; }

void* CListExUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"ListEx")) return static_cast<IListUI*>(this);
  return CListUI::QueryInterfaceByName(name);
}

CListContainerHeaderItemUI* CListExUI::ColumnAt(int column) const {
  CListHeaderUI* header = GetHeader();
  if (header == nullptr || column < 0) return nullptr;
  CControlUI* item = header->GetItemAt(column);
  if (item == nullptr) return nullptr;
  return static_cast<CListContainerHeaderItemUI*>(item->QueryInterfaceByName(L"ListContainerHeaderItem"));
}

bool CListExUI::IsColumnEditable(int column) {
  const CListContainerHeaderItemUI* item = ColumnAt(column);
  return item != nullptr && item->IsEditable();
}

bool CListExUI::IsColumnComboable(int column) {
  const CListContainerHeaderItemUI* item = ColumnAt(column);
  return item != nullptr && item->IsComboable();
}

bool CListExUI::IsColumnCheckable(int column) {
  const CListContainerHeaderItemUI* item = ColumnAt(column);
  return item != nullptr && item->IsCheckable();
}

void CListExUI::MoveAway(CControlUI* editor) {
  if (editor == nullptr) return;
  // Both the fixed place and the position: a later layout of the list puts a
  // floating child back where its fixed place says.
  editor->SetFixedXY(SIZE{0, 0});
  editor->SetFixedWidth(0);
  editor->SetFixedHeight(0);
  editor->SetPos(RECT{}, false);
  if (placed_ == editor) placed_ = nullptr;
}

void CListExUI::SetPos(RECT rc, bool invalidate) {
  CListUI::SetPos(rc, invalidate);
  // The fixed place is unscaled, and scaling it back may miss the cell by a
  // pixel at some scales: the editor goes back over its cell exactly.
  if (placed_ != nullptr) {
    placed_->SetPos(RECT{pos_.left + placed_cell_.left, pos_.top + placed_cell_.top, pos_.left + placed_cell_.right,
                         pos_.top + placed_cell_.bottom},
                    false);
  }
}

CControlUI* CListExUI::GetEditControl() {
  if (edit_ == nullptr) {
    edit_ = new CRichEditUI();
    edit_->SetName(kEditName);
    if (manager_ != nullptr) {
      if (const wchar_t* defaults = manager_->FindDefaultAttributes(L"RichEdit")) edit_->ApplyAttributeString(defaults);
    }
    edit_->SetBackgroundColor(0xFFFFFFFF);
    edit_->SetRich(false);
    edit_->SetMultiLine(false);
    edit_->SetWantReturn(true);
    edit_->SetFloat(true);
    edit_->SetAttribute(L"autohscroll", L"true");
    edit_->SetVisible(false);
    CListUI::Add(edit_);
  }
  MoveAway(combo_);
  return edit_;
}

CControlUI* CListExUI::GetComboControl() {
  if (combo_ == nullptr) {
    combo_ = new CComboBoxUI();
    combo_->SetName(kComboName);
    if (manager_ != nullptr) {
      if (const wchar_t* defaults = manager_->FindDefaultAttributes(L"Combo")) combo_->ApplyAttributeString(defaults);
    }
    // Floating, so that the list's layout keeps it over its cell instead of
    // stacking it under the body as one more child.
    combo_->SetFloat(true);
    combo_->SetVisible(false);
    CListUI::Add(combo_);
  }
  if (edit_ != nullptr) MoveAway(edit_);
  return combo_;
}

void CListExUI::PlaceEditor(CControlUI* editor, const RECT& cell) {
  // Fixed places and sizes are kept unscaled and scaled on use.
  CDpiHelperUI* dpi = manager_ != nullptr ? manager_->GetDpiHelper() : nullptr;
  auto unscale = [dpi](int v) { return dpi != nullptr ? dpi->Unscale(v) : v; };
  editor->SetFixedXY(SIZE{unscale(cell.left), unscale(cell.top)});
  editor->SetFixedWidth(unscale(cell.right - cell.left));
  editor->SetFixedHeight(unscale(cell.bottom - cell.top));
  placed_ = editor;
  placed_cell_ = cell;
  editor->SetPos(RECT{pos_.left + cell.left, pos_.top + cell.top, pos_.left + cell.right, pos_.top + cell.bottom},
                 true);
}

void CListExUI::OnListItemClicked(int row, int column, const RECT& cell, const wchar_t* text) {
  if (column >= 0 && IsColumnEditable(column) && GetEditControl() != nullptr) {
    editing_row_ = row;
    editing_column_ = column;
    edit_->SetVisible(true);
    PlaceEditor(edit_, cell);
    int text_height = 0;
    if (manager_ != nullptr && manager_->GetPaintDC() != nullptr) {
      text_height = CUiDrawEngine::MeasureText(manager_->GetPaintDC(), manager_, L"TTT", GetListInfo()->nFont).cy;
    }
    int top = (cell.bottom - cell.top - text_height) / 2;
    if (manager_ != nullptr) top = manager_->GetDpiHelper()->Unscale(top);
    edit_->SetTextPadding(RECT{2, top, 2, 0});
    edit_->SetText(text != nullptr ? text : L"");
    edit_->SetFocus();
    return;
  }
  if (column >= 0 && IsColumnComboable(column) && GetComboControl() != nullptr) {
    combo_->RemoveAll();
    editing_row_ = row;
    editing_column_ = column;
    combo_->SetText(text != nullptr ? text : L"");
    if (combo_source_ != nullptr) combo_source_->FillComboItems(combo_, row, column);
    PlaceEditor(combo_, cell);
    combo_->SetVisible(true);
    return;
  }
  if (edit_ != nullptr) {
    MoveAway(edit_);
    edit_->SetVisible(false);
  }
  MoveAway(combo_);
}

void CListExUI::HideEditAndComboCtrl() {
  if (edit_ != nullptr) {
    MoveAway(edit_);
    edit_->SetVisible(false);
  }
  MoveAway(combo_);
}

void CListExUI::HandleEvent(ControlEventUI& event) {
  if (event.Type == UIEVENT_BUTTONDOWN || event.Type == UIEVENT_SCROLLWHEEL) HideEditAndComboCtrl();
  CListUI::HandleEvent(event);
}

void CListExUI::OnListItemChecked(int, int column, bool checked) {
  CListContainerHeaderItemUI* item = ColumnAt(column);
  if (item == nullptr) return;
  bool all = checked;
  for (int i = 0; all && i < GetCount(); ++i) {
    CListTextExtElementUI* row = AsExtRow(GetItemAt(i));
    if (row != nullptr && !row->GetCheck()) all = false;
  }
  item->SetCheck(all);
}

void CListExUI::CommitToRow(const CUiString& text) {
  if (CListTextExtElementUI* row = AsExtRow(GetItemAt(editing_row_))) row->SetColumnText(editing_column_, text);
}

void CListExUI::EndEditing() {
  editing_row_ = -1;
  editing_column_ = -1;
}

void CListExUI::Notify(NotifyMsgUI& msg) {
  CControlUI* sender = msg.pSender;
  if (sender == nullptr) return;
  if (msg.sType == L"listheaditemchecked") {
    if (GetHeader() != nullptr && GetHeader()->GetItemIndex(sender) >= 0) {
      for (int i = 0; i < GetCount(); ++i) {
        if (CListTextExtElementUI* row = AsExtRow(GetItemAt(i))) row->SetCheck(msg.lParam != 0);
      }
    }
    return;
  }
  if (msg.sType == L"listitemchecked") {
    if (AsExtRow(sender) != nullptr && GetItemIndex(sender) >= 0) {
      OnListItemChecked(LOWORD(msg.wParam), HIWORD(msg.wParam), msg.lParam != 0);
    }
    return;
  }
  const bool editing = editing_row_ >= 0 && editing_column_ >= 0;
  // Only this list's own editors: another extended list in the window has
  // editors of the same names, and its notifications reach this list too.
  if (sender->GetName().CompareNoCase(kEditName) == 0) {
    if (sender != edit_ || !editing) return;
    if (msg.sType == L"killfocus") {
      CommitToRow(edit_->GetText());
      EndEditing();
      MoveAway(edit_);
      edit_->SetVisible(false);
    }
    return;
  }
  if (sender->GetName().CompareNoCase(kComboName) == 0) {
    if (sender != combo_ || !editing) return;
    // The combo reports its choice as "itemselect" with the new index in
    // wParam; "listitemselect" carries it in lParam.
    const bool chosen = (msg.sType == L"itemselect" && static_cast<int>(msg.wParam) >= 0) ||
                        (msg.sType == L"listitemselect" && msg.lParam >= 0);
    if (chosen) {
      CommitToRow(combo_->GetText());
      MoveAway(combo_);
    }
    return;
  }
  if (msg.sType == L"scroll" && (edit_ != nullptr || combo_ != nullptr) && editing) HideEditAndComboCtrl();
}

}  // namespace SkinUI
