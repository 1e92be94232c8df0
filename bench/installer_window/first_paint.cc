// The yardstick of the window start bench: a plain Win32 window that prints
// the wall clock (Unix milliseconds) once its first WM_PAINT is done, then
// ends. With --noop it ends at once: the time Wine takes to start a program.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>

namespace {

uint64_t UnixMilliseconds() {
  FILETIME now{};
  ::GetSystemTimePreciseAsFileTime(&now);
  const uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return (ticks - 116444736000000000ULL) / 10000;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT ps{};
    const HDC dc = ::BeginPaint(window, &ps);
    ::FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    ::EndPaint(window, &ps);
    std::printf("%llu\n", static_cast<unsigned long long>(UnixMilliseconds()));
    std::fflush(stdout);
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 1 && std::wcscmp(argv[1], L"--noop") == 0) return 0;
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.lpszClassName = L"first_paint";
  if (!::RegisterClassW(&window_class)) return 1;
  const HWND window = ::CreateWindowExW(0, L"first_paint", L"first paint", WS_POPUP | WS_VISIBLE, 100, 100, 664, 480,
                                        nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
  return 0;
}
