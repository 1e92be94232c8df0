// Plain rectangle and size values with the Win32 RECT and SIZE layouts, so
// they pass to and from the platform's calls unchanged.
#pragma once

#include <windows.h>

namespace SkinUI {

class CUiRect : public RECT {
 public:
  CUiRect() : RECT{0, 0, 0, 0} {}
  CUiRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
  CUiRect(const RECT& rc) : RECT(rc) {}

  int GetWidth() const { return right - left; }
  int GetHeight() const { return bottom - top; }
  void Deflate(int dx, int dy) {
    left += dx;
    top += dy;
    right -= dx;
    bottom -= dy;
  }
  void Offset(int dx, int dy) {
    left += dx;
    top += dy;
    right += dx;
    bottom += dy;
  }
  void MoveToOrigin() { Offset(-left, -top); }
  // No special case for empty rectangles: (0,0,0,0) pulls the union to the origin.
  void Union(const RECT& other) {
    if (other.left < left) left = other.left;
    if (other.top < top) top = other.top;
    if (other.right > right) right = other.right;
    if (other.bottom > bottom) bottom = other.bottom;
  }
};

class CUiSize : public SIZE {
 public:
  CUiSize() : SIZE{0, 0} {}
  CUiSize(int x, int y) : SIZE{x, y} {}
  CUiSize(const SIZE& size) : SIZE(size) {}
};

}  // namespace SkinUI
