#include "ui_toolkit/controls/date_time.h"

#include <commctrl.h>

#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {
constexpr UINT kOcmNotify = WM_NOTIFY + 0x2000;
}  // namespace

// ---- CDateTimeWnd

CDateTimeWnd::~CDateTimeWnd() {
  if (brush_ != nullptr) ::DeleteObject(brush_);
}

const wchar_t* CDateTimeWnd::GetSuperClassName() const { return DATETIMEPICK_CLASSW; }

RECT CDateTimeWnd::CalcPos() const {
  RECT rc = owner_->GetPos();
  for (CControlUI* p = owner_->GetParent(); p != nullptr; p = p->GetParent()) {
    if (!p->IsVisible()) return RECT{};
    const RECT client = p->GetClientPos();
    if (!::IntersectRect(&rc, &rc, &client)) return RECT{};
  }
  return rc;
}

void CDateTimeWnd::Init(CDateTimeUI* owner) {
  owner_ = owner;
  CPaintManagerUI* manager = owner->GetManager();
  if (hwnd_ == nullptr) {
    CreateInRect(manager->GetPaintWindow(), nullptr, WS_CHILD, 0, CalcPos());
    if (hwnd_ == nullptr) return;
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(manager->GetFontById(owner->GetFont())), TRUE);
  }
  if (owner->GetText().IsEmpty()) ::GetLocalTime(&owner->time_);
  SendMessage(DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(owner->format_.GetData()));
  saved_ = owner->time_;
  SendMessage(DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&owner->time_));
  ::ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
  ::SetFocus(hwnd_);
  initialised_ = true;
}

void CDateTimeWnd::ReadTime() {
  if (owner_ == nullptr) return;
  SYSTEMTIME time{};
  if (SendMessage(DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time)) == GDT_VALID) owner_->time_ = time;
  owner_->UpdateText();
}

LRESULT CDateTimeWnd::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_KEYDOWN:
      if (wparam == VK_ESCAPE) {
        if (owner_ != nullptr) {
          owner_->time_ = saved_;
          owner_->UpdateText();
        }
        PostMessage(WM_CLOSE);
        return 0;
      }
      break;
    case kOcmNotify: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header != nullptr && header->hwndFrom == hwnd_) {
        if (header->code == DTN_DATETIMECHANGE) {
          ReadTime();
        } else if (header->code == DTN_DROPDOWN) {
          dropped_down_ = true;
        } else if (header->code == DTN_CLOSEUP) {
          ReadTime();
          PostMessage(WM_CLOSE);
          dropped_down_ = false;
        }
      }
      break;
    }
    case WM_KILLFOCUS:
      if (!dropped_down_) PostMessage(WM_CLOSE);
      break;
    default:
      break;
  }
  return CWindowWnd::HandleMessage(message, wparam, lparam);
}

void CDateTimeWnd::OnFinalMessage(HWND) {
  if (brush_ != nullptr) ::DeleteObject(brush_);
  brush_ = nullptr;
  if (owner_ != nullptr) {
    owner_->window_ = nullptr;
    owner_->Invalidate();
  }
  delete this;
}

// ---- CDateTimeUI

CDateTimeUI::CDateTimeUI() {
  ::GetLocalTime(&time_);
  UpdateText();
}

CDateTimeUI::~CDateTimeUI() {
  // The picker may outlive the control only until its final message; it
  // must not write into a destroyed control.
  if (window_ != nullptr) {
    window_->owner_ = nullptr;
    ::DestroyWindow(window_->GetWindowHandle());
  }
}

const wchar_t* CDateTimeUI::GetClassName() const { return L"DateTimeUI"; }

void* CDateTimeUI::QueryInterfaceByName(const wchar_t* name) {
  if (name != nullptr && ::lstrcmpW(name, L"DateTime") == 0) return static_cast<CDateTimeUI*>(this);
  return CLabelUI::QueryInterfaceByName(name);
}

UINT CDateTimeUI::GetControlFlags() const { return IsEnabled() ? (UIFLAG_TABSTOP | UIFLAG_SETCURSOR) : 0; }

void CDateTimeUI::SetTime(const SYSTEMTIME& time) {
  time_ = time;
  UpdateText();
}

void CDateTimeUI::SetTimeFormat(const wchar_t* format) {
  format_ = format != nullptr ? format : L"";
  Invalidate();
  UpdateText();
}

void CDateTimeUI::SetReadOnly(bool on) {
  read_only_ = on;
  Invalidate();
}

void CDateTimeUI::UpdateText() {
  CUiString text;
  if (::lstrcmpiW(format_.GetData(), L"yyyy-MM-dd") == 0) {
    text.Format(L"%4d-%02d-%02d", time_.wYear, time_.wMonth, time_.wDay);
  } else if (::lstrcmpiW(format_.GetData(), L"HH:mm:ss") == 0) {
    text.Format(L"%02d:%02d:%02d", time_.wHour, time_.wMinute, time_.wSecond);
  } else {
    text.Format(L"%4d-%02d-%02d %02d:%02d:%02d", time_.wYear, time_.wMonth, time_.wDay, time_.wHour,
                time_.wMinute, time_.wSecond);
  }
  SetText(text.GetData());
}

void CDateTimeUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (::lstrcmpiW(name, L"timeformat") == 0) {
    SetTimeFormat(value);
  } else if (::lstrcmpiW(name, L"readonly") == 0) {
    SetReadOnly(attr::IsTrue(value));
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}

void CDateTimeUI::SetPos(RECT rc, bool invalidate) {
  CLabelUI::SetPos(rc, invalidate);
  if (window_ == nullptr) return;
  const RECT r = window_->CalcPos();
  ::SetWindowPos(window_->GetWindowHandle(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDateTimeUI::OpenWindow() {
  window_ = new CDateTimeWnd();
  window_->Init(this);
  if (window_ != nullptr && window_->GetWindowHandle() == nullptr) {
    delete window_;
    window_ = nullptr;
  }
}

void CDateTimeUI::HandleEvent(ControlEventUI& event) {
  if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
    if (parent_ != nullptr) {
      parent_->HandleEvent(event);
    } else {
      CLabelUI::HandleEvent(event);
    }
    return;
  }
  switch (event.Type) {
    case UIEVENT_WINDOWSIZE:
      if (window_ != nullptr && manager_ != nullptr) manager_->SetFocusNeeded(this);
      break;
    case UIEVENT_SCROLLWHEEL:
      if (window_ != nullptr) return;
      break;
    case UIEVENT_SETFOCUS:
      if (IsEnabled()) {
        if (window_ != nullptr) return;
        OpenWindow();
        if (window_ != nullptr) window_->Show(true, true);
        return;
      }
      break;
    case UIEVENT_KILLFOCUS:
      if (IsEnabled()) {
        Invalidate();
        return;
      }
      break;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_RBUTTONDOWN:
    case UIEVENT_DBLCLICK:
      if (!IsEnabled()) return;
      if (manager_ != nullptr) manager_->ReleaseMouseCapture();
      if (IsFocused() && window_ == nullptr) {
        OpenWindow();
      } else if (window_ != nullptr) {
        window_->Init(this);
      }
      if (window_ != nullptr) window_->Show(true, true);
      return;
    case UIEVENT_MOUSEMOVE:
    case UIEVENT_MOUSELEAVE:
    case UIEVENT_MOUSEENTER:
    case UIEVENT_BUTTONUP:
    case UIEVENT_CONTEXTMENU:
      return;
    default:
      break;
  }
  CLabelUI::HandleEvent(event);
}

}  // namespace SkinUI
