// Stacks children from top to bottom: fixed heights are kept (within their
// limits), the rest share what remains; an optional separator band on the
// top or bottom edge lets the user resize the layout itself.
#pragma once

#include "ui_toolkit/core/container.h"

namespace SkinUI {

class CVerticalLayoutUI : public CContainerUI {
 public:
  CVerticalLayoutUI() = default;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  UINT GetControlFlags() const override;
  void SetPos(RECT rc, bool invalidate = true) override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void PaintAfterChildren(HDC dc, const RECT& paint) override;

  void SetSepHeight(int height) { sep_size_ = height; }
  int GetSepHeight() const { return sep_size_; }
  void SetSepImmMode(bool immediate);
  bool IsSepImmMode() const { return immediate_; }
  RECT GetSeparatorRect(bool use_new_pos) const;

 private:
  int sep_size_ = 0;
  UINT button_state_ = 0;
  POINT last_mouse_{};
  RECT new_pos_{};
  bool immediate_ = false;
};

}  // namespace SkinUI
