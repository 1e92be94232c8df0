// The list that shows one level of a pop-up menu, and the menu item: a list
// row with an icon, a check mark kept by name in the application's map, a
// separator mode, an expand arrow, and items of its own that form its
// sub-menu (hidden in the menu where the item lives).
#pragma once

#include "ui_toolkit/controls/list.h"
#include "ui_toolkit/controls/list_elements.h"
#include "ui_toolkit/controls/menu_records.h"

namespace SkinUI {

class CMenuWnd;

class CMenuUI : public CListUI {
 public:
  CMenuUI();
  ~CMenuUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  // Makes every visible item as wide as the widest and answers the sum of heights.
  SIZE MeasureSize(SIZE available) override;

  // Only menu items are taken; their own items are hidden here.
  int GetItemIndex(CControlUI* control) const override;
  bool SetItemIndex(CControlUI* control, int index) override;
  bool Add(CControlUI* control) override;
  bool AddAt(CControlUI* control, int index) override;
  bool Remove(CControlUI* control) override;

  int GetListKind() const override { return 3; }
  void HandleOwnerEvent(ControlEventUI& event) override { CMenuUI::HandleEvent(event); }

  CMenuWnd* GetMenuWnd() const { return menu_wnd_; }
  void SetMenuWnd(CMenuWnd* window) { menu_wnd_ = window; }

 private:
  static void HideSubItems(CControlUI* item);

  CMenuWnd* menu_wnd_ = nullptr;
};

class CMenuElementUI : public CListContainerElementUI {
 public:
  CMenuElementUI();
  ~CMenuElementUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  SIZE MeasureSize(SIZE available) override;
  bool PaintContent(HDC dc, const RECT& paint, CControlUI* stop) override;
  void DrawItemText(HDC dc, const RECT& rc) override;

  void SetIcon(const wchar_t* description) { icon_ = description; }
  const CUiString& GetIcon() const { return icon_; }
  void SetIconSize(LONG cx, LONG cy) { icon_size_ = {cx, cy}; }
  SIZE GetIconSize() const;
  void SetLineColor(DWORD color) { line_color_ = color; }
  DWORD GetLineColor() const { return line_color_; }
  void SetLinePadding(RECT rc) { line_padding_ = rc; }
  RECT GetLinePadding() const;
  void SetCheckable(bool on) { check_item_ = on; }
  bool IsCheckable() const { return check_item_; }
  void SetShowExpandArrow(bool on) { show_expand_arrow_ = on; }
  bool IsShowExpandArrow() const { return show_expand_arrow_; }
  void SetSeparator();
  bool IsSeparator() const { return separator_; }

  bool IsChecked() const;
  void SetChecked(bool checked);
  MenuCheckState* StoreCheckState(const wchar_t* name, bool checked);

  void OpenSubMenu();
  CMenuWnd* GetSubMenuWindow() const { return sub_menu_; }
  void SetSubMenuWindow(CMenuWnd* window) { sub_menu_ = window; }
  bool HasSubItems() const;
  // The state bits of the row (hot, pushed, ...), for the menu window.
  UINT GetItemState() const { return state_; }
  void ClearItemStateBits(UINT bits) { state_ &= ~bits; }

 private:
  // The menu window this item is shown in, or null.
  CMenuWnd* MenuWindow() const;
  HWND MenuWindowHandle() const;
  void ShowSubItems();
  void EnterItem();
  void PaintIcon(HDC dc);
  void PaintExpandArrow(HDC dc);

  CMenuWnd* sub_menu_ = nullptr;
  bool separator_ = false;
  DWORD line_color_ = 0xFFBCBFC4;
  RECT line_padding_{29, 0, 7, 0};
  SIZE icon_size_{16, 16};
  CUiString icon_;
  bool check_item_ = false;
  bool show_expand_arrow_ = false;
};

}  // namespace SkinUI
