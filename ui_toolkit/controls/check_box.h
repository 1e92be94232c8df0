// An option with an optional auto-check mode (toggles on mouse down and
// sends "checkclick" instead of "click") and simpler group rules.
#pragma once

#include "ui_toolkit/controls/option.h"

namespace SkinUI {

class CCheckBoxUI : public COptionUI {
 public:
  CCheckBoxUI() = default;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void Selected(bool selected, bool notify = true) override;

  bool IsChecked() const { return selected_; }
  void SetCheck(bool checked) { Selected(checked, true); }
  bool IsAutoCheck() const { return auto_check_; }

 private:
  bool auto_check_ = false;
};

}  // namespace SkinUI
