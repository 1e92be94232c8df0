// Control base, container and box layouts without a window: positions after
// SetPos, attribute parsing and the attribute-list text.
#include <gtest/gtest.h>

#include "ui_toolkit/controls/label.h"
#include "ui_toolkit/core/container.h"
#include "ui_toolkit/core/horizontal_layout.h"
#include "ui_toolkit/core/vertical_layout.h"

namespace SkinUI {
namespace {

bool Same(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Str(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

CControlUI* Child(CContainerUI& box, const wchar_t* attributes) {
  auto* c = new CControlUI();
  c->ApplyAttributeString(attributes);
  box.Add(c);
  return c;
}

TEST(BoxLayoutTest, VerticalStretchChildrenShareWhatIsLeft) {
  struct Case {
    int height;
    int want_last;
  } cases[] = {{250, 100}, {251, 101}};
  for (const Case& c : cases) {
    CVerticalLayoutUI box;
    CControlUI* fixed = Child(box, L"height=\"50\"");
    CControlUI* s1 = Child(box, L"");
    CControlUI* s2 = Child(box, L"");
    box.SetPos(RECT{0, 0, 80, c.height});
    EXPECT_TRUE(Same(RECT{0, 0, 80, 50}, fixed->GetPos())) << Str(fixed->GetPos());
    EXPECT_TRUE(Same(RECT{0, 50, 80, 150}, s1->GetPos())) << Str(s1->GetPos());
    EXPECT_EQ(c.want_last, s2->GetHeight());
  }
}

TEST(BoxLayoutTest, StretchShareNeverGoesBelowZeroOrTheMinimum) {
  CVerticalLayoutUI box;
  Child(box, L"height=\"80\"");
  CControlUI* s = Child(box, L"");
  CControlUI* m = Child(box, L"minheight=\"7\"");
  box.SetPos(RECT{0, 0, 10, 60});
  EXPECT_EQ(0, s->GetHeight());
  EXPECT_EQ(7, m->GetHeight());
}

TEST(BoxLayoutTest, PaddingAlignmentAndChildPadding) {
  CVerticalLayoutUI box;
  box.ApplyAttributeString(L"inset=\"5,5,5,5\" childpadding=\"4\" childvalign=\"bottom\" childalign=\"center\"");
  CControlUI* a = Child(box, L"height=\"20\" width=\"40\" padding=\"30,0,0,0\"");
  CControlUI* hidden = Child(box, L"height=\"20\" visible=\"false\"");
  CControlUI* b = Child(box, L"height=\"10\"");
  box.SetPos(RECT{0, 0, 110, 100});
  // Nothing stretches, so the fixed children sit at the bottom of the inner
  // area (90 - 34 = 56 down); centred children ignore their paddings.
  EXPECT_TRUE(Same(RECT{35, 61, 75, 81}, a->GetPos())) << Str(a->GetPos());
  EXPECT_TRUE(Same(RECT{5, 85, 105, 95}, b->GetPos())) << Str(b->GetPos());
  EXPECT_FALSE(hidden->IsVisible());
}

TEST(BoxLayoutTest, HorizontalMirrorsTheVertical) {
  CHorizontalLayoutUI box;
  box.ApplyAttributeString(L"childvalign=\"vcenter\"");
  CControlUI* a = Child(box, L"width=\"50\" height=\"10\"");
  CControlUI* s = Child(box, L"padding=\"2,0,3,0\"");
  CControlUI* b = Child(box, L"width=\"30\"");
  box.SetPos(RECT{0, 0, 200, 40});
  EXPECT_TRUE(Same(RECT{0, 15, 50, 25}, a->GetPos())) << Str(a->GetPos());
  EXPECT_TRUE(Same(RECT{52, 0, 167, 40}, s->GetPos())) << Str(s->GetPos());
  EXPECT_TRUE(Same(RECT{170, 0, 200, 40}, b->GetPos())) << Str(b->GetPos());
}

TEST(ContainerTest, PlainContainerStacksChildrenAndPlacesFloatChildren) {
  CContainerUI box;
  CControlUI* a = Child(box, L"maxwidth=\"50\"");
  CControlUI* b = Child(box, L"");
  CControlUI* f = Child(box, L"float=\"true\" pos=\"-10,10,-30,30\"");
  box.SetPos(RECT{0, 0, 200, 100});
  EXPECT_TRUE(Same(RECT{0, 0, 50, 100}, a->GetPos())) << Str(a->GetPos());
  EXPECT_TRUE(Same(RECT{0, 0, 200, 100}, b->GetPos())) << Str(b->GetPos());
  // 30 pixels left of the right edge, 20 wide.
  EXPECT_TRUE(Same(RECT{170, 10, 190, 30}, f->GetPos())) << Str(f->GetPos());
}

TEST(ContainerTest, HiddenContainerPassesVisibilityToChildren) {
  CContainerUI box;
  box.SetVisible(false);
  CControlUI* a = Child(box, L"");
  EXPECT_FALSE(a->IsVisible());
  box.SetVisible(true);
  EXPECT_TRUE(a->IsVisible());
}

TEST(ContainerTest, RemoveOfAStrangerDestroysNothing) {
  CContainerUI box;
  CControlUI stranger;
  EXPECT_FALSE(box.Remove(&stranger));
  EXPECT_FALSE(box.Remove(nullptr));
  EXPECT_FALSE(box.RemoveAt(0));
}

TEST(ControlAttributeTest, ValuesParseAsTheSkinsWriteThem) {
  CControlUI c;
  c.SetAttribute(L"bkcolor", L"  #FF102030");
  EXPECT_EQ(0xFF102030u, c.GetBackgroundColor());
  c.SetAttribute(L"bordercolor", L"  #FF102030");  // no blank skipping here
  EXPECT_EQ(0u, c.GetBorderColor());
  c.SetAttribute(L"bkcolor2", L"0x80FF0000");
  EXPECT_EQ(0x80FF0000u, c.GetBackgroundColor2());
  c.SetAttribute(L"forecolor", L"102030");
  EXPECT_EQ(0x00102030u, c.GetForeColor());  // six digits: alpha 0
  c.SetAttribute(L"pos", L"-1,-1,20,30");
  EXPECT_EQ(20, c.GetFixedXY().cx);
  EXPECT_EQ(30, c.GetFixedXY().cy);
  EXPECT_EQ(21, c.GetFixedWidth());
  EXPECT_EQ(31, c.GetFixedHeight());
  c.SetAttribute(L"floatalign", L"right,bottom");
  EXPECT_EQ(10u, c.GetFloatAlign());
  c.SetAttribute(L"floatalign", L"null");
  EXPECT_EQ(0u, c.GetFloatAlign());
  c.SetAttribute(L"float", L"0.5,0,0.5,0");
  EXPECT_TRUE(c.IsFloat());
  EXPECT_DOUBLE_EQ(0.5, c.GetFloatPercent().left);
  c.SetAttribute(L"visible", L"TRUE");
  EXPECT_TRUE(c.IsVisible());
  c.SetAttribute(L"visible", L"yes");
  EXPECT_FALSE(c.IsVisible());
  c.SetAttribute(L"bordersize", L"0,1,0,1");
  c.SetAttribute(L"bordersize", L"2");
  EXPECT_EQ(2, c.GetBorderSize());
  EXPECT_TRUE(Same(RECT{}, c.GetBorderRect()));
  c.SetAttribute(L"bordersize", L"0,1,0,1");
  EXPECT_EQ(2, c.GetBorderSize());
  c.SetAttribute(L"cursor", L"hand");
  EXPECT_EQ(32649, c.GetCursor());
  c.SetAttribute(L"style", L"nosuchstyle");
  EXPECT_STREQ(L"nosuchstyle", c.GetCustomAttribute(L"style"));
  c.SetAttribute(L"mydata", L"x");
  c.SetAttribute(L"mydata", L"y");
  EXPECT_STREQ(L"x", c.GetCustomAttribute(L"mydata"));
}

TEST(ControlAttributeTest, ShortOrMalformedValuesNeverReadPastTheirEnd) {
  CControlUI c;
  for (const wchar_t* value : {L"", L"1", L"1,", L"1,2,", L",,,,,,", L"-", L"#", L"0x"}) {
    c.SetAttribute(L"pos", value);
    c.SetAttribute(L"padding", value);
    c.SetAttribute(L"bordersize", value);
    c.SetAttribute(L"borderround", value);
    c.SetAttribute(L"float", value);
    c.SetAttribute(L"bkcolor", value);
  }
  c.SetAttribute(L"padding", L"1,2");
  EXPECT_TRUE(Same(RECT{1, 2, 0, 0}, c.GetPadding()));
}

TEST(ControlAttributeTest, AttributeListStopsAtTheFirstMalformedPair) {
  CControlUI c;
  c.ApplyAttributeString(L"name=\"a\"text=\"b\"");
  EXPECT_STREQ(L"a", c.GetName().GetData());
  EXPECT_STREQ(L"", c.GetText().GetData());
  CControlUI d;
  d.ApplyAttributeString(L"\r\n\tname=\"a\",  text=\"x &quot;y&quot;\" tooltip=\"one<n>two\"");
  EXPECT_STREQ(L"a", d.GetName().GetData());
  EXPECT_STREQ(L"x ", d.GetText().GetData());  // a quote ends the value
  CControlUI e;
  e.SetText(L"one{\\n}two");
  EXPECT_STREQ(L"one\ntwo", e.GetText().GetData());
  e.SetToolTip(L"one<n>two");
  EXPECT_STREQ(L"one\r\ntwo", e.GetToolTip().GetData());
}

TEST(ControlTest, NewControlDefaultsAndSetPosNormalises) {
  CControlUI c;
  EXPECT_EQ(9999, c.GetMaxWidth());
  EXPECT_EQ(9999, c.GetMaxHeight());
  EXPECT_EQ(300, c.GetToolTipWidth());
  EXPECT_TRUE(c.IsVisible());
  EXPECT_TRUE(c.IsEnabled());
  EXPECT_TRUE(c.IsMouseEnabled());
  EXPECT_TRUE(c.IsKeyboardEnabled());
  EXPECT_FALSE(c.IsFocused());
  c.SetPos(RECT{10, 10, 5, 20});
  EXPECT_TRUE(Same(RECT{10, 10, 10, 20}, c.GetPos()));
  c.SetFixedWidth(40);
  c.SetFixedWidth(-1);
  EXPECT_EQ(40, c.GetFixedWidth());
}

TEST(LabelTest, ValignThenWordbreakWrapsAndTheOppositeOrderDoesNot) {
  CLabelUI a;
  a.SetAttribute(L"valign", L"vcenter");
  a.SetAttribute(L"wordbreak", L"true");
  EXPECT_EQ(static_cast<UINT>(DT_WORDBREAK | DT_EDITCONTROL | DT_VCENTER), a.GetTextStyle());
  CLabelUI b;
  b.SetAttribute(L"wordbreak", L"true");
  b.SetAttribute(L"valign", L"vcenter");
  EXPECT_EQ(static_cast<UINT>(DT_SINGLELINE | DT_VCENTER | DT_EDITCONTROL), b.GetTextStyle());
  CLabelUI c;
  c.SetAttribute(L"textcolor", L"#FF00FF00");
  CLabelUI d;
  d.SetAttribute(L"textcolor", L"FF00FF00");
  EXPECT_EQ(c.GetTextColor(), d.GetTextColor());
}

}  // namespace
}  // namespace SkinUI
