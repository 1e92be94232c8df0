#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ui_toolkit/controls/list.h"
#include "ui_toolkit/controls/list_body.h"
#include "ui_toolkit/controls/list_elements.h"
#include "ui_toolkit/controls/list_header.h"
#include "ui_toolkit/controls/scroll_bar.h"
#include "ui_toolkit/core/tests/golden_image.h"
#include "ui_toolkit/core/tests/skin_window.h"

namespace SkinUI {
namespace {

using testing::SkinWindow;
using Seen = std::vector<std::pair<WPARAM, LPARAM>>;

// Holds a modifier key in this thread's key state, as the system does while
// the user presses it; GetKeyState answers from that state.
class HeldKey {
 public:
  explicit HeldKey(int vk) : vk_(vk) { Set(0x80); }
  ~HeldKey() { Set(0); }

 private:
  void Set(BYTE value) {
    BYTE keys[256];
    ::GetKeyboardState(keys);
    keys[vk_] = value;
    ::SetKeyboardState(keys);
  }
  int vk_;
};

Seen ItemSelects(const SkinWindow& w) {
  Seen out;
  for (const auto& s : w.Seen()) {
    if (s.type == L"itemselect") out.push_back({s.wparam, s.lparam});
  }
  return out;
}

int Count(const SkinWindow& w, const wchar_t* type) {
  int n = 0;
  for (const auto& s : w.Seen()) n += s.type == type ? 1 : 0;
  return n;
}

constexpr WPARAM kMinus1 = static_cast<WPARAM>(-1);

// A 300 x 240 list: header band 0..20, rows of 20 pixels from y = 20.
std::wstring ListSkin(const std::wstring& list_attrs, int rows, const std::wstring& row_attrs = L"") {
  std::wstring skin = L"<Window size=\"300,240\"><VerticalLayout><List name=\"list\" " + list_attrs +
                      L"><ListHeader height=\"20\"><ListHeaderItem name=\"h0\" width=\"100\" text=\"A\"/>"
                      L"<ListHeaderItem name=\"h1\" width=\"120\" text=\"B\"/></ListHeader>";
  for (int i = 0; i < rows; ++i) {
    skin += L"<ListLabelElement name=\"r" + std::to_wstring(i) + L"\" height=\"20\" text=\"row " +
            std::to_wstring(i) + L"\" " + row_attrs + L"/>";
  }
  return skin + L"</List></VerticalLayout></Window>";
}

int RowY(int i) { return 30 + 20 * i; }

CListUI* ListOf(SkinWindow& w) { return static_cast<CListUI*>(w.Find(L"list")); }

std::vector<int> Selected(CListUI* list) {
  std::vector<int> out;
  for (int i = list->GetNextSelected(-1); i != -1; i = list->GetNextSelected(i)) out.push_back(i);
  return out;
}

TEST(ListTest, FactoryBuildsListHeaderAndRowsAndRoutesThem) {
  SkinWindow w(ListSkin(L"", 3));
  ASSERT_TRUE(w.Open());
  CListUI* list = ListOf(w);
  ASSERT_NE(nullptr, list);
  EXPECT_STREQ(L"ListUI", list->GetClassName());
  EXPECT_EQ(3, list->GetCount());  // rows only: header and body are not items
  EXPECT_EQ(2, list->GetHeader()->GetCount());
  EXPECT_EQ(2, list->GetListInfo()->nColumns);
  for (int i = 0; i < 3; ++i) {
    auto* item = static_cast<IListItemUI*>(list->GetItemAt(i)->QueryInterfaceByName(L"ListItem"));
    ASSERT_NE(nullptr, item);
    EXPECT_EQ(i, item->GetIndex());
    EXPECT_EQ(static_cast<IListOwnerUI*>(list), item->GetOwner());
  }
  EXPECT_EQ(100, list->GetListInfo()->rcColumn[0].right);
  EXPECT_EQ(100, list->GetListInfo()->rcColumn[1].left);
  EXPECT_EQ(220, list->GetListInfo()->rcColumn[1].right);
}

TEST(ListTest, ClickSelectsOneRowAndNotifiesOnce) {
  SkinWindow w(ListSkin(L"", 5));
  ASSERT_TRUE(w.Open());
  CListUI* list = ListOf(w);
  w.ClearSeen();
  w.Click(50, RowY(2));
  EXPECT_EQ((Seen{{2, 0}}), ItemSelects(w));
  EXPECT_EQ(1, Count(w, L"itemclick"));
  EXPECT_EQ(2, list->GetCurrentSelection());
  EXPECT_TRUE(static_cast<CListLabelElementUI*>(w.Find(L"r2"))->IsSelected());
  // The same row again: no second "itemselect", but another click.
  w.ClearSeen();
  w.Click(50, RowY(2));
  EXPECT_TRUE(ItemSelects(w).empty());
  EXPECT_EQ(1, Count(w, L"itemclick"));
  // Another row moves the single selection.
  w.Click(50, RowY(4));
  EXPECT_EQ((std::vector<int>{4}), Selected(list));
  EXPECT_FALSE(static_cast<CListLabelElementUI*>(w.Find(L"r2"))->IsSelected());
  // Rich-event notifications only for rows that ask for them.
  EXPECT_EQ(0, Count(w, L"buttondown"));
}

TEST(ListTest, RichRowsReportPressEnterAndLeave) {
  SkinWindow w(ListSkin(L"", 3, L"richevent=\"true\""));
  ASSERT_TRUE(w.Open());
  w.ClearSeen();
  w.MouseMove(50, RowY(0));
  w.MouseMove(50, RowY(1));
  w.Click(50, RowY(1));
  EXPECT_EQ(1, Count(w, L"buttondown"));
  EXPECT_GE(Count(w, L"mouseenter"), 2);
  EXPECT_GE(Count(w, L"mouseleave"), 1);
}

TEST(ListTest, SelectItemMinusOneClearsAndReportsFailureWithoutNotifying) {
  SkinWindow w(ListSkin(L"", 4));
  ASSERT_TRUE(w.Open());
  CListUI* list = ListOf(w);
  ASSERT_TRUE(list->SelectItem(1));
  w.ClearSeen();
  EXPECT_FALSE(list->SelectItem(-1));
  EXPECT_EQ(-1, list->GetCurrentSelection());
  EXPECT_EQ(0, list->GetSelectionCount());
  EXPECT_TRUE(w.Seen().empty());
  // Missing rows and disabled rows fail and leave the selection alone (they
  // do not clear it on the way).
  ASSERT_TRUE(list->SelectItem(0));
  EXPECT_FALSE(list->SelectItem(99));
  w.Find(L"r3")->SetEnabled(false);
  EXPECT_FALSE(list->SelectItem(3));
  EXPECT_EQ((std::vector<int>{0}), Selected(list));
}

TEST(ListTest, SelectFalseOnARowDeselectsEveryOtherRow) {
  SkinWindow w(ListSkin(L"multiselect=\"true\"", 4));
  ASSERT_TRUE(w.Open());
  CListUI* list = ListOf(w);
  list->SelectAll();
  EXPECT_EQ(4, list->GetSelectionCount());
  auto* r1 = static_cast<CListLabelElementUI*>(w.Find(L"r1"));
  EXPECT_TRUE(r1->Select(false));
  EXPECT_EQ(0, list->GetSelectionCount());
  for (int i = 0; i < 4; ++i) {
    EXPECT_FALSE(static_cast<CListLabelElementUI*>(list->GetItemAt(i))->IsSelected()) << i;
  }
}

TEST(ListTest, CtrlClickTogglesAndShiftClickSelectsARange) {
  SkinWindow w(ListSkin(L"multiselect=\"true\"", 8));
  ASSERT_TRUE(w.Open());
  CListUI* list = ListOf(w);
  w.Click(50, RowY(2));
  {
    HeldKey ctrl(VK_CONTROL);
    w.ClearSeen();
    w.Click(50, RowY(6));
    EXPECT_EQ((Seen{{6, 0}}), ItemSelects(w));
    EXPECT_EQ((std::vector<int>{2, 6}), Selected(list));
    w.ClearSeen();
    w.Click(50, RowY(6));  // toggled off
    EXPECT_EQ((Seen{{kMinus1, 0}}), ItemSelects(w));
    EXPECT_EQ((std::vector<int>{2}), Selected(list));
  }
  {
    HeldKey shift(VK_SHIFT);
    w.ClearSeen();
    w.Click(50, RowY(5));
    EXPECT_EQ((Seen{{5, 2}}), ItemSelects(w));
    EXPECT_EQ((std::vector<int>{2, 3, 4, 5}), Selected(list));
  }
  // Turning multi-select off clears the selection.
  list->SetMultiSelect(false);
  EXPECT_EQ(0, list->GetSelectionCount());
}

TEST(ListTest, ModifierClicksWithoutMultiSelectSelectOneRow) {
  SkinWindow w(ListSkin(L"", 5));
  ASSERT_TRUE(w.Open());
  CListUI* list = ListOf(w);
  w.Click(50, RowY(1));
  HeldKey ctrl(VK_CONTROL);
  w.Click(50, RowY(3));
  EXPECT_EQ((std::vector<int>{3}), Selected(list));
}

TEST(ListTest, ArrowKeysMoveFromTheSelectionEdges) {
  SkinWindow w(ListSkin(L"multiselect=\"true\"", 10));
  ASSERT_TRUE(w.Open());
  CListUI* list = ListOf(w);
  w.Click(50, RowY(0));
  list->DeselectAll();
  w.Key(VK_DOWN);  // nothing selected: nothing happens
  EXPECT_EQ(0, list->GetSelectionCount());
  {
    HeldKey ctrl(VK_CONTROL);
    w.Click(50, RowY(3));
    w.Click(50, RowY(7));
  }
  w.Key(VK_UP);
  EXPECT_EQ((std::vector<int>{2}), Selected(list));
  {
    HeldKey ctrl(VK_CONTROL);
    w.Click(50, RowY(7));
  }
  w.Key(VK_DOWN);
  EXPECT_EQ((std::vector<int>{8}), Selected(list));
  w.Key(VK_DOWN);
  w.Key(VK_DOWN);  // stays on the last row
  EXPECT_EQ((std::vector<int>{9}), Selected(list));
  w.Key(VK_HOME);
  EXPECT_EQ((std::vector<int>{0}), Selected(list));
  w.Key(VK_END);
  EXPECT_EQ((std::vector<int>{9}), Selected(list));
}

TEST(ListTest, CtrlASelectsVisibleEnabledRowsOnlyWithMultiSelect) {
  SkinWindow w(ListSkin(L"multiselect=\"true\"", 5));
  ASSERT_TRUE(w.Open());
  CListUI* list = ListOf(w);
  w.Find(L"r1")->SetEnabled(false);
  w.Find(L"r3")->SetVisible(false);
  w.Click(50, RowY(0));
  w.ClearSeen();
  {
    HeldKey ctrl(VK_CONTROL);
    w.Key('A');
  }
  EXPECT_EQ((std::vector<int>{0, 2, 4}), Selected(list));
  ASSERT_FALSE(ItemSelects(w).empty());
  EXPECT_EQ((std::pair<WPARAM, LPARAM>{kMinus1, -1}), ItemSelects(w).back());

  SkinWindow single(ListSkin(L"", 5));
  ASSERT_TRUE(single.Open());
  single.Click(50, RowY(0));
  HeldKey ctrl(VK_CONTROL);
  single.Key('A');
  EXPECT_EQ(1, ListOf(single)->GetSelectionCount());
}

TEST(ListTest, WheelMovesTheSelectionWithScrollSelect) {
  SkinWindow w(ListSkin(L"scrollselect=\"true\"", 5));
  ASSERT_TRUE(w.Open());
  CListUI* list = ListOf(w);
  w.Click(50, RowY(1));
  w.Find(L"r2")->SetEnabled(false);
  POINT pt{50, RowY(1)};
  ::ClientToScreen(w.Hwnd(), &pt);
  ::SendMessageW(w.Hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), MAKELPARAM(pt.x, pt.y));
  EXPECT_EQ((std::vector<int>{3}), Selected(list));  // the disabled row is skipped
  ::SendMessageW(w.Hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(pt.x, pt.y));
  EXPECT_EQ((std::vector<int>{1}), Selected(list));
}

TEST(ListTest, ReturnAndDoubleClickActivateTheRow) {
  SkinWindow w(ListSkin(L"", 3));
  ASSERT_TRUE(w.Open());
  w.Click(50, RowY(1));
  w.ClearSeen();
  w.Key(VK_RETURN);
  ASSERT_EQ(1, Count(w, L"itemactivate"));
  EXPECT_EQ(L"r1", w.Seen().back().sender);
  w.ClearSeen();
  ::SendMessageW(w.Hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(50, RowY(2)));
  EXPECT_EQ(1, Count(w, L"itemactivate"));
}

TEST(ListTest, RemovingRowsKeepsIndicesAndSelectionInStep) {
  SkinWindow w(ListSkin(L"multiselect=\"true\"", 6));
  ASSERT_TRUE(w.Open());
  CListUI* list = ListOf(w);
  // Removing the current row selects the nearest selectable row before it.
  ASSERT_TRUE(list->SelectItem(3));
  ASSERT_TRUE(list->RemoveAt(3));
  EXPECT_EQ((std::vector<int>{2}), Selected(list));
  for (int i = 0; i < list->GetCount(); ++i) {
    EXPECT_EQ(i, static_cast<IListItemUI*>(list->GetItemAt(i)->QueryInterfaceByName(L"ListItem"))->GetIndex());
  }
  // Selected rows after a removed one keep their selection under their new index.
  list->DeselectAll();
  CControlUI* r5 = w.Find(L"r5");
  {
    HeldKey ctrl(VK_CONTROL);
    ASSERT_TRUE(list->SelectItemMulti(4));  // r5
  }
  ASSERT_TRUE(list->Remove(w.Find(L"r0")));
  EXPECT_EQ((std::vector<int>{3}), Selected(list));
  EXPECT_EQ(r5, list->GetItemAt(3));
  EXPECT_EQ(3, list->GetLastSelection());
  // Inserting before it shifts it back.
  auto* fresh = new CListLabelElementUI();
  ASSERT_TRUE(list->AddAt(fresh, 0));
  EXPECT_EQ((std::vector<int>{4}), Selected(list));
  EXPECT_EQ(r5, list->GetItemAt(4));
  // Moving rows carries the selection and the current row along.
  ASSERT_TRUE(list->SetItemIndex(r5, 1));
  EXPECT_EQ((std::vector<int>{1}), Selected(list));
  EXPECT_EQ(1, list->GetLastSelection());
  EXPECT_EQ(1, static_cast<IListItemUI*>(r5->QueryInterfaceByName(L"ListItem"))->GetIndex());
  list->RemoveAll();
  EXPECT_EQ(0, list->GetCount());
  EXPECT_EQ(-1, list->GetCurrentSelection());
}

TEST(ListTest, HidingTheSelectedRowClearsTheSelection) {
  SkinWindow w(ListSkin(L"", 4));
  ASSERT_TRUE(w.Open());
  CListUI* list = ListOf(w);
  ASSERT_TRUE(list->SelectItem(2));
  w.Find(L"r2")->SetVisible(false);
  EXPECT_EQ(0, list->GetSelectionCount());
  EXPECT_FALSE(static_cast<CListLabelElementUI*>(w.Find(L"r2"))->IsSelected());
}

TEST(ListTest, SelectedAttributeSelectsWhateverItsValue) {
  SkinWindow w(L"<Window size=\"200,100\"><VerticalLayout><List name=\"list\">"
               L"<ListLabelElement name=\"a\" height=\"20\"/><ListLabelElement name=\"b\" height=\"20\" selected=\"false\"/>"
               L"</List></VerticalLayout></Window>");
  ASSERT_TRUE(w.Open());
  EXPECT_TRUE(static_cast<CListLabelElementUI*>(w.Find(L"b"))->IsSelected());
}

TEST(ListTest, MultiSelectAndRightSelectNamesAreExact) {
  struct Case {
    const wchar_t* name;
    const wchar_t* value;
    bool on;
  };
  const Case cases[] = {{L"multiselect", L"true", true},
                        {L"MultiSelect", L"true", false},
                        {L"multiselect", L"TRUE", false}};
  for (const Case& c : cases) {
    CListUI list;
    list.SetAttribute(c.name, c.value);
    EXPECT_EQ(c.on, list.IsMultiSelect()) << testing::Narrow(c.name);
  }
  for (const Case& c : {Case{L"itemrselected", L"true", true}, Case{L"ItemRSelected", L"true", false}}) {
    CListUI list;
    list.SetAttribute(c.name, c.value);
    EXPECT_EQ(c.on, list.GetListInfo()->bRSelected);
  }
}

TEST(ListTest, ItemAlignmentAttributes) {
  CListUI list;
  EXPECT_EQ(static_cast<UINT>(DT_VCENTER | DT_SINGLELINE), list.GetListInfo()->uTextStyle);
  list.SetAttribute(L"itemalign", L"right");
  EXPECT_EQ(static_cast<UINT>(DT_RIGHT | DT_VCENTER | DT_SINGLELINE), list.GetListInfo()->uTextStyle);
  list.SetAttribute(L"itemalign", L"center");
  EXPECT_EQ(static_cast<UINT>(DT_CENTER | DT_VCENTER | DT_SINGLELINE), list.GetListInfo()->uTextStyle);
  list.SetAttribute(L"itemvalign", L"bottom");
  EXPECT_EQ(static_cast<UINT>(DT_CENTER | DT_BOTTOM | DT_SINGLELINE), list.GetListInfo()->uTextStyle);
  list.SetAttribute(L"itemendellipsis", L"true");
  EXPECT_NE(0u, list.GetListInfo()->uTextStyle & DT_END_ELLIPSIS);
  list.SetAttribute(L"itemtextpadding", L"1,2,3,4");
  EXPECT_EQ(4, list.GetListInfo()->rcTextPadding.bottom);
}

TEST(ListTest, RightButtonSelectsOnlyWhenAsked) {
  for (const bool on : {false, true}) {
    SkinWindow w(ListSkin(on ? L"itemrselected=\"true\"" : L"", 3));
    ASSERT_TRUE(w.Open());
    ::SendMessageW(w.Hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(50, RowY(1)));
    ::SendMessageW(w.Hwnd(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(50, RowY(1)));
    ::SendMessageW(w.Hwnd(), WM_RBUTTONUP, 0, MAKELPARAM(50, RowY(1)));
    EXPECT_EQ(on ? 1 : -1, ListOf(w)->GetCurrentSelection()) << on;
  }
}

TEST(ListTest, PlainRowsDoNotExpandAndNextSelectedWalksTheSelection) {
  SkinWindow w(ListSkin(L"multiselect=\"true\"", 5));
  ASSERT_TRUE(w.Open());
  CListUI* list = ListOf(w);
  EXPECT_FALSE(list->ExpandItem(1, true));
  EXPECT_EQ(-1, list->GetExpandedItem());
  EXPECT_EQ(-1, list->GetNextSelected(-1));
  ASSERT_TRUE(list->SelectItem(3));
  {
    HeldKey ctrl(VK_CONTROL);
    ASSERT_TRUE(list->SelectItemMulti(1));
  }
  EXPECT_EQ(3, list->GetNextSelected(-1));
  EXPECT_EQ(1, list->GetNextSelected(3));
  EXPECT_EQ(-1, list->GetNextSelected(1));
  EXPECT_EQ(-1, list->GetNextSelected(4));
  EXPECT_EQ(3, list->GetCurrentSelection());  // the first entry, not the last selected
  EXPECT_EQ(1, list->GetLastSelection());
}

TEST(ListTest, ASecondHeaderIsInsertedFirstButTheFirstStaysTheColumnHeader) {
  SkinWindow w(ListSkin(L"", 1));
  ASSERT_TRUE(w.Open());
  CListUI* list = ListOf(w);
  CListHeaderUI* first = list->GetHeader();
  auto* second = new CListHeaderUI();
  ASSERT_TRUE(list->Add(second));
  EXPECT_EQ(first, list->GetHeader());
  EXPECT_EQ(0, list->CVerticalLayoutUI::GetItemIndex(second));
  EXPECT_EQ(1, list->GetCount());
  // A header added to a list whose header has no columns replaces it.
  CListUI bare;
  auto* own = new CListHeaderUI();
  own->Add(new CListHeaderItemUI());
  ASSERT_TRUE(bare.Add(own));
  EXPECT_EQ(own, bare.GetHeader());
  EXPECT_EQ(1, bare.GetListInfo()->nColumns);
}

// ---- header, columns, body

TEST(ListHeaderTest, HiddenHeaderStillSizesTheColumns) {
  SkinWindow w(ListSkin(L"header=\"hidden\"", 2));
  ASSERT_TRUE(w.Open());
  CListUI* list = ListOf(w);
  EXPECT_FALSE(list->GetHeader()->IsVisible());
  EXPECT_EQ(2, list->GetListInfo()->nColumns);
  EXPECT_EQ(100, list->GetListInfo()->rcColumn[0].right - list->GetListInfo()->rcColumn[0].left);
  EXPECT_EQ(120, list->GetListInfo()->rcColumn[1].right - list->GetListInfo()->rcColumn[1].left);
  // The rows start at the top: the hidden header takes no band.
  EXPECT_EQ(0, w.Find(L"r0")->GetPos().top);
  EXPECT_FALSE(list->GetHeader()->GetItemAt(0)->IsVisible());
}

TEST(ListHeaderTest, OnlyTheFirst32HeaderItemsBecomeColumns) {
  std::wstring skin = L"<Window size=\"300,100\"><VerticalLayout><List name=\"list\"><ListHeader height=\"20\">";
  for (int i = 0; i < 40; ++i) skin += L"<ListHeaderItem width=\"5\"/>";
  skin += L"</ListHeader></List></VerticalLayout></Window>";
  SkinWindow w(skin);
  ASSERT_TRUE(w.Open());
  EXPECT_EQ(32, ListOf(w)->GetListInfo()->nColumns);
  EXPECT_EQ(40, ListOf(w)->GetHeader()->GetCount());
}

TEST(ListHeaderTest, ScaledColumnsShareTheWidthAndIgnoreDragging) {
  SkinWindow w(L"<Window size=\"400,100\"><VerticalLayout><List name=\"list\"><ListHeader height=\"20\" scaleheader=\"true\">"
               L"<ListHeaderItem name=\"a\" scale=\"30\"/><ListHeaderItem name=\"b\" scale=\"70\"/></ListHeader>"
               L"</List></VerticalLayout></Window>");
  ASSERT_TRUE(w.Open());
  EXPECT_EQ(120, w.Find(L"a")->GetWidth());
  EXPECT_EQ(280, w.Find(L"b")->GetWidth());
  w.MouseDown(118, 10);
  w.MouseMove(60, 10);
  w.MouseUp(60, 10);
  w.Paint();
  EXPECT_EQ(120, w.Find(L"a")->GetWidth());
}

TEST(ListHeaderTest, DraggingTheSeparatorResizesTheColumnAndTheRows) {
  SkinWindow w(ListSkin(L"", 2));
  ASSERT_TRUE(w.Open());
  CListUI* list = ListOf(w);
  w.ClearSeen();
  w.MouseDown(97, 10);  // inside the 4-pixel separator plus 4 pixels
  w.MouseMove(137, 10);
  w.MouseUp(137, 10);
  w.Paint();
  EXPECT_EQ(0, Count(w, L"headerclick"));
  EXPECT_EQ(140, w.Find(L"h0")->GetWidth());
  EXPECT_EQ(140, list->GetListInfo()->rcColumn[1].left);
  EXPECT_EQ(260, list->GetListInfo()->rcColumn[1].right);
  // Below the minimum width (16) the drag leaves the width alone.
  w.MouseDown(137, 10);
  w.MouseMove(5, 10);
  w.MouseUp(5, 10);
  w.Paint();
  EXPECT_EQ(140, w.Find(L"h0")->GetWidth());
  // Elsewhere on the item a press is a click.
  w.ClearSeen();
  w.Click(40, 10);
  EXPECT_EQ(1, Count(w, L"headerclick"));
}

TEST(ListHeaderTest, NotDraggableItemsAreClickedOnTheirSeparator) {
  SkinWindow w(L"<Window size=\"300,100\"><VerticalLayout><List name=\"list\"><ListHeader height=\"20\">"
               L"<ListHeaderItem name=\"a\" width=\"100\" dragable=\"false\"/></ListHeader></List></VerticalLayout></Window>");
  ASSERT_TRUE(w.Open());
  w.ClearSeen();
  w.MouseDown(98, 10);
  w.MouseMove(150, 10);
  w.MouseUp(150, 10);
  w.Paint();
  EXPECT_EQ(100, w.Find(L"a")->GetWidth());
  EXPECT_EQ(0, Count(w, L"headerclick"));  // the strip is not a click area either
  auto* a = static_cast<CListHeaderItemUI*>(w.Find(L"a"));
  EXPECT_EQ((RECT{96, 0, 100, 20}).left, a->GetSeparatorRect().left);
  a->SetSepWidth(-6);
  EXPECT_EQ(6, a->GetSeparatorRect().right - a->GetSeparatorRect().left);
  EXPECT_EQ(a->GetPos().left, a->GetSeparatorRect().left);
}

TEST(ListBodyTest, RowsTakeTheHeadersTotalWidthWhenWider) {
  SkinWindow w(L"<Window size=\"200,100\"><VerticalLayout><List name=\"list\"><ListHeader height=\"20\">"
               L"<ListHeaderItem width=\"150\"/><ListHeaderItem width=\"150\"/></ListHeader>"
               L"<ListLabelElement name=\"r\" height=\"20\"/></List></VerticalLayout></Window>");
  ASSERT_TRUE(w.Open());
  EXPECT_EQ(300, w.Find(L"r")->GetWidth());
  SkinWindow narrow(ListSkin(L"", 1));
  ASSERT_TRUE(narrow.Open());
  EXPECT_EQ(300, narrow.Find(L"r0")->GetWidth());  // the body's width wins over 220 of columns
}

TEST(ListBodyTest, FixedWidthContainerRowsFormAGrid) {
  std::wstring skin = L"<Window size=\"350,200\"><VerticalLayout><List name=\"list\" header=\"hidden\">";
  for (int i = 0; i < 7; ++i) {
    skin += L"<ListContainerElement name=\"t" + std::to_wstring(i) + L"\" width=\"100\" height=\"30\"/>";
  }
  skin += L"</List></VerticalLayout></Window>";
  SkinWindow w(skin);
  ASSERT_TRUE(w.Open());
  const RECT expected[] = {{0, 0, 100, 30},   {100, 0, 200, 30},   {200, 0, 300, 30}, {0, 30, 100, 60},
                           {100, 30, 200, 60}, {200, 30, 300, 60}, {0, 60, 100, 90}};
  for (int i = 0; i < 7; ++i) {
    const RECT pos = w.Find((L"t" + std::to_wstring(i)).c_str())->GetPos();
    EXPECT_EQ(expected[i].left, pos.left) << i;
    EXPECT_EQ(expected[i].top, pos.top) << i;
    EXPECT_EQ(expected[i].right, pos.right) << i;
    EXPECT_EQ(expected[i].bottom, pos.bottom) << i;
  }
}

TEST(ListBodyTest, ContainerRowChildrenFollowTheColumns) {
  SkinWindow w(L"<Window size=\"300,100\"><VerticalLayout><List name=\"list\"><ListHeader height=\"20\">"
               L"<ListHeaderItem width=\"80\"/><ListHeaderItem width=\"150\"/></ListHeader>"
               L"<ListContainerElement height=\"24\"><Label name=\"c0\"/><Label name=\"c1\"/></ListContainerElement>"
               L"</List></VerticalLayout></Window>");
  ASSERT_TRUE(w.Open());
  EXPECT_EQ(0, w.Find(L"c0")->GetPos().left);
  EXPECT_EQ(80, w.Find(L"c0")->GetPos().right);
  EXPECT_EQ(80, w.Find(L"c1")->GetPos().left);
  EXPECT_EQ(230, w.Find(L"c1")->GetPos().right);
}

// ---- scrolling

TEST(ListScrollTest, SelectingARowOutOfViewScrollsItIn) {
  SkinWindow w(ListSkin(L"vscrollbar=\"true\"", 50));
  ASSERT_TRUE(w.Open());
  CListUI* list = ListOf(w);
  ASSERT_NE(nullptr, list->GetVerticalScrollBar());
  EXPECT_TRUE(list->GetVerticalScrollBar()->IsVisible());
  EXPECT_EQ(50 * 20 - 220, list->GetScrollRange().cy);
  w.Click(50, RowY(0));
  w.Key(VK_END);
  w.Paint();
  const RECT body = list->GetBody()->GetPos();
  const RECT last = w.Find(L"r49")->GetPos();
  EXPECT_EQ(body.bottom, last.bottom);
  EXPECT_EQ(list->GetScrollRange().cy, list->GetScrollPos().cy);
  w.Key(VK_HOME);
  w.Paint();
  EXPECT_EQ(0, list->GetScrollPos().cy);
  EXPECT_EQ(body.top, w.Find(L"r0")->GetPos().top);
  // Page keys scroll without selecting.
  w.Key(VK_NEXT);
  EXPECT_GT(list->GetScrollPos().cy, 0);
  EXPECT_EQ((std::vector<int>{0}), Selected(list));
  // The wheel scrolls when the selection does not follow it.
  const int before = list->GetScrollPos().cy;
  POINT pt{50, RowY(3)};
  ::ClientToScreen(w.Hwnd(), &pt);
  ::SendMessageW(w.Hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), MAKELPARAM(pt.x, pt.y));
  EXPECT_GT(list->GetScrollPos().cy, before);
}

TEST(ListScrollTest, SideScrollingMovesHeaderAndColumnsWithTheRows) {
  SkinWindow w(L"<Window size=\"200,120\"><VerticalLayout><List name=\"list\" hscrollbar=\"true\"><ListHeader height=\"20\">"
               L"<ListHeaderItem name=\"h0\" width=\"150\"/><ListHeaderItem name=\"h1\" width=\"150\"/></ListHeader>"
               L"<ListLabelElement name=\"r\" height=\"20\"/></List></VerticalLayout></Window>");
  ASSERT_TRUE(w.Open());
  CListUI* list = ListOf(w);
  ASSERT_NE(nullptr, list->GetHorizontalScrollBar());
  EXPECT_TRUE(list->GetHorizontalScrollBar()->IsVisible());
  EXPECT_EQ(100, list->GetScrollRange().cx);
  EXPECT_EQ(300, w.Find(L"r")->GetWidth());
  list->SetScrollPos(SIZE{40, 0});
  w.Paint();
  EXPECT_EQ(40, list->GetScrollPos().cx);
  EXPECT_EQ(-40, w.Find(L"r")->GetPos().left);
  EXPECT_EQ(-40, w.Find(L"h0")->GetPos().left);
  EXPECT_EQ(110, w.Find(L"h1")->GetPos().left);
  EXPECT_EQ(110, list->GetListInfo()->rcColumn[1].left);
}

// ---- row painting

TEST(ListPaintTest, RowBackgroundFollowsTheState) {
  SkinWindow w(ListSkin(L"itembkcolor=\"#FF102030\" itemaltbk=\"true\" itemselectedbkcolor=\"#FF00FF00\""
                        L" itemhotbkcolor=\"#FFFF0000\" itemlinecolor=\"#FF0000FF\" itemshowrowline=\"true\"",
                        4));
  ASSERT_TRUE(w.Open());
  CListUI* list = ListOf(w);
  w.MouseMove(299, 239);  // away from the rows
  EXPECT_EQ(0x102030u, w.PixelAt(250, RowY(0)) & 0xFFFFFF);
  EXPECT_NE(0x102030u, w.PixelAt(250, RowY(1)) & 0xFFFFFF);  // odd rows: no colour
  EXPECT_EQ(0x0000FFu, w.PixelAt(250, RowY(0) + 9) & 0xFFFFFF);  // row line at the bottom
  ASSERT_TRUE(list->SelectItem(2));
  EXPECT_EQ(0x00FF00u, w.PixelAt(250, RowY(2)) & 0xFFFFFF);
  w.MouseMove(250, RowY(3));
  EXPECT_EQ(0xFF0000u, w.PixelAt(250, RowY(3)) & 0xFFFFFF);
  w.Find(L"r3")->SetEnabled(false);  // disabled: the disabled colour, hot state gone
  EXPECT_EQ(0xFFFFFFu, w.PixelAt(250, RowY(3)) & 0xFFFFFF);
}

// Header, alternate rows, a selected row, a hot row, a disabled row, grid
// lines and a text row with per-column texts.
constexpr wchar_t kGoldenList[] =
    L"<Window size=\"240,140\"><VerticalLayout bkcolor=\"#FFFFFFFF\"><List name=\"list\" bkcolor=\"#FFFFFFFF\""
    L" itembkcolor=\"#FFF4F6F8\" itemaltbk=\"true\" itemlinecolor=\"#FFB0B8C0\" itemshowrowline=\"true\""
    L" itemshowcolumnline=\"true\" itemtextcolor=\"#FF202020\" itemtextpadding=\"4,0,0,0\">"
    L"<ListHeader height=\"22\" bkcolor=\"#FFDDE4EA\"><ListHeaderItem width=\"90\" text=\"Name\" textcolor=\"#FF102040\""
    L" bkcolor=\"#FFC8D4E0\"/><ListHeaderItem width=\"110\" text=\"Size\" textcolor=\"#FF102040\"/>"
    L"</ListHeader>"
    L"<ListLabelElement name=\"r0\" height=\"20\" text=\"first\"/>"
    L"<ListLabelElement name=\"r1\" height=\"20\" text=\"second\"/>"
    L"<ListLabelElement name=\"r2\" height=\"20\" text=\"third\"/>"
    L"<ListLabelElement name=\"r3\" height=\"20\" text=\"fourth\" enabled=\"false\"/>"
    L"<ListTextElement name=\"t\" height=\"20\"/>"
    L"</List></VerticalLayout></Window>";

class ListGoldenTest : public ::testing::TestWithParam<int> {};

TEST_P(ListGoldenTest, ListStatesLookAsTheirGolden) {
  const int scale = GetParam();
  SkinWindow w(kGoldenList, scale);
  ASSERT_TRUE(w.Open());
  auto* t = static_cast<CListTextElementUI*>(w.Find(L"t"));
  t->SetColumnText(0, L"cell");
  t->SetColumnText(1, L"12 KB");
  ASSERT_TRUE(ListOf(w)->SelectItem(1));
  const RECT r2 = w.Find(L"r2")->GetPos();
  w.MouseMove(r2.left + 5, (r2.top + r2.bottom) / 2);
  int width = 0;
  int height = 0;
  const std::vector<std::uint32_t> pixels = w.Pixels(&width, &height);
  ASSERT_EQ(240 * scale / 100, width);
  const auto result = testing::MatchGolden("list_" + std::to_string(scale), pixels, width, height, false);
  EXPECT_TRUE(result.ok) << result.message;
}

INSTANTIATE_TEST_SUITE_P(Scales, ListGoldenTest, ::testing::Values(100, 150));

TEST(ListPaintTest, GridLinesFollowAListBackgroundImageOnlyOnContainerRows) {
  char dir[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, dir);
  const std::string path = std::string(dir) + "ql_list_bk_" + std::to_string(::GetCurrentProcessId()) + ".png";
  ASSERT_TRUE(testing::WritePng(path, std::vector<std::uint32_t>(8 * 8, 0xFF20C040), 8, 8));
  const std::wstring image(path.begin(), path.end());
  SkinWindow w(L"<Window size=\"200,100\"><VerticalLayout bkcolor=\"#FFFFFFFF\"><List name=\"list\" header=\"hidden\""
               L" itembkimage=\"" + image + L"\" itemlinecolor=\"#FF0000FF\" itemshowrowline=\"true\">"
               L"<ListLabelElement name=\"label\" height=\"20\"/>"
               L"<ListContainerElement name=\"box\" height=\"20\"/></List></VerticalLayout></Window>");
  ASSERT_TRUE(w.Open());
  w.MouseMove(199, 99);
  EXPECT_EQ(0x20C040u, w.PixelAt(100, 10) & 0xFFFFFF);  // the image fills the label row
  EXPECT_EQ(0x20C040u, w.PixelAt(100, 19) & 0xFFFFFF);  // and no line follows it
  EXPECT_EQ(0x20C040u, w.PixelAt(100, 30) & 0xFFFFFF);
  EXPECT_EQ(0x0000FFu, w.PixelAt(100, 39) & 0xFFFFFF);  // the container row still draws its line
  ::DeleteFileA(path.c_str());
}

class FixedSource : public IListTextSourceUI {
 public:
  CUiString GetItemText(CControlUI*, int index, int column) override {
    return CUiString((L"s" + std::to_wstring(index) + L"." + std::to_wstring(column)).c_str());
  }
  DWORD GetItemTextColor(CControlUI*, int, int, int state) override {
    states.push_back(state);
    return 0xFFFF0000;
  }
  std::vector<int> states;
};

TEST(ListTextElementTest, ColumnTextsAndColours) {
  SkinWindow w(L"<Window size=\"300,100\"><VerticalLayout><List name=\"list\" itemtextcolor=\"#FF0000FF\">"
               L"<ListHeader height=\"20\"><ListHeaderItem width=\"100\"/><ListHeaderItem width=\"100\"/>"
               L"<ListHeaderItem width=\"100\"/></ListHeader>"
               L"<ListTextElement name=\"t\" height=\"20\"/></List></VerticalLayout></Window>");
  ASSERT_TRUE(w.Open());
  auto* t = static_cast<CListTextElementUI*>(w.Find(L"t"));
  EXPECT_EQ(nullptr, t->GetColumnText(0));
  t->SetColumnText(0, L"first");
  t->SetColumnText(2, L"third");
  EXPECT_STREQ(L"first", t->GetColumnText(0));
  EXPECT_EQ(nullptr, t->GetColumnText(1));  // skipped: no entry
  EXPECT_EQ(nullptr, t->GetColumnText(3));
  // A colour list shorter than the columns: the rest keep the list's colour.
  t->SetColumnTextColor(0, 0xFF00FF00);
  EXPECT_EQ(0xFF00FF00u, t->GetColumnTextColor(0));
  EXPECT_EQ(0xFF0000FFu, t->GetColumnTextColor(2));
  EXPECT_EQ(0xFF0000FFu, t->GetColumnTextColor(7));

  // Text lands in its column.
  int width = 0;
  int height = 0;
  auto pixels = w.Pixels(&width, &height);
  auto dark_in = [&](int x0, int x1) {
    for (int y = 20; y < 40; ++y)
      for (int x = x0; x < x1; ++x)
        if ((pixels[y * width + x] & 0xFFFFFF) != 0xFFFFFF && (pixels[y * width + x] & 0xFFFFFF) != 0) return true;
    return false;
  };
  EXPECT_TRUE(dark_in(0, 100));
  EXPECT_FALSE(dark_in(100, 200));
  EXPECT_TRUE(dark_in(200, 300));

  // A text source supplies texts and colours; its colours are final.
  FixedSource source;
  ListOf(w)->SetTextSource(&source);
  ListOf(w)->SelectItem(0);
  w.Find(L"list")->Invalidate();
  w.Paint();
  ASSERT_FALSE(source.states.empty());
  EXPECT_EQ(2, source.states.back());
}

TEST(ListTextElementTest, MarkupLinksAreNumberedAcrossColumns) {
  SkinWindow w(L"<Window size=\"300,100\"><VerticalLayout><List name=\"list\" itemshowhtml=\"true\">"
               L"<ListHeader height=\"20\"><ListHeaderItem width=\"150\"/><ListHeaderItem width=\"150\"/></ListHeader>"
               L"<ListTextElement name=\"t\" height=\"20\"/></List></VerticalLayout></Window>");
  ASSERT_TRUE(w.Open());
  auto* t = static_cast<CListTextElementUI*>(w.Find(L"t"));
  t->SetColumnText(0, L"{a one}x{/a}");
  t->SetColumnText(1, L"{a two}y{/a} {a three}z{/a}");
  w.Paint();
  ASSERT_EQ(3, t->GetLinkCount());
  EXPECT_STREQ(L"one", t->GetLinkText(0).GetData());
  EXPECT_STREQ(L"two", t->GetLinkText(1).GetData());
  EXPECT_STREQ(L"three", t->GetLinkText(2).GetData());
  EXPECT_GE(t->GetLinkRect(1).left, 150);
  const RECT second = t->GetLinkRect(1);
  w.ClearSeen();
  w.Click((second.left + second.right) / 2, (second.top + second.bottom) / 2);
  ASSERT_EQ(1, Count(w, L"link"));
  for (const auto& s : w.Seen()) {
    if (s.type == L"link") {
      EXPECT_EQ(1u, s.wparam);
    }
  }
  EXPECT_EQ(0, Count(w, L"itemclick"));
}

TEST(ListTest, TenThousandRowsSelectByKeyAndMouse) {
  SkinWindow w(ListSkin(L"multiselect=\"true\"", 0));
  ASSERT_TRUE(w.Open());
  CListUI* list = ListOf(w);
  for (int i = 0; i < 10000; ++i) {
    auto* row = new CListLabelElementUI();
    row->SetFixedHeight(20);
    row->SetText((L"row " + std::to_wstring(i)).c_str());
    ASSERT_TRUE(list->Add(row));
  }
  w.Paint();
  EXPECT_EQ(10000, list->GetCount());
  EXPECT_EQ(9999, static_cast<CListLabelElementUI*>(list->GetItemAt(9999))->GetIndex());
  w.Click(50, RowY(4));
  w.Key(VK_END);
  EXPECT_EQ((std::vector<int>{9999}), Selected(list));
  {
    HeldKey ctrl(VK_CONTROL);
    w.Key('A');
  }
  EXPECT_EQ(10000, list->GetSelectionCount());
}

}  // namespace
}  // namespace SkinUI
