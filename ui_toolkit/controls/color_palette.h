// An HSL colour picker: a hue/lightness palette above a saturation bar,
// both rendered into an off-screen bitmap. Dragging either moves its thumb;
// the chosen colour is reported as "colorchanged" on the release.
#pragma once

#include <cstdint>

#include "base/scoped_handle.h"
#include "ui_toolkit/core/control.h"

namespace SkinUI {

class CColorPaletteUI : public CControlUI {
 public:
  static constexpr int kBitmapWidth = 400;
  static constexpr int kBitmapHeight = 360;
  static constexpr int kMaxBarHeight = 150;

  CColorPaletteUI();
  ~CColorPaletteUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  void OnInitialize() override;
  void SetPos(RECT rc, bool invalidate = true) override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void PaintBackgroundColor(HDC dc) override;

  // The chosen colour as 0xFFRRGGBB.
  DWORD GetSelectColor() const;
  int GetHue() const { return hue_; }
  int GetSaturation() const { return saturation_; }
  int GetLightness() const { return lightness_; }
  int GetPalletHeight() const { return pallet_height_; }
  void SetPalletHeight(int height);
  int GetBarHeight() const { return bar_height_; }
  void SetBarHeight(int height);
  const CUiString& GetThumbImage() const { return thumb_image_; }
  void SetThumbImage(const wchar_t* description);
  POINT GetThumbPoint() const { return thumb_; }
  // One pixel of the off-screen bitmap as 0x00RRGGBB (0 outside it).
  DWORD GetBitmapPixel(int x, int y) const;

  // HSL with |hue| 0..1 and |saturation|, |lightness| 0..1 to 0x00RRGGBB.
  static DWORD HslToRgb(float hue, float saturation, float lightness);

 private:
  void UpdatePalletData();
  void UpdateBarData();
  void PaintPallet(HDC dc);
  int ScaledPalletHeight() const;
  int ScaledBarHeight() const;
  // Hue, lightness and the thumb from a point of the palette.
  void PickFromPallet(POINT pt);
  void PickFromBar(POINT pt);
  void PutPixel(int x, int y, DWORD rgb);

  base::ScopedGdiObject bitmap_;
  std::uint32_t* bits_ = nullptr;  // the DIB section's own pixels, top-down
  UINT state_ = 0;
  bool drag_bar_ = false;
  bool drag_pallet_ = false;
  int hue_ = 180;
  int saturation_ = 200;
  int lightness_ = 100;
  int pallet_height_ = 200;
  int bar_height_ = 10;
  POINT thumb_{};
  CUiString thumb_image_;
  CUiString modifier_;
};

}  // namespace SkinUI
