// Shows exactly one of its children, the selected page, over its whole inner
// area, and reports page changes with "tabselect".
#pragma once

#include "ui_toolkit/core/container.h"

namespace SkinUI {

class CTabLayoutUI : public CContainerUI {
 public:
  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  void SetPos(RECT rc, bool invalidate = true) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;

  bool Add(CControlUI* control) override;
  bool AddAt(CControlUI* control, int index) override;
  bool Remove(CControlUI* control) override;
  void RemoveAll() override;

  // False for an index that names no page; true (and nothing changes) for the current one.
  virtual bool SelectItem(int index);
  // False when the control is not a page of this layout.
  virtual bool SelectItem(CControlUI* control);
  int GetCurSel() const { return current_; }

 protected:
  int current_ = -1;
};

}  // namespace SkinUI
