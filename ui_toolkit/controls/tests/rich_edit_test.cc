// The rich edit over the platform's windowless text services: typing,
// selection, undo, clipboard and the text read back through real input in a
// window, its notifications, its host's answers to the engine, and goldens.
#include <gtest/gtest.h>
#include <ole2.h>

#include <string>
#include <vector>

#include "ui_toolkit/controls/rich_edit.h"
#include "ui_toolkit/controls/scroll_bar.h"
#include "ui_toolkit/controls/txt_win_host.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/tests/golden_image.h"
#include "ui_toolkit/core/tests/skin_window.h"

namespace SkinUI {
namespace {

using testing::PumpFor;
using testing::PumpUntil;
using testing::SkinWindow;

// A white window with one rich edit at (10,10)-(290,110).
std::wstring Skin(const std::wstring& attributes) {
  return L"<Window size=\"300,160\"><Font id=\"0\" name=\"Liberation Sans\" size=\"14\" default=\"true\"/>"
         L"<VerticalLayout bkcolor=\"#FFFFFFFF\" inset=\"10,10,10,10\">"
         L"<RichEdit name=\"re\" height=\"100\" textcolor=\"#FF000000\" " +
         attributes + L"/><Button name=\"other\" height=\"30\"/></VerticalLayout></Window>";
}

// Sends keys as the keyboard would, so the engine sees real key states for
// Shift and Ctrl, and waits until the window has taken them.
void SendKeys(const std::vector<INPUT>& inputs) {
  std::vector<INPUT> copy = inputs;
  ::SendInput(static_cast<UINT>(copy.size()), copy.data(), sizeof(INPUT));
  PumpUntil([] { return ::GetQueueStatus(QS_ALLINPUT) == 0; }, 2000);
  PumpFor(10);
}

INPUT VkInput(WORD vk, bool up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  if (vk == VK_LEFT || vk == VK_RIGHT || vk == VK_HOME || vk == VK_END || vk == VK_UP || vk == VK_DOWN) {
    in.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
  }
  return in;
}

// A key pressed with the modifiers held down around it.
void Press(WORD vk, std::vector<WORD> modifiers = {}) {
  std::vector<INPUT> inputs;
  for (WORD m : modifiers) inputs.push_back(VkInput(m, false));
  inputs.push_back(VkInput(vk, false));
  inputs.push_back(VkInput(vk, true));
  for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) inputs.push_back(VkInput(*it, true));
  SendKeys(inputs);
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

std::wstring ClipboardText(HWND owner) {
  std::wstring text;
  if (!::OpenClipboard(owner)) return L"<clipboard busy>";
  if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT); data != nullptr) {
    if (const auto* p = static_cast<const wchar_t*>(::GlobalLock(data)); p != nullptr) {
      text = p;
      ::GlobalUnlock(data);
    }
  }
  ::CloseClipboard();
  return text;
}

void SetClipboardText(HWND owner, const std::wstring& text) {
  ASSERT_TRUE(::OpenClipboard(owner));
  ::EmptyClipboard();
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
  memcpy(::GlobalLock(memory), text.c_str(), bytes);
  ::GlobalUnlock(memory);
  ::SetClipboardData(CF_UNICODETEXT, memory);  // the clipboard owns it now
  ::CloseClipboard();
}

class RichEditInputTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr))); }
  void TearDown() override { ::OleUninitialize(); }

  // Opens an active window and clicks into the rich edit.
  void OpenFocused(SkinWindow& w) {
    ASSERT_TRUE(w.Open(true));
    re_ = static_cast<CRichEditUI*>(w.Find(L"re"));
    ASSERT_NE(nullptr, re_);
    ASSERT_NE(nullptr, re_->GetTextHost()) << "no text services";
    w.Click(150, 40);
    ASSERT_TRUE(re_->IsFocused());
    ASSERT_EQ(w.Hwnd(), ::GetFocus());
  }

  std::wstring Text() const { return re_->GetText().GetData(); }
  std::pair<long, long> Sel() const {
    long a = 0;
    long b = 0;
    re_->GetSel(&a, &b);
    return {a, b};
  }

  CRichEditUI* re_ = nullptr;
};

TEST_F(RichEditInputTest, TypedTextIsReadBackAndEachChangeIsNotified) {
  SkinWindow w(Skin(L""));
  OpenFocused(w);
  w.ClearSeen();
  Type(L"Hello");
  EXPECT_EQ(L"Hello", Text());
  EXPECT_EQ(5, re_->GetTextLength());
  EXPECT_EQ(std::pair(5L, 5L), Sel());  // the caret after the last letter
  EXPECT_EQ(5u, w.SeenTypes(L"re").size());
  for (const auto& type : w.SeenTypes(L"re")) EXPECT_EQ(L"textchanged", type);
  Press(VK_BACK);
  EXPECT_EQ(L"Hell", Text());
}

TEST_F(RichEditInputTest, ShiftArrowsSelectAndTypingReplacesTheSelection) {
  SkinWindow w(Skin(L""));
  OpenFocused(w);
  Type(L"abcdef");
  Press(VK_LEFT, {VK_SHIFT});
  Press(VK_LEFT, {VK_SHIFT});
  EXPECT_EQ(std::pair(4L, 6L), Sel());
  EXPECT_EQ(SEL_TEXT, re_->GetSelectionType() & SEL_TEXT);
  Type(L"X");
  EXPECT_EQ(L"abcdX", Text());
  Press(VK_HOME);
  EXPECT_EQ(std::pair(0L, 0L), Sel());
  EXPECT_EQ(SEL_EMPTY, re_->GetSelectionType());
  // Select all also takes the engine's closing paragraph mark in rich mode.
  Press('A', {VK_CONTROL});
  EXPECT_EQ(0L, Sel().first);
  EXPECT_GE(Sel().second, 5L);
}

TEST_F(RichEditInputTest, MouseDragSelectsAndAClickPlacesTheCaret) {
  SkinWindow w(Skin(L""));
  OpenFocused(w);
  Type(L"one two three");
  // From the left edge of the text to well past its end on the same line.
  const RECT client = re_->GetTextHost()->GetControlRect();
  const int y = client.top + 8;
  w.MouseDown(client.left + 1, y);
  ::SendMessageW(w.Hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(client.right - 5, y));
  w.MouseUp(client.right - 5, y);
  EXPECT_EQ(std::pair(0L, 13L), Sel());
  // A single click elsewhere (not where the last press was, which the engine
  // would count as a double click) leaves an empty selection after "one ".
  w.Click(client.left + 40, y);
  EXPECT_GT(Sel().first, 2L);
  EXPECT_EQ(Sel().first, Sel().second);
}

TEST_F(RichEditInputTest, ADragKeepsSelectingOutsideTheControlWhileTheEngineHoldsTheMouse) {
  SkinWindow w(Skin(L""));
  OpenFocused(w);
  Type(L"alpha beta");
  const RECT client = re_->GetTextHost()->GetControlRect();
  const int y = client.top + 8;
  w.MouseDown(client.left + 1, y);
  EXPECT_TRUE(re_->GetTextHost()->IsCaptured());
  // Down over the button below, which would otherwise take the mouse.
  ::SendMessageW(w.Hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(150, 130));
  w.MouseUp(150, 130);
  EXPECT_FALSE(re_->GetTextHost()->IsCaptured());
  EXPECT_EQ(0L, Sel().first);
  EXPECT_GE(Sel().second, 10L);
  EXPECT_TRUE(w.SeenTypes(L"other").empty());
}

TEST_F(RichEditInputTest, DoubleClickSelectsAWord) {
  SkinWindow w(Skin(L""));
  OpenFocused(w);
  Type(L"alpha beta");
  const RECT client = re_->GetTextHost()->GetControlRect();
  const POINT at{client.left + 10, client.top + 8};
  w.Click(at.x, at.y);
  ::SendMessageW(w.Hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(at.x, at.y));
  w.MouseUp(at.x, at.y);
  EXPECT_EQ(0L, Sel().first);
  EXPECT_GE(Sel().second, 5L);
  EXPECT_LE(Sel().second, 6L);  // "alpha" and perhaps its trailing space
}

TEST_F(RichEditInputTest, ADisabledControlTakesNoInput) {
  SkinWindow w(Skin(L"text=\"still\""));
  OpenFocused(w);
  re_->SetEnabled(false);
  Type(L"x");
  EXPECT_EQ(L"still", Text());
  bool handled = false;
  re_->MessageHandler(WM_CHAR, L'y', 0, handled);
  EXPECT_FALSE(handled);
  EXPECT_EQ(L"still", Text());
  re_->SetEnabled(true);
  re_->SetFocus();
  Press(VK_END, {VK_CONTROL});
  Type(L"!");
  EXPECT_EQ(L"still!", Text());
}

TEST_F(RichEditInputTest, TabIsTypedIntoTheTextAndKeepsTheFocus) {
  SkinWindow w(Skin(L""));
  OpenFocused(w);
  Type(L"a");
  Press(VK_TAB);
  Type(L"b");
  EXPECT_EQ(L"a\tb", Text());
  EXPECT_TRUE(re_->IsFocused());
}

TEST_F(RichEditInputTest, UndoAndRedoWalkTheTypedSteps) {
  SkinWindow w(Skin(L""));
  OpenFocused(w);
  EXPECT_FALSE(re_->CanUndo());
  Type(L"abc");
  ASSERT_TRUE(re_->CanUndo());
  Press('Z', {VK_CONTROL});
  EXPECT_EQ(L"", Text());
  EXPECT_TRUE(re_->CanRedo());
  EXPECT_TRUE(re_->Redo());
  EXPECT_EQ(L"abc", Text());
  EXPECT_TRUE(re_->Undo());
  EXPECT_EQ(L"", Text());
}

TEST_F(RichEditInputTest, CopyAndPasteGoThroughTheClipboard) {
  SkinWindow w(Skin(L""));
  OpenFocused(w);
  SetClipboardText(w.Hwnd(), L"stale");
  Type(L"copy me");
  // Shift+Home rather than select-all, which would take the closing paragraph mark along.
  Press(VK_HOME, {VK_SHIFT});
  Press('C', {VK_CONTROL});
  EXPECT_EQ(L"copy me", ClipboardText(w.Hwnd()));
  Press(VK_END, {VK_CONTROL});
  Press('V', {VK_CONTROL});
  EXPECT_EQ(L"copy mecopy me", Text());
  // Text put there by another program is pasted as well.
  SetClipboardText(w.Hwnd(), L"!");
  re_->Paste();
  EXPECT_EQ(L"copy mecopy me!", Text());
  re_->SetSel(0, 4);
  re_->Cut();
  EXPECT_EQ(L"copy", ClipboardText(w.Hwnd()));
  EXPECT_EQ(L" mecopy me!", Text());
}

struct ReturnCase {
  const wchar_t* attributes;
  std::vector<WORD> modifiers;
  bool notified;  // "return" sent instead of a new line
};

std::string ReturnCaseName(const ::testing::TestParamInfo<ReturnCase>& info) {
  static const char* const kNames[] = {"PlainEnterBreaks", "WantReturnOff", "CtrlEnterWithCtrlReturnOff",
                                       "PlainEnterWithCtrlReturnOff"};
  return kNames[info.index];
}

class RichEditReturnTest : public RichEditInputTest, public ::testing::WithParamInterface<ReturnCase> {};

TEST_P(RichEditReturnTest, EnterEitherBreaksTheLineOrNotifies) {
  const ReturnCase& c = GetParam();
  SkinWindow w(Skin(c.attributes));
  OpenFocused(w);
  Type(L"ab");
  w.ClearSeen();
  Press(VK_RETURN, c.modifiers);
  const auto types = w.SeenTypes(L"re");
  const bool got_return = std::find(types.begin(), types.end(), L"return") != types.end();
  EXPECT_EQ(c.notified, got_return);
  EXPECT_EQ(c.notified ? L"ab" : L"ab\r", Text());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RichEditReturnTest,
    ::testing::Values(ReturnCase{L"", {}, false}, ReturnCase{L"wantreturn=\"false\"", {}, true},
                      ReturnCase{L"wantctrlreturn=\"false\"", {VK_CONTROL}, true},
                      ReturnCase{L"wantctrlreturn=\"false\"", {}, false}),
    ReturnCaseName);

TEST_F(RichEditInputTest, SetTextReplacesEverythingWithoutAnUndoStep) {
  SkinWindow w(Skin(L"text=\"first\""));
  OpenFocused(w);
  EXPECT_EQ(L"first", Text());
  re_->SetText(L"second");
  EXPECT_EQ(L"second", Text());
  EXPECT_FALSE(re_->CanUndo());
}

TEST_F(RichEditInputTest, ReadOnlyControlTakesNoTypingAndGreysTheEditingCommands) {
  SkinWindow w(Skin(L"text=\"fixed\" readonly=\"true\""));
  OpenFocused(w);
  Type(L"zz");
  EXPECT_EQ(L"fixed", Text());
  re_->SetSel(0, 2);
  HMENU menu = re_->BuildContextMenu();
  ASSERT_NE(nullptr, menu);
  struct Item {
    UINT id;
    bool grey;
  };
  for (const Item& item : {Item{CRichEditUI::kMenuUndo, true}, Item{CRichEditUI::kMenuRedo, true},
                           Item{CRichEditUI::kMenuCut, true}, Item{CRichEditUI::kMenuCopy, false},
                           Item{CRichEditUI::kMenuPaste, true}, Item{CRichEditUI::kMenuClear, true},
                           Item{CRichEditUI::kMenuSelectAll, false}}) {
    const UINT state = ::GetMenuState(menu, item.id, MF_BYCOMMAND);
    EXPECT_EQ(item.grey, (state & MF_GRAYED) != 0) << item.id;
  }
  EXPECT_EQ(9, ::GetMenuItemCount(menu));
  ::DestroyMenu(menu);
}

TEST_F(RichEditInputTest, MenuCommandsActOnlyOnTheFocusedControl) {
  SkinWindow w(Skin(L"text=\"words\""));
  OpenFocused(w);
  re_->SetSel(0, 0);
  bool handled = true;
  re_->MessageHandler(WM_COMMAND, CRichEditUI::kMenuSelectAll, 0, handled);
  EXPECT_EQ(0L, Sel().first);
  EXPECT_GE(Sel().second, 5L);
  // Focus elsewhere: the command is left to the window.
  w.Find(L"other")->SetFocus();
  ASSERT_FALSE(re_->IsFocused());
  re_->SetSel(1, 1);
  handled = true;
  re_->MessageHandler(WM_COMMAND, CRichEditUI::kMenuSelectAll, 0, handled);
  EXPECT_FALSE(handled);
  EXPECT_EQ(std::pair(1L, 1L), Sel());
  // Keys no longer reach the engine either.
  Type(L"q");
  EXPECT_EQ(L"words", Text());
}

TEST_F(RichEditInputTest, ThePlainWheelIsLeftToTheContainerAndCtrlWheelGoesToTheEngine) {
  SkinWindow w(Skin(L""));
  OpenFocused(w);
  POINT pt{150, 40};
  ::ClientToScreen(w.Hwnd(), &pt);
  bool handled = false;
  re_->MessageHandler(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(pt.x, pt.y), handled);
  EXPECT_FALSE(handled);
  re_->MessageHandler(WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, WHEEL_DELTA), MAKELPARAM(pt.x, pt.y), handled);
  EXPECT_TRUE(handled);
}

TEST(RichEditTest, StyleAttributesReachTheHostAtInitialisation) {
  SkinWindow w(Skin(L"multiline=\"false\" readonly=\"true\" password=\"true\" align=\"right\" autohscroll=\"true\""
                    L" maxchar=\"0\" rich=\"false\""));
  ASSERT_TRUE(w.Open());
  auto* re = static_cast<CRichEditUI*>(w.Find(L"re"));
  CTxtWinHost* host = re->GetTextHost();
  ASSERT_NE(nullptr, host);
  EXPECT_EQ(static_cast<DWORD>(ES_READONLY | ES_PASSWORD | ES_RIGHT | ES_AUTOHSCROLL), host->GetStyle());
  EXPECT_EQ(PFA_RIGHT, host->GetParaFormat().wAlignment);
  EXPECT_FALSE(host->IsWordWrap());
  EXPECT_EQ(0, host->GetMaxLength());  // copied unchanged at start
  DWORD bits = 0;
  host->TxGetPropertyBits(0xFFFFFFFF, &bits);
  EXPECT_EQ(static_cast<DWORD>(TXTBIT_READONLY | TXTBIT_USEPASSWORD | TXTBIT_HIDESELECTION), bits);
  host->TxGetPropertyBits(TXTBIT_READONLY, &bits);
  EXPECT_EQ(static_cast<DWORD>(TXTBIT_READONLY), bits);
  re->SetLimitText(0);
  EXPECT_EQ(32767, host->GetMaxLength());
  re->SetRich(true);
  host->TxGetPropertyBits(TXTBIT_RICHTEXT, &bits);
  EXPECT_EQ(static_cast<DWORD>(TXTBIT_RICHTEXT), bits);
}

TEST(RichEditTest, DefaultsGiveAWrappingMultiLineRichHost) {
  SkinWindow w(Skin(L"align=\"center\" textcolor=\" #FF112233\""));
  ASSERT_TRUE(w.Open());
  auto* re = static_cast<CRichEditUI*>(w.Find(L"re"));
  CTxtWinHost* host = re->GetTextHost();
  ASSERT_NE(nullptr, host);
  DWORD bits = 0;
  host->TxGetPropertyBits(0xFFFFFFFF, &bits);
  EXPECT_EQ(static_cast<DWORD>(TXTBIT_RICHTEXT | TXTBIT_MULTILINE | TXTBIT_HIDESELECTION | TXTBIT_WORDWRAP), bits);
  EXPECT_EQ(PFA_CENTER, host->GetParaFormat().wAlignment);
  EXPECT_EQ(RGB(0x11, 0x22, 0x33), host->GetCharFormat().crTextColor);
  TXTBACKSTYLE back{};
  host->TxGetBackStyle(&back);
  EXPECT_EQ(TXTBACK_TRANSPARENT, back);
  re->SetTransparent(false);
  host->TxGetBackStyle(&back);
  EXPECT_EQ(TXTBACK_OPAQUE, back);
  // Disabled text takes the window's disabled colour, and the text colour comes back after.
  re->SetEnabled(false);
  EXPECT_EQ(0u, re->GetControlFlags());
  const DWORD disabled = w.Find(L"re")->GetManager()->GetDisabledTextColor();
  EXPECT_EQ(RGB((disabled >> 16) & 0xFF, (disabled >> 8) & 0xFF, disabled & 0xFF), host->GetCharFormat().crTextColor);
  re->SetEnabled(true);
  EXPECT_EQ(RGB(0x11, 0x22, 0x33), host->GetCharFormat().crTextColor);
}

TEST(RichEditTest, HostAnswersTheEngineAboutGeometryAndInterfaces) {
  SkinWindow w(Skin(L"textpadding=\"4,3,2,1\""));
  ASSERT_TRUE(w.Open());
  auto* re = static_cast<CRichEditUI*>(w.Find(L"re"));
  CTxtWinHost* host = re->GetTextHost();
  ASSERT_NE(nullptr, host);
  // The client rectangle is the control less its text padding.
  const RECT client = host->GetControlRect();
  EXPECT_EQ(14, client.left);
  EXPECT_EQ(13, client.top);
  EXPECT_EQ(288, client.right);
  EXPECT_EQ(109, client.bottom);
  const SIZEL extent = host->GetExtent();
  EXPECT_EQ(MulDiv(274, 2540, 96), extent.cx);
  // A resize request keeps the corner and takes the asked size.
  host->SetClientRect(RECT{10, 20, 50, 60});
  REQRESIZE request{};
  request.rc = RECT{0, 0, 200, 30};
  EXPECT_EQ(S_OK, host->TxNotify(EN_REQUESTRESIZE, &request));
  const RECT resized = host->GetControlRect();
  EXPECT_EQ((RECT{10, 20, 210, 50}.right), resized.right);
  EXPECT_EQ(50, resized.bottom);
  EXPECT_EQ(10, resized.left);
  EXPECT_EQ(MulDiv(200, 2540, 96), host->GetExtent().cx);
  EXPECT_EQ(MulDiv(30, 2540, 96), host->GetExtent().cy);

  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, host->QueryInterface(IID_IDispatch, &out));
  EXPECT_EQ(nullptr, out);
  ASSERT_EQ(S_OK, host->QueryInterface(kIidTextHost, &out));
  EXPECT_EQ(static_cast<ITextHost*>(host), out);
  host->Release();
  LONG accelerator = 0;
  host->TxGetAcceleratorPos(&accelerator);
  EXPECT_EQ(-1, accelerator);
}

TEST(RichEditTest, AHostOutlivingItsControlNoLongerReachesIt) {
  auto w = std::make_unique<SkinWindow>(Skin(L"text=\"x\""));
  ASSERT_TRUE(w->Open());
  CTxtWinHost* host = static_cast<CRichEditUI*>(w->Find(L"re"))->GetTextHost();
  ASSERT_NE(nullptr, host);
  host->AddRef();  // as the engine or a caller might
  w.reset();
  // The control and its window are gone: the host answers without them.
  EXPECT_EQ(nullptr, host->GetTextServices());
  EXPECT_FALSE(host->TxSetTimer(5, 10));
  host->TxViewChange(TRUE);
  EXPECT_EQ(S_OK, host->TxNotify(EN_CHANGE, nullptr));
  host->TxSetFocus();
  host->TxInvalidateRect(nullptr, FALSE);
  EXPECT_EQ(0u, host->Release());
}

TEST(RichEditTest, TipShowsOnlyWhileEmptyAndUnfocused) {
  SkinWindow w(Skin(L"tipvalue=\"Type here\" tipvaluecolor=\"#FFFF0000\" textpadding=\"4,4,4,4\""));
  ASSERT_TRUE(w.Open(true));
  // The window gives its first tab stop the focus: move it away first.
  w.Find(L"other")->SetFocus();
  auto count_red = [&w] {
    int width = 0;
    int height = 0;
    const auto pixels = w.Pixels(&width, &height);
    int n = 0;
    for (std::uint32_t p : pixels) {
      const int r = (p >> 16) & 0xFF;
      const int g = (p >> 8) & 0xFF;
      if (r > 0xC0 && g < 0x80 && (p & 0xFF) < 0x80) ++n;
    }
    return n;
  };
  EXPECT_GT(count_red(), 20);
  w.Click(150, 40);
  EXPECT_EQ(0, count_red());
  w.Find(L"other")->SetFocus();
  EXPECT_GT(count_red(), 20);
  static_cast<CRichEditUI*>(w.Find(L"re"))->SetText(L"now");
  EXPECT_EQ(0, count_red());
}

TEST(RichEditTest, FactoryBuildsItAndItAnswersByName) {
  SkinWindow w(Skin(L""));
  ASSERT_TRUE(w.Open());
  CControlUI* c = w.Find(L"re");
  ASSERT_NE(nullptr, c);
  EXPECT_STREQ(L"RichEditUI", c->GetClassName());
  EXPECT_EQ(static_cast<void*>(static_cast<CRichEditUI*>(c)), c->QueryInterfaceByName(L"RichEdit"));
  EXPECT_NE(nullptr, c->QueryInterfaceByName(L"Container"));
  EXPECT_EQ(3u, c->GetControlFlags());
}

TEST(RichEditTest, WithoutTextServicesTheControlStillPaintsAndAnswersEmpty) {
  CRichEditUI re;  // never initialised: no host
  LRESULT result = 7;
  EXPECT_EQ(S_FALSE, re.TxSendMessage(WM_CHAR, L'a', 0, &result));
  EXPECT_EQ(L"", std::wstring(re.GetText().GetData()));
  EXPECT_FALSE(re.CanUndo());
  EXPECT_FALSE(re.Undo());
  re.SetText(L"kept");
  EXPECT_EQ(L"", std::wstring(re.GetText().GetData()));
}

std::wstring Lines(int count) {
  std::wstring text;
  for (int i = 1; i <= count; ++i) text += L"line " + std::to_wstring(i) + (i < count ? L"\r" : L"");
  return text;
}

LRESULT FirstVisibleLine(CRichEditUI* re) {
  LRESULT line = -1;
  re->TxSendMessage(EM_GETFIRSTVISIBLELINE, 0, 0, &line);
  return line;
}

TEST(RichEditScrollTest, LongTextShowsTheBarAndWheelArrowsAndBarMoveTheText) {
  SkinWindow w(Skin(L"vscrollbar=\"true\" autovscroll=\"true\""));
  ASSERT_TRUE(w.Open(true));
  auto* re = static_cast<CRichEditUI*>(w.Find(L"re"));
  ASSERT_NE(nullptr, re->GetTextHost());
  CScrollBarUI* bar = re->GetVerticalScrollBar();
  ASSERT_NE(nullptr, bar);
  re->SetText(L"short");
  w.Paint();
  EXPECT_FALSE(bar->IsVisible());
  re->SetText(Lines(40).c_str());
  w.Paint();
  ASSERT_TRUE(bar->IsVisible());
  EXPECT_GT(bar->GetScrollRange(), 100);
  // The replaced text leaves the caret, and the view, at its end.
  EXPECT_EQ(bar->GetScrollRange(), bar->GetScrollPos());
  re->SetSel(0, 0);
  re->HomeUp();
  EXPECT_EQ(0, bar->GetScrollPos());
  EXPECT_EQ(0, FirstVisibleLine(re));
  // The bar sits at the right edge, and the text no longer runs under it.
  EXPECT_EQ(re->GetPos().right, bar->GetPos().right);
  EXPECT_LE(re->GetTextHost()->GetControlRect().right, bar->GetPos().left);

  // A plain wheel turn over the text is the container's, which steps the engine.
  POINT pt{150, 40};
  ::ClientToScreen(w.Hwnd(), &pt);
  ::SendMessageW(w.Hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(pt.x, pt.y));
  w.Paint();
  const int after_wheel = bar->GetScrollPos();
  EXPECT_GT(after_wheel, 0);
  EXPECT_GT(FirstVisibleLine(re), 0);

  // The bar's down arrow, clicked with the mouse.
  const RECT down = bar->GetButton2Rect();
  w.Click((down.left + down.right) / 2, (down.top + down.bottom) / 2);
  EXPECT_GT(bar->GetScrollPos(), after_wheel);

  re->EndDown();
  EXPECT_EQ(bar->GetScrollRange(), bar->GetScrollPos());
  re->SetScrollPos(SIZE{0, 0});
  EXPECT_EQ(0, bar->GetScrollPos());
  EXPECT_EQ(0, FirstVisibleLine(re));
}

TEST_F(RichEditInputTest, TypingPastTheBottomScrollsTheCaretIntoView) {
  SkinWindow w(Skin(L"vscrollbar=\"true\" autovscroll=\"true\""));
  OpenFocused(w);
  for (int i = 0; i < 12; ++i) {
    Type(L"row");
    Press(VK_RETURN);
  }
  Type(L"last");
  w.Paint();
  CScrollBarUI* bar = re_->GetVerticalScrollBar();
  ASSERT_TRUE(bar->IsVisible());
  EXPECT_EQ(bar->GetScrollRange(), bar->GetScrollPos());
  EXPECT_GT(FirstVisibleLine(re_), 0);
  Press(VK_HOME, {VK_CONTROL});
  EXPECT_EQ(0, bar->GetScrollPos());
  EXPECT_EQ(0, FirstVisibleLine(re_));
}

TEST(RichEditTest, MovingTheControlKeepsTheTextPadding) {
  SkinWindow w(Skin(L"textpadding=\"4,3,2,1\""));
  ASSERT_TRUE(w.Open());
  auto* re = static_cast<CRichEditUI*>(w.Find(L"re"));
  ASSERT_NE(nullptr, re->GetTextHost());
  const RECT before = re->GetTextHost()->GetControlRect();
  re->MoveBy(SIZE{5, 7}, false);
  const RECT after = re->GetTextHost()->GetControlRect();
  EXPECT_EQ(before.left + 5, after.left);
  EXPECT_EQ(before.top + 7, after.top);
  EXPECT_EQ(before.right + 5, after.right);
  EXPECT_EQ(before.bottom + 7, after.bottom);
}

TEST(RichEditTest, HostShowsHidesAndSizesTheControlsBars) {
  SkinWindow w(Skin(L""));
  ASSERT_TRUE(w.Open());
  auto* re = static_cast<CRichEditUI*>(w.Find(L"re"));
  CTxtWinHost* host = re->GetTextHost();
  ASSERT_NE(nullptr, host);
  // Bars the control lacks are skipped.
  EXPECT_TRUE(host->TxShowScrollBar(SB_BOTH, TRUE));
  EXPECT_EQ(nullptr, re->GetVerticalScrollBar());
  // Enabling with both arrows disabled makes the bar but leaves it hidden.
  EXPECT_TRUE(host->TxEnableScrollBar(SB_VERT, ESB_DISABLE_BOTH));
  CScrollBarUI* bar = re->GetVerticalScrollBar();
  ASSERT_NE(nullptr, bar);
  EXPECT_EQ(nullptr, re->GetHorizontalScrollBar());
  EXPECT_FALSE(bar->IsVisible());
  // Only 1 shows a bar.
  host->TxShowScrollBar(SB_VERT, 1);
  EXPECT_TRUE(bar->IsVisible());
  host->TxShowScrollBar(SB_VERT, 2);
  EXPECT_FALSE(bar->IsVisible());
  // The range is what lies beyond one client height.
  host->SetClientRect(RECT{0, 0, 100, 50});
  host->TxSetScrollRange(SB_VERT, 0, 50, TRUE);
  EXPECT_FALSE(bar->IsVisible());
  host->TxSetScrollRange(SB_VERT, 0, 51, TRUE);
  EXPECT_TRUE(bar->IsVisible());
  EXPECT_EQ(1, bar->GetScrollRange());
  host->TxSetScrollRange(SB_VERT, 10, 150, TRUE);
  EXPECT_EQ(90, bar->GetScrollRange());
  host->TxSetScrollPos(SB_VERT, 500, TRUE);
  EXPECT_EQ(90, bar->GetScrollPos());  // the bar clamps it
  host->TxEnableScrollBar(SB_HORZ, ESB_ENABLE_BOTH);
  ASSERT_NE(nullptr, re->GetHorizontalScrollBar());
  EXPECT_TRUE(re->GetHorizontalScrollBar()->IsVisible());
  EXPECT_NE(nullptr, re->GetVerticalScrollBar());
}

TEST_F(RichEditInputTest, CaretTimerShowsAndHidesTheWindowCaret) {
  SkinWindow w(Skin(L""));
  OpenFocused(w);
  CTxtWinHost* host = re_->GetTextHost();
  ASSERT_TRUE(host->IsShowCaret());
  ControlEventUI tick;
  tick.Type = UIEVENT_TIMER;
  tick.pSender = re_;
  tick.wParam = CRichEditUI::kCaretTimerId;
  re_->DispatchEvent(tick);
  EXPECT_FALSE(host->IsShowCaret());
  re_->DispatchEvent(tick);
  EXPECT_TRUE(host->IsShowCaret());
}

TEST_F(RichEditInputTest, InALayeredWindowTheControlDrawsAndBlinksTheCaret) {
  SkinWindow w(L"<Window size=\"300,160\" layered=\"true\"><Font id=\"0\" name=\"Liberation Sans\" size=\"14\""
               L" default=\"true\"/><VerticalLayout bkcolor=\"#FFFFFFFF\" inset=\"10,10,10,10\">"
               L"<RichEdit name=\"re\" height=\"100\" textcolor=\"#FFFF0000\"/><Button name=\"other\" height=\"30\"/>"
               L"</VerticalLayout></Window>");
  OpenFocused(w);
  ASSERT_TRUE(re_->GetTextHost()->IsShowCaret());
  auto red_pixels = [&w] {
    int width = 0;
    int height = 0;
    const auto pixels = w.Pixels(&width, &height);
    int n = 0;
    for (std::uint32_t p : pixels) {
      if ((p & 0xFFFFFF) == 0xFF0000) ++n;
    }
    return n;
  };
  const int shown = red_pixels();
  EXPECT_GT(shown, 5);  // an empty control: the caret line is all the red there is
  ControlEventUI tick;
  tick.Type = UIEVENT_TIMER;
  tick.pSender = re_;
  tick.wParam = CRichEditUI::kCaretTimerId;
  re_->DispatchEvent(tick);
  EXPECT_EQ(0, red_pixels());
  re_->DispatchEvent(tick);
  EXPECT_EQ(shown, red_pixels());
}

TEST_F(RichEditInputTest, NoContextMenuWithoutTheMenuAttribute) {
  SkinWindow w(Skin(L""));
  OpenFocused(w);
  POINT pt{150, 40};
  ::ClientToScreen(w.Hwnd(), &pt);
  bool handled = false;
  re_->MessageHandler(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(w.Hwnd()), MAKELPARAM(pt.x, pt.y), handled);
  EXPECT_FALSE(handled);
}

// Text, a selection and a tip at 100 % and 150 %.
class RichEditGoldenTest : public ::testing::TestWithParam<int> {};

TEST_P(RichEditGoldenTest, TextAndTipLookAsTheirGolden) {
  const int scale = GetParam();
  SkinWindow w(
      L"<Window size=\"240,176\"><Font id=\"0\" name=\"Liberation Sans\" size=\"14\" default=\"true\"/>"
      L"<VerticalLayout bkcolor=\"#FFFFFFFF\" inset=\"6,6,6,6\" childpadding=\"6\">"
      L"<RichEdit name=\"re\" height=\"56\" textcolor=\"#FF203040\" bkcolor=\"#FFF4F8FF\" bordercolor=\"#FF8090A0\""
      L" bordersize=\"1\" textpadding=\"4,4,4,4\" text=\"Quillorane installs\nAndroid apps\"/>"
      L"<RichEdit name=\"tip\" height=\"30\" bordercolor=\"#FF8090A0\" bordersize=\"1\" textpadding=\"4,4,4,4\""
      L" tipvalue=\"Search\" tipvaluecolor=\"#FF909090\" multiline=\"false\"/>"
      L"<RichEdit name=\"long\" height=\"60\" bordercolor=\"#FF8090A0\" bordersize=\"1\" textpadding=\"3,2,2,2\" vscrollbar=\"true\""
      L" autovscroll=\"true\"/></VerticalLayout></Window>",
      scale);
  ASSERT_TRUE(w.Open());
  static_cast<CRichEditUI*>(w.Find(L"re"))->SetSel(0, 10);
  static_cast<CRichEditUI*>(w.Find(L"long"))->SetText(Lines(12).c_str());
  int width = 0;
  int height = 0;
  const std::vector<std::uint32_t> pixels = w.Pixels(&width, &height);
  ASSERT_EQ(240 * scale / 100, width);
  const auto result = testing::MatchGolden("rich_edit_" + std::to_string(scale), pixels, width, height, false);
  EXPECT_TRUE(result.ok) << result.message;
}

INSTANTIATE_TEST_SUITE_P(Scales, RichEditGoldenTest, ::testing::Values(100, 150));

}  // namespace
}  // namespace SkinUI
