// The device-id library probe with the stand-in duvex.dll beside this
// program; QL_DUVEX_DOUBLE sets the stand-in's behaviour for the case.
#include "probes/duvex_loader.h"

#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

#include "probes/tests/probe_rig.h"
#include "testing/process/child_process.h"
#include "vireon_sdk/src/report/vireon_client.h"

namespace probes {
namespace {

constexpr char kDoubleId[] = "3f2a9c1e-77b4-4d0a-9e21-5c6b8d4f0a13";

class DuvexTest : public testing::Test {
 protected:
  void TearDown() override { ::SetEnvironmentVariableW(L"QL_DUVEX_DOUBLE", nullptr); }

  static void Mode(const wchar_t* mode) { ::SetEnvironmentVariableW(L"QL_DUVEX_DOUBLE", mode); }

  // The stand-in's record of the calls it received.
  static std::vector<std::string> Calls() {
    const HMODULE library = ::GetModuleHandleW(L"duvex.dll");
    if (library == nullptr) return {};
    using CallsFn = const char* (*)();
    const auto calls =
        reinterpret_cast<CallsFn>(reinterpret_cast<void (*)()>(::GetProcAddress(library, "DuvexDoubleCalls")));
    return calls != nullptr ? probe_rig::Lines(calls()) : std::vector<std::string>();
  }
  static std::string InitWithGuid() {
    return "a1 key=0KRD7XPQ4LZ2VMT9 n=0 t1=[] options=[{\"GUID\":\"" + VireonClient::VireonDeviceId() +
           "\"}] t2=[] flag=1";
  }

 public:
  static constexpr char kInitWithout[] = "a1 key=0KRD7XPQ4LZ2VMT9 n=0 t1=[] options=[] t2=[] flag=0";
  static constexpr char kFetch[] = "b key=0KRD7XPQ4LZ2VMT9 size=70";
};

TEST_F(DuvexTest, TheLibraryIsInitialisedWithTheTelemetryIdAndItsIdentifierKept) {
  EXPECT_EQ(GetDuvexId(), kDoubleId);
  EXPECT_EQ(GetDuvexId(), kDoubleId);  // from the cache: no second call
  EXPECT_EQ(Calls(), (std::vector<std::string>{InitWithGuid(), kFetch}));
  EXPECT_EQ(VireonClient::VireonDeviceId().size(), 32u);
}

struct ModeCase {
  const char* name;
  const wchar_t* mode;
  std::string first_id;
  std::string second_id;
  // Calls of both GetDuvexId; "GUID" stands for the initialisation with options.
  std::vector<std::string> calls;
};

void PrintTo(const ModeCase& c, std::ostream* os) { *os << c.name; }

class DuvexModeTest : public DuvexTest, public testing::WithParamInterface<ModeCase> {};

TEST_P(DuvexModeTest, EachAnswerOfTheLibraryGivesItsIdentifier) {
  Mode(GetParam().mode);
  EXPECT_EQ(GetDuvexId(), GetParam().first_id);
  EXPECT_EQ(GetDuvexId(), GetParam().second_id);
  std::vector<std::string> expected;
  for (const std::string& call : GetParam().calls) expected.push_back(call == "GUID" ? InitWithGuid() : call);
  EXPECT_EQ(Calls(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DuvexModeTest,
    testing::Values(
        // Options refused: the retry without options and with the flag off succeeds.
        ModeCase{"OptionsRejected", L"reject_options", kDoubleId, kDoubleId,
                 {"GUID", DuvexTest::kInitWithout, DuvexTest::kFetch}},
        // Initialisation never succeeds: both attempts on every call.
        ModeCase{"InitFails", L"fail_init", "", "",
                 {"GUID", DuvexTest::kInitWithout, "GUID", DuvexTest::kInitWithout}},
        // The record fails: asked again on the next call.
        ModeCase{"RecordFails", L"fail_record", "", "", {"GUID", DuvexTest::kFetch, DuvexTest::kFetch}},
        // Bytes that are no identifier are never handed on; the record is
        // not asked for again.
        ModeCase{"GarbageRecord", L"garbage", "", "", {"GUID", DuvexTest::kFetch}},
        // 70 letters without a terminating zero: all 70 are the identifier.
        ModeCase{"UnterminatedRecord", L"unterminated", "abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqr",
                 "abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqr", {"GUID", DuvexTest::kFetch}}),
    [](const testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.name); });

TEST_F(DuvexTest, ALibraryWithoutTheInitialisationExportIsRefused) {
  DuvexLoader loader;
  const std::wstring folder = testing_process::DosPath(QL_DUVEX_NO_INIT_DIR);
  EXPECT_EQ(loader.Init({}, false, folder.c_str()), kDuvexNoInitExport);
  EXPECT_EQ(loader.GetIdRecord()[0], '\0');  // never initialised: "b" is not called
}

TEST_F(DuvexTest, LoadCodes) {
  DuvexLoader loader;
  int code = -1;
  EXPECT_EQ(loader.Load(nullptr, code), nullptr);
  EXPECT_EQ(code, kDuvexNoFolder);
  EXPECT_EQ(loader.Load(L"C:\\no\\such\\folder", code), nullptr);
  EXPECT_EQ(code, kDuvexMissing);
  const HMODULE module = loader.Load(L"", code);  // this program's folder
  EXPECT_NE(module, nullptr);
  EXPECT_EQ(code, kDuvexOk);
  EXPECT_EQ(loader.Load(nullptr, code), module);  // already loaded
  EXPECT_EQ(code, kDuvexOk);
}

struct EscapeCase {
  const char* name;
  std::string text;
  std::string escaped;
};

void PrintTo(const EscapeCase& c, std::ostream* os) { *os << c.name; }

class EscapeJsonStringTest : public testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeJsonStringTest, Table) { EXPECT_EQ(EscapeJsonString(GetParam().text), GetParam().escaped); }

INSTANTIATE_TEST_SUITE_P(
    Cases, EscapeJsonStringTest,
    testing::Values(EscapeCase{"Empty", "", ""}, EscapeCase{"Plain", "plain 0123abcdef", "plain 0123abcdef"},
                    EscapeCase{"LineFeedAndByteOne", "a\nb\x01", "a\\nb\\u0001"}, EscapeCase{"QuoteAndBackslash", "q\"b\\", "q\\\"b\\\\"},
                    EscapeCase{"ShortEscapes", "\b\f\r\t\x1F", "\\b\\f\\r\\t\\u001F"},
                    EscapeCase{"HighBytesKept", "del\x7F high\xC3\xA9", "del\x7F high\xC3\xA9"},
                    EscapeCase{"Byte127AndLineFeed", "\x7F\n", "\x7F\\n"},
                    // Without anything to escape the text is returned whole;
                    // otherwise it ends at its first zero byte.
                    EscapeCase{"ZeroKeptWhenNothingToEscape", std::string("a\0b", 3), std::string("a\0b", 3)},
                    EscapeCase{"ZeroEndsAnEscapedText", std::string("a\n\0b", 4), "a\\n"}),
    [](const testing::TestParamInfo<EscapeCase>& info) { return std::string(info.param.name); });

TEST(BuildDuvexOptionsJsonTest, KeysInOrderValuesEscapedNoBlanks) {
  EXPECT_EQ(BuildDuvexOptionsJson({}), "{}");
  EXPECT_EQ(BuildDuvexOptionsJson({{"GUID", "0123456789abcdef0123456789abcdef"}}),
            "{\"GUID\":\"0123456789abcdef0123456789abcdef\"}");
  EXPECT_EQ(BuildDuvexOptionsJson({{"b", "x\ny"}, {"a", "1"}}), "{\"a\":\"1\",\"b\":\"x\\ny\"}");
}

}  // namespace
}  // namespace probes
