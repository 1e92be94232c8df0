// Shared helpers of the further controls' tests: golden comparison of a
// window's pixels and timer events delivered by the test itself.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui_toolkit/core/control.h"
#include "ui_toolkit/core/tests/golden_image.h"
#include "ui_toolkit/core/tests/skin_window.h"

namespace SkinUI::testing {

inline void ExpectGolden(SkinWindow& w, const std::string& name) {
  int width = 0;
  int height = 0;
  const auto pixels = w.Pixels(&width, &height);
  ASSERT_FALSE(pixels.empty());
  const auto result = MatchGolden(name, pixels, width, height, false);
  EXPECT_TRUE(result.ok) << result.message;
}

// The notifications |sender| sent, focus changes left out (a click also
// moves the focus, which is not what the control under test reports).
inline std::vector<std::wstring> Sent(const SkinWindow& w, const wchar_t* sender) {
  std::vector<std::wstring> out;
  for (const std::wstring& t : w.SeenTypes(sender)) {
    if (t != L"setfocus" && t != L"killfocus") out.push_back(t);
  }
  return out;
}

// One tick of a control's timer, as the paint manager hands it over.
inline void Tick(CControlUI* control, UINT id) {
  ControlEventUI event;
  event.Type = UIEVENT_TIMER;
  event.pSender = control;
  event.dwTimestamp = ::GetTickCount();
  event.wParam = id;
  control->DispatchEvent(event);
}

}  // namespace SkinUI::testing
