// Skins built into real windows: resources, window settings, the element
// names of the factory, the builder callback, Include, and hostile skins.
#include "ui_toolkit/core/skin_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ui_toolkit/controls/button.h"
#include "ui_toolkit/controls/label.h"
#include "ui_toolkit/core/container.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/tests/skin_window.h"

namespace SkinUI {
namespace {

using testing::SkinWindow;

TEST(SkinBuilderTest, WindowSizeIsScaledAndTheFirstControlReturned) {
  SkinWindow w(L"<Window size=\"464,220\"><Label name=\"a\" text=\"hi\"/></Window>", 150);
  ASSERT_TRUE(w.Open());
  EXPECT_EQ(696, w.GetPaintManager().GetInitialSize().cx);
  EXPECT_EQ(330, w.GetPaintManager().GetInitialSize().cy);
  CControlUI* root = w.GetPaintManager().GetRootControl();
  ASSERT_NE(nullptr, root);
  EXPECT_STREQ(L"LabelUI", root->GetClassName());
  EXPECT_EQ(root, w.Find(L"a"));
  RECT client{};
  ::GetClientRect(w.Hwnd(), &client);
  EXPECT_EQ(696, client.right);
  EXPECT_EQ(330, client.bottom);
}

TEST(SkinBuilderTest, ElementNamesIgnoreCaseAndShortNamesWork) {
  SkinWindow w(
      L"<Window><vbox name=\"v\"><VERTICALLAYOUT name=\"v2\"/><HBox name=\"h\"/><Box name=\"b\"/>"
      L"<checkbox name=\"c\"/><Progress name=\"p\"/><Edit name=\"e\"/><Option name=\"o\"/></vbox></Window>");
  ASSERT_TRUE(w.Open());
  struct Case {
    const wchar_t* name;
    const wchar_t* cls;
  } cases[] = {{L"v", L"VerticalLayoutUI"}, {L"v2", L"VerticalLayoutUI"}, {L"h", L"HorizontalLayoutUI"},
               {L"b", L"ContainerUI"},      {L"c", L"CheckBoxUI"},       {L"p", L"ProgressUI"},
               {L"e", L"EditUI"},           {L"o", L"OptionUI"}};
  for (const Case& c : cases) {
    CControlUI* control = w.Find(c.name);
    ASSERT_NE(nullptr, control) << testing::Narrow(c.name);
    EXPECT_STREQ(c.cls, control->GetClassName());
  }
}

TEST(SkinBuilderTest, FontsDefaultsAndStylesAreRegistered) {
  SkinWindow w(
      L"<Window><Font id=\"0\" name=\"Tahoma\" size=\"15px\" bold=\"true\" default=\"true\"/>"
      L"<Font name=\"Tahoma\" size=\"30\" default=\"true\"/>"
      L"<Default name=\"Button\" value=\"width=&quot;77&quot; text=&quot;dflt&quot;\"/>"
      L"<Style name=\"tall\" value=\"height=&quot;33&quot;\"/>"
      L"<VerticalLayout><Button name=\"b\" text=\"own\" style=\"tall\"/><Button name=\"c\"/></VerticalLayout>"
      L"</Window>");
  ASSERT_TRUE(w.Open());
  CPaintManagerUI& pm = w.GetPaintManager();
  ASSERT_NE(nullptr, pm.GetFontRecordById(0));
  EXPECT_EQ(15, pm.GetFontRecordById(0)->iSize);
  EXPECT_EQ(15, pm.GetDefaultFontRecord()->iSize);  // the font without an id registered nothing
  EXPECT_TRUE(pm.GetDefaultFontRecord()->bBold);
  EXPECT_EQ(77, w.Find(L"b")->GetFixedWidth());
  EXPECT_EQ(33, w.Find(L"b")->GetFixedHeight());
  EXPECT_STREQ(L"own", w.Find(L"b")->GetText().GetData());
  EXPECT_STREQ(L"dflt", w.Find(L"c")->GetText().GetData());
}

class CallbackWindow : public SkinWindow {
 public:
  using SkinWindow::SkinWindow;
  std::vector<std::wstring> asked;
  CControlUI* CreateCustomControl(const wchar_t* class_name) override {
    asked.push_back(class_name);
    if (std::wstring(class_name) == L"Fancy") return new CLabelUI();
    return nullptr;
  }
};

TEST(SkinBuilderTest, UnknownElementsGoToTheCallbackOrAreSkipped) {
  CallbackWindow w(
      L"<Window><VerticalLayout><Fancy name=\"f\"/><Gadget name=\"g\"><Label name=\"inner\"/></Gadget>"
      L"<Label name=\"after\"/></VerticalLayout></Window>");
  ASSERT_TRUE(w.Open());
  EXPECT_EQ((std::vector<std::wstring>{L"Fancy", L"Gadget"}), w.asked);
  ASSERT_NE(nullptr, w.Find(L"f"));
  EXPECT_STREQ(L"LabelUI", w.Find(L"f")->GetClassName());
  EXPECT_EQ(nullptr, w.Find(L"g"));
  EXPECT_EQ(nullptr, w.Find(L"inner"));
  EXPECT_NE(nullptr, w.Find(L"after"));
}

TEST(SkinBuilderTest, ChildOfANonContainerEndsItsLevel) {
  CUiSkinBuilder builder;
  CControlUI* root =
      builder.Create(L"<Window><VerticalLayout><Label name=\"l\"><Button name=\"x\"/></Label></VerticalLayout></Window>");
  ASSERT_NE(nullptr, root);
  auto* box = static_cast<CContainerUI*>(root->QueryInterfaceByName(L"Container"));
  ASSERT_NE(nullptr, box);
  ASSERT_EQ(1, box->GetCount());
  EXPECT_STREQ(L"LabelUI", box->GetItemAt(0)->GetClassName());
  delete root;
}

TEST(SkinBuilderTest, IncludeWithCountBuildsItsSourceIntoTheSameParent) {
  SkinWindow w(
      L"<Window><VerticalLayout name=\"v\"><Include count=\"2\" source=\"&lt;Window&gt;&lt;Label/&gt;&lt;/Window&gt;\"/>"
      L"<Button/></VerticalLayout></Window>");
  ASSERT_TRUE(w.Open());
  auto* v = static_cast<CContainerUI*>(w.Find(L"v")->QueryInterfaceByName(L"Container"));
  ASSERT_EQ(3, v->GetCount());
  EXPECT_STREQ(L"LabelUI", v->GetItemAt(0)->GetClassName());
  EXPECT_STREQ(L"LabelUI", v->GetItemAt(1)->GetClassName());
  EXPECT_STREQ(L"ButtonUI", v->GetItemAt(2)->GetClassName());
}

std::wstring TempFolder() {
  wchar_t path[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, path);
  std::wstring folder = std::wstring(path) + L"ql_skin_builder_test\\";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

void WriteFile(const std::wstring& path, const std::string& text) {
  std::ofstream out(std::filesystem::path(path), std::ios::binary);
  out << text;
}

TEST(SkinBuilderTest, SkinThatIncludesItselfEndsAtABoundedDepth) {
  const std::wstring folder = TempFolder();
  WriteFile(folder + L"self.xml",
            "<Window><VerticalLayout><Include source=\"self.xml\"/><Label/></VerticalLayout></Window>");
  const CUiString saved = CPaintManagerUI::GetResourcePath();
  CPaintManagerUI::SetResourcePath(folder.c_str());
  CUiSkinBuilder builder;
  CControlUI* root = builder.Create(L"self.xml");
  CPaintManagerUI::SetResourcePath(saved.GetData());
  ASSERT_NE(nullptr, root);
  // Each level holds the next level's layout and its own label.
  int depth = 0;
  for (CControlUI* c = root; c != nullptr; ++depth) {
    auto* box = static_cast<CContainerUI*>(c->QueryInterfaceByName(L"Container"));
    c = box != nullptr && box->GetCount() > 0 ? box->GetItemAt(0) : nullptr;
    if (c != nullptr && c->QueryInterfaceByName(L"Container") == nullptr) break;
  }
  EXPECT_GE(depth, 2);
  EXPECT_LE(depth, 16);
  delete root;
}

TEST(SkinBuilderTest, StyleThatNamesItselfDoesNotRecurseForever) {
  SkinWindow w(
      L"<Window><Style name=\"s\" value=\"style=&quot;s&quot; width=&quot;12&quot;\"/><Style name=\"t\" value=\"t\"/>"
      L"<VerticalLayout><Label name=\"a\" style=\"s\"/><Label name=\"b\" innerstyle=\"t\"/></VerticalLayout></Window>");
  ASSERT_TRUE(w.Open());
  EXPECT_EQ(12, w.Find(L"a")->GetFixedWidth());
}

TEST(SkinBuilderTest, VeryDeepSkinIsRefusedOrBuiltWithoutCrashing) {
  std::wstring skin = L"<Window>";
  constexpr int kDepth = 100000;
  for (int i = 0; i < kDepth; ++i) skin += L"<VerticalLayout>";
  for (int i = 0; i < kDepth; ++i) skin += L"</VerticalLayout>";
  skin += L"</Window>";
  CUiSkinBuilder builder;
  CControlUI* root = builder.Create(skin.c_str());
  delete root;  // whatever was built is a finite tree
  SUCCEED();
}

TEST(SkinBuilderTest, MalformedSkinGivesNoRoot) {
  for (const wchar_t* skin : {L"<Window><Label text='single'/></Window>", L"<a></b>", L"<Window><Label"}) {
    CUiSkinBuilder builder;
    EXPECT_EQ(nullptr, builder.Create(skin)) << testing::Narrow(skin);
  }
}

}  // namespace
}  // namespace SkinUI
