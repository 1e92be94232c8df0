// A skinned window for tests: built from a skin text or file, it records the
// notifications it receives, and the helpers pump its messages, send it real
// input and read its pixels from the paint manager's off-screen bitmap.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui_toolkit/core/window_impl_base.h"

namespace SkinUI::testing {

struct SeenNotify {
  std::wstring type;
  std::wstring sender;
  WPARAM wparam = 0;
  LPARAM lparam = 0;
};

class SkinWindow : public WindowImplBase {
 public:
  explicit SkinWindow(std::wstring skin, int scale = 100);
  ~SkinWindow() override;

  // Creates the window (the skin is built in WM_CREATE), shows it without
  // activation and lets it paint once. False when the window could not be made.
  bool Open(bool activate = false);
  void Destroy();

  void Notify(NotifyMsgUI& msg) override;
  const std::vector<SeenNotify>& Seen() const { return seen_; }
  void ClearSeen() { seen_.clear(); }
  std::vector<std::wstring> SeenTypes(const wchar_t* sender = nullptr) const;

  CControlUI* Find(const wchar_t* name) { return paint_manager_.FindControlByName(name); }
  HWND Hwnd() const { return GetWindowHandle(); }

  // Paints what is invalid now (WM_PAINT through UpdateWindow).
  void Paint();
  // The window's pixels as 0xAARRGGBB, top-down, from the off-screen bitmap.
  std::vector<std::uint32_t> Pixels(int* width, int* height);
  std::uint32_t PixelAt(int x, int y);

  // Real input, sent as the system would deliver it to the window.
  void MouseMove(int x, int y);
  void Click(int x, int y);
  void MouseDown(int x, int y);
  void MouseUp(int x, int y);
  void Key(WPARAM vk);

  int close_code = -1;
  std::function<void(NotifyMsgUI&)> on_notify;

 protected:
  const wchar_t* GetWindowClassName() const override { return L"QlSkinTestWindow"; }
  CUiString GetSkinFile() override { return CUiString(skin_.c_str()); }

 private:
  std::wstring skin_;
  int scale_;
  std::vector<SeenNotify> seen_;
};

// For test messages.
inline std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}

// Dispatches queued messages of this thread for |ms| milliseconds, or until
// |done| answers true.
void PumpFor(int ms);
bool PumpUntil(const std::function<bool()>& done, int timeout_ms = 5000);

}  // namespace SkinUI::testing
