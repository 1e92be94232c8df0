// A keyboard-shortcut field: a label that shows the shortcut as the system's
// key names ("Ctrl + Shift + K") and, while focused, lays a native hot-key
// window over its text area that writes every change back.
#pragma once

#include "ui_toolkit/controls/label.h"
#include "ui_toolkit/core/window_wnd.h"

namespace SkinUI {

class CHotKeyUI;

class CHotKeyWnd : public CWindowWnd {
  friend class CHotKeyUI;

 public:
  CHotKeyWnd() = default;
  ~CHotKeyWnd() override;
  void Init(CHotKeyUI* owner);
  RECT CalcPos();
  void SetHotKey(WORD key, WORD modifiers);
  void GetHotKey(WORD& key, WORD& modifiers) const;
  // The shortcut as the system names its keys; empty for no key and no modifier.
  static CUiString GetHotKeyName(WORD key, WORD modifiers);

 protected:
  const wchar_t* GetWindowClassName() const override { return L"HotKeyWnd"; }
  const wchar_t* GetSuperClassName() const override { return L"msctls_hotkey32"; }
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnFinalMessage(HWND hwnd) override;

 private:
  void OnHotKeyChanged();
  void PaintField();

  CHotKeyUI* owner_ = nullptr;
  HBRUSH brush_ = nullptr;
  bool initialised_ = false;
};

class CHotKeyUI : public CLabelUI {
  friend class CHotKeyWnd;

 public:
  CHotKeyUI();
  ~CHotKeyUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  UINT GetControlFlags() const override;
  void SetText(const wchar_t* text) override;
  void SetVisible(bool visible = true) override;
  void SetVisibleByParent(bool visible) override;
  void SetEnabled(bool enabled = true) override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  SIZE MeasureSize(SIZE available) override;
  void PaintStateImage(HDC dc) override;
  void PaintText(HDC dc) override;

  void SetHotKey(WORD key, WORD modifiers);
  WORD GetKey() const { return key_; }
  WORD GetModifiers() const { return modifiers_; }
  UINT GetState() const { return state_; }
  DWORD GetNativeBkColor() const { return native_bk_color_; }
  HWND GetNativeWindow() const { return window_ != nullptr ? window_->GetWindowHandle() : nullptr; }

 private:
  void OpenWindow();

  CHotKeyWnd* window_ = nullptr;
  UINT state_ = 0;
  CUiString normal_image_;
  CUiString hot_image_;
  CUiString focused_image_;
  CUiString disabled_image_;
  DWORD native_bk_color_ = 0xFFFFFFFF;
  WORD key_ = 0;
  WORD modifiers_ = 0;
};

}  // namespace SkinUI
