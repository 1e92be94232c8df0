#include "testing/window_input/installer_window_input.h"

#include <cwchar>

namespace window_input {

namespace {

struct Search {
  const wchar_t* window_class;
  DWORD process_id;
  HWND found;
};

BOOL CALLBACK Visit(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  wchar_t name[64] = {};
  if (::GetClassNameW(window, name, 64) == 0 || std::wcscmp(name, search->window_class) != 0) return TRUE;
  if (!::IsWindowVisible(window)) return TRUE;
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (search->process_id != 0 && owner != search->process_id) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

HWND FindVisibleWindow(const wchar_t* window_class, DWORD process_id) {
  Search search{window_class, process_id, nullptr};
  ::EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void Click(HWND window, POINT client) {
  using namespace std::chrono_literals;
  ::ClientToScreen(window, &client);
  ::SetForegroundWindow(window);
  ::SetCursorPos(client.x, client.y);
  std::this_thread::sleep_for(200ms);
  INPUT inputs[2] = {};
  inputs[0].type = inputs[1].type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ::SendInput(2, inputs, sizeof(INPUT));
  std::this_thread::sleep_for(500ms);
}

}  // namespace window_input
