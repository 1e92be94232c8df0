// A header column of the extended list: the list header column with an
// optional check box that checks every row, and the column's edit mode (its
// cells open the list's in-place edit or combo).
#pragma once

#include "ui_toolkit/controls/list_check_box.h"
#include "ui_toolkit/controls/list_header.h"

namespace SkinUI {

class CListContainerHeaderItemUI : public CListHeaderItemUI {
 public:
  CListContainerHeaderItemUI() = default;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void PaintStateImage(HDC dc) override;
  void PaintText(HDC dc) override;

  RECT GetCheckBoxRect() const;
  bool GetCheck() const { return box_.checked; }
  void SetCheck(bool check);
  int GetCheckBoxWidth() const { return box_.width; }
  int GetCheckBoxHeight() const { return box_.height; }
  UINT GetCheckBoxState() const { return box_.state; }

  bool IsEditable() const { return editable_; }
  void SetEditable(bool on) { editable_ = on; }
  bool IsComboable() const { return comboable_; }
  void SetComboable(bool on) { comboable_ = on; }
  bool IsCheckable() const { return checkable_; }
  void SetCheckable(bool on) { checkable_ = on; }
  void SetCheckBoxWidth(int width) { if (width >= 0) box_.width = width; }
  void SetCheckBoxHeight(int height) { if (height >= 0) box_.height = height; }
  void SetCheckBoxNormalImage(const wchar_t* image) { box_.normal_image = image; }
  void SetCheckBoxHotImage(const wchar_t* image) { box_.hot_image = image; }
  void SetCheckBoxPushedImage(const wchar_t* image) { box_.pushed_image = image; }
  void SetCheckBoxFocusedImage(const wchar_t* image) { box_.focused_image = image; }
  void SetCheckBoxDisabledImage(const wchar_t* image) { box_.disabled_image = image; }
  void SetCheckBoxSelectedImage(const wchar_t* image) { box_.selected_image = image; }
  void SetCheckBoxForeImage(const wchar_t* image) { box_.fore_image = image; }

 protected:
  const wchar_t* ClickNotification() const override { return L"listheaderclick"; }

 private:
  void HandleCheckBoxEvent(ControlEventUI& event);

  bool editable_ = false;
  bool comboable_ = false;
  bool checkable_ = false;
  ListCheckBoxUI box_;
};

}  // namespace SkinUI
