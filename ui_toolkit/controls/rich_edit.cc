#include "ui_toolkit/controls/rich_edit.h"

#include <imm.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <vector>

#include "ui_toolkit/controls/scroll_bar.h"
#include "ui_toolkit/controls/txt_win_host.h"
#include "ui_toolkit/core/dpi_helper.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

bool IsMouseMessage(UINT message) { return message >= WM_MOUSEFIRST && message <= WM_MOUSEFIRST + 13; }
bool IsKeyMessage(UINT message) { return message >= WM_KEYFIRST && message <= WM_KEYFIRST + 9; }

POINT PointOf(LPARAM lparam) {
  return POINT{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
}

// Boolean attributes of this control are true only for exactly "true".
bool IsExactlyTrue(const wchar_t* value) { return value != nullptr && wcscmp(value, L"true") == 0; }

}  // namespace

CRichEditUI::CRichEditUI() = default;

CRichEditUI::~CRichEditUI() {
  if (host_ != nullptr) {
    if (manager_ != nullptr) {
      manager_->RemoveMessageFilter(this);
      manager_->KillTimer(this, kCaretTimerId);
    }
    // The engine may still hold the host: cut its way back to this control
    // before the last reference here goes.
    CTxtWinHost* host = host_;
    host_ = nullptr;
    host->Detach();
    host->Release();
  }
}

const wchar_t* CRichEditUI::GetClassName() const { return L"RichEditUI"; }

void* CRichEditUI::QueryInterfaceByName(const wchar_t* name) {
  if (wcscmp(name, L"RichEdit") == 0) return static_cast<CRichEditUI*>(this);
  return CContainerUI::QueryInterfaceByName(name);
}

UINT CRichEditUI::GetControlFlags() const { return IsEnabled() ? 3 : 0; }

// ---- engine access

HRESULT CRichEditUI::TxSendMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) const {
  if (host_ == nullptr || host_->GetTextServices() == nullptr) return S_FALSE;
  if (message == WM_KEYDOWN && wparam == VK_RETURN) {
    if (!want_return_ || (::GetKeyState(VK_CONTROL) < 0 && !want_ctrl_return_)) {
      if (manager_ != nullptr) manager_->SendNotify(const_cast<CRichEditUI*>(this), L"return");
      return S_OK;
    }
  }
  LRESULT ignored = 0;
  return host_->GetTextServices()->TxSendMessage(message, wparam, lparam, result != nullptr ? result : &ignored);
}

long CRichEditUI::GetTextLength(DWORD flags) const {
  GETTEXTLENGTHEX request{flags, 1200};
  LRESULT length = 0;
  TxSendMessage(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&request), 0, &length);
  return static_cast<long>(length);
}

CUiString CRichEditUI::GetText() const {
  const long length = GetTextLength(GTL_DEFAULT);
  if (length <= 0) return CUiString();
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
  GETTEXTEX request{};
  request.cb = static_cast<DWORD>((length + 1) * sizeof(wchar_t));
  request.flags = GT_DEFAULT;
  request.codepage = 1200;
  LRESULT copied = 0;
  TxSendMessage(EM_GETTEXTEX, reinterpret_cast<WPARAM>(&request), reinterpret_cast<LPARAM>(buffer.data()), &copied);
  buffer.back() = L'\0';
  return CUiString(buffer.data());
}

void CRichEditUI::SetText(const wchar_t* text) {
  text_ = text != nullptr ? text : L"";
  if (host_ == nullptr) return;
  SetSel(0, -1);
  ReplaceSel(text_.GetData(), false);
}

LRESULT CRichEditUI::SetSel(long start, long end) {
  CHARRANGE range{start, end};
  LRESULT result = 0;
  TxSendMessage(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range), &result);
  return result;
}

LRESULT CRichEditUI::SetSelAll() { return SetSel(0, -1); }

void CRichEditUI::GetSel(long* start, long* end) const {
  CHARRANGE range{0, 0};
  TxSendMessage(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range), nullptr);
  *start = range.cpMin;
  *end = range.cpMax;
}

void CRichEditUI::ReplaceSel(const wchar_t* text, bool can_undo) {
  TxSendMessage(EM_REPLACESEL, can_undo ? TRUE : FALSE, reinterpret_cast<LPARAM>(text), nullptr);
}

WORD CRichEditUI::GetSelectionType() const {
  LRESULT result = 0;
  TxSendMessage(EM_SELECTIONTYPE, 0, 0, &result);
  return static_cast<WORD>(result & 0xFFFF);
}

bool CRichEditUI::CanUndo() {
  LRESULT result = 0;
  if (host_ == nullptr) return false;
  TxSendMessage(EM_CANUNDO, 0, 0, &result);
  return result == 1;
}

bool CRichEditUI::CanRedo() {
  LRESULT result = 0;
  if (host_ == nullptr) return false;
  TxSendMessage(EM_CANREDO, 0, 0, &result);
  return result == 1;
}

bool CRichEditUI::Undo() {
  LRESULT result = 0;
  if (host_ == nullptr) return false;
  TxSendMessage(EM_UNDO, 0, 0, &result);
  return result == 1;
}

bool CRichEditUI::Redo() {
  LRESULT result = 0;
  if (host_ == nullptr) return false;
  TxSendMessage(EM_REDO, 0, 0, &result);
  return result == 1;
}

void CRichEditUI::Cut() { TxSendMessage(WM_CUT, 0, 0, nullptr); }
void CRichEditUI::Copy() { TxSendMessage(WM_COPY, 0, 0, nullptr); }
void CRichEditUI::Paste() { TxSendMessage(WM_PASTE, 0, 0, nullptr); }
void CRichEditUI::Clear() { TxSendMessage(WM_CLEAR, 0, 0, nullptr); }

void CRichEditUI::SetScrollPos(SIZE pos, bool) {
  if (IsVerticalBarVisible()) {
    const int old = vertical_bar_->GetScrollPos();
    vertical_bar_->SetScrollPos(pos.cy);
    const int now = vertical_bar_->GetScrollPos();
    if (now != old) {
      TxSendMessage(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, now), 0, nullptr);
      // A plain-text engine may stop short of a downward move near the end.
      if (!rich_ && IsVerticalBarVisible() && now > old && vertical_bar_->GetScrollPos() <= now) {
        vertical_bar_->SetScrollPos(now);
      }
    }
  }
  if (IsHorizontalBarVisible()) {
    const int old = horizontal_bar_->GetScrollPos();
    horizontal_bar_->SetScrollPos(pos.cx);
    const int now = horizontal_bar_->GetScrollPos();
    if (now != old) TxSendMessage(WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, now), 0, nullptr);
  }
}

void CRichEditUI::LineUp() { TxSendMessage(WM_VSCROLL, SB_LINEUP, 0, nullptr); }

void CRichEditUI::LineDown() {
  const int before = IsVerticalBarVisible() ? vertical_bar_->GetScrollPos() : 0;
  TxSendMessage(WM_VSCROLL, SB_LINEDOWN, 0, nullptr);
  if (!rich_ && host_ != nullptr && IsVerticalBarVisible() && vertical_bar_->GetScrollPos() <= before) {
    vertical_bar_->SetScrollPos(vertical_bar_->GetScrollRange());
  }
}

void CRichEditUI::PageUp() { TxSendMessage(WM_VSCROLL, SB_PAGEUP, 0, nullptr); }
void CRichEditUI::PageDown() { TxSendMessage(WM_VSCROLL, SB_PAGEDOWN, 0, nullptr); }
void CRichEditUI::HomeUp() { TxSendMessage(WM_VSCROLL, SB_TOP, 0, nullptr); }
void CRichEditUI::EndDown() { TxSendMessage(WM_VSCROLL, SB_BOTTOM, 0, nullptr); }
void CRichEditUI::LineLeft() { TxSendMessage(WM_HSCROLL, SB_LINELEFT, 0, nullptr); }
void CRichEditUI::LineRight() { TxSendMessage(WM_HSCROLL, SB_LINERIGHT, 0, nullptr); }
void CRichEditUI::PageLeft() { TxSendMessage(WM_HSCROLL, SB_PAGELEFT, 0, nullptr); }
void CRichEditUI::PageRight() { TxSendMessage(WM_HSCROLL, SB_PAGERIGHT, 0, nullptr); }
void CRichEditUI::HomeLeft() { TxSendMessage(WM_HSCROLL, SB_LEFT, 0, nullptr); }
void CRichEditUI::EndRight() { TxSendMessage(WM_HSCROLL, SB_RIGHT, 0, nullptr); }

// ---- settings

void CRichEditUI::SetTextColor(DWORD color) {
  text_color_ = color;
  if (host_ != nullptr) host_->SetColor(color);
}

void CRichEditUI::SetFont(int index) {
  font_ = index;
  if (host_ != nullptr && manager_ != nullptr) host_->SetFont(manager_->GetFontById(font_));
}

void CRichEditUI::SetLimitText(int max) {
  max_chars_ = max;
  if (host_ != nullptr) host_->SetMaxLength(max);
}

void CRichEditUI::SetRich(bool on) {
  rich_ = on;
  if (host_ != nullptr) host_->SetRichTextFlag(on);
}

void CRichEditUI::SetTransparent(bool on) {
  transparent_ = on;
  if (host_ != nullptr) host_->SetTransparent(on);
}

void CRichEditUI::SetMultiLine(bool on) {
  if (on) {
    style_ |= ES_MULTILINE;
  } else {
    style_ &= ~ES_MULTILINE;
  }
}

RECT CRichEditUI::GetTextPadding() const {
  RECT rc = text_inset_;
  if (manager_ != nullptr) manager_->GetDpiHelper()->ScaleRect(&rc);
  return rc;
}

void CRichEditUI::SetTextPadding(RECT rc) {
  text_inset_ = rc;
  Invalidate();
}

void CRichEditUI::SetTipValue(const wchar_t* text) {
  tip_value_ = text != nullptr ? text : L"";
  Invalidate();
}

void CRichEditUI::SetTipValueColor(const wchar_t* text) {
  if (text == nullptr) return;
  if (*text == L'#') ++text;
  tip_color_ = static_cast<DWORD>(wcstoul(text, nullptr, 16));
  Invalidate();
}

void CRichEditUI::SetNormalImage(const wchar_t* description) {
  normal_image_ = description;
  Invalidate();
}
void CRichEditUI::SetHotImage(const wchar_t* description) {
  hot_image_ = description;
  Invalidate();
}
void CRichEditUI::SetFocusedImage(const wchar_t* description) {
  focused_image_ = description;
  Invalidate();
}
void CRichEditUI::SetDisabledImage(const wchar_t* description) {
  disabled_image_ = description;
  Invalidate();
}

void CRichEditUI::SetEnabled(bool enabled) {
  CContainerUI::SetEnabled(enabled);
  if (host_ == nullptr) return;
  if (IsEnabled()) {
    host_->SetColor(text_color_);
  } else if (manager_ != nullptr) {
    host_->SetColor(manager_->GetDisabledTextColor());
  }
}

void CRichEditUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  using attr::Equals;
  if (wcscmp(name, L"vscrollbar") == 0) {
    if (IsExactlyTrue(value)) style_ |= WS_VSCROLL | ES_DISABLENOSCROLL;
    CContainerUI::SetAttribute(name, value);
  } else if (wcscmp(name, L"autovscroll") == 0) {
    if (IsExactlyTrue(value)) style_ |= ES_AUTOVSCROLL;
    CContainerUI::SetAttribute(name, value);
  } else if (wcscmp(name, L"hscrollbar") == 0) {
    if (IsExactlyTrue(value)) style_ |= WS_HSCROLL | ES_DISABLENOSCROLL;
    CContainerUI::SetAttribute(name, value);
  } else if (wcscmp(name, L"autohscroll") == 0) {
    if (IsExactlyTrue(value)) style_ |= ES_AUTOHSCROLL;
  } else if (Equals(name, L"multiline")) {
    SetMultiLine(IsExactlyTrue(value));
  } else if (wcscmp(name, L"wanttab") == 0) {
    SetWantTab(IsExactlyTrue(value));
  } else if (wcscmp(name, L"wantreturn") == 0) {
    SetWantReturn(IsExactlyTrue(value));
  } else if (wcscmp(name, L"wantctrlreturn") == 0) {
    SetWantCtrlReturn(IsExactlyTrue(value));
  } else if (wcscmp(name, L"transparent") == 0) {
    SetTransparent(IsExactlyTrue(value));
  } else if (wcscmp(name, L"rich") == 0) {
    SetRich(IsExactlyTrue(value));
  } else if (wcscmp(name, L"readonly") == 0) {
    if (IsExactlyTrue(value)) {
      style_ |= ES_READONLY;
      read_only_ = true;
    }
  } else if (wcscmp(name, L"password") == 0) {
    if (IsExactlyTrue(value)) style_ |= ES_PASSWORD;
  } else if (wcscmp(name, L"align") == 0) {
    if (wcsstr(value, L"left") != nullptr) style_ &= ~(ES_CENTER | ES_RIGHT);
    if (wcsstr(value, L"center") != nullptr) style_ = (style_ & ~ES_RIGHT) | ES_CENTER;
    if (wcsstr(value, L"right") != nullptr) style_ = (style_ & ~ES_CENTER) | ES_RIGHT;
  } else if (wcscmp(name, L"font") == 0) {
    SetFont(static_cast<int>(wcstol(value, nullptr, 10)));
  } else if (wcscmp(name, L"textcolor") == 0) {
    while (*value != L'\0' && *value <= L' ') ++value;
    if (*value == L'#') ++value;
    SetTextColor(static_cast<DWORD>(wcstoul(value, nullptr, 16)));
  } else if (Equals(name, L"maxchar")) {
    SetLimitText(static_cast<int>(wcstol(value, nullptr, 10)));
  } else if (Equals(name, L"normalimage")) {
    SetNormalImage(value);
  } else if (Equals(name, L"hotimage")) {
    SetHotImage(value);
  } else if (Equals(name, L"focusedimage")) {
    SetFocusedImage(value);
  } else if (Equals(name, L"disabledimage")) {
    SetDisabledImage(value);
  } else if (Equals(name, L"textpadding")) {
    long v[4] = {};
    attr::ParseInts(value, v, 4);
    SetTextPadding(RECT{v[0], v[1], v[2], v[3]});
  } else if (Equals(name, L"tipvalue")) {
    SetTipValue(value);
  } else if (Equals(name, L"tipvaluecolor")) {
    SetTipValueColor(value);
  } else if (Equals(name, L"tipvaluealign")) {
    if (wcsstr(value, L"left") != nullptr) tip_style_ = DT_SINGLELINE;
    if (wcsstr(value, L"center") != nullptr) tip_style_ = DT_SINGLELINE | DT_CENTER;
    if (wcsstr(value, L"right") != nullptr) tip_style_ = DT_SINGLELINE | DT_RIGHT;
  } else {
    CContainerUI::SetAttribute(name, value);
  }
}

// ---- life cycle

void CRichEditUI::OnInitialize() {
  if (initialised_) return;
  CREATESTRUCTW create{};
  create.style = static_cast<LONG>(style_);
  create.lpszName = text_.GetData();
  CreateTextHost(this, &create, &host_);
  if (host_ != nullptr) {
    if (transparent_) host_->SetTransparent(true);
    TxSendMessage(EM_SETLANGOPTIONS, 0, 0, nullptr);
    TxSendMessage(EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_DROPFILES | ENM_LINK, nullptr);
    host_->Activate(nullptr);
    if (manager_ != nullptr) {
      manager_->AddMessageFilter(this);
      manager_->SetTimer(this, kCaretTimerId, ::GetCaretBlinkTime());
      if (!IsEnabled()) host_->SetColor(manager_->GetDisabledTextColor());
    }
  }
  initialised_ = true;
}

// ---- layout

RECT CRichEditUI::InsetRect() const {
  RECT rc = pos_;
  const RECT inset = ScaleRectValue(inset_);
  rc.left += inset.left;
  rc.top += inset.top;
  rc.right -= inset.right;
  rc.bottom -= inset.bottom;
  return rc;
}

LONG CRichEditUI::NaturalHeight(LONG width) const {
  if (host_ == nullptr || host_->GetTextServices() == nullptr || manager_ == nullptr) return -1;
  const SIZEL extent{-1, -1};
  LONG height = 0;
  if (FAILED(host_->GetTextServices()->TxGetNaturalSize(DVASPECT_CONTENT, manager_->GetPaintDC(), nullptr, nullptr,
                                                        TXTNS_FITTOCONTENT, &extent, &width, &height))) {
    return -1;
  }
  return height;
}

void CRichEditUI::SetPos(RECT rc, bool invalidate) {
  CControlUI::SetPos(rc, invalidate);
  RECT inner = InsetRect();
  RECT scrolled = inner;
  const bool vbar_was_visible = IsVerticalBarVisible();
  if (vbar_was_visible) {
    scrolled.top -= vertical_bar_->GetScrollPos();
    scrolled.bottom += vertical_bar_->GetScrollRange() - vertical_bar_->GetScrollPos();
    scrolled.right -= vertical_bar_->GetFixedWidth();
    inner.right -= vertical_bar_->GetFixedWidth();
  }
  if (IsHorizontalBarVisible()) {
    scrolled.left -= horizontal_bar_->GetScrollPos();
    scrolled.right += horizontal_bar_->GetScrollRange() - horizontal_bar_->GetScrollPos();
    scrolled.bottom -= horizontal_bar_->GetFixedHeight();
    inner.bottom -= horizontal_bar_->GetFixedHeight();
  }
  const RECT pad = GetTextPadding();
  if (host_ != nullptr) {
    RECT client = inner;
    client.left += pad.left;
    client.top += pad.top;
    client.right -= pad.right;
    client.bottom -= pad.bottom;
    host_->SetClientRect(client);
  }
  // The engine hides the bar when the text fits the width it was given with
  // the bar; without the bar the text may no longer fit, so check once more.
  if (vbar_was_visible && vertical_bar_ && (!vertical_bar_->IsVisible() || self_shown_vbar_)) {
    const RECT client = host_ != nullptr ? host_->GetControlRect() : inner;
    const LONG height = NaturalHeight(client.right - client.left + vertical_bar_->GetFixedWidth());
    if (height > (scrolled.bottom - scrolled.top) - pad.top - pad.bottom) {
      vertical_bar_->SetVisible(true);
      vertical_bar_->SetScrollPos(0);
      self_shown_vbar_ = true;
    } else if (self_shown_vbar_) {
      vertical_bar_->SetVisible(false);
      self_shown_vbar_ = false;
    }
  }
  if (IsVerticalBarVisible()) {
    vertical_bar_->SetPos(RECT{inner.right, inner.top, inner.right + vertical_bar_->GetFixedWidth(), inner.bottom},
                          false);
  }
  if (IsHorizontalBarVisible()) {
    horizontal_bar_->SetPos(
        RECT{inner.left, inner.bottom, inner.right, inner.bottom + horizontal_bar_->GetFixedHeight()}, false);
  }
  for (int i = 0; i < items_.GetSize(); ++i) {
    auto* child = static_cast<CControlUI*>(items_.GetAt(i));
    if (!child->IsVisible()) continue;
    if (child->IsFloat()) {
      SetFloatChildPos(i);
      continue;
    }
    const SIZE fixed = child->GetFixedSize();
    const LONG cx = std::clamp<LONG>(fixed.cx, child->GetMinWidth(), std::max(child->GetMinWidth(), child->GetMaxWidth()));
    const LONG cy =
        std::clamp<LONG>(fixed.cy, child->GetMinHeight(), std::max(child->GetMinHeight(), child->GetMaxHeight()));
    child->SetPos(RECT{scrolled.left, scrolled.top, scrolled.left + cx, scrolled.top + cy}, false);
  }
}

void CRichEditUI::MoveBy(SIZE delta, bool invalidate) {
  CContainerUI::MoveBy(delta, invalidate);
  // The text keeps its padding when the control moves.
  if (host_ != nullptr) {
    RECT client = host_->GetControlRect();
    ::OffsetRect(&client, delta.cx, delta.cy);
    host_->SetClientRect(client);
  }
}

// ---- input

bool CRichEditUI::HostClaimsPoint(UINT message, WPARAM, LPARAM lparam) const {
  if (manager_ == nullptr) return false;
  switch (message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      if (manager_->FindControlAtPoint(PointOf(lparam)) != this) return false;
      break;
    default:
      break;
  }
  POINT pt{};
  if (message == WM_SETCURSOR) {
    ::GetCursorPos(&pt);
    ::ScreenToClient(manager_->GetPaintWindow(), &pt);
  } else if (message == WM_MOUSEWHEEL) {
    pt = PointOf(lparam);
    ::ScreenToClient(manager_->GetPaintWindow(), &pt);
  } else {
    pt = PointOf(lparam);
  }
  const RECT client = host_->GetControlRect();
  return ::PtInRect(&client, pt) && !manager_->HasMouseCapture();
}

LRESULT CRichEditUI::MessageHandler(UINT message, WPARAM wparam, LPARAM lparam, bool& handled) {
  if (!IsVisible() || !IsEnabled() || host_ == nullptr) return 0;
  if (!IsMouseEnabled() && IsMouseMessage(message)) return 0;
  if (message == WM_MOUSEWHEEL && (LOWORD(wparam) & MK_CONTROL) == 0) return 0;

  bool chosen = false;
  if (message == WM_IME_COMPOSITION) {
    const HWND hwnd = manager_->GetPaintWindow();
    if (HIMC context = ::ImmGetContext(hwnd); context != nullptr) {
      COMPOSITIONFORM form{};
      form.dwStyle = CFS_POINT;
      ::GetCaretPos(&form.ptCurrentPos);
      ::ImmSetCompositionWindow(context, &form);
      ::ImmReleaseContext(hwnd, context);
    }
    return 0;
  }
  if (IsMouseMessage(message) || message == WM_SETCURSOR) {
    if (!host_->IsCaptured() && !HostClaimsPoint(message, wparam, lparam)) return 0;
    if (message == WM_SETCURSOR) {
      chosen = false;
    } else {
      if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDOWN) {
        if (!manager_->IsNoActivate()) ::SetFocus(manager_->GetPaintWindow());
        SetFocus();
      }
      chosen = true;
    }
  } else if (IsKeyMessage(message)) {
    if (!IsFocused()) return 0;
    chosen = true;
  } else if (message == WM_CONTEXTMENU) {
    if (!IsContextMenuUsed()) return 0;
    POINT pt = PointOf(lparam);
    ::ScreenToClient(manager_->GetPaintWindow(), &pt);
    if (manager_->FindControlAtPoint(pt) != this) return 0;
    if (HMENU menu = BuildContextMenu(); menu != nullptr) {
      ::ClientToScreen(manager_->GetPaintWindow(), &pt);
      ::TrackPopupMenu(menu, TPM_RIGHTBUTTON, pt.x, pt.y, 0, manager_->GetPaintWindow(), nullptr);
      ::DestroyMenu(menu);
    }
    chosen = true;
  } else if (message == WM_COMMAND) {
    handled = false;
    if (!IsFocused()) return 0;
    switch (LOWORD(wparam)) {
      case kMenuUndo: Undo(); break;
      case kMenuRedo: Redo(); break;
      case kMenuCut: Cut(); break;
      case kMenuCopy: Copy(); break;
      case kMenuPaste: Paste(); break;
      case kMenuClear: Clear(); break;
      case kMenuSelectAll: SetSelAll(); break;
      default: break;
    }
    chosen = true;
  } else if (message == WM_HELP) {
    chosen = false;
  } else {
    return 0;
  }

  LRESULT result = 0;
  const HRESULT hr = TxSendMessage(message, wparam, lparam, &result);
  if (hr == S_OK || IsKeyMessage(message) || message == WM_IME_CHAR ||
      (IsMouseMessage(message) && host_->IsCaptured())) {
    handled = chosen;
  }
  return result;
}

HMENU CRichEditUI::BuildContextMenu() {
  HMENU menu = ::CreatePopupMenu();
  if (menu == nullptr) return nullptr;
  const bool empty = GetSelectionType() == SEL_EMPTY;
  auto add = [menu](UINT id, const wchar_t* text, bool grey) {
    ::AppendMenuW(menu, MF_STRING | (grey ? MF_GRAYED : 0), id, text);
  };
  add(kMenuUndo, L"撤销(&U)", !CanUndo());
  add(kMenuRedo, L"重做(&R)", !CanRedo());
  ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  add(kMenuCut, L"剪切(&X)", read_only_ || empty);
  add(kMenuCopy, L"复制(&C)", empty);
  add(kMenuPaste, L"粘帖(&V)", read_only_);
  add(kMenuClear, L"清空(&L)", read_only_ || empty);
  ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  add(kMenuSelectAll, L"全选(&A)", false);
  return menu;
}

void CRichEditUI::BlinkCaret() {
  if (::GetFocus() != manager_->GetPaintWindow()) return;
  caret_phase_ = !caret_phase_;
  POINT at{};
  ::GetCaretPos(&at);
  RECT caret = CaretRect(at, host_->GetCaretWidth(), host_->GetCaretHeight());
  if (!::IntersectRect(&caret, &caret, &pos_)) return;
  for (CControlUI* p = parent_; p != nullptr; p = p->GetParent()) {
    const RECT rc = p->GetPos();
    if (!::IntersectRect(&caret, &caret, &rc)) return;
  }
  manager_->InvalidateRect(caret);
}

void CRichEditUI::HandleEvent(ControlEventUI& event) {
  if (!IsMouseEnabled() && event.Type >= UIEVENT_MOUSEMOVE && event.Type <= UIEVENT_SCROLLWHEEL) {
    if (parent_ != nullptr) {
      parent_->HandleEvent(event);
    } else {
      CControlUI::HandleEvent(event);
    }
    return;
  }
  switch (event.Type) {
    case UIEVENT_SETCURSOR:
      if (IsEnabled() && host_ != nullptr && host_->DoSetCursor(nullptr, event.ptMouse)) return;
      break;
    case UIEVENT_WINDOWSIZE:
      if (host_ != nullptr) host_->NeedFreshCaret();
      break;
    case UIEVENT_SETFOCUS:
      if (host_ != nullptr) {
        host_->Activate(nullptr);
        TxSendMessage(WM_SETFOCUS, 0, 0, nullptr);
      }
      focused_ = true;
      state_ |= UISTATE_FOCUSED;
      Invalidate();
      return;
    case UIEVENT_KILLFOCUS:
      if (host_ != nullptr) {
        host_->Activate(nullptr);
        TxSendMessage(WM_KILLFOCUS, 0, 0, nullptr);
      }
      focused_ = false;
      state_ &= ~UISTATE_FOCUSED;
      Invalidate();
      return;
    case UIEVENT_TIMER:
      if (event.wParam == kCaretTimerId) {
        if (manager_ != nullptr && IsFocused() && host_ != nullptr) {
          if (manager_->IsLayered()) {
            if (host_->IsShowCaret()) BlinkCaret();
          } else if (::GetFocus() == manager_->GetPaintWindow()) {
            host_->TxShowCaret(!host_->IsShowCaret());
          }
        }
        return;
      }
      if (host_ != nullptr) TxSendMessage(WM_TIMER, event.wParam, event.lParam, nullptr);
      return;
    case UIEVENT_SCROLLWHEEL:
      if (event.wKeyState & UIKEYSTATE_CONTROL) return;
      break;
    case UIEVENT_KEYDOWN:
    case UIEVENT_KEYUP:
    case UIEVENT_CHAR:
    case UIEVENT_SYSKEY:
    case UIEVENT_MOUSEMOVE:
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_BUTTONUP:
    case UIEVENT_DBLCLICK:
      return;
    default:
      break;
  }
  CContainerUI::HandleEvent(event);
}

bool CRichEditUI::OnTxViewChanged() { return true; }

LRESULT CRichEditUI::OnTxNotify(DWORD code, void* data) {
  switch (code) {
    case EN_CHANGE:
      if (manager_ != nullptr) manager_->SendNotify(this, L"textchanged");
      return 0;
    case EN_MSGFILTER:
    case EN_SELCHANGE:
    case EN_DROPFILES:
    case EN_PROTECTED:
    case EN_STOPNOUNDO:
    case EN_SAVECLIPBOARD:
    case EN_OLEOPFAILED:
    case EN_OBJECTPOSITIONS:
    case EN_LINK:
    case EN_DRAGDROPDONE: {
      if (data == nullptr || manager_ == nullptr) return 0;
      auto* header = static_cast<NMHDR*>(data);
      const HWND hwnd = manager_->GetPaintWindow();
      header->hwndFrom = hwnd;
      header->idFrom = static_cast<UINT_PTR>(::GetWindowLongPtrW(hwnd, GWL_ID));
      header->code = code;
      return ::SendMessageW(hwnd, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
    }
    default:
      return 0;
  }
}

// ---- painting

bool CRichEditUI::PaintContent(HDC dc, const RECT& paint, CControlUI* stop) {
  RECT area{};
  if (!::IntersectRect(&area, &paint, &pos_)) return true;
  CUiClipScope clip;
  CUiClipScope::Begin(dc, area, clip);
  CControlUI::PaintContent(dc, paint, stop);
  if (host_ != nullptr && host_->GetTextServices() != nullptr) {
    const RECT client = host_->GetControlRect();
    RECTL bounds{client.left, client.top, client.right, client.bottom};
    RECT update = paint;
    // A scrolled engine draws its partly visible lines whole: keep them off
    // the border, the padding and the bars.
    CUiClipScope text_clip;
    RECT text_area{};
    ::IntersectRect(&text_area, &area, &client);
    CUiClipScope::Begin(dc, text_area, text_clip);
    host_->GetTextServices()->TxDraw(DVASPECT_CONTENT, 0, nullptr, nullptr, dc, nullptr, &bounds, nullptr, &update,
                                     nullptr, 0, TXTVIEW_ACTIVE);
    if (self_shown_vbar_ && vertical_bar_) {
      const LONG height = NaturalHeight(client.right - client.left + vertical_bar_->GetFixedWidth());
      if (height >= 0 && height <= client.bottom - client.top) MarkNeedsLayout();
    }
  }
  const RECT inner = GetInnerRect();
  for (int i = 0; i < items_.GetSize(); ++i) {
    auto* child = static_cast<CControlUI*>(items_.GetAt(i));
    if (child == stop) return false;
    if (!child->IsVisible()) continue;
    RECT child_area{};
    if (!::IntersectRect(&child_area, &paint, &child->GetPos())) continue;
    if (!child->IsFloat() && !::IntersectRect(&child_area, &child_area, &inner)) continue;
    if (!child->Paint(dc, paint, stop)) return false;
  }
  PaintCaret(dc);
  if (!PaintScrollBars(dc, paint, stop)) return false;
  if (!IsFocused() && !tip_value_.IsEmpty() && GetText().IsEmpty()) {
    RECT rc = pos_;
    const RECT pad = GetTextPadding();
    rc.left += pad.left;
    rc.top += pad.top;
    rc.right -= pad.right;
    rc.bottom -= pad.bottom;
    UINT style = tip_style_;
    if (!IsMultiLine()) style |= DT_VCENTER;
    CUiDrawEngine::DrawText(dc, manager_, rc, tip_value_.GetData(), tip_color_, font_, style);
  }
  return true;
}

void CRichEditUI::PaintCaret(HDC dc) {
  if (manager_ == nullptr || !manager_->IsLayered() || !IsFocused() || host_ == nullptr || !host_->IsShowCaret() ||
      !caret_phase_) {
    return;
  }
  POINT at{};
  ::GetCaretPos(&at);
  if (!::PtInRect(&pos_, at)) return;
  const RECT line{at.x, at.y, at.x, at.y + host_->GetCaretHeight()};
  CUiDrawEngine::DrawLine(dc, line, std::max(1, host_->GetCaretWidth()), text_color_, PS_SOLID);
}

void CRichEditUI::PaintStateImage(HDC dc) {
  if (IsFocused()) {
    state_ |= UISTATE_FOCUSED;
  } else {
    state_ &= ~UISTATE_FOCUSED;
  }
  if (!IsEnabled()) {
    state_ |= UISTATE_DISABLED;
  } else {
    state_ &= ~UISTATE_DISABLED;
  }
  const CUiString* chosen = nullptr;
  if (state_ & UISTATE_DISABLED) {
    chosen = &disabled_image_;
  } else if (state_ & UISTATE_FOCUSED) {
    chosen = &focused_image_;
  } else if (state_ & UISTATE_HOT) {
    chosen = &hot_image_;
  }
  if (chosen != nullptr && !chosen->IsEmpty() && DrawImage(dc, chosen->GetData())) return;
  if (!normal_image_.IsEmpty()) DrawImage(dc, normal_image_.GetData());
}

}  // namespace SkinUI
