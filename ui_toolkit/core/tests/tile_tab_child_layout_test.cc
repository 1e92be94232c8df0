// Tile, tab and child layouts built from skins: the tile grid, page
// selection and its notification, page bookkeeping on insert and removal,
// child skins that are missing or include themselves, and their pictures.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <string>

#include "ui_toolkit/core/child_layout.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/tab_layout.h"
#include "ui_toolkit/core/tests/golden_image.h"
#include "ui_toolkit/core/tests/skin_window.h"
#include "ui_toolkit/core/tile_layout.h"

namespace SkinUI {
namespace {

using testing::SkinWindow;

std::string Str(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

std::wstring Tiles(const std::wstring& tile_attributes, int count, const std::wstring& child_attributes) {
  std::wstring skin = L"<Window size=\"300,200\"><TileLayout name=\"tile\" " + tile_attributes + L">";
  for (int i = 0; i < count; ++i) {
    skin += L"<Control name=\"t" + std::to_wstring(i) + L"\" " + child_attributes + L"/>";
  }
  return skin + L"</TileLayout></Window>";
}

struct TileCase {
  const char* label;
  const wchar_t* tile_attributes;
  const wchar_t* child_attributes;
  int columns;
  const char* first;
  const char* second;
  const char* fourth;
};

class TileLayoutTest : public ::testing::TestWithParam<TileCase> {};

TEST_P(TileLayoutTest, ChildrenFillTheGridRowByRow) {
  const TileCase& c = GetParam();
  SkinWindow w(Tiles(c.tile_attributes, 5, c.child_attributes));
  ASSERT_TRUE(w.Open());
  auto* tile = static_cast<CTileLayoutUI*>(w.Find(L"tile"));
  EXPECT_EQ(c.columns, tile->GetColumns());
  EXPECT_EQ(c.first, Str(w.Find(L"t0")->GetPos()));
  EXPECT_EQ(c.second, Str(w.Find(L"t1")->GetPos()));
  EXPECT_EQ(c.fourth, Str(w.Find(L"t3")->GetPos()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TileLayoutTest,
    ::testing::Values(
        TileCase{"item_width_gives_columns", L"itemsize=\"100,80\"", L"height=\"30\"", 3, "0,0,100,30", "100,0,200,30",
                 "0,30,100,60"},
        TileCase{"columns_without_item_size", L"itemsize=\"0,0\" columns=\"4\"", L"height=\"30\"", 4, "0,0,75,30",
                 "75,0,150,30", "225,0,300,30"},
        // Padding 10: first cell loses 5 on its right, middle 5 each side, last 5 on its left.
        TileCase{"padding_between_cells", L"columns=\"3\" childpadding=\"10\"", L"height=\"30\"", 3, "0,0,95,30",
                 "105,0,195,30", "0,40,95,70"},
        // Fixed size smaller than the cell: centred in it.
        TileCase{"small_child_is_centred", L"columns=\"3\"", L"width=\"40\" height=\"20\"", 3, "30,0,70,20",
                 "130,0,170,20", "30,20,70,40"},
        // No height at all: the row is as tall as the paddings.
        TileCase{"zero_height_rows", L"columns=\"2\"", L"padding=\"0,3,0,4\"", 2, "0,3,150,7", "150,3,300,7",
                 "150,10,300,14"}),
    [](const ::testing::TestParamInfo<TileCase>& info) { return std::string(info.param.label); });

TEST(TileLayoutScaleTest, PaddingScalesWithTheWindow) {
  SkinWindow w(Tiles(L"columns=\"3\" childpadding=\"10\"", 4, L"height=\"30\""), 150);
  ASSERT_TRUE(w.Open());
  // 450 pixels in three cells of 150; the padding is 15, half of it 7.
  EXPECT_EQ("0,0,143,45", Str(w.Find(L"t0")->GetPos()));
  EXPECT_EQ("157,0,293,45", Str(w.Find(L"t1")->GetPos()));
  EXPECT_EQ("0,60,143,105", Str(w.Find(L"t3")->GetPos()));
}

TEST(TileLayoutScrollTest, ManyRowsScrollVertically) {
  SkinWindow w(Tiles(L"columns=\"3\" vscrollbar=\"true\"", 30, L"height=\"50\""));
  ASSERT_TRUE(w.Open());
  auto* tile = static_cast<CTileLayoutUI*>(w.Find(L"tile"));
  EXPECT_EQ(500 - 200, tile->GetScrollRange().cy);
  // The bar takes its width from the cells: 284 / 3 = 94.
  EXPECT_EQ("0,0,94,50", Str(w.Find(L"t0")->GetPos()));
  tile->SetScrollPos(SIZE{0, 120});
  EXPECT_EQ(-120, w.Find(L"t0")->GetPos().top);
  tile->SetPos(tile->GetPos(), true);  // a new layout keeps the place
  EXPECT_EQ(-120, w.Find(L"t0")->GetPos().top);
  tile->SetColumns(0);  // ignored
  EXPECT_EQ(3, tile->GetColumns());
}

constexpr wchar_t kPages[] =
    L"<Window size=\"200,100\"><TabLayout name=\"tabs\" inset=\"4,4,4,4\">"
    L"<Control name=\"p0\" bkcolor=\"#FFFF0000\"/><Control name=\"p1\" bkcolor=\"#FF00FF00\"/>"
    L"<Control name=\"p2\" bkcolor=\"#FF0000FF\" padding=\"10,10,10,10\"/></TabLayout></Window>";

class TabLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window_.Open());
    tabs_ = static_cast<CTabLayoutUI*>(window_.Find(L"tabs"));
    ASSERT_NE(nullptr, tabs_);
    window_.ClearSeen();
  }
  std::vector<std::pair<WPARAM, LPARAM>> TabSelects() {
    std::vector<std::pair<WPARAM, LPARAM>> out;
    for (const auto& s : window_.Seen()) {
      if (s.type == L"tabselect" && s.sender == L"tabs") out.push_back({s.wparam, s.lparam});
    }
    return out;
  }
  CControlUI* Page(int i) { return window_.Find((L"p" + std::to_wstring(i)).c_str()); }

  SkinWindow window_{kPages};
  CTabLayoutUI* tabs_ = nullptr;
};

TEST_F(TabLayoutTest, FirstVisiblePageIsSelectedAndFillsTheLayout) {
  EXPECT_EQ(0, tabs_->GetCurSel());
  EXPECT_TRUE(Page(0)->IsVisible());
  EXPECT_FALSE(Page(1)->IsVisible());
  EXPECT_FALSE(Page(2)->IsVisible());
  EXPECT_EQ("4,4,196,96", Str(Page(0)->GetPos()));
  EXPECT_EQ(0xFF0000u, window_.PixelAt(100, 50) & 0xFFFFFF);
}

TEST_F(TabLayoutTest, SelectingAPageShowsItAndNotifiesOnce) {
  EXPECT_TRUE(tabs_->SelectItem(2));
  EXPECT_EQ((std::vector<std::pair<WPARAM, LPARAM>>{{2, 0}}), TabSelects());
  EXPECT_FALSE(Page(0)->IsVisible());
  EXPECT_TRUE(Page(2)->IsVisible());
  EXPECT_EQ("14,14,186,86", Str(Page(2)->GetPos()));
  EXPECT_EQ(0x0000FFu, window_.PixelAt(100, 50) & 0xFFFFFF);
  // The current page again: true, and nothing is sent.
  EXPECT_TRUE(tabs_->SelectItem(2));
  EXPECT_TRUE(tabs_->SelectItem(Page(1)));
  EXPECT_EQ((std::vector<std::pair<WPARAM, LPARAM>>{{2, 0}, {1, 2}}), TabSelects());
}

TEST_F(TabLayoutTest, PagesThatDoNotExistAreRefused) {
  for (int index : {3, 5, -1, -2, INT_MAX, INT_MIN}) EXPECT_FALSE(tabs_->SelectItem(index)) << index;
  EXPECT_FALSE(tabs_->SelectItem(static_cast<CControlUI*>(nullptr)));
  CControlUI stranger;
  EXPECT_FALSE(tabs_->SelectItem(&stranger));
  tabs_->SetAttribute(L"selectedid", L"99");
  tabs_->SetAttribute(L"selectedid", L"not a number");
  EXPECT_EQ(0, tabs_->GetCurSel());
  EXPECT_TRUE(Page(0)->IsVisible());
  EXPECT_TRUE(TabSelects().empty());
}

TEST_F(TabLayoutTest, InsertingBeforeTheSelectionKeepsTheSamePage) {
  ASSERT_TRUE(tabs_->SelectItem(1));
  auto* added = new CControlUI;
  ASSERT_TRUE(tabs_->AddAt(added, 0));
  EXPECT_EQ(2, tabs_->GetCurSel());
  EXPECT_EQ(Page(1), tabs_->GetItemAt(2));
  EXPECT_FALSE(added->IsVisible());
  auto* appended = new CControlUI;
  ASSERT_TRUE(tabs_->Add(appended));
  EXPECT_FALSE(appended->IsVisible());
  EXPECT_EQ(2, tabs_->GetCurSel());
}

TEST_F(TabLayoutTest, RemovingTheSelectedPageShowsTheFirstWithoutNotice) {
  ASSERT_TRUE(tabs_->SelectItem(2));
  window_.ClearSeen();
  ASSERT_TRUE(tabs_->Remove(Page(2)));
  EXPECT_EQ(0, tabs_->GetCurSel());
  EXPECT_TRUE(Page(0)->IsVisible());
  EXPECT_TRUE(TabSelects().empty());
  // Removing a page before the selection moves the selection down.
  ASSERT_TRUE(tabs_->SelectItem(1));
  ASSERT_TRUE(tabs_->Remove(Page(0)));
  EXPECT_EQ(0, tabs_->GetCurSel());
  EXPECT_TRUE(tabs_->GetItemAt(0)->IsVisible());
  tabs_->RemoveAll();
  EXPECT_EQ(-1, tabs_->GetCurSel());
  EXPECT_FALSE(tabs_->SelectItem(0));
  // A page added to the empty layout is selected again.
  auto* page = new CControlUI;
  ASSERT_TRUE(tabs_->Add(page));
  EXPECT_EQ(0, tabs_->GetCurSel());
  EXPECT_TRUE(page->IsVisible());
}

TEST(TabLayoutSkinTest, SelectedIdChoosesTheFirstPageShown) {
  SkinWindow w(L"<Window size=\"100,100\"><TabBox name=\"tabs\" selectedid=\"1\"><Control name=\"a\"/>"
               L"<Control name=\"b\"/></TabBox></Window>");
  ASSERT_TRUE(w.Open());
  auto* tabs = static_cast<CTabLayoutUI*>(w.Find(L"tabs"));
  EXPECT_STREQ(L"TabLayoutUI", tabs->GetClassName());
  EXPECT_EQ(1, tabs->GetCurSel());
  EXPECT_FALSE(w.Find(L"a")->IsVisible());
  EXPECT_TRUE(w.Find(L"b")->IsVisible());
}

class ChildLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"ql_child_layout_test\\";
    ::CreateDirectoryW(folder_.c_str(), nullptr);
    Write(L"part.xml", "<Window><HorizontalLayout name=\"part\"><Label name=\"inner\" text=\"in\"/>"
                       "</HorizontalLayout></Window>");
    Write(L"self.xml", "<Window><VerticalLayout name=\"again\"><ChildLayout name=\"deeper\" xmlfile=\"self.xml\"/>"
                       "</VerticalLayout></Window>");
    Write(L"ping.xml", "<Window><VerticalLayout><ChildLayout xmlfile=\"pong.xml\"/></VerticalLayout></Window>");
    Write(L"pong.xml", "<Window><VerticalLayout><ChildLayout name=\"back\" xmlfile=\"PING.xml\"/></VerticalLayout>"
                       "</Window>");
    saved_ = CPaintManagerUI::GetResourcePath();
    CPaintManagerUI::SetResourcePath(folder_.c_str());
  }
  void TearDown() override { CPaintManagerUI::SetResourcePath(saved_.GetData()); }
  void Write(const std::wstring& name, const std::string& text) {
    std::ofstream(std::filesystem::path(folder_ + name), std::ios::binary) << text;
  }

  std::wstring folder_;
  CUiString saved_;
};

TEST_F(ChildLayoutTest, FillsItselfFromItsSkinFile) {
  SkinWindow w(L"<Window size=\"100,40\"><VerticalLayout><ChildLayout name=\"child\" xmlfile=\"part.xml\"/>"
               L"</VerticalLayout></Window>");
  ASSERT_TRUE(w.Open());
  auto* child = static_cast<CChildLayoutUI*>(w.Find(L"child"));
  ASSERT_EQ(1, child->GetCount());
  EXPECT_EQ(w.Find(L"part"), child->GetItemAt(0));
  ASSERT_NE(nullptr, w.Find(L"inner"));
  EXPECT_EQ(100, w.Find(L"inner")->GetPos().right);
  EXPECT_EQ(child, child->QueryInterfaceByName(L"ChildLayout"));
  EXPECT_EQ(nullptr, child->QueryInterfaceByName(L"Container"));
  EXPECT_EQ(nullptr, child->QueryInterfaceByName(L"IContainer"));
}

TEST_F(ChildLayoutTest, MissingSkinLeavesItEmpty) {
  SkinWindow w(L"<Window size=\"100,40\"><VerticalLayout><ChildLayout name=\"child\" xmlfile=\"absent.xml\"/>"
               L"</VerticalLayout></Window>");
  ASSERT_TRUE(w.Open());
  EXPECT_EQ(0, static_cast<CChildLayoutUI*>(w.Find(L"child"))->GetCount());
}

TEST_F(ChildLayoutTest, SkinThatIncludesItselfStopsAfterOneLevel) {
  SkinWindow w(L"<Window size=\"100,40\"><VerticalLayout><ChildLayout name=\"child\" xmlfile=\"self.xml\"/>"
               L"</VerticalLayout></Window>");
  ASSERT_TRUE(w.Open());
  auto* child = static_cast<CChildLayoutUI*>(w.Find(L"child"));
  ASSERT_EQ(1, child->GetCount());
  auto* deeper = static_cast<CChildLayoutUI*>(w.Find(L"deeper"));
  ASSERT_NE(nullptr, deeper);
  EXPECT_EQ(0, deeper->GetCount());
}

TEST_F(ChildLayoutTest, SkinsThatIncludeEachOtherStop) {
  SkinWindow w(L"<Window size=\"100,40\"><VerticalLayout><ChildLayout name=\"child\" xmlfile=\"ping.xml\"/>"
               L"</VerticalLayout></Window>");
  ASSERT_TRUE(w.Open());
  auto* back = static_cast<CChildLayoutUI*>(w.Find(L"back"));
  ASSERT_NE(nullptr, back);
  EXPECT_EQ(0, back->GetCount());
  // The same skin may still be used twice side by side.
  SkinWindow twice(L"<Window size=\"100,40\"><HorizontalLayout><ChildLayout name=\"a\" xmlfile=\"part.xml\"/>"
                   L"<ChildLayout name=\"b\" xmlfile=\"part.xml\"/></HorizontalLayout></Window>");
  ASSERT_TRUE(twice.Open());
  EXPECT_EQ(1, static_cast<CChildLayoutUI*>(twice.Find(L"a"))->GetCount());
  EXPECT_EQ(1, static_cast<CChildLayoutUI*>(twice.Find(L"b"))->GetCount());
}

class LayoutsGoldenTest : public ::testing::TestWithParam<int> {};

TEST_P(LayoutsGoldenTest, TilesAndPagesLookAsTheirGolden) {
  const int scale = GetParam();
  std::wstring skin =
      L"<Window size=\"200,120\"><VerticalLayout bkcolor=\"#FFFFFFFF\"><TileLayout height=\"70\" columns=\"4\""
      L" childpadding=\"6\" inset=\"4,4,4,4\">";
  const wchar_t* colours[] = {L"#FFC04040", L"#FF40C040", L"#FF4040C0", L"#FFC0C040", L"#FF40C0C0", L"#FFC040C0"};
  for (const wchar_t* colour : colours) {
    skin += std::wstring(L"<Control height=\"24\" width=\"30\" bkcolor=\"") + colour + L"\"/>";
  }
  skin += L"</TileLayout><TabLayout name=\"tabs\" inset=\"10,4,10,4\" bkcolor=\"#FFDDDDDD\">"
          L"<Control bkcolor=\"#FF202020\"/><Control bkcolor=\"#FF2080F0\" padding=\"20,4,20,4\"/>"
          L"</TabLayout></VerticalLayout></Window>";
  SkinWindow w(skin, scale);
  ASSERT_TRUE(w.Open());
  ASSERT_TRUE(static_cast<CTabLayoutUI*>(w.Find(L"tabs"))->SelectItem(1));
  int width = 0;
  int height = 0;
  const std::vector<std::uint32_t> pixels = w.Pixels(&width, &height);
  const auto result = testing::MatchGolden("tile_tab_" + std::to_string(scale), pixels, width, height, false);
  EXPECT_TRUE(result.ok) << result.message;
}

INSTANTIATE_TEST_SUITE_P(Scales, LayoutsGoldenTest, ::testing::Values(100, 150));

}  // namespace
}  // namespace SkinUI
