// The paint manager seen from a real window: mouse and key messages become
// control events, notifications reach the window in order, focus and Tab
// navigation, timers and the asynchronous queue.
#include "ui_toolkit/core/paint_manager.h"

#include <gtest/gtest.h>

#include "ui_toolkit/controls/button.h"
#include "ui_toolkit/core/container.h"
#include "ui_toolkit/core/tests/skin_window.h"

namespace SkinUI {
namespace {

using testing::PumpFor;
using testing::PumpUntil;
using testing::SkinWindow;

// Three buttons side by side, 100 pixels wide each, in a 300 x 100 window;
// single-line controls in a horizontal layout keep their measured height.
constexpr wchar_t kThreeButtons[] =
    L"<Window size=\"300,100\"><HorizontalLayout bkcolor=\"#FFFFFFFF\">"
    L"<Button name=\"a\" width=\"100\" height=\"100\" text=\"A\"/><Button name=\"b\" width=\"100\" height=\"100\" text=\"B\"/>"
    L"<Button name=\"c\" width=\"100\" height=\"100\" text=\"C\"/></HorizontalLayout></Window>";

TEST(PaintManagerTest, PressAndReleaseOnAButtonSendsOneClick) {
  SkinWindow w(kThreeButtons);
  ASSERT_TRUE(w.Open());
  w.ClearSeen();
  w.MouseDown(150, 50);
  EXPECT_TRUE(w.SeenTypes(L"b").empty() || w.SeenTypes(L"b") == std::vector<std::wstring>{L"setfocus"});
  // Moved out and back in while pressed, then released inside: one click.
  w.MouseMove(250, 50);
  EXPECT_EQ(0u, static_cast<CButtonUI*>(w.Find(L"b"))->GetButtonState() & UISTATE_PUSHED);
  w.MouseMove(150, 50);
  EXPECT_NE(0u, static_cast<CButtonUI*>(w.Find(L"b"))->GetButtonState() & UISTATE_PUSHED);
  w.MouseUp(150, 50);
  int clicks = 0;
  for (const auto& s : w.Seen()) clicks += (s.type == L"click" && s.sender == L"b");
  EXPECT_EQ(1, clicks);
}

TEST(PaintManagerTest, ReleaseOutsideTheButtonSendsNoClick) {
  SkinWindow w(kThreeButtons);
  ASSERT_TRUE(w.Open());
  w.ClearSeen();
  w.MouseDown(50, 50);
  // The capture holds the button: its button-up still arrives, outside it.
  w.MouseMove(250, 50);
  w.MouseUp(250, 50);
  for (const auto& s : w.Seen()) EXPECT_NE(L"click", s.type) << testing::Narrow(s.sender);
  EXPECT_EQ(0u, static_cast<CButtonUI*>(w.Find(L"a"))->GetButtonState() & (UISTATE_PUSHED | UISTATE_CAPTURED));
}

TEST(PaintManagerTest, HoverFollowsTheMouseAndLeavesThroughTheSyntheticMove) {
  SkinWindow w(kThreeButtons);
  ASSERT_TRUE(w.Open());
  auto* a = static_cast<CButtonUI*>(w.Find(L"a"));
  auto* b = static_cast<CButtonUI*>(w.Find(L"b"));
  w.MouseMove(50, 50);
  EXPECT_NE(0u, a->GetButtonState() & UISTATE_HOT);
  w.MouseMove(150, 50);
  EXPECT_EQ(0u, a->GetButtonState() & UISTATE_HOT);
  EXPECT_NE(0u, b->GetButtonState() & UISTATE_HOT);
  // The mouse leaving the window arrives as a move to (-1, -1).
  ::SendMessageW(w.Hwnd(), WM_MOUSEMOVE, 0, static_cast<LPARAM>(-1));
  EXPECT_EQ(0u, b->GetButtonState() & UISTATE_HOT);
}

TEST(PaintManagerTest, TabWrapsForwardAndShiftTabWrapsBackward) {
  SkinWindow w(kThreeButtons);
  ASSERT_TRUE(w.Open(true));
  CPaintManagerUI& pm = w.GetPaintManager();
  // The first paint moved the focus to the first tab stop.
  EXPECT_EQ(w.Find(L"a"), pm.GetFocusControl());
  pm.SetNextTabControl(true);
  EXPECT_EQ(w.Find(L"b"), pm.GetFocusControl());
  pm.SetNextTabControl(true);
  pm.SetNextTabControl(true);
  EXPECT_EQ(w.Find(L"a"), pm.GetFocusControl());
  pm.SetNextTabControl(false);
  EXPECT_EQ(w.Find(L"c"), pm.GetFocusControl());
  w.ClearSeen();
  pm.SetFocus(w.Find(L"b"));
  EXPECT_EQ((std::vector<std::wstring>{L"killfocus"}), w.SeenTypes(L"c"));
  EXPECT_EQ((std::vector<std::wstring>{L"setfocus"}), w.SeenTypes(L"b"));
}

TEST(PaintManagerTest, SpaceOnTheFocusedButtonClicksItUnlessDisabled) {
  SkinWindow w(kThreeButtons);
  ASSERT_TRUE(w.Open(true));
  w.GetPaintManager().SetFocus(w.Find(L"b"));
  w.ClearSeen();
  w.Key(VK_SPACE);
  EXPECT_EQ((std::vector<std::wstring>{L"click"}), w.SeenTypes(L"b"));
  w.Find(L"b")->SetEnabled(false);
  w.ClearSeen();
  ::SendMessageW(w.Hwnd(), WM_KEYDOWN, VK_SPACE, 1);
  EXPECT_TRUE(w.SeenTypes(L"b").empty());
}

TEST(PaintManagerTest, AsynchronousNotificationsCostOneMessageAndKeepTheirOrder) {
  SkinWindow w(kThreeButtons);
  ASSERT_TRUE(w.Open());
  PumpFor(20);
  CPaintManagerUI& pm = w.GetPaintManager();
  w.ClearSeen();
  bool queued_more = false;
  w.on_notify = [&](NotifyMsgUI& msg) {
    if (msg.sType == L"first" && !queued_more) {
      queued_more = true;
      pm.SendNotify(w.Find(L"c"), L"third", 0, 0, true);  // queued during the drain
    }
  };
  pm.SendNotify(w.Find(L"a"), L"first", 0, 0, true);
  pm.SendNotify(w.Find(L"b"), L"second", 0, 0, true);
  EXPECT_TRUE(w.Seen().empty());
  MSG msg{};
  ASSERT_TRUE(::PeekMessageW(&msg, w.Hwnd(), WM_APP + 1, WM_APP + 1, PM_REMOVE));
  MSG second{};
  EXPECT_FALSE(::PeekMessageW(&second, w.Hwnd(), WM_APP + 1, WM_APP + 1, PM_NOREMOVE));
  ::DispatchMessageW(&msg);  // one drain delivers all three
  std::vector<std::wstring> types;
  for (const auto& s : w.Seen()) types.push_back(s.type);
  EXPECT_EQ((std::vector<std::wstring>{L"first", L"second", L"third"}), types);
}

TEST(PaintManagerTest, TimersRearmWithTheirNativeIdAndWrapAfter240) {
  SkinWindow w(kThreeButtons);
  ASSERT_TRUE(w.Open());
  CPaintManagerUI& pm = w.GetPaintManager();
  CControlUI* a = w.Find(L"a");
  ASSERT_TRUE(pm.SetTimer(a, 1, 10));
  EXPECT_FALSE(pm.SetTimer(a, 1, 10));  // already running
  w.ClearSeen();
  ASSERT_TRUE(PumpUntil([&] { return !w.SeenTypes(L"a").empty(); }));
  EXPECT_EQ(L"timer", w.Seen().front().type);
  EXPECT_EQ(1u, w.Seen().front().wparam);
  EXPECT_TRUE(pm.KillTimer(a, 1));
  EXPECT_FALSE(pm.KillTimer(a, 1));
  EXPECT_TRUE(pm.SetTimer(a, 1, 10));  // re-armed
  EXPECT_TRUE(pm.KillTimer(a, 1));
  // 240 native ids in all: the 241st timer of the window shares the first
  // one's, and the killed record of the first is skipped when it fires.
  CControlUI* b = w.Find(L"b");
  for (UINT id = 0; id < 239; ++id) ASSERT_TRUE(pm.SetTimer(b, 100 + id, 100000)) << id;
  ASSERT_TRUE(pm.SetTimer(b, 1000, 10));
  w.ClearSeen();
  ASSERT_TRUE(PumpUntil([&] { return !w.SeenTypes(L"b").empty(); }));
  EXPECT_EQ(1000u, w.Seen().front().wparam);
  pm.KillTimersOfControl(b);
  pm.KillTimersOfControl(a);
}

TEST(PaintManagerTest, DestroyedControlIsForgottenAndItsQueuedNotificationStillArrives) {
  SkinWindow w(kThreeButtons);
  ASSERT_TRUE(w.Open());
  CPaintManagerUI& pm = w.GetPaintManager();
  auto* row = static_cast<CContainerUI*>(w.Find(L"a")->GetParent());
  pm.SetFocus(w.Find(L"a"));
  pm.SendNotify(w.Find(L"a"), L"late", 0, 0, true);
  row->SetDelayedDestroy(false);
  ASSERT_TRUE(row->Remove(w.Find(L"a")));
  EXPECT_EQ(nullptr, pm.FindControlByName(L"a"));
  EXPECT_EQ(nullptr, pm.GetFocusControl());
  w.ClearSeen();
  PumpUntil([&] { return !w.Seen().empty(); }, 1000);
  ASSERT_FALSE(w.Seen().empty());
  EXPECT_EQ(L"late", w.Seen().front().type);
  EXPECT_EQ(L"", w.Seen().front().sender);
}

TEST(PaintManagerTest, SharedColourFollowsOnlyWindowsThatKeptTheOldValue) {
  SkinWindow a(L"<Window><Control/></Window>");
  SkinWindow b(L"<Window><Control/></Window>");
  ASSERT_TRUE(a.Open());
  ASSERT_TRUE(b.Open());
  const DWORD old = a.GetPaintManager().GetDefaultTextColor();
  b.GetPaintManager().SetDefaultTextColor(0xFF112233);
  a.GetPaintManager().SetDefaultTextColor(0xFF445566, true);
  EXPECT_EQ(0xFF445566u, a.GetPaintManager().GetDefaultTextColor());
  EXPECT_EQ(0xFF112233u, b.GetPaintManager().GetDefaultTextColor());
  a.GetPaintManager().SetDefaultTextColor(old, true);
}

TEST(PaintManagerTest, FontTableKeepsTheLastFontOfAnIdAndFallsBackToTheDefault) {
  SkinWindow w(L"<Window><Control/></Window>");
  ASSERT_TRUE(w.Open());
  CPaintManagerUI& pm = w.GetPaintManager();
  ASSERT_NE(nullptr, pm.AddFont(1, L"Tahoma", 12, false, false, false));
  const HFONT second = pm.AddFont(1, L"Tahoma", 14, true, false, false);
  ASSERT_NE(nullptr, second);
  EXPECT_EQ(second, pm.GetFontById(1));
  EXPECT_EQ(pm.GetDefaultFontRecord()->hFont, pm.GetFontById(5));
  EXPECT_EQ(second, pm.GetFontByAttributes(L"Tahoma", 14, true, false, false));
  LOGFONTW lf{};
  ::GetObjectW(second, sizeof(lf), &lf);
  EXPECT_EQ(FW_BOLD, lf.lfWeight);
  pm.SetDefaultFont(L"Tahoma", 13, true, false, false);
  ::GetObjectW(pm.GetDefaultFontRecord()->hFont, sizeof(lf), &lf);
  EXPECT_EQ(FW_BOLD, lf.lfWeight);
  EXPECT_EQ(-13, lf.lfHeight);
}

TEST(PaintManagerTest, StylesKeepTheFirstAndDefaultsTheLast) {
  CPaintManagerUI pm;
  pm.AddStyle(L"s", L"text=\"one\"");
  pm.AddStyle(L"s", L"text=\"two\"");
  EXPECT_STREQ(L"text=\"one\"", pm.GetStyle(L"s"));
  pm.AddDefaultAttributes(L"Button", L"width=\"1\"");
  pm.AddDefaultAttributes(L"Button", L"width=\"2\"");
  EXPECT_STREQ(L"width=\"2\"", pm.FindDefaultAttributes(L"Button"));
  EXPECT_EQ(nullptr, pm.GetStyle(L"missing"));
}

TEST(PaintManagerTest, ResourcePathGetsItsSeparator) {
  const CUiString saved = CPaintManagerUI::GetResourcePath();
  struct Case {
    const wchar_t* in;
    const wchar_t* want;
  } cases[] = {{L"C:\\skins", L"C:\\skins\\"}, {L"C:/skins/", L"C:/skins/"}, {L"", L""}};
  for (const Case& c : cases) {
    CPaintManagerUI::SetResourcePath(c.in);
    EXPECT_STREQ(c.want, CPaintManagerUI::GetResourcePath().GetData());
  }
  CPaintManagerUI::SetResourcePath(saved.GetData());
}

}  // namespace
}  // namespace SkinUI
