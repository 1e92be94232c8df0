// The drop-down list: a container of list rows that shows the selected row's
// text and, when activated, lends its rows to a pop-up window of its own for
// as long as that window is open. The combo is the rows' list owner and keeps
// the drawing record they paint with.
#pragma once

#include "ui_toolkit/controls/list.h"
#include "ui_toolkit/core/container.h"
#include "ui_toolkit/core/notify.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/window_wnd.h"

namespace SkinUI {

class CComboWnd;
class CVerticalLayoutUI;

class CComboUI : public CContainerUI, public IListOwnerUI {
 public:
  CComboUI();
  // Closes an open pop-up first, so that no window keeps pointing at a combo
  // that is gone.
  ~CComboUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  UINT GetControlFlags() const override;
  bool Activate() override;
  CUiString GetText() const override;
  void SetPos(RECT rc, bool invalidate = true) override;
  void MoveBy(SIZE delta, bool invalidate = true) override;
  void SetEnabled(bool enabled = true) override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  SIZE MeasureSize(SIZE available) override;
  bool PaintContent(HDC dc, const RECT& paint, CControlUI* stop) override;
  void PaintStateImage(HDC dc) override;
  void PaintText(HDC dc) override;

  bool SetItemIndex(CControlUI* control, int index) override;
  bool Add(CControlUI* control) override;
  bool AddAt(CControlUI* control, int index) override;
  bool Remove(CControlUI* control) override;
  bool RemoveAt(int index) override;
  void RemoveAll() override;

  // IListOwnerUI
  int GetListKind() const override { return 1; }
  ListInfoUI* GetListInfo() override { return &info_; }
  int GetCurrentSelection() const override { return cur_sel_; }
  bool SelectItem(int index, bool take_focus = false) override;
  bool SelectItemMulti(int index, bool take_focus = false) override { return SelectItem(index, take_focus); }
  bool DeselectItem(int, bool = false) override { return false; }
  void HandleOwnerEvent(ControlEventUI& event) override { HandleEvent(event); }

  void SetTextColor(DWORD color);
  DWORD GetTextColor() const { return text_color_; }
  void SetDisabledTextColor(DWORD color);
  DWORD GetDisabledTextColor() const { return disabled_text_color_; }
  void SetFont(int id);
  int GetFont() const { return font_; }
  UINT GetTextStyle() const { return text_style_; }
  void SetTextPadding(RECT rc);
  RECT GetTextPadding() const { return text_padding_; }
  void SetShowHtml(bool on);
  bool IsShowHtml() const { return show_html_; }
  void SetShowShadow(bool on);
  bool IsShowShadow() const { return show_shadow_; }
  void SetNormalImage(const wchar_t* image);
  void SetHotImage(const wchar_t* image);
  void SetPushedImage(const wchar_t* image);
  void SetFocusedImage(const wchar_t* image);
  void SetDisabledImage(const wchar_t* image);
  void SetScrollSelect(bool on) { scroll_select_ = on; }
  bool IsScrollSelect() const { return scroll_select_; }
  void SetDropBoxAttributeList(const wchar_t* list) { drop_box_attributes_ = list; }
  const CUiString& GetDropBoxAttributeList() const { return drop_box_attributes_; }
  void SetDropBoxSize(SIZE size) { drop_box_size_ = size; }
  SIZE GetDropBoxSize() const { return drop_box_size_; }
  void SetDropBoxInset(RECT rc) { drop_box_inset_ = rc; }
  RECT GetDropBoxInset() const { return drop_box_inset_; }

  void SetItemFont(int font);
  void SetItemTextPadding(RECT rc);
  void SetItemTextColor(DWORD color);
  void SetItemShowHtml(bool on);
  void SetItemBkColor(DWORD color) { info_.dwBkColor = color; }
  void SetItemBkImage(const wchar_t* image) { info_.sBkImage = image; }
  void SetItemAltBk(bool on) { info_.bAlternateBk = on; }
  void SetItemSelectedTextColor(DWORD color) { info_.dwSelectedTextColor = color; }
  void SetItemSelectedBkColor(DWORD color) { info_.dwSelectedBkColor = color; }
  void SetItemSelectedImage(const wchar_t* image) { info_.sSelectedImage = image; }
  void SetItemHotTextColor(DWORD color) { info_.dwHotTextColor = color; }
  void SetItemHotBkColor(DWORD color) { info_.dwHotBkColor = color; }
  void SetItemHotImage(const wchar_t* image) { info_.sHotImage = image; }
  void SetItemDisabledTextColor(DWORD color) { info_.dwDisabledTextColor = color; }
  void SetItemDisabledBkColor(DWORD color) { info_.dwDisabledBkColor = color; }
  void SetItemDisabledImage(const wchar_t* image) { info_.sDisabledImage = image; }
  void SetItemLineColor(DWORD color) { info_.dwLineColor = color; }

  // The open pop-up, or null.
  CComboWnd* GetDropWindow() const { return popup_; }
  UINT GetButtonState() const { return state_; }

 protected:
  friend class CComboWnd;
  void UpdateFocusAndDisabledBits();
  void Renumber(int from, int to);
  void AfterRemoval(int index);

  CComboWnd* popup_ = nullptr;
  int cur_sel_ = -1;
  DWORD text_color_ = 0;
  DWORD disabled_text_color_ = 0;
  int font_ = -1;
  UINT text_style_ = DT_VCENTER | DT_SINGLELINE;
  RECT text_padding_{};
  bool show_html_ = false;
  bool show_shadow_ = false;
  CUiString drop_box_attributes_;
  SIZE drop_box_size_{0, 150};
  RECT drop_box_inset_{};
  UINT state_ = 0;
  CUiString normal_image_;
  CUiString hot_image_;
  CUiString pushed_image_;
  CUiString focused_image_;
  CUiString disabled_image_;
  bool scroll_select_ = true;
  ListInfoUI info_;
};

// The combo's pop-up: a borderless window whose vertical layout shows the
// combo's rows while it is open.
class CComboWnd : public CWindowWnd, public INotifyUI {
 public:
  // False when the window could not be made.
  bool Init(CComboUI* owner);
  void Notify(NotifyMsgUI& msg) override;
  // Scrolls the list so that the row at |index| shows.
  void EnsureVisible(int index);
  CVerticalLayoutUI* GetLayout() const { return layout_; }
  // The combo that opened it; null once the combo is gone.
  CComboUI* GetOwner() const { return owner_; }

 protected:
  const wchar_t* GetWindowClassName() const override { return L"ComboWnd"; }
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnFinalMessage(HWND hwnd) override;

 private:
  friend class CComboUI;
  bool IsHitItem(POINT pt) const;
  // The combo goes first: the window gives the rows back at once and closes.
  void DetachOwner();

  CPaintManagerUI paint_manager_;
  CComboUI* owner_ = nullptr;
  CVerticalLayoutUI* layout_ = nullptr;
  int old_selection_ = -1;
  bool hit_item_ = false;
};

}  // namespace SkinUI
