#include "base/cmdline_parser.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cmdline {
namespace {

using Args = std::vector<std::wstring>;

// The parser as the installer sets it up, with one option of each type.
class Parsed {
 public:
  explicit Parsed(const Args& args) {
    parser_.add<std::int32_t>(L"mode", L"");
    parser_.add<std::wstring>(L"app-id", L"", L"");
    parser_.add<std::uint64_t>(L"force-channel", L"");
    result_ = Parse(args);
  }
  bool Parse(const Args& args) {
    std::vector<const wchar_t*> argv{L"installer.exe"};
    for (const std::wstring& arg : args) argv.push_back(arg.c_str());
    return parser_.parse(static_cast<int>(argv.size()), argv.data());
  }
  parser parser_;
  bool result_ = false;
};

const Args kOthersGiven = {L"--app-id=a", L"--force-channel=1"};

Args With(Args args, const Args& more = kOthersGiven) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

struct Case {
  Args args;
  std::vector<std::wstring> errors;
  std::optional<std::int32_t> mode;  // engaged: mode was given with this value
  std::wstring app_id = L"a";
  std::vector<std::wstring> plain = {};
};

const std::wstring kNeedMode = L"need option: --mode";

TEST(CmdlineParserTest, TableOfCommandLines) {
  const Case cases[] = {
      {With({L"--mode=5"}), {}, 5},
      {With({L"--mode", L"5"}), {}, 5},
      {With({L" --mode=5"}), {kNeedMode}, {}, L"a", {L" --mode=5"}},
      {With({L"--mode=abc"}), {L"option value is invalid: --mode=abc", kNeedMode}, {}},
      {With({L"--mode=5x"}), {L"option value is invalid: --mode=5x", kNeedMode}, {}},
      {With({L"--mode=0x10"}), {L"option value is invalid: --mode=0x10", kNeedMode}, {}},
      {With({L"--mode=5 "}), {L"option value is invalid: --mode=5 ", kNeedMode}, {}},
      {With({L"--mode="}), {L"option value is invalid: --mode=", kNeedMode}, {}},
      {With({L"--mode=5=6"}), {L"option value is invalid: --mode=5=6", kNeedMode}, {}},
      {With({L"--mode=2147483648"}), {L"option value is invalid: --mode=2147483648", kNeedMode}, {}},
      {With({L"--mode= 5"}), {}, 5},
      {With({L"--mode=010"}), {}, 10},
      {With({L"--mode=-5"}), {}, -5},
      {With({L"--mode=-2147483648"}), {}, INT32_MIN},
      {With({L"--mode=1", L"--mode=2"}), {}, 2},
      {With({L"--mode=3", L"--mode=x"}), {L"option value is invalid: --mode=x"}, 3},
      {{L"--mode=1", L"--force-channel=1", L"--app-id="}, {}, 1, L""},
      {{L"--force-channel=1", L"--app-id", L"--mode"}, {kNeedMode}, {}, L"--mode"},
      {With({L"--mode=1", L"--other=1"}), {L"undefined option: --other"}, 1},
      {With({L"--mode=1", L"--other", L"1"}), {L"undefined option: --other"}, 1, L"a", {L"1"}},
      {With({L"--mode=1", L"--"}), {L"undefined option: --"}, 1},
      {With({L"--mode=1", L"--=1"}), {L"undefined option: --"}, 1},
      {With({L"--mode=1", L"-abc"}),
       {L"undefined short option: -a", L"undefined short option: -b", L"undefined short option: -c"},
       1},
      {With({L"--mode=1", L"-m", L"5"}), {L"undefined short option: -m"}, 1, L"a", {L"5"}},
      {With({L"--mode=1", L"-"}), {}, 1},
      {With({L"x", L"--mode=1", L"y"}), {}, 1, L"a", {L"x", L"y"}},
      {With({L"--mode=1", L"--App-Id=b"}), {L"undefined option: --App-Id"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    Parsed p(c.args);
    EXPECT_EQ(p.parser_.errors(), c.errors);
    EXPECT_EQ(p.result_, c.errors.empty());
    EXPECT_EQ(p.parser_.exist(L"mode"), c.mode.has_value());
    EXPECT_EQ(p.parser_.get<std::int32_t>(L"mode"), c.mode.value_or(0));
    EXPECT_EQ(p.parser_.get<std::wstring>(L"app-id"), c.app_id);
    EXPECT_EQ(p.parser_.plain_args(), c.plain);
    EXPECT_EQ(p.parser_.program_name(), L"installer.exe");
  }
}

TEST(CmdlineParserTest, OptionWithoutValueAtTheEnd) {
  Parsed p({L"--app-id=a", L"--force-channel=1", L"--mode"});
  EXPECT_FALSE(p.result_);
  EXPECT_EQ(p.parser_.errors(), (std::vector<std::wstring>{L"option needs value: --mode", kNeedMode}));
  EXPECT_FALSE(p.parser_.exist(L"mode"));
  EXPECT_EQ(p.parser_.get<std::int32_t>(L"mode"), 0);
}

TEST(CmdlineParserTest, NoOptionsNamesEveryMissingOneInNameOrder) {
  Parsed p({});
  EXPECT_FALSE(p.result_);
  EXPECT_EQ(p.parser_.errors(), (std::vector<std::wstring>{L"need option: --app-id",
                                                          L"need option: --force-channel", kNeedMode}));
  EXPECT_FALSE(p.parser_.exist(L"app-id"));
  EXPECT_EQ(p.parser_.get<std::wstring>(L"app-id"), L"");
}

TEST(CmdlineParserTest, UnsignedSixtyFourBitValues) {
  const struct {
    std::wstring value;
    std::optional<std::uint64_t> expected;
  } cases[] = {
      {L"1234", 1234},
      {L"18446744073709551615", UINT64_MAX},
      {L"18446744073709551616", {}},
      {L"-1", {}},  // refused, not wrapped to 2^64 - 1
      {L" -1", {}},
      {L"1.5", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.value));
    Parsed p({L"--mode=1", L"--app-id=a", L"--force-channel=" + c.value});
    EXPECT_EQ(p.parser_.exist(L"force-channel"), c.expected.has_value());
    EXPECT_EQ(p.parser_.get<std::uint64_t>(L"force-channel"), c.expected.value_or(0));
    if (!c.expected) {
      EXPECT_EQ(p.parser_.errors().front(), L"option value is invalid: --force-channel=" + c.value);
    }
  }
}

TEST(CmdlineParserTest, LaterRunsKeepValuesButNotErrors) {
  Parsed p({L"--mode=7", L"--bad=1", L"extra"});
  EXPECT_EQ(p.parser_.errors().size(), 3u);
  EXPECT_TRUE(p.Parse({L"--app-id=b", L"--force-channel=9"}));
  EXPECT_TRUE(p.parser_.errors().empty());
  EXPECT_TRUE(p.parser_.plain_args().empty());
  EXPECT_EQ(p.parser_.get<std::int32_t>(L"mode"), 7);
  EXPECT_EQ(p.parser_.get<std::wstring>(L"app-id"), L"b");
}

TEST(CmdlineParserTest, EmptyArgumentVector) {
  parser p;
  EXPECT_FALSE(p.parse(0, nullptr));
  EXPECT_EQ(p.errors(), std::vector<std::wstring>{L"argument number must be longer than 0"});
}

TEST(CmdlineParserTest, AddKeepsTheFirstDeclaration) {
  parser p;
  EXPECT_TRUE(p.add<std::wstring>(L"name", L"", L"first"));
  EXPECT_FALSE(p.add<std::wstring>(L"name", L"", L"second"));
  EXPECT_FALSE(p.add<std::int32_t>(L"name", L""));
  EXPECT_EQ(p.get<std::wstring>(L"name"), L"first");
  // Unknown names and mismatched types answer empty instead of misreading.
  EXPECT_EQ(p.get<std::int32_t>(L"name"), std::nullopt);
  EXPECT_EQ(p.get<std::wstring>(L"missing"), std::nullopt);
  EXPECT_FALSE(p.exist(L"missing"));
}

TEST(CmdlineParserTest, HelpAndUsageTexts) {
  parser::option_with_value_with_reader<std::int32_t, default_reader<std::int32_t>> mode(L"mode", L"", 0);
  parser::option_with_value_with_reader<std::uint64_t, default_reader<std::uint64_t>> channel(
      L"force-channel", L"", 0);
  parser::option_with_value_with_reader<std::wstring, default_reader<std::wstring>> app(
      L"app-id", L"Application", L"");
  EXPECT_EQ(mode.help_text(), L" (int)");
  EXPECT_EQ(mode.usage_text(), L"--mode=int");
  EXPECT_EQ(channel.help_text(), L" (unsigned __int64)");
  EXPECT_EQ(channel.usage_text(), L"--force-channel=unsigned __int64");
  EXPECT_EQ(app.help_text(), L"Application (string)");
  EXPECT_EQ(app.usage_text(), L"--app-id=string");

  const parser::option_base& base = mode;
  EXPECT_TRUE(base.takes_value());
  EXPECT_TRUE(base.is_required());
  EXPECT_FALSE(base.is_satisfied());
  EXPECT_EQ(base.short_letter(), L'\0');
  EXPECT_FALSE(mode.set_flag());
  EXPECT_TRUE(mode.set_value(L"4"));
  EXPECT_TRUE(base.was_set());
  EXPECT_TRUE(base.is_satisfied());
}

}  // namespace
}  // namespace cmdline
