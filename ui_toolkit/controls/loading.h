// A busy spinner: radial spokes of fading colour drawn with GDI+, advancing
// one spoke per tick.
#pragma once

#include <vector>

#include "ui_toolkit/core/control.h"

namespace SkinUI {

class CLoadingUI : public CControlUI {
 public:
  CLoadingUI();
  ~CLoadingUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  void Initialize() override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void PaintBackgroundImage(HDC dc) override;

  void Start();
  void Stop();
  bool IsStopped() const { return stopped_; }
  int GetSpokeCount() const { return static_cast<int>(spoke_colors_.size()); }
  int GetCurrentSpoke() const { return current_; }
  DWORD GetSpokeColor(int i) const { return spoke_colors_.at(static_cast<size_t>(i)); }

 private:
  int style_ = 0;
  int interval_ = 100;
  bool stopped_ = true;
  int spoke_count_ = 10;  // as configured; fixed into the arrays at Initialize
  int thickness_ = 4;
  int current_ = 0;
  int outer_radius_ = 10;
  int inner_radius_ = 8;
  float centre_x_ = 0;
  float centre_y_ = 0;
  DWORD color_ = 0xFF000000;
  std::vector<DWORD> spoke_colors_;
  std::vector<double> spoke_angles_;
};

}  // namespace SkinUI
