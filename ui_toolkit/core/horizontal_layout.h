// Places children from left to right: the mirror image of the vertical
// layout, with a separator band on the left or right edge.
#pragma once

#include "ui_toolkit/core/container.h"

namespace SkinUI {

class CHorizontalLayoutUI : public CContainerUI {
 public:
  CHorizontalLayoutUI() = default;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  UINT GetControlFlags() const override;
  void SetPos(RECT rc, bool invalidate = true) override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void PaintAfterChildren(HDC dc, const RECT& paint) override;

  void SetSepWidth(int width) { sep_size_ = width; }
  int GetSepWidth() const { return sep_size_; }
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
