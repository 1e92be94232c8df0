#include "ui_toolkit/core/ui_xml.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ui_toolkit/core/paint_manager.h"
#include "ui_toolkit/core/tests/zip_builder.h"

namespace SkinUI {
namespace {

std::wstring Value(const CUiXmlNode& node, const wchar_t* name) {
  wchar_t buffer[256] = L"<absent>";
  node.GetAttributeValue(name, buffer, 256);
  return buffer;
}

TEST(UiXmlTest, WalksElementsAndAttributes) {
  CUiXmlDocument doc;
  ASSERT_TRUE(doc.Load(
      L"<?xml version=\"1.0\"?>\n<!-- a skin -->\n<Window size=\"400,300\" caption = \"0,0,0,30\">"
      L"<VerticalLayout name=\"body\"><Label text=\"Hi\"/><Button name=\"ok\" text=\"OK\"></Button></VerticalLayout>"
      L"<Font id=\"0\" /></Window>"))
      << doc.GetLastErrorMessage();
  EXPECT_STREQ(L"", doc.GetLastErrorMessage());
  CUiXmlNode root = doc.GetRoot();
  ASSERT_TRUE(root.IsValid());
  EXPECT_STREQ(L"Window", root.GetName());
  EXPECT_EQ(2, root.GetAttributeCount());
  EXPECT_STREQ(L"caption", root.GetAttributeName(1));
  EXPECT_STREQ(L"0,0,0,30", root.GetAttributeValue(1));
  EXPECT_STREQ(L"", root.GetAttributeValue(2));
  EXPECT_STREQ(L"", root.GetAttributeName(-1));
  EXPECT_FALSE(root.GetSibling().IsValid());
  CUiXmlNode body = root.GetChild();
  EXPECT_STREQ(L"VerticalLayout", body.GetName());
  EXPECT_TRUE(body.HasChildren());
  CUiXmlNode label = body.GetChild();
  EXPECT_STREQ(L"Label", label.GetName());
  EXPECT_FALSE(label.HasChildren());
  CUiXmlNode button = label.GetSibling();
  EXPECT_STREQ(L"Button", button.GetName());
  EXPECT_EQ(L"ok", Value(button, L"NAME"));  // names compare ignoring case
  EXPECT_EQ(L"<absent>", Value(button, L"missing"));
  EXPECT_FALSE(button.GetSibling().IsValid());
  CUiXmlNode font = body.GetSibling();
  EXPECT_STREQ(L"Font", font.GetName());
  EXPECT_TRUE(font.HasAttributes());

  CUiXmlNode invalid;
  EXPECT_EQ(nullptr, invalid.GetName());
  EXPECT_EQ(nullptr, invalid.GetAttributeName(0));
  EXPECT_FALSE(invalid.GetChild().IsValid());
}

TEST(UiXmlTest, EntitiesAreDecodedAndOthersKept) {
  CUiXmlDocument doc;
  ASSERT_TRUE(doc.Load(L"<a t=\"&lt;b&gt; &amp; &quot;q&quot; &apos;s&apos; &#65; &nbsp; &\"/>"));
  EXPECT_STREQ(L"<b> & \"q\" 's' &#65; &nbsp; &", doc.GetRoot().GetAttributeValue(0));
}

TEST(UiXmlTest, ErrorsAreNamed) {
  struct Case {
    const wchar_t* text;
    const wchar_t* error;
  } cases[] = {
      {L"<a x='1'/>", L"Expected attribute value"},
      {L"<a></b>", L"Unmatched closing tag"},
      {L"<a></ab>", L"Unmatched closing tag"},
      {L"<a x=\"1/>", L"Error while parsing attribute string"},
      {L"<a x/>", L"Error while parsing attributes"},
      {L"<a x=\"1\" $/>", L"Error while parsing attributes"},
      {L"text", L"Expected start tag"},
      {L"<a><b><c>", L"Expected end-tag start"},
      {L"<a><b><c></c>", L"Expected start tag"},
      {L"<a", L"Error parsing element name"},
      {L"< >", L"Error parsing element name"},
      {L"<a x=\"1\"", L"Expected start-tag closing"},
      {L"<a/ >", L"Expected start-tag closing"},
      {L"</a>", L"Unmatched closing tag"},
  };
  for (const Case& c : cases) {
    CUiXmlDocument doc;
    EXPECT_FALSE(doc.Load(c.text)) << c.text;
    EXPECT_STREQ(c.error, doc.GetLastErrorMessage()) << c.text;
    EXPECT_FALSE(doc.GetRoot().IsValid()) << c.text;
  }
  CUiXmlDocument doc;
  EXPECT_FALSE(doc.Load(L"<a><b x='1'/></a>"));
  EXPECT_STREQ(L"'1'/></a>", doc.GetLastErrorLocation());
}

TEST(UiXmlTest, MissingRootEndTagIsTolerated) {
  for (const wchar_t* text : {L"<a><b/>", L"<a>text", L"<a><b>text", L"<a><b></b>\n", L"", L"<!-- only -->"}) {
    CUiXmlDocument doc;
    EXPECT_TRUE(doc.Load(text)) << text << ": " << doc.GetLastErrorMessage();
  }
}

TEST(UiXmlTest, OnlySixtyFourAttributesAreVisible) {
  std::wstring text = L"<a";
  for (int i = 0; i < 70; ++i) text += L" k" + std::to_wstring(i) + L"=\"" + std::to_wstring(i) + L"\"";
  text += L"/>";
  CUiXmlDocument doc;
  ASSERT_TRUE(doc.Load(text.c_str()));
  CUiXmlNode a = doc.GetRoot();
  EXPECT_EQ(64, a.GetAttributeCount());
  EXPECT_STREQ(L"k63", a.GetAttributeName(63));
  EXPECT_STREQ(L"", a.GetAttributeName(64));
  EXPECT_EQ(L"<absent>", Value(a, L"k64"));
}

TEST(UiXmlTest, AttributeCopiesStayInTheirBuffer) {
  CUiXmlDocument doc;
  ASSERT_TRUE(doc.Load(L"<a long=\"0123456789\"/>"));
  wchar_t buffer[8];
  wmemset(buffer, L'#', 8);
  ASSERT_TRUE(doc.GetRoot().GetAttributeValue(L"long", buffer, 5));
  EXPECT_STREQ(L"0123", buffer);
  EXPECT_EQ(L'#', buffer[5]);
}

// A skin nested 100,000 deep is refused with an error instead of
// exhausting the stack.
TEST(UiXmlTest, DeepNestingIsRefused) {
  std::wstring deep;
  for (int i = 0; i < 100000; ++i) deep += L"<a>";
  CUiXmlDocument doc;
  EXPECT_FALSE(doc.Load(deep.c_str()));
  EXPECT_STREQ(L"Elements nested too deep", doc.GetLastErrorMessage());
  std::wstring fine;
  for (int i = 0; i < 200; ++i) fine += L"<a>";
  for (int i = 0; i < 200; ++i) fine += L"</a>";
  EXPECT_TRUE(doc.Load(fine.c_str())) << doc.GetLastErrorMessage();
}

TEST(UiXmlTest, EncodingsOfBytesInMemory) {
  const std::string utf8 = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?><!-- c --><W t=\"\xE5\xAE\x89\xE8\xA3\x85\"/>";
  CUiXmlDocument doc;
  ASSERT_TRUE(doc.LoadFromMem(reinterpret_cast<const unsigned char*>(utf8.data()), utf8.size(), CUiXmlDocument::kUtf8));
  EXPECT_STREQ(L"W", doc.GetRoot().GetName());
  EXPECT_STREQ(L"\x5B89\x88C5", doc.GetRoot().GetAttributeValue(0));

  const std::wstring wide = L"<W t=\"\x5B89\"/>";
  std::string little = "\xFF\xFE", big = "\xFE\xFF";
  for (wchar_t c : wide) {
    little += static_cast<char>(c & 0xFF);
    little += static_cast<char>(c >> 8);
    big += static_cast<char>(c >> 8);
    big += static_cast<char>(c & 0xFF);
  }
  for (const std::string& bytes : {little, big}) {
    ASSERT_TRUE(doc.LoadFromMem(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 1));
    EXPECT_STREQ(L"\x5B89", doc.GetRoot().GetAttributeValue(0));
  }
  const std::string no_mark = little.substr(2);
  EXPECT_FALSE(doc.LoadFromMem(reinterpret_cast<const unsigned char*>(no_mark.data()), no_mark.size(), 1));
  EXPECT_FALSE(doc.LoadFromMem(reinterpret_cast<const unsigned char*>("\xFF"), 1, 1));
  const std::string ansi = "<W t=\"abc\"/>";
  ASSERT_TRUE(doc.LoadFromMem(reinterpret_cast<const unsigned char*>(ansi.data()), ansi.size(), CUiXmlDocument::kAnsi));
  EXPECT_STREQ(L"abc", doc.GetRoot().GetAttributeValue(0));
}

class UiXmlFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    folder_ = std::filesystem::path(temp) / (L"ui-xml-" + std::to_wstring(::GetCurrentProcessId()));
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  void Write(const std::wstring& name, const std::string& bytes) {
    std::ofstream f(folder_ / name, std::ios::binary);
    f << bytes;
  }
  ResourceSourceUI Source(const wchar_t* zip = L"") {
    ResourceSourceUI s;
    s.folder = (folder_.wstring() + L"\\").c_str();
    s.zip_name = zip;
    return s;
  }
  std::filesystem::path folder_;
};

TEST_F(UiXmlFileTest, FilesInTheResourceFolder) {
  const std::string small = "<W/>";
  Write(L"ok.xml", small);
  Write(L"empty.xml", "");
  std::string exact = "<W/>" + std::string(4 * 1024 * 1024 - 4, ' ');
  Write(L"exact.xml", exact);
  Write(L"over.xml", exact + " ");
  CUiXmlDocument doc;
  EXPECT_TRUE(doc.LoadFromFile(Source(), L"ok.xml"));
  EXPECT_STREQ(L"W", doc.GetRoot().GetName());
  EXPECT_TRUE(doc.LoadFromFile(Source(), L"exact.xml")) << doc.GetLastErrorMessage();
  struct Case {
    const wchar_t* name;
    const wchar_t* error;
  } cases[] = {{L"over.xml", L"File too large"}, {L"empty.xml", L"File is empty"}, {L"none.xml", L"Error opening file"}};
  for (const Case& c : cases) {
    EXPECT_FALSE(doc.LoadFromFile(Source(), c.name));
    EXPECT_STREQ(c.error, doc.GetLastErrorMessage()) << c.name;
  }
}

TEST_F(UiXmlFileTest, EntriesOfAZipFileInTheResourceFolder) {
  using testing::BuildZip;
  Write(L"skin.zip", BuildZip({{.name = "layout/main.xml", .data = "<Main/>"},
                               {.name = "empty.xml", .data = "", .method = 0},
                               {.name = "big.xml", .data = std::string(4 * 1024 * 1024 + 1, ' ')}})
                         .bytes);
  CUiXmlDocument doc;
  EXPECT_TRUE(doc.LoadFromFile(Source(L"skin.zip"), L"Layout\\MAIN.xml")) << doc.GetLastErrorMessage();
  EXPECT_STREQ(L"Main", doc.GetRoot().GetName());
  struct Case {
    const wchar_t* zip;
    const wchar_t* name;
    const wchar_t* error;
  } cases[] = {
      {L"skin.zip", L"none.xml", L"Could not find ziped file"},
      {L"skin.zip", L"empty.xml", L"File is empty"},
      {L"skin.zip", L"big.xml", L"File too large"},
      {L"missing.zip", L"layout/main.xml", L"Error opening zip file"},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(doc.LoadFromFile(Source(c.zip), c.name));
    EXPECT_STREQ(c.error, doc.GetLastErrorMessage()) << c.name;
  }
}

// Without an explicit source the paint manager's settings say where skins are.
TEST_F(UiXmlFileTest, ThePaintManagersResourceFolderAndZip) {
  Write(L"plain.xml", "<Plain/>");
  CPaintManagerUI::SetResourcePath(folder_.wstring().c_str());
  CUiXmlDocument doc;
  ASSERT_TRUE(doc.LoadFromFile(L"plain.xml")) << doc.GetLastErrorMessage();
  EXPECT_STREQ(L"Plain", doc.GetRoot().GetName());
  const std::string zip = testing::BuildZip({{.name = "skin/zipped.xml", .data = "<Zipped/>"}}).bytes;
  CPaintManagerUI::SetResourceZipFromMemory(zip.data(), static_cast<unsigned>(zip.size()));
  ASSERT_TRUE(doc.LoadFromFile(L"skin\\zipped.xml")) << doc.GetLastErrorMessage();
  EXPECT_STREQ(L"Zipped", doc.GetRoot().GetName());
  EXPECT_FALSE(doc.LoadFromFile(L"plain.xml"));
  EXPECT_STREQ(L"Could not find ziped file", doc.GetLastErrorMessage());
}

}  // namespace
}  // namespace SkinUI
