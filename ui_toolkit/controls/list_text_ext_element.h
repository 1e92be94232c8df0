// A row of the extended list: one text per column, clickable links, and one
// check box shared by every checkable column. A click on a cell asks the
// owner list to open its in-place editor there.
#pragma once

#include "ui_toolkit/controls/list_check_box.h"
#include "ui_toolkit/controls/list_elements.h"

namespace SkinUI {

class CListExUI;

class CListTextExtElementUI : public CListLabelElementUI {
 public:
  static constexpr int kMaxLinks = 8;

  CListTextExtElementUI() = default;
  ~CListTextExtElementUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  UINT GetControlFlags() const override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  SIZE MeasureSize(SIZE available) override;
  bool PaintContent(HDC dc, const RECT& paint, CControlUI* stop) override;
  void PaintStateImage(HDC dc) override;
  void PaintText(HDC) override {}
  void SetOwner(CControlUI* owner) override;
  void DrawItemText(HDC dc, const RECT& rc) override;

  void SetColumnText(int column, const wchar_t* text);
  // Null when the column has no text.
  const wchar_t* GetColumnText(int column) const;
  // The first column whose cell (less the text padding) holds |pt|, else -1.
  int GetColumnAtPoint(POINT pt) const;
  // The column's cell over this row, 1 pixel in on each side, relative to the
  // owner list's top-left corner.
  RECT GetCellEditRect(int column) const;
  RECT GetCheckBoxRect() const;
  bool GetCheck() const { return box_.checked; }
  void SetCheck(bool check);
  UINT GetCheckBoxState() const { return box_.state; }
  int GetLinkCount() const { return link_count_; }
  RECT GetLinkRect(int i) const { return links_[i]; }

  void SetCheckBoxWidth(int width) { if (width >= 0) box_.width = width; }
  void SetCheckBoxHeight(int height) { if (height >= 0) box_.height = height; }
  void SetCheckBoxNormalImage(const wchar_t* image) { box_.normal_image = image; }
  void SetCheckBoxHotImage(const wchar_t* image) { box_.hot_image = image; }
  void SetCheckBoxPushedImage(const wchar_t* image) { box_.pushed_image = image; }
  void SetCheckBoxFocusedImage(const wchar_t* image) { box_.focused_image = image; }
  void SetCheckBoxDisabledImage(const wchar_t* image) { box_.disabled_image = image; }
  void SetCheckBoxSelectedImage(const wchar_t* image) { box_.selected_image = image; }
  void SetCheckBoxForeImage(const wchar_t* image) { box_.fore_image = image; }

 private:
  int LinkAt(POINT pt) const;
  // The owner when it is an extended list, else null.
  CListExUI* ExtendedOwner() const;
  bool AnyColumnCheckable() const;
  void HandleCheckBoxEvent(ControlEventUI& event);

  int link_count_ = 0;
  RECT links_[kMaxLinks]{};
  CUiString link_texts_[kMaxLinks];
  int hovered_link_ = -1;
  CListUI* owner_list_ = nullptr;
  CUiPtrArray texts_;
  ListCheckBoxUI box_;
};

}  // namespace SkinUI
