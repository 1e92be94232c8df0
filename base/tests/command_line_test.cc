#include "base/command_line.h"

#include <windows.h>

#include <shellapi.h>

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/scoped_handle.h"
#include "base/text_conversion.h"
#include "testing/process/child_process.h"

namespace base {
namespace {

// What the receiving program's splitter makes of "prog <fragment>".
std::vector<std::wstring> SplitLikeTheChild(const std::wstring& fragment) {
  const std::wstring line = L"prog.exe " + fragment;
  int count = 0;
  wchar_t** args = ::CommandLineToArgvW(line.c_str(), &count);
  ScopedLocalMemory owned(args);
  std::vector<std::wstring> result;
  for (int i = 1; i < count; ++i) result.emplace_back(args[i]);
  return result;
}

struct QuoteCase {
  const wchar_t* value;
  const wchar_t* quoted;
};

TEST(QuoteArgumentTest, QuotesAndEscapesOnlyWhatTheSplitterWouldMisread) {
  const QuoteCase cases[] = {
      {L"", L"\"\" "},
      {L"abc", L"\"abc\" "},
      {L"a b", L"\"a b\" "},
      {L"say \"hi\"", L"\"say \\\"hi\\\"\" "},
      // A trailing backslash would swallow the closing mark unless doubled.
      {L"C:\\dir\\", L"\"C:\\dir\\\\\" "},
      // Backslash before a quotation mark: both escaped.
      {L"C:\\dir\\\"", L"\"C:\\dir\\\\\\\"\" "},
      // Backslashes elsewhere mean themselves and stay single.
      {L"\\\\server\\share\\file.txt", L"\"\\\\server\\share\\file.txt\" "},
  };
  for (const QuoteCase& c : cases) {
    EXPECT_EQ(QuoteArgumentW(c.value), c.quoted) << "value: " << WideToUtf8(c.value);
  }
}

TEST(QuoteArgumentTest, TheSplitterGivesBackEveryValue) {
  const std::wstring values[] = {
      L"",
      L"plain",
      L"with blanks  inside ",
      L"C:\\Program Files\\Orvalis\\",
      L"\\\\server\\share",
      L"ends with one backslash\\",
      L"ends with two\\\\",
      L"\"quoted\"",
      L"back\\\"slash before quote",
      L"three \\\\\\\" before a quote",
      L"{\"json\":\"x\\\"y\",\"path\":\"C:\\\\a\"}",
      L"caf\u00e9 \u4e2d\u6587",
  };
  for (const std::wstring& value : values) {
    const std::vector<std::wstring> split = SplitLikeTheChild(QuoteArgumentW(value));
    ASSERT_EQ(split.size(), 1u) << WideToUtf8(value);
    EXPECT_EQ(split[0], value);
  }
}

TEST(QuoteArgumentTest, Utf8ValuesAreConvertedFirst) {
  EXPECT_EQ(QuoteArgument("caf\xc3\xa9 \\\""), QuoteArgumentW(L"caf\u00e9 \\\""));
  EXPECT_EQ(QuoteArgument(""), L"\"\" ");
}

TEST(BuildOptionsCommandLineTest, EntriesInKeyOrderEachFollowedByABlank) {
  const std::map<std::string, std::string> options = {{"b", "x"}, {"a", ""}};
  EXPECT_EQ(BuildOptionsCommandLine(options), L"--a \"\" --b \"x\" ");
  const std::map<std::wstring, std::wstring> wide = {{L"b", L"x"}, {L"a", L""}};
  EXPECT_EQ(BuildOptionsCommandLineW(wide), L"--a \"\" --b \"x\" ");
}

TEST(BuildOptionsCommandLineTest, EmptyMapGivesEmptyText) {
  EXPECT_EQ(BuildOptionsCommandLine({}), L"");
  EXPECT_EQ(BuildOptionsCommandLineW({}), L"");
}

TEST(BuildOptionsCommandLineTest, AStartedProgramReceivesEveryOptionAndValue) {
  const std::map<std::wstring, std::wstring> options = {
      {L"download-directory", L"C:\\Users\\Test User\\Downloads\\"},
      {L"from-source", L"{\"channel\":\"a \\\"b\\\"\"}"},
      {L"pseudo-protocol", L"quillorane://open?app=\u00e9t\u00e9"},
      {L"empty", L""},
  };
  testing_process::ChildProcess child(L"\"" + testing_process::HelperPath(L"ql_child_print.exe") + L"\" " +
                                      BuildOptionsCommandLineW(options));
  ASSERT_TRUE(child.started());
  for (const auto& [name, value] : options) {
    EXPECT_EQ(child.ReadLine(), "--" + WideToUtf8(name));
    EXPECT_EQ(child.ReadLine(), WideToUtf8(value));
  }
  EXPECT_EQ(child.ReadLine(), "stderr:8");
  EXPECT_EQ(child.Wait(), 0u);
}

}  // namespace
}  // namespace base
