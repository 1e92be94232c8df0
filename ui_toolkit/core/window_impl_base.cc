#include "ui_toolkit/core/window_impl_base.h"

#include <cwchar>
#include <cwctype>

#include "ui_toolkit/core/control.h"
#include "ui_toolkit/core/dpi_helper.h"

namespace SkinUI {

const NotifyMapEntry WindowImplBase::kEntries[] = {
    SKINUI_NOTIFY_MSG(L"click", L"", WindowImplBase, OnClick),
    SKINUI_NOTIFY_END,
};
const NotifyMap WindowImplBase::kMap = {&CNotifyPump::kMap, WindowImplBase::kEntries};

const NotifyMap* WindowImplBase::GetMessageMap() const { return &kMap; }

void WindowImplBase::Notify(NotifyMsgUI& msg) { NotifyPump(msg); }

LRESULT WindowImplBase::MessageHandler(UINT message, WPARAM wparam, LPARAM, bool&) {
  // Never marks the key handled: it still goes on its way.
  if (message == WM_KEYDOWN && (wparam == VK_RETURN || wparam == VK_ESCAPE)) return HandleDefaultKey(wparam);
  return 0;
}

CControlUI* WindowImplBase::CreateCustomControl(const wchar_t*) { return nullptr; }
const wchar_t* WindowImplBase::QueryControlText(const wchar_t*, const wchar_t*) { return nullptr; }

LRESULT WindowImplBase::HandleDefaultKey(WPARAM key) { return key == VK_ESCAPE ? 1 : 0; }

void WindowImplBase::OnFinalMessage(HWND) {
  paint_manager_.RemovePreMessageFilter(this);
  paint_manager_.RemoveNotifier(this);
  if (paint_manager_.GetRootControl() != nullptr) paint_manager_.ForgetControl(paint_manager_.GetRootControl());
}

void WindowImplBase::OnClick(NotifyMsgUI& msg) {
  if (msg.pSender == nullptr) return;
  const CUiString name = msg.pSender->GetName();
  if (name == L"closebtn") {
    Close(1);
  } else if (name == L"minbtn") {
    SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
  } else if (name == L"maxbtn") {
    SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  } else if (name == L"restorebtn") {
    SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
  }
}

bool WindowImplBase::IsCaptionPassThroughControl(CControlUI* control) {
  static const wchar_t* const kDraggable[] = {
      L"controlui",         L"textui",           L"labelui",       L"containerui",      L"horizontallayoutui",
      L"verticallayoutui",  L"tablayoutui",      L"childlayoutui", L"dialoglayoutui",   L"progresscontainerui"};
  if (control == nullptr) return false;
  for (CControlUI* c = control; c != nullptr; c = c->GetParent()) {
    CUiString name(c->GetClassName());
    name.MakeLower();
    bool draggable = false;
    for (const wchar_t* k : kDraggable) draggable = draggable || name == k;
    if (!draggable) return false;
  }
  return true;
}

LRESULT WindowImplBase::OnClose(UINT, WPARAM, LPARAM, BOOL& handled) {
  handled = FALSE;
  return 0;
}
LRESULT WindowImplBase::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
  handled = FALSE;
  return 0;
}
LRESULT WindowImplBase::OnMouseWheel(UINT, WPARAM, LPARAM, BOOL& handled) {
  handled = FALSE;
  return 0;
}
LRESULT WindowImplBase::OnMouseHover(UINT, WPARAM, LPARAM, BOOL& handled) {
  handled = FALSE;
  return 0;
}
LRESULT WindowImplBase::OnChar(UINT, WPARAM, LPARAM, BOOL& handled) {
  handled = FALSE;
  return 0;
}
LRESULT WindowImplBase::OnKeyDown(UINT, WPARAM, LPARAM, BOOL& handled) {
  handled = FALSE;
  return 0;
}
LRESULT WindowImplBase::OnKillFocus(UINT, WPARAM, LPARAM, BOOL& handled) {
  handled = FALSE;
  return 0;
}
LRESULT WindowImplBase::OnSetFocus(UINT, WPARAM, LPARAM, BOOL& handled) {
  handled = FALSE;
  return 0;
}
LRESULT WindowImplBase::OnLButtonDown(UINT, WPARAM, LPARAM, BOOL& handled) {
  handled = FALSE;
  return 0;
}
LRESULT WindowImplBase::OnLButtonUp(UINT, WPARAM, LPARAM, BOOL& handled) {
  handled = FALSE;
  return 0;
}
LRESULT WindowImplBase::OnMouseMove(UINT, WPARAM, LPARAM, BOOL& handled) {
  handled = FALSE;
  return 0;
}
LRESULT WindowImplBase::HandleCustomMessage(UINT, WPARAM, LPARAM, BOOL& handled) {
  handled = FALSE;
  return 0;
}

LRESULT WindowImplBase::OnNcActivate(UINT, WPARAM wparam, LPARAM, BOOL& handled) {
  if (::IsIconic(hwnd_)) {
    handled = FALSE;
    return 0;
  }
  return wparam == 0 ? 1 : 0;
}

LRESULT WindowImplBase::OnNcCalcSize(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
LRESULT WindowImplBase::OnNcPaint(UINT, WPARAM, LPARAM, BOOL&) { return 0; }

LRESULT WindowImplBase::OnNcHitTest(UINT, WPARAM, LPARAM lparam, BOOL&) {
  POINT pt{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
  ::ScreenToClient(hwnd_, &pt);
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  if (!::IsZoomed(hwnd_)) {
    const RECT box = paint_manager_.GetSizeBox();
    if (pt.y < client.top + box.top) {
      if (pt.x < client.left + box.left) return HTTOPLEFT;
      if (pt.x > client.right - box.right) return HTTOPRIGHT;
      return HTTOP;
    }
    if (pt.y > client.bottom - box.bottom) {
      if (pt.x < client.left + box.left) return HTBOTTOMLEFT;
      if (pt.x > client.right - box.right) return HTBOTTOMRIGHT;
      return HTBOTTOM;
    }
    if (pt.x < client.left + box.left) return HTLEFT;
    if (pt.x > client.right - box.right) return HTRIGHT;
  }
  const RECT caption = paint_manager_.GetCaptionRect();
  const LONG caption_bottom = caption.bottom < 0 ? client.bottom : caption.bottom;
  if (pt.x >= client.left + caption.left && pt.x < client.right - caption.right && pt.y >= caption.top &&
      pt.y < caption_bottom) {
    if (IsCaptionPassThroughControl(paint_manager_.FindControlAtPoint(pt))) return HTCAPTION;
  }
  return HTCLIENT;
}

LRESULT WindowImplBase::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lparam, BOOL&) {
  auto* mmi = reinterpret_cast<MINMAXINFO*>(lparam);
  MONITORINFO mi{};
  mi.cbSize = sizeof(mi);
  ::GetMonitorInfoW(::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &mi);
  RECT work = mi.rcWork;
  if ((mi.dwFlags & MONITORINFOF_PRIMARY) == 0) ::OffsetRect(&work, -work.left, -work.top);
  mmi->ptMaxPosition = {work.left, work.top};
  mmi->ptMaxSize = {work.right - work.left, work.bottom - work.top};
  const SIZE max_info = paint_manager_.GetMaxInfo();
  const SIZE min_info = paint_manager_.GetMinInfo();
  mmi->ptMaxTrackSize.x = max_info.cx != 0 ? max_info.cx : work.right - work.left;
  mmi->ptMaxTrackSize.y = max_info.cy != 0 ? max_info.cy : work.bottom - work.top;
  mmi->ptMinTrackSize = {min_info.cx, min_info.cy};
  return 0;
}

LRESULT WindowImplBase::OnSize(UINT, WPARAM, LPARAM, BOOL& handled) {
  handled = FALSE;
  if (::IsIconic(hwnd_)) return 0;
  RECT rc{};
  ::GetWindowRect(hwnd_, &rc);
  ::OffsetRect(&rc, -rc.left, -rc.top);
  const SIZE round = paint_manager_.GetRoundCorner();
  const HRGN region = ::CreateRoundRectRgn(rc.left, rc.top, rc.right + 1, rc.bottom + 1, round.cx, round.cy);
  ::SetWindowRgn(hwnd_, region, TRUE);  // the window owns the region from here on
  return 0;
}

LRESULT WindowImplBase::OnSysCommand(UINT message, WPARAM wparam, LPARAM lparam, BOOL&) {
  if (wparam == SC_CLOSE) {
    SendMessage(WM_CLOSE, 0, 0);
    return 0;
  }
  const BOOL was_zoomed = ::IsZoomed(hwnd_);
  const LRESULT result = CWindowWnd::HandleMessage(message, wparam, lparam);
  if (::IsZoomed(hwnd_) != was_zoomed) {
    CControlUI* max_button = paint_manager_.FindControlByName(L"maxbtn");
    CControlUI* restore_button = paint_manager_.FindControlByName(L"restorebtn");
    const bool zoomed = ::IsZoomed(hwnd_) != FALSE;
    if (max_button != nullptr) max_button->SetVisible(!zoomed);
    if (restore_button != nullptr) restore_button->SetVisible(zoomed);
  }
  return result;
}

void WindowImplBase::OnSkinLoadFailed(const CUiString& skin_file) {
  CUiString text(L"加载资源文件失败：");
  text += skin_file;
  ::MessageBoxW(nullptr, text.GetData(), L"SkinUI", MB_ICONHAND);
  ::ExitProcess(1);
}

LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, BOOL&) {
  LONG_PTR style = ::GetWindowLongPtrW(hwnd_, GWL_STYLE);
  style &= ~WS_CAPTION;
  ::SetWindowLongPtrW(hwnd_, GWL_STYLE, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
  paint_manager_.Init(hwnd_, GetManagerName());
  paint_manager_.AddPreMessageFilter(this);
  CUiSkinBuilder builder;
  const CUiString skin_type = GetSkinType();
  const CUiString skin_file = GetSkinFile();
  CControlUI* root = nullptr;
  if (skin_type.IsEmpty()) {
    root = builder.Create(skin_file.GetData(), nullptr, this, &paint_manager_);
  } else {
    root = builder.Create(MAKEINTRESOURCEW(_wtoi(skin_file.GetData())), skin_type.GetData(), this, &paint_manager_);
  }
  if (root == nullptr) {
    OnSkinLoadFailed(skin_file);
  }
  paint_manager_.SetRootControl(root);
  paint_manager_.AddNotifier(this);
  InitWindow();
  return 0;
}

LONG WindowImplBase::GetStyle() {
  return static_cast<LONG>(::GetWindowLongPtrW(hwnd_, GWL_STYLE) & ~WS_CAPTION);
}

LRESULT WindowImplBase::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  BOOL handled = TRUE;
  LRESULT result = 0;
  switch (message) {
    case WM_CREATE: result = OnCreate(message, wparam, lparam, handled); break;
    case WM_DESTROY: result = OnDestroy(message, wparam, lparam, handled); break;
    case WM_SIZE: result = OnSize(message, wparam, lparam, handled); break;
    case WM_SETFOCUS: result = OnSetFocus(message, wparam, lparam, handled); break;
    case WM_KILLFOCUS: result = OnKillFocus(message, wparam, lparam, handled); break;
    case WM_CLOSE: result = OnClose(message, wparam, lparam, handled); break;
    case WM_GETMINMAXINFO: result = OnGetMinMaxInfo(message, wparam, lparam, handled); break;
    case WM_NCCALCSIZE: result = OnNcCalcSize(message, wparam, lparam, handled); break;
    case WM_NCHITTEST: result = OnNcHitTest(message, wparam, lparam, handled); break;
    case WM_NCPAINT: result = OnNcPaint(message, wparam, lparam, handled); break;
    case WM_NCACTIVATE: result = OnNcActivate(message, wparam, lparam, handled); break;
    case WM_KEYDOWN: result = OnKeyDown(message, wparam, lparam, handled); break;
    case WM_CHAR: result = OnChar(message, wparam, lparam, handled); break;
    case WM_SYSCOMMAND: result = OnSysCommand(message, wparam, lparam, handled); break;
    case WM_MOUSEMOVE: result = OnMouseMove(message, wparam, lparam, handled); break;
    case WM_LBUTTONDOWN: result = OnLButtonDown(message, wparam, lparam, handled); break;
    case WM_LBUTTONUP: result = OnLButtonUp(message, wparam, lparam, handled); break;
    case WM_MOUSEWHEEL: result = OnMouseWheel(message, wparam, lparam, handled); break;
    case WM_MOUSEHOVER: result = OnMouseHover(message, wparam, lparam, handled); break;
    default: handled = FALSE; break;
  }
  if (handled) return result;
  result = HandleCustomMessage(message, wparam, lparam, handled);
  if (handled) return result;
  if (paint_manager_.HandleWindowMessage(message, wparam, lparam, result)) return result;
  return CWindowWnd::HandleMessage(message, wparam, lparam);
}

}  // namespace SkinUI
