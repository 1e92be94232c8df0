// A control that owns an ordered list of children: inner margins and the
// spacing and alignment that the layouts read, the rules for adding, removing
// and destroying children, clipped painting, hit testing over the children,
// and float children placed by their float position.
#pragma once

#include <memory>

#include "ui_toolkit/core/control.h"
#include "ui_toolkit/core/ui_ptr_array.h"

namespace SkinUI {

class CScrollBarUI;

class IContainerUI {
 public:
  virtual CControlUI* GetItemAt(int index) const = 0;
  virtual int GetItemIndex(CControlUI* control) const = 0;
  virtual bool SetItemIndex(CControlUI* control, int index) = 0;
  virtual int GetCount() const = 0;
  virtual bool Add(CControlUI* control) = 0;
  virtual bool AddAt(CControlUI* control, int index) = 0;
  virtual bool Remove(CControlUI* control) = 0;
  virtual bool RemoveAt(int index) = 0;
  virtual void RemoveAll() = 0;

 protected:
  ~IContainerUI() = default;
};

class CContainerUI : public CControlUI, public IContainerUI {
 public:
  CContainerUI();
  ~CContainerUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;
  RECT GetClientPos() const override;
  void SetPos(RECT rc, bool invalidate = true) override;
  void MoveBy(SIZE delta, bool invalidate = true) override;
  void SetVisible(bool visible = true) override;
  void SetVisibleByParent(bool visible) override;
  void SetEnabled(bool enabled = true) override;
  void SetMouseEnabled(bool enabled = true) override;
  CControlUI* FindControl(FindControlProc proc, void* data, UINT flags) override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  bool PaintContent(HDC dc, const RECT& paint, CControlUI* stop) override;

  // IContainerUI
  CControlUI* GetItemAt(int index) const override;
  int GetItemIndex(CControlUI* control) const override;
  bool SetItemIndex(CControlUI* control, int index) override;
  int GetCount() const override;
  bool Add(CControlUI* control) override;
  bool AddAt(CControlUI* control, int index) override;
  bool Remove(CControlUI* control) override;
  bool RemoveAt(int index) override;
  void RemoveAll() override;

  virtual RECT GetInset() const;
  virtual void SetInset(RECT rc);
  virtual int GetChildPadding() const;
  virtual void SetChildPadding(int padding);
  virtual UINT GetChildAlign() const;
  virtual void SetChildAlign(UINT align);
  virtual UINT GetChildVAlign() const;
  virtual void SetChildVAlign(UINT align);
  virtual bool IsAutoDestroy() const;
  virtual void SetAutoDestroy(bool on);
  virtual bool IsDelayedDestroy() const;
  virtual void SetDelayedDestroy(bool on);
  virtual bool IsMouseChildEnabled() const;
  virtual void SetMouseChildEnabled(bool on = true);
  virtual int FindSelectable(int index, bool forward = true) const;
  // Scrolling: positions and ranges come from the visible bars (0 otherwise).
  virtual SIZE GetScrollPos() const;
  virtual SIZE GetScrollRange() const;
  virtual void SetScrollPos(SIZE pos, bool notify = true);
  virtual void SetScrollStepSize(int size);
  virtual int GetScrollStepSize() const;
  virtual void LineUp();
  virtual void LineDown();
  virtual void PageUp();
  virtual void PageDown();
  virtual void HomeUp();
  virtual void EndDown();
  virtual void LineLeft();
  virtual void LineRight();
  virtual void PageLeft();
  virtual void PageRight();
  virtual void HomeLeft();
  virtual void EndRight();
  virtual void EnableScrollBar(bool vertical = true, bool horizontal = false);
  virtual CScrollBarUI* GetVerticalScrollBar() const;
  virtual CScrollBarUI* GetHorizontalScrollBar() const;
  virtual void SetFloatChildPos(int index);
  // Called by the layouts once the children are placed: shows, hides, sizes
  // and places the bars for the space the children need.
  virtual void ProcessScrollBar(RECT rc, int cx_required, int cy_required);
  bool IsFixedScrollbar() const { return fixed_scrollbar_; }
  void SetFixedScrollbar(bool fixed);
  void SetShowScrollbar(bool show);

 protected:
  // The position minus the scaled inset and the visible bars.
  RECT GetInnerRect() const;
  bool IsVerticalBarVisible() const;
  bool IsHorizontalBarVisible() const;
  // Keys and the wheel as scroll steps; true when consumed.
  bool HandleScrollEvent(ControlEventUI& event);
  void ApplyBarStyle(CScrollBarUI* bar, const wchar_t* style);
  bool PaintScrollBars(HDC dc, const RECT& paint, CControlUI* stop);
  void DestroyChild(CControlUI* control);

  CUiPtrArray items_;
  RECT inset_{};
  int child_padding_ = 0;
  UINT child_align_ = 0;
  UINT child_valign_ = 0;
  bool auto_destroy_ = true;
  bool delayed_destroy_ = true;
  bool mouse_child_ = true;
  int scroll_step_size_ = 0;
  bool fixed_scrollbar_ = false;
  bool show_scrollbar_ = true;
  std::unique_ptr<CScrollBarUI> vertical_bar_;
  std::unique_ptr<CScrollBarUI> horizontal_bar_;
  CUiString vertical_bar_style_;
  CUiString horizontal_bar_style_;

 private:
  // How deep ProcessScrollBar's relayouts are nested: content whose needs
  // change with the bars must not relayout without end.
  int scroll_relayout_depth_ = 0;
};

}  // namespace SkinUI
