#include "ui_toolkit/controls/edit.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/text_resource_manager.h"

namespace SkinUI {
namespace {
constexpr UINT kOcmCommand = WM_COMMAND + 0x2000;
constexpr UINT kOcmCtlColorEdit = WM_CTLCOLOREDIT + 0x2000;
constexpr UINT kOcmCtlColorStatic = WM_CTLCOLORSTATIC + 0x2000;

COLORREF ToColorRef(DWORD argb) { return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF); }
}  // namespace

// ---- CEditWnd

CEditWnd::~CEditWnd() {
  if (brush_ != nullptr) ::DeleteObject(brush_);
}

RECT CEditWnd::CalcPos() {
  RECT rc = owner_->GetPos();
  const RECT pad = owner_->GetTextPadding();
  rc.left += pad.left;
  rc.top += pad.top;
  rc.right -= pad.right;
  rc.bottom -= pad.bottom;
  CPaintManagerUI* manager = owner_->GetManager();
  const LONG font_height = manager->GetFontRecordById(owner_->GetFont())->tm.tmHeight;
  if (font_height < rc.bottom - rc.top) {
    rc.top += (rc.bottom - rc.top - font_height) / 2;
    rc.bottom = rc.top + font_height;
  }
  for (CControlUI* p = owner_->GetParent(); p != nullptr; p = p->GetParent()) {
    if (!p->IsVisible()) return RECT{};
    const RECT client = p->GetClientPos();
    if (!::IntersectRect(&rc, &rc, &client)) return RECT{};
  }
  return rc;
}

void CEditWnd::Init(CEditUI* owner) {
  owner_ = owner;
  CPaintManagerUI* manager = owner->GetManager();
  RECT rc = CalcPos();
  UINT style = WS_CHILD | ES_AUTOHSCROLL;
  if (manager->IsLayered()) {
    style = WS_POPUP | WS_VISIBLE | ES_AUTOHSCROLL;
    RECT window{};
    ::GetWindowRect(manager->GetPaintWindow(), &window);
    ::OffsetRect(&rc, window.left, window.top - 1);
  }
  const UINT text_style = owner->GetTextStyle();
  if (text_style & DT_CENTER) {
    style |= ES_CENTER;
  } else if (text_style & DT_RIGHT) {
    style |= ES_RIGHT;
  }
  if (owner->IsPasswordMode()) style |= ES_PASSWORD;
  CreateInRect(manager->GetPaintWindow(), nullptr, style, 0, rc);
  SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(manager->GetFontById(owner->GetFont())), TRUE);
  SendMessage(EM_LIMITTEXT, owner->GetMaxChar());
  if (owner->IsPasswordMode()) SendMessage(EM_SETPASSWORDCHAR, owner->GetPasswordChar());
  ::SetWindowTextW(hwnd_, owner->text_.GetData());
  SendMessage(EM_SETMODIFY, FALSE);
  SendMessage(EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
  ::EnableWindow(hwnd_, owner->IsEnabled());
  SendMessage(EM_SETREADONLY, owner->IsReadOnly());
  const LONG_PTR current = ::GetWindowLongPtrW(hwnd_, GWL_STYLE);
  ::SetWindowLongPtrW(hwnd_, GWL_STYLE, current | owner->GetWindowStyles());
  ::ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
  ::SetFocus(hwnd_);
  const int length = ::GetWindowTextLengthW(hwnd_);
  if (owner->IsAutoSelAll()) {
    SendMessage(EM_SETSEL, 0, std::max(length, 1));
  } else {
    SendMessage(EM_SETSEL, length, length);
  }
  initialised_ = true;
}

LRESULT CEditWnd::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_KILLFOCUS: {
      const LRESULT r = CWindowWnd::HandleMessage(message, wparam, lparam);
      PostMessage(WM_CLOSE);
      return r;
    }
    case kOcmCommand:
      if (HIWORD(wparam) == EN_CHANGE) {
        OnEditChanged();
      } else if (HIWORD(wparam) == EN_UPDATE) {
        ::InvalidateRect(hwnd_, nullptr, FALSE);
      }
      return 0;
    case WM_KEYDOWN:
      if (wparam == VK_RETURN && owner_ != nullptr && owner_->GetManager() != nullptr) {
        owner_->GetManager()->SendNotify(owner_, L"return");
        return 0;
      }
      if (wparam == VK_TAB) {
        if (owner_ != nullptr && owner_->GetManager() != nullptr && owner_->GetManager()->IsLayered()) {
          owner_->GetManager()->SetNextTabControl(true);
        }
        return 0;
      }
      break;
    case kOcmCtlColorEdit:
    case kOcmCtlColorStatic:
      return OnCtlColor(reinterpret_cast<HDC>(wparam));
    default:
      break;
  }
  return CWindowWnd::HandleMessage(message, wparam, lparam);
}

LRESULT CEditWnd::OnCtlColor(HDC dc) {
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ToColorRef(owner_->GetTextColor()));
  const DWORD color = owner_->GetNativeBkColor();
  if (color < 0xFF000000) {
    if (brush_ != nullptr) ::DeleteObject(brush_);
    brush_ = nullptr;
    RECT rc{};
    ::GetWindowRect(hwnd_, &rc);
    ::MapWindowPoints(nullptr, owner_->GetManager()->GetPaintWindow(), reinterpret_cast<POINT*>(&rc), 2);
    HBITMAP bitmap = CUiDrawEngine::GenerateWindowBitmap(owner_->GetManager(), rc, owner_, color);
    if (bitmap != nullptr) {
      brush_ = ::CreatePatternBrush(bitmap);
      ::DeleteObject(bitmap);
    }
    return reinterpret_cast<LRESULT>(brush_);
  }
  if (brush_ == nullptr) brush_ = ::CreateSolidBrush(ToColorRef(color));
  return reinterpret_cast<LRESULT>(brush_);
}

void CEditWnd::OnEditChanged() {
  if (!initialised_ || owner_ == nullptr) return;
  const int length = ::GetWindowTextLengthW(hwnd_);
  std::vector<wchar_t> text(static_cast<size_t>(length) + 1, L'\0');
  ::GetWindowTextW(hwnd_, text.data(), length + 1);
  owner_->text_ = text.data();
  if (owner_->GetManager() != nullptr) {
    owner_->GetManager()->SendNotify(owner_, L"textchanged");
    if (owner_->GetManager()->IsLayered()) owner_->Invalidate();
  }
}

void CEditWnd::OnFinalMessage(HWND hwnd) {
  if (owner_ != nullptr) {
    owner_->Invalidate();
    if (owner_->GetManager() != nullptr && owner_->GetManager()->IsLayered()) {
      owner_->GetManager()->RemoveNativeWindow(hwnd);
    }
    owner_->window_ = nullptr;
  }
  delete this;
}

// ---- CEditUI

CEditUI::CEditUI() {
  text_padding_ = RECT{4, 3, 4, 3};
  bk_color_ = 0xFFFFFFFF;
}

CEditUI::~CEditUI() {
  // The native window may outlive the control only until its final message;
  // it must not write into a destroyed control.
  if (window_ != nullptr) {
    window_->owner_ = nullptr;
    ::DestroyWindow(window_->GetWindowHandle());
  }
}

const wchar_t* CEditUI::GetClassName() const { return L"EditUI"; }

void* CEditUI::QueryInterfaceByName(const wchar_t* name) {
  if (attr::Equals(name, L"Edit")) return static_cast<CEditUI*>(this);
  return CLabelUI::QueryInterfaceByName(name);
}

UINT CEditUI::GetControlFlags() const { return IsEnabled() ? (UIFLAG_TABSTOP | UIFLAG_SETCURSOR) : 0; }

void CEditUI::SetText(const wchar_t* text) {
  text_ = text;
  if (window_ != nullptr) ::SetWindowTextW(window_->GetWindowHandle(), text_.GetData());
  Invalidate();
}

void CEditUI::SetPos(RECT rc, bool invalidate) {
  CControlUI::SetPos(rc, invalidate);
  if (window_ == nullptr) return;
  const RECT r = window_->CalcPos();
  ::SetWindowPos(window_->GetWindowHandle(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void CEditUI::MoveBy(SIZE delta, bool invalidate) {
  CControlUI::MoveBy(delta, invalidate);
  if (window_ == nullptr) return;
  const RECT r = window_->CalcPos();
  ::SetWindowPos(window_->GetWindowHandle(), nullptr, r.left, r.top, 0, 0,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
}

void CEditUI::SetVisible(bool visible) {
  CControlUI::SetVisible(visible);
  if (!IsVisible() && window_ != nullptr && manager_ != nullptr) manager_->SetFocus(nullptr);
}

void CEditUI::SetVisibleByParent(bool visible) {
  CControlUI::SetVisibleByParent(visible);
  if (!IsVisible() && window_ != nullptr && manager_ != nullptr) manager_->SetFocus(nullptr);
}

void CEditUI::SetEnabled(bool enabled) {
  CControlUI::SetEnabled(enabled);
  if (!IsEnabled()) state_ = 0;
}

void CEditUI::SetMaxChar(UINT max) {
  max_char_ = max;
  if (window_ != nullptr) window_->SendMessage(EM_LIMITTEXT, max);
}

void CEditUI::SetReadOnly(bool on) {
  if (read_only_ == on) return;
  read_only_ = on;
  if (window_ != nullptr) window_->SendMessage(EM_SETREADONLY, on);
  Invalidate();
}

void CEditUI::SetPasswordMode(bool on) {
  if (password_ == on) return;
  password_ = on;
  Invalidate();
  if (window_ != nullptr) {
    const HWND hwnd = window_->GetWindowHandle();
    LONG_PTR style = ::GetWindowLongPtrW(hwnd, GWL_STYLE);
    style = on ? (style | ES_PASSWORD) : (style & ~ES_PASSWORD);
    ::SetWindowLongPtrW(hwnd, GWL_STYLE, style);
  }
}

void CEditUI::SetPasswordChar(wchar_t ch) {
  if (password_char_ == ch) return;
  password_char_ = ch;
  if (window_ != nullptr) window_->SendMessage(EM_SETPASSWORDCHAR, ch);
  Invalidate();
}

void CEditUI::SetNumberOnly(bool on) {
  if (on) {
    window_styles_ |= ES_NUMBER;
  } else {
    window_styles_ &= ~ES_NUMBER;
  }
}

CUiString CEditUI::GetTipValue() const {
  if (!IsResourceText()) return tip_;
  return CTextResourceManager::GetInstance().GetText(tip_.GetData());
}

void CEditUI::SetNormalImage(const wchar_t* d) {
  normal_image_ = d;
  Invalidate();
}
void CEditUI::SetHotImage(const wchar_t* d) {
  hot_image_ = d;
  Invalidate();
}
void CEditUI::SetFocusedImage(const wchar_t* d) {
  focused_image_ = d;
  Invalidate();
}
void CEditUI::SetDisabledImage(const wchar_t* d) {
  disabled_image_ = d;
  Invalidate();
}

void CEditUI::OpenWindow() {
  window_ = new CEditWnd();
  window_->Init(this);
}

void CEditUI::HandleEvent(ControlEventUI& event) {
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
        if (window_ != nullptr) return;
        OpenWindow();
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
    case UIEVENT_DBLCLICK: {
      if (!IsEnabled()) return;
      if (manager_ != nullptr) manager_->ReleaseMouseCapture();
      if (IsFocused() && window_ == nullptr) {
        OpenWindow();
        if (::PtInRect(&pos_, event.ptMouse)) {
          const int length = ::GetWindowTextLengthW(window_->GetWindowHandle());
          window_->SendMessage(EM_SETSEL, 0, std::max(length, 1));
        }
      } else if (window_ != nullptr && !auto_sel_all_) {
        const RECT pad = GetTextPadding();
        const POINT pt{event.ptMouse.x - pos_.left - pad.left, event.ptMouse.y - pos_.top - pad.top};
        window_->SendMessage(EM_SETSEL, 0, 0);
        window_->SendMessage(WM_LBUTTONDOWN, event.wParam, MAKELPARAM(pt.x, pt.y));
      }
      return;
    }
    case UIEVENT_MOUSEMOVE:
    case UIEVENT_BUTTONUP:
    case UIEVENT_CONTEXTMENU:
      return;
    case UIEVENT_MOUSEENTER:
      if (IsEnabled() && ::PtInRect(&pos_, event.ptMouse) && (state_ & UISTATE_HOT) == 0) {
        state_ |= UISTATE_HOT;
        Invalidate();
      }
      break;
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

void CEditUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  using attr::Equals;
  if (Equals(name, L"readonly")) {
    SetReadOnly(attr::IsTrue(value));
  } else if (Equals(name, L"numberonly")) {
    SetNumberOnly(attr::IsTrue(value));
  } else if (wcscmp(name, L"autoselall") == 0) {
    SetAutoSelAll(wcscmp(value, L"true") == 0);
  } else if (Equals(name, L"password")) {
    SetPasswordMode(attr::IsTrue(value));
  } else if (Equals(name, L"passwordchar")) {
    SetPasswordChar(value[0]);
  } else if (Equals(name, L"maxchar")) {
    SetMaxChar(static_cast<UINT>(attr::ParseInt(value)));
  } else if (Equals(name, L"normalimage")) {
    SetNormalImage(value);
  } else if (Equals(name, L"hotimage")) {
    SetHotImage(value);
  } else if (Equals(name, L"focusedimage")) {
    SetFocusedImage(value);
  } else if (Equals(name, L"disabledimage")) {
    SetDisabledImage(value);
  } else if (Equals(name, L"tipvalue")) {
    SetTipValue(value);
  } else if (Equals(name, L"tipvaluecolor")) {
    SetTipValueColor(attr::ParseColor(value));
  } else if (Equals(name, L"nativetextcolor")) {
    SetNativeTextColor(attr::ParseColor(value));
  } else if (Equals(name, L"nativebkcolor")) {
    SetNativeBkColor(attr::ParseColor(value));
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}

SIZE CEditUI::MeasureSize(SIZE available) {
  if (fixed_size_.cy != 0 || manager_ == nullptr) return CControlUI::MeasureSize(available);
  return SIZE{GetFixedWidth(), manager_->GetFontRecordById(font_)->tm.tmHeight + 6};
}

void CEditUI::PaintStateImage(HDC dc) {
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

void CEditUI::PaintText(HDC dc) {
  ResolveDefaultColors();
  const CUiString tip = GetTipValue();
  CUiString text = text_;
  DWORD color = text_color_;
  if (text.IsEmpty() || text == tip.GetData()) {
    text = tip;
    color = tip_color_;
  } else if (password_) {
    CUiString masked;
    for (const wchar_t* p = text_.GetData(); *p != L'\0'; p = ::CharNextW(p)) masked += password_char_;
    text = masked;
  }
  if (!IsEnabled()) color = disabled_text_color_;
  if (text.IsEmpty()) return;
  RECT rc = pos_;
  const RECT pad = GetTextPadding();
  rc.left += pad.left;
  rc.top += pad.top;
  rc.right -= pad.right;
  rc.bottom -= pad.bottom;
  CUiDrawEngine::DrawText(dc, manager_, rc, text.GetData(), color, font_, text_style_ | DT_SINGLELINE);
}

}  // namespace SkinUI
