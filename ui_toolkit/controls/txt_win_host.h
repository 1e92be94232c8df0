// The text host that lets the platform's windowless RichEdit engine
// (ITextServices from Msftedit.dll) live inside one CRichEditUI: it answers
// the engine's questions about device context, rectangles, formats, caret,
// timers and capture through the owning control and its paint manager.
#pragma once

#include <windows.h>
#include <richedit.h>
#include <textserv.h>

#include "base/scoped_handle.h"

namespace SkinUI {

class CRichEditUI;

// mingw-w64 declares these identifiers without defining them.
extern const IID kIidTextServices;
extern const IID kIidTextHost;

class CTxtWinHost : public ITextHost {
 public:
  CTxtWinHost();
  CTxtWinHost(const CTxtWinHost&) = delete;
  CTxtWinHost& operator=(const CTxtWinHost&) = delete;

  bool Init(CRichEditUI* control, const CREATESTRUCTW* create);

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // ITextHost
  HDC TxGetDC() override;
  INT TxReleaseDC(HDC dc) override;
  WINBOOL TxShowScrollBar(INT bar, WINBOOL show) override;
  WINBOOL TxEnableScrollBar(INT bars, INT arrows) override;
  WINBOOL TxSetScrollRange(INT bar, LONG min_pos, INT max_pos, WINBOOL redraw) override;
  WINBOOL TxSetScrollPos(INT bar, INT pos, WINBOOL redraw) override;
  void TxInvalidateRect(LPCRECT rect, WINBOOL mode) override;
  void TxViewChange(WINBOOL update) override;
  WINBOOL TxCreateCaret(HBITMAP bitmap, INT width, INT height) override;
  WINBOOL TxShowCaret(WINBOOL show) override;
  WINBOOL TxSetCaretPos(INT x, INT y) override;
  WINBOOL TxSetTimer(UINT id, UINT timeout) override;
  void TxKillTimer(UINT id) override;
  void TxScrollWindowEx(INT dx, INT dy, LPCRECT scroll, LPCRECT clip, HRGN update_region, LPRECT update,
                        UINT flags) override;
  void TxSetCapture(WINBOOL capture) override;
  void TxSetFocus() override;
  void TxSetCursor(HCURSOR cursor, WINBOOL text) override;
  WINBOOL TxScreenToClient(LPPOINT pt) override;
  WINBOOL TxClientToScreen(LPPOINT pt) override;
  HRESULT TxActivate(LONG* old_state) override;
  HRESULT TxDeactivate(LONG new_state) override;
  HRESULT TxGetClientRect(LPRECT rect) override;
  HRESULT TxGetViewInset(LPRECT rect) override;
  HRESULT TxGetCharFormat(const CHARFORMATW** format) override;
  HRESULT TxGetParaFormat(const PARAFORMAT** format) override;
  COLORREF TxGetSysColor(int index) override;
  HRESULT TxGetBackStyle(TXTBACKSTYLE* style) override;
  HRESULT TxGetMaxLength(DWORD* length) override;
  HRESULT TxGetScrollBars(DWORD* bars) override;
  HRESULT TxGetPasswordChar(TCHAR* ch) override;
  HRESULT TxGetAcceleratorPos(LONG* pos) override;
  HRESULT TxGetExtent(LPSIZEL extent) override;
  HRESULT OnTxCharFormatChange(const CHARFORMATW* format) override;
  HRESULT OnTxParaFormatChange(const PARAFORMAT* format) override;
  HRESULT TxGetPropertyBits(DWORD mask, DWORD* bits) override;
  HRESULT TxNotify(DWORD code, void* data) override;
  HIMC TxImmGetContext() override;
  void TxImmReleaseContext(HIMC context) override;
  HRESULT TxGetSelectionBarWidth(LONG* width) override;

  // Set-up by the control.
  HRESULT Activate(const RECT* rect);
  void SetClientRect(const RECT& rect);
  RECT GetControlRect() const { return client_; }
  HRESULT SetColor(DWORD argb);
  HRESULT SetFont(HFONT font);
  HRESULT SetMaxLength(LONG length);
  HRESULT SetRichTextFlag(bool on);
  HRESULT SetTransparent(bool on);
  bool DoSetCursor(const RECT* rect, POINT pt);
  void NeedFreshCaret() { flags_ |= kFreshCaret; }
  // The control is going away: the engine is let go now, and any reference the
  // engine or a caller still holds finds a host that no longer reaches it.
  void Detach();

  bool IsCaptured() const { return (flags_ & kCaptured) != 0; }
  bool IsShowCaret() const { return (flags_ & kCaretShown) != 0; }
  int GetCaretWidth() const { return caret_width_; }
  int GetCaretHeight() const { return caret_height_; }
  LONG GetMaxLength() const { return max_length_; }
  DWORD GetStyle() const { return style_; }
  bool IsTransparent() const { return (flags_ & kTransparent) != 0; }
  bool IsWordWrap() const { return (flags_ & kWordWrap) != 0; }
  const CHARFORMAT2W& GetCharFormat() const { return char_format_; }
  const PARAFORMAT2& GetParaFormat() const { return para_format_; }
  SIZEL GetExtent() const { return extent_; }
  ITextServices* GetTextServices() const { return services_.Get(); }

  enum : DWORD {
    kAutoWordSelect = 0x1,
    kWordWrap = 0x2,
    kAllowBeep = 0x4,
    kRichText = 0x8,
    kSaveSelection = 0x10,
    kInPlaceActive = 0x20,
    kTransparent = 0x40,
    kTimerRunning = 0x80,
    kCaptured = 0x100,
    kCaretShown = 0x200,
    kFreshCaret = 0x400,
  };

 private:
  virtual ~CTxtWinHost();
  template <typename Fn>
  void ForEachBar(INT bar, Fn fn);
  HDC PaintDC() const;
  HWND Window() const;

  CRichEditUI* control_ = nullptr;
  ULONG refs_ = 0;
  base::ScopedComPtr<ITextServices> services_;
  DWORD style_ = 0;
  DWORD flags_ = 0;
  int caret_width_ = 0;
  int caret_height_ = 0;
  int previous_caret_width_ = 0;
  int previous_caret_height_ = 0;
  LONG selection_bar_width_ = 0;
  LONG max_length_ = 32767;
  RECT client_{};
  SIZEL extent_{};
  CHARFORMAT2W char_format_{};
  PARAFORMAT2 para_format_{};
  LONG accelerator_pos_ = -1;
  wchar_t password_char_ = 0;
};

// Makes a host for |control| (one reference, owned by the caller) or leaves
// |out| empty when the engine cannot be had.
void CreateTextHost(CRichEditUI* control, const CREATESTRUCTW* create, CTxtWinHost** out);

// Where a caret of that size at |at| is drawn.
RECT CaretRect(POINT at, int width, int height);

HRESULT InitDefaultCharFormat(CRichEditUI* control, CHARFORMAT2W* format, HFONT font);
HRESULT InitDefaultParaFormat(CRichEditUI* control, PARAFORMAT2* format);

}  // namespace SkinUI
