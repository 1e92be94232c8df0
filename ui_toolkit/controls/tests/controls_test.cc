#include <gtest/gtest.h>

#include <climits>

#include "ui_toolkit/controls/check_box.h"
#include "ui_toolkit/controls/edit.h"
#include "ui_toolkit/controls/option.h"
#include "ui_toolkit/controls/progress.h"
#include "ui_toolkit/core/tests/skin_window.h"

namespace SkinUI {
namespace {

using testing::SkinWindow;

std::vector<std::pair<std::wstring, std::wstring>> Events(const SkinWindow& w) {
  std::vector<std::pair<std::wstring, std::wstring>> out;
  for (const auto& s : w.Seen()) {
    if (s.type == L"click" || s.type == L"selectchanged" || s.type == L"checkclick") out.push_back({s.type, s.sender});
  }
  return out;
}

constexpr wchar_t kOptions[] =
    L"<Window size=\"300,100\"><HorizontalLayout>"
    L"<Option name=\"o1\" group=\"g\" width=\"60\" height=\"40\" selected=\"true\"/>"
    L"<Option name=\"o2\" group=\"g\" width=\"60\" height=\"40\"/>"
    L"<Option name=\"o3\" group=\"g\" width=\"60\" height=\"40\"/>"
    L"<Option name=\"solo\" width=\"60\" height=\"40\"/>"
    L"<CheckBox name=\"cb\" width=\"60\" height=\"40\" EnableAutoCheck=\"true\"/>"
    L"</HorizontalLayout></Window>";

TEST(OptionTest, SelectingAGroupMemberDeselectsTheSelectedOneFirst) {
  SkinWindow w(kOptions);
  ASSERT_TRUE(w.Open());
  // o1 was selected by its attribute before it had a manager: the group
  // applies from the next selection on.
  EXPECT_TRUE(static_cast<COptionUI*>(w.Find(L"o1"))->IsSelected());
  w.ClearSeen();
  w.Click(90, 20);
  using E = std::vector<std::pair<std::wstring, std::wstring>>;
  EXPECT_EQ((E{{L"click", L"o2"}, {L"selectchanged", L"o1"}, {L"selectchanged", L"o2"}}), Events(w));
  EXPECT_FALSE(static_cast<COptionUI*>(w.Find(L"o1"))->IsSelected());
  EXPECT_TRUE(static_cast<COptionUI*>(w.Find(L"o2"))->IsSelected());
  // Clicking the selected radio option only clicks it.
  w.ClearSeen();
  w.Click(90, 20);
  EXPECT_EQ((E{{L"click", L"o2"}}), Events(w));
  // An option without a group toggles.
  w.ClearSeen();
  w.Click(210, 20);
  EXPECT_EQ((E{{L"click", L"solo"}, {L"selectchanged", L"solo"}}), Events(w));
  EXPECT_TRUE(static_cast<COptionUI*>(w.Find(L"solo"))->IsSelected());
  w.Click(210, 20);
  EXPECT_FALSE(static_cast<COptionUI*>(w.Find(L"solo"))->IsSelected());
}

TEST(OptionTest, SameGroupTypeMembersMayBothBeSelected) {
  SkinWindow w(
      L"<Window><HorizontalLayout><Option name=\"a\" group=\"g\" grouptype=\"t\"/>"
      L"<Option name=\"b\" group=\"g\" grouptype=\"T\"/><Option name=\"c\" group=\"g\"/></HorizontalLayout></Window>");
  ASSERT_TRUE(w.Open());
  auto* a = static_cast<COptionUI*>(w.Find(L"a"));
  auto* b = static_cast<COptionUI*>(w.Find(L"b"));
  auto* c = static_cast<COptionUI*>(w.Find(L"c"));
  a->Selected(true);
  b->Selected(true);
  EXPECT_TRUE(a->IsSelected());
  EXPECT_TRUE(b->IsSelected());
  c->Selected(true);
  EXPECT_FALSE(a->IsSelected());
  EXPECT_FALSE(b->IsSelected());
}

TEST(CheckBoxTest, AutoCheckTogglesOnPressWithoutAClick) {
  SkinWindow w(kOptions);
  ASSERT_TRUE(w.Open());
  w.ClearSeen();
  w.Click(270, 20);
  using E = std::vector<std::pair<std::wstring, std::wstring>>;
  EXPECT_EQ((E{{L"selectchanged", L"cb"}, {L"checkclick", L"cb"}}), Events(w));
  EXPECT_EQ(1u, w.Seen().empty() ? 0u : [&] {
    for (const auto& s : w.Seen()) if (s.type == L"selectchanged") return static_cast<unsigned>(s.wparam);
    return 9u;
  }());
  EXPECT_TRUE(static_cast<CCheckBoxUI*>(w.Find(L"cb"))->IsChecked());
  w.Click(270, 20);
  EXPECT_FALSE(static_cast<CCheckBoxUI*>(w.Find(L"cb"))->IsChecked());
}

TEST(CheckBoxTest, UncheckingAGroupedCheckBoxSendsNothing) {
  SkinWindow w(L"<Window><HorizontalLayout><CheckBox name=\"a\" group=\"g\"/><CheckBox name=\"b\" group=\"g\"/>"
               L"</HorizontalLayout></Window>");
  ASSERT_TRUE(w.Open());
  auto* a = static_cast<CCheckBoxUI*>(w.Find(L"a"));
  auto* b = static_cast<CCheckBoxUI*>(w.Find(L"b"));
  a->SetCheck(true);
  b->SetCheck(true);
  EXPECT_FALSE(a->IsChecked());
  w.ClearSeen();
  b->SetCheck(false);
  EXPECT_TRUE(w.Seen().empty());
}

TEST(ProgressTest, FillAndPercentFollowTheValue) {
  SkinWindow w(
      L"<Window size=\"200,20\"><VerticalLayout bkcolor=\"#FFFFFFFF\"><Progress name=\"p\" height=\"20\""
      L" forecolor=\"#FF0000FF\" min=\"0\" max=\"100\" value=\"50\" showtext=\"true\"/></VerticalLayout></Window>");
  ASSERT_TRUE(w.Open());
  auto* p = static_cast<CProgressUI*>(w.Find(L"p"));
  EXPECT_EQ(0x0000FFu, w.PixelAt(99, 2) & 0xFFFFFF);
  EXPECT_EQ(0xFFFFFFu, w.PixelAt(100, 2) & 0xFFFFFF);
  p->SetValue(60);  // the text follows from the next value on
  EXPECT_STREQ(L"60%", p->GetText().GetData());
  p->SetValue(150);  // outside the range: ignored
  EXPECT_EQ(60, p->GetValue());
  p->SetMaxValue(3);
  p->SetValue(2);
  EXPECT_STREQ(L"67%", p->GetText().GetData());
}

TEST(ProgressTest, ZeroRangeAndExtremeRangesNeitherDivideByZeroNorOverflow) {
  CProgressUI p;
  p.SetShowText(true);
  p.SetMinValue(5);
  p.SetMaxValue(5);
  p.SetValue(5);
  EXPECT_STREQ(L"0%", p.GetText().GetData());  // not "nan%"
  EXPECT_EQ(0, p.FilledExtent(200));
  EXPECT_EQ(6, p.GetMaxValue());  // made consistent for painting
  CProgressUI wide;
  wide.SetShowText(true);
  wide.SetMinValue(INT_MIN);
  wide.SetMaxValue(INT_MAX);
  wide.SetValue(1);
  EXPECT_STREQ(L"50%", wide.GetText().GetData());
  EXPECT_EQ(100, wide.FilledExtent(200));
  wide.SetValue(INT_MAX);
  EXPECT_EQ(200, wide.FilledExtent(200));
  CProgressUI top;
  top.SetMinValue(INT_MAX);
  top.SetMaxValue(INT_MAX);
  EXPECT_EQ(0, top.FilledExtent(200));
  EXPECT_GT(top.GetMaxValue(), top.GetMinValue());
}

TEST(EditTest, FocusOpensTheNativeEditAndTypingWritesBack) {
  SkinWindow w(L"<Window size=\"200,40\"><VerticalLayout><Edit name=\"e\" height=\"30\" tipvalue=\"type\"/>"
               L"</VerticalLayout></Window>");
  ASSERT_TRUE(w.Open(true));
  auto* e = static_cast<CEditUI*>(w.Find(L"e"));
  w.GetPaintManager().SetFocus(e);
  const HWND native = e->GetNativeWindow();
  ASSERT_NE(nullptr, native);
  EXPECT_NE(0, ::GetWindowLongPtrW(native, GWL_STYLE) & WS_CHILD);
  w.ClearSeen();
  ::SendMessageW(native, WM_CHAR, L'h', 1);
  ::SendMessageW(native, WM_CHAR, L'i', 1);
  EXPECT_STREQ(L"hi", e->GetText().GetData());
  EXPECT_EQ(2u, w.SeenTypes(L"e").size());
  EXPECT_EQ(L"textchanged", w.SeenTypes(L"e").front());
  ::SendMessageW(native, WM_KEYDOWN, VK_RETURN, 1);
  EXPECT_EQ(L"return", w.SeenTypes(L"e").back());
  // Losing the focus closes the native window.
  w.GetPaintManager().SetFocus(nullptr);
  ::SetFocus(nullptr);
  testing::PumpUntil([&] { return e->GetNativeWindow() == nullptr; }, 2000);
  EXPECT_EQ(nullptr, e->GetNativeWindow());
}

}  // namespace
}  // namespace SkinUI
