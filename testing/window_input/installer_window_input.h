// Drives the installer's skinned windows from another process as a user
// would: the windows are found by their class, and a click is the pointer
// moved onto the control and the button pressed and let go there. The
// installer's controls are no native windows, so their places are the skins'
// (at 100 % scale, in client coordinates of the window that holds them).
#pragma once

#include <windows.h>

#include <chrono>
#include <thread>

namespace window_input {

// The main window (zephri_install_ui.xml): the start card's row, the custom
// card's options, and the title bar's close button.
inline constexpr wchar_t kMainWindowClass[] = L"zephris_install";
inline constexpr POINT kAuthorizeOption{40, 438};
inline constexpr POINT kExpandButton{530, 439};
inline constexpr POINT kInstallButton{332, 305};  // the complete button stands in its place
inline constexpr POINT kStartMenuOption{40, 546};
inline constexpr POINT kDesktopLinkOption{192, 546};
inline constexpr POINT kAutoStartOption{358, 546};
inline constexpr POINT kCloseButton{646, 24};

// The message box (zephri_install_messagebox.xml) with both buttons.
inline constexpr wchar_t kMessageBoxClass[] = L"zephris_install_messagebox";
inline constexpr POINT kBoxConfirmButton{272, 184};
inline constexpr POINT kBoxCancelButton{392, 184};
inline constexpr POINT kBoxCloseButton{440, 24};

// A visible top-level window of the class; of that process only when
// `process_id` is not 0.
HWND FindVisibleWindow(const wchar_t* window_class, DWORD process_id = 0);

// Moves the pointer onto `client` of the window (the control under it turns
// hot), then presses and lets go of the left button; the window is brought
// to the foreground first. The window has a moment to handle each step.
void Click(HWND window, POINT client);

// Polls `done` every 100 ms until it holds (true) or `limit` has passed.
template <class Predicate>
bool WaitFor(Predicate done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return true;
}

}  // namespace window_input
