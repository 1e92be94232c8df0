#include "ui_toolkit/controls/loading.h"

#include <cmath>
#include <cwchar>
#include <cwctype>

#include "ui_toolkit/core/dpi_helper.h"
#include "ui_toolkit/core/gdiplus_include.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

constexpr UINT kTickTimer = 100;

int ParseCInt(const wchar_t* value) { return static_cast<int>(std::wcstol(value, nullptr, 0)); }

DWORD ParseArgb(const wchar_t* value) {
  while (*value != L'\0' && std::iswspace(*value)) ++value;
  if (*value == L'#') ++value;
  return static_cast<DWORD>(std::wcstoul(value, nullptr, 16));
}

}  // namespace

CLoadingUI::CLoadingUI() = default;

CLoadingUI::~CLoadingUI() { Stop(); }

const wchar_t* CLoadingUI::GetClassName() const { return L"Loading"; }

void* CLoadingUI::QueryInterfaceByName(const wchar_t* name) {
  if (name != nullptr && std::wcscmp(name, L"Loading") == 0) return static_cast<CLoadingUI*>(this);
  return CControlUI::QueryInterfaceByName(name);
}

void CLoadingUI::Initialize() {
  CControlUI::Initialize();
  // A spinner needs at least one spoke: a count of zero or less would divide
  // by zero below and on every tick.
  const int count = spoke_count_ < 1 ? 1 : spoke_count_;
  spoke_angles_.assign(static_cast<size_t>(count), 0.0);
  spoke_colors_.assign(static_cast<size_t>(count), color_);
  const int step = 255 / count;
  for (int i = 0; i < count; ++i) {
    spoke_angles_[static_cast<size_t>(i)] = (i + 1) * 360.0 / count;
    if (i > 0) spoke_colors_[static_cast<size_t>(i)] = (color_ & 0x00FFFFFF) | (static_cast<DWORD>(i * step) << 24);
  }
  current_ = 0;
  Start();
}

void CLoadingUI::Start() {
  if (interval_ > 0 && GetManager() != nullptr && stopped_) SetTimer(kTickTimer, static_cast<UINT>(interval_));
  stopped_ = false;
}

void CLoadingUI::Stop() {
  stopped_ = true;
  if (GetManager() != nullptr) KillTimer(kTickTimer);
}

void CLoadingUI::HandleEvent(ControlEventUI& event) {
  if (event.Type == UIEVENT_TIMER && event.wParam == kTickTimer) {
    if (!spoke_colors_.empty()) current_ = (current_ + 1) % GetSpokeCount();
    Invalidate();
    return;
  }
  CControlUI::HandleEvent(event);
}

void CLoadingUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (::_wcsicmp(name, L"style") == 0) {
    style_ = ParseCInt(value);
  } else if (::_wcsicmp(name, L"time") == 0) {
    interval_ = static_cast<int>(std::wcstol(value, nullptr, 10));
  } else if (::_wcsicmp(name, L"spoke") == 0) {
    spoke_count_ = ParseCInt(value);
  } else if (::_wcsicmp(name, L"thickness") == 0) {
    thickness_ = ParseCInt(value);
  } else if (::_wcsicmp(name, L"outradius") == 0) {
    outer_radius_ = ParseCInt(value);
  } else if (::_wcsicmp(name, L"innerradius") == 0) {
    inner_radius_ = ParseCInt(value);
  } else if (::_wcsicmp(name, L"color") == 0) {
    color_ = ParseArgb(value);
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

void CLoadingUI::PaintBackgroundImage(HDC dc) {
  const RECT& pos = GetPos();
  const int width = pos.right - pos.left;
  const int height = pos.bottom - pos.top;
  centre_x_ = static_cast<float>(width * 0.5);
  centre_y_ = static_cast<float>(height * 0.5);
  // Nothing to draw into for an empty control, and GDI+ refuses a bitmap
  // without pixels.
  if (spoke_colors_.empty() || width <= 0 || height <= 0) return;
  CDpiHelperUI* dpi = GetManager() != nullptr ? GetManager()->GetDpiHelper() : nullptr;
  auto scaled = [dpi](int n) { return dpi != nullptr ? dpi->Scale(n) : n; };
  const float inner = static_cast<float>(scaled(inner_radius_));
  const float outer = static_cast<float>(scaled(outer_radius_));
  const float thickness = static_cast<float>(scaled(thickness_ < 0 ? 0 : thickness_));

  Gdiplus::Bitmap bitmap(width, height, PixelFormat32bppARGB);
  Gdiplus::Graphics graphics(&bitmap);
  graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
  const int count = GetSpokeCount();
  for (int i = 0; i < count; ++i) {
    const int c = (current_ + i) % count;
    const double a = spoke_angles_[static_cast<size_t>(c)] * 3.14 / 180;
    const auto cos_a = static_cast<float>(std::cos(a));
    const auto sin_a = static_cast<float>(std::sin(a));
    Gdiplus::Pen pen(Gdiplus::Color(spoke_colors_[static_cast<size_t>(i)]), thickness);
    pen.SetStartCap(Gdiplus::LineCapRound);
    pen.SetEndCap(Gdiplus::LineCapRound);
    graphics.DrawLine(&pen, cos_a * inner + centre_x_, sin_a * inner + centre_y_, cos_a * outer + centre_x_,
                      sin_a * outer + centre_y_);
  }
  Gdiplus::Graphics target(dc);
  target.DrawImage(&bitmap, static_cast<INT>(pos.left), static_cast<INT>(pos.top), width, height);
}

}  // namespace SkinUI
