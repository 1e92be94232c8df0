#include "ui_toolkit/controls/txt_win_host.h"

#include <cwchar>
#include <new>

#include "base/product_log.h"
#include "ui_toolkit/controls/rich_edit.h"
#include "ui_toolkit/controls/scroll_bar.h"
#include "ui_toolkit/core/draw_engine.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {

const IID kIidTextServices = {0x8d33f740, 0xcf58, 0x11ce, {0xa8, 0x9d, 0x00, 0xaa, 0x00, 0x6c, 0xad, 0xc5}};
const IID kIidTextHost = {0x13e670f4, 0x1a5a, 0x11cf, {0xab, 0xeb, 0x00, 0xaa, 0x00, 0xb6, 0x5e, 0xa1}};

namespace {

constexpr LONG kDefaultMaxLength = 32767;
constexpr LONG kHimetricPerInch = 2540;
constexpr LONG kTwipsPerInch = 1440;

LONG PixelsToHimetric(LONG pixels, int per_inch) { return MulDiv(pixels, kHimetricPerInch, per_inch); }

COLORREF ToColorRef(DWORD argb) { return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF); }

int LogPixels(HDC dc, int index) {
  const int n = dc != nullptr ? ::GetDeviceCaps(dc, index) : 0;
  return n > 0 ? n : 96;
}

void CopyFontInto(const LOGFONTW& lf, int pixels_y, CHARFORMAT2W* cf) {
  cf->yHeight = lf.lfHeight * -kTwipsPerInch / pixels_y;
  if (lf.lfWeight >= FW_BOLD) {
    cf->dwEffects |= CFE_BOLD;
  } else {
    cf->dwEffects &= ~CFE_BOLD;
  }
  if (lf.lfItalic) {
    cf->dwEffects |= CFE_ITALIC;
  } else {
    cf->dwEffects &= ~CFE_ITALIC;
  }
  if (lf.lfUnderline) {
    cf->dwEffects |= CFE_UNDERLINE;
  } else {
    cf->dwEffects &= ~CFE_UNDERLINE;
  }
  cf->bCharSet = lf.lfCharSet;
  cf->bPitchAndFamily = lf.lfPitchAndFamily;
  wcsncpy(cf->szFaceName, lf.lfFaceName, LF_FACESIZE - 1);
  cf->szFaceName[LF_FACESIZE - 1] = L'\0';
}

}  // namespace

RECT CaretRect(POINT at, int width, int height) {
  // The engine may ask for a zero-width caret; it is drawn one pixel wide, so
  // that is what must be repainted when it moves or blinks.
  return RECT{at.x, at.y, at.x + (width > 0 ? width : 1), at.y + height};
}

HRESULT InitDefaultCharFormat(CRichEditUI* control, CHARFORMAT2W* cf, HFONT font) {
  *cf = CHARFORMAT2W{};
  cf->cbSize = sizeof(CHARFORMAT2W);
  CPaintManagerUI* manager = control->GetManager();
  if (font == nullptr && manager != nullptr) font = manager->GetFontById(control->GetFont());
  LOGFONTW lf{};
  if (font == nullptr || ::GetObjectW(font, sizeof(lf), &lf) == 0) return E_FAIL;
  DWORD color = control->GetTextColor();
  if (manager != nullptr && manager->IsLayered()) color = CUiDrawEngine::NudgePureBlack(color);
  cf->crTextColor = ToColorRef(color);
  cf->dwMask = CFM_SIZE | CFM_COLOR | CFM_FACE | CFM_OFFSET | CFM_CHARSET | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE;
  cf->yOffset = 0;
  CopyFontInto(lf, LogPixels(manager != nullptr ? manager->GetPaintDC() : nullptr, LOGPIXELSY), cf);
  return S_OK;
}

HRESULT InitDefaultParaFormat(CRichEditUI*, PARAFORMAT2* pf) {
  *pf = PARAFORMAT2{};
  pf->cbSize = sizeof(PARAFORMAT2);
  pf->dwMask = PFM_STARTINDENT | PFM_RIGHTINDENT | PFM_OFFSET | PFM_ALIGNMENT | PFM_TABSTOPS | PFM_NUMBERING |
               PFM_RTLPARA | PFM_OFFSETINDENT;
  pf->wAlignment = PFA_LEFT;
  pf->cTabCount = 1;
  pf->rgxTabs[0] = 720;
  return S_OK;
}

void CreateTextHost(CRichEditUI* control, const CREATESTRUCTW* create, CTxtWinHost** out) {
  *out = nullptr;
  auto* host = new (std::nothrow) CTxtWinHost();
  if (host == nullptr) return;
  if (!host->Init(control, create)) {
    PRODUCT_LOG("rich edit: no text services for {}", static_cast<const void*>(control));
    host->Release();
    return;
  }
  *out = host;
}

CTxtWinHost::CTxtWinHost() = default;

CTxtWinHost::~CTxtWinHost() { Detach(); }

void CTxtWinHost::Detach() {
  if (services_) {
    services_.Get()->OnTxInPlaceDeactivate();
    services_.Reset();
  }
  control_ = nullptr;
}

bool CTxtWinHost::Init(CRichEditUI* control, const CREATESTRUCTW* create) {
  control_ = control;
  refs_ = 1;
  if (FAILED(InitDefaultCharFormat(control, &char_format_, nullptr))) return false;
  if (FAILED(InitDefaultParaFormat(control, &para_format_))) return false;
  style_ = ES_MULTILINE;
  if (control->IsRich()) flags_ |= kRichText;
  max_length_ = control->GetLimitText();
  if (create != nullptr) {
    style_ = create->style;
    if ((style_ & (WS_HSCROLL | ES_AUTOHSCROLL)) == 0) flags_ |= kWordWrap;
    if (style_ & ES_CENTER) {
      para_format_.wAlignment = PFA_CENTER;
    } else if (style_ & ES_RIGHT) {
      para_format_.wAlignment = PFA_RIGHT;
    }
  }
  flags_ |= kInPlaceActive;

  // Never freed: objects the engine hands out (clipboard data, drop targets)
  // can outlive every host, and their code must stay mapped.
  const HMODULE library = ::LoadLibraryW(L"Msftedit.dll");
  if (library == nullptr) return false;
  auto create_services = reinterpret_cast<PCreateTextServices>(
      reinterpret_cast<void*>(::GetProcAddress(library, "CreateTextServices")));
  if (create_services == nullptr) return false;
  base::ScopedComPtr<IUnknown> unknown;
  if (FAILED(create_services(nullptr, this, unknown.Receive())) || !unknown) return false;
  if (FAILED(unknown.Get()->QueryInterface(kIidTextServices, reinterpret_cast<void**>(services_.Receive()))) ||
      !services_) {
    return false;
  }
  if (create != nullptr && create->lpszName != nullptr && FAILED(services_.Get()->TxSetText(create->lpszName))) {
    return false;
  }
  return true;
}

HDC CTxtWinHost::PaintDC() const {
  return control_ != nullptr && control_->GetManager() != nullptr ? control_->GetManager()->GetPaintDC() : nullptr;
}

HWND CTxtWinHost::Window() const {
  return control_ != nullptr && control_->GetManager() != nullptr ? control_->GetManager()->GetPaintWindow()
                                                                   : nullptr;
}

// ---- IUnknown

HRESULT CTxtWinHost::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, kIidTextHost)) {
    *out = static_cast<ITextHost*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG CTxtWinHost::AddRef() { return ++refs_; }

ULONG CTxtWinHost::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

// ---- set-up by the control

HRESULT CTxtWinHost::Activate(const RECT* rect) {
  if (!services_) return E_FAIL;
  flags_ |= kInPlaceActive;
  const HRESULT hr = services_.Get()->OnTxInPlaceActivate(rect);
  if (FAILED(hr)) flags_ &= ~kInPlaceActive;
  return hr;
}

void CTxtWinHost::SetClientRect(const RECT& rect) {
  client_ = rect;
  const HDC dc = PaintDC();
  extent_.cx = PixelsToHimetric(rect.right - rect.left, LogPixels(dc, LOGPIXELSX));
  extent_.cy = PixelsToHimetric(rect.bottom - rect.top, LogPixels(dc, LOGPIXELSY));
  if (services_) services_.Get()->OnTxPropertyBitsChange(TXTBIT_VIEWINSETCHANGE, TXTBIT_VIEWINSETCHANGE);
}

HRESULT CTxtWinHost::SetColor(DWORD argb) {
  char_format_.crTextColor = ToColorRef(argb);
  if (!services_) return E_FAIL;
  return services_.Get()->OnTxPropertyBitsChange(TXTBIT_CHARFORMATCHANGE, TXTBIT_CHARFORMATCHANGE);
}

HRESULT CTxtWinHost::SetFont(HFONT font) {
  if (font == nullptr) return S_OK;
  LOGFONTW lf{};
  if (::GetObjectW(font, sizeof(lf), &lf) == 0) return E_FAIL;
  CopyFontInto(lf, LogPixels(PaintDC(), LOGPIXELSY), &char_format_);
  if (!services_) return E_FAIL;
  return services_.Get()->OnTxPropertyBitsChange(TXTBIT_CHARFORMATCHANGE, TXTBIT_CHARFORMATCHANGE);
}

HRESULT CTxtWinHost::SetMaxLength(LONG length) {
  max_length_ = length < 1 ? kDefaultMaxLength : length;
  if (!services_) return E_FAIL;
  return services_.Get()->OnTxPropertyBitsChange(TXTBIT_MAXLENGTHCHANGE, TXTBIT_MAXLENGTHCHANGE);
}

HRESULT CTxtWinHost::SetRichTextFlag(bool on) {
  if (on) {
    flags_ |= kRichText;
  } else {
    flags_ &= ~kRichText;
  }
  if (!services_) return E_FAIL;
  return services_.Get()->OnTxPropertyBitsChange(TXTBIT_RICHTEXT, on ? TXTBIT_RICHTEXT : 0);
}

HRESULT CTxtWinHost::SetTransparent(bool on) {
  if (on) {
    flags_ |= kTransparent;
  } else {
    flags_ &= ~kTransparent;
  }
  if (!services_) return E_FAIL;
  return services_.Get()->OnTxPropertyBitsChange(TXTBIT_BACKSTYLECHANGE, 0);
}

bool CTxtWinHost::DoSetCursor(const RECT* rect, POINT pt) {
  const RECT area = rect != nullptr ? *rect : client_;
  if (!::PtInRect(&area, pt)) return false;
  if (!services_) return false;
  const RECT* passed = (flags_ & kInPlaceActive) != 0 && rect == nullptr ? nullptr : &area;
  services_.Get()->OnTxSetCursor(DVASPECT_CONTENT, -1, nullptr, nullptr, PaintDC(), nullptr, passed, pt.x, pt.y);
  return true;
}

// ---- ITextHost

HDC CTxtWinHost::TxGetDC() { return PaintDC(); }

INT CTxtWinHost::TxReleaseDC(HDC) { return 1; }

// The bars named by an engine bar code: vertical, horizontal or both; a bar the
// control does not have is skipped.
template <typename Fn>
void CTxtWinHost::ForEachBar(INT bar, Fn fn) {
  if (control_ == nullptr) return;
  if (bar == SB_VERT || bar == SB_BOTH) {
    if (CScrollBarUI* v = control_->GetVerticalScrollBar(); v != nullptr) fn(v, true);
  }
  if (bar == SB_HORZ || bar == SB_BOTH) {
    if (CScrollBarUI* h = control_->GetHorizontalScrollBar(); h != nullptr) fn(h, false);
  }
}

WINBOOL CTxtWinHost::TxShowScrollBar(INT bar, WINBOOL show) {
  ForEachBar(bar, [show](CScrollBarUI* b, bool) { b->SetVisible(show == 1); });
  return TRUE;
}

WINBOOL CTxtWinHost::TxEnableScrollBar(INT bars, INT arrows) {
  if (control_ == nullptr) return TRUE;
  if (bars == SB_VERT) {
    control_->EnableScrollBar(true, control_->GetHorizontalScrollBar() != nullptr);
  } else if (bars == SB_HORZ) {
    control_->EnableScrollBar(control_->GetVerticalScrollBar() != nullptr, true);
  } else if (bars == SB_BOTH) {
    control_->EnableScrollBar(true, true);
  } else {
    return TRUE;
  }
  ForEachBar(bars, [arrows](CScrollBarUI* b, bool) { b->SetVisible(arrows != ESB_DISABLE_BOTH); });
  return TRUE;
}

WINBOOL CTxtWinHost::TxSetScrollRange(INT bar, LONG min_pos, INT max_pos, WINBOOL) {
  ForEachBar(bar, [this, min_pos, max_pos](CScrollBarUI* b, bool vertical) {
    const LONG page = vertical ? client_.bottom - client_.top : client_.right - client_.left;
    const LONG range = max_pos - min_pos - page;
    if (range > 0) {
      b->SetVisible(true);
      b->SetScrollRange(static_cast<int>(range));
    } else {
      b->SetVisible(false);
    }
  });
  return TRUE;
}

WINBOOL CTxtWinHost::TxSetScrollPos(INT bar, INT pos, WINBOOL) {
  ForEachBar(bar, [pos](CScrollBarUI* b, bool) { b->SetScrollPos(pos); });
  return TRUE;
}

void CTxtWinHost::TxInvalidateRect(LPCRECT rect, WINBOOL) {
  if (control_ == nullptr || control_->GetManager() == nullptr) return;
  control_->GetManager()->InvalidateRect(rect != nullptr ? *rect : client_);
}

void CTxtWinHost::TxViewChange(WINBOOL) {
  if (control_ != nullptr && control_->OnTxViewChanged()) control_->Invalidate();
}

WINBOOL CTxtWinHost::TxCreateCaret(HBITMAP bitmap, INT width, INT height) {
  caret_width_ = width;
  caret_height_ = height;
  return ::CreateCaret(Window(), bitmap, width, height);
}

WINBOOL CTxtWinHost::TxShowCaret(WINBOOL show) {
  if (show) {
    flags_ |= kCaretShown;
  } else {
    flags_ &= ~kCaretShown;
  }
  return show ? ::ShowCaret(Window()) : ::HideCaret(Window());
}

WINBOOL CTxtWinHost::TxSetCaretPos(INT x, INT y) {
  POINT old{};
  ::GetCaretPos(&old);
  const RECT old_rect = CaretRect(old, previous_caret_width_, previous_caret_height_);
  CPaintManagerUI* manager = control_ != nullptr ? control_->GetManager() : nullptr;
  const bool layered = manager != nullptr && manager->IsLayered();
  if (layered) {
    manager->InvalidateRect(old_rect);
  } else if ((flags_ & kFreshCaret) != 0) {
    if (manager != nullptr) manager->InvalidateRect(old_rect);
    flags_ &= ~kFreshCaret;
  }
  const RECT new_rect = CaretRect(POINT{x, y}, caret_width_, caret_height_);
  if (layered) manager->InvalidateRect(new_rect);
  previous_caret_width_ = caret_width_;
  previous_caret_height_ = caret_height_;
  return ::SetCaretPos(x, y);
}

WINBOOL CTxtWinHost::TxSetTimer(UINT id, UINT timeout) {
  flags_ |= kTimerRunning;
  if (control_ == nullptr || control_->GetManager() == nullptr) return FALSE;
  return control_->GetManager()->SetTimer(control_, id, timeout) ? TRUE : FALSE;
}

void CTxtWinHost::TxKillTimer(UINT id) {
  if (control_ != nullptr && control_->GetManager() != nullptr) control_->GetManager()->KillTimer(control_, id);
  flags_ &= ~kTimerRunning;
}

void CTxtWinHost::TxScrollWindowEx(INT, INT, LPCRECT, LPCRECT, HRGN, LPRECT, UINT) {}

void CTxtWinHost::TxSetCapture(WINBOOL capture) {
  if (control_ != nullptr && control_->GetManager() != nullptr) {
    if (capture) {
      control_->GetManager()->SetMouseCapture();
    } else {
      control_->GetManager()->ReleaseMouseCapture();
    }
  }
  if (capture) {
    flags_ |= kCaptured;
  } else {
    flags_ &= ~kCaptured;
  }
}

void CTxtWinHost::TxSetFocus() {
  if (control_ != nullptr) control_->SetFocus();
}

void CTxtWinHost::TxSetCursor(HCURSOR cursor, WINBOOL) { ::SetCursor(cursor); }

WINBOOL CTxtWinHost::TxScreenToClient(LPPOINT pt) { return ::ScreenToClient(Window(), pt); }

WINBOOL CTxtWinHost::TxClientToScreen(LPPOINT pt) { return ::ClientToScreen(Window(), pt); }

HRESULT CTxtWinHost::TxActivate(LONG*) { return S_OK; }

HRESULT CTxtWinHost::TxDeactivate(LONG) { return S_OK; }

HRESULT CTxtWinHost::TxGetClientRect(LPRECT rect) {
  *rect = client_;
  return S_OK;
}

HRESULT CTxtWinHost::TxGetViewInset(LPRECT rect) {
  *rect = RECT{};
  return S_OK;
}

HRESULT CTxtWinHost::TxGetCharFormat(const CHARFORMATW** format) {
  *format = reinterpret_cast<const CHARFORMATW*>(&char_format_);
  return S_OK;
}

HRESULT CTxtWinHost::TxGetParaFormat(const PARAFORMAT** format) {
  *format = reinterpret_cast<const PARAFORMAT*>(&para_format_);
  return S_OK;
}

COLORREF CTxtWinHost::TxGetSysColor(int index) { return ::GetSysColor(index); }

HRESULT CTxtWinHost::TxGetBackStyle(TXTBACKSTYLE* style) {
  *style = (flags_ & kTransparent) != 0 ? TXTBACK_TRANSPARENT : TXTBACK_OPAQUE;
  return S_OK;
}

HRESULT CTxtWinHost::TxGetMaxLength(DWORD* length) {
  *length = static_cast<DWORD>(max_length_);
  return S_OK;
}

HRESULT CTxtWinHost::TxGetScrollBars(DWORD* bars) {
  *bars = style_ & (WS_VSCROLL | WS_HSCROLL | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_DISABLENOSCROLL);
  return S_OK;
}

HRESULT CTxtWinHost::TxGetPasswordChar(TCHAR* ch) {
  *ch = password_char_;
  return S_OK;
}

HRESULT CTxtWinHost::TxGetAcceleratorPos(LONG* pos) {
  *pos = accelerator_pos_;
  return S_OK;
}

HRESULT CTxtWinHost::TxGetExtent(LPSIZEL extent) {
  *extent = extent_;
  return S_OK;
}

HRESULT CTxtWinHost::OnTxCharFormatChange(const CHARFORMATW*) { return S_OK; }

HRESULT CTxtWinHost::OnTxParaFormatChange(const PARAFORMAT*) { return S_OK; }

HRESULT CTxtWinHost::TxGetPropertyBits(DWORD mask, DWORD* bits) {
  DWORD have = 0;
  if (flags_ & kRichText) have |= TXTBIT_RICHTEXT;
  if (style_ & ES_MULTILINE) have |= TXTBIT_MULTILINE;
  if (style_ & ES_READONLY) have |= TXTBIT_READONLY;
  if (style_ & ES_PASSWORD) have |= TXTBIT_USEPASSWORD;
  if ((style_ & ES_NOHIDESEL) == 0) have |= TXTBIT_HIDESELECTION;
  if (flags_ & kWordWrap) have |= TXTBIT_WORDWRAP;
  if (flags_ & kAutoWordSelect) have |= TXTBIT_AUTOWORDSEL;
  if (flags_ & kAllowBeep) have |= TXTBIT_ALLOWBEEP;
  if (flags_ & kSaveSelection) have |= TXTBIT_SAVESELECTION;
  *bits = mask & have;
  return S_OK;
}

HRESULT CTxtWinHost::TxNotify(DWORD code, void* data) {
  if (code == EN_REQUESTRESIZE) {
    const auto* request = static_cast<const REQRESIZE*>(data);
    if (request != nullptr) {
      RECT rc = client_;
      rc.right = rc.left + request->rc.right;
      rc.bottom = rc.top + request->rc.bottom;
      SetClientRect(rc);
    }
    return S_OK;
  }
  if (control_ != nullptr) control_->OnTxNotify(code, data);
  return S_OK;
}

HIMC CTxtWinHost::TxImmGetContext() { return nullptr; }

void CTxtWinHost::TxImmReleaseContext(HIMC) {}

HRESULT CTxtWinHost::TxGetSelectionBarWidth(LONG* width) {
  *width = selection_bar_width_;
  return S_OK;
}

}  // namespace SkinUI
