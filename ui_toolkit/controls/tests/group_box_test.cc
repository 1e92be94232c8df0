#include <gtest/gtest.h>

#include <string>

#include "ui_toolkit/controls/group_box.h"
#include "ui_toolkit/controls/tests/further_test_util.h"
#include "ui_toolkit/core/paint_manager.h"

namespace SkinUI {
namespace {

using testing::SkinWindow;

std::wstring Skin(const wchar_t* text) {
  return std::wstring(
             L"<Window size=\"200,120\"><Font id=\"1\" name=\"Liberation Sans\" size=\"13\"/>"
             L"<VerticalLayout bkcolor=\"#FFFFFFFF\" inset=\"10,10,10,10\">"
             L"<GroupBox name=\"gb\" bordersize=\"1\" bordercolor=\"#FF000000\" bkcolor=\"#FFFFFFFF\" font=\"1\""
             L" textcolor=\"#FF2040A0\" text=\"") +
         text + L"\"><Control name=\"inner\" bkcolor=\"#FFE0E0E0\"/></GroupBox></VerticalLayout></Window>";
}

bool IsBlack(std::uint32_t px) { return (px & 0xFFFFFF) == 0; }

TEST(GroupBoxTest, FrameIsInsetAndChildrenSitInsideTheInset) {
  SkinWindow w(Skin(L""));
  ASSERT_TRUE(w.Open());
  const RECT gb = w.Find(L"gb")->GetPos();
  const RECT inner = w.Find(L"inner")->GetPos();
  EXPECT_EQ(gb.left + 20, inner.left);
  EXPECT_EQ(gb.top + 25, inner.top);
  EXPECT_EQ(gb.right - 20, inner.right);
  EXPECT_EQ(gb.bottom - 20, inner.bottom);
  EXPECT_TRUE(IsBlack(w.PixelAt(gb.left + 5, gb.top + 40)));
  EXPECT_FALSE(IsBlack(w.PixelAt(gb.left + 4, gb.top + 40)));
  EXPECT_FALSE(IsBlack(w.PixelAt(gb.left + 6, gb.top + 40)));
  EXPECT_TRUE(IsBlack(w.PixelAt(gb.right - 6, gb.top + 40)));
  // Without a caption the top line runs unbroken.
  for (int x = gb.left + 5; x < gb.right - 5; ++x) ASSERT_TRUE(IsBlack(w.PixelAt(x, gb.top + 5))) << x;
}

TEST(GroupBoxTest, TheCaptionHidesTheTopLineBehindIt) {
  SkinWindow w(Skin(L"Options"));
  ASSERT_TRUE(w.Open());
  auto* gb = static_cast<CGroupBoxUI*>(w.Find(L"gb"));
  const RECT pos = gb->GetPos();
  const RECT caption = gb->GetCaptionRect();
  EXPECT_EQ(pos.left + 20, caption.left);
  EXPECT_EQ(pos.top, caption.top);
  EXPECT_GT(caption.right - caption.left, 20);
  EXPECT_GT(caption.bottom, pos.top + 5);
  int black = 0;
  for (int x = caption.left; x < caption.right; ++x) black += IsBlack(w.PixelAt(x, pos.top + 5)) ? 1 : 0;
  EXPECT_EQ(0, black);
  // Left and right of the caption the line is there.
  EXPECT_TRUE(IsBlack(w.PixelAt(caption.left - 2, pos.top + 5)));
  EXPECT_TRUE(IsBlack(w.PixelAt(caption.right + 2, pos.top + 5)));
  // The caption is drawn in its text colour.
  bool coloured = false;
  for (int y = caption.top; y < caption.bottom && !coloured; ++y) {
    for (int x = caption.left; x < caption.right && !coloured; ++x) {
      coloured = (w.PixelAt(x, y) & 0xFFFFFF) == 0x2040A0;
    }
  }
  EXPECT_TRUE(coloured);
}

TEST(GroupBoxTest, AttributesAreStoredAndStillReachTheLayout) {
  CGroupBoxUI gb;
  gb.SetAttribute(L"TextColor", L"#FF112233");
  gb.SetAttribute(L"disabledtextcolor", L"FF445566");
  gb.SetAttribute(L"font", L"3");
  gb.SetAttribute(L"inset", L"1,2,3,4");
  EXPECT_EQ(0xFF112233u, gb.GetTextColor());
  EXPECT_EQ(0xFF445566u, gb.GetDisabledTextColor());
  EXPECT_EQ(3, gb.GetFont());
  EXPECT_EQ(2, gb.GetInset().top);
  EXPECT_EQ(&gb, gb.QueryInterfaceByName(L"groupbox"));
  EXPECT_NE(nullptr, gb.QueryInterfaceByName(L"VerticalLayout"));
  CGroupBoxUI fresh;
  EXPECT_EQ(25, fresh.GetInset().top);
}

class GroupBoxGoldenTest : public ::testing::TestWithParam<int> {};

TEST_P(GroupBoxGoldenTest, FrameWithCaption) {
  SkinWindow w(Skin(L"Options"), GetParam());
  ASSERT_TRUE(w.Open());
  testing::ExpectGolden(w, "groupbox_" + std::to_string(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Scales, GroupBoxGoldenTest, ::testing::Values(100, 150));

}  // namespace
}  // namespace SkinUI
