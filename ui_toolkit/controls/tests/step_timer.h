// Delivers one timer tick to a control the way the paint manager does on
// WM_TIMER, so tests step animations and repeat timers without waiting.
#pragma once

#include "ui_toolkit/core/control.h"
#include "ui_toolkit/core/notify.h"

namespace SkinUI::testing {

inline void StepTimer(CControlUI* control, UINT id, int times = 1) {
  for (int i = 0; i < times; ++i) {
    ControlEventUI event{};
    event.Type = UIEVENT_TIMER;
    event.pSender = control;
    event.wParam = id;
    control->DispatchEvent(event);
  }
}

}  // namespace SkinUI::testing
