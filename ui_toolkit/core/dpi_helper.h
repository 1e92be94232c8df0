// A window's scale in percent of 96 DPI, and the rule by which skin sizes,
// rectangles and font sizes follow it.
#pragma once

#include <windows.h>

namespace SkinUI {

class CDpiHelperUI {
 public:
  int GetDpi() const;
  int GetScale() const { return scale_; }
  // Rounded to nearest; a non-zero value never scales to 0 (1 or -1 instead).
  int Scale(int n) const;
  // Left and top scale as points; the size scales on its own, so a
  // rectangle never collapses.
  void ScaleRect(RECT* rect) const;
  RECT ScaledRect(RECT rect) const;
  void ScaleSize(SIZE* size) const;
  void ScaleSize(POINT* point) const;
  SIZE ScaledSize(SIZE size) const;
  POINT ScaledSize(POINT point) const;
  int Unscale(int n) const;
  void UnscaleRect(RECT* rect) const;
  // Returns the new scale.
  int SetScaleFromDpi(int dpi);

 private:
  int scale_ = 100;
};

}  // namespace SkinUI
