#include <gtest/gtest.h>

#include <string>

#include "ui_toolkit/controls/date_time.h"
#include "ui_toolkit/controls/ip_address.h"
#include "ui_toolkit/controls/ip_address_ex.h"
#include "ui_toolkit/controls/tests/further_test_util.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

using testing::PumpUntil;
using testing::SkinWindow;

constexpr wchar_t kSkin[] =
    L"<Window size=\"240,120\"><Font id=\"1\" name=\"Liberation Sans\" size=\"14\"/>"
    L"<VerticalLayout bkcolor=\"#FFFFFFFF\" inset=\"10,5,10,5\" childpadding=\"5\">"
    L"<DateTime name=\"dt\" height=\"30\" font=\"1\" textcolor=\"#FF000000\" timeformat=\"yyyy-MM-dd\"/>"
    L"<IPAddress name=\"ip\" height=\"30\" font=\"1\" textcolor=\"#FF000000\"/>"
    L"<IPAddressEx name=\"ipx\" height=\"30\" font=\"1\" textcolor=\"#FF000000\"/>"
    L"</VerticalLayout></Window>";

SYSTEMTIME Fixed() {
  SYSTEMTIME t{};
  t.wYear = 2026;
  t.wMonth = 12;
  t.wDay = 11;
  t.wDayOfWeek = 5;
  t.wHour = 9;
  t.wMinute = 8;
  t.wSecond = 7;
  return t;
}

std::wstring Dotted(std::uint32_t a) {
  return std::to_wstring(a >> 24) + L"." + std::to_wstring((a >> 16) & 0xFF) + L"." +
         std::to_wstring((a >> 8) & 0xFF) + L"." + std::to_wstring(a & 0xFF);
}

// Moves the keyboard focus away from every control and native field.
void Unfocus(SkinWindow& w) {
  w.GetPaintManager().SetFocus(nullptr);
  ::SetFocus(w.Hwnd());
  testing::PumpFor(20);
}

TEST(DateTimeTest, TextFollowsTheFormat) {
  struct Case {
    const wchar_t* format;
    const wchar_t* text;
  };
  const Case cases[] = {
      {L"yyyy-MM-dd", L"2026-12-11"},
      {L"YYYY-mm-DD", L"2026-12-11"},  // compared without regard to case
      {L"HH:mm:ss", L"09:08:07"},
      {L"dd/MM/yyyy", L"2026-12-11 09:08:07"},
      {L"", L"2026-12-11 09:08:07"},
  };
  CDateTimeUI dt;
  dt.SetTime(Fixed());
  for (const Case& c : cases) {
    dt.SetTimeFormat(c.format);
    EXPECT_STREQ(c.text, dt.GetText().GetData()) << testing::Narrow(c.format);
  }
  dt.SetAttribute(L"ReadOnly", L"true");
  EXPECT_TRUE(dt.IsReadOnly());
  EXPECT_EQ(&dt, dt.QueryInterfaceByName(L"DateTime"));
  EXPECT_NE(static_cast<void*>(&dt), dt.QueryInterfaceByName(L"datetime"));
}

TEST(DateTimeTest, ThePickerOpensOverTheLabelWritesBackAndEscapeRestores) {
  SkinWindow w(kSkin);
  ASSERT_TRUE(w.Open(true));
  auto* dt = static_cast<CDateTimeUI*>(w.Find(L"dt"));
  dt->SetTime(Fixed());
  w.Click(50, 20);
  const HWND picker = dt->GetNativeWindow();
  ASSERT_NE(nullptr, picker);
  EXPECT_TRUE(::IsWindowVisible(picker));
  EXPECT_NE(0, ::GetWindowLongPtrW(picker, GWL_STYLE) & WS_CHILD);
  RECT rc{};
  ::GetWindowRect(picker, &rc);
  ::MapWindowPoints(nullptr, w.Hwnd(), reinterpret_cast<POINT*>(&rc), 2);
  EXPECT_EQ(dt->GetPos().left, rc.left);
  EXPECT_EQ(dt->GetPos().top, rc.top);
  EXPECT_EQ(dt->GetPos().right, rc.right);
  SYSTEMTIME shown{};
  ASSERT_EQ(GDT_VALID, ::SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&shown)));
  EXPECT_EQ(2026, shown.wYear);
  EXPECT_EQ(11, shown.wDay);
  // The user picks the year (the first field) and steps it with the arrow key.
  ::SendMessageW(picker, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(8, 10));
  ::SendMessageW(picker, WM_LBUTTONUP, 0, MAKELPARAM(8, 10));
  ::SendMessageW(picker, WM_KEYDOWN, VK_UP, 1);
  ::SendMessageW(picker, WM_KEYUP, VK_UP, 0xC0000001);
  const SYSTEMTIME changed = dt->GetTime();
  EXPECT_EQ(2027, changed.wYear);
  wchar_t expected[16];
  std::swprintf(expected, 16, L"%4d-%02d-%02d", changed.wYear, changed.wMonth, changed.wDay);
  EXPECT_STREQ(expected, dt->GetText().GetData());
  // Escape puts back the time shown when the picker opened, and closes it.
  ::SendMessageW(picker, WM_KEYDOWN, VK_ESCAPE, 1);
  EXPECT_STREQ(L"2026-12-11", dt->GetText().GetData());
  ASSERT_TRUE(PumpUntil([&] { return dt->GetNativeWindow() == nullptr; }, 3000));
  EXPECT_FALSE(::IsWindow(picker));
}

TEST(DateTimeTest, LosingTheFocusClosesThePickerAndKeepsTheChange) {
  SkinWindow w(kSkin);
  ASSERT_TRUE(w.Open(true));
  auto* dt = static_cast<CDateTimeUI*>(w.Find(L"dt"));
  dt->SetTime(Fixed());
  w.GetPaintManager().SetFocus(dt);
  const HWND picker = dt->GetNativeWindow();
  ASSERT_NE(nullptr, picker);
  ::SendMessageW(picker, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(8, 10));
  ::SendMessageW(picker, WM_LBUTTONUP, 0, MAKELPARAM(8, 10));
  ::SendMessageW(picker, WM_KEYDOWN, VK_DOWN, 1);
  EXPECT_STREQ(L"2025-12-11", dt->GetText().GetData());
  Unfocus(w);
  ASSERT_TRUE(PumpUntil([&] { return dt->GetNativeWindow() == nullptr; }, 3000));
  EXPECT_STREQ(L"2025-12-11", dt->GetText().GetData());
  EXPECT_EQ(2025, dt->GetTime().wYear);
}

TEST(DateTimeTest, ADisabledControlOpensNothing) {
  SkinWindow w(kSkin);
  ASSERT_TRUE(w.Open(true));
  auto* dt = static_cast<CDateTimeUI*>(w.Find(L"dt"));
  Unfocus(w);  // the window gave the first tab stop the focus
  ASSERT_TRUE(PumpUntil([&] { return dt->GetNativeWindow() == nullptr; }, 3000));
  dt->SetEnabled(false);
  w.Click(50, 20);
  EXPECT_EQ(nullptr, dt->GetNativeWindow());
}

TEST(IPAddressTest, StartsWithTheMachinesAddress) {
  CIPAddressUI ip;
  EXPECT_EQ(GetLocalIpAddress(), ip.GetIP());
  EXPECT_EQ(Dotted(ip.GetIP()), ip.GetText().GetData());
  EXPECT_STREQ(L"DateTimeUI", ip.GetClassName());
  EXPECT_EQ(&ip, ip.QueryInterfaceByName(L"IPAddress"));
}

TEST(IPAddressTest, TypingIntoTheFieldWritesTheAddressBackWhenItIsLeft) {
  SkinWindow w(kSkin);
  ASSERT_TRUE(w.Open(true));
  auto* ip = static_cast<CIPAddressUI*>(w.Find(L"ip"));
  ip->SetIP(0x01020304);
  w.Click(50, 55);
  const HWND field = ip->GetNativeWindow();
  ASSERT_NE(nullptr, field);
  EXPECT_TRUE(::IsWindowVisible(field));
  DWORD shown = 0;
  ::SendMessageW(field, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&shown));
  EXPECT_EQ(0x01020304u, shown);
  // The user types into the four boxes, moving on with the dot.
  ::SendMessageW(field, IPM_CLEARADDRESS, 0, 0);
  HWND box = ::GetFocus();
  ASSERT_TRUE(::IsChild(field, box));
  for (const wchar_t c : std::wstring(L"10.20.30.40")) {
    box = ::GetFocus();
    ::SendMessageW(box, WM_CHAR, c, 1);
  }
  ::SendMessageW(field, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&shown));
  EXPECT_EQ(0x0A141E28u, shown);
  EXPECT_STREQ(L"1.2.3.4", ip->GetText().GetData());  // not yet: the field is still open
  Unfocus(w);
  EXPECT_STREQ(L"10.20.30.40", ip->GetText().GetData());
  EXPECT_EQ(0x0A141E28u, ip->GetIP());
  // Hidden, not destroyed; taking the focus again shows it again.
  EXPECT_FALSE(::IsWindowVisible(field));
  w.GetPaintManager().SetFocus(ip);
  EXPECT_TRUE(::IsWindowVisible(field));
}

TEST(IPAddressTest, DeleteEmptiesTheTextEscapeLeavesIt) {
  struct Case {
    WPARAM key;
    const wchar_t* text;
  };
  const Case cases[] = {{VK_DELETE, L""}, {VK_BACK, L""}, {VK_ESCAPE, L"1.2.3.4"}};
  for (const Case& c : cases) {
    SkinWindow w(kSkin);
    ASSERT_TRUE(w.Open(true));
    auto* ip = static_cast<CIPAddressUI*>(w.Find(L"ip"));
    ip->SetIP(0x01020304);
    w.Click(50, 55);
    ASSERT_NE(nullptr, ip->GetNativeWindow());
    const HWND box = ::GetFocus();
    ASSERT_TRUE(::IsChild(ip->GetNativeWindow(), box));
    ::SendMessageW(box, WM_CHAR, L'9', 1);
    ::SendMessageW(box, WM_KEYDOWN, c.key, 1);
    ::SendMessageW(box, WM_KEYUP, c.key, 0xC0000001);
    ASSERT_TRUE(PumpUntil([&] { return ip->GetNativeWindow() == nullptr; }, 3000)) << c.key;
    EXPECT_STREQ(c.text, ip->GetText().GetData()) << c.key;
  }
}

TEST(IPAddressTest, MalformedTextIsReplacedByTheAddressWhenTheFieldIsLeft) {
  SkinWindow w(kSkin);
  ASSERT_TRUE(w.Open(true));
  auto* ip = static_cast<CIPAddressUI*>(w.Find(L"ip"));
  ip->SetIP(0xC0A80001);
  ip->SetText(L"999.1.x");
  w.GetPaintManager().SetFocus(ip);
  const HWND field = ip->GetNativeWindow();
  ASSERT_NE(nullptr, field);
  DWORD shown = 0;
  ::SendMessageW(field, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&shown));
  EXPECT_EQ(0xC0A80001u, shown);
  Unfocus(w);
  EXPECT_STREQ(L"192.168.0.1", ip->GetText().GetData());
}

class IPAddressExTest : public ::testing::Test {
 protected:
  void SetUp() override {
    w_ = std::make_unique<SkinWindow>(kSkin);
    ASSERT_TRUE(w_->Open(true));
    ipx_ = static_cast<CIPAddressExUI*>(w_->Find(L"ipx"));
    pos_ = ipx_->GetPos();
  }
  // A click in octet |n|'s quarter.
  void ClickOctet(int n) {
    const int quarter = (pos_.right - pos_.left) / 4;
    w_->Click(pos_.left + (n - 1) * quarter + quarter / 2, (pos_.top + pos_.bottom) / 2);
  }
  void Type(const std::wstring& keys) {
    for (const wchar_t k : keys) w_->Key(k == L'.' ? VK_OEM_PERIOD : static_cast<WPARAM>(k));
  }
  std::unique_ptr<SkinWindow> w_;
  CIPAddressExUI* ipx_ = nullptr;
  RECT pos_{};
};

TEST_F(IPAddressExTest, ClickingAQuarterActivatesItsOctet) {
  const int quarter = (pos_.right - pos_.left) / 4;
  struct Case {
    int x;
    int octet;
  };
  const Case cases[] = {{1, 1}, {quarter, 1}, {quarter + 1, 2}, {2 * quarter + 1, 3}, {3 * quarter + 1, 4},
                        {4 * quarter - 1, 4}};
  for (const Case& c : cases) {
    w_->Click(pos_.left + c.x, pos_.top + 10);
    EXPECT_EQ(c.octet, ipx_->GetActiveOctet()) << c.x;
  }
  EXPECT_EQ(nullptr, ipx_->GetNativeWindow());  // never a native edit
}

TEST_F(IPAddressExTest, ThreeDigitsMoveOnAndLargeValuesAreHeldTo255) {
  ClickOctet(1);
  Type(L"192168");
  EXPECT_EQ(3, ipx_->GetActiveOctet());
  Type(L"0.");
  EXPECT_EQ(4, ipx_->GetActiveOctet());
  Type(L"999");
  EXPECT_EQ(4, ipx_->GetActiveOctet());  // the last octet stays active
  EXPECT_STREQ(L"192.168.0.255", ipx_->GetText().GetData());
  // Letters and other keys are no digits; the numeric pad's are.
  ClickOctet(3);
  Type(L"AZ");
  EXPECT_EQ(0, ipx_->GetOctet(3));
  w_->Key(VK_NUMPAD4);
  w_->Key(VK_NUMPAD2);
  EXPECT_EQ(42, ipx_->GetOctet(3));
  EXPECT_STREQ(L"192.168.42.255", ipx_->GetText().GetData());
}

TEST_F(IPAddressExTest, ArrowsWheelAndDeleteEditTheActiveOctet) {
  ClickOctet(2);
  w_->Key(VK_UP);
  w_->Key(VK_UP);
  EXPECT_EQ(2, ipx_->GetOctet(2));
  w_->Key(VK_DOWN);
  w_->Key(VK_DOWN);
  w_->Key(VK_DOWN);  // not below 0
  EXPECT_EQ(0, ipx_->GetOctet(2));
  POINT at{pos_.left + 5, pos_.top + 5};
  ::ClientToScreen(w_->Hwnd(), &at);
  ::SendMessageW(w_->Hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(at.x, at.y));
  EXPECT_EQ(1, ipx_->GetOctet(2));
  ::SendMessageW(w_->Hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, -120), MAKELPARAM(at.x, at.y));
  EXPECT_EQ(0, ipx_->GetOctet(2));
  Type(L"7");
  w_->Key(VK_RIGHT);
  EXPECT_EQ(3, ipx_->GetActiveOctet());
  w_->Key(VK_LEFT);
  w_->Key(VK_LEFT);
  w_->Key(VK_LEFT);  // not before the first
  EXPECT_EQ(1, ipx_->GetActiveOctet());
  Type(L"12");
  w_->Key(VK_DELETE);
  EXPECT_EQ(0, ipx_->GetOctet(1));
  EXPECT_STREQ(L"0.7.0.0", ipx_->GetText().GetData());
}

TEST_F(IPAddressExTest, WithoutAnActiveOctetKeysAndWheelChangeNothing) {
  ClickOctet(1);
  Type(L"10");
  Unfocus(*w_);
  EXPECT_EQ(0, ipx_->GetActiveOctet());
  // Keys straight to the control: no octet to edit, nothing written anywhere.
  for (const WPARAM key : {static_cast<WPARAM>(VK_DELETE), static_cast<WPARAM>(VK_UP), static_cast<WPARAM>('5')}) {
    ControlEventUI event;
    event.Type = UIEVENT_KEYDOWN;
    event.pSender = ipx_;
    event.chKey = static_cast<wchar_t>(key);
    ipx_->DispatchEvent(event);
  }
  ControlEventUI wheel;
  wheel.Type = UIEVENT_SCROLLWHEEL;
  wheel.pSender = ipx_;
  ipx_->DispatchEvent(wheel);
  EXPECT_STREQ(L"10.0.0.0", ipx_->GetText().GetData());
}

TEST_F(IPAddressExTest, ADisabledControlTakesNoInput) {
  ipx_->SetEnabled(false);
  ClickOctet(2);
  Type(L"5");
  EXPECT_EQ(0, ipx_->GetActiveOctet());
  EXPECT_STREQ(L"0.0.0.0", ipx_->GetText().GetData());
}

class IPDateTimeGoldenTest : public ::testing::TestWithParam<int> {};

TEST_P(IPDateTimeGoldenTest, LabelsAndTheActiveOctet) {
  const int scale = GetParam();
  SkinWindow w(kSkin, scale);
  ASSERT_TRUE(w.Open(true));
  static_cast<CDateTimeUI*>(w.Find(L"dt"))->SetTime(Fixed());
  static_cast<CIPAddressUI*>(w.Find(L"ip"))->SetIP(0xC0A80101);
  auto* ipx = static_cast<CIPAddressExUI*>(w.Find(L"ipx"));
  testing::ExpectGolden(w, "ip_datetime_start_" + std::to_string(scale));
  const RECT pos = ipx->GetPos();
  const int quarter = (pos.right - pos.left) / 4;
  w.Click(pos.left + quarter / 2, pos.top + 5);
  for (const int k : {int{'1'}, int{'0'}, VK_OEM_PERIOD, int{'2'}, int{'5'}, int{'5'}, int{'7'}}) w.Key(static_cast<WPARAM>(k));
  testing::ExpectGolden(w, "ip_datetime_editing_" + std::to_string(scale));
}

INSTANTIATE_TEST_SUITE_P(Scales, IPDateTimeGoldenTest, ::testing::Values(100, 150));

}  // namespace
}  // namespace SkinUI
