#include "ui_toolkit/core/tests/skin_window.h"

#include "ui_toolkit/core/control.h"
#include "ui_toolkit/core/dpi_helper.h"

namespace SkinUI::testing {

SkinWindow::SkinWindow(std::wstring skin, int scale) : skin_(std::move(skin)), scale_(scale) {
  if (CPaintManagerUI::GetInstance() == nullptr) CPaintManagerUI::SetInstance(::GetModuleHandleW(nullptr));
}

SkinWindow::~SkinWindow() { Destroy(); }

bool SkinWindow::Open(bool activate) {
  // The pointer is the display's, shared with every test before: left over
  // the window (every test window opens at one place), it would hover a
  // control and change its state and pixels under the test.
  ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) - 1, ::GetSystemMetrics(SM_CYSCREEN) - 1);
  paint_manager_.GetDpiHelper()->SetScaleFromDpi(::MulDiv(96, scale_, 100));
  if (Create(nullptr, L"skin test", WS_POPUP | WS_CLIPCHILDREN, 0, 40, 40, 400, 300) == nullptr) return false;
  ::ShowWindow(Hwnd(), activate ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE);
  if (activate) ::SetForegroundWindow(Hwnd());
  Paint();
  PumpFor(20);
  Paint();
  return true;
}

void SkinWindow::Destroy() {
  if (::IsWindow(Hwnd())) ::DestroyWindow(Hwnd());
  PumpFor(5);
}

void SkinWindow::Notify(NotifyMsgUI& msg) {
  SeenNotify seen;
  seen.type = msg.sType.GetData();
  if (msg.pSender != nullptr) seen.sender = msg.pSender->GetName().GetData();
  seen.wparam = msg.wParam;
  seen.lparam = msg.lParam;
  seen_.push_back(seen);
  if (on_notify) on_notify(msg);
  WindowImplBase::Notify(msg);
}

std::vector<std::wstring> SkinWindow::SeenTypes(const wchar_t* sender) const {
  std::vector<std::wstring> types;
  for (const SeenNotify& s : seen_) {
    if (sender == nullptr || s.sender == sender) types.push_back(s.type);
  }
  return types;
}

void SkinWindow::Paint() {
  ::UpdateWindow(Hwnd());
}

std::vector<std::uint32_t> SkinWindow::Pixels(int* width, int* height) {
  Paint();
  const SIZE size = paint_manager_.GetOffscreenSize();
  const DWORD* bits = paint_manager_.GetOffscreenPixels();
  *width = size.cx;
  *height = size.cy;
  if (bits == nullptr) return {};
  return std::vector<std::uint32_t>(bits, bits + static_cast<size_t>(size.cx) * size.cy);
}

std::uint32_t SkinWindow::PixelAt(int x, int y) {
  int w = 0;
  int h = 0;
  const std::vector<std::uint32_t> pixels = Pixels(&w, &h);
  if (x < 0 || y < 0 || x >= w || y >= h) return 0xDEADBEEF;
  return pixels[static_cast<size_t>(y) * w + x];
}

void SkinWindow::MouseMove(int x, int y) {
  ::SendMessageW(Hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
  Paint();
}

void SkinWindow::MouseDown(int x, int y) {
  ::SendMessageW(Hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
  ::SendMessageW(Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  Paint();
}

void SkinWindow::MouseUp(int x, int y) {
  ::SendMessageW(Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  Paint();
}

void SkinWindow::Click(int x, int y) {
  MouseDown(x, y);
  MouseUp(x, y);
}

void SkinWindow::Key(WPARAM vk) {
  MSG msg{Hwnd(), WM_KEYDOWN, vk, 1};
  if (!CPaintManagerUI::TranslateMessage(&msg)) ::SendMessageW(Hwnd(), WM_KEYDOWN, vk, 1);
  msg.message = WM_KEYUP;
  if (!CPaintManagerUI::TranslateMessage(&msg)) ::SendMessageW(Hwnd(), WM_KEYUP, vk, 0xC0000001);
  Paint();
}

void PumpFor(int ms) {
  const DWORD end = ::GetTickCount() + static_cast<DWORD>(ms);
  do {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (!CPaintManagerUI::TranslateMessage(&msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
    }
    if (static_cast<int>(end - ::GetTickCount()) > 0) ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  } while (static_cast<int>(end - ::GetTickCount()) > 0);
}

bool PumpUntil(const std::function<bool()>& done, int timeout_ms) {
  const DWORD end = ::GetTickCount() + static_cast<DWORD>(timeout_ms);
  while (!done()) {
    if (static_cast<int>(end - ::GetTickCount()) <= 0) return false;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (!CPaintManagerUI::TranslateMessage(&msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
    }
    if (!done()) ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
  return true;
}

}  // namespace SkinUI::testing
