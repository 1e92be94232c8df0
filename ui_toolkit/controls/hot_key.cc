#include "ui_toolkit/controls/hot_key.h"

#include <windows.h>
#include <commctrl.h>

#include <cwchar>

#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

constexpr UINT kOcmCommand = WM_COMMAND + 0x2000;
constexpr wchar_t kNoHotKey[] = L"\u65E0";  // "无": no shortcut set

COLORREF ToColorRef(DWORD argb) { return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF); }

CUiString VirtualKeyName(UINT key) {
  UINT scan = ::MapVirtualKeyExW(key, MAPVK_VK_TO_VSC, ::GetKeyboardLayout(0));
  // The navigation block shares scan codes with the number pad; the extended
  // bit asks for the navigation names ("Home", not "Num 7").
  if ((key >= VK_PRIOR && key <= VK_DOWN) || key == VK_INSERT || key == VK_DELETE) scan |= 0x100;
  wchar_t name[260] = {};
  ::GetKeyNameTextW(static_cast<LONG>(scan << 16), name, 260);
  return CUiString(name);
}

DWORD ParseArgb(const wchar_t* value) {
  if (*value == L'#') ++value;
  return static_cast<DWORD>(std::wcstoul(value, nullptr, 16));
}

}  // namespace

// ---------------------------------------------------------------- CHotKeyWnd

CHotKeyWnd::~CHotKeyWnd() {
  if (brush_ != nullptr) ::DeleteObject(brush_);
}

RECT CHotKeyWnd::CalcPos() {
  RECT rc = owner_->GetPos();
  const RECT pad = owner_->GetTextPadding();
  rc.left += pad.left;
  rc.top += pad.top;
  rc.right -= pad.right;
  rc.bottom -= pad.bottom;
  const LONG font_height = owner_->GetManager()->GetFontRecordById(owner_->GetFont())->tm.tmHeight;
  if (font_height < rc.bottom - rc.top) {
    rc.top += (rc.bottom - rc.top - font_height) / 2;
    rc.bottom = rc.top + font_height;
  }
  return rc;
}

void CHotKeyWnd::Init(CHotKeyUI* owner) {
  if (owner == nullptr || owner->GetManager() == nullptr) return;
  owner_ = owner;
  CPaintManagerUI* manager = owner->GetManager();
  const RECT rc = CalcPos();
  if (CreateInRect(manager->GetPaintWindow(), nullptr, WS_CHILD | ES_AUTOHSCROLL, 0, rc) == nullptr) return;
  SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(manager->GetFontById(owner->GetFont())), TRUE);
  SetHotKey(owner->key_, owner->modifiers_);
  owner->text_ = GetHotKeyName(owner->key_, owner->modifiers_);
  ::EnableWindow(hwnd_, owner->IsEnabled());
  ::ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
  ::SetFocus(hwnd_);
  initialised_ = true;
}

void CHotKeyWnd::SetHotKey(WORD key, WORD modifiers) {
  SendMessage(HKM_SETHOTKEY, MAKEWORD(key, modifiers), 0);
}

void CHotKeyWnd::GetHotKey(WORD& key, WORD& modifiers) const {
  const auto value = static_cast<WORD>(::SendMessageW(hwnd_, HKM_GETHOTKEY, 0, 0));
  key = LOBYTE(value);
  modifiers = HIBYTE(value);
}

CUiString CHotKeyWnd::GetHotKeyName(WORD key, WORD modifiers) {
  CUiString name;
  if (key == 0 && modifiers == 0) return name;
  if (modifiers & HOTKEYF_CONTROL) name += VirtualKeyName(VK_CONTROL) + L" + ";
  if (modifiers & HOTKEYF_SHIFT) name += VirtualKeyName(VK_SHIFT) + L" + ";
  if (modifiers & HOTKEYF_ALT) name += VirtualKeyName(VK_MENU) + L" + ";
  name += VirtualKeyName(key);
  return name;
}

void CHotKeyWnd::PaintField() {
  PAINTSTRUCT ps{};
  HDC dc = ::BeginPaint(hwnd_, &ps);
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  if (owner_ != nullptr) {
    HBRUSH brush = ::CreateSolidBrush(ToColorRef(owner_->GetNativeBkColor()));
    ::FillRect(dc, &client, brush);
    ::DeleteObject(brush);
    WORD key = 0;
    WORD modifiers = 0;
    GetHotKey(key, modifiers);
    const CUiString text = GetHotKeyName(key, modifiers);
    HGDIOBJ old_font = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(hwnd_, WM_GETFONT, 0, 0)));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ToColorRef(owner_->GetTextColor()));
    ::DrawTextW(dc, text.GetData(), -1, &client, DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, text.GetData(), text.GetLength(), &extent);
    ::SelectObject(dc, old_font);
    ::SetCaretPos(extent.cx, 0);
  }
  ::EndPaint(hwnd_, &ps);
}

LRESULT CHotKeyWnd::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_KILLFOCUS: {
      const LRESULT r = CWindowWnd::HandleMessage(message, wparam, lparam);
      // Closed once the focus change is over: closing from inside it would
      // delete this window object while its own handler still runs.
      PostMessage(WM_CLOSE);
      return r;
    }
    case WM_PAINT:
      PaintField();
      return 0;
    case WM_KEYDOWN:
      if (wparam == VK_RETURN && owner_ != nullptr && owner_->GetManager() != nullptr) {
        owner_->GetManager()->SendNotify(owner_, L"return");
        return 0;
      }
      break;
    case kOcmCommand:
      if (HIWORD(wparam) == EN_CHANGE) {
        OnHotKeyChanged();
      } else if (HIWORD(wparam) == EN_UPDATE) {
        ::InvalidateRect(hwnd_, nullptr, FALSE);
      }
      return 0;
    case WM_NCCALCSIZE:
    case WM_NCACTIVATE:
      return 0;
    default:
      break;
  }
  return CWindowWnd::HandleMessage(message, wparam, lparam);
}

void CHotKeyWnd::OnHotKeyChanged() {
  if (!initialised_ || owner_ == nullptr) return;
  WORD key = 0;
  WORD modifiers = 0;
  GetHotKey(key, modifiers);
  owner_->key_ = key;
  if (key != 0) {
    owner_->modifiers_ = modifiers;
    owner_->text_ = GetHotKeyName(key, modifiers);
  } else {
    owner_->modifiers_ = 0;
    owner_->text_ = kNoHotKey;
  }
  owner_->Invalidate();
  if (owner_->GetManager() != nullptr) owner_->GetManager()->SendNotify(owner_, L"textchanged");
}

void CHotKeyWnd::OnFinalMessage(HWND hwnd) {
  if (owner_ != nullptr) {
    owner_->Invalidate();
    if (owner_->GetManager() != nullptr && owner_->GetManager()->IsLayered()) {
      owner_->GetManager()->RemoveNativeWindow(hwnd);
    }
    owner_->window_ = nullptr;
  }
  delete this;
}

// ----------------------------------------------------------------- CHotKeyUI

CHotKeyUI::CHotKeyUI() {
  SetTextPadding(RECT{4, 3, 4, 3});
  SetBackgroundColor(0xFFFFFFFF);
}

CHotKeyUI::~CHotKeyUI() {
  // A native window still open must not call back into a deleted control.
  if (window_ != nullptr) {
    window_->owner_ = nullptr;
    const HWND hwnd = window_->GetWindowHandle();
    window_ = nullptr;
    if (::IsWindow(hwnd)) ::DestroyWindow(hwnd);
  }
}

const wchar_t* CHotKeyUI::GetClassName() const { return L"HotKeyUI"; }

void* CHotKeyUI::QueryInterfaceByName(const wchar_t* name) {
  if (name != nullptr && std::wcscmp(name, L"HotKey") == 0) return static_cast<CHotKeyUI*>(this);
  return CLabelUI::QueryInterfaceByName(name);
}

UINT CHotKeyUI::GetControlFlags() const { return IsEnabled() ? (UIFLAG_TABSTOP | UIFLAG_SETCURSOR) : 0; }

void CHotKeyUI::SetText(const wchar_t* text) {
  text_ = text;
  if (window_ != nullptr) ::SetWindowTextW(window_->GetWindowHandle(), text_.GetData());
  Invalidate();
}

void CHotKeyUI::SetVisible(bool visible) {
  CControlUI::SetVisible(visible);
  if (!IsVisible() && window_ != nullptr && manager_ != nullptr) manager_->SetFocus(nullptr);
}

void CHotKeyUI::SetVisibleByParent(bool visible) {
  CControlUI::SetVisibleByParent(visible);
  if (!IsVisible() && window_ != nullptr && manager_ != nullptr) manager_->SetFocus(nullptr);
}

void CHotKeyUI::SetEnabled(bool enabled) {
  CControlUI::SetEnabled(enabled);
  if (!IsEnabled()) state_ = 0;
}

void CHotKeyUI::SetHotKey(WORD key, WORD modifiers) {
  key_ = key;
  modifiers_ = modifiers;
  text_ = CHotKeyWnd::GetHotKeyName(key, modifiers);
  if (window_ != nullptr) window_->SetHotKey(key, modifiers);
  Invalidate();
}

void CHotKeyUI::OpenWindow() {
  INITCOMMONCONTROLSEX init{sizeof(init), ICC_HOTKEY_CLASS};
  ::InitCommonControlsEx(&init);
  window_ = new CHotKeyWnd;
  window_->Init(this);
  if (window_->GetWindowHandle() == nullptr) {
    delete window_;
    window_ = nullptr;
  }
}

void CHotKeyUI::HandleEvent(ControlEventUI& event) {
  if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
    if (parent_ != nullptr) {
      parent_->HandleEvent(event);
    } else {
      CLabelUI::HandleEvent(event);
    }
    return;
  }
  switch (event.Type) {
    case UIEVENT_SETCURSOR:
      if (IsEnabled()) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_IBEAM));
        return;
      }
      break;
    case UIEVENT_WINDOWSIZE:
      if (window_ != nullptr && manager_ != nullptr) manager_->SetFocusNeeded(this);
      break;
    case UIEVENT_SCROLLWHEEL:
      if (window_ != nullptr) return;
      break;
    case UIEVENT_SETFOCUS:
      if (IsEnabled()) {
        if (window_ == nullptr) OpenWindow();
        Invalidate();
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
      if (IsFocused() && window_ == nullptr) OpenWindow();
      return;
    case UIEVENT_MOUSEMOVE:
    case UIEVENT_BUTTONUP:
    case UIEVENT_CONTEXTMENU:
      return;
    case UIEVENT_MOUSEENTER:
      if (IsEnabled()) {
        state_ |= UISTATE_HOT;
        Invalidate();
      }
      return;
    case UIEVENT_MOUSELEAVE:
      if (IsEnabled()) {
        state_ &= ~UISTATE_HOT;
        Invalidate();
      }
      return;
    default:
      break;
  }
  CLabelUI::HandleEvent(event);
}

void CHotKeyUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (std::wcscmp(name, L"normalimage") == 0) {
    normal_image_ = value;
    Invalidate();
  } else if (std::wcscmp(name, L"hotimage") == 0) {
    hot_image_ = value;
    Invalidate();
  } else if (std::wcscmp(name, L"focusedimage") == 0) {
    focused_image_ = value;
    Invalidate();
  } else if (std::wcscmp(name, L"disabledimage") == 0) {
    disabled_image_ = value;
    Invalidate();
  } else if (std::wcscmp(name, L"nativebkcolor") == 0) {
    native_bk_color_ = ParseArgb(value);
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}

SIZE CHotKeyUI::MeasureSize(SIZE available) {
  if (fixed_size_.cy != 0 || manager_ == nullptr) return CControlUI::MeasureSize(available);
  return SIZE{GetFixedWidth(), manager_->GetFontRecordById(font_)->tm.tmHeight + 6};
}

void CHotKeyUI::PaintStateImage(HDC dc) {
  if (IsFocused()) {
    state_ |= UISTATE_FOCUSED;
  } else {
    state_ &= ~UISTATE_FOCUSED;
  }
  if (IsEnabled()) {
    state_ &= ~UISTATE_DISABLED;
  } else {
    state_ |= UISTATE_DISABLED;
  }
  const CUiString* image = nullptr;
  if (state_ & UISTATE_DISABLED) {
    image = &disabled_image_;
  } else if (state_ & UISTATE_FOCUSED) {
    image = &focused_image_;
  } else if (state_ & UISTATE_HOT) {
    image = &hot_image_;
  }
  if (image != nullptr && !image->IsEmpty() && DrawImage(dc, image->GetData())) return;
  if (!normal_image_.IsEmpty()) DrawImage(dc, normal_image_.GetData());
}

void CHotKeyUI::PaintText(HDC dc) {
  if (text_.IsEmpty()) return;
  ResolveDefaultColors();
  const DWORD color = IsEnabled() ? text_color_ : disabled_text_color_;
  RECT rc = pos_;
  const RECT pad = GetTextPadding();
  rc.left += pad.left;
  rc.top += pad.top;
  rc.right -= pad.right;
  rc.bottom -= pad.bottom;
  CUiDrawEngine::DrawText(dc, manager_, rc, text_.GetData(), color, font_, text_style_ | DT_SINGLELINE);
}

}  // namespace SkinUI
