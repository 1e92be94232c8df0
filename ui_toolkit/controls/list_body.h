// The list's scrolling band of rows: every row is as wide as the header's
// columns together, and the body drags header and columns along when it
// scrolls sideways. Created by the list only.
#pragma once

#include "ui_toolkit/core/vertical_layout.h"

namespace SkinUI {

class CListUI;

class CListBodyUI : public CVerticalLayoutUI {
 public:
  explicit CListBodyUI(CListUI* owner);

  void SetPos(RECT rc, bool invalidate = true) override;
  void SetScrollPos(SIZE pos, bool notify = true) override;
  int GetScrollStepSize() const override;
  void HandleEvent(ControlEventUI& event) override;

 private:
  CListUI* owner_;
};

}  // namespace SkinUI
