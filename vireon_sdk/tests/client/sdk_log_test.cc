// The SDK log's lines, its closing line and its rotation, written by a real
// writer thread into a file of a temporary folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "testing/telemetry/collector_rig.h"
#include "vireon_sdk/src/utils/log/sdk_log.h"

namespace vireon {
namespace {

// These tests write their own logs into temporary folders. The process-wide
// log (on until a host's InitSDK says otherwise) would put the lines of the
// other tests of this program beside it in the build tree.
class QuietProcessLog : public testing::Environment {
 public:
  void SetUp() override { SetLogOff(); }
};
const auto* const kQuiet = testing::AddGlobalTestEnvironment(new QuietProcessLog);

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream stream(text);
  std::string line;
  while (std::getline(stream, line)) lines.push_back(line);
  return lines;
}

const std::regex kLinePattern(
    R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3} \[tid=\d+\]\[(Info|Warn|Error)\]\[[^\]]*\] .*\r)");

TEST(SdkLogTest, WritesFormattedLinesBetweenStartAndEnd) {
  telemetry_rig::TempDir dir;
  const std::wstring path = dir.path() + L"\\vireon_report.log";
  {
    Logger logger(path);
    logger.Write(kLogInfo, "C:\\src\\report\\transport_mgr.cc", "TransportMgr::InitDB", 57, 4412,
                 L"Storage init failed \u4e2d");
    logger.Write(kLogWarn, "vireon_sdk/src/report/client.cc", "F", 1, 1, L"w");
    logger.Write(kLogError, "plain.cc", "G", 2, 2, L"e");
  }
  const auto lines = Lines(ReadAll(path));
  ASSERT_EQ(lines.size(), 5u) << ReadAll(path);
  for (size_t i = 0; i + 1 < lines.size(); ++i) EXPECT_TRUE(std::regex_match(lines[i], kLinePattern)) << lines[i];
  EXPECT_NE(lines[0].find("][Info][sdk_log.cc:Vireon::Logger::Start@:"), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("] Start...\r"), std::string::npos);
  EXPECT_NE(lines[1].find(" [tid=4412][Info][transport_mgr.cc:TransportMgr::InitDB@:57] Storage init failed "
                          "\xE4\xB8\xAD\r"),
            std::string::npos)
      << lines[1];
  EXPECT_NE(lines[2].find("[Warn][client.cc:F@:1] w\r"), std::string::npos) << lines[2];
  EXPECT_NE(lines[3].find("[Error][plain.cc:G@:2] e\r"), std::string::npos) << lines[3];
  EXPECT_TRUE(std::regex_match(lines[4], std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3} End\.\.\.\r)")))
      << lines[4];
}

TEST(SdkLogTest, LevelsZeroAndOneBothPrintInfo) {
  EXPECT_STREQ(LogLevelName(kLogStart), "Info");
  EXPECT_STREQ(LogLevelName(kLogInfo), "Info");
  EXPECT_STREQ(LogLevelName(kLogWarn), "Warn");
  EXPECT_STREQ(LogLevelName(kLogError), "Error");
}

TEST(SdkLogTest, CutsLongNamesAndAppendsToAnExistingFile) {
  telemetry_rig::TempDir dir;
  const std::wstring path = dir.path() + L"\\vireon_report.log";
  std::ofstream(std::filesystem::path(path), std::ios::binary) << "earlier run\r\n";
  {
    Logger logger(path);
    logger.Write(kLogInfo, std::string(400, 'f'), std::string(400, 'g'), 3, 3, L"m");
  }
  const auto lines = Lines(ReadAll(path));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "earlier run\r");
  std::string names = "[";
  names.append(259, 'f').append(1, ':').append(259, 'g').append("@:3] m");
  EXPECT_NE(lines[2].find(names), std::string::npos);
}

TEST(SdkLogTest, FormatsTheDateWithZeroPadding) {
  LocalDateTime time;
  time.year = 2024;
  time.month = 5;
  time.day = 6;
  time.hour = 7;
  time.minute = 8;
  time.second = 9;
  time.millisecond = 10;
  EXPECT_EQ(FormatDateTime(time), "2024-05-06 07:08:09:010");
}

TEST(SdkLogTest, LocalTimeAgreesWithTheSystemClock) {
  SYSTEMTIME before{};
  ::GetLocalTime(&before);
  const LocalDateTime now = GetLocalDateTime();
  EXPECT_EQ(now.year, before.wYear);
  EXPECT_EQ(now.day_of_week, before.wDayOfWeek + 1);  // Sunday is 1
  EXPECT_GE(now.millisecond, 0);
  EXPECT_LT(now.millisecond, 1000);
  const auto since_epoch = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
  EXPECT_NEAR(static_cast<double>(now.epoch_ms), static_cast<double>(since_epoch), 2000.0);
}

TEST(SdkLogTest, MovesAFilePastEightMebibytesToTheBackupAndStartsAfresh) {
  telemetry_rig::TempDir dir;
  const std::wstring path = dir.path() + L"\\vireon_report.log";
  const std::string filler(Logger::kRotateBytes + 10, 'x');
  std::ofstream(std::filesystem::path(path), std::ios::binary) << filler;
  std::ofstream(std::filesystem::path(path + L".bak"), std::ios::binary) << "older backup";
  {
    Logger logger(path);
    // The first batch ("Start...") crosses the limit; wait for the rotation
    // before the next line, so the line lands in the new file.
    ASSERT_TRUE(telemetry_rig::WaitFor(
        [&] { return std::filesystem::exists(path + L".bak") && std::filesystem::file_size(path + L".bak") > 100; },
        std::chrono::seconds(10)));
    ASSERT_TRUE(telemetry_rig::WaitFor([&] { return std::filesystem::exists(path); }, std::chrono::seconds(10)));
    logger.Write(kLogInfo, "f.cc", "After", 1, 1, L"after rotation");
  }
  const std::string backup = ReadAll(path + L".bak");
  EXPECT_EQ(backup.compare(0, filler.size(), filler), 0);
  EXPECT_NE(backup.find("Start..."), std::string::npos);
  const std::string fresh = ReadAll(path);
  EXPECT_LT(fresh.size(), 4096u);
  EXPECT_NE(fresh.find("after rotation"), std::string::npos);
  EXPECT_NE(fresh.find(" End..."), std::string::npos);
}

TEST(SdkLogTest, ABatchThatCrossesTheLimitEndsUpInTheBackupAndLateLinesAreDropped) {
  telemetry_rig::TempDir dir;
  const std::wstring path = dir.path() + L"\\vireon_report.log";
  {
    Logger logger(path);
    ASSERT_TRUE(telemetry_rig::WaitFor([&] { return std::filesystem::exists(path); }, std::chrono::seconds(10)));
    logger.Write(kLogInfo, "f.cc", "Big", 1, 1, std::wstring(Logger::kRotateBytes, L'y'));
    logger.Close();
    logger.Write(kLogInfo, "f.cc", "Late", 1, 1, L"too late");
  }
  // Whether the writer rotated after the batch or, closing, after its last
  // line, the big batch is in the backup and the log is small again.
  const std::string backup = ReadAll(path + L".bak");
  EXPECT_GT(backup.size(), static_cast<size_t>(Logger::kRotateBytes));
  EXPECT_NE(backup.find("[f.cc:Big@:1] yyyy"), std::string::npos);
  const std::string rest = std::filesystem::exists(path) ? ReadAll(path) : std::string();
  EXPECT_LT(rest.size(), 4096u);
  EXPECT_NE((backup + rest).find(" End..."), std::string::npos);
  EXPECT_EQ((backup + rest).find("too late"), std::string::npos);
}

}  // namespace
}  // namespace vireon
