#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui_toolkit/controls/check_box.h"
#include "ui_toolkit/controls/label.h"
#include "ui_toolkit/controls/list_header.h"
#include "ui_toolkit/controls/option.h"
#include "ui_toolkit/controls/tree_view.h"
#include "ui_toolkit/core/tests/golden_image.h"
#include "ui_toolkit/core/tests/skin_window.h"

namespace SkinUI {
namespace {

using testing::SkinWindow;

// root
//   a
//     a1
//       a1x
//     a2
//   b
constexpr wchar_t kTree[] =
    L"<Window size=\"300,300\"><VerticalLayout><TreeView name=\"tree\" visiblecheckbtn=\"true\">"
    L"<TreeNode name=\"root\" text=\"root\" folderattr=\"width=&quot;16&quot;\">"
    L"<TreeNode name=\"a\" text=\"a\" folderattr=\"width=&quot;16&quot;\">"
    L"<TreeNode name=\"a1\" text=\"a1\" folderattr=\"width=&quot;16&quot;\">"
    L"<TreeNode name=\"a1x\" text=\"a1x\" folderattr=\"width=&quot;16&quot;\"/></TreeNode>"
    L"<TreeNode name=\"a2\" text=\"a2\"/></TreeNode>"
    L"<TreeNode name=\"b\" text=\"b\"/></TreeNode>"
    L"</TreeView></VerticalLayout></Window>";

CTreeViewUI* ViewOf(SkinWindow& w) { return static_cast<CTreeViewUI*>(w.Find(L"tree")); }
CTreeNodeUI* Node(SkinWindow& w, const wchar_t* name) { return static_cast<CTreeNodeUI*>(w.Find(name)); }

std::vector<std::wstring> Rows(CTreeViewUI* view) {
  std::vector<std::wstring> out;
  for (int i = 0; i < view->GetCount(); ++i) out.push_back(view->GetItemAt(i)->GetName().GetData());
  return out;
}

std::vector<std::wstring> VisibleRows(CTreeViewUI* view) {
  std::vector<std::wstring> out;
  for (int i = 0; i < view->GetCount(); ++i) {
    if (view->GetItemAt(i)->IsVisible()) out.push_back(view->GetItemAt(i)->GetName().GetData());
  }
  return out;
}

using Names = std::vector<std::wstring>;

TEST(TreeViewTest, SkinNodesFormADepthFirstList) {
  SkinWindow w(kTree);
  ASSERT_TRUE(w.Open());
  CTreeViewUI* view = ViewOf(w);
  ASSERT_NE(nullptr, view);
  EXPECT_EQ(2, view->GetListKind());
  EXPECT_FALSE(view->GetHeader()->IsVisible());
  EXPECT_EQ((Names{L"root", L"a", L"a1", L"a1x", L"a2", L"b"}), Rows(view));
  EXPECT_EQ(3, Node(w, L"a1x")->GetNodeDepth());
  EXPECT_EQ(Node(w, L"a1"), Node(w, L"a1x")->GetParentNode());
  EXPECT_EQ(Node(w, L"a2"), Node(w, L"a")->GetLastDescendant());
  EXPECT_EQ(Node(w, L"a1x"), Node(w, L"a1")->GetLastDescendant());
  EXPECT_EQ(Node(w, L"b"), Node(w, L"b")->GetLastDescendant());
  EXPECT_EQ(view, Node(w, L"a1x")->GetTreeView());
  EXPECT_EQ(3, Node(w, L"a1x")->GetViewIndex());
  EXPECT_STREQ(L"a2", Node(w, L"a2")->GetItemButton()->GetText().GetData());
  // Rows are 18 pixels high, one under the other.
  EXPECT_EQ(18, Node(w, L"a")->GetPos().top);
}

TEST(TreeViewTest, NodesAreIndentedByDepthUnlessFoldersAreHidden) {
  SkinWindow w(kTree);
  ASSERT_TRUE(w.Open());
  EXPECT_EQ(48, Node(w, L"a1x")->GetFolderButton()->GetPadding().left);
  EXPECT_EQ(0, Node(w, L"root")->GetFolderButton()->GetPadding().left);
  ViewOf(w)->SetVisibleFolderBtn(false);
  EXPECT_EQ(0, Node(w, L"a1x")->GetFolderButton()->GetPadding().left);
  EXPECT_FALSE(Node(w, L"a1x")->GetFolderButton()->IsVisible());
  // Dotted lines grow 16 per level.
  EXPECT_EQ(2 + 3 * 16, Node(w, L"a1x")->GetDottedLine()->GetFixedWidth());
}

TEST(TreeViewTest, FoldingHidesDescendantsAndKeepsCollapsedSubtreesCollapsed) {
  SkinWindow w(kTree);
  ASSERT_TRUE(w.Open());
  CTreeViewUI* view = ViewOf(w);
  Node(w, L"a1")->GetFolderButton()->Selected(true);  // collapse a1
  EXPECT_EQ((Names{L"root", L"a", L"a1", L"a2", L"b"}), VisibleRows(view));
  Node(w, L"a")->GetFolderButton()->Selected(true);
  EXPECT_EQ((Names{L"root", L"a", L"b"}), VisibleRows(view));
  Node(w, L"a")->GetFolderButton()->Selected(false);
  EXPECT_EQ((Names{L"root", L"a", L"a1", L"a2", L"b"}), VisibleRows(view));
  w.Paint();
  EXPECT_EQ(Node(w, L"a1")->GetPos().bottom, Node(w, L"a2")->GetPos().top);  // hidden rows take no room
}

TEST(TreeViewTest, DoubleClickTogglesTheFolder) {
  SkinWindow w(kTree);
  ASSERT_TRUE(w.Open());
  CTreeViewUI* view = ViewOf(w);
  const RECT a = Node(w, L"a")->GetPos();
  w.ClearSeen();
  ::SendMessageW(w.Hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(200, (a.top + a.bottom) / 2));
  w.Paint();
  EXPECT_TRUE(Node(w, L"a")->GetFolderButton()->IsSelected());
  EXPECT_EQ((Names{L"root", L"a", L"b"}), VisibleRows(view));
  int dbl = 0;
  for (const auto& s : w.Seen()) dbl += s.type == L"treeitemdbclick" ? 1 : 0;
  EXPECT_EQ(1, dbl);
}

TEST(TreeViewTest, CheckingANodeChecksItsSubtree) {
  SkinWindow w(kTree);
  ASSERT_TRUE(w.Open());
  EXPECT_TRUE(Node(w, L"a")->GetCheckBox()->IsVisible());
  Node(w, L"a")->GetCheckBox()->Selected(true);
  for (const wchar_t* name : {L"a1", L"a1x", L"a2"}) {
    EXPECT_TRUE(Node(w, name)->GetCheckBox()->IsSelected()) << testing::Narrow(name);
  }
  EXPECT_FALSE(Node(w, L"b")->GetCheckBox()->IsSelected());
  EXPECT_FALSE(Node(w, L"root")->GetCheckBox()->IsSelected());
  Node(w, L"a")->GetCheckBox()->Selected(false);
  EXPECT_FALSE(Node(w, L"a1x")->GetCheckBox()->IsSelected());
}

TEST(TreeViewTest, InsertedSubtreesStayContiguousAndRemovalTakesDescendants) {
  SkinWindow w(kTree);
  ASSERT_TRUE(w.Open());
  CTreeViewUI* view = ViewOf(w);
  auto* n = new CTreeNodeUI();
  n->SetName(L"n");
  auto* n1 = new CTreeNodeUI();
  n1->SetName(L"n1");
  auto* n2 = new CTreeNodeUI();
  n2->SetName(L"n2");
  ASSERT_TRUE(n->Add(n1));
  ASSERT_TRUE(n->Add(n2));
  EXPECT_EQ(4, view->InsertNode(n, 1));
  EXPECT_EQ((Names{L"root", L"n", L"n1", L"n2", L"a", L"a1", L"a1x", L"a2", L"b"}), Rows(view));
  EXPECT_EQ(1, n2->GetNodeDepth());
  // A child appended to a node with children goes after its subtree.
  auto* a3 = new CTreeNodeUI();
  a3->SetName(L"a3");
  ASSERT_TRUE(Node(w, L"a")->AddAt(a3, 99));
  EXPECT_EQ((Names{L"root", L"n", L"n1", L"n2", L"a", L"a1", L"a1x", L"a2", L"a3", L"b"}), Rows(view));
  // A child inserted before an existing one goes before that one's row.
  auto* a0 = new CTreeNodeUI();
  a0->SetName(L"a0");
  ASSERT_TRUE(Node(w, L"a")->AddAt(a0, 0));
  EXPECT_EQ((Names{L"root", L"n", L"n1", L"n2", L"a", L"a0", L"a1", L"a1x", L"a2", L"a3", L"b"}), Rows(view));
  EXPECT_EQ(Node(w, L"a0"), Node(w, L"a")->GetChildNode(0));
  // RemoveAt takes the subtree; Remove only the row.
  ASSERT_TRUE(view->RemoveAt(view->GetItemIndex(n)));
  EXPECT_EQ((Names{L"root", L"a", L"a0", L"a1", L"a1x", L"a2", L"a3", L"b"}), Rows(view));
  ASSERT_TRUE(view->Remove(Node(w, L"a1")));
  EXPECT_EQ((Names{L"root", L"a", L"a0", L"a1x", L"a2", L"a3", L"b"}), Rows(view));
  testing::PumpFor(100);  // the removed row is destroyed after the message
  // The orphaned row no longer points at the removed parent.
  EXPECT_EQ(nullptr, Node(w, L"a1x")->GetParentNode());
  EXPECT_EQ(3, Node(w, L"a")->GetChildNodeCount());
  // Removing a child through its parent takes its row away too.
  ASSERT_TRUE(Node(w, L"a")->Remove(Node(w, L"a3")));
  EXPECT_EQ((Names{L"root", L"a", L"a0", L"a1x", L"a2", L"b"}), Rows(view));
  EXPECT_FALSE(Node(w, L"a")->Remove(Node(w, L"b")));  // not its child
}

TEST(TreeViewTest, ClickSelectsANodeAndColoursItsItemButton) {
  SkinWindow w(L"<Window size=\"300,100\"><VerticalLayout><TreeView name=\"tree\">"
               L"<TreeNode name=\"x\" text=\"x\" itemtextcolor=\"#FF111111\" selitemtextcolor=\"#FF222222\""
               L" itemhottextcolor=\"#FF333333\"/><TreeNode name=\"y\" text=\"y\"/></TreeView></VerticalLayout></Window>");
  ASSERT_TRUE(w.Open());
  CTreeViewUI* view = ViewOf(w);
  w.Click(200, 9);
  EXPECT_EQ(0, view->GetCurrentSelection());
  EXPECT_EQ(0xFF222222u, Node(w, L"x")->GetItemButton()->GetTextColor());
  ASSERT_TRUE(view->SelectItem(1));
  EXPECT_EQ(0xFF111111u, Node(w, L"x")->GetItemButton()->GetTextColor());
  // A view-wide colour reaches the nodes already there only.
  view->SetAttribute(L"itemtextcolor", L"#FF444444");
  EXPECT_EQ(0xFF444444u, Node(w, L"y")->GetItemTextColor());
  auto* later = new CTreeNodeUI();
  ASSERT_TRUE(view->AddNode(later));
  EXPECT_EQ(0u, later->GetItemTextColor());
}

TEST(TreeViewTest, NodesOutsideATreeAreRefusedAndOtherControlsJoinTheRow) {
  SkinWindow w(L"<Window size=\"300,100\"><VerticalLayout><TreeView name=\"tree\">"
               L"<TreeNode name=\"x\" text=\"x\"><Label name=\"extra\" width=\"10\"/></TreeNode></TreeView>"
               L"<HorizontalLayout><TreeNode name=\"stray\"/></HorizontalLayout></VerticalLayout></Window>");
  ASSERT_TRUE(w.Open());
  EXPECT_EQ(nullptr, w.Find(L"stray"));
  CControlUI* extra = w.Find(L"extra");
  ASSERT_NE(nullptr, extra);
  EXPECT_EQ(Node(w, L"x")->GetRowLayout(), extra->GetParent());
  EXPECT_EQ(4, Node(w, L"x")->GetRowLayout()->GetItemIndex(extra));
}

// One node checked, one selected, one subtree collapsed; folders and check
// boxes drawn as coloured boxes (a different colour when selected).
constexpr wchar_t kGoldenTree[] =
    L"<Window size=\"220,130\"><VerticalLayout bkcolor=\"#FFFFFFFF\"><TreeView name=\"tree\" visiblecheckbtn=\"true\""
    L" itemselectedbkcolor=\"#FFCCE4FF\">"
    L"<TreeNode name=\"root\" text=\"root\"><TreeNode name=\"a\" text=\"alpha\"><TreeNode name=\"a1\" text=\"a-one\"/></TreeNode>"
    L"<TreeNode name=\"b\" text=\"beta\"><TreeNode name=\"b1\" text=\"b-one\"/></TreeNode></TreeNode>"
    L"</TreeView></VerticalLayout></Window>";

void PaintPartsAsBoxes(CTreeViewUI* view) {
  for (int i = 0; i < view->GetCount(); ++i) {
    auto* node = static_cast<CTreeNodeUI*>(view->GetItemAt(i));
    node->GetFolderButton()->SetAttribute(L"bkcolor", L"#FF60A060");
    node->GetFolderButton()->SetAttribute(L"selectedbkcolor", L"#FFA06060");
    node->GetCheckBox()->SetAttribute(L"bkcolor", L"#FFE0E0E0");
    node->GetCheckBox()->SetAttribute(L"selectedbkcolor", L"#FF3060C0");
    node->GetDottedLine()->SetAttribute(L"bkcolor", L"#FFF0F0F0");
  }
}

class TreeGoldenTest : public ::testing::TestWithParam<int> {};

TEST_P(TreeGoldenTest, TreeStatesLookAsTheirGolden) {
  const int scale = GetParam();
  SkinWindow w(kGoldenTree, scale);
  ASSERT_TRUE(w.Open());
  PaintPartsAsBoxes(ViewOf(w));
  Node(w, L"b")->GetFolderButton()->Selected(true);
  Node(w, L"a")->GetCheckBox()->Selected(true);
  ASSERT_TRUE(ViewOf(w)->SelectItem(2));
  int width = 0;
  int height = 0;
  const std::vector<std::uint32_t> pixels = w.Pixels(&width, &height);
  ASSERT_EQ(220 * scale / 100, width);
  const auto result = testing::MatchGolden("tree_" + std::to_string(scale), pixels, width, height, false);
  EXPECT_TRUE(result.ok) << result.message;
}

INSTANTIATE_TEST_SUITE_P(Scales, TreeGoldenTest, ::testing::Values(100, 150));

}  // namespace
}  // namespace SkinUI
