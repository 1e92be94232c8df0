// The rig of the window tests: a layout of the main window's controls in a
// skin zip of the test's own (only what the code looks up, placed so that
// every control can be clicked), boxes that answer as the case says, and a
// window whose modal loop runs on a thread of its own while the case drives
// it with real mouse input and reads it on its thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "src/zephris_install/src/wrapper/install_ui/install_window.h"
#include "src/zephris_install/src/wrapper/install_ui/sdk_window.h"
#include "ui_toolkit/core/dpi_helper.h"

namespace window_rig {

// Puts the fixture skin zip in place for the process's windows.
void UseFixtureSkin();

struct BoxCall {
  std::string card;
  std::string source_card;
  std::wstring title;
  std::wstring content;
  std::wstring confirm;
  std::wstring cancel;
};

class FakeBoxes : public InstallBoxes {
 public:
  MessageBoxResult ShowMessageBox(HWND parent, const std::string& card_id, const std::string& source_card_id,
                     const std::wstring& title, const std::wstring& content, const data::TikoGroupConfig& group,
                     const std::wstring& confirm_text, const std::wstring& cancel_text) override;
  MessageBoxResult ShowFeedbackBox(HWND parent, const std::string& source_card_id,
                                   const data::TikoGroupConfig& group) override;

  // The answers of the next boxes, in order; kMessageBoxCancel when none is left.
  void Answer(std::vector<int> answers);
  std::vector<BoxCall> Calls();

 private:
  std::mutex mutex_;
  std::deque<int> answers_;
  std::vector<BoxCall> calls_;
};

inline constexpr UINT kMsgRun = WM_APP + 77;

// A window that runs the rig's closures on its thread and finds controls.
template <class Window>
class Testable : public Window {
 public:
  void HandleInstallMessage(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override {
    if (message == kMsgRun) {
      (*reinterpret_cast<const std::function<void()>*>(wparam))();
      handled = TRUE;
      return;
    }
    Window::HandleInstallMessage(message, wparam, lparam, handled);
  }
  SkinUI::CControlUI* Find(const wchar_t* name) { return this->paint_manager_.FindControlByName(name); }
  // Before the window is made: its scale in percent.
  void SetScale(int percent) {
    this->paint_manager_.GetDpiHelper()->SetScaleFromDpi(::MulDiv(96, percent, 100));
  }
  // Window thread: the pixels as last painted, 0xAARRGGBB top-down.
  std::vector<std::uint32_t> Pixels(int* width, int* height) {
    ::UpdateWindow(this->GetWindowHandle());
    const SIZE size = this->paint_manager_.GetOffscreenSize();
    const DWORD* bits = this->paint_manager_.GetOffscreenPixels();
    *width = size.cx;
    *height = size.cy;
    if (bits == nullptr) return {};
    return std::vector<std::uint32_t>(bits, bits + static_cast<size_t>(size.cx) * size.cy);
  }
};
using TestWindow = Testable<InstallWindow>;

// One window on its own UI thread.
class WindowRun {
 public:
  template <class Window>
  explicit WindowRun(std::shared_ptr<Testable<Window>> window)
      : window_(window), find_([raw = window.get()](const wchar_t* name) { return raw->Find(name); }) {}
  // Closes a window still open and waits for `Exec` to return.
  ~WindowRun();

  // Runs Exec on the UI thread; true once the window exists.
  bool Start();
  // True once Exec has returned (waits up to `ms`).
  bool WaitExit(int ms = 10000);
  bool exited() const;

  // Runs `fn` on the UI thread and waits for it.
  void OnUi(const std::function<void()>& fn);
  // Clicks the centre of the named control as the mouse would.
  bool Click(const wchar_t* name);
  // Waits until `done` (run on the UI thread) holds.
  bool WaitUi(const std::function<bool()>& done, int ms = 10000);

  std::wstring Text(const wchar_t* name);
  bool Visible(const wchar_t* name);
  bool Enabled(const wchar_t* name);
  std::wstring BackgroundImage(const wchar_t* name);
  SIZE ClientSize();

  HWND hwnd() const { return hwnd_; }

 private:
  std::shared_ptr<InstallUI> window_;
  std::function<SkinUI::CControlUI*(const wchar_t*)> find_;
  HWND hwnd_ = nullptr;
  std::thread ui_;
  std::shared_ptr<std::atomic<bool>> done_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace window_rig
