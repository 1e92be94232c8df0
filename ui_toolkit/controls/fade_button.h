// A button that cross-fades from its normal image to its hot image when the
// mouse enters, and back when it leaves, over 30 frames of 10 ms driven by the
// control's animation jobs.
#pragma once

#include <windows.h>

#include "ui_toolkit/controls/button.h"
#include "ui_toolkit/controls/ui_animation.h"

namespace SkinUI {

class CFadeButtonUI : public CButtonUI, public CUIAnimation {
 public:
  static constexpr int kFadeInId = 8;
  static constexpr int kFadeOutId = 9;
  static constexpr int kFadeElapse = 10;
  static constexpr int kFadeFrames = 30;

  CFadeButtonUI();
  ~CFadeButtonUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  void SetEnabled(bool enabled = true) override;
  void HandleEvent(ControlEventUI& event) override;
  void PaintStateImage(HDC dc) override;
  void SetNormalImage(const wchar_t* description) override;

  void OnAnimationStep(int total_frames, int current_frame, int id) override;

  BYTE GetFadeValue() const { return fade_; }
  // What is shown while no fade runs (the normal image when empty).
  const CUiString& GetLastImage() const { return last_image_; }

 private:
  void StartFade(bool fade_in);
  // Ends a running fade at once, showing the image it was heading for.
  void SettleFade();
  // Whether |description| names an image that loads; the draw of a
  // cross-fade cannot tell afterwards which half failed.
  bool CanDraw(const CUiString& description);

  CUiString from_image_;
  CUiString to_image_;
  CUiString last_image_;
  BYTE fade_ = 0;
  bool fade_in_pending_ = false;
  bool fade_out_pending_ = false;
};

}  // namespace SkinUI
