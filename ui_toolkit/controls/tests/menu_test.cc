// Pop-up menus in real windows: opening and placing, hover tracking,
// sub-menus, choosing by click and by key, the close rules, check marks and
// goldens of an open menu chain.
#include "ui_toolkit/controls/menu.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ui_toolkit/controls/label.h"
#include "ui_toolkit/controls/menu_wnd.h"
#include "ui_toolkit/core/tests/golden_image.h"
#include "ui_toolkit/core/tests/skin_window.h"
#include "ui_toolkit/core/tests/zip_builder.h"
#include "ui_toolkit/core/ui_string_ptr_map.h"

namespace SkinUI {
namespace {

using testing::PumpFor;
using testing::PumpUntil;
using testing::SkinWindow;

constexpr wchar_t kAppSkin[] = L"<Window size=\"400,300\"><VerticalLayout name=\"root\" bkcolor=\"#FFFFFFFF\"/></Window>";

// A root menu: a plain item, an item with a two-level sub-menu, a separator,
// a check item with an icon, and an item holding a button and an option.
constexpr wchar_t kMenuSkin[] =
    L"<Window><Default name=\"ExplandIcon\" value=\"file='arrow.png'\"/>"
    L"<Default name=\"Menu\" value=\"bkcolor=&quot;#FFF4F4F4&quot; itemtextpadding=&quot;30,0,0,0&quot;"
    L" itemtextcolor=&quot;#FF202020&quot; itemhotbkcolor=&quot;#FFD0E4FF&quot;"
    L" itemselectedbkcolor=&quot;#FFB0CCF0&quot;\"/>"
    L"<Menu>"
    L"<MenuElement name=\"open\" text=\"Open\" userdata=\"u-open\"/>"
    L"<MenuElement name=\"recent\" text=\"Recent\" expland=\"true\">"
    L"  <MenuElement name=\"r1\" text=\"First\"/>"
    L"  <MenuElement name=\"more\" text=\"More\">"
    L"    <MenuElement name=\"deep\" text=\"Deep\" userdata=\"u-deep\"/>"
    L"  </MenuElement>"
    L"</MenuElement>"
    L"<MenuElement name=\"sep\" linetype=\"true\" linecolor=\"#FF808080\"/>"
    L"<MenuElement name=\"bold\" text=\"Bold\" checkitem=\"true\" ischeck=\"false\""
    L" icon=\"color='#FF2060C0'\"/>"
    L"<MenuElement name=\"tools\" height=\"40\"><Button name=\"btn\" text=\"Go\" width=\"60\"/>"
    L"  <Option name=\"opt\" text=\"Opt\" width=\"60\"/></MenuElement>"
    L"</Menu></Window>";

CPaintManagerUI* ManagerOf(CMenuWnd* window) { return window->GetMenuRoot()->GetManager(); }

CMenuElementUI* Item(CMenuWnd* window, const wchar_t* name) {
  return static_cast<CMenuElementUI*>(ManagerOf(window)->FindControlByName(name));
}

CMenuElementUI* FindItemIn(CControlUI* root, const wchar_t* name) {
  CControlUI* found = root->FindControl(
      [](CControlUI* c, void* data) -> CControlUI* {
        return c->GetName() == static_cast<const wchar_t*>(data) ? c : nullptr;
      },
      const_cast<wchar_t*>(name), UIFIND_ALL);
  return found == nullptr ? nullptr : static_cast<CMenuElementUI*>(found->QueryInterfaceByName(L"MenuElement"));
}

POINT CentreOf(CControlUI* control) {
  const RECT& rc = control->GetPos();
  return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

void Hover(HWND window, CControlUI* control) {
  const POINT p = CentreOf(control);
  ::SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
}

void ClickOn(HWND window, CControlUI* control) {
  const POINT p = CentreOf(control);
  ::SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
  ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
  ::SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
}

RECT WindowRect(HWND window) {
  RECT rc{};
  ::GetWindowRect(window, &rc);
  return rc;
}

size_t OpenMenus() { return CMenuWnd::GetMenuObserver().Receivers().size(); }

class MenuTest : public ::testing::Test {
 protected:
  void SetUp() override { OpenApp(100); }
  void TearDown() override {
    CMenuWnd::GetMenuObserver().Publish({kMenuCloseAll, nullptr});
    PumpUntil([] { return OpenMenus() == 0; }, 2000);
    root_.reset();
    app_->Destroy();
    DrainClicks();
  }

  void OpenApp(int scale) {
    app_ = std::make_unique<SkinWindow>(kAppSkin, scale);
    ASSERT_TRUE(app_->Open(true));
  }
  CPaintManagerUI* AppManager() { return app_->Find(L"root")->GetManager(); }

  CMenuWnd* OpenRoot(POINT at, DWORD alignment = kMenuAlignDefault, const wchar_t* skin = kMenuSkin,
                     CUiStringPtrMap* states = nullptr) {
    root_ = std::make_unique<CMenuWnd>();
    root_->Open(nullptr, skin, at, AppManager(), states, alignment);
    PumpFor(20);
    return root_.get();
  }

  // The sub-menu that hovering |item_name| in |menu| opens.
  CMenuWnd* OpenSub(CMenuWnd* menu, const wchar_t* item_name) {
    CMenuElementUI* item = FindItemIn(menu->GetMenuRoot(), item_name);
    if (item == nullptr) return nullptr;
    Hover(menu->GetWindowHandle(), item);
    PumpFor(20);
    return item->GetSubMenuWindow();
  }

  // Leaf-click records posted to the application window, taken from its queue.
  std::vector<std::wstring> DrainClicks() {
    std::vector<std::wstring> names;
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, kMenuClickMessage, kMenuClickMessage, PM_REMOVE)) {
      auto record = TakeMenuClickRecord(msg.wParam);
      names.push_back(record->item_name);
      last_record_ = *record;
    }
    return names;
  }

  std::unique_ptr<SkinWindow> app_;
  std::unique_ptr<CMenuWnd> root_;
  MenuClickRecord last_record_{};
};

TEST_F(MenuTest, ARootMenuOpensAtThePointWithTheCornerItsAlignmentNames) {
  struct Case {
    DWORD alignment;
    bool right, bottom;
  };
  for (Case c : {Case{kMenuAlignDefault, false, false}, Case{kMenuAlignRight | kMenuAlignBottom, true, true},
                 Case{kMenuAlignRight, true, false}}) {
    SCOPED_TRACE(c.alignment);
    CMenuWnd* menu = OpenRoot(POINT{600, 500}, c.alignment);
    ASSERT_NE(menu->GetWindowHandle(), nullptr);
    EXPECT_TRUE(::IsWindowVisible(menu->GetWindowHandle()));
    const RECT rc = WindowRect(menu->GetWindowHandle());
    EXPECT_EQ(c.right ? rc.right : rc.left, 600);
    EXPECT_EQ(c.bottom ? rc.bottom : rc.top, 500);
    // Visible items: open, recent, sep (6), bold, tools (40): 30 + 30 + 6 + 30 + 40.
    EXPECT_EQ(rc.bottom - rc.top, 136);
    EXPECT_EQ(rc.right - rc.left, 150);
    menu->CloseMenu(0);
    PumpUntil([] { return OpenMenus() == 0; });
  }
}

TEST_F(MenuTest, HoverSelectsItemsAndOpensASubMenuBesideTheParent) {
  CMenuWnd* menu = OpenRoot(POINT{100, 100});
  Hover(menu->GetWindowHandle(), Item(menu, L"open"));
  EXPECT_TRUE(Item(menu, L"open")->IsSelected());
  CMenuWnd* sub = OpenSub(menu, L"recent");
  ASSERT_NE(sub, nullptr);
  EXPECT_TRUE(Item(menu, L"recent")->IsSelected());
  EXPECT_FALSE(Item(menu, L"open")->IsSelected());
  EXPECT_EQ(OpenMenus(), 2u);
  const RECT parent = WindowRect(menu->GetWindowHandle());
  const RECT child = WindowRect(sub->GetWindowHandle());
  EXPECT_EQ(child.left, parent.right);
  EXPECT_EQ(child.top, parent.top + 30);  // beside its owner item
  // The sub-menu shows the owner's items; the root shows none of them.
  EXPECT_NE(FindItemIn(sub->GetMenuRoot(), L"r1"), nullptr);
  EXPECT_FALSE(FindItemIn(Item(menu, L"recent"), L"r1")->GetParent() == Item(menu, L"recent"));

  // Entering a plain item closes the levels below.
  Hover(menu->GetWindowHandle(), Item(menu, L"open"));
  ASSERT_TRUE(PumpUntil([] { return OpenMenus() == 1; }));
  CMenuElementUI* r1 = FindItemIn(Item(menu, L"recent"), L"r1");
  EXPECT_EQ(r1->GetParent(), Item(menu, L"recent"));  // the items came back
  EXPECT_FALSE(r1->IsVisible());
  EXPECT_EQ(Item(menu, L"recent")->GetSubMenuWindow(), nullptr);
}

TEST_F(MenuTest, ALeafClickThreeLevelsDownClosesEveryMenuAndPostsOneClick) {
  CMenuWnd* menu = OpenRoot(POINT{100, 100});
  CMenuWnd* sub = OpenSub(menu, L"recent");
  ASSERT_NE(sub, nullptr);
  CMenuWnd* deeper = OpenSub(sub, L"more");
  ASSERT_NE(deeper, nullptr);
  EXPECT_EQ(OpenMenus(), 3u);
  ClickOn(deeper->GetWindowHandle(), FindItemIn(deeper->GetMenuRoot(), L"deep"));
  EXPECT_EQ(DrainClicks(), (std::vector<std::wstring>{L"deep"}));
  EXPECT_STREQ(last_record_.user_data, L"u-deep");
  EXPECT_STREQ(last_record_.item_text, L"Deep");
  ASSERT_TRUE(PumpUntil([] { return OpenMenus() == 0; }));
  EXPECT_FALSE(::IsWindow(menu->GetWindowHandle()));
  EXPECT_TRUE(DrainClicks().empty());
}

TEST_F(MenuTest, EscapeOrLeftClosesOnlyTheLevelItIsPressedIn) {
  for (WPARAM key : {WPARAM{VK_ESCAPE}, WPARAM{VK_LEFT}}) {
    SCOPED_TRACE(key);
    CMenuWnd* menu = OpenRoot(POINT{100, 100});
    CMenuWnd* sub = OpenSub(menu, L"recent");
    ASSERT_NE(sub, nullptr);
    CMenuWnd* deeper = OpenSub(sub, L"more");
    ASSERT_NE(deeper, nullptr);
    const HWND deeper_window = deeper->GetWindowHandle();
    ::SendMessageW(deeper_window, WM_KEYDOWN, key, 1);
    ASSERT_TRUE(PumpUntil([] { return OpenMenus() == 2; }));
    EXPECT_FALSE(::IsWindow(deeper_window));
    EXPECT_TRUE(::IsWindow(sub->GetWindowHandle()));
    CMenuElementUI* more = FindItemIn(sub->GetMenuRoot(), L"more");
    EXPECT_EQ(more->GetSubMenuWindow(), nullptr);
    EXPECT_EQ(FindItemIn(more, L"deep")->GetParent(), more);
    menu->CloseMenu(0);
    sub->CloseMenu(0);
    ASSERT_TRUE(PumpUntil([] { return OpenMenus() == 0; }));
  }
}

TEST_F(MenuTest, RightArrowOnAnItemOpensItsSubMenu) {
  CMenuWnd* menu = OpenRoot(POINT{100, 100});
  CMenuElementUI* recent = Item(menu, L"recent");
  recent->SetFocus();
  ::SendMessageW(menu->GetWindowHandle(), WM_KEYDOWN, VK_RIGHT, 1);
  PumpFor(20);
  ASSERT_NE(recent->GetSubMenuWindow(), nullptr);
  EXPECT_EQ(OpenMenus(), 2u);
}

TEST_F(MenuTest, FocusMovingOutsideTheMenusClosesThemAll) {
  CMenuWnd* menu = OpenRoot(POINT{100, 100});
  CMenuWnd* sub = OpenSub(menu, L"recent");
  ASSERT_NE(sub, nullptr);
  // Focus moving between menu windows keeps them open.
  ::SendMessageW(menu->GetWindowHandle(), WM_KILLFOCUS, reinterpret_cast<WPARAM>(sub->GetWindowHandle()), 0);
  PumpFor(20);
  EXPECT_EQ(OpenMenus(), 2u);
  // A click in the application window takes the focus there.
  ::SetFocus(menu->GetWindowHandle());
  ::SetFocus(app_->Hwnd());
  ASSERT_TRUE(PumpUntil([] { return OpenMenus() == 0; }));
  EXPECT_TRUE(DrainClicks().empty());
}

TEST_F(MenuTest, TheCloseBroadcastClosesEveryMenuOrOnlyThoseBelowAWindow) {
  CMenuWnd* menu = OpenRoot(POINT{100, 100});
  CMenuWnd* sub = OpenSub(menu, L"recent");
  ASSERT_NE(OpenSub(sub, L"more"), nullptr);
  CMenuWnd::GetMenuObserver().Publish({kMenuCloseBelow, sub->GetWindowHandle()});
  ASSERT_TRUE(PumpUntil([] { return OpenMenus() == 2; }));
  CMenuWnd::GetMenuObserver().Publish({kMenuCloseBelow, menu->GetWindowHandle()});
  ASSERT_TRUE(PumpUntil([] { return OpenMenus() == 1; }));
  EXPECT_TRUE(::IsWindow(menu->GetWindowHandle()));
  CMenuWnd::GetMenuObserver().Publish({kMenuCloseAll, nullptr});
  ASSERT_TRUE(PumpUntil([] { return OpenMenus() == 0; }));
}

TEST_F(MenuTest, RightButtonAndContextMenuInsideAMenuDoNothing) {
  CMenuWnd* menu = OpenRoot(POINT{100, 100});
  const POINT p = CentreOf(Item(menu, L"open"));
  for (UINT message : {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK, WM_CONTEXTMENU}) {
    EXPECT_EQ(::SendMessageW(menu->GetWindowHandle(), message, 0, MAKELPARAM(p.x, p.y)), 0);
  }
  PumpFor(20);
  EXPECT_EQ(OpenMenus(), 1u);
  EXPECT_TRUE(DrainClicks().empty());
}

TEST_F(MenuTest, ClicksOfControlsInsideAMenuReachTheApplicationWindow) {
  CMenuWnd* menu = OpenRoot(POINT{100, 100});
  app_->ClearSeen();
  CControlUI* button = ManagerOf(menu)->FindControlByName(L"btn");
  CControlUI* option = ManagerOf(menu)->FindControlByName(L"opt");
  ClickOn(menu->GetWindowHandle(), button);
  ClickOn(menu->GetWindowHandle(), option);
  std::vector<std::wstring> seen;
  for (const auto& s : app_->Seen()) seen.push_back(s.type + L":" + s.sender);
  EXPECT_EQ(seen, (std::vector<std::wstring>{L"click:btn", L"click:opt"}));  // no "selectchanged"
}

TEST_F(MenuTest, CheckMarksToggleOnEveryClickAndOutliveTheMenu) {
  CUiStringPtrMap states;
  for (bool expected : {true, false}) {
    CMenuWnd* menu = OpenRoot(POINT{100, 100}, kMenuAlignDefault, kMenuSkin, &states);
    // The stored mark wins over the skin's ischeck.
    EXPECT_EQ(Item(menu, L"bold")->IsChecked(), !expected);
    ClickOn(menu->GetWindowHandle(), Item(menu, L"bold"));
    EXPECT_EQ(DrainClicks(), (std::vector<std::wstring>{L"bold"}));
    EXPECT_EQ(last_record_.checked, expected ? 1 : 0);
    ASSERT_TRUE(PumpUntil([] { return OpenMenus() == 0; }));
    auto* state = static_cast<MenuCheckState*>(states.Find(L"bold"));
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->checked, expected);
  }
  delete static_cast<MenuCheckState*>(states.Find(L"bold"));
  CMenuWnd::GetMenuObserver().SetCheckStates(nullptr);
}

TEST_F(MenuTest, ASkinWhoseRootIsNotAMenuOpensNoWindow) {
  for (const wchar_t* skin : {L"<Window><VerticalLayout/></Window>", L"<Window><Label text=\"x\"/></Window>", L""}) {
    CMenuWnd* menu = OpenRoot(POINT{100, 100}, kMenuAlignDefault, skin);
    EXPECT_EQ(menu->GetWindowHandle(), nullptr);
    EXPECT_EQ(menu->GetMenuRoot(), nullptr);
    EXPECT_EQ(OpenMenus(), 0u);
  }
}

TEST_F(MenuTest, SeparatorsAreThinDisabledAndDeafToTheMouse) {
  CMenuElementUI plain;
  plain.SetAttribute(L"linetype", L"true");
  EXPECT_EQ(plain.GetFixedHeight(), 6);
  EXPECT_FALSE(plain.IsEnabled());
  EXPECT_FALSE(plain.IsMouseEnabled());
  CMenuElementUI tall;
  tall.SetAttribute(L"height", L"10");
  tall.SetAttribute(L"linetype", L"TRUE");
  EXPECT_EQ(tall.GetFixedHeight(), 10);
  CMenuElementUI other;
  other.SetAttribute(L"linetype", L"yes");
  EXPECT_FALSE(other.IsSeparator());
}

TEST_F(MenuTest, AMenuTakesOnlyMenuItemsAndHidesTheirOwnItems) {
  CMenuUI menu;
  auto* label = new CLabelUI();
  EXPECT_FALSE(menu.Add(label));
  delete label;
  auto* item = new CMenuElementUI();
  auto* a = new CMenuElementUI();
  auto* b = new CMenuElementUI();
  item->Add(a);
  item->Add(b);
  EXPECT_TRUE(menu.Add(item));
  EXPECT_FALSE(a->IsVisible());
  EXPECT_FALSE(b->IsVisible());
  EXPECT_EQ(menu.GetItemIndex(item), 0);
  EXPECT_EQ(menu.GetListKind(), 3);
}

TEST_F(MenuTest, ACheckItemWithoutANameNeverShowsItsMark) {
  CUiStringPtrMap states;
  CMenuWnd::GetMenuObserver().SetCheckStates(&states);
  CMenuElementUI item;
  item.SetCheckable(true);
  item.SetChecked(true);
  EXPECT_FALSE(item.IsChecked());
  EXPECT_EQ(states.GetSize(), 0);
  CMenuWnd::GetMenuObserver().SetCheckStates(nullptr);
}

TEST_F(MenuTest, AnEmptyItemMeasuresAsItsFixedSize) {
  CMenuElementUI item;
  const SIZE size = item.MeasureSize(SIZE{800, 600});
  EXPECT_EQ(size.cx, 150);
  EXPECT_EQ(size.cy, 30);
}

TEST_F(MenuTest, ASubMenuThatWouldPassTheWorkAreaOpensLeftOrMovesUp) {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  ::GetMonitorInfoW(::MonitorFromWindow(app_->Hwnd(), MONITOR_DEFAULTTOPRIMARY), &info);
  const RECT work = info.rcWork;
  // Right edge: the root's right edge 100 pixels from the work area's.
  CMenuWnd* menu = OpenRoot(POINT{work.right - 100, 100}, kMenuAlignRight);
  CMenuWnd* sub = OpenSub(menu, L"recent");
  ASSERT_NE(sub, nullptr);
  const RECT parent = WindowRect(menu->GetWindowHandle());
  RECT child = WindowRect(sub->GetWindowHandle());
  EXPECT_EQ(child.right, parent.left);
  // A chain running leftwards keeps going left even where there is room.
  CMenuWnd* deeper = OpenSub(sub, L"more");
  ASSERT_NE(deeper, nullptr);
  EXPECT_EQ(WindowRect(deeper->GetWindowHandle()).right, child.left);
  CMenuWnd::GetMenuObserver().Publish({kMenuCloseAll, nullptr});
  ASSERT_TRUE(PumpUntil([] { return OpenMenus() == 0; }));

  // Bottom edge: a root menu is not kept inside the work area, but a
  // sub-menu that would pass its bottom moves up by its own height.
  menu = OpenRoot(POINT{100, work.bottom + 90}, kMenuAlignBottom);
  sub = OpenSub(menu, L"recent");
  ASSERT_NE(sub, nullptr);
  const RECT owner_screen = WindowRect(menu->GetWindowHandle());
  child = WindowRect(sub->GetWindowHandle());
  EXPECT_EQ(owner_screen.bottom, work.bottom + 90);
  EXPECT_EQ(child.bottom, owner_screen.top + 30);  // the owner item's top: moved up by its 60
  EXPECT_EQ(child.bottom - child.top, 60);
}

TEST_F(MenuTest, ASubMenuWhoseParentWindowGoesFirstGivesItsItemsBack) {
  CMenuWnd* menu = OpenRoot(POINT{100, 100});
  CMenuWnd* sub = OpenSub(menu, L"recent");
  ASSERT_NE(sub, nullptr);
  const HWND sub_window = sub->GetWindowHandle();
  CMenuElementUI* recent = Item(menu, L"recent");
  // Destroying the root window takes its owned sub-menu with it, without WM_CLOSE.
  ::DestroyWindow(menu->GetWindowHandle());
  PumpFor(20);
  EXPECT_FALSE(::IsWindow(sub_window));
  EXPECT_EQ(OpenMenus(), 0u);
  EXPECT_EQ(recent->GetSubMenuWindow(), nullptr);
  EXPECT_EQ(FindItemIn(recent, L"r1")->GetParent(), recent);
  EXPECT_EQ(FindItemIn(recent, L"r1")->GetManager(), recent->GetManager());
}

TEST_F(MenuTest, DeletingAnOpenRootMenuTakesItsWindowsDown) {
  CMenuWnd* menu = OpenRoot(POINT{100, 100});
  const HWND window = menu->GetWindowHandle();
  ASSERT_NE(OpenSub(menu, L"recent"), nullptr);
  root_.reset();
  PumpFor(20);
  EXPECT_FALSE(::IsWindow(window));
  EXPECT_EQ(OpenMenus(), 0u);
}

TEST_F(MenuTest, AboveOneHundredPercentItemsKeepTheirScaledWidthAtEveryOpening) {
  TearDown();
  OpenApp(150);
  for (int opening = 0; opening < 3; ++opening) {
    SCOPED_TRACE(opening);
    CMenuWnd* menu = OpenRoot(POINT{100, 100});
    const RECT rc = WindowRect(menu->GetWindowHandle());
    EXPECT_EQ(rc.right - rc.left, 225);
    EXPECT_EQ(Item(menu, L"open")->GetHeight(), 45);
    CMenuWnd* sub = OpenSub(menu, L"recent");
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(WindowRect(sub->GetWindowHandle()).right - WindowRect(sub->GetWindowHandle()).left, 225 + 2);
    CMenuWnd::GetMenuObserver().Publish({kMenuCloseAll, nullptr});
    ASSERT_TRUE(PumpUntil([] { return OpenMenus() == 0; }));
  }
}

// Goldens of the root menu with its sub-menu open, at 100 % and 150 %.
class MenuGoldenTest : public MenuTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override { OpenApp(GetParam()); }
};

std::vector<std::uint32_t> MenuPixels(CMenuWnd* window, int* width, int* height) {
  ::RedrawWindow(window->GetWindowHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  CPaintManagerUI* manager = ManagerOf(window);
  const SIZE size = manager->GetOffscreenSize();
  const DWORD* bits = manager->GetOffscreenPixels();
  *width = size.cx;
  *height = size.cy;
  if (bits == nullptr) return {};
  return std::vector<std::uint32_t>(bits, bits + static_cast<size_t>(size.cx) * size.cy);
}

TEST_P(MenuGoldenTest, OpenMenuChain) {
  CUiStringPtrMap states;
  StoreMenuCheckState(&states, L"bold", true);
  CMenuWnd* menu = OpenRoot(POINT{100, 100}, kMenuAlignDefault, kMenuSkin, &states);
  CMenuWnd* sub = OpenSub(menu, L"recent");
  ASSERT_NE(sub, nullptr);
  Hover(sub->GetWindowHandle(), FindItemIn(sub->GetMenuRoot(), L"r1"));
  for (auto [window, name] : {std::pair{menu, "menu_root"}, std::pair{sub, "menu_sub"}}) {
    int width = 0, height = 0;
    const auto pixels = MenuPixels(window, &width, &height);
    ASSERT_FALSE(pixels.empty());
    const auto result =
        testing::MatchGolden(std::string(name) + "_" + std::to_string(GetParam()), pixels, width, height, false);
    EXPECT_TRUE(result.ok) << result.message;
  }
  CMenuWnd::GetMenuObserver().Publish({kMenuCloseAll, nullptr});
  PumpUntil([] { return OpenMenus() == 0; });
  delete static_cast<MenuCheckState*>(states.Find(L"bold"));
  CMenuWnd::GetMenuObserver().SetCheckStates(nullptr);
}

// A solid square PNG, as bytes.
std::string SolidPng(int size, std::uint32_t color) {
  char dir[MAX_PATH]{};
  ::GetTempPathA(MAX_PATH, dir);
  const std::string path = std::string(dir) + "ql_menu_icon.png";
  if (!testing::WritePng(path, std::vector<std::uint32_t>(size * size, color), size, size)) return {};
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  ::DeleteFileA(path.c_str());
  return bytes.str();
}

class MenuIconTest : public MenuTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    const std::string icon = SolidPng(16, 0xFFFF0000);
    const std::string arrow = SolidPng(8, 0xFF0000FF);
    ASSERT_FALSE(icon.empty());
    zip_ = testing::BuildZip({{.name = "icon.png", .data = icon}, {.name = "arrow.png", .data = arrow}}).bytes;
    CPaintManagerUI::SetResourceZipFromMemory(zip_.data(), static_cast<unsigned>(zip_.size()));
    OpenApp(GetParam());
  }
  std::string zip_;
};

// The check mark and the expand arrow sit at offsets that scale once with the window.
TEST_P(MenuIconTest, CheckIconAndExpandArrowScaleWithTheWindow) {
  std::wstring skin = kMenuSkin;
  skin.replace(skin.find(L"color='#FF2060C0'"), 17, L"file='icon.png'");
  CUiStringPtrMap states;
  StoreMenuCheckState(&states, L"bold", true);
  CMenuWnd* menu = OpenRoot(POINT{100, 100}, kMenuAlignDefault, skin.c_str(), &states);
  ::RedrawWindow(menu->GetWindowHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  CPaintManagerUI* manager = ManagerOf(menu);
  const SIZE size = manager->GetOffscreenSize();
  const DWORD* bits = manager->GetOffscreenPixels();
  ASSERT_NE(bits, nullptr);
  auto pixel = [&](CControlUI* item, int dx, int dy) {
    const RECT& rc = item->GetPos();
    return bits[static_cast<size_t>(rc.top + dy) * size.cx + rc.left + dx] & 0xFFFFFF;
  };
  const int scale = GetParam();
  auto at = [&](int n) { return n * scale / 100; };
  CMenuElementUI* bold = Item(menu, L"bold");
  // Icon: ((30 - 16) / 2, (30 - 16) / 2) at 100 %, ((45 - 24) / 2, (45 - 24) / 2) at 150 %.
  EXPECT_EQ(pixel(bold, at(15), at(15)), 0xFF0000u);
  EXPECT_NE(pixel(bold, at(3), at(15)), 0xFF0000u);
  EXPECT_NE(pixel(bold, at(27), at(15)), 0xFF0000u);
  // Arrow: its right edge a third of 20 from the item's right edge, centred vertically.
  CMenuElementUI* recent = Item(menu, L"recent");
  const int arrow_right = at(150) - at(20) / 3;
  EXPECT_EQ(pixel(recent, arrow_right - 4, at(30) / 2), 0x0000FFu);
  EXPECT_NE(pixel(recent, arrow_right + 2, at(30) / 2), 0x0000FFu);
  // An unchecked check item shows no icon.
  ClickOn(menu->GetWindowHandle(), bold);
  DrainClicks();
  EXPECT_FALSE(bold->IsChecked());
  CMenuWnd::GetMenuObserver().Publish({kMenuCloseAll, nullptr});
  PumpUntil([] { return OpenMenus() == 0; });
  delete static_cast<MenuCheckState*>(states.Find(L"bold"));
  CMenuWnd::GetMenuObserver().SetCheckStates(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Scales, MenuIconTest, ::testing::Values(100, 150));

INSTANTIATE_TEST_SUITE_P(Scales, MenuGoldenTest, ::testing::Values(100, 150));

}  // namespace
}  // namespace SkinUI
