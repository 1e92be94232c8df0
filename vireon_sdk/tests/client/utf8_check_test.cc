// The UTF-8 rule every parameter value passes, and the repair of values that
// fail it.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "vireon_sdk/src/report/event_params.h"
#include "vireon_sdk/src/utils/utf8_string.h"

namespace vireon {
namespace {

using namespace std::string_literals;

TEST(WellFormedUtf8Test, FollowsTheLeadByteTable) {
  const struct {
    std::string bytes;
    bool well_formed;
  } cases[] = {
      {"", true},
      {"seq_time", true},
      {"\xC3\xA9t\xC3\xA9", true},
      {"\xC0\x80", true},  // C0 and C1 are accepted as leads
      {"\xE0\xA0\x80", true},
      {"\xE0\x9F\xBF", false},  // overlong three bytes
      {"\xED\x9F\xBF", true},
      {"\xED\xA0\x80", false},  // surrogate
      {"\xEF\xBF\xBF", true},
      {"\xF0\x90\x80\x80", true},
      {"\xF0\x8F\xBF\xBF", false},
      {"\xF4\x8F\xBF\xBF", true},
      {"\xF4\x90\x80\x80", false},  // above U+10FFFF
      {"\xF5\x80\x80\x80", false},
      {"\x80", false},
      {"\xBF", false},
      {"\xFF", false},
      {"abc\xC3", false},  // cut short
      {"\xE2\x82", false},
      {"\xC3\x28", false},  // bad continuation
      {"a\0b"s, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(utils::IsWellFormedUtf8(c.bytes), c.well_formed) << testing::PrintToString(c.bytes);
  }
}

TEST(Utf8StringTest, CountsCodePointsByLeadByte) {
  const utils::Utf8String text("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(text.length(), 4u);
  EXPECT_EQ(text.text(), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
}

TEST(Utf8StringTest, RefusesTextThatIsNotWellFormedAndKeepsItsValue) {
  utils::Utf8String text("keep");
  try {
    text.Assign("bad\xFF");
    FAIL() << "no exception";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "Invalid UTF-8 string\n");
  }
  EXPECT_EQ(text.text(), "keep");
  EXPECT_EQ(text.length(), 4u);
}

// What the system's ANSI code page makes of the bytes, as UTF-8.
std::string ThroughAnsi(const std::string& bytes) {
  wchar_t wide[256] = {};
  const int n = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide, 255);
  char utf8[1024] = {};
  ::WideCharToMultiByte(CP_UTF8, 0, wide, n, utf8, sizeof(utf8) - 1, nullptr, nullptr);
  return utf8;
}

TEST(CheckUtf8Test, KeepsEmptyAndWellFormedValues) {
  EXPECT_EQ(CheckUtf8(""), "");
  EXPECT_EQ(CheckUtf8("seq_time"), "seq_time");
  EXPECT_EQ(CheckUtf8("\xE4\xB8\xAD\xE6\x96\x87"), "\xE4\xB8\xAD\xE6\x96\x87");
}

TEST(CheckUtf8Test, RepairsAValueThroughTheAnsiCodePage) {
  const std::string repaired = CheckUtf8("abc\xC3");
  EXPECT_EQ(repaired, ThroughAnsi("abc\xC3"));
  EXPECT_TRUE(utils::IsWellFormedUtf8(repaired));
  EXPECT_NE(repaired, "abc\xC3");
}

TEST(CheckUtf8Test, ATextThatEndsAtItsFirstByteBecomesTheInvalidMarker) {
  EXPECT_EQ(CheckUtf8("\x00\xFF"s), "Invalid UTF-8 String");
}

TEST(CheckUtf8Test, ARepairThatGrowsPastTwiceTheInputIsKeptWhole) {
  // In a single-byte code page every byte of 80-FF becomes one UTF-16 unit,
  // which may need three UTF-8 bytes (0x80 is the euro sign in 1252).
  const std::string bytes(100, '\x80');
  const std::string expected = ThroughAnsi(bytes);
  const std::string repaired = CheckUtf8(bytes);
  EXPECT_EQ(repaired, expected);
  EXPECT_TRUE(utils::IsWellFormedUtf8(repaired));
}

TEST(MergeParamsTest, OverwritesAndChecksOnlyWhenAsked) {
  ReportParams destination{{"a", "old"}, {"keep", "1"}};
  MergeParams(destination, {{"a", "new"}, {"bad", "x\xFF"}}, false);
  EXPECT_EQ(destination, (ReportParams{{"a", "new"}, {"bad", "x\xFF"}, {"keep", "1"}}));
  MergeParams(destination, {{"bad", "x\xFF"}}, true);
  EXPECT_TRUE(utils::IsWellFormedUtf8(destination["bad"]));
}

}  // namespace
}  // namespace vireon
