// A progress bar with a draggable thumb: the value follows the mouse while
// the thumb is held and is committed with "valuechanged" on the release; the
// wheel steps it. Optionally every move of a drag is reported as
// "movevaluechanged".
#pragma once

#include "ui_toolkit/controls/progress.h"

namespace SkinUI {

class CSliderUI : public CProgressUI {
 public:
  CSliderUI();
  ~CSliderUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  void SetEnabled(bool enabled = true) override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void PaintForegroundImage(HDC dc) override;

  // The thumb in window coordinates.
  RECT GetThumbRect() const;
  void SetValue(int value);
  void SetChangeStep(int step) { step_ = step; }
  int GetChangeStep() const { return step_; }
  void SetThumbSize(SIZE size);
  SIZE GetThumbSize() const { return thumb_size_; }
  void SetCanSendMove(bool on) { send_move_ = on; }
  bool GetCanSendMove() const { return send_move_; }
  void SetThumbImage(const wchar_t* description);
  void SetThumbHotImage(const wchar_t* description);
  void SetThumbPushedImage(const wchar_t* description);
  UINT GetThumbState() const { return thumb_state_; }

 private:
  SIZE ScaledThumbSize() const;
  // The value for a mouse point; |exact| computes in integers (the release),
  // otherwise in single precision (press and drag).
  int ValueFromPoint(POINT pt, bool exact) const;

  SIZE thumb_size_{10, 10};
  UINT thumb_state_ = 0;
  int step_ = 1;
  CUiString thumb_image_;
  CUiString thumb_hot_image_;
  CUiString thumb_pushed_image_;
  CUiString modifier_;
  bool send_move_ = false;
};

}  // namespace SkinUI
