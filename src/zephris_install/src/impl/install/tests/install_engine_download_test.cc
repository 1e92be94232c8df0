// The download stage's failures and controls, against the web API stand-in's
// test modes and the fault server: download-only runs (nothing is unpacked
// or registered), each in a process of its own.
#include <windows.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "base/file_md5.h"
#include "src/zephris_install/src/impl/install/tests/engine_test_rig.h"

namespace engine_testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr wchar_t kDownloadOnly[] = L"--install-action 1";

// The client-update request's failures: the web API's test modes and
// answers the engine must refuse.
struct UpdateCase {
  const char* name;
  const char* mode;    // a test mode, or nullptr
  const char* answer;  // a raw answer, or nullptr
  int result;
};

void PrintTo(const UpdateCase& c, std::ostream* os) { *os << c.name; }

class UpdateRequestTest : public EngineTest, public testing::WithParamInterface<UpdateCase> {};

TEST_P(UpdateRequestTest, EndsWithItsResultCode) {
  const UpdateCase& c = GetParam();
  if (c.mode) SetMode(c.mode);
  if (c.answer) AnswerRaw(c.answer);
  const Outcome outcome = Run(kDownloadOnly);
  EXPECT_EQ(outcome.exit_code, c.result) << outcome.log;
  EXPECT_EQ(outcome.StatusCodes(), (std::vector<int>{1, 100}));
  EXPECT_NE(outcome.log.find("request compinfo fail"), std::string::npos) << outcome.log;
  if (c.result == 1) {
    // Fifteen libcurl attempts, then WinHTTP once; both saw the 503.
    EXPECT_EQ(CountOf(outcome.log, "retry update api"), 15u) << outcome.log;
    EXPECT_EQ(outcome.out["detail_code_0"], 503);
    EXPECT_EQ(outcome.out["detail_code_2"], 503);
  } else {
    EXPECT_EQ(CountOf(outcome.log, "retry update api"), 1u) << outcome.log;
  }
  EXPECT_TRUE(fs::is_empty(ComponentDir())) << "nothing downloaded";
}

constexpr char kBadName[] =
    R"({"code":0,"data":{"version":"1","components":[{"size":1,"type":1,"name":"..\\evil","url":"http://127.0.0.1:1/x","md5":"00","version":"1"}]}})";
constexpr char kDotName[] =
    R"({"code":0,"data":{"version":"1","components":[{"size":1,"type":1,"name":"..","url":"http://127.0.0.1:1/x","md5":"00","version":"1"}]}})";
constexpr char kSlashName[] =
    R"({"code":0,"data":{"version":"1","components":[{"size":1,"type":1,"name":"a/b","url":"http://127.0.0.1:1/x","md5":"00","version":"1"}]}})";

INSTANTIATE_TEST_SUITE_P(
    Cases, UpdateRequestTest,
    testing::Values(UpdateCase{"ServerError", "server_error", nullptr, 1},
                    UpdateCase{"NotJson", "not_json", nullptr, 6},
                    UpdateCase{"ErrorCode", "error_code", nullptr, 6},
                    UpdateCase{"EmptyComponents", "empty_components", nullptr, 6},
                    UpdateCase{"NameWithBackslash", nullptr, kBadName, 6},
                    UpdateCase{"NameDotDot", nullptr, kDotName, 6},
                    UpdateCase{"NameWithSlash", nullptr, kSlashName, 6}),
    [](const testing::TestParamInfo<UpdateCase>& info) { return std::string(info.param.name); });

// The fault server's modes on the archive's download. Where the downloader
// or the WinHTTP fallback legitimately gets the whole file, the run succeeds.
struct DownloadCase {
  const char* name;
  const char* query;  // fault server query, "" for none
  bool wrong_md5;
  int result;
  const char* log;  // a line the run must have logged
};

void PrintTo(const DownloadCase& c, std::ostream* os) { *os << c.name; }

class DownloadFaultTest : public EngineTest, public testing::WithParamInterface<DownloadCase> {};

TEST_P(DownloadFaultTest, EndsWithItsResultCode) {
  const DownloadCase& c = GetParam();
  std::string query = c.query;
  const std::string length = "{length}";
  if (const size_t at = query.find(length); at != std::string::npos) {
    query.replace(at, length.size(), std::to_string(fs::file_size(RigArchive("engine-test-client")) + 4096));
  }
  json component = Component("client", 1, "engine-test-client", FaultUrl("engine-test-client", query));
  if (c.wrong_md5) component["md5"] = "0123456789abcdef0123456789abcdef";
  AnswerComponents(json::array({component}));

  const Outcome outcome = Run(kDownloadOnly);
  EXPECT_EQ(outcome.exit_code, c.result) << outcome.log;
  EXPECT_EQ(outcome.StatusCodes().back(), c.result == 0 ? 8 : 100) << outcome.out.dump();
  EXPECT_NE(outcome.log.find(c.log), std::string::npos) << outcome.log;
  if (c.result == 0) {
    EXPECT_EQ(base::FileMd5Hex(ComponentDir() / "client.7z"), base::FileMd5Hex(RigArchive("engine-test-client")));
  }
  if (c.result == 2) {
    EXPECT_EQ(CountOf(outcome.log, "download 15 times"), 1u) << outcome.log;
    EXPECT_EQ(CountOf(outcome.log, "download 16 times"), 0u) << outcome.log;
    EXPECT_NE(outcome.out["detail_code_0"], 0);
  }
  if (c.result == 7) {
    EXPECT_EQ(outcome.out["error_message"], component["url"]);
    EXPECT_EQ(outcome.out["detail_code_0"], 1);
    // The MD5 reported is the downloaded file's own, however it was taken.
    EXPECT_EQ(outcome.out["error_message_1"], base::FileMd5Hex(ComponentDir() / "client.7z"));
    EXPECT_EQ(outcome.out["error_message_1"], base::FileMd5Hex(RigArchive("engine-test-client")));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DownloadFaultTest,
    testing::Values(
        DownloadCase{"ServerError", "status=503", false, 2, "winhttp download error, httpcode 503"},
        DownloadCase{"ConnectionReset", "reset=300", false, 2, "winhttp download error"},
        DownloadCase{"RangeIgnored", "norange=1", false, 0, "download success client"},
        DownloadCase{"LyingLength", "body_length={length}", false, 2, "winhttp download error"},
        DownloadCase{"StallShakenLoose", "stall=300&times=1", false, 0, "resume courier 1 times"},
        DownloadCase{"ChecksumMismatch", "", true, 7, "compare md5 fail"}),
    [](const testing::TestParamInfo<DownloadCase>& info) { return std::string(info.param.name); });

// Controls of the front end during the download stage.
class DownloadControlTest : public EngineTest {};

TEST_F(DownloadControlTest, StopDuringTheDownloadCancels) {
  AnswerComponents(
      json::array({Component("client", 1, "engine-test-big", RateUrl("engine-test-big", "256k"))}));
  const Outcome outcome = Run(kDownloadOnly, L"stop-on-download");
  EXPECT_EQ(outcome.exit_code, 102) << outcome.log;
  EXPECT_EQ(outcome.StatusCodes().back(), 101);
  EXPECT_EQ(CountOf(outcome.log, "download 1 times, result 12"), 1u) << outcome.log;
  EXPECT_EQ(outcome.log.find("winhttp download"), std::string::npos) << "no fallback after a stop";
}

// A stop reaches the pauses between the update request's attempts.
TEST_F(DownloadControlTest, StopDuringTheUpdateRetriesCancels) {
  SetMode("server_error");
  const Outcome outcome = Run(kDownloadOnly, L"stop-after-ms=3000");
  EXPECT_EQ(outcome.exit_code, 102) << outcome.log;
  EXPECT_EQ(outcome.StatusCodes().back(), 101);
  EXPECT_LT(CountOf(outcome.log, "retry update api"), 15u) << outcome.log;
  EXPECT_EQ(outcome.log.find("winhttp post error"), std::string::npos) << outcome.log;
}

// A stop reaches the pauses between download attempts.
TEST_F(DownloadControlTest, StopBetweenDownloadAttemptsCancels) {
  AnswerComponents(json::array({Component("client", 1, "engine-test-client", FaultUrl("engine-test-client",
                                                                                      "status=503"))}));
  const Outcome outcome = Run(kDownloadOnly, L"stop-after-ms=3000");
  EXPECT_EQ(outcome.exit_code, 102) << outcome.log;
  EXPECT_EQ(outcome.StatusCodes().back(), 101);
  EXPECT_EQ(outcome.log.find("winhttp download"), std::string::npos) << outcome.log;
}

// Sizes the list does not know (0) give 0 percent, never a division by zero.
TEST_F(DownloadControlTest, UnknownSizesGiveZeroPercent) {
  json component = Component("client", 1, "engine-test-big", RateUrl("engine-test-big", "512k"));
  component["size"] = 0;
  AnswerComponents(json::array({component}));
  const Outcome outcome = Run(kDownloadOnly);
  ASSERT_EQ(outcome.exit_code, 0) << outcome.log;
  size_t progress = 0;
  for (const json& status : outcome.out["statuses"]) {
    if (status["code"] != 3) continue;
    ++progress;
    ASSERT_TRUE(status["percent"].is_number()) << status.dump();
    EXPECT_EQ(status["percent"].get<double>(), 0.0) << status.dump();
  }
  EXPECT_GT(progress, 0u) << "a slow download reports its progress";
}

}  // namespace
}  // namespace engine_testing
