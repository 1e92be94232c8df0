#include "base/text_conversion.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace base {
namespace {

using namespace std::literals;

struct Pair {
  std::string_view utf8;
  std::wstring_view wide;
};

// Both directions convert these exactly.
constexpr Pair kPairs[] = {
    {"", L""},
    {"plain ASCII", L"plain ASCII"},
    {"\xC3\xA9t\xC3\xA9", L"\u00e9t\u00e9"},
    {"\xE5\xAE\x89\xE8\xA3\x85", L"\u5b89\u88c5"},
    {"\xF0\x9F\x98\x80", L"\xD83D\xDE00"},  // outside the BMP: a surrogate pair
    {"a\0b"sv, L"a\0b"sv},                  // counted, so zero units pass through
};

TEST(TextConversionTest, Utf8AndUtf16RoundTrip) {
  for (const Pair& p : kPairs) {
    SCOPED_TRACE(p.utf8);
    EXPECT_EQ(Utf8ToWide(p.utf8), p.wide);
    EXPECT_EQ(Utf8ToWide(p.utf8.data(), static_cast<int>(p.utf8.size())), p.wide);
    EXPECT_EQ(WideToUtf8(p.wide), p.utf8);
    EXPECT_EQ(WideToUtf8(p.wide.data(), static_cast<int>(p.wide.size())), p.utf8);
  }
}

TEST(TextConversionTest, InvalidInputBecomesReplacementCharacters) {
  EXPECT_EQ(Utf8ToWide("a\xFF" "b"), L"a\uFFFDb");
  EXPECT_EQ(WideToUtf8(L"a\xD800"), "a\xEF\xBF\xBD");  // a lone surrogate
}

TEST(TextConversionTest, EmptyOrNonPositiveLengthsGiveEmptyText) {
  EXPECT_EQ(Utf8ToWide("abc", 0), L"");
  EXPECT_EQ(Utf8ToWide("abc", -1), L"");
  EXPECT_EQ(Utf8ToWide(nullptr, 3), L"");
  EXPECT_EQ(WideToUtf8(L"abc", 0), "");
  EXPECT_EQ(WideToUtf8(L"abc", -1), "");
  EXPECT_EQ(WideToAnsi(L""), "");
}

TEST(TextConversionTest, WideToAnsiUsesTheSystemCodePage) {
  EXPECT_EQ(WideToAnsi(L"C:\\Program Files\\x.exe"), "C:\\Program Files\\x.exe");
  if (::GetACP() == 1252) {
    // What the code page lacks becomes its default character.
    EXPECT_EQ(WideToAnsi(L"caf\u00e9 \u5b89"), "caf\xE9 ?");
  }
}

}  // namespace
}  // namespace base
