// A label that keeps a date and time and, while it has the keyboard focus,
// lays the native date-time picker over itself; every change in the picker
// is written back into the label's text, and Escape restores the time it
// had when the picker opened.
#pragma once

#include "ui_toolkit/controls/label.h"
#include "ui_toolkit/core/window_wnd.h"

namespace SkinUI {

class CDateTimeUI;

class CDateTimeWnd : public CWindowWnd {
  friend class CDateTimeUI;

 public:
  CDateTimeWnd() = default;
  ~CDateTimeWnd() override;

  void Init(CDateTimeUI* owner);
  RECT CalcPos() const;

 protected:
  const wchar_t* GetWindowClassName() const override { return L"DateTimeWnd"; }
  const wchar_t* GetSuperClassName() const override;
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnFinalMessage(HWND hwnd) override;

 private:
  void ReadTime();

  CDateTimeUI* owner_ = nullptr;
  HBRUSH brush_ = nullptr;
  bool initialised_ = false;
  bool dropped_down_ = false;
  SYSTEMTIME saved_{};
};

class CDateTimeUI : public CLabelUI {
  friend class CDateTimeWnd;

 public:
  CDateTimeUI();
  ~CDateTimeUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  UINT GetControlFlags() const override;
  void SetPos(RECT rc, bool invalidate = true) override;
  void HandleEvent(ControlEventUI& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;

  const SYSTEMTIME& GetTime() const { return time_; }
  // Stores |time| and shows it.
  void SetTime(const SYSTEMTIME& time);
  void SetTimeFormat(const wchar_t* format);
  const CUiString& GetTimeFormat() const { return format_; }
  void SetReadOnly(bool on);
  bool IsReadOnly() const { return read_only_; }
  // Rebuilds the text from the time by the format.
  void UpdateText();
  HWND GetNativeWindow() const { return window_ != nullptr ? window_->GetWindowHandle() : nullptr; }

 private:
  void OpenWindow();

  SYSTEMTIME time_{};
  bool read_only_ = false;
  CUiString format_{L"yyyy-MM-dd HH:mm:ss"};
  CDateTimeWnd* window_ = nullptr;
};

}  // namespace SkinUI
