// A label that shows a value between a minimum and a maximum as the filled
// part of its rectangle (foreground colour or image), optionally with the
// percentage as its text.
#pragma once

#include "ui_toolkit/controls/label.h"

namespace SkinUI {

class CProgressUI : public CLabelUI {
 public:
  CProgressUI();

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void PaintForegroundColor(HDC dc) override;
  void PaintForegroundImage(HDC dc) override;
  virtual void UpdateText();

  bool IsHorizontal() const { return horizontal_; }
  void SetHorizontal(bool on);
  bool IsStretchForeImage() const { return stretch_fore_; }
  void SetStretchForeImage(bool on);
  int GetMinValue() const { return min_; }
  void SetMinValue(int value);
  int GetMaxValue() const { return max_; }
  void SetMaxValue(int value);
  int GetValue() const { return value_; }
  void SetValue(int value);
  bool IsShowText() const { return show_text_; }
  void SetShowText(bool on);

  // The filled part of a rectangle of |extent| pixels for the current value;
  // exact for any range the 32-bit numbers allow.
  int FilledExtent(int extent);

 private:
  // min < max and min <= value <= max from here on (the corrections are kept).
  void MakeConsistent();

  bool show_text_ = false;
  bool horizontal_ = true;
  bool stretch_fore_ = true;
  int max_ = 100;
  int min_ = 0;
  int value_ = 0;
  CUiString fore_modifier_;
};

}  // namespace SkinUI
