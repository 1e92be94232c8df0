#include "src/zephris_install/src/wrapper/message_box/tests/box_driver.h"

#include "ui_toolkit/core/control.h"
#include "ui_toolkit/core/dpi_helper.h"

namespace box_testing {
namespace {

// Hook and timer procedures carry no context: one driver per thread.
thread_local BoxDriver* g_driver = nullptr;

bool IsClass(LPCWSTR class_name, const std::wstring& wanted) {
  return HIWORD(reinterpret_cast<ULONG_PTR>(class_name)) != 0 && wanted == class_name;
}

}  // namespace

SkinUI::CControlUI* BoxView::Find(const wchar_t* name) const {
  return window_->GetPaintManager().FindControlByName(name);
}

void BoxView::ClickAt(int x, int y) const {
  ::PostMessageW(hwnd_, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
  ::PostMessageW(hwnd_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  ::PostMessageW(hwnd_, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void BoxView::Click(const wchar_t* name) const {
  SkinUI::CControlUI* control = Find(name);
  if (control == nullptr) return;
  const RECT pos = control->GetPos();
  ClickAt((pos.left + pos.right) / 2, (pos.top + pos.bottom) / 2);
}

std::vector<std::uint32_t> BoxView::Pixels(int* width, int* height) const {
  ::UpdateWindow(hwnd_);
  SkinUI::CPaintManagerUI& manager = window_->GetPaintManager();
  const SIZE size = manager.GetOffscreenSize();
  const DWORD* bits = manager.GetOffscreenPixels();
  *width = size.cx;
  *height = size.cy;
  if (bits == nullptr) return {};
  return std::vector<std::uint32_t>(bits, bits + static_cast<size_t>(size.cx) * size.cy);
}

BoxDriver::BoxDriver(const wchar_t* window_class, int scale, std::vector<Step> steps)
    : window_class_(window_class), scale_(scale), steps_(std::move(steps)) {
  g_driver = this;
  hook_ = ::SetWindowsHookExW(WH_CBT, OnCbt, nullptr, ::GetCurrentThreadId());
  timer_ = ::SetTimer(nullptr, 0, 40, OnTick);
}

BoxDriver::~BoxDriver() {
  if (timer_ != 0) ::KillTimer(nullptr, timer_);
  if (hook_ != nullptr) ::UnhookWindowsHookEx(hook_);
  g_driver = nullptr;
}

LRESULT CALLBACK BoxDriver::OnCbt(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_CREATEWND && g_driver != nullptr) {
    const auto* create = reinterpret_cast<CBT_CREATEWNDW*>(lparam);
    if (IsClass(create->lpcs->lpszClass, g_driver->window_class_) && create->lpcs->lpCreateParams != nullptr) {
      auto* window = dynamic_cast<SkinUI::WindowImplBase*>(static_cast<SkinUI::CWindowWnd*>(create->lpcs->lpCreateParams));
      if (window != nullptr) window->GetPaintManager().GetDpiHelper()->SetScaleFromDpi(::MulDiv(96, g_driver->scale_, 100));
    }
  }
  return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

void CALLBACK BoxDriver::OnTick(HWND, UINT, UINT_PTR, DWORD) {
  BoxDriver* driver = g_driver;
  if (driver == nullptr || driver->AllDone()) return;
  const HWND hwnd = ::FindWindowW(driver->window_class_.c_str(), nullptr);
  if (hwnd == nullptr || !::IsWindowVisible(hwnd) || ::GetWindowThreadProcessId(hwnd, nullptr) != ::GetCurrentThreadId()) {
    return;
  }
  auto* window = dynamic_cast<SkinUI::WindowImplBase*>(
      reinterpret_cast<SkinUI::CWindowWnd*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA)));
  if (window == nullptr) return;
  BoxView view(hwnd, window);
  if (driver->steps_[driver->next_](view)) ++driver->next_;
}

}  // namespace box_testing
