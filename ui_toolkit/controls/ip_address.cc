#include "ui_toolkit/controls/ip_address.h"

#include <winsock2.h>
#include <commctrl.h>

#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {
constexpr UINT kOcmCommand = WM_COMMAND + 0x2000;
constexpr UINT_PTR kFieldHookId = 0x1B;
}  // namespace

std::uint32_t GetLocalIpAddress() {
  WSADATA data{};
  if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return 0;
  std::uint32_t address = 0;
  char name[255] = {};
  if (::gethostname(name, sizeof(name) - 1) == 0) {
    const hostent* host = ::gethostbyname(name);
    if (host != nullptr && host->h_addrtype == AF_INET && host->h_length == 4 && host->h_addr_list != nullptr &&
        host->h_addr_list[0] != nullptr) {
      const auto* b = reinterpret_cast<const unsigned char*>(host->h_addr_list[0]);
      address = (static_cast<std::uint32_t>(b[0]) << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
    }
  }
  ::WSACleanup();
  return address;
}

// ---- CIPAddressWnd

CIPAddressWnd::~CIPAddressWnd() {
  if (brush_ != nullptr) ::DeleteObject(brush_);
}

const wchar_t* CIPAddressWnd::GetSuperClassName() const { return WC_IPADDRESSW; }

void CIPAddressWnd::Init(CIPAddressUI* owner) {
  owner_ = owner;
  owner->update_mode_ = CIPAddressUI::kKeep;
  CPaintManagerUI* manager = owner->GetManager();
  if (hwnd_ == nullptr) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_INTERNET_CLASSES};
    if (::InitCommonControlsEx(&icc)) {
      CreateInRect(manager->GetPaintWindow(), nullptr, WS_CHILD | WS_GROUP | WS_TABSTOP, 0, owner->GetPos());
    }
    if (hwnd_ == nullptr) return;
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(manager->GetFontById(owner->GetFont())), TRUE);
    HookFields();
  }
  if (owner->GetText().IsEmpty()) owner->address_ = GetLocalIpAddress();
  SendMessage(IPM_SETADDRESS, 0, static_cast<LPARAM>(owner->address_));
  ::ShowWindow(hwnd_, SW_SHOW);
  ::SetFocus(hwnd_);
  initialised_ = true;
}

// The keys are typed into the field's own edit boxes, not into the field:
// their key-ups are handed to the field so Backspace, Delete and Escape act
// however the user reaches them.
void CIPAddressWnd::HookFields() {
  for (HWND child = ::GetWindow(hwnd_, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    ::SetWindowSubclass(child, &CIPAddressWnd::FieldProc, kFieldHookId, reinterpret_cast<DWORD_PTR>(this));
  }
}

LRESULT CALLBACK CIPAddressWnd::FieldProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                          DWORD_PTR data) {
  if (message == WM_KEYUP && (wparam == VK_BACK || wparam == VK_DELETE || wparam == VK_ESCAPE)) {
    auto* self = reinterpret_cast<CIPAddressWnd*>(data);
    const LRESULT r = ::DefSubclassProc(hwnd, message, wparam, lparam);
    self->SendMessage(message, wparam, lparam);
    return r;
  }
  if (message == WM_NCDESTROY) ::RemoveWindowSubclass(hwnd, &CIPAddressWnd::FieldProc, kFieldHookId);
  return ::DefSubclassProc(hwnd, message, wparam, lparam);
}

LRESULT CIPAddressWnd::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_KILLFOCUS:
      return 0;
    case WM_KEYUP:
      if (wparam == VK_BACK || wparam == VK_DELETE || wparam == VK_ESCAPE) {
        const LRESULT r = CWindowWnd::HandleMessage(message, wparam, lparam);
        if (owner_ != nullptr) {
          owner_->update_mode_ = wparam == VK_ESCAPE ? CIPAddressUI::kCancelled : CIPAddressUI::kEmpty;
          owner_->UpdateText();
        }
        PostMessage(WM_CLOSE);
        return r;
      }
      break;
    case kOcmCommand:
      if (HIWORD(wparam) == EN_KILLFOCUS) OnKillFocus();
      return 0;
    default:
      break;
  }
  return CWindowWnd::HandleMessage(message, wparam, lparam);
}

void CIPAddressWnd::OnKillFocus() {
  const HWND focus = ::GetFocus();
  if (focus == hwnd_ || (focus != nullptr && ::IsChild(hwnd_, focus))) return;
  if (owner_ != nullptr && owner_->update_mode_ == CIPAddressUI::kKeep) {
    DWORD address = 0;
    SendMessage(IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
    owner_->address_ = address;
    owner_->update_mode_ = CIPAddressUI::kRebuild;
    owner_->UpdateText();
  }
  ::ShowWindow(hwnd_, SW_HIDE);
}

void CIPAddressWnd::OnFinalMessage(HWND) {
  if (brush_ != nullptr) ::DeleteObject(brush_);
  brush_ = nullptr;
  if (owner_ != nullptr) {
    owner_->window_ = nullptr;
    owner_->Invalidate();
  }
  delete this;
}

// ---- CIPAddressUI

CIPAddressUI::CIPAddressUI() {
  address_ = GetLocalIpAddress();
  update_mode_ = kRebuild;
  UpdateText();
}

CIPAddressUI::~CIPAddressUI() {
  if (window_ != nullptr) {
    window_->owner_ = nullptr;
    ::DestroyWindow(window_->GetWindowHandle());
  }
}

// The same class name as the date-time control's, as skins expect.
const wchar_t* CIPAddressUI::GetClassName() const { return L"DateTimeUI"; }

void* CIPAddressUI::QueryInterfaceByName(const wchar_t* name) {
  if (name != nullptr && ::lstrcmpW(name, L"IPAddress") == 0) return static_cast<CIPAddressUI*>(this);
  return CLabelUI::QueryInterfaceByName(name);
}

UINT CIPAddressUI::GetControlFlags() const { return IsEnabled() ? (UIFLAG_TABSTOP | UIFLAG_SETCURSOR) : 0; }

void CIPAddressUI::SetIP(std::uint32_t address) {
  address_ = address;
  update_mode_ = kRebuild;
  UpdateText();
}

void CIPAddressUI::UpdateText() {
  if (update_mode_ == kEmpty) {
    SetText(L"");
  } else if (update_mode_ == kRebuild) {
    CUiString text;
    text.Format(L"%d.%d.%d.%d", static_cast<int>((address_ >> 24) & 0xFF), static_cast<int>((address_ >> 16) & 0xFF),
                static_cast<int>((address_ >> 8) & 0xFF), static_cast<int>(address_ & 0xFF));
    SetText(text.GetData());
  }
}

void CIPAddressUI::OpenWindow() {
  window_ = new CIPAddressWnd();
  window_->Init(this);
  if (window_->GetWindowHandle() == nullptr) {
    delete window_;
    window_ = nullptr;
  }
}

void CIPAddressUI::HandleEvent(ControlEventUI& event) {
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
        if (window_ == nullptr) {
          OpenWindow();
        } else {
          window_->Init(this);  // hidden when the focus last left it
        }
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
