// The four skins as the installer carries them: each layout builds from the
// zip resource with every control its window looks up, of the kind the window
// expects, and every picture a layout names is in the zip.
#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "src/zephris_install/src/boot/skin_resources.h"
#include "ui_toolkit/controls/label.h"
#include "ui_toolkit/core/control.h"
#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/tests/skin_window.h"
#include "ui_toolkit/core/zip_reader.h"

namespace {

using SkinUI::testing::Narrow;
using SkinUI::testing::SkinWindow;

struct Expected {
  const wchar_t* name;
  const wchar_t* kind;  // the control's class name
};

struct LayoutCase {
  const wchar_t* file;
  int width;
  int height;
  std::vector<Expected> controls;
};

const std::vector<LayoutCase>& Layouts() {
  static const std::vector<LayoutCase> layouts = {
      {L"zephri_install_ui.xml", 664, 480,
       {{L"main_card", L"VerticalLayoutUI"},
        {L"display_card", L"VerticalLayoutUI"},
        {L"title_bar", L"HorizontalLayoutUI"},
        {L"title_tag_label", L"LabelUI"},
        {L"mini_btn", L"ButtonUI"},
        {L"close_btn", L"ButtonUI"},
        {L"main_display_card", L"VerticalLayoutUI"},
        {L"main_logo_card", L"HorizontalLayoutUI"},
        {L"main_logo_tag_label", L"LabelUI"},
        {L"app_logo_card", L"VerticalLayoutUI"},
        {L"app_install_name_label", L"LabelUI"},
        {L"app_install_tips_label", L"LabelUI"},
        {L"install_btn", L"ButtonUI"},
        {L"complete_btn", L"ButtonUI"},
        {L"installing_display_card", L"VerticalLayoutUI"},
        {L"carousel_card", L"HorizontalLayoutUI"},
        {L"carousel_0_btn", L"ButtonUI"},
        {L"carousel_1_btn", L"ButtonUI"},
        {L"carousel_2_btn", L"ButtonUI"},
        {L"carousel_3_btn", L"ButtonUI"},
        {L"install_start_card", L"HorizontalLayoutUI"},
        {L"authorize_option", L"OptionUI"},
        {L"agreement_label", L"ButtonUI"},
        {L"policy_label", L"ButtonUI"},
        {L"expand_btn", L"ButtonUI"},
        {L"expand_label", L"ButtonUI"},
        {L"custom_install_card", L"VerticalLayoutUI"},
        {L"browse_label", L"LabelUI"},
        {L"browse_layout", L"HorizontalLayoutUI"},
        {L"install_path_edit", L"EditUI"},
        {L"browse_btn", L"ButtonUI"},
        {L"start_menu_option", L"OptionUI"},
        {L"desktop_link_option", L"OptionUI"},
        {L"auto_start_option", L"OptionUI"},
        {L"installing_card", L"VerticalLayoutUI"},
        {L"installing_precent_label", L"LabelUI"},
        {L"feedback_icon", L"ButtonUI"},
        {L"feedback_label", L"ButtonUI"},
        {L"installing_progress", L"ProgressUI"},
        {L"installing_brand_hint", L"LabelUI"},
        {L"install_complete_card", L"VerticalLayoutUI"}}},
      {L"zephri_install_sdk_ui.xml", 606, 412,
       {{L"main_card", L"VerticalLayoutUI"},
        {L"close_btn", L"ButtonUI"},
        {L"title_label", L"LabelUI"},
        {L"content_label", L"LabelUI"},
        {L"app_label", L"LabelUI"},
        {L"app_name_label", L"LabelUI"},
        {L"install_start_card", L"HorizontalLayoutUI"},
        {L"authorize_option", L"OptionUI"},
        {L"agreement_label", L"ButtonUI"},
        {L"policy_label", L"ButtonUI"},
        {L"cancel_btn", L"ButtonUI"},
        {L"install_btn", L"ButtonUI"},
        {L"installing_card", L"VerticalLayoutUI"},
        {L"installing_precent_label", L"LabelUI"},
        {L"installing_progress", L"ProgressUI"}}},
      {L"zephri_install_messagebox.xml", 464, 220,
       {{L"close_btn", L"ButtonUI"},
        {L"title_label", L"LabelUI"},
        {L"content_label", L"LabelUI"},
        {L"feedback_icon", L"ButtonUI"},
        {L"feedback_label", L"ButtonUI"},
        {L"confirm_btn", L"ButtonUI"},
        {L"cancel_btn", L"ButtonUI"}}},
      {L"zephri_install_feedback_box.xml", 474, 220,
       {{L"close_btn", L"ButtonUI"},
        {L"title_label", L"LabelUI"},
        {L"content_label", L"LabelUI"},
        {L"diagnosis_option", L"OptionUI"},
        {L"diagnosis_label", L"ButtonUI"},
        {L"jointiko_btn", L"ButtonUI"},
        {L"forum_btn", L"ButtonUI"}}},
  };
  return layouts;
}

// The zip bytes of this program's resource, as start-up finds them.
std::string SkinZipBytes() {
  const HMODULE module = ::GetModuleHandleW(nullptr);
  const HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(102), L"ZIPRES");
  if (found == nullptr) return {};
  const HGLOBAL loaded = ::LoadResource(module, found);
  const char* bytes = static_cast<const char*>(::LockResource(loaded));
  return bytes != nullptr ? std::string(bytes, ::SizeofResource(module, found)) : std::string();
}

// One entry of the zip, or nullopt-like false when it is missing or unreadable.
bool ReadEntry(SkinUI::ZipHandleUI* zip, const std::wstring& name, std::string* out) {
  int index = -1;
  SkinUI::ZipItemRecordUI item;
  if (SkinUI::ZipFindItem(zip, name.c_str(), false, &index, &item) != SkinUI::kZipOk || index < 0) return false;
  out->assign(item.uncompressed_size, '\0');
  if (out->empty()) return true;
  return SkinUI::ZipUnzipItem(zip, index, out->data(), static_cast<uint32_t>(out->size())) == SkinUI::kZipOk;
}

class SkinLayoutTest : public ::testing::TestWithParam<size_t> {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(InitSkinResources(::GetModuleHandleW(nullptr))); }
};

TEST_P(SkinLayoutTest, BuildsWithEveryControlOfItsKind) {
  const LayoutCase& layout = Layouts()[GetParam()];
  SkinWindow window(layout.file);
  ASSERT_TRUE(window.Open()) << Narrow(layout.file);
  RECT client{};
  ::GetClientRect(window.Hwnd(), &client);
  EXPECT_EQ(client.right, layout.width) << Narrow(layout.file);
  EXPECT_EQ(client.bottom, layout.height) << Narrow(layout.file);
  for (const Expected& expected : layout.controls) {
    SkinUI::CControlUI* control = window.Find(expected.name);
    ASSERT_NE(control, nullptr) << Narrow(layout.file) << ": no " << Narrow(expected.name);
    EXPECT_STREQ(control->GetClassName(), expected.kind) << Narrow(layout.file) << ": " << Narrow(expected.name);
  }
}

std::string LayoutName(const ::testing::TestParamInfo<size_t>& info) {
  static const char* const names[] = {"Main", "Sdk", "MessageBox", "FeedbackBox"};
  return names[info.param];
}

INSTANTIATE_TEST_SUITE_P(Layouts, SkinLayoutTest, ::testing::Range<size_t>(0, 4), LayoutName);

TEST(SkinZipTest, HandOverMakesTheResourceZipTheToolkitsSource) {
  ASSERT_TRUE(InitSkinResources(::GetModuleHandleW(nullptr)));
  EXPECT_EQ(SkinUI::CPaintManagerUI::GetInstance(), ::GetModuleHandleW(nullptr));
  EXPECT_STREQ(SkinUI::CPaintManagerUI::GetResourceZipName().GetData(), L"membuffer");
  EXPECT_EQ(SkinUI::CPaintManagerUI::GetResourceType(), 4);
  const std::wstring folder = SkinUI::CPaintManagerUI::GetResourcePath().GetData();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), L'\\');
}

TEST(SkinZipTest, ModuleWithoutTheResourceHandsNothingOver) {
  EXPECT_FALSE(InitSkinResources(::GetModuleHandleW(L"kernel32.dll")));
  EXPECT_STREQ(SkinUI::CPaintManagerUI::GetResourceZipName().GetData(), L"");
}

TEST(SkinZipTest, LayoutsAreUtf8WithMarkAndDeclarationAndTheirPicturesAreInTheZip) {
  const std::string bytes = SkinZipBytes();
  ASSERT_FALSE(bytes.empty());
  SkinUI::ZipHandleUI* zip = SkinUI::ZipOpenFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()), nullptr);
  ASSERT_NE(zip, nullptr);
  const std::regex picture(R"(img/[A-Za-z0-9_]+\.png)");
  for (const LayoutCase& layout : Layouts()) {
    std::string text;
    ASSERT_TRUE(ReadEntry(zip, layout.file, &text)) << Narrow(layout.file);
    EXPECT_EQ(text.rfind("\xEF\xBB\xBF<?xml ", 0), 0u) << Narrow(layout.file);
    std::set<std::string> named;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), picture); it != std::sregex_iterator(); ++it) {
      named.insert(it->str());
    }
    EXPECT_FALSE(named.empty()) << Narrow(layout.file);
    for (const std::string& name : named) {
      std::string png;
      EXPECT_TRUE(ReadEntry(zip, std::wstring(name.begin(), name.end()), &png)) << Narrow(layout.file) << ": " << name;
      EXPECT_EQ(png.rfind("\x89PNG", 0), 0u) << name;
    }
  }
  SkinUI::ZipClose(zip);
}

// Colours written without "#" or with "0x" are opaque like the others.
TEST(SkinColourTest, ColoursWithoutHashOrWithPrefixAreOpaque) {
  struct Case {
    const wchar_t* file;
    const wchar_t* control;
    DWORD colour;
  };
  const Case cases[] = {
      {L"zephri_install_sdk_ui.xml", L"cancel_btn", 0xFF252525},
      {L"zephri_install_sdk_ui.xml", L"install_btn", 0xFFFFFFFF},
      {L"zephri_install_messagebox.xml", L"confirm_btn", 0xFFFFFFFF},
      {L"zephri_install_messagebox.xml", L"cancel_btn", 0xFFFFFFFF},
  };
  ASSERT_TRUE(InitSkinResources(::GetModuleHandleW(nullptr)));
  for (const Case& c : cases) {
    SkinWindow window(c.file);
    ASSERT_TRUE(window.Open()) << Narrow(c.file);
    auto* label = static_cast<SkinUI::CLabelUI*>(window.Find(c.control));
    ASSERT_NE(label, nullptr) << Narrow(c.control);
    EXPECT_EQ(label->GetTextColor(), c.colour) << Narrow(c.file) << ": " << Narrow(c.control);
  }
}

}  // namespace
