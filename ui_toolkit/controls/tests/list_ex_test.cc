// The extended list in real windows: the header column's click and check box,
// the rows' check boxes rolling up into the header, in-place editing of a cell
// in the rich edit (typed into with real keys) and in the combo (chosen by
// click and by key), many rows, hostile calls, and the goldens of its states.
#include "ui_toolkit/controls/list_ex.h"

#include <gtest/gtest.h>
#include <ole2.h>

#include <memory>
#include <string>
#include <vector>

#include "ui_toolkit/controls/combo_box.h"
#include "ui_toolkit/controls/list_container_header_item.h"
#include "ui_toolkit/controls/list_header.h"
#include "ui_toolkit/controls/list_text_ext_element.h"
#include "ui_toolkit/controls/rich_edit.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/tests/golden_image.h"
#include "ui_toolkit/core/tests/skin_window.h"

namespace SkinUI {
namespace {

using testing::PumpFor;
using testing::PumpUntil;
using testing::SkinWindow;

// Sends keys as the keyboard would and waits until the window has taken them.
void SendKeys(std::vector<INPUT> inputs) {
  ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  PumpUntil([] { return ::GetQueueStatus(QS_ALLINPUT) == 0; }, 2000);
  PumpFor(10);
}

void Press(WORD vk) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  if (vk == VK_END || vk == VK_HOME || vk == VK_LEFT || vk == VK_RIGHT) in.ki.dwFlags = KEYEVENTF_EXTENDEDKEY;
  INPUT up = in;
  up.ki.dwFlags |= KEYEVENTF_KEYUP;
  SendKeys({in, up});
}

void Type(const std::wstring& text) {
  std::vector<INPUT> inputs;
  for (wchar_t c : text) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wScan = c;
    in.ki.dwFlags = KEYEVENTF_UNICODE;
    inputs.push_back(in);
    in.ki.dwFlags |= KEYEVENTF_KEYUP;
    inputs.push_back(in);
  }
  SendKeys(inputs);
}

// Columns: "Name" 0..110 (editable, with the check box), "Kind" 110..210
// (combo), "Note" 210..300 (editable). Header 0..20, rows of 20 pixels from
// y = 20; a button under the list takes the focus away.
std::wstring ExSkin(int rows, const std::wstring& name_attrs = L"checkable=\"true\"",
                    const std::wstring& note_attrs = L"editable=\"true\"", const std::wstring& box_images = L"") {
  std::wstring skin =
      L"<Window size=\"320,260\"><Font id=\"0\" name=\"Liberation Sans\" size=\"13\" default=\"true\"/>"
      L"<VerticalLayout bkcolor=\"#FFFFFFFF\"><ListEx name=\"list\" height=\"220\" bkcolor=\"#FFFFFFFF\""
      L" itemtextcolor=\"#FF202020\" itemtextpadding=\"4,0,0,0\" itemlinecolor=\"#FFB0B8C0\" itemshowrowline=\"true\""
      L" itemshowcolumnline=\"true\" vscrollbar=\"true\">"
      L"<ListHeader height=\"20\" bkcolor=\"#FFDDE4EA\">"
      L"<ListContainerHeaderItem name=\"h0\" width=\"110\" text=\"Name\" editable=\"true\" checkboxwidth=\"12\""
      L" checkboxheight=\"12\" textcolor=\"#FF102040\" " + box_images + L" " + name_attrs + L"/>"
      L"<ListContainerHeaderItem name=\"h1\" width=\"100\" text=\"Kind\" comboable=\"true\" textcolor=\"#FF102040\"/>"
      L"<ListContainerHeaderItem name=\"h2\" width=\"90\" text=\"Note\" textcolor=\"#FF102040\" " + note_attrs +
      L"/></ListHeader>";
  for (int i = 0; i < rows; ++i) {
    skin += L"<ListTextExtElement name=\"r" + std::to_wstring(i) +
            L"\" height=\"20\" checkboxwidth=\"12\" checkboxheight=\"12\" " + box_images + L"/>";
  }
  return skin + L"</ListEx><Button name=\"other\" height=\"30\" bkcolor=\"#FFE0E0E0\"/></VerticalLayout></Window>";
}

std::vector<LONG> Edges(const RECT& rc) { return {rc.left, rc.top, rc.right, rc.bottom}; }

int RowY(int i) { return 30 + 20 * i; }
constexpr int kNameX = 60;
constexpr int kKindX = 160;
constexpr int kNoteX = 250;
constexpr int kBoxX = 12;  // the rows' and the first column's check box: x 6..18

int Count(const SkinWindow& w, const wchar_t* type, const wchar_t* sender = nullptr) {
  int n = 0;
  for (const auto& s : w.Seen()) n += (s.type == type && (sender == nullptr || s.sender == sender)) ? 1 : 0;
  return n;
}

const testing::SeenNotify* Last(const SkinWindow& w, const wchar_t* type) {
  const testing::SeenNotify* found = nullptr;
  for (const auto& s : w.Seen()) {
    if (s.type == type) found = &s;
  }
  return found;
}

class ListExTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr))); }
  void TearDown() override {
    if (list_ != nullptr && list_->GetComboBox() != nullptr && list_->GetComboBox()->GetDropWindow() != nullptr) {
      ::PostMessageW(list_->GetComboBox()->GetDropWindow()->GetWindowHandle(), WM_CLOSE, 0, 0);
      PumpUntil([&] { return list_->GetComboBox()->GetDropWindow() == nullptr; }, 2000);
    }
    if (w_) w_->Destroy();
    w_.reset();
    ::OleUninitialize();
  }

  // Opens an active window (keys go to it) and registers the list for its
  // editors' and rows' notifications, as a host window does.
  void Open(const std::wstring& skin, int scale = 100) {
    w_ = std::make_unique<SkinWindow>(skin, scale);
    ASSERT_TRUE(w_->Open(true));
    list_ = static_cast<CListExUI*>(w_->Find(L"list"));
    ASSERT_NE(nullptr, list_);
    ASSERT_TRUE(list_->GetManager()->AddNotifier(list_));
    for (int i = 0; i < list_->GetCount(); ++i) {
      CListTextExtElementUI* r = Row(i);
      r->SetColumnText(0, (L"name " + std::to_wstring(i)).c_str());
      r->SetColumnText(1, L"apk");
      r->SetColumnText(2, (L"note " + std::to_wstring(i)).c_str());
    }
    w_->Paint();
    w_->ClearSeen();
  }

  CListTextExtElementUI* Row(int i) {
    return static_cast<CListTextExtElementUI*>(list_->GetItemAt(i)->QueryInterfaceByName(L"ListTextExElement"));
  }
  CListContainerHeaderItemUI* Column(int i) {
    return static_cast<CListContainerHeaderItemUI*>(
        list_->GetHeader()->GetItemAt(i)->QueryInterfaceByName(L"ListContainerHeaderItem"));
  }
  std::wstring Cell(int row, int column) {
    const wchar_t* text = Row(row)->GetColumnText(column);
    return text != nullptr ? text : L"<null>";
  }
  bool EditShown() {
    CRichEditUI* edit = list_->GetRichEdit();
    return edit != nullptr && edit->IsVisible() && edit->GetWidth() > 0;
  }
  // Clicks a point of the window, as the user moves there and clicks.
  void Click(int x, int y) {
    w_->MouseMove(x, y);
    w_->Click(x, y);
  }
  void ClickOther() {
    const RECT& rc = w_->Find(L"other")->GetPos();
    Click((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
  }

  std::unique_ptr<SkinWindow> w_;
  CListExUI* list_ = nullptr;
};

TEST_F(ListExTest, FactoryBuildsTheExtendedListColumnsAndRowsByTheirSkinNames) {
  Open(ExSkin(3));
  EXPECT_STREQ(L"XListUI", list_->GetClassName());
  EXPECT_NE(nullptr, list_->QueryInterfaceByName(L"ListEx"));
  EXPECT_NE(nullptr, list_->QueryInterfaceByName(L"List"));
  EXPECT_EQ(3, list_->GetCount());
  EXPECT_EQ(3, list_->GetListInfo()->nColumns);
  EXPECT_STREQ(L"ListContainerHeaderItemUI", list_->GetHeader()->GetItemAt(0)->GetClassName());
  EXPECT_STREQ(L"ListTextExElementUI", list_->GetItemAt(0)->GetClassName());
  // The extended row is not a plain text row.
  EXPECT_EQ(nullptr, list_->GetItemAt(0)->QueryInterfaceByName(L"ListTextElement"));
  EXPECT_NE(nullptr, list_->GetItemAt(0)->QueryInterfaceByName(L"ListItem"));
  EXPECT_TRUE(list_->IsColumnEditable(0));
  EXPECT_TRUE(list_->IsColumnComboable(1));
  EXPECT_TRUE(list_->IsColumnCheckable(0));
  EXPECT_FALSE(list_->IsColumnCheckable(1));
  EXPECT_FALSE(list_->IsColumnEditable(1));
  EXPECT_TRUE(list_->IsColumnEditable(2));
  EXPECT_EQ(110, list_->GetListInfo()->rcColumn[0].right);
  EXPECT_EQ(210, list_->GetListInfo()->rcColumn[1].right);
}

TEST_F(ListExTest, AClickOnAHeaderColumnSendsListHeaderClickFromThatColumn) {
  Open(ExSkin(3));
  Click(160, 10);
  ASSERT_EQ(1, Count(*w_, L"listheaderclick"));
  const testing::SeenNotify* click = Last(*w_, L"listheaderclick");
  EXPECT_EQ(L"h1", click->sender);
  EXPECT_EQ(0u, click->wparam);
  EXPECT_EQ(0, click->lparam);
  EXPECT_EQ(0, Count(*w_, L"headerclick"));
  EXPECT_EQ(0, Count(*w_, L"listheaditemchecked"));
}

TEST_F(ListExTest, TheHeaderBoxChecksAndUnchecksEveryRow) {
  Open(ExSkin(4));
  Click(kBoxX, 10);
  const testing::SeenNotify* checked = Last(*w_, L"listheaditemchecked");
  ASSERT_NE(nullptr, checked);
  EXPECT_EQ(L"h0", checked->sender);
  EXPECT_EQ(0u, checked->wparam);
  EXPECT_EQ(1, checked->lparam);
  EXPECT_TRUE(Column(0)->GetCheck());
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(Row(i)->GetCheck()) << i;
  // The box is part of the column: its click is a column click as well.
  EXPECT_EQ(1, Count(*w_, L"listheaderclick"));
  w_->ClearSeen();
  Click(kBoxX, 10);
  EXPECT_EQ(0, Last(*w_, L"listheaditemchecked")->lparam);
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(Row(i)->GetCheck()) << i;
  // A press that leaves the box before it is let go changes nothing.
  w_->MouseMove(kBoxX, 10);
  w_->MouseDown(kBoxX, 10);
  w_->MouseMove(80, 10);
  w_->MouseUp(80, 10);
  EXPECT_FALSE(Column(0)->GetCheck());
}

TEST_F(ListExTest, RowChecksRollUpIntoTheFirstColumnsHeaderBox) {
  Open(ExSkin(3));
  Click(kBoxX, RowY(0));
  const testing::SeenNotify* checked = Last(*w_, L"listitemchecked");
  ASSERT_NE(nullptr, checked);
  EXPECT_EQ(L"r0", checked->sender);
  EXPECT_EQ(0u, checked->wparam);
  EXPECT_EQ(1, checked->lparam);
  EXPECT_TRUE(Row(0)->GetCheck());
  EXPECT_FALSE(Column(0)->GetCheck());
  // The box lies in an editable column, but a click on it opens no editor.
  EXPECT_FALSE(EditShown());
  Click(kBoxX, RowY(2));
  EXPECT_EQ(2u, Last(*w_, L"listitemchecked")->wparam);
  EXPECT_FALSE(Column(0)->GetCheck());
  Click(kBoxX, RowY(1));  // the last unchecked row
  EXPECT_TRUE(Column(0)->GetCheck());
  Click(kBoxX, RowY(1));  // unchecking any row clears it, with lParam 0
  EXPECT_EQ(0, Last(*w_, L"listitemchecked")->lparam);
  EXPECT_FALSE(Column(0)->GetCheck());
  EXPECT_TRUE(Row(0)->GetCheck());
}

TEST_F(ListExTest, ACheckNotificationFromAControlThatIsNotOneOfTheRowsChangesNothing) {
  Open(ExSkin(2));
  Row(0)->SetCheck(true);
  Row(1)->SetCheck(true);
  CControlUI* other = w_->Find(L"other");
  list_->GetManager()->SendNotify(other, L"listitemchecked", 0, 1);
  EXPECT_FALSE(Column(0)->GetCheck());
  list_->GetManager()->SendNotify(other, L"listheaditemchecked", 0, 0);
  EXPECT_TRUE(Row(0)->GetCheck());
  EXPECT_TRUE(Row(1)->GetCheck());
}

TEST_F(ListExTest, TwoCheckableColumnsShareOneBoxThatAClickTogglesOnce) {
  Open(ExSkin(2, L"checkable=\"true\"", L"checkable=\"true\""));
  Click(kBoxX, RowY(0));
  EXPECT_TRUE(Row(0)->GetCheck());
  EXPECT_EQ(1, Count(*w_, L"listitemchecked"));
  Click(kBoxX, RowY(0));
  EXPECT_FALSE(Row(0)->GetCheck());
}

TEST_F(ListExTest, AClickOnAnEditableCellOpensTheEditTypedKeysAndFocusLeavingCommit) {
  Open(ExSkin(5));
  Click(kNameX, RowY(1));
  ASSERT_TRUE(EditShown());
  CRichEditUI* edit = list_->GetRichEdit();
  EXPECT_STREQ(L"ListEx_Edit", edit->GetName().GetData());
  EXPECT_EQ(1, list_->GetEditingRow());
  EXPECT_EQ(0, list_->GetEditingColumn());
  EXPECT_TRUE(edit->IsFocused());
  EXPECT_EQ(L"name 1", std::wstring(edit->GetText().GetData()));
  // The edit lies over the cell, 1 pixel inside it.
  const RECT& pos = edit->GetPos();
  EXPECT_EQ(1, pos.left);
  EXPECT_EQ(109, pos.right);
  EXPECT_EQ(41, pos.top);
  EXPECT_EQ(59, pos.bottom);

  Press(VK_END);
  Type(L"-x");
  EXPECT_EQ(L"name 1-x", std::wstring(edit->GetText().GetData()));
  EXPECT_EQ(L"name 1", Cell(1, 0));  // nothing written while typing
  // Enter does not end a single-line edit that wants it.
  Press(VK_RETURN);
  EXPECT_TRUE(EditShown());
  EXPECT_EQ(L"name 1", Cell(1, 0));

  w_->ClearSeen();
  ClickOther();
  EXPECT_GE(Count(*w_, L"killfocus", L"ListEx_Edit"), 1);
  EXPECT_EQ(L"name 1-x", Cell(1, 0));
  EXPECT_FALSE(edit->IsVisible());
  EXPECT_EQ(-1, list_->GetEditingRow());
  EXPECT_EQ(-1, list_->GetEditingColumn());
  EXPECT_EQ(L"note 1", Cell(1, 2));
}

TEST_F(ListExTest, ClickingAnotherCellCommitsTheFirstAndOpensTheEditThere) {
  Open(ExSkin(5));
  Click(kNoteX, RowY(0));
  ASSERT_TRUE(EditShown());
  Press(VK_END);
  Type(L"!");
  Click(kNoteX, RowY(3));
  EXPECT_EQ(L"note 0!", Cell(0, 2));
  ASSERT_TRUE(EditShown());
  EXPECT_EQ(3, list_->GetEditingRow());
  EXPECT_EQ(2, list_->GetEditingColumn());
  EXPECT_EQ(L"note 3", std::wstring(list_->GetRichEdit()->GetText().GetData()));
}

TEST_F(ListExTest, AClickOnACellThatIsNotEditableOpensNoEditor) {
  Open(ExSkin(3, L"checkable=\"true\"", L""));
  Click(kNoteX, RowY(0));
  EXPECT_FALSE(EditShown());
  EXPECT_EQ(-1, list_->GetEditingRow());
  EXPECT_EQ(nullptr, list_->GetRichEdit());  // never needed, never made
}

TEST_F(ListExTest, ACellClickWhileTheListIsNotFocusedOpensNoEditor) {
  Open(ExSkin(3));
  ClickOther();
  CListTextExtElementUI* row = Row(1);
  ASSERT_FALSE(list_->IsFocused());
  ControlEventUI up{};
  up.Type = UIEVENT_BUTTONUP;
  up.pSender = row;
  up.ptMouse = POINT{kNameX, RowY(1)};
  row->HandleEvent(up);
  EXPECT_FALSE(EditShown());
  EXPECT_EQ(-1, list_->GetEditingRow());
}

TEST_F(ListExTest, TheWheelMovesTheEditAwayWithoutLosingTheTypedText) {
  Open(ExSkin(30));
  Click(kNameX, RowY(2));
  ASSERT_TRUE(EditShown());
  Press(VK_END);
  Type(L"+");
  POINT screen{kNameX, RowY(4)};
  ::ClientToScreen(w_->Hwnd(), &screen);
  ::SendMessageW(w_->Hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)),
                 MAKELPARAM(screen.x, screen.y));
  w_->Paint();
  EXPECT_FALSE(EditShown());
  // Hiding the focused edit takes its focus, and its "killfocus" writes the cell.
  EXPECT_EQ(L"name 2+", Cell(2, 0));
  EXPECT_EQ(-1, list_->GetEditingRow());
}

class ChoiceSource : public IListComboSourceUI {
 public:
  void FillComboItems(CComboBoxUI* combo, int row, int column) override {
    calls.push_back({row, column});
    for (const wchar_t* text : {L"apk", L"xapk", L"obb"}) {
      auto* item = new CListLabelElementUI();
      item->SetText(text);
      item->SetFixedHeight(20);
      combo->Add(item);
    }
  }
  std::vector<std::pair<int, int>> calls;
};

TEST_F(ListExTest, AComboCellChoosesByClickInTheDropDown) {
  Open(ExSkin(4));
  ChoiceSource source;
  list_->SetComboSource(&source);
  Click(kKindX, RowY(2));
  CComboBoxUI* combo = list_->GetComboBox();
  ASSERT_NE(nullptr, combo);
  EXPECT_STREQ(L"ListEx_Combo", combo->GetName().GetData());
  EXPECT_EQ((std::vector<std::pair<int, int>>{{2, 1}}), source.calls);
  EXPECT_EQ(3, combo->GetCount());
  EXPECT_TRUE(combo->IsVisible());
  EXPECT_EQ(Edges(RECT{111, 61, 209, 79}), Edges(combo->GetPos()));
  EXPECT_EQ(L"apk", std::wstring(combo->GetText().GetData()));

  // A later layout of the list leaves the combo over its cell.
  list_->SetPos(list_->GetPos(), true);
  w_->Paint();
  EXPECT_EQ(Edges(RECT{111, 61, 209, 79}), Edges(combo->GetPos()));

  Click(kKindX, RowY(2));  // opens the drop-down
  ASSERT_TRUE(PumpUntil([&] { return combo->GetDropWindow() != nullptr; }, 2000));
  PumpFor(30);
  const HWND drop = combo->GetDropWindow()->GetWindowHandle();
  const RECT& item = combo->GetItemAt(2)->GetPos();
  const int x = (item.left + item.right) / 2;
  const int y = (item.top + item.bottom) / 2;
  ::SendMessageW(drop, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
  ::SendMessageW(drop, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  ::SendMessageW(drop, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  ASSERT_TRUE(PumpUntil([&] { return combo->GetDropWindow() == nullptr; }, 3000));
  w_->Paint();
  EXPECT_EQ(L"obb", Cell(2, 1));
  EXPECT_GE(Count(*w_, L"itemselect", L"ListEx_Combo"), 1);
  EXPECT_EQ(0, combo->GetWidth());  // moved away
  EXPECT_EQ(L"apk", Cell(1, 1));
}

TEST_F(ListExTest, AComboCellChoosesByKey) {
  Open(ExSkin(4));
  ChoiceSource source;
  list_->SetComboSource(&source);
  Click(kKindX, RowY(0));
  CComboBoxUI* combo = list_->GetComboBox();
  ASSERT_NE(nullptr, combo);
  Click(kKindX, RowY(0));
  ASSERT_TRUE(PumpUntil([&] { return combo->GetDropWindow() != nullptr; }, 2000));
  const HWND drop = combo->GetDropWindow()->GetWindowHandle();
  // Nothing is chosen yet: the first step down reaches the first choice.
  ::SendMessageW(drop, WM_KEYDOWN, VK_DOWN, 1);
  ::SendMessageW(drop, WM_KEYDOWN, VK_DOWN, 1);
  ::SendMessageW(drop, WM_KEYDOWN, VK_RETURN, 1);
  ASSERT_TRUE(PumpUntil([&] { return combo->GetDropWindow() == nullptr; }, 3000));
  EXPECT_EQ(L"xapk", Cell(0, 1));
}

TEST_F(ListExTest, AScrollNotificationMovesTheComboAwayAndKeepsItsCell) {
  Open(ExSkin(4));
  ChoiceSource source;
  list_->SetComboSource(&source);
  Click(kKindX, RowY(1));
  CComboBoxUI* combo = list_->GetComboBox();
  ASSERT_NE(nullptr, combo);
  ASSERT_GT(combo->GetWidth(), 0);
  CControlUI* other = w_->Find(L"other");
  other->GetManager()->SendNotify(other, L"scroll");
  w_->Paint();
  EXPECT_EQ(0, combo->GetWidth());
  EXPECT_EQ(1, list_->GetEditingRow());
  EXPECT_EQ(1, list_->GetEditingColumn());
  EXPECT_EQ(L"apk", Cell(1, 1));
  // Opening the edit moves the combo away as well.
  Click(kNameX, RowY(2));
  ASSERT_TRUE(EditShown());
  EXPECT_EQ(0, combo->GetWidth());
}

TEST_F(ListExTest, AComboChoiceOfAnotherExtendedListNeverWritesIntoThisOne) {
  std::wstring skin = ExSkin(2);
  // A second list of the same kind beside the first.
  const std::wstring second =
      L"<ListEx name=\"list2\" height=\"60\"><ListHeader height=\"20\">"
      L"<ListContainerHeaderItem width=\"100\" comboable=\"true\"/></ListHeader>"
      L"<ListTextExtElement name=\"s0\" height=\"20\"/></ListEx>";
  skin.insert(skin.find(L"<Button"), second);
  Open(skin);
  auto* list2 = static_cast<CListExUI*>(w_->Find(L"list2"));
  ASSERT_TRUE(list2->GetManager()->AddNotifier(list2));
  ChoiceSource source;
  list_->SetComboSource(&source);
  list2->SetComboSource(&source);
  // This list's combo choice: its editing row stays set afterwards.
  list_->OnListItemClicked(0, 1, Row(0)->GetCellEditRect(1), L"apk");
  list_->GetComboBox()->SelectItem(1);
  EXPECT_EQ(L"xapk", Cell(0, 1));
  EXPECT_EQ(0, list_->GetEditingRow());
  // The other list's choice reaches this list as well; it must stay here.
  auto* s0 = static_cast<CListTextExtElementUI*>(w_->Find(L"s0"));
  list2->OnListItemClicked(0, 0, s0->GetCellEditRect(0), L"");
  list2->GetComboBox()->SelectItem(2);
  EXPECT_STREQ(L"obb", s0->GetColumnText(0));
  EXPECT_EQ(L"xapk", Cell(0, 1));
}

TEST_F(ListExTest, EditsAskedForRowsOrColumnsThatDoNotExistChangeNothing) {
  Open(ExSkin(3));
  // A column beyond the header opens nothing.
  list_->OnListItemClicked(0, 40, RECT{0, 0, 10, 10}, L"x");
  EXPECT_EQ(-1, list_->GetEditingRow());
  list_->OnListItemClicked(0, -5, RECT{}, nullptr);
  EXPECT_EQ(-1, list_->GetEditingRow());
  // A row that does not exist: the edit opens, and its commit writes nowhere.
  list_->OnListItemClicked(99999, 0, RECT{1, 21, 109, 39}, L"ghost");
  ASSERT_TRUE(EditShown());
  ClickOther();
  EXPECT_EQ(-1, list_->GetEditingRow());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(L"name " + std::to_wstring(i), Cell(i, 0));
  // Cell texts outside the columns are refused.
  Row(0)->SetColumnText(3, L"out");
  Row(0)->SetColumnText(-1, L"out");
  EXPECT_EQ(nullptr, Row(0)->GetColumnText(3));
  EXPECT_EQ(Edges(RECT{}), Edges(Row(0)->GetCellEditRect(7)));
  // A missing entry is not created for a null text; an existing one is emptied.
  Row(0)->SetColumnText(1, nullptr);
  EXPECT_EQ(L"", Cell(0, 1));
}

TEST_F(ListExTest, AListDestroyedWithItsEditorOpenLeavesNothingPointingAtIt) {
  Open(ExSkin(3));
  ChoiceSource source;
  list_->SetComboSource(&source);
  Click(kKindX, RowY(0));
  Click(kKindX, RowY(0));  // the combo's drop-down is open
  CComboBoxUI* combo = list_->GetComboBox();
  ASSERT_TRUE(PumpUntil([&] { return combo->GetDropWindow() != nullptr; }, 2000));
  const HWND drop = combo->GetDropWindow()->GetWindowHandle();
  Click(kNameX, RowY(1));  // and the edit is open, focused
  ASSERT_TRUE(EditShown());
  auto* parent = static_cast<CContainerUI*>(list_->GetParent()->QueryInterfaceByName(L"Container"));
  ASSERT_TRUE(parent->Remove(list_));
  list_ = nullptr;
  PumpFor(30);
  EXPECT_FALSE(::IsWindow(drop));
  // The window keeps working and keeps notifying: nothing reaches the freed list.
  ClickOther();
  w_->Key(VK_TAB);
  w_->MouseMove(10, 10);
  w_->Paint();
  CControlUI* other = w_->Find(L"other");
  other->GetManager()->SendNotify(other, L"scroll");
  other->GetManager()->SendNotify(other, L"killfocus");
  EXPECT_EQ(nullptr, w_->Find(L"ListEx_Edit"));
}

TEST_F(ListExTest, TenThousandRowsAreBuiltCheckedFromTheHeaderAndEditedAtTheEnd) {
  Open(ExSkin(10000));
  ASSERT_EQ(10000, list_->GetCount());
  Click(kBoxX, 10);
  EXPECT_TRUE(Row(0)->GetCheck());
  EXPECT_TRUE(Row(9999)->GetCheck());
  // Unchecking the last row clears the header box.
  Row(9999)->SetCheck(false);
  list_->OnListItemChecked(9999, 0, false);
  EXPECT_FALSE(Column(0)->GetCheck());
  // The last row, scrolled into view by the keyboard, edits like the first.
  Click(kNoteX, RowY(0));
  ClickOther();
  Click(kNoteX + 20, RowY(0));  // focus the list's row without opening a Note editor twice
  ClickOther();
  list_->SelectItem(9999, true);
  w_->Paint();
  const RECT& last = Row(9999)->GetPos();
  Click(kNoteX, (last.top + last.bottom) / 2);
  ASSERT_TRUE(EditShown());
  EXPECT_EQ(9999, list_->GetEditingRow());
  Press(VK_END);
  Type(L"z");
  ClickOther();
  EXPECT_EQ(L"note 9999z", Cell(9999, 2));
}

// Check box pictures written for the test: a grey frame, and a blue box.
std::wstring WriteBoxPng(const char* name, std::uint32_t fill) {
  std::vector<std::uint32_t> pixels(12 * 12, 0xFF808080);
  for (int y = 1; y < 11; ++y) {
    for (int x = 1; x < 11; ++x) pixels[y * 12 + x] = fill;
  }
  char dir[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, dir);
  const std::string path = std::string(dir) + name + std::to_string(::GetCurrentProcessId()) + ".png";
  if (!testing::WritePng(path, pixels, 12, 12)) return {};
  return std::wstring(path.begin(), path.end());
}

std::wstring WritePngOf(const char* name, const std::vector<std::uint32_t>& pixels) {
  char dir[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, dir);
  const std::string path = std::string(dir) + name + std::to_string(::GetCurrentProcessId()) + ".png";
  if (!testing::WritePng(path, pixels, 12, 12)) return {};
  return std::wstring(path.begin(), path.end());
}

// The box shows its result, never the press: the pushed picture is not drawn
// while the button is down; a checked box draws its selected picture and the
// fore picture over it.
TEST_F(ListExTest, TheBoxNeverShowsPushedAndACheckedBoxGetsItsForeImage) {
  std::vector<std::uint32_t> fore(12 * 12, 0x00000000);
  for (int y = 4; y < 8; ++y) {
    for (int x = 4; x < 8; ++x) fore[y * 12 + x] = 0xFF20C040;
  }
  const std::wstring normal = WritePngOf("ql_listex_n_", std::vector<std::uint32_t>(144, 0xFFFFFFFF));
  const std::wstring pushed = WritePngOf("ql_listex_p_", std::vector<std::uint32_t>(144, 0xFFFF0000));
  const std::wstring selected = WritePngOf("ql_listex_s_", std::vector<std::uint32_t>(144, 0xFF0000FF));
  const std::wstring fore_png = WritePngOf("ql_listex_f_", fore);
  const std::wstring images = L"checkboxnormalimage=\"" + normal + L"\" checkboxpushedimage=\"" + pushed +
                              L"\" checkboxselectedimage=\"" + selected + L"\" checkboxforeimage=\"" + fore_png + L"\"";
  Open(ExSkin(2, L"checkable=\"true\"", L"editable=\"true\"", images));
  // Row 0's box: x 6..18, y 24..36.
  w_->MouseMove(kBoxX, RowY(0));
  w_->MouseDown(kBoxX, RowY(0));
  w_->Paint();
  EXPECT_EQ(UISTATE_CAPTURED, Row(0)->GetCheckBoxState() & (UISTATE_CAPTURED | UISTATE_PUSHED));
  EXPECT_EQ(0xFFFFFFu, w_->PixelAt(8, 26) & 0xFFFFFF);
  EXPECT_EQ(0xFFFFFFu, w_->PixelAt(12, 30) & 0xFFFFFF);  // the normal picture ends the painting: no fore
  w_->MouseUp(kBoxX, RowY(0));
  w_->Paint();
  ASSERT_TRUE(Row(0)->GetCheck());
  EXPECT_EQ(0x0000FFu, w_->PixelAt(8, 26) & 0xFFFFFF);
  EXPECT_EQ(0x20C040u, w_->PixelAt(12, 30) & 0xFFFFFF);
  for (const auto& path : {normal, pushed, selected, fore_png}) ::DeleteFileW(path.c_str());
}

class ListExGoldenTest : public ListExTest, public ::testing::WithParamInterface<int> {};

// Checked and unchecked boxes in the header and the rows, a selected row, and
// the edit open over a cell with typed text; the edit lies exactly over its
// cell at every scale.
TEST_P(ListExGoldenTest, ExtendedListStatesLookAsTheirGolden) {
  const int scale = GetParam();
  const std::wstring normal = WriteBoxPng("ql_listex_box_", 0xFFFFFFFF);
  const std::wstring checked = WriteBoxPng("ql_listex_checked_", 0xFF2060D0);
  ASSERT_FALSE(normal.empty());
  const std::wstring images =
      L"checkboxnormalimage=\"" + normal + L"\" checkboxselectedimage=\"" + checked + L"\"";
  Open(ExSkin(6, L"checkable=\"true\"", L"editable=\"true\"", images), scale);
  Row(1)->SetCheck(true);
  Row(3)->SetCheck(true);
  ASSERT_TRUE(list_->SelectItem(2));
  const RECT& row4 = Row(4)->GetPos();
  const RECT& note = list_->GetListInfo()->rcColumn[2];
  Click((note.left + note.right) / 2, (row4.top + row4.bottom) / 2);
  ASSERT_TRUE(EditShown());
  const RECT& edit = list_->GetRichEdit()->GetPos();
  EXPECT_EQ(Edges(RECT{note.left + 1, row4.top + 1, note.right - 1, row4.bottom - 1}), Edges(edit));
  Press(VK_END);
  Type(L" ok");
  // Every row checked by the header box, then one unchecked again.
  const RECT box = Column(0)->GetCheckBoxRect();
  Click((box.left + box.right) / 2, (box.top + box.bottom) / 2);
  EXPECT_EQ(L"note 4 ok", Cell(4, 2));  // the header click took the focus: committed
  Row(5)->SetCheck(false);
  Column(0)->SetCheck(false);
  Click((note.left + note.right) / 2, (row4.top + row4.bottom) / 2);
  ASSERT_TRUE(EditShown());
  w_->Paint();
  int width = 0;
  int height = 0;
  const std::vector<std::uint32_t> pixels = w_->Pixels(&width, &height);
  ASSERT_EQ(320 * scale / 100, width);
  const auto result = testing::MatchGolden("list_ex_" + std::to_string(scale), pixels, width, height, false);
  EXPECT_TRUE(result.ok) << result.message;
  ::DeleteFileW(normal.c_str());
  ::DeleteFileW(checked.c_str());
}

INSTANTIATE_TEST_SUITE_P(Scales, ListExGoldenTest, ::testing::Values(100, 150));

}  // namespace
}  // namespace SkinUI
