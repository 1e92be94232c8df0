#include <gtest/gtest.h>

#include "ui_toolkit/controls/tests/further_test_util.h"
#include "ui_toolkit/controls/text.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

using testing::SkinWindow;

std::wstring TextSkin(const std::wstring& text_attrs) {
  return L"<Window size=\"240,80\"><Font id=\"1\" name=\"Liberation Sans\" size=\"14\"/>"
         L"<VerticalLayout bkcolor=\"#FFFFFFFF\"><Text name=\"t\" font=\"1\" textcolor=\"#FF202020\" " +
         text_attrs + L"/></VerticalLayout></Window>";
}

POINT Centre(const RECT& rc) { return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}; }

TEST(TextTest, ClickingALinkSendsItsIndexOnTheRelease) {
  SkinWindow w(TextSkin(L"showhtml=\"true\" text=\"Read {a terms}the terms{/a} and {a help}help{/a}.\""));
  ASSERT_TRUE(w.Open());
  auto* t = static_cast<CTextUI*>(w.Find(L"t"));
  ASSERT_EQ(2, t->GetLinkCount());
  EXPECT_STREQ(L"terms", t->GetLinkContent(0)->GetData());
  EXPECT_STREQ(L"help", t->GetLinkContent(1)->GetData());
  EXPECT_EQ(UIFLAG_SETCURSOR, t->GetControlFlags());
  const POINT help = Centre(t->GetLinkRect(1));
  w.ClearSeen();
  w.MouseDown(help.x, help.y);
  EXPECT_TRUE(testing::Sent(w, L"t").empty());  // nothing on the press
  w.MouseUp(help.x, help.y);
  ASSERT_EQ(std::vector<std::wstring>{L"link"}, testing::Sent(w, L"t"));
  EXPECT_EQ(1u, w.Seen().back().wparam);
  // Outside every link a click is only a click on a label.
  w.ClearSeen();
  w.Click(230, 70);
  EXPECT_TRUE(testing::Sent(w, L"t").empty());
}

TEST(TextTest, HoverFollowsTheLinkUnderTheMouse) {
  SkinWindow w(TextSkin(L"showhtml=\"true\" text=\"{a one}one{/a} {a two}two{/a}\""));
  ASSERT_TRUE(w.Open());
  auto* t = static_cast<CTextUI*>(w.Find(L"t"));
  ASSERT_EQ(2, t->GetLinkCount());
  const POINT two = Centre(t->GetLinkRect(1));
  w.MouseMove(two.x, two.y);
  EXPECT_EQ(1, t->GetHoveredLink());
  w.MouseMove(230, 70);
  EXPECT_EQ(-1, t->GetHoveredLink());
  w.MouseMove(two.x, two.y);
  ::SendMessageW(w.Hwnd(), WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(-1, t->GetHoveredLink());
}

TEST(TextTest, OnlyTheFirstEightLinksAreTracked) {
  std::wstring text;
  for (int i = 0; i < 11; ++i) text += L"{a l" + std::to_wstring(i) + L"}L" + std::to_wstring(i) + L"{/a} ";
  SkinWindow w(TextSkin(L"showhtml=\"true\" text=\"" + text + L"\""));
  ASSERT_TRUE(w.Open());
  auto* t = static_cast<CTextUI*>(w.Find(L"t"));
  EXPECT_EQ(CTextUI::kMaxLinks, t->GetLinkCount());
  EXPECT_STREQ(L"l7", t->GetLinkContent(7)->GetData());
  EXPECT_EQ(nullptr, t->GetLinkContent(8));
}

TEST(TextTest, PlainTextLeavesNoClickableLinksBehind) {
  SkinWindow w(TextSkin(L"showhtml=\"true\" text=\"{a x}a link here{/a}\""));
  ASSERT_TRUE(w.Open());
  auto* t = static_cast<CTextUI*>(w.Find(L"t"));
  ASSERT_EQ(1, t->GetLinkCount());
  const POINT where = Centre(t->GetLinkRect(0));
  t->SetShowHtml(false);
  w.Paint();
  EXPECT_EQ(0, t->GetLinkCount());
  EXPECT_EQ(0u, t->GetControlFlags());
  w.ClearSeen();
  w.Click(where.x, where.y);
  EXPECT_TRUE(testing::Sent(w, L"t").empty());
}

TEST(TextTest, EmptyTextDropsTheLinks) {
  SkinWindow w(TextSkin(L"showhtml=\"true\" text=\"{a x}link{/a}\""));
  ASSERT_TRUE(w.Open());
  auto* t = static_cast<CTextUI*>(w.Find(L"t"));
  ASSERT_EQ(1, t->GetLinkCount());
  t->SetText(L"");
  w.Paint();
  EXPECT_EQ(0, t->GetLinkCount());
}

TEST(TextTest, AutomaticWidthFollowsTheMeasuredText) {
  SkinWindow w(
      L"<Window size=\"300,40\"><Font id=\"1\" name=\"Liberation Sans\" size=\"14\"/>"
      L"<HorizontalLayout bkcolor=\"#FFFFFFFF\"><Text name=\"t\" font=\"1\" autocalcwidth=\"true\" text=\"wide\"/>"
      L"<Control/></HorizontalLayout></Window>");
  ASSERT_TRUE(w.Open());
  auto* t = static_cast<CTextUI*>(w.Find(L"t"));
  const int narrow = t->GetFixedWidth();
  EXPECT_GT(narrow, 4);  // text plus the two-pixel paddings
  t->SetText(L"a good deal wider");
  w.Paint();
  EXPECT_GT(t->GetFixedWidth(), narrow);
  EXPECT_EQ(t->GetFixedWidth(), t->GetWidth());
}

TEST(TextTest, WordBreakAndPaddingAreTheDefaults) {
  CTextUI t;
  EXPECT_EQ(static_cast<UINT>(DT_WORDBREAK), t.GetTextStyle());
  const RECT pad = t.GetTextPadding();
  EXPECT_EQ((RECT{2, 0, 2, 0}).left, pad.left);
  EXPECT_EQ(2, pad.right);
  EXPECT_EQ(L"TextUI", std::wstring(t.GetClassName()));
  EXPECT_EQ(&t, t.QueryInterfaceByName(L"text"));
}

class TextGoldenTest : public ::testing::TestWithParam<int> {};

TEST_P(TextGoldenTest, LinksPlainAndHovered) {
  const int scale = GetParam();
  SkinWindow w(TextSkin(L"showhtml=\"true\" text=\"Read {a terms}the terms{/a} and {a help}help{/a} before you go on.\""),
               scale);
  ASSERT_TRUE(w.Open());
  auto* t = static_cast<CTextUI*>(w.Find(L"t"));
  testing::ExpectGolden(w, "text_links_" + std::to_string(scale));
  ASSERT_EQ(2, t->GetLinkCount());
  const POINT help = Centre(t->GetLinkRect(1));
  w.MouseMove(help.x, help.y);
  testing::ExpectGolden(w, "text_hovered_" + std::to_string(scale));
}

INSTANTIATE_TEST_SUITE_P(Scales, TextGoldenTest, ::testing::Values(100, 150));

}  // namespace
}  // namespace SkinUI
