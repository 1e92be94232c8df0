#include "ui_toolkit/core/window_wnd.h"

#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

// The superclass procedure keeps its object in a window property, since a
// superclassed system control may use its own user data.
constexpr wchar_t kObjectProperty[] = L"WndX";

bool RegisteredOrAlready(ATOM atom) { return atom != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS; }

}  // namespace

HWND CWindowWnd::Create(HWND parent, const wchar_t* caption, DWORD style, DWORD ex_style, int x, int y, int cx,
                        int cy, HMENU menu) {
  const bool registered = GetSuperClassName() != nullptr ? RegisterSuperclass() : RegisterWindowClass();
  if (!registered) return nullptr;
  hwnd_ = ::CreateWindowExW(ex_style, GetWindowClassName(), caption, style, x, y, cx, cy, parent, menu,
                            CPaintManagerUI::GetInstance(), this);
  return hwnd_;
}

HWND CWindowWnd::CreateInRect(HWND parent, const wchar_t* caption, DWORD style, DWORD ex_style, const RECT& rc,
                              HMENU menu) {
  return Create(parent, caption, style, ex_style, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, menu);
}

bool CWindowWnd::RegisterWindowClass() {
  WNDCLASSW wc{};
  wc.style = GetClassStyle();
  wc.lpfnWndProc = &CWindowWnd::WindowProc;
  wc.hInstance = CPaintManagerUI::GetInstance();
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = GetWindowClassName();
  return RegisteredOrAlready(::RegisterClassW(&wc));
}

bool CWindowWnd::RegisterSuperclass() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (!::GetClassInfoExW(nullptr, GetSuperClassName(), &wc) &&
      !::GetClassInfoExW(CPaintManagerUI::GetInstance(), GetSuperClassName(), &wc)) {
    return false;
  }
  base_proc_ = wc.lpfnWndProc;
  wc.lpfnWndProc = &CWindowWnd::SuperClassProc;
  wc.hInstance = CPaintManagerUI::GetInstance();
  wc.lpszClassName = GetWindowClassName();
  return RegisteredOrAlready(::RegisterClassExW(&wc));
}

LRESULT CWindowWnd::Route(CWindowWnd* self, HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (self == nullptr) return ::DefWindowProcW(hwnd, message, wparam, lparam);
  return self->HandleMessage(message, wparam, lparam);
}

LRESULT CALLBACK CWindowWnd::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  CWindowWnd* self = nullptr;
  if (message == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lparam);
    self = static_cast<CWindowWnd*>(cs->lpCreateParams);
    self->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<CWindowWnd*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_NCDESTROY && self != nullptr) {
      const LRESULT result = ::CallWindowProcW(self->base_proc_, hwnd, message, wparam, lparam);
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      self->hwnd_ = nullptr;
      self->OnFinalMessage(hwnd);
      return result;
    }
  }
  return Route(self, hwnd, message, wparam, lparam);
}

LRESULT CALLBACK CWindowWnd::SuperClassProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  CWindowWnd* self = nullptr;
  if (message == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lparam);
    self = static_cast<CWindowWnd*>(cs->lpCreateParams);
    self->hwnd_ = hwnd;
    ::SetPropW(hwnd, kObjectProperty, static_cast<HANDLE>(self));
  } else {
    self = static_cast<CWindowWnd*>(::GetPropW(hwnd, kObjectProperty));
    if (message == WM_NCDESTROY && self != nullptr) {
      const LRESULT result = ::CallWindowProcW(self->base_proc_, hwnd, message, wparam, lparam);
      // Removing the property (not just nulling it) leaves no atom behind on
      // the destroyed window.
      ::RemovePropW(hwnd, kObjectProperty);
      self->hwnd_ = nullptr;
      self->OnFinalMessage(hwnd);
      return result;
    }
  }
  return Route(self, hwnd, message, wparam, lparam);
}

LRESULT CWindowWnd::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  return ::CallWindowProcW(base_proc_, hwnd_, message, wparam, lparam);
}

void CWindowWnd::Show(bool show, bool take_focus) {
  if (!::IsWindow(hwnd_)) return;
  ::ShowWindow(hwnd_, show ? (take_focus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

UINT CWindowWnd::ShowModal() {
  const HWND owner = ::GetWindow(hwnd_, GW_OWNER);
  ::ShowWindow(hwnd_, SW_SHOWNORMAL);
  if (owner != nullptr) ::EnableWindow(owner, FALSE);
  UINT result = 0;
  bool quit = false;
  WPARAM quit_code = 0;
  MSG msg{};
  while (::IsWindow(hwnd_)) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      quit = true;
      quit_code = msg.wParam;
      break;
    }
    if (got == -1) break;
    if (msg.message == WM_CLOSE && msg.hwnd == hwnd_) {
      result = static_cast<UINT>(msg.wParam);
      if (owner != nullptr) {
        ::EnableWindow(owner, TRUE);
        ::SetFocus(owner);
      }
    }
    if (!CPaintManagerUI::TranslateMessage(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
  if (owner != nullptr) {
    ::EnableWindow(owner, TRUE);
    ::SetFocus(owner);
  }
  if (quit) ::PostQuitMessage(static_cast<int>(quit_code));
  return result;
}

void CWindowWnd::Close(UINT code) {
  if (!::IsWindow(hwnd_)) return;
  PostMessage(WM_CLOSE, code, 0);
}

void CWindowWnd::CenterOnOwner() {
  RECT window{};
  ::GetWindowRect(hwnd_, &window);
  const HWND owner = ::GetWindow(hwnd_, GW_OWNER);
  MONITORINFO mi{};
  mi.cbSize = sizeof(mi);
  ::GetMonitorInfoW(::MonitorFromWindow(owner != nullptr ? owner : hwnd_, MONITOR_DEFAULTTONEAREST), &mi);
  const RECT area = mi.rcWork;
  RECT reference = area;
  if (owner != nullptr) ::GetWindowRect(owner, &reference);
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  int x = (reference.left + reference.right) / 2 - width / 2;
  int y = (reference.top + reference.bottom) / 2 - height / 2;
  if (x < area.left) {
    x = area.left;
  } else if (x + width > area.right) {
    x = area.right - width;
  }
  if (y < area.top) {
    y = area.top;
  } else if (y + height > area.bottom) {
    y = area.bottom - height;
  }
  ::SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::SetIconFromResource(UINT resource_id) {
  // Both icons get the large size on purpose: the small one is scaled down by
  // the shell from the sharper large picture.
  const int cx = (::GetSystemMetrics(SM_CXICON) + 15) & ~15;
  const int cy = (::GetSystemMetrics(SM_CYICON) + 15) & ~15;
  auto load = [&] {
    return static_cast<HICON>(
        ::LoadImageW(CPaintManagerUI::GetInstance(), MAKEINTRESOURCEW(resource_id), IMAGE_ICON, cx, cy, 0));
  };
  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(load()));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(load()));
}

void CWindowWnd::SetClientSize(int cx, int cy) {
  RECT rc{};
  if (!::GetClientRect(hwnd_, &rc)) return;
  if (cx != -1) rc.right = cx;
  if (cy != -1) rc.bottom = cy;
  const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_STYLE));
  const DWORD ex_style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
  const bool menu = !(style & WS_CHILD) && ::GetMenu(hwnd_) != nullptr;
  if (!::AdjustWindowRectEx(&rc, style, menu, ex_style)) return;
  ::SetWindowPos(hwnd_, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

LRESULT CWindowWnd::SendMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  return ::SendMessageW(hwnd_, message, wparam, lparam);
}

BOOL CWindowWnd::PostMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  return ::PostMessageW(hwnd_, message, wparam, lparam);
}

}  // namespace SkinUI
