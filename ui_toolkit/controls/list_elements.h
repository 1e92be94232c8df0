// The rows of a list and of the other list owners: a label row, a row with a
// text per column (with clickable links), and a row that lays out arbitrary
// child controls. Each paints itself from its owner's drawing record by state
// and hands the events it does not use to its owner.
#pragma once

#include "ui_toolkit/controls/list.h"
#include "ui_toolkit/core/horizontal_layout.h"

namespace SkinUI {

class CListElementUI : public CControlUI, public IListItemUI {
 public:
  CListElementUI() = default;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  UINT GetControlFlags() const override;
  bool Activate() override;
  void SetVisible(bool visible = true) override;
  void SetEnabled(bool enabled = true) override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;

  int GetIndex() const override { return index_; }
  void SetIndex(int index) override { index_ = index; }
  IListOwnerUI* GetOwner() override { return owner_; }
  void SetOwner(CControlUI* owner) override;
  bool IsSelected() const override { return selected_; }
  bool Select(bool select = true) override;
  bool SetSelectedFlag(bool select) override;
  bool IsExpanded() const override { return false; }
  bool Expand(bool) override { return false; }

  bool IsHot() const { return (state_ & UISTATE_HOT) != 0; }
  void InvalidateListItem();
  void DrawItemBk(HDC dc, const RECT& rc);

 protected:
  int index_ = -1;
  bool selected_ = false;
  UINT state_ = 0;
  IListOwnerUI* owner_ = nullptr;
};

class CListLabelElementUI : public CListElementUI {
 public:
  CListLabelElementUI() = default;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  void HandleEvent(ControlEventUI& event) override;
  SIZE MeasureSize(SIZE available) override;
  bool PaintContent(HDC dc, const RECT& paint, CControlUI* stop) override;
  void DrawItemText(HDC dc, const RECT& rc) override;

 protected:
  // The label's own handling (selection, click, hot state).
  void HandleLabelEvent(ControlEventUI& event);
};

class CListTextElementUI : public CListLabelElementUI {
 public:
  static constexpr int kMaxLinks = 8;

  CListTextElementUI() = default;
  ~CListTextElementUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  UINT GetControlFlags() const override;
  void HandleEvent(ControlEventUI& event) override;
  SIZE MeasureSize(SIZE available) override;
  void SetOwner(CControlUI* owner) override;
  void DrawItemText(HDC dc, const RECT& rc) override;

  // Null when the column has no text.
  const wchar_t* GetColumnText(int column);
  DWORD GetColumnTextColor(int column);
  void SetColumnText(int column, const wchar_t* text);
  void SetColumnTextColor(int column, DWORD color);
  int GetLinkCount() const { return link_count_; }
  RECT GetLinkRect(int i) const { return links_[i]; }
  const CUiString& GetLinkText(int i) const { return link_texts_[i]; }
  int GetHoveredLink() const { return hovered_link_; }

 private:
  int LinkAt(POINT pt) const;

  int link_count_ = 0;
  RECT links_[kMaxLinks]{};
  CUiString link_texts_[kMaxLinks];
  int hovered_link_ = -1;
  IListUI* owner_list_ = nullptr;
  CUiPtrArray texts_;
  CUiPtrArray colors_;
  CUiString resource_text_;
};

class CListContainerElementUI : public CHorizontalLayoutUI, public IListItemUI {
 public:
  CListContainerElementUI() = default;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  UINT GetControlFlags() const override;
  bool Activate() override;
  void SetPos(RECT rc, bool invalidate = true) override;
  void SetVisible(bool visible = true) override;
  void SetEnabled(bool enabled = true) override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  bool PaintContent(HDC dc, const RECT& paint, CControlUI* stop) override;
  virtual void DrawItemBk(HDC dc, const RECT& rc);

  int GetIndex() const override { return index_; }
  void SetIndex(int index) override { index_ = index; }
  IListOwnerUI* GetOwner() override { return owner_; }
  void SetOwner(CControlUI* owner) override;
  bool IsSelected() const override { return selected_; }
  bool Select(bool select = true) override;
  bool SetSelectedFlag(bool select) override;
  bool IsExpanded() const override { return false; }
  bool Expand(bool) override { return false; }
  void DrawItemText(HDC dc, const RECT& rc) override;

  bool IsHot() const { return (state_ & UISTATE_HOT) != 0; }
  void InvalidateListItem();

 protected:
  int index_ = -1;
  bool selected_ = false;
  UINT state_ = 0;
  IListOwnerUI* owner_ = nullptr;
};

}  // namespace SkinUI
