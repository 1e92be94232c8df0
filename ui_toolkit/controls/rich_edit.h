// The windowless multi-line editor: a container whose text, caret, selection,
// undo, clipboard and IME work are done by the platform's RichEdit engine
// through a CTxtWinHost. The control feeds the engine the window's raw
// messages through its message filter, draws it inside the paint pass and
// turns its notifications into "return" and "textchanged".
#pragma once

#include <windows.h>
#include <richedit.h>

#include <cstdint>

#include "ui_toolkit/core/container.h"
#include "ui_toolkit/core/notify.h"

namespace SkinUI {

class CTxtWinHost;

class CRichEditUI : public CContainerUI, public IMessageFilterUI {
 public:
  // Context-menu command ids.
  enum : UINT {
    kMenuUndo = 101,
    kMenuCut = 102,
    kMenuCopy = 103,
    kMenuPaste = 104,
    kMenuClear = 105,
    kMenuSelectAll = 106,
    kMenuRedo = 107,
  };
  static constexpr UINT kCaretTimerId = 20;

  CRichEditUI();
  ~CRichEditUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  UINT GetControlFlags() const override;
  CUiString GetText() const override;
  void SetText(const wchar_t* text) override;
  void SetPos(RECT rc, bool invalidate = true) override;
  void MoveBy(SIZE delta, bool invalidate = true) override;
  void SetEnabled(bool enabled = true) override;
  void OnInitialize() override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  bool PaintContent(HDC dc, const RECT& paint, CControlUI* stop) override;
  void PaintStateImage(HDC dc) override;

  // Scrolling is the engine's: the bars follow what it reports, and these
  // steps reach it as scroll messages.
  void SetScrollPos(SIZE pos, bool notify = true) override;
  void LineUp() override;
  void LineDown() override;
  void PageUp() override;
  void PageDown() override;
  void HomeUp() override;
  void EndDown() override;
  void LineLeft() override;
  void LineRight() override;
  void PageLeft() override;
  void PageRight() override;
  void HomeLeft() override;
  void EndRight() override;

  virtual HRESULT TxSendMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) const;
  virtual bool OnTxViewChanged();
  virtual LRESULT OnTxNotify(DWORD code, void* data);

  // IMessageFilterUI
  LRESULT MessageHandler(UINT message, WPARAM wparam, LPARAM lparam, bool& handled) override;

  // ---- engine access
  long GetTextLength(DWORD flags = GTL_DEFAULT) const;
  LRESULT SetSel(long start, long end);
  LRESULT SetSelAll();
  void GetSel(long* start, long* end) const;
  void ReplaceSel(const wchar_t* text, bool can_undo);
  WORD GetSelectionType() const;
  bool CanUndo();
  bool CanRedo();
  bool Undo();
  bool Redo();
  void Cut();
  void Copy();
  void Paste();
  void Clear();

  // ---- settings
  DWORD GetTextColor() const { return text_color_; }
  void SetTextColor(DWORD color);
  int GetFont() const { return font_; }
  void SetFont(int index);
  int GetLimitText() const { return max_chars_; }
  void SetLimitText(int max);
  bool IsRich() const { return rich_; }
  void SetRich(bool on);
  void SetTransparent(bool on);
  bool IsMultiLine() const { return (style_ & ES_MULTILINE) != 0; }
  void SetMultiLine(bool on);
  bool IsReadOnly() const { return read_only_; }
  bool IsWantTab() const { return want_tab_; }
  void SetWantTab(bool on) { want_tab_ = on; }
  bool IsWantReturn() const { return want_return_; }
  void SetWantReturn(bool on) { want_return_ = on; }
  bool IsWantCtrlReturn() const { return want_ctrl_return_; }
  void SetWantCtrlReturn(bool on) { want_ctrl_return_ = on; }
  RECT GetTextPadding() const;
  void SetTextPadding(RECT rc);
  const CUiString& GetTipValue() const { return tip_value_; }
  void SetTipValue(const wchar_t* text);
  DWORD GetTipValueColor() const { return tip_color_; }
  void SetTipValueColor(const wchar_t* text);
  UINT GetTipValueAlign() const { return tip_style_; }
  void SetNormalImage(const wchar_t* description);
  void SetHotImage(const wchar_t* description);
  void SetFocusedImage(const wchar_t* description);
  void SetDisabledImage(const wchar_t* description);
  DWORD GetStyle() const { return style_; }
  std::uint32_t GetState() const { return state_; }
  bool IsVerticalBarSelfShown() const { return self_shown_vbar_; }

  CTxtWinHost* GetTextHost() const { return host_; }
  // The context menu as the control would show it now (the caller destroys it).
  HMENU BuildContextMenu();

 private:
  // The position less the scaled inset, bars not taken off.
  RECT InsetRect() const;
  // Natural text height for |width| pixels, or -1 when the engine cannot say.
  LONG NaturalHeight(LONG width) const;
  bool HostClaimsPoint(UINT message, WPARAM wparam, LPARAM lparam) const;
  void PaintCaret(HDC dc);
  void BlinkCaret();

  CTxtWinHost* host_ = nullptr;
  bool self_shown_vbar_ = false;
  bool want_tab_ = true;
  bool want_return_ = true;
  bool want_ctrl_return_ = true;
  bool transparent_ = true;
  bool rich_ = true;
  bool read_only_ = false;
  DWORD text_color_ = 0;
  int font_ = -1;
  int max_chars_ = 32767;
  DWORD style_ = ES_MULTILINE;
  bool caret_phase_ = true;
  bool initialised_ = false;
  RECT text_inset_{};
  std::uint32_t state_ = 0;
  CUiString normal_image_;
  CUiString hot_image_;
  CUiString focused_image_;
  CUiString disabled_image_;
  CUiString tip_value_;
  DWORD tip_color_ = 0xFFBAC0C5;
  UINT tip_style_ = DT_SINGLELINE;
};

}  // namespace SkinUI
