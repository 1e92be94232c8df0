// A combo that paints its selected row itself (not only its text) and can
// draw a five-state arrow from one strip image at its right edge.
#pragma once

#include "ui_toolkit/controls/combo.h"

namespace SkinUI {

class CComboBoxUI : public CComboUI {
 public:
  CComboBoxUI() = default;
  ~CComboBoxUI() override;

  const wchar_t* GetClassName() const override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void PaintStateImage(HDC dc) override;
  void PaintText(HDC dc) override;

  void SetArrowImage(const wchar_t* image) { arrow_image_ = image; }
  const CUiString& GetArrowImage() const { return arrow_image_; }
  int GetArrowWidth() const { return arrow_width_; }

 private:
  CUiString arrow_image_;
  int arrow_width_ = 0;
};

}  // namespace SkinUI
