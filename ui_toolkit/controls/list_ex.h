// The extended list: a list whose header columns and rows carry check boxes
// (the header's box checks every row, the rows' boxes roll up into the first
// column's header box) and whose cells can be edited in place, in a RichEdit
// or a combo box that the list creates once and moves over the clicked cell.
// The host window registers the list as a notification receiver.
#pragma once

#include "ui_toolkit/controls/list.h"
#include "ui_toolkit/core/notify.h"

namespace SkinUI {

class CComboBoxUI;
class CListContainerHeaderItemUI;
class CRichEditUI;

// Fills the in-place combo's items for one cell (owned by the application).
class IListComboSourceUI {
 public:
  virtual void FillComboItems(CComboBoxUI* combo, int row, int column) = 0;

 protected:
  ~IListComboSourceUI() = default;
};

class CListExUI : public CListUI, public INotifyUI {
 public:
  static constexpr wchar_t kEditName[] = L"ListEx_Edit";
  static constexpr wchar_t kComboName[] = L"ListEx_Combo";

  CListExUI() = default;
  ~CListExUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  void SetPos(RECT rc, bool invalidate = true) override;
  void HandleEvent(ControlEventUI& event) override;
  void HandleOwnerEvent(ControlEventUI& event) override { HandleEvent(event); }
  void Notify(NotifyMsgUI& msg) override;

  bool IsColumnEditable(int column) override;
  CControlUI* GetEditControl() override;
  bool IsColumnComboable(int column) override;
  CControlUI* GetComboControl() override;
  virtual bool IsColumnCheckable(int column);
  virtual IListComboSourceUI* GetComboSource() const { return combo_source_; }
  virtual void SetComboSource(IListComboSourceUI* source) { combo_source_ = source; }

  // A row's click on |column| (-1: none) with the cell's edit rectangle
  // (relative to the list) and text.
  void OnListItemClicked(int row, int column, const RECT& cell, const wchar_t* text);
  void OnListItemChecked(int row, int column, bool checked);
  // Moves both editors away without writing the cell.
  void HideEditAndComboCtrl();

  int GetEditingRow() const { return editing_row_; }
  int GetEditingColumn() const { return editing_column_; }
  CRichEditUI* GetRichEdit() const { return edit_; }
  CComboBoxUI* GetComboBox() const { return combo_; }

 private:
  // The header column at |column| as an extended column, or null.
  CListContainerHeaderItemUI* ColumnAt(int column) const;
  // Places |editor| over |cell| (relative to the list) as a floating child.
  void PlaceEditor(CControlUI* editor, const RECT& cell);
  void MoveAway(CControlUI* editor);
  void CommitToRow(const CUiString& text);
  void EndEditing();

  CRichEditUI* edit_ = nullptr;
  CComboBoxUI* combo_ = nullptr;
  int editing_row_ = -1;
  int editing_column_ = -1;
  IListComboSourceUI* combo_source_ = nullptr;
  // The editor over a cell and that cell, relative to the list.
  CControlUI* placed_ = nullptr;
  RECT placed_cell_{};
};

}  // namespace SkinUI
