// A control that owns an ordered list of children: inner margins and the
// spacing and alignment that the layouts read, the rules for adding, removing
// and destroying children, clipped painting, hit testing over the children,
// and float children placed by their float position.
#pragma once

#include "ui_toolkit/core/control.h"
#include "ui_toolkit/core/ui_ptr_array.h"

namespace SkinUI {

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
  virtual void SetFloatChildPos(int index);

 protected:
  // The position minus the scaled inset.
  RECT GetInnerRect() const;
  void DestroyChild(CControlUI* control);

  CUiPtrArray items_;
  RECT inset_{};
  int child_padding_ = 0;
  UINT child_align_ = 0;
  UINT child_valign_ = 0;
  bool auto_destroy_ = true;
  bool delayed_destroy_ = true;
  bool mouse_child_ = true;
};

}  // namespace SkinUI
