#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "ui_toolkit/controls/hot_key.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/tests/skin_window.h"

namespace SkinUI {
namespace {

using testing::PumpUntil;
using testing::SkinWindow;

constexpr wchar_t kSkin[] =
    L"<Window size=\"300,100\"><HorizontalLayout>"
    L"<Button name=\"other\" width=\"80\" height=\"30\"/>"
    L"<HotKey name=\"hk\" width=\"160\" height=\"30\"/>"
    L"</HorizontalLayout></Window>";

std::wstring KeyName(UINT vk, bool extended) {
  UINT scan = ::MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC, ::GetKeyboardLayout(0));
  if (extended) scan |= 0x100;
  wchar_t name[260] = {};
  ::GetKeyNameTextW(static_cast<LONG>(scan << 16), name, 260);
  return name;
}

TEST(HotKeyTest, ShortcutNamesJoinTheSystemKeyNames) {
  const std::wstring ctrl = KeyName(VK_CONTROL, false);
  const std::wstring shift = KeyName(VK_SHIFT, false);
  const std::wstring alt = KeyName(VK_MENU, false);
  ASSERT_FALSE(ctrl.empty());
  EXPECT_EQ(L"", std::wstring(CHotKeyWnd::GetHotKeyName(0, 0).GetData()));
  EXPECT_EQ(KeyName('K', false), std::wstring(CHotKeyWnd::GetHotKeyName('K', 0).GetData()));
  EXPECT_EQ(ctrl + L" + " + shift + L" + " + alt + L" + " + KeyName(VK_F5, false),
            std::wstring(CHotKeyWnd::GetHotKeyName(VK_F5, HOTKEYF_ALT | HOTKEYF_SHIFT | HOTKEYF_CONTROL).GetData()))
      << "modifiers always come in the order Ctrl, Shift, Alt";
  // The navigation keys are named as such, not as their number-pad twins.
  for (UINT vk : {VK_HOME, VK_END, VK_PRIOR, VK_NEXT, VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN, VK_INSERT, VK_DELETE}) {
    EXPECT_EQ(KeyName(vk, true), std::wstring(CHotKeyWnd::GetHotKeyName(static_cast<WORD>(vk), 0).GetData())) << vk;
    EXPECT_NE(KeyName(vk, false), KeyName(vk, true)) << vk;
  }
}

TEST(HotKeyTest, FocusOpensTheNativeFieldWithTheShortcut) {
  SkinWindow w(kSkin);
  ASSERT_TRUE(w.Open(true));
  auto* hk = static_cast<CHotKeyUI*>(w.Find(L"hk"));
  ASSERT_NE(nullptr, hk);
  EXPECT_STREQ(L"HotKeyUI", hk->GetClassName());
  EXPECT_EQ(hk, hk->QueryInterfaceByName(L"HotKey"));
  EXPECT_EQ(nullptr, hk->QueryInterfaceByName(L"hotkey"));
  EXPECT_EQ(0xFFFFFFFFu, hk->GetBackgroundColor());
  EXPECT_EQ(nullptr, hk->GetNativeWindow());
  hk->SetHotKey('K', HOTKEYF_CONTROL);
  EXPECT_EQ(std::wstring(CHotKeyWnd::GetHotKeyName('K', HOTKEYF_CONTROL).GetData()), hk->GetText().GetData());

  w.Click(120, 15);
  HWND field = hk->GetNativeWindow();
  ASSERT_NE(nullptr, field);
  wchar_t class_name[64] = {};
  ::GetClassNameW(field, class_name, 64);
  EXPECT_STREQ(L"HotKeyWnd", class_name);
  EXPECT_EQ(w.Hwnd(), ::GetParent(field));
  EXPECT_EQ(field, ::GetFocus());
  EXPECT_EQ(MAKEWORD('K', HOTKEYF_CONTROL), LOWORD(::SendMessageW(field, HKM_GETHOTKEY, 0, 0)));
  EXPECT_EQ(std::wstring(CHotKeyWnd::GetHotKeyName('K', HOTKEYF_CONTROL).GetData()), hk->GetText().GetData());
  // The field lies on the padded text area, centred on the font's height.
  RECT rc{};
  ::GetWindowRect(field, &rc);
  ::MapWindowPoints(nullptr, w.Hwnd(), reinterpret_cast<POINT*>(&rc), 2);
  EXPECT_EQ(84, rc.left);
  EXPECT_EQ(236, rc.right);
  EXPECT_GE(rc.top, 3);
  EXPECT_LE(rc.bottom, 27);

  // A key typed into the field becomes the control's shortcut.
  w.ClearSeen();
  ::SendMessageW(field, WM_KEYDOWN, 'M', 0x00320001);
  ::SendMessageW(field, WM_KEYUP, 'M', 0xC0320001);
  EXPECT_EQ(static_cast<WORD>('M'), hk->GetKey());
  EXPECT_EQ(std::wstring(CHotKeyWnd::GetHotKeyName('M', hk->GetModifiers()).GetData()), hk->GetText().GetData());
  ASSERT_FALSE(w.SeenTypes(L"hk").empty());
  EXPECT_EQ(L"textchanged", w.SeenTypes(L"hk").back());

  // Enter in the field is the control's "return".
  w.ClearSeen();
  ::SendMessageW(field, WM_KEYDOWN, VK_RETURN, 0x001C0001);
  EXPECT_EQ((std::vector<std::wstring>{L"return"}), w.SeenTypes(L"hk"));

  // The focus moving on closes the field once the change is over.
  w.GetPaintManager().SetFocus(w.Find(L"other"));
  ::SetFocus(w.Hwnd());
  EXPECT_TRUE(PumpUntil([&] { return hk->GetNativeWindow() == nullptr; }));
  EXPECT_FALSE(::IsWindow(field));
}

TEST(HotKeyTest, ClearingTheShortcutShowsNone) {
  SkinWindow w(kSkin);
  ASSERT_TRUE(w.Open(true));
  auto* hk = static_cast<CHotKeyUI*>(w.Find(L"hk"));
  hk->SetHotKey('K', HOTKEYF_SHIFT);
  w.Click(120, 15);
  HWND field = hk->GetNativeWindow();
  ASSERT_NE(nullptr, field);
  w.ClearSeen();
  // The field reports its change to its parent, as it does when the user clears it.
  ::SendMessageW(field, HKM_SETHOTKEY, 0, 0);
  ::SendMessageW(w.Hwnd(), WM_COMMAND, MAKEWPARAM(0, EN_CHANGE), reinterpret_cast<LPARAM>(field));
  EXPECT_EQ(0, hk->GetKey());
  EXPECT_EQ(0, hk->GetModifiers());
  EXPECT_STREQ(L"\u65E0", hk->GetText().GetData());
  EXPECT_EQ((std::vector<std::wstring>{L"textchanged"}), w.SeenTypes(L"hk"));
}

TEST(HotKeyTest, DisabledControlOpensNothingAndDropsItsState) {
  SkinWindow w(kSkin);
  ASSERT_TRUE(w.Open(true));
  auto* hk = static_cast<CHotKeyUI*>(w.Find(L"hk"));
  w.MouseMove(120, 15);
  EXPECT_NE(0u, hk->GetState() & UISTATE_HOT);
  hk->SetEnabled(false);
  EXPECT_EQ(0u, hk->GetState());
  EXPECT_EQ(0u, hk->GetControlFlags());
  w.Click(120, 15);
  EXPECT_EQ(nullptr, hk->GetNativeWindow());
}

TEST(HotKeyTest, ControlDestroyedWithItsFieldOpen) {
  auto w = std::make_unique<SkinWindow>(kSkin);
  ASSERT_TRUE(w->Open(true));
  auto* hk = static_cast<CHotKeyUI*>(w->Find(L"hk"));
  w->Click(120, 15);
  ASSERT_NE(nullptr, hk->GetNativeWindow());
  w.reset();
  testing::PumpFor(20);
}

}  // namespace
}  // namespace SkinUI
