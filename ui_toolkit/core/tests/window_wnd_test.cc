#include "ui_toolkit/core/window_wnd.h"

#include <gtest/gtest.h>

#include "ui_toolkit/core/control.h"
#include "ui_toolkit/core/notify_pump.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/tests/skin_window.h"

namespace SkinUI {
namespace {

class PlainWindow : public CWindowWnd {
 public:
  std::vector<UINT> messages;
  int final_messages = 0;

 protected:
  const wchar_t* GetWindowClassName() const override { return L"QlPlainTestWindow"; }
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
    messages.push_back(message);
    return CWindowWnd::HandleMessage(message, wparam, lparam);
  }
  void OnFinalMessage(HWND) override { ++final_messages; }
};

void EnsureInstance() {
  if (CPaintManagerUI::GetInstance() == nullptr) CPaintManagerUI::SetInstance(::GetModuleHandleW(nullptr));
}

TEST(WindowWndTest, SecondWindowOfAClassReusesTheRegistration) {
  EnsureInstance();
  PlainWindow a;
  PlainWindow b;
  ASSERT_NE(nullptr, a.Create(nullptr, L"a", WS_POPUP, 0, 0, 0, 10, 10));
  ASSERT_NE(nullptr, b.Create(nullptr, L"b", WS_POPUP, 0, 0, 0, 10, 10));
  // The first message the object sees is WM_NCCREATE: earlier ones (such as
  // WM_GETMINMAXINFO) went to DefWindowProcW.
  ASSERT_FALSE(a.messages.empty());
  EXPECT_EQ(static_cast<UINT>(WM_NCCREATE), a.messages.front());
  const HWND hwnd = a.GetWindowHandle();
  ::DestroyWindow(hwnd);
  EXPECT_EQ(nullptr, a.GetWindowHandle());
  EXPECT_EQ(1, a.final_messages);
  // WM_NCDESTROY itself never reaches HandleMessage.
  for (UINT m : a.messages) EXPECT_NE(static_cast<UINT>(WM_NCDESTROY), m);
  ::DestroyWindow(b.GetWindowHandle());
}

TEST(WindowWndTest, CloseCodeComesBackFromShowModal) {
  EnsureInstance();
  PlainWindow w;
  ASSERT_NE(nullptr, w.Create(nullptr, L"modal", WS_POPUP, 0, 0, 0, 10, 10));
  w.Close(8);
  EXPECT_EQ(8u, w.ShowModal());
  EXPECT_EQ(nullptr, w.GetWindowHandle());
}

TEST(WindowWndTest, QuitInsideANestedModalLoopEndsTheOuterLoopToo) {
  EnsureInstance();
  PlainWindow outer;
  PlainWindow inner;
  ASSERT_NE(nullptr, outer.Create(nullptr, L"outer", WS_POPUP, 0, 0, 0, 10, 10));
  ASSERT_NE(nullptr, inner.Create(outer.GetWindowHandle(), L"inner", WS_POPUP, 0, 0, 0, 10, 10));
  ::PostQuitMessage(5);
  EXPECT_EQ(0u, inner.ShowModal());
  // The quit was posted again for the loop around this one.
  MSG msg{};
  ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(5u, msg.wParam);
  // The owner was disabled during the modal loop and is enabled again.
  EXPECT_TRUE(::IsWindowEnabled(outer.GetWindowHandle()));
  ::DestroyWindow(inner.GetWindowHandle());
  ::DestroyWindow(outer.GetWindowHandle());
}

TEST(WindowWndTest, CenterOnOwnerKeepsTheWindowInsideTheWorkArea) {
  EnsureInstance();
  MONITORINFO mi{};
  mi.cbSize = sizeof(mi);
  ::GetMonitorInfoW(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &mi);
  const RECT work = mi.rcWork;
  PlainWindow owner;
  PlainWindow box;
  ASSERT_NE(nullptr, owner.Create(nullptr, L"owner", WS_POPUP, 0, work.right - 100, 200, 100, 100));
  ASSERT_NE(nullptr, box.Create(owner.GetWindowHandle(), L"box", WS_POPUP, 0, 0, 0, 300, 50));
  box.CenterOnOwner();
  RECT rc{};
  ::GetWindowRect(box.GetWindowHandle(), &rc);
  EXPECT_EQ(work.right - 300, rc.left);  // would stick out on the right: pushed in
  EXPECT_EQ(250 - 25, rc.top);           // centred vertically over the owner
  ::DestroyWindow(box.GetWindowHandle());
  ::DestroyWindow(owner.GetWindowHandle());
}

// A pump whose map holds a type-only entry before an entry for one control.
class MapPump : public CNotifyPump {
 public:
  std::vector<std::string> calls;
  void OnAnyClick(NotifyMsgUI&) { calls.push_back("any"); }
  void OnCloseClick(NotifyMsgUI&) { calls.push_back("closebtn"); }
  LRESULT OnTimer(WPARAM wparam, LPARAM) {
    calls.push_back("timer " + std::to_string(wparam));
    return 0;
  }
  const NotifyMap* GetMessageMap() const override { return &kMap; }

 private:
  static const NotifyMapEntry kEntries[];
  static const NotifyMap kMap;
};

const NotifyMapEntry MapPump::kEntries[] = {
    SKINUI_NOTIFY_MSG(L"click", L"", MapPump, OnAnyClick),
    SKINUI_NOTIFY_MSG(L"click", L"closebtn", MapPump, OnCloseClick),
    SKINUI_NOTIFY_WL(L"timer", L"", MapPump, OnTimer),
    SKINUI_NOTIFY_END,
};
const NotifyMap MapPump::kMap = {nullptr, MapPump::kEntries};

TEST(NotifyPumpTest, NamedEntryWinsOverTypeOnlyEntryWhereverItStands) {
  MapPump pump;
  CControlUI close_button;
  close_button.SetName(L"closebtn");
  CControlUI other;
  other.SetName(L"other");
  NotifyMsgUI msg;
  msg.sType = L"click";
  msg.pSender = &close_button;
  EXPECT_TRUE(pump.LoopDispatch(msg));
  msg.pSender = &other;
  pump.NotifyPump(msg);
  msg.sType = L"timer";
  msg.wParam = 7;
  EXPECT_TRUE(pump.LoopDispatch(msg));
  msg.sType = L"selectchanged";
  EXPECT_FALSE(pump.LoopDispatch(msg));
  EXPECT_EQ((std::vector<std::string>{"closebtn", "any", "timer 7"}), pump.calls);
}

}  // namespace
}  // namespace SkinUI
