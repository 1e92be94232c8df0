// What the paint manager hands to one control (ControlEventUI) and what a
// control reports to the window (NotifyMsgUI), with the one-operation
// interfaces of the window's receivers and filters.
#pragma once

#include <windows.h>

#include <cstdint>

#include "ui_toolkit/core/ui_string.h"

namespace SkinUI {

class CControlUI;

enum ControlEventTypeUI : int {
  UIEVENT__FIRST = 1,
  UIEVENT__KEYBEGIN = 2,
  UIEVENT_KEYDOWN = 3,
  UIEVENT_KEYUP = 4,
  UIEVENT_CHAR = 5,
  UIEVENT_SYSKEY = 6,
  UIEVENT__KEYEND = 7,
  UIEVENT__MOUSEBEGIN = 8,
  UIEVENT_MOUSEMOVE = 9,
  UIEVENT_MOUSELEAVE = 10,
  UIEVENT_MOUSEENTER = 11,
  UIEVENT_MOUSEHOVER = 12,
  UIEVENT_BUTTONDOWN = 13,
  UIEVENT_BUTTONUP = 14,
  UIEVENT_RBUTTONDOWN = 15,
  UIEVENT_RBUTTONUP = 16,
  UIEVENT_MBUTTONDOWN = 17,
  UIEVENT_MBUTTONUP = 18,
  UIEVENT_DBLCLICK = 19,
  UIEVENT_CONTEXTMENU = 20,
  UIEVENT_SCROLLWHEEL = 21,
  UIEVENT__MOUSEEND = 22,
  UIEVENT_KILLFOCUS = 23,
  UIEVENT_SETFOCUS = 24,
  UIEVENT_WINDOWSIZE = 25,
  UIEVENT_SETCURSOR = 26,
  UIEVENT_TIMER = 27,
};

inline bool IsMouseEvent(int type) { return type > UIEVENT__MOUSEBEGIN && type < UIEVENT__MOUSEEND; }

// Control state bits shared by every skinned control and control part.
enum : std::uint32_t {
  UISTATE_FOCUSED = 0x01,
  UISTATE_SELECTED = 0x02,
  UISTATE_DISABLED = 0x04,
  UISTATE_HOT = 0x08,
  UISTATE_PUSHED = 0x10,
  UISTATE_CAPTURED = 0x40,
};

// Key state bits (GetKeyStateBits).
enum : std::uint16_t {
  UIKEYSTATE_LBUTTON = 0x01,
  UIKEYSTATE_RBUTTON = 0x02,
  UIKEYSTATE_SHIFT = 0x04,
  UIKEYSTATE_CONTROL = 0x08,
  UIKEYSTATE_ALT = 0x20,
};

struct ControlEventUI {
  int Type = 0;
  CControlUI* pSender = nullptr;
  DWORD dwTimestamp = 0;
  POINT ptMouse{};
  wchar_t chKey = 0;
  std::uint16_t wKeyState = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

struct NotifyMsgUI {
  CUiString sType;
  CUiString sVirtualWnd;
  CControlUI* pSender = nullptr;
  DWORD dwTimestamp = 0;
  POINT ptMouse{};
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

class INotifyUI {
 public:
  virtual void Notify(NotifyMsgUI& msg) = 0;

 protected:
  ~INotifyUI() = default;
};

class IMessageFilterUI {
 public:
  virtual LRESULT MessageHandler(UINT message, WPARAM wparam, LPARAM lparam, bool& handled) = 0;

 protected:
  ~IMessageFilterUI() = default;
};

class ITranslateAccelerator {
 public:
  // 0 means the message was handled.
  virtual LRESULT TranslateAccelerator(MSG* msg) = 0;

 protected:
  ~ITranslateAccelerator() = default;
};

}  // namespace SkinUI
