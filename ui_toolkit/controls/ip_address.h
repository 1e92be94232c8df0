// A label that keeps an IPv4 address and, while it has the keyboard focus,
// shows the native IP-address field over itself. Leaving the field writes
// the address back; Backspace or Delete empties the label, Escape leaves it.
#pragma once

#include <cstdint>

#include "ui_toolkit/controls/label.h"
#include "ui_toolkit/core/window_wnd.h"

namespace SkinUI {

class CIPAddressUI;

// The first IPv4 address of this machine's name, first octet in the high
// byte; 0 when it cannot be found.
std::uint32_t GetLocalIpAddress();

class CIPAddressWnd : public CWindowWnd {
  friend class CIPAddressUI;

 public:
  CIPAddressWnd() = default;
  ~CIPAddressWnd() override;

  void Init(CIPAddressUI* owner);

 protected:
  const wchar_t* GetWindowClassName() const override { return L"IPAddressWnd"; }
  const wchar_t* GetSuperClassName() const override;
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnFinalMessage(HWND hwnd) override;

 private:
  void OnKillFocus();
  void HookFields();
  static LRESULT CALLBACK FieldProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                    DWORD_PTR data);

  CIPAddressUI* owner_ = nullptr;
  HBRUSH brush_ = nullptr;
  bool initialised_ = false;
};

class CIPAddressUI : public CLabelUI {
  friend class CIPAddressWnd;

 public:
  enum UpdateMode : int { kKeep = 0, kRebuild = 1, kEmpty = 2, kCancelled = 3 };

  CIPAddressUI();
  ~CIPAddressUI() override;

  const wchar_t* GetClassName() const override;
  void* QueryInterfaceByName(const wchar_t* name) override;
  UINT GetControlFlags() const override;
  void HandleEvent(ControlEventUI& event) override;

  std::uint32_t GetIP() const { return address_; }
  // Stores |address| (first octet in the high byte) and shows it.
  void SetIP(std::uint32_t address);
  // Applies the update mode to the text.
  void UpdateText();
  HWND GetNativeWindow() const { return window_ != nullptr ? window_->GetWindowHandle() : nullptr; }

 private:
  void OpenWindow();

  std::uint32_t address_ = 0;
  int update_mode_ = kRebuild;
  CIPAddressWnd* window_ = nullptr;
};

}  // namespace SkinUI
