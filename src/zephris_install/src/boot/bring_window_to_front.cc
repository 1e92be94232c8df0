#include "src/zephris_install/src/boot/bring_window_to_front.h"

void BringWindowToFront(HWND window) {
  ::ShowWindow(window, SW_SHOW);
  const DWORD own_thread = ::GetCurrentThreadId();
  DWORD foreground_thread = 0;
  if (const HWND foreground = ::GetForegroundWindow()) {
    foreground_thread = ::GetWindowThreadProcessId(foreground, nullptr);
  }
  const bool attached = foreground_thread != 0 && foreground_thread != own_thread &&
                        ::AttachThreadInput(foreground_thread, own_thread, TRUE);
  if (attached) {
    constexpr UINT kFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW;
    ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, kFlags);
    ::SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, kFlags);
  }
  ::SetForegroundWindow(window);
  ::SetFocus(window);
  if (attached) ::AttachThreadInput(foreground_thread, own_thread, FALSE);
}
