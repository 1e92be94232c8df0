// A tab layout that slides the newly selected page into place: the layout is
// moved from a start position beside its place back to it over 15 frames of
// 10 ms, horizontally or, with animation_direction="vertical", vertically.
#pragma once

#include "ui_toolkit/controls/ui_animation.h"
#include "ui_toolkit/core/tab_layout.h"

namespace SkinUI {

class CAnimationTabLayoutUI : public CTabLayoutUI, public CUIAnimation {
 public:
  static constexpr int kSwitchAnimationId = 1;
  static constexpr int kSwitchElapse = 10;
  static constexpr int kSwitchFrames = 15;

  CAnimationTabLayoutUI();

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  using CTabLayoutUI::SelectItem;
  bool SelectItem(int index) override;
  bool Remove(CControlUI* control) override;
  void RemoveAll() override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;

  void StartSwitchAnimation();
  void OnAnimationStep(int total_frames, int current_frame, int id) override;
  void OnAnimationStop(int id) override;

  bool IsVerticalSwitch() const { return vertical_; }

 private:
  bool vertical_ = false;
  int sign_ = 1;
  RECT current_pos_{};
  RECT rest_pos_{};
  CControlUI* current_page_ = nullptr;
  bool page_shown_ = false;
};

}  // namespace SkinUI
