// A label whose text slides through its box, one step on every repaint, in
// one of four directions. Timer 20 drives the repaints; timer 21 ends the
// roll with "textrollend".
#pragma once

#include "ui_toolkit/controls/label.h"

namespace SkinUI {

enum RollDirectionUI : int {
  ROLLTEXT_LEFT = 0,
  ROLLTEXT_RIGHT = 1,
  ROLLTEXT_UP = 2,
  ROLLTEXT_DOWN = 3,
};

class CRollTextUI : public CLabelUI {
 public:
  static constexpr UINT kRollTimerId = 20;
  static constexpr UINT kEndTimerId = 21;

  CRollTextUI();
  ~CRollTextUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  void SetText(const wchar_t* text) override;
  void HandleEvent(ControlEventUI& event) override;
  void PaintText(HDC dc) override;
  virtual void SetRollRect(RECT rc);

  // Starts rolling in |direction| by |step| pixels every |interval_ms|; a
  // |duration_ms| above 0 ends the roll after that long with "textrollend".
  bool BeginRoll(int direction, int step, UINT interval_ms, UINT duration_ms);
  // Stops both timers and puts the text back at its starting point.
  void EndRoll();

  bool IsRolling() const { return rolling_; }
  int GetDirection() const { return direction_; }
  int GetStep() const { return step_; }
  int GetOffset() const { return offset_; }
  int GetTextExtent() const { return extent_; }
  // Where the text was drawn on the last paint (empty when nothing was).
  RECT GetLastTextRect() const { return last_text_rect_; }

 private:
  int step_ = 5;
  int offset_ = 0;
  bool rolling_ = false;
  int direction_ = ROLLTEXT_LEFT;
  int extent_ = 0;
  RECT last_text_rect_{};
};

}  // namespace SkinUI
