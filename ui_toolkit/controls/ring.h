// A busy indicator: a label whose background image turns by 36 degrees every
// 100 ms.
#pragma once

#include "ui_toolkit/controls/label.h"

namespace SkinUI {

struct ImageRecordUI;

class CRingUI : public CLabelUI {
 public:
  CRingUI();
  ~CRingUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void HandleEvent(ControlEventUI& event) override;
  void PaintBackgroundImage(HDC dc) override;

  void SetBkImage(const wchar_t* image);
  float GetAngle() const { return angle_; }

 private:
  void InitImage();
  void DeleteImage();

  float angle_ = 0;
  ImageRecordUI* image_ = nullptr;
};

}  // namespace SkinUI
