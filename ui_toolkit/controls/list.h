// The list control: a column header over a body of rows. The list keeps the
// drawing record every row paints with, the selection (single or multiple),
// keyboard and wheel navigation, and routes added controls to the header, the
// body or itself. The interfaces here are shared with the other list owners
// (combo, tree, menu) so that the same rows work inside all of them.
#pragma once

#include "ui_toolkit/core/ui_ptr_array.h"
#include "ui_toolkit/core/ui_string.h"
#include "ui_toolkit/core/vertical_layout.h"

namespace SkinUI {

class CListHeaderUI;
class CListBodyUI;

constexpr int kListMaxColumns = 32;

struct ListInfoUI {
  int nColumns = 0;
  RECT rcColumn[kListMaxColumns]{};
  int nFont = -1;
  UINT uTextStyle = DT_VCENTER | DT_SINGLELINE;
  RECT rcTextPadding{};
  DWORD dwTextColor = 0xFF000000;
  DWORD dwBkColor = 0;
  CUiString sBkImage;
  bool bAlternateBk = false;
  DWORD dwSelectedTextColor = 0xFF000000;
  DWORD dwSelectedBkColor = 0xFFC1E3FF;
  CUiString sSelectedImage;
  DWORD dwHotTextColor = 0xFF000000;
  DWORD dwHotBkColor = 0xFFE9F5FF;
  CUiString sHotImage;
  DWORD dwDisabledTextColor = 0xFFCCCCCC;
  DWORD dwDisabledBkColor = 0xFFFFFFFF;
  CUiString sDisabledImage;
  CUiString sForeImage;
  CUiString sHotForeImage;
  CUiString sSelectedForeImage;
  DWORD dwLineColor = 0;
  bool bShowRowLine = false;
  bool bShowColumnLine = false;
  bool bShowHtml = false;
  bool bMultiExpandable = false;
  bool bRSelected = false;
};

class IListOwnerUI {
 public:
  virtual int GetListKind() const = 0;
  virtual ListInfoUI* GetListInfo() = 0;
  virtual int GetCurrentSelection() const = 0;
  virtual bool SelectItem(int index, bool take_focus = false) = 0;
  virtual bool SelectItemMulti(int index, bool take_focus = false) = 0;
  virtual bool DeselectItem(int index, bool others = false) = 0;
  virtual void HandleOwnerEvent(ControlEventUI& event) = 0;

 protected:
  ~IListOwnerUI() = default;
};

// Supplies row texts instead of the rows' own (owned by the application).
class IListTextSourceUI {
 public:
  virtual CUiString GetItemText(CControlUI* control, int index, int column) = 0;
  // state: 0 normal, 1 hot, 2 selected, 3 disabled.
  virtual DWORD GetItemTextColor(CControlUI* control, int index, int column, int state) = 0;

 protected:
  ~IListTextSourceUI() = default;
};

class IListUI : public IListOwnerUI {
 public:
  virtual CListHeaderUI* GetHeader() const = 0;
  virtual CListBodyUI* GetBody() const = 0;
  virtual IListTextSourceUI* GetTextSource() const = 0;
  virtual void SetTextSource(IListTextSourceUI* source) = 0;
  virtual bool ExpandItem(int index, bool expand = true) = 0;
  virtual int GetExpandedItem() const = 0;
  virtual void SetMultiSelect(bool on) = 0;
  virtual bool IsMultiSelect() const = 0;
  virtual void SelectAll() = 0;
  virtual void DeselectAll() = 0;
  virtual int GetSelectionCount() const = 0;
  virtual int GetNextSelected(int index) const = 0;

 protected:
  ~IListUI() = default;
};

class IListItemUI {
 public:
  virtual int GetIndex() const = 0;
  virtual void SetIndex(int index) = 0;
  virtual IListOwnerUI* GetOwner() = 0;
  virtual void SetOwner(CControlUI* owner) = 0;
  virtual bool IsSelected() const = 0;
  virtual bool Select(bool select = true) = 0;
  virtual bool SetSelectedFlag(bool select) = 0;
  virtual bool IsExpanded() const = 0;
  virtual bool Expand(bool expand = true) = 0;
  virtual void DrawItemText(HDC dc, const RECT& rc) = 0;

 protected:
  ~IListItemUI() = default;
};

class CListUI : public CVerticalLayoutUI, public IListUI {
 public:
  CListUI();
  ~CListUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  UINT GetControlFlags() const override;
  void SetPos(RECT rc, bool invalidate = true) override;
  void MoveBy(SIZE delta, bool invalidate = true) override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;

  // Container operations on the rows (the body), not on header and body.
  CControlUI* GetItemAt(int index) const override;
  int GetItemIndex(CControlUI* control) const override;
  bool SetItemIndex(CControlUI* control, int index) override;
  int GetCount() const override;
  bool Add(CControlUI* control) override;
  bool AddAt(CControlUI* control, int index) override;
  bool Remove(CControlUI* control) override;
  bool RemoveAt(int index) override;
  void RemoveAll() override;
  // Scrolling is the body's.
  SIZE GetScrollPos() const override;
  SIZE GetScrollRange() const override;
  void SetScrollPos(SIZE pos, bool notify = true) override;
  void LineUp() override;
  void LineDown() override;
  void PageUp() override;
  void PageDown() override;
  void HomeUp() override;
  void EndDown() override;
  void LineLeft() override;
  void LineRight() override;
  void PageLeft() override;
  void PageRight() override;
  void HomeLeft() override;
  void EndRight() override;
  void EnableScrollBar(bool vertical = true, bool horizontal = false) override;
  CScrollBarUI* GetVerticalScrollBar() const override;
  CScrollBarUI* GetHorizontalScrollBar() const override;
  int GetChildPadding() const override;
  void SetChildPadding(int padding) override;
  bool IsDelayedDestroy() const override;
  void SetDelayedDestroy(bool on) override;

  // The extended list's in-place editing hooks; a plain list edits nothing.
  virtual bool IsColumnEditable(int column);
  virtual CControlUI* GetEditControl();
  virtual bool IsColumnComboable(int column);
  virtual CControlUI* GetComboControl();

  // IListOwnerUI
  int GetListKind() const override { return 0; }
  ListInfoUI* GetListInfo() override { return &info_; }
  int GetCurrentSelection() const override;
  bool SelectItem(int index, bool take_focus = false) override;
  bool SelectItemMulti(int index, bool take_focus = false) override;
  bool DeselectItem(int index, bool others = false) override;
  void HandleOwnerEvent(ControlEventUI& event) override { HandleEvent(event); }

  // IListUI
  CListHeaderUI* GetHeader() const override { return header_; }
  CListBodyUI* GetBody() const override { return body_; }
  IListTextSourceUI* GetTextSource() const override { return text_source_; }
  void SetTextSource(IListTextSourceUI* source) override { text_source_ = source; }
  bool ExpandItem(int index, bool expand = true) override;
  int GetExpandedItem() const override { return expanded_item_; }
  void SetMultiSelect(bool on) override;
  bool IsMultiSelect() const override { return multi_select_; }
  void SelectAll() override;
  void DeselectAll() override;
  int GetSelectionCount() const override { return selection_.GetSize(); }
  int GetNextSelected(int index) const override;

  // Scrolls the body vertically so that the row at |index| shows whole.
  void ScrollItemIntoView(int index);
  void ScrollBy(int dx, int dy);

  bool IsScrollSelect() const { return scroll_select_; }
  void SetScrollSelect(bool on) { scroll_select_ = on; }
  // Index of the item selected last, -1 for none.
  int GetLastSelection() const { return cur_sel_; }

  void SetItemFont(int font);
  void SetItemTextStyle(UINT style);
  void SetItemTextPadding(RECT rc);
  void SetItemTextColor(DWORD color);
  void SetItemBkColor(DWORD color);
  void SetItemBkImage(const wchar_t* image);
  void SetAlternateBk(bool on);
  void SetSelectedItemTextColor(DWORD color);
  void SetSelectedItemBkColor(DWORD color);
  void SetSelectedItemImage(const wchar_t* image);
  void SetHotItemTextColor(DWORD color);
  void SetHotItemBkColor(DWORD color);
  void SetHotItemImage(const wchar_t* image);
  void SetDisabledItemTextColor(DWORD color);
  void SetDisabledItemBkColor(DWORD color);
  void SetDisabledItemImage(const wchar_t* image);
  void SetItemForeImage(const wchar_t* image);
  void SetHotItemForeImage(const wchar_t* image);
  void SetSelectedItemForeImage(const wchar_t* image);
  void SetItemLineColor(DWORD color);
  void SetItemShowRowLine(bool on);
  void SetItemShowColumnLine(bool on);
  void SetItemShowHtml(bool on);
  void SetMultiExpanding(bool on) { info_.bMultiExpandable = on; }
  void SetItemRSelected(bool on);

 private:
  bool IsHeader(CControlUI* control) const;
  static bool IsHeaderItem(CControlUI* control);
  static IListItemUI* AsListItem(CControlUI* control);
  // The body's row at |index| as a list item, or null.
  IListItemUI* ItemAt(int index) const;
  bool IsSelectedIndex(int index) const;
  void RemoveSelectedIndex(int index);
  void UpdateColumnCount();
  void Renumber(int from);
  // Moves the selected indices at or after |from| by |delta|, so that the
  // selection keeps naming the rows the user chose after an insertion or removal.
  void ShiftSelection(int from, int delta);
  void Notify(const wchar_t* type, WPARAM wparam, LPARAM lparam);

  bool scroll_select_ = false;
  bool multi_select_ = false;
  int cur_sel_ = -1;
  int range_anchor_ = -1;
  CUiPtrArray selection_;
  int expanded_item_ = -1;
  IListTextSourceUI* text_source_ = nullptr;
  CListBodyUI* body_ = nullptr;
  CListHeaderUI* header_ = nullptr;
  ListInfoUI info_;
};

}  // namespace SkinUI
