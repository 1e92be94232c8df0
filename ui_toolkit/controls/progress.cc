#include "ui_toolkit/controls/progress.h"

#include <cstdint>

#include "ui_toolkit/core/dpi_helper.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {

CProgressUI::CProgressUI() {
  text_style_ = DT_SINGLELINE | DT_CENTER;
  fixed_size_.cy = 12;
}

const wchar_t* CProgressUI::GetClassName() const { return L"ProgressUI"; }

void* CProgressUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"Progress")) return static_cast<CProgressUI*>(this);
  return CLabelUI::QueryInterfaceByName(name);
}

void CProgressUI::SetHorizontal(bool on) {
  if (horizontal_ == on) return;
  horizontal_ = on;
  Invalidate();
}
void CProgressUI::SetStretchForeImage(bool on) {
  if (stretch_fore_ == on) return;
  stretch_fore_ = on;
  Invalidate();
}
void CProgressUI::SetMinValue(int value) {
  min_ = value;
  Invalidate();
}
void CProgressUI::SetMaxValue(int value) {
  max_ = value;
  Invalidate();
}

void CProgressUI::SetValue(int value) {
  if (value == value_ || value < min_ || value > max_) return;
  value_ = value;
  Invalidate();
  UpdateText();
}

void CProgressUI::SetShowText(bool on) {
  if (show_text_ == on) return;
  show_text_ = on;
  if (!on) SetText(L"");
}

void CProgressUI::UpdateText() {
  if (!show_text_) return;
  // A range of zero (or a reversed one) would divide by zero and show "nan%";
  // 64-bit arithmetic keeps ranges near the 32-bit limits exact.
  const std::int64_t range = static_cast<std::int64_t>(max_) - min_;
  double percent = 0;
  if (range > 0) percent = static_cast<double>(static_cast<std::int64_t>(value_) - min_) * 100.0 / range;
  CUiString text;
  text.Format(L"%.0f%%", percent);
  SetText(text.GetData());
}

void CProgressUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  using attr::Equals;
  if (Equals(name, L"hor")) {
    SetHorizontal(attr::IsTrue(value));
  } else if (Equals(name, L"min")) {
    SetMinValue(attr::ParseInt(value));
  } else if (Equals(name, L"max")) {
    SetMaxValue(attr::ParseInt(value));
  } else if (Equals(name, L"value")) {
    SetValue(attr::ParseInt(value));
  } else if (Equals(name, L"isstretchfore")) {
    SetStretchForeImage(attr::IsTrue(value));
  } else if (Equals(name, L"showtext")) {
    SetShowText(attr::IsTrue(value));
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}

void CProgressUI::MakeConsistent() {
  // max = min + 1 cannot overflow for the largest minimum: the range stays 1.
  if (min_ >= max_) {
    if (min_ == INT32_MAX) {
      min_ = INT32_MAX - 1;
      max_ = INT32_MAX;
    } else {
      max_ = min_ + 1;
    }
  }
  if (value_ < min_) value_ = min_;
  if (value_ > max_) value_ = max_;
}

int CProgressUI::FilledExtent(int extent) {
  MakeConsistent();
  const std::int64_t range = static_cast<std::int64_t>(max_) - min_;
  const std::int64_t done = horizontal_ ? static_cast<std::int64_t>(value_) - min_
                                        : static_cast<std::int64_t>(max_) - value_;
  return static_cast<int>(static_cast<std::int64_t>(extent) * done / range);
}

void CProgressUI::PaintForegroundColor(HDC dc) {
  if (fore_color_ == 0) return;
  RECT rc = pos_;
  if (horizontal_) {
    rc.right = rc.left + FilledExtent(pos_.right - pos_.left);
  } else {
    rc.top = rc.top + FilledExtent(pos_.bottom - pos_.top);
  }
  CUiDrawEngine::FillColor(dc, rc, AdjustColorByHsl(fore_color_));
}

void CProgressUI::PaintForegroundImage(HDC dc) {
  if (fore_image_.IsEmpty()) return;
  const int width = pos_.right - pos_.left;
  const int height = pos_.bottom - pos_.top;
  int w = width;
  int t = 0;
  if (horizontal_) {
    w = FilledExtent(width);
  } else {
    t = FilledExtent(height);
  }
  // Descriptions scale their rectangles themselves: go back to unscaled pixels.
  const int scale = manager_ != nullptr ? manager_->GetDpiHelper()->GetScale() : 100;
  const int l = 0;
  const int t_unscaled = ::MulDiv(t, 100, scale);
  const int r = ::MulDiv(w, 100, scale);
  const int b = ::MulDiv(height - t, 100, scale) + t_unscaled;
  if (stretch_fore_) {
    fore_modifier_.Format(L"dest='%d,%d,%d,%d'", l, t_unscaled, r, b);
  } else {
    fore_modifier_.Format(L"dest='%d,%d,%d,%d' source='%d,%d,%d,%d'", l, t_unscaled, r, b, l, t_unscaled, r, b);
  }
  DrawImage(dc, fore_image_.GetData(), fore_modifier_.GetData());
}

}  // namespace SkinUI
