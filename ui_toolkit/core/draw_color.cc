// The hue/saturation/lightness adjustment of colours.
#include <algorithm>

#include "ui_toolkit/core/draw_engine.h"

namespace SkinUI {

void CUiDrawEngine::RgbToHsl(DWORD color, float* hue, float* saturation, float* lightness) {
  const float r = static_cast<float>((color >> 16) & 0xFF) / 255.0f;
  const float g = static_cast<float>((color >> 8) & 0xFF) / 255.0f;
  const float b = static_cast<float>(color & 0xFF) / 255.0f;
  const float lo = std::min({r, g, b});
  const float hi = std::max({r, g, b});
  const float l = (lo + hi) / 2.0f;
  float h = 0.0f, s = 0.0f;
  if (hi != lo) {
    float f;
    float i;
    if (r == lo) {
      f = g - b;
      i = 3.0f;
    } else if (g == lo) {
      f = b - r;
      i = 5.0f;
    } else {
      f = r - g;
      i = 1.0f;
    }
    h = i - f / (hi - lo);
    if (h >= 6.0f) h -= 6.0f;
    h *= 60.0f;
    s = (2.0f * l <= 1.0f) ? (hi - lo) / (hi + lo) : (hi - lo) / (2.0f - hi - lo);
  }
  *hue = h;
  *saturation = s;
  *lightness = l;
}

DWORD CUiDrawEngine::HslToRgb(float hue, float saturation, float lightness) {
  const float q = lightness < 0.5f ? lightness * (1.0f + saturation) : lightness + saturation - lightness * saturation;
  const float p = 2.0f * lightness - q;
  const float h = hue / 360.0f;
  auto channel = [p, q](float t) {
    if (t < 0.0f) t += 1.0f;
    if (t > 1.0f) t -= 1.0f;
    float v;
    if (6.0f * t < 1.0f) {
      v = p + (q - p) * 6.0f * t;
    } else if (2.0f * t < 1.0f) {
      v = q;
    } else if (3.0f * t < 2.0f) {
      v = p + (q - p) * (2.0f / 3.0f - t) * 6.0f;
    } else {
      v = p;
    }
    return static_cast<DWORD>(std::clamp(v * 255.0f, 0.0f, 255.0f));
  };
  return (channel(h + 1.0f / 3.0f) << 16) | (channel(h) << 8) | channel(h - 1.0f / 3.0f);
}

DWORD CUiDrawEngine::AdjustColorHsl(DWORD color, short hue, short saturation, short lightness) {
  if (hue == 180 && saturation == 100 && lightness == 100) return color;
  float h, s, l;
  RgbToHsl(color, &h, &s, &l);
  h += static_cast<float>(hue - 180);
  if (h <= 0.0f) h += 360.0f;
  s = s * saturation / 100.0f;
  l = l * lightness / 100.0f;
  return (color & 0xFF000000) | HslToRgb(h, s, l);
}

DWORD CUiDrawEngine::NudgePureBlack(DWORD color) {
  return (color & 0x00FFFFFF) == 0 ? (color | 0x00000001) : color;
}

}  // namespace SkinUI
