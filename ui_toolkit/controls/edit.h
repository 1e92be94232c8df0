// The single-line text input: a label that paints its own text (or a grey
// tip while empty) and, only while it has the keyboard focus, lays a native
// edit window over its text area that writes every change back.
#pragma once

#include "ui_toolkit/controls/label.h"
#include "ui_toolkit/core/window_wnd.h"

namespace SkinUI {

class CEditUI;

class CEditWnd : public CWindowWnd {
  friend class CEditUI;

 public:
  CEditWnd() = default;
  ~CEditWnd() override;

  void Init(CEditUI* owner);
  RECT CalcPos();

 protected:
  const wchar_t* GetWindowClassName() const override { return L"EditWnd"; }
  const wchar_t* GetSuperClassName() const override { return L"Edit"; }
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnFinalMessage(HWND hwnd) override;

 private:
  void OnEditChanged();
  LRESULT OnCtlColor(HDC dc);

  CEditUI* owner_ = nullptr;
  HBRUSH brush_ = nullptr;
  bool initialised_ = false;
};

class CEditUI : public CLabelUI {
  friend class CEditWnd;

 public:
  CEditUI();
  ~CEditUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  UINT GetControlFlags() const override;
  void SetText(const wchar_t* text) override;
  void SetPos(RECT rc, bool invalidate = true) override;
  void MoveBy(SIZE delta, bool invalidate = true) override;
  void SetVisible(bool visible = true) override;
  void SetVisibleByParent(bool visible) override;
  void SetEnabled(bool enabled = true) override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  SIZE MeasureSize(SIZE available) override;
  void PaintStateImage(HDC dc) override;
  void PaintText(HDC dc) override;

  void SetMaxChar(UINT max);
  UINT GetMaxChar() const { return max_char_; }
  void SetReadOnly(bool on);
  bool IsReadOnly() const { return read_only_; }
  void SetPasswordMode(bool on);
  bool IsPasswordMode() const { return password_; }
  void SetPasswordChar(wchar_t ch);
  wchar_t GetPasswordChar() const { return password_char_; }
  void SetNumberOnly(bool on);
  bool IsNumberOnly() const { return (window_styles_ & ES_NUMBER) != 0; }
  void SetAutoSelAll(bool on) { auto_sel_all_ = on; }
  bool IsAutoSelAll() const { return auto_sel_all_; }
  void SetTipValue(const wchar_t* text) { tip_ = text; }
  CUiString GetTipValue() const;
  void SetTipValueColor(DWORD color) { tip_color_ = color; }
  DWORD GetTipValueColor() const { return tip_color_; }
  void SetNativeBkColor(DWORD color) { native_bk_color_ = color; }
  DWORD GetNativeBkColor() const { return native_bk_color_; }
  void SetNativeTextColor(DWORD color) { native_text_color_ = color; }
  void SetNormalImage(const wchar_t* d);
  void SetHotImage(const wchar_t* d);
  void SetFocusedImage(const wchar_t* d);
  void SetDisabledImage(const wchar_t* d);
  UINT GetWindowStyles() const { return window_styles_; }
  HWND GetNativeWindow() const { return window_ != nullptr ? window_->GetWindowHandle() : nullptr; }

 private:
  void OpenWindow();

  CEditWnd* window_ = nullptr;
  UINT max_char_ = 255;
  bool read_only_ = false;
  bool password_ = false;
  bool auto_sel_all_ = false;
  wchar_t password_char_ = L'*';
  UINT state_ = 0;
  CUiString normal_image_;
  CUiString hot_image_;
  CUiString focused_image_;
  CUiString disabled_image_;
  CUiString tip_;
  DWORD tip_color_ = 0xFFBAC0C5;
  DWORD native_bk_color_ = 0xFFFFFFFF;
  DWORD native_text_color_ = 0;
  UINT window_styles_ = 0;
};

}  // namespace SkinUI
