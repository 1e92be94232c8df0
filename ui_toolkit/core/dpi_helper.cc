#include "ui_toolkit/core/dpi_helper.h"

namespace SkinUI {

int CDpiHelperUI::GetDpi() const { return ::MulDiv(scale_, 96, 100); }

int CDpiHelperUI::Scale(int n) const {
  const int scaled = ::MulDiv(n, scale_, 100);
  if (scaled == 0 && n > 0) return 1;
  if (scaled == 0 && n < 0) return -1;
  return scaled;
}

void CDpiHelperUI::ScaleRect(RECT* rect) const {
  if (rect == nullptr) return;
  const int width = rect->right - rect->left;
  const int height = rect->bottom - rect->top;
  rect->left = Scale(rect->left);
  rect->top = Scale(rect->top);
  rect->right = rect->left + Scale(width);
  rect->bottom = rect->top + Scale(height);
}

RECT CDpiHelperUI::ScaledRect(RECT rect) const {
  ScaleRect(&rect);
  return rect;
}

void CDpiHelperUI::ScaleSize(SIZE* size) const {
  if (size == nullptr) return;
  size->cx = Scale(size->cx);
  size->cy = Scale(size->cy);
}

void CDpiHelperUI::ScaleSize(POINT* point) const {
  if (point == nullptr) return;
  point->x = Scale(point->x);
  point->y = Scale(point->y);
}

SIZE CDpiHelperUI::ScaledSize(SIZE size) const {
  ScaleSize(&size);
  return size;
}

POINT CDpiHelperUI::ScaledSize(POINT point) const {
  ScaleSize(&point);
  return point;
}

int CDpiHelperUI::Unscale(int n) const { return scale_ == 0 ? n : ::MulDiv(n, 100, scale_); }

void CDpiHelperUI::UnscaleRect(RECT* rect) const {
  if (rect == nullptr) return;
  const int width = rect->right - rect->left;
  const int height = rect->bottom - rect->top;
  rect->left = Unscale(rect->left);
  rect->top = Unscale(rect->top);
  rect->right = rect->left + Unscale(width);
  rect->bottom = rect->top + Unscale(height);
}

int CDpiHelperUI::SetScaleFromDpi(int dpi) {
  const int scale = ::MulDiv(dpi, 100, 96);
  // A zero or negative scale would make every size vanish and Unscale divide by 0.
  scale_ = scale > 0 ? scale : 100;
  return scale_;
}

}  // namespace SkinUI
