#include "base/string_util.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <regex>
#include <string>
#include <string_view>

namespace base {
namespace {

using namespace std::literals;
using Params = std::map<std::string, std::string>;

Params Sorted(const UrlQuery& query) { return Params(query.params.begin(), query.params.end()); }

TEST(ReplaceAllTest, OnePassWithoutRescanningInsertedText) {
  const struct {
    std::string_view text, pattern, replacement, expected;
  } cases[] = {
      {"a\\b", "\\", "\\\\", "a\\\\b"},
      {"\\", "\\", "\\\\", "\\\\"},
      {"aaa", "a", "aa", "aaaaaa"},
      {"aaaa", "aa", "a", "aa"},
      {"x\"y\"", "\"", "\\\"", "x\\\"y\\\""},
      {"abc", "z", "y", "abc"},
      {"", "a", "b", ""},
      {"abcabc", "abc", "", ""},
      {"abc", "", "x", "abc"},  // an empty pattern changes nothing
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ReplaceAll(std::string(c.text), c.pattern, c.replacement), c.expected);
  }
  EXPECT_EQ(ReplaceAll(L"C:\\a b\\"s, L"\\", L"\\\\"), L"C:\\\\a b\\\\");
  EXPECT_EQ(ReplaceAll(L"\u4e2d\u6587"s, L"\u6587", L"x"), L"\u4e2dx");
  EXPECT_EQ(RemoveAll("a-b-c-", "-"), "abc");
  EXPECT_EQ(RemoveAll(L"a--b"s, L"-"), L"ab");
}

TEST(UrlEncodeTest, KeepsUnreservedAndEncodesEveryOtherByte) {
  const struct {
    std::string_view text, expected;
  } cases[] = {
      {"", ""},
      {"AZaz09-._~", "AZaz09-._~"},
      {"a b", "a%20b"},
      {"a/b", "a%2Fb"},
      {"\xC3\xA9", "%C3%A9"},
      {"k=v&x?y#+%", "k%3Dv%26x%3Fy%23%2B%25"},
      {"\x00\x01\xff"sv, "%00%01%FF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(UrlEncode(c.text), c.expected);
  }
}

TEST(ParseUrlQueryTest, SplitsPathAndParams) {
  const struct {
    std::string_view url;
    std::string_view path;
    Params params;
  } cases[] = {
      {"quillorane://open/app?a=1&b=2&a=3", "quillorane://open/app", {{"a", "3"}, {"b", "2"}}},
      {"x://p?k=v=w", "x://p", {{"k=v", "w"}}},
      {"a=1", "", {{"a", "1"}}},
      {"x://p?a=&b=2", "x://p", {{"b", "2"}}},
      {"x://p?=1&b", "x://p", {}},
      {"x://p?a==", "x://p", {{"a", "="}}},
      {"x://p?q=1?r=2", "x://p?q=1", {{"q", "1"}, {"r", "2"}}},
      {"k=v?x://p?a=%20+b", "k=v?x://p", {{"k", "v"}, {"a", "%20+b"}}},
      {"?a=1", "", {{"a", "1"}}},
      {"", "", {}},
      {"line\n?a=1", "", {{"a", "1"}}},
      {"one\ntwo?a=1", "two", {{"a", "1"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    const UrlQuery query = ParseUrlQuery(c.url);
    EXPECT_EQ(query.path, c.path);
    EXPECT_EQ(Sorted(query), c.params);
  }
}

// The parser must give exactly what the two ECMAScript patterns give; compare
// against std::regex on every short text over the characters that matter.
TEST(ParseUrlQueryTest, AgreesWithTheRegexDefinition) {
  static const std::regex kPath("(.+)\\?");
  static const std::regex kParam("([^?&]+)=([^?&]+)");
  constexpr std::string_view kAlphabet = "ab=?&\n\r\0"sv;
  std::mt19937 random(12345);
  for (int round = 0; round < 20000; ++round) {
    std::string url(random() % 12, ' ');
    for (char& ch : url) ch = kAlphabet[random() % kAlphabet.size()];

    std::string expected_path;
    std::smatch match;
    if (std::regex_search(url, match, kPath)) expected_path = match[1];
    Params expected_params;
    for (std::sregex_iterator it(url.begin(), url.end(), kParam), end; it != end; ++it) {
      expected_params[(*it)[1]] = (*it)[2];
    }

    const UrlQuery query = ParseUrlQuery(url);
    ASSERT_EQ(query.path, expected_path) << testing::PrintToString(url);
    ASSERT_EQ(Sorted(query), expected_params) << testing::PrintToString(url);
  }
}

TEST(ParseUrlQueryTest, TakesVeryLongUrls) {
  const std::string value(1 << 20, 'v');
  const UrlQuery query = ParseUrlQuery("x://p?rid=" + value + "&b=2");
  EXPECT_EQ(query.path, "x://p");
  EXPECT_EQ(query.params.at("rid"), value);
  EXPECT_EQ(query.params.at("b"), "2");
}

}  // namespace
}  // namespace base
