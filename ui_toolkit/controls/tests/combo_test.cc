// The combo and combo box in real windows: the drop-down opens, tracks the
// mouse and keys, chooses by click and by key, closes by the rules, and lets
// go of its combo when the combo goes first.
#include "ui_toolkit/controls/combo.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ui_toolkit/controls/combo_box.h"
#include "ui_toolkit/controls/list_elements.h"
#include "ui_toolkit/controls/scroll_bar.h"
#include "ui_toolkit/core/tests/golden_image.h"
#include "ui_toolkit/core/tests/skin_window.h"
#include "ui_toolkit/core/tests/zip_builder.h"
#include "ui_toolkit/core/vertical_layout.h"

namespace SkinUI {
namespace {

using testing::PumpFor;
using testing::PumpUntil;
using testing::SkinWindow;

std::wstring ComboSkin(int items, const wchar_t* extra = L"") {
  std::wstring skin =
      L"<Window size=\"400,300\"><VerticalLayout name=\"root\" bkcolor=\"#FFFFFFFF\">"
      L"<HorizontalLayout height=\"40\"/>"
      L"<HorizontalLayout height=\"24\"><Control width=\"20\"/>"
      L"<Combo name=\"c\" width=\"120\" height=\"24\" bkcolor=\"#FFE8E8E8\" textpadding=\"4,0,4,0\""
      L" itemhotbkcolor=\"#FFD0E4FF\" itemselectedbkcolor=\"#FFB0CCF0\" ";
  skin += extra;
  skin += L">";
  for (int i = 0; i < items; ++i) {
    skin += L"<ListLabelElement name=\"i" + std::to_wstring(i) + L"\" text=\"Item " + std::to_wstring(i) +
            L"\" height=\"24\"/>";
  }
  skin += L"</Combo></HorizontalLayout></VerticalLayout></Window>";
  return skin;
}

class ComboTest : public ::testing::Test {
 protected:
  void Open(const std::wstring& skin, int scale = 100) {
    w_ = std::make_unique<SkinWindow>(skin, scale);
    ASSERT_TRUE(w_->Open(true));
    combo_ = static_cast<CComboUI*>(w_->Find(L"c"));
    ASSERT_NE(combo_, nullptr);
  }
  void TearDown() override {
    if (combo_ != nullptr && combo_->GetDropWindow() != nullptr) {
      ::PostMessageW(combo_->GetDropWindow()->GetWindowHandle(), WM_CLOSE, 0, 0);
      PumpUntil([&] { return combo_->GetDropWindow() == nullptr; }, 2000);
    }
    if (w_) w_->Destroy();
  }

  POINT ComboCentre() {
    const RECT& rc = combo_->GetPos();
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
  }
  CComboWnd* Drop() {
    w_->Click(ComboCentre().x, ComboCentre().y);
    PumpFor(20);
    return combo_->GetDropWindow();
  }
  HWND DropWindow() { return combo_->GetDropWindow()->GetWindowHandle(); }
  static POINT CentreIn(CControlUI* c) {
    const RECT& rc = c->GetPos();
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
  }
  std::vector<std::wstring> Sent() {
    std::vector<std::wstring> out;
    for (const auto& s : w_->Seen()) {
      if (s.sender == L"c" && s.type != L"setfocus" && s.type != L"killfocus") out.push_back(s.type);
    }
    return out;
  }
  bool WaitClosed() {
    return PumpUntil([&] { return combo_->GetDropWindow() == nullptr; }, 3000);
  }

  std::unique_ptr<SkinWindow> w_;
  CComboUI* combo_ = nullptr;
};

RECT WindowRect(HWND window) {
  RECT rc{};
  ::GetWindowRect(window, &rc);
  return rc;
}

TEST_F(ComboTest, AClickOpensOneDropDownAndASecondActivationOnlyAnnouncesIt) {
  Open(ComboSkin(3));
  w_->ClearSeen();
  CComboWnd* drop = Drop();
  ASSERT_NE(drop, nullptr);
  EXPECT_TRUE(::IsWindowVisible(DropWindow()));
  EXPECT_EQ(Sent(), (std::vector<std::wstring>{L"predropdown", L"dropdown"}));
  EXPECT_TRUE(combo_->GetButtonState() & UISTATE_PUSHED);
  // The rows now live in the drop-down.
  EXPECT_EQ(combo_->GetItemAt(0)->GetParent(), drop->GetLayout());
  w_->ClearSeen();
  EXPECT_TRUE(combo_->Activate());
  EXPECT_EQ(Sent(), (std::vector<std::wstring>{L"predropdown"}));
  EXPECT_EQ(combo_->GetDropWindow(), drop);
}

TEST_F(ComboTest, TheDropDownIsAsWideAsTheComboAndAsHighAsItsRowsUpToTheBoxHeight) {
  struct Case {
    int items;
    int height;
    bool scroll_bar;
  };
  for (Case c : {Case{3, 76, false}, Case{20, 150, true}}) {
    SCOPED_TRACE(c.items);
    Open(ComboSkin(c.items));
    ASSERT_NE(Drop(), nullptr);
    const RECT drop = WindowRect(DropWindow());
    RECT combo = combo_->GetPos();
    ::MapWindowPoints(w_->Hwnd(), HWND_DESKTOP, reinterpret_cast<POINT*>(&combo), 2);
    EXPECT_EQ(drop.left, combo.left);
    EXPECT_EQ(drop.right, combo.right);
    EXPECT_EQ(drop.top, combo.bottom);
    EXPECT_EQ(drop.bottom - drop.top, c.height);
    PumpFor(20);
    CScrollBarUI* bar = combo_->GetDropWindow()->GetLayout()->GetVerticalScrollBar();
    EXPECT_EQ(bar != nullptr && bar->IsVisible(), c.scroll_bar);
    TearDown();
  }
}

TEST_F(ComboTest, EscapeRestoresTheOldSelectionAndEnterKeepsTheNewOne) {
  Open(ComboSkin(5));
  ASSERT_TRUE(combo_->SelectItem(1));
  ASSERT_NE(Drop(), nullptr);
  ::SendMessageW(DropWindow(), WM_KEYDOWN, VK_DOWN, 1);
  EXPECT_EQ(combo_->GetCurrentSelection(), 2);
  ::SendMessageW(DropWindow(), WM_KEYDOWN, VK_ESCAPE, 1);
  ASSERT_TRUE(WaitClosed());
  EXPECT_EQ(combo_->GetCurrentSelection(), 1);
  EXPECT_EQ(combo_->GetText(), CUiString(L"Item 1"));
  EXPECT_EQ(combo_->GetItemAt(0)->GetParent(), combo_);  // the rows came back

  ASSERT_NE(Drop(), nullptr);
  ::SendMessageW(DropWindow(), WM_KEYDOWN, VK_DOWN, 1);
  ::SendMessageW(DropWindow(), WM_KEYDOWN, VK_DOWN, 1);
  ::SendMessageW(DropWindow(), WM_KEYDOWN, VK_RETURN, 1);
  ASSERT_TRUE(WaitClosed());
  EXPECT_EQ(combo_->GetCurrentSelection(), 3);
  EXPECT_FALSE(combo_->GetButtonState() & UISTATE_PUSHED);
}

TEST_F(ComboTest, AClickOnARowChoosesItAndClosesButAPressThatLeavesTheRowsDoesNot) {
  Open(ComboSkin(4));
  ASSERT_NE(Drop(), nullptr);
  CControlUI* row = combo_->GetItemAt(2);
  POINT p = CentreIn(row);
  w_->ClearSeen();
  ::SendMessageW(DropWindow(), WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
  ::SendMessageW(DropWindow(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
  ::SendMessageW(DropWindow(), WM_LBUTTONUP, 0, MAKELPARAM(500, 500));
  PumpFor(30);
  EXPECT_NE(combo_->GetDropWindow(), nullptr);
  ::SendMessageW(DropWindow(), WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
  ::SendMessageW(DropWindow(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
  ::SendMessageW(DropWindow(), WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
  ASSERT_TRUE(WaitClosed());
  EXPECT_EQ(combo_->GetCurrentSelection(), 2);
  bool selected = false;
  for (const auto& s : w_->Seen()) {
    if (s.type == L"itemselect" && s.sender == L"c") selected = selected || s.wparam == 2;
  }
  EXPECT_TRUE(selected);
}

TEST_F(ComboTest, FocusLeavingTheDropDownClosesIt) {
  Open(ComboSkin(3));
  ASSERT_NE(Drop(), nullptr);
  ::SendMessageW(DropWindow(), WM_KILLFOCUS, reinterpret_cast<WPARAM>(w_->Hwnd()), 0);
  EXPECT_TRUE(WaitClosed());
}

TEST_F(ComboTest, AComboNearTheBottomOfTheWorkAreaOpensAbove) {
  Open(ComboSkin(3));
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  ::GetMonitorInfoW(::MonitorFromWindow(nullptr, MONITOR_DEFAULTTOPRIMARY), &info);
  ::SetWindowPos(w_->Hwnd(), nullptr, 40, info.rcWork.bottom - 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ASSERT_NE(Drop(), nullptr);
  RECT combo = combo_->GetPos();
  ::MapWindowPoints(w_->Hwnd(), HWND_DESKTOP, reinterpret_cast<POINT*>(&combo), 2);
  const RECT drop = WindowRect(DropWindow());
  EXPECT_EQ(drop.bottom, combo.top);
  EXPECT_EQ(drop.bottom - drop.top, 76);
}

TEST_F(ComboTest, TheWheelOverAClosedComboSelectsOnlyWithScrollSelect) {
  for (bool scroll_select : {true, false}) {
    SCOPED_TRACE(scroll_select);
    Open(ComboSkin(4, scroll_select ? L"scrollselect=\"true\"" : L"scrollselect=\"false\""));
    combo_->SelectItem(1);
    const POINT p = ComboCentre();
    POINT screen = p;
    ::ClientToScreen(w_->Hwnd(), &screen);
    ::SendMessageW(w_->Hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
    ::SendMessageW(w_->Hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(screen.x, screen.y));
    EXPECT_EQ(combo_->GetCurrentSelection(), scroll_select ? 2 : 1);
    TearDown();
  }
}

TEST_F(ComboTest, RemovingTheSelectedRowSelectsTheRowNowAtItsPlace) {
  Open(ComboSkin(4));
  combo_->SelectItem(3);
  combo_->GetItemAt(2)->SetEnabled(false);
  w_->ClearSeen();
  ASSERT_TRUE(combo_->RemoveAt(3));
  // Index 3 is gone and index 2 is disabled: the nearest selectable before it.
  EXPECT_EQ(combo_->GetCurrentSelection(), 1);
  ASSERT_FALSE(w_->Seen().empty());
  bool seen = false;
  for (const auto& s : w_->Seen()) {
    if (s.type == L"itemselect") {
      EXPECT_EQ(s.wparam, 1u);
      EXPECT_EQ(s.lparam, -1);
      seen = true;
    }
  }
  EXPECT_TRUE(seen);
  EXPECT_FALSE(combo_->SelectItem(-1));
  EXPECT_EQ(combo_->GetCurrentSelection(), -1);
  EXPECT_FALSE(combo_->Remove(combo_));
}

TEST_F(ComboTest, ADestroyedComboLeavesNoDropDownPointingAtIt) {
  Open(ComboSkin(3));
  ASSERT_NE(Drop(), nullptr);
  const HWND drop = DropWindow();
  CControlUI* parent = combo_->GetParent();
  static_cast<CContainerUI*>(parent->QueryInterfaceByName(L"Container"))->Remove(combo_);
  combo_ = nullptr;
  PumpFor(30);
  EXPECT_FALSE(::IsWindow(drop));
  // The window keeps working.
  w_->MouseMove(10, 10);
  w_->Click(10, 10);
  PumpFor(20);
}

// A 100 x 20 strip of five 20-pixel states, each its own colour.
constexpr std::uint32_t kStates[5] = {0xFF101010, 0xFF202020, 0xFF30A030, 0xFF404040, 0xFF505050};

std::string StripPng() {
  std::vector<std::uint32_t> pixels(100 * 20);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 100; ++x) pixels[y * 100 + x] = kStates[x / 20];
  }
  char dir[MAX_PATH]{};
  ::GetTempPathA(MAX_PATH, dir);
  const std::string path = std::string(dir) + "ql_combo_strip.png";
  if (!testing::WritePng(path, pixels, 100, 20)) return {};
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  ::DeleteFileA(path.c_str());
  return bytes.str();
}

TEST_F(ComboTest, AComboBoxDrawsTheArrowOfItsStateFromTheStrip) {
  const std::string strip = StripPng();
  ASSERT_FALSE(strip.empty());
  const std::string zip = testing::BuildZip({{.name = "strip.png", .data = strip}}).bytes;
  CPaintManagerUI::SetResourceZipFromMemory(zip.data(), static_cast<unsigned>(zip.size()));
  std::wstring skin = ComboSkin(3, L"bordersize=\"1\" bordercolor=\"#FF000000\"");
  skin.replace(skin.find(L"<Combo "), 7, L"<ComboBox ");
  skin.replace(skin.find(L"</Combo>"), 8, L"</ComboBox>");
  skin.replace(skin.find(L"bordersize"), 0, L"arrowimage=\"file='strip.png' source='0,0,100,20'\" ");
  Open(skin);
  auto* box = static_cast<CComboBoxUI*>(combo_);
  EXPECT_STREQ(box->GetClassName(), L"ComboBoxUI");
  const RECT rc = combo_->GetPos();
  const int y = (rc.top + rc.bottom) / 2;
  // The window gave its only tab stop the focus: the fourth fifth, in the
  // rightmost 20 pixels inside the border.
  EXPECT_TRUE(combo_->IsFocused());
  EXPECT_EQ(w_->PixelAt(rc.right - 11, y) & 0xFFFFFF, kStates[3] & 0xFFFFFF);
  EXPECT_EQ(w_->PixelAt(rc.right - 20, y) & 0xFFFFFF, kStates[3] & 0xFFFFFF);
  EXPECT_EQ(box->GetArrowWidth(), 20);
  EXPECT_NE(w_->PixelAt(rc.right - 23, y) & 0xFFFFFF, kStates[3] & 0xFFFFFF);
  EXPECT_NE(w_->PixelAt(rc.right - 1, y) & 0xFFFFFF, kStates[3] & 0xFFFFFF);  // the border
  // Pushed (the drop-down open): the third fifth, x 40 to 60 of the strip.
  ASSERT_NE(Drop(), nullptr);
  w_->Paint();
  EXPECT_EQ(w_->PixelAt(rc.right - 11, y) & 0xFFFFFF, kStates[2] & 0xFFFFFF);
}

class ComboGoldenTest : public ComboTest, public ::testing::WithParamInterface<int> {};

TEST_P(ComboGoldenTest, ClosedAndOpen) {
  Open(ComboSkin(4), GetParam());
  combo_->SelectItem(1);
  w_->Paint();
  int width = 0, height = 0;
  auto pixels = w_->Pixels(&width, &height);
  auto result = testing::MatchGolden("combo_closed_" + std::to_string(GetParam()), pixels, width, height, false);
  EXPECT_TRUE(result.ok) << result.message;
  // The drop-down is a layered window: its rows are checked by behaviour,
  // its size by scale.
  CComboWnd* drop = Drop();
  ASSERT_NE(drop, nullptr);
  RECT rc{};
  ::GetWindowRect(DropWindow(), &rc);
  EXPECT_EQ(rc.right - rc.left, 120 * GetParam() / 100);
}

INSTANTIATE_TEST_SUITE_P(Scales, ComboGoldenTest, ::testing::Values(100, 150));

}  // namespace
}  // namespace SkinUI
