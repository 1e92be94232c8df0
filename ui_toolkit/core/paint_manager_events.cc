// The paint manager's message handling: window messages become control
// events, control notifications reach the window's receivers (at once or
// through the queue drained by WM_APP+1), and focus, Tab navigation, mouse
// capture, hover, tooltips and control timers.
#include <cwctype>

#include "ui_toolkit/core/control.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

POINT PointFromLParam(LPARAM lparam) {
  return POINT{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
}

struct TabSearch {
  CControlUI* focus;
  CControlUI* last;
  bool forward;
  bool next_is_it;
};

CControlUI* CALLBACK FindTabProc(CControlUI* control, void* data) {
  auto* s = static_cast<TabSearch*>(data);
  if (control == s->focus) {
    if (s->forward) {
      s->next_is_it = true;
      return nullptr;
    }
    return s->last;  // null lets the search go on
  }
  if ((control->GetControlFlags() & UIFLAG_TABSTOP) == 0) return nullptr;
  s->last = control;
  if (s->next_is_it || s->focus == nullptr) return control;
  return nullptr;
}

struct ShortcutSearch {
  wchar_t ch;
  bool picked_next;
};

CControlUI* CALLBACK FindShortcutProc(CControlUI* control, void* data) {
  auto* s = static_cast<ShortcutSearch*>(data);
  if (!control->IsVisible()) return nullptr;
  if (static_cast<wchar_t>(towupper(control->GetShortcut())) == s->ch) s->picked_next = true;
  if (!s->picked_next) return nullptr;
  // A label's shortcut selects the control that follows it.
  if (wcsstr(control->GetClassName(), L"LabelUI") != nullptr) return nullptr;
  return control;
}

}  // namespace

std::uint16_t CPaintManagerUI::GetKeyStateBits() {
  std::uint16_t bits = 0;
  if (::GetKeyState(VK_LBUTTON) < 0) bits |= UIKEYSTATE_LBUTTON;
  if (::GetKeyState(VK_RBUTTON) < 0) bits |= UIKEYSTATE_RBUTTON;
  if (::GetKeyState(VK_SHIFT) < 0) bits |= UIKEYSTATE_SHIFT;
  if (::GetKeyState(VK_CONTROL) < 0) bits |= UIKEYSTATE_CONTROL;
  if (::GetKeyState(VK_MENU) < 0) bits |= UIKEYSTATE_ALT;
  return bits;
}

bool CPaintManagerUI::HandleWindowMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  if (hwnd_ == nullptr) return false;
  for (int i = 0; i < message_filters_.GetSize(); ++i) {
    bool handled = false;
    const LRESULT r = static_cast<IMessageFilterUI*>(message_filters_.GetAt(i))
                          ->MessageHandler(message, wparam, lparam, handled);
    if (!handled) continue;
    switch (message) {
      case WM_MOUSEMOVE:
      case WM_LBUTTONDOWN:
      case WM_LBUTTONUP:
      case WM_LBUTTONDBLCLK:
        last_mouse_ = PointFromLParam(lparam);
        break;
      case WM_CONTEXTMENU:
      case WM_MOUSEWHEEL: {
        POINT pt = PointFromLParam(lparam);
        ::ScreenToClient(hwnd_, &pt);
        last_mouse_ = pt;
        break;
      }
      default:
        break;
    }
    result = r;
    return true;
  }

  if (layered_) {
    switch (message) {
      case WM_NCCALCSIZE:
      case WM_NCPAINT:
        result = 0;
        return true;
      case WM_NCACTIVATE:
        if (!::IsIconic(hwnd_)) {
          result = wparam == 0 ? 1 : 0;
          return true;
        }
        break;
      default:
        break;
    }
  }

  const DWORD now = ::GetTickCount();
  switch (message) {
    case WM_APP + 1:
      DrainAsyncWork();
      return false;
    case WM_CLOSE: {
      ControlEventUI event;
      event.ptMouse = last_mouse_;
      event.wKeyState = GetKeyStateBits();
      event.dwTimestamp = now;
      if (hover_ != nullptr) {
        event.Type = UIEVENT_MOUSELEAVE;
        event.pSender = hover_;
        hover_->DispatchEvent(event);
      }
      if (pushed_ != nullptr) {
        event.Type = UIEVENT_BUTTONUP;
        event.pSender = pushed_;
        pushed_->DispatchEvent(event);
      }
      SetFocus(nullptr);
      if (::GetActiveWindow() == hwnd_) {
        const HWND owner = ::GetWindow(hwnd_, GW_OWNER);
        if (owner != nullptr) ::SetFocus(owner);
      }
      if (tooltip_ != nullptr) {
        ::DestroyWindow(tooltip_);
        tooltip_ = nullptr;
      }
      return false;
    }
    case WM_ERASEBKGND:
      result = 1;
      return true;
    case WM_PAINT:
      HandlePaint();
      result = 0;
      return true;
    case WM_PRINTCLIENT:
      HandlePrintClient(reinterpret_cast<HDC>(wparam), lparam);
      return false;
    case WM_GETMINMAXINFO: {
      auto* mmi = reinterpret_cast<MINMAXINFO*>(lparam);
      if (min_info_.cx > 0) mmi->ptMinTrackSize.x = min_info_.cx;
      if (min_info_.cy > 0) mmi->ptMinTrackSize.y = min_info_.cy;
      if (max_info_.cx > 0) {
        mmi->ptMaxTrackSize.x = max_info_.cx;
        mmi->ptMaxSize.x = max_info_.cx;
      }
      if (max_info_.cy > 0) {
        mmi->ptMaxTrackSize.y = max_info_.cy;
        mmi->ptMaxSize.y = max_info_.cy;
      }
      return false;
    }
    case WM_SIZE:
      if (focus_ != nullptr) {
        ControlEventUI event;
        event.Type = UIEVENT_WINDOWSIZE;
        event.pSender = focus_;
        event.dwTimestamp = now;
        focus_->DispatchEvent(event);
      }
      if (root_ != nullptr) root_->MarkNeedsLayout();
      result = 0;
      return true;
    case WM_TIMER:
      for (int i = 0; i < timers_.GetSize(); ++i) {
        auto* t = static_cast<TimerRecordUI*>(timers_.GetAt(i));
        if (t->hWnd == hwnd_ && t->uWinTimer == LOWORD(wparam) && !t->bKilled) {
          ControlEventUI event;
          event.Type = UIEVENT_TIMER;
          event.pSender = t->pSender;
          event.dwTimestamp = now;
          event.ptMouse = last_mouse_;
          event.wKeyState = GetKeyStateBits();
          event.wParam = t->nLocalID;
          event.lParam = lparam;
          t->pSender->DispatchEvent(event);
          break;
        }
      }
      return false;
    case WM_MOUSEHOVER:
      return HandleMouseHover(wparam, lparam, result);
    case WM_MOUSELEAVE: {
      if (tooltip_ != nullptr) ::SendMessageW(tooltip_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool_info_));
      if (mouse_tracking_) {
        POINT pt{};
        RECT rc{};
        ::GetCursorPos(&pt);
        ::GetWindowRect(hwnd_, &rc);
        if (!::IsIconic(hwnd_) && ::GetActiveWindow() == hwnd_ && ::PtInRect(&rc, pt)) {
          const LRESULT hit = ::SendMessageW(hwnd_, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
          if (hit == HTCLIENT) {
            ::ScreenToClient(hwnd_, &pt);
            ::SendMessageW(hwnd_, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
          } else {
            ::SendMessageW(hwnd_, WM_MOUSEMOVE, 0, static_cast<LPARAM>(-1));
          }
        } else {
          ::SendMessageW(hwnd_, WM_MOUSEMOVE, 0, static_cast<LPARAM>(-1));
        }
      }
      mouse_tracking_ = false;
      return false;
    }
    case WM_MOUSEMOVE:
      HandleMouseMove(wparam, lparam);
      return false;
    case WM_LBUTTONDOWN: {
      if (!no_activate_) ::SetFocus(hwnd_);
      if (root_ == nullptr) return false;
      const POINT pt = PointFromLParam(lparam);
      last_mouse_ = pt;
      CControlUI* control = FindControlAtPoint(pt);
      if (control == nullptr || control->GetManager() != this) return false;
      if (drag_mode_ && control->IsDragEnabled()) ArmControlDrag(control);
      SetMouseCapture();
      pushed_ = control;
      control->SetFocus();
      ControlEventUI event;
      event.Type = UIEVENT_BUTTONDOWN;
      event.pSender = control;
      event.wParam = wparam;
      event.lParam = lparam;
      event.ptMouse = pt;
      event.wKeyState = static_cast<std::uint16_t>(LOWORD(wparam));
      event.dwTimestamp = now;
      control->DispatchEvent(event);
      return false;
    }
    case WM_LBUTTONDBLCLK: {
      if (!no_activate_) ::SetFocus(hwnd_);
      if (root_ == nullptr) return false;
      const POINT pt = PointFromLParam(lparam);
      last_mouse_ = pt;
      CControlUI* control = FindControlAtPoint(pt);
      if (control == nullptr || control->GetManager() != this) return false;
      pushed_ = control;
      ControlEventUI event;
      event.Type = UIEVENT_DBLCLICK;
      event.pSender = control;
      event.wParam = wparam;
      event.lParam = lparam;
      event.ptMouse = pt;
      event.wKeyState = static_cast<std::uint16_t>(LOWORD(wparam));
      event.dwTimestamp = now;
      control->DispatchEvent(event);
      return false;
    }
    case WM_LBUTTONUP: {
      const POINT pt = PointFromLParam(lparam);
      last_mouse_ = pt;
      if (pushed_ == nullptr) return false;
      ReleaseMouseCapture();
      CControlUI* control = pushed_;
      pushed_ = nullptr;
      ControlEventUI event;
      event.Type = UIEVENT_BUTTONUP;
      event.pSender = control;
      event.wParam = wparam;
      event.lParam = lparam;
      event.ptMouse = pt;
      event.wKeyState = static_cast<std::uint16_t>(LOWORD(wparam));
      event.dwTimestamp = now;
      control->DispatchEvent(event);
      return false;
    }
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      if (!no_activate_) ::SetFocus(hwnd_);
      if (root_ == nullptr) return false;
      const POINT pt = PointFromLParam(lparam);
      last_mouse_ = pt;
      CControlUI* control = FindControlAtPoint(pt);
      if (control == nullptr || control->GetManager() != this) return false;
      control->SetFocus();
      SetMouseCapture();
      ControlEventUI event;
      event.Type = message == WM_RBUTTONDOWN ? UIEVENT_RBUTTONDOWN : UIEVENT_MBUTTONDOWN;
      event.pSender = control;
      event.wParam = wparam;
      event.lParam = lparam;
      event.ptMouse = pt;
      event.wKeyState = static_cast<std::uint16_t>(LOWORD(wparam));
      event.dwTimestamp = now;
      control->DispatchEvent(event);
      pushed_ = control;
      return false;
    }
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      if (mouse_capture_) ReleaseMouseCapture();
      const POINT pt = PointFromLParam(lparam);
      last_mouse_ = pt;
      pushed_ = FindControlAtPoint(pt);
      if (pushed_ == nullptr) return false;
      ControlEventUI event;
      event.Type = message == WM_RBUTTONUP ? UIEVENT_RBUTTONUP : UIEVENT_MBUTTONUP;
      event.pSender = pushed_;
      event.wParam = wparam;
      event.lParam = lparam;
      event.ptMouse = pt;
      event.wKeyState = static_cast<std::uint16_t>(LOWORD(wparam));
      event.dwTimestamp = now;
      pushed_->DispatchEvent(event);
      return false;
    }
    case WM_CONTEXTMENU: {
      if (root_ == nullptr) return false;
      POINT pt = PointFromLParam(lparam);
      ::ScreenToClient(hwnd_, &pt);
      last_mouse_ = pt;
      if (pushed_ == nullptr) return false;
      ReleaseMouseCapture();
      ControlEventUI event;
      event.Type = UIEVENT_CONTEXTMENU;
      event.pSender = pushed_;
      event.ptMouse = pt;
      event.wKeyState = static_cast<std::uint16_t>(LOWORD(wparam));
      event.wParam = wparam;
      event.lParam = reinterpret_cast<LPARAM>(pushed_);
      event.dwTimestamp = now;
      CControlUI* control = pushed_;
      pushed_ = nullptr;
      control->DispatchEvent(event);
      return false;
    }
    case WM_MOUSEWHEEL: {
      if (root_ == nullptr) return false;
      POINT pt = PointFromLParam(lparam);
      ::ScreenToClient(hwnd_, &pt);
      last_mouse_ = pt;
      CControlUI* control = FindControlAtPoint(pt);
      if (control == nullptr || control->GetManager() != this) return false;
      const int delta = GET_WHEEL_DELTA_WPARAM(wparam);
      ControlEventUI event;
      event.Type = UIEVENT_SCROLLWHEEL;
      event.pSender = control;
      event.wParam = MAKEWPARAM(delta < 0 ? 1 : 0, static_cast<WORD>(delta));
      event.lParam = lparam;
      event.ptMouse = pt;
      event.wKeyState = GetKeyStateBits();
      event.dwTimestamp = now;
      control->DispatchEvent(event);
      ::SendMessageW(hwnd_, WM_MOUSEMOVE, 0, MAKELPARAM(last_mouse_.x, last_mouse_.y));
      return false;
    }
    case WM_SETFOCUS:
      if (focus_ != nullptr) {
        ControlEventUI event;
        event.Type = UIEVENT_SETFOCUS;
        event.pSender = focus_;
        event.wParam = wparam;
        event.lParam = lparam;
        event.dwTimestamp = now;
        focus_->DispatchEvent(event);
      }
      return false;
    case WM_KILLFOCUS:
      if (mouse_capture_) ReleaseMouseCapture();
      return false;
    case WM_SETCURSOR: {
      if (root_ == nullptr || LOWORD(lparam) != HTCLIENT) return false;
      if (mouse_capture_) {
        result = TRUE;
        return true;
      }
      POINT pt{};
      ::GetCursorPos(&pt);
      ::ScreenToClient(hwnd_, &pt);
      CControlUI* control = FindControlAtPoint(pt);
      if (control == nullptr || (control->GetControlFlags() & UIFLAG_SETCURSOR) == 0) return false;
      ControlEventUI event;
      event.Type = UIEVENT_SETCURSOR;
      event.pSender = control;
      event.wParam = wparam;
      event.lParam = lparam;
      event.ptMouse = pt;
      event.wKeyState = GetKeyStateBits();
      event.dwTimestamp = now;
      control->DispatchEvent(event);
      result = TRUE;
      return true;
    }
    case WM_NOTIFY: {
      if (lparam == 0) return false;
      auto* header = reinterpret_cast<NMHDR*>(lparam);
      result = ::SendMessageW(header->hwndFrom, WM_NOTIFY + 0x2000, wparam, lparam);
      return true;
    }
    case WM_COMMAND: {
      if (lparam == 0) return false;
      const LRESULT r = ::SendMessageW(reinterpret_cast<HWND>(lparam), WM_COMMAND + 0x2000, wparam, lparam);
      if (r == 0) return false;
      result = r;
      return true;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      if (lparam == 0) return false;
      const LRESULT r = ::SendMessageW(reinterpret_cast<HWND>(lparam), message + 0x2000, wparam, lparam);
      if (r == 0) return false;
      result = r;
      return true;
    }
    case WM_KEYDOWN: {
      if (root_ == nullptr || focus_ == nullptr) return false;
      ControlEventUI event;
      event.Type = UIEVENT_KEYDOWN;
      event.pSender = focus_;
      event.chKey = static_cast<wchar_t>(LOWORD(wparam));
      event.wParam = wparam;
      event.lParam = lparam;
      event.ptMouse = last_mouse_;
      event.wKeyState = GetKeyStateBits();
      event.dwTimestamp = now;
      CControlUI* target = focus_;
      key_pressed_ = focus_;
      target->DispatchEvent(event);
      return false;
    }
    case WM_KEYUP: {
      if (root_ == nullptr || key_pressed_ == nullptr) return false;
      ControlEventUI event;
      event.Type = UIEVENT_KEYUP;
      event.pSender = key_pressed_;
      event.chKey = static_cast<wchar_t>(LOWORD(wparam));
      event.wParam = wparam;
      event.lParam = lparam;
      event.ptMouse = last_mouse_;
      event.wKeyState = GetKeyStateBits();
      event.dwTimestamp = now;
      CControlUI* target = key_pressed_;
      key_pressed_ = nullptr;
      target->DispatchEvent(event);
      return false;
    }
    case WM_CHAR: {
      if (root_ == nullptr || focus_ == nullptr) return false;
      ControlEventUI event;
      event.Type = UIEVENT_CHAR;
      event.pSender = focus_;
      event.chKey = static_cast<wchar_t>(LOWORD(wparam));
      event.wParam = wparam;
      event.lParam = lparam;
      event.ptMouse = last_mouse_;
      event.wKeyState = GetKeyStateBits();
      event.dwTimestamp = now;
      focus_->DispatchEvent(event);
      return false;
    }
    default:
      return false;
  }
}

bool CPaintManagerUI::HandleMouseMove(WPARAM wparam, LPARAM lparam) {
  if (!mouse_tracking_) {
    TRACKMOUSEEVENT tme{};
    tme.cbSize = sizeof(tme);
    tme.dwFlags = TME_HOVER | TME_LEAVE;
    tme.hwndTrack = hwnd_;
    tme.dwHoverTime = tooltip_ != nullptr
                          ? static_cast<DWORD>(::SendMessageW(tooltip_, TTM_GETDELAYTIME, TTDT_INITIAL, 0))
                          : hover_time_;
    ::TrackMouseEvent(&tme);
    mouse_tracking_ = true;
  }
  const POINT pt = PointFromLParam(lparam);
  const POINT previous = last_mouse_;
  last_mouse_ = pt;
  CControlUI* control = FindControlAtPoint(pt);
  if (control != nullptr && control->GetManager() != this) return false;
  if (drag_armed_ && (pt.x != previous.x || pt.y != previous.y) && wparam == MK_LBUTTON) {
    RunControlDrag();
    return true;
  }
  ControlEventUI event;
  event.ptMouse = pt;
  event.wParam = wparam;
  event.lParam = lparam;
  event.dwTimestamp = ::GetTickCount();
  event.wKeyState = GetKeyStateBits();
  if (!mouse_capture_) {
    if (control != hover_ && hover_ != nullptr) {
      event.Type = UIEVENT_MOUSELEAVE;
      event.pSender = hover_;
      CControlUI* leaving = hover_;
      hover_ = nullptr;
      leaving->DispatchEvent(event);
      if (tooltip_ != nullptr) ::SendMessageW(tooltip_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool_info_));
    }
    if (control != hover_ && control != nullptr) {
      event.Type = UIEVENT_MOUSEENTER;
      event.pSender = control;
      hover_ = control;
      control->DispatchEvent(event);
    }
  }
  event.Type = UIEVENT_MOUSEMOVE;
  if (pushed_ != nullptr) {
    event.pSender = pushed_;
    pushed_->DispatchEvent(event);
  } else if (control != nullptr) {
    event.pSender = control;
    control->DispatchEvent(event);
  }
  return false;
}

bool CPaintManagerUI::HandleMouseHover(WPARAM wparam, LPARAM lparam, LRESULT& result) {
  mouse_tracking_ = false;
  const POINT pt = PointFromLParam(lparam);
  CControlUI* control = FindControlAtPoint(pt);
  if (control == nullptr) return false;
  if (hover_ != nullptr) {
    ControlEventUI event;
    event.Type = UIEVENT_MOUSEHOVER;
    event.pSender = hover_;
    event.wParam = wparam;
    event.lParam = lparam;
    event.ptMouse = pt;
    event.wKeyState = GetKeyStateBits();
    event.dwTimestamp = ::GetTickCount();
    hover_->DispatchEvent(event);
  }
  result = 0;
  const CUiString tip = control->GetToolTip();
  if (tip.IsEmpty()) return true;
  // The tooltip keeps a pointer to the text; a member copy outlives this call.
  tooltip_text_ = tip;
  tool_info_ = {};
  tool_info_.cbSize = sizeof(TOOLINFOW);
  tool_info_.uFlags = TTF_IDISHWND;
  tool_info_.hwnd = hwnd_;
  tool_info_.uId = reinterpret_cast<UINT_PTR>(hwnd_);
  tool_info_.hinst = GetInstance();
  tool_info_.lpszText = const_cast<wchar_t*>(tooltip_text_.GetData());
  tool_info_.rect = control->GetPos();
  if (tooltip_ == nullptr) {
    tooltip_ = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                 GetInstance(), nullptr);
    ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool_info_));
    ::SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, control->GetToolTipWidth());
  }
  if (!::IsWindowVisible(tooltip_)) {
    ::SendMessageW(tooltip_, TTM_SETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool_info_));
    ::SendMessageW(tooltip_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool_info_));
  }
  return true;
}

bool CPaintManagerUI::PreMessageHandler(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  for (int i = 0; i < pre_message_filters_.GetSize(); ++i) {
    bool handled = false;
    const LRESULT r = static_cast<IMessageFilterUI*>(pre_message_filters_.GetAt(i))
                          ->MessageHandler(message, wparam, lparam, handled);
    if (handled) {
      result = r;
      return true;
    }
  }
  switch (message) {
    case WM_KEYDOWN:
      if (wparam == VK_TAB) {
        if (focus_ != nullptr && focus_->IsVisible() && focus_->IsEnabled() &&
            (wcsstr(focus_->GetClassName(), L"WkeWebkitUI") != nullptr ||
             wcsstr(focus_->GetClassName(), L"RichEditUI") != nullptr)) {
          return false;
        }
        SetNextTabControl(::GetKeyState(VK_SHIFT) >= 0);
      }
      return false;
    case WM_SYSKEYDOWN:
      if (focus_ != nullptr) {
        ControlEventUI event;
        event.Type = UIEVENT_SYSKEY;
        event.pSender = focus_;
        event.chKey = static_cast<wchar_t>(wparam);
        event.ptMouse = last_mouse_;
        event.wKeyState = GetKeyStateBits();
        event.dwTimestamp = ::GetTickCount();
        focus_->DispatchEvent(event);
      }
      return false;
    case WM_SYSCHAR: {
      if (root_ == nullptr) return false;
      ShortcutSearch search{static_cast<wchar_t>(towupper(static_cast<wint_t>(wparam))), false};
      CControlUI* control =
          root_->FindControl(&FindShortcutProc, &search, UIFIND_ENABLED | UIFIND_ME_FIRST | UIFIND_TOP_FIRST);
      if (control == nullptr) return false;
      control->SetFocus();
      control->Activate();
      result = 0;
      return true;
    }
    default:
      return false;
  }
}

bool CPaintManagerUI::TranslateAccelerator(MSG* msg) {
  for (int i = 0; i < translate_accelerators_.GetSize(); ++i) {
    if (static_cast<ITranslateAccelerator*>(translate_accelerators_.GetAt(i))->TranslateAccelerator(msg) == 0) {
      return true;
    }
  }
  return false;
}

bool CPaintManagerUI::TranslateMessage(const MSG* msg) {
  CUiPtrArray& managers = LiveManagers();
  MSG copy = *msg;
  const LONG_PTR style = ::GetWindowLongPtrW(msg->hwnd, GWL_STYLE);
  if ((style & WS_CHILD) != 0) {
    for (int i = 0; i < managers.GetSize(); ++i) {
      auto* m = static_cast<CPaintManagerUI*>(managers.GetAt(i));
      const HWND window = m->GetPaintWindow();
      if (window != msg->hwnd && !::IsChild(window, msg->hwnd)) continue;
      if (m->TranslateAccelerator(&copy)) return true;
      LRESULT result = 0;
      m->PreMessageHandler(msg->message, msg->wParam, msg->lParam, result);
    }
    return false;
  }
  for (int i = 0; i < managers.GetSize(); ++i) {
    auto* m = static_cast<CPaintManagerUI*>(managers.GetAt(i));
    if (m->GetPaintWindow() != msg->hwnd) continue;
    if (m->TranslateAccelerator(&copy)) return true;
    LRESULT result = 0;
    return m->PreMessageHandler(msg->message, msg->wParam, msg->lParam, result);
  }
  return false;
}

// ---- notifications

void CPaintManagerUI::SendNotify(CControlUI* sender, const wchar_t* type, WPARAM wparam, LPARAM lparam,
                                 bool async) {
  NotifyMsgUI msg;
  msg.pSender = sender;
  msg.sType = type;
  msg.wParam = wparam;
  msg.lParam = lparam;
  SendNotifyRecord(msg, async);
}

void CPaintManagerUI::SendNotifyRecord(NotifyMsgUI& msg, bool async) {
  msg.ptMouse = last_mouse_;
  msg.dwTimestamp = ::GetTickCount();
  if (used_virtual_wnd_ && msg.pSender != nullptr) msg.sVirtualWnd = msg.pSender->GetVirtualWnd();
  if (async) {
    async_notify_.Add(new NotifyMsgUI(msg));
    PostAsyncWork();
    return;
  }
  DispatchNotify(msg);
}

void CPaintManagerUI::DispatchNotify(NotifyMsgUI& msg) {
  if (msg.pSender != nullptr && msg.pSender->OnNotify.HasDelegates()) msg.pSender->OnNotify.Invoke(&msg);
  for (int i = 0; i < notifiers_.GetSize(); ++i) static_cast<INotifyUI*>(notifiers_.GetAt(i))->Notify(msg);
}

void CPaintManagerUI::PostAsyncWork() {
  bool expected = false;
  if (async_pending_.compare_exchange_strong(expected, true)) ::PostMessageW(hwnd_, WM_APP + 1, 0, 0);
}

void CPaintManagerUI::DrainAsyncWork() {
  while (!delayed_cleanup_.IsEmpty()) {
    // Taken off the list before deletion: a destructor may queue more.
    auto* control = static_cast<CControlUI*>(delayed_cleanup_.GetAt(0));
    delayed_cleanup_.RemoveAt(0);
    delete control;
  }
  async_pending_.exchange(false);
  while (!async_notify_.IsEmpty()) {
    auto* msg = static_cast<NotifyMsgUI*>(async_notify_.GetAt(0));
    async_notify_.RemoveAt(0);
    DispatchNotify(*msg);
    delete msg;
  }
}

// ---- focus

void CPaintManagerUI::SetFocus(CControlUI* control) {
  if (::GetFocus() != hwnd_ && control != focus_) ::SetFocus(hwnd_);
  if (control == focus_) return;
  if (focus_ != nullptr) {
    ControlEventUI event;
    event.Type = UIEVENT_KILLFOCUS;
    event.pSender = control;
    event.dwTimestamp = ::GetTickCount();
    CControlUI* old = focus_;
    old->DispatchEvent(event);
    SendNotify(old, L"killfocus");
    focus_ = nullptr;
  }
  if (control == nullptr || control->GetManager() != this || !control->IsVisible() || !control->IsEnabled()) {
    return;
  }
  focus_ = control;
  ControlEventUI event;
  event.Type = UIEVENT_SETFOCUS;
  event.pSender = control;
  event.dwTimestamp = ::GetTickCount();
  focus_->DispatchEvent(event);
  SendNotify(focus_, L"setfocus");
}

void CPaintManagerUI::SetFocusNeeded(CControlUI* control) {
  ::SetFocus(hwnd_);
  if (control == nullptr) return;
  if (focus_ != nullptr) {
    ControlEventUI event;
    event.Type = UIEVENT_KILLFOCUS;
    event.pSender = control;
    event.dwTimestamp = ::GetTickCount();
    CControlUI* old = focus_;
    old->DispatchEvent(event);
    SendNotify(old, L"killfocus");
    focus_ = nullptr;
  }
  TabSearch search{control, nullptr, false, false};
  if (root_ != nullptr) {
    focus_ = root_->FindControl(&FindTabProc, &search, UIFIND_VISIBLE | UIFIND_ENABLED | UIFIND_ME_FIRST);
  }
  focus_needed_ = true;
  if (root_ != nullptr) root_->MarkNeedsLayout();
}

bool CPaintManagerUI::SetNextTabControl(bool forward) {
  if (update_needed_ && forward) {
    focus_needed_ = true;
    ::InvalidateRect(hwnd_, nullptr, FALSE);
    return true;
  }
  if (root_ == nullptr) return true;
  TabSearch search{focus_, nullptr, forward, false};
  constexpr UINT kFlags = UIFIND_VISIBLE | UIFIND_ENABLED | UIFIND_ME_FIRST;
  CControlUI* result = root_->FindControl(&FindTabProc, &search, kFlags);
  if (result == nullptr) {
    if (forward) {
      TabSearch wrap{nullptr, nullptr, true, false};
      result = root_->FindControl(&FindTabProc, &wrap, kFlags);
    } else {
      TabSearch wrap{nullptr, nullptr, false, false};
      // Walk the whole tree (no current focus never matches) to find its last tab stop.
      wrap.focus = reinterpret_cast<CControlUI*>(1);
      root_->FindControl(&FindTabProc, &wrap, kFlags);
      result = wrap.last;
    }
  }
  if (result != nullptr) SetFocus(result);
  focus_needed_ = false;
  return true;
}

// ---- timers

bool CPaintManagerUI::SetTimer(CControlUI* control, UINT timer_id, UINT elapse) {
  for (int i = 0; i < timers_.GetSize(); ++i) {
    auto* t = static_cast<TimerRecordUI*>(timers_.GetAt(i));
    if (t->pSender == control && t->hWnd == hwnd_ && t->nLocalID == timer_id) {
      if (!t->bKilled) return false;
      if (::SetTimer(hwnd_, t->uWinTimer, elapse, nullptr) == 0) return false;
      t->bKilled = false;
      return true;
    }
  }
  timer_counter_ = (timer_counter_ + 1) % 240;
  if (::SetTimer(hwnd_, timer_counter_, elapse, nullptr) == 0) return false;
  auto* record = new TimerRecordUI{control, timer_id, hwnd_, timer_counter_, false};
  if (!timers_.Add(record)) {
    ::KillTimer(hwnd_, record->uWinTimer);
    delete record;
    return false;
  }
  return true;
}

bool CPaintManagerUI::KillTimer(CControlUI* control, UINT timer_id) {
  for (int i = 0; i < timers_.GetSize(); ++i) {
    auto* t = static_cast<TimerRecordUI*>(timers_.GetAt(i));
    if (t->pSender == control && t->hWnd == hwnd_ && t->nLocalID == timer_id && !t->bKilled) {
      if (::IsWindow(hwnd_)) ::KillTimer(t->hWnd, t->uWinTimer);
      t->bKilled = true;
      return true;
    }
  }
  return false;
}

void CPaintManagerUI::KillTimersOfControl(CControlUI* control) {
  for (int i = timers_.GetSize() - 1; i >= 0; --i) {
    auto* t = static_cast<TimerRecordUI*>(timers_.GetAt(i));
    if (t->pSender != control || t->hWnd != hwnd_) continue;
    if (!t->bKilled && ::IsWindow(t->hWnd)) ::KillTimer(t->hWnd, t->uWinTimer);
    delete t;
    timers_.RemoveAt(i);
  }
}

void CPaintManagerUI::RemoveAllTimers() {
  for (int i = 0; i < timers_.GetSize(); ++i) {
    auto* t = static_cast<TimerRecordUI*>(timers_.GetAt(i));
    if (!t->bKilled && ::IsWindow(t->hWnd)) ::KillTimer(t->hWnd, t->uWinTimer);
    delete t;
  }
  timers_.Empty();
}

void CPaintManagerUI::SetMouseCapture() {
  ::SetCapture(hwnd_);
  mouse_capture_ = true;
}

void CPaintManagerUI::ReleaseMouseCapture() {
  ::ReleaseCapture();
  mouse_capture_ = false;
  drag_armed_ = false;
}

}  // namespace SkinUI
