#include "base/product_log.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "base/scoped_handle.h"
#include "base/text_conversion.h"

namespace base {
namespace {

namespace fs = std::filesystem;
using namespace std::literals;

const std::string kRule(65, '=');
const std::string kStamp = R"(\[\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] )";

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// Every case points TMP and TEMP at a folder of its own before Start, so
// cases never share a log file and may run in parallel.
class ProductLogTest : public testing::Test {
 protected:
  void SetUp() override {
    saved_tmp_ = ReadVariable(L"TMP");
    saved_temp_ = ReadVariable(L"TEMP");
    wchar_t temp[MAX_PATH + 1] = {};
    ASSERT_NE(::GetTempPathW(MAX_PATH + 1, temp), 0u);
    root_ = fs::path(temp) /
            (L"ql-product-log-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
             Utf8ToWide(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(root_);
    ASSERT_TRUE(::SetEnvironmentVariableW(L"TMP", root_.c_str()));
    ASSERT_TRUE(::SetEnvironmentVariableW(L"TEMP", root_.c_str()));
  }
  void TearDown() override {
    ProductLogger::GetInstance().Stop();
    ::SetEnvironmentVariableW(L"TMP", saved_tmp_ ? saved_tmp_->c_str() : nullptr);
    ::SetEnvironmentVariableW(L"TEMP", saved_temp_ ? saved_temp_->c_str() : nullptr);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  static std::optional<std::wstring> ReadVariable(const wchar_t* name) {
    wchar_t value[32768];
    const DWORD length = ::GetEnvironmentVariableW(name, value, 32768);
    if (length == 0 || length >= 32768) return std::nullopt;
    return std::wstring(value, length);
  }
  fs::path Folder() const { return root_ / L"Orvalis" / L"Quillorane"; }
  fs::path LogPath() const { return Folder() / L"foundation_test.log"; }
  static void Start() { ProductLogger::GetInstance().Start("foundation_test", std::ios::app); }
  std::string ReadLog() const {
    std::ifstream in(LogPath(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string RecordPattern(std::string_view function, std::string_view message) const {
    return kStamp + R"(\[)" + std::to_string(::GetCurrentThreadId()) + R"(\.)" +
           std::to_string(::GetCurrentProcessId()) + R"(\]\[)" + std::string(function) + R"(\]: )" +
           std::string(message);
  }

  fs::path root_;
  std::optional<std::wstring> saved_tmp_;
  std::optional<std::wstring> saved_temp_;
};

struct Service {
  void Initialize(int step) { PRODUCT_LOG("step {} of {}", step, "init"); }
};

void LogTheArgumentListsInUse() {
  PRODUCT_LOG("no placeholders");
  PRODUCT_LOG("text {}", std::string("value"));
  PRODUCT_LOG("u64 {}", std::uint64_t{18446744073709551615u});
  PRODUCT_LOG("{} and {}", "c-string", std::string("text"));
  PRODUCT_LOG("{} {}", std::uint64_t{1}, std::uint64_t{2});
  PRODUCT_LOG("{} {}", std::int32_t{-1}, std::int32_t{2147483647});
  PRODUCT_LOG("braces {{}} stay {}", "single");
  PRODUCT_LOG("utf-8 {}", "\xE5\xAE\x89\xE8\xA3\x85");
}

TEST_F(ProductLogTest, OneRunIsOneBlockBetweenBanners) {
  PRODUCT_LOG("before start");
  Start();
  EXPECT_EQ(ProductLogger::GetInstance().path(), LogPath());
  LogTheArgumentListsInUse();
  Service().Initialize(3);
  [] { PRODUCT_LOG("inside a lambda"); }();
  ProductLogger::GetInstance().Stop();
  PRODUCT_LOG("after stop");
  ProductLogger::GetInstance().Stop();  // no second end banner

  const std::string log = ReadLog();
  EXPECT_EQ(log.find('\r'), std::string::npos);
  ASSERT_TRUE(log.starts_with("\n\n" + kRule + "\n")) << log;
  ASSERT_TRUE(log.ends_with("\n" + kRule + "\n")) << log;

  const std::vector<std::string> lines = SplitLines(log);
  const std::vector<std::string> expected = {
      "",
      "",
      kRule,
      kStamp + " log start",
      RecordPattern("LogTheArgumentListsInUse", "no placeholders"),
      RecordPattern("LogTheArgumentListsInUse", "text value"),
      RecordPattern("LogTheArgumentListsInUse", "u64 18446744073709551615"),
      RecordPattern("LogTheArgumentListsInUse", "c-string and text"),
      RecordPattern("LogTheArgumentListsInUse", "1 2"),
      RecordPattern("LogTheArgumentListsInUse", "-1 2147483647"),
      RecordPattern("LogTheArgumentListsInUse", R"(braces \{\} stay single)"),
      RecordPattern("LogTheArgumentListsInUse", "utf-8 \xE5\xAE\x89\xE8\xA3\x85"),
      RecordPattern("Initialize", "step 3 of init"),
      RecordPattern("operator \\(\\)", "inside a lambda"),
      kStamp + " log end",
      kRule,
  };
  ASSERT_EQ(lines.size(), expected.size()) << log;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_TRUE(std::regex_match(lines[i], std::regex(expected[i])))
        << "line " << i << ": " << lines[i] << "\nexpected: " << expected[i];
  }
}

TEST_F(ProductLogTest, TwoRunsAppendTwoBlocks) {
  for (const char* run : {"first", "second"}) {
    Start();
    PRODUCT_LOG("run {}", run);
    ProductLogger::GetInstance().Stop();
  }
  const std::string block = "\n\n" + kRule + "\n" + kStamp + " log start\n" +
                            RecordPattern("TestBody", "run (first|second)") + "\n" + kStamp +
                            " log end\n" + kRule + "\n";
  const std::string log = ReadLog();
  EXPECT_TRUE(std::regex_match(log, std::regex(block + block))) << log;
  EXPECT_LT(log.find("run first"), log.find("run second"));
}

TEST_F(ProductLogTest, ThreadsWriteWholeLinesInTimeOrder) {
  constexpr int kThreads = 8;
  constexpr int kRecords = 250;
  Start();
  std::vector<std::string> ids(kThreads);
  {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([t, &ids] {
        ids[t] = std::to_string(::GetCurrentThreadId());
        for (int i = 0; i < kRecords; ++i) PRODUCT_LOG("thread {} record {:04} {}", t, i, std::string(40, 'x'));
      });
    }
    for (std::thread& thread : threads) thread.join();
  }
  ProductLogger::GetInstance().Stop();

  const std::vector<std::string> lines = SplitLines(ReadLog());
  ASSERT_EQ(lines.size(), 4u + kThreads * kRecords + 2u);
  const std::regex record(R"((\[\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\]) \[(\d+)\.)" +
                          std::to_string(::GetCurrentProcessId()) +
                          R"(\]\[operator \(\)\]: thread (\d) record (\d{4}) x{40})");
  std::vector<int> next(kThreads, 0);
  std::string last_stamp;
  for (std::size_t i = 4; i < 4 + kThreads * kRecords; ++i) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[i], m, record)) << lines[i];
    ASSERT_GE(m[1].str(), last_stamp) << lines[i];
    last_stamp = m[1];
    const int t = std::stoi(m[3]);
    ASSERT_EQ(m[2].str(), ids[t]) << lines[i];
    ASSERT_EQ(std::stoi(m[4]), next[t]++) << lines[i];
  }
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(next[t], kRecords) << t;
}

TEST_F(ProductLogTest, FileInPlaceOfTheFolderIsReplaced) {
  fs::create_directories(Folder().parent_path());
  std::ofstream(Folder()) << "not a folder";
  ASSERT_TRUE(fs::is_regular_file(Folder()));

  Start();
  PRODUCT_LOG("written");
  ProductLogger::GetInstance().Stop();
  EXPECT_TRUE(fs::is_directory(Folder()));
  EXPECT_NE(ReadLog().find("]: written\n"), std::string::npos);
}

TEST_F(ProductLogTest, LinesReachTheFileWhileRunningAndOthersMayOpenIt) {
  Start();
  PRODUCT_LOG("visible before stop");
  ScopedKernelHandle reader(::CreateFileW(LogPath().c_str(), GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_TRUE(reader) << ::GetLastError();
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (ReadLog().find("visible before stop") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_NE(ReadLog().find("visible before stop"), std::string::npos);
  EXPECT_EQ(ReadLog().find("log end"), std::string::npos);
}

TEST_F(ProductLogTest, AWriterThreadThatCannotStartLeavesTheLogOffAndSaysSo) {
  const auto no_thread = [](std::function<void()>) -> std::thread {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  };
  EXPECT_EQ(ProductLogger::GetInstance().Start("foundation_test", std::ios::app, no_thread),
            LogStartResult::kNoWriterThread);
  PRODUCT_LOG("dropped while off");
  ProductLogger::GetInstance().Push("pushed while off");
  ProductLogger::GetInstance().Stop();

  // Nothing is left half started: the next start works.
  EXPECT_EQ(ProductLogger::GetInstance().Start("foundation_test", std::ios::app), LogStartResult::kStarted);
  EXPECT_EQ(ProductLogger::GetInstance().Start("foundation_test", std::ios::app), LogStartResult::kAlreadyStarted);
  PRODUCT_LOG("logged once started");
  ProductLogger::GetInstance().Stop();
  const std::string log = ReadLog();
  EXPECT_NE(log.find("]: logged once started\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("while off"), std::string::npos) << log;
  EXPECT_EQ(SplitLines(log).size(), 7u) << log;  // one block: two blank lines, rule, start, record, end, rule
}

TEST_F(ProductLogTest, UnopenableFileIsNotAnError) {
  fs::create_directories(LogPath());  // a folder where the file should be
  Start();
  PRODUCT_LOG("goes nowhere");
  ProductLogger::GetInstance().Stop();
  EXPECT_TRUE(fs::is_directory(LogPath()));
  EXPECT_TRUE(fs::is_empty(LogPath()));

  // The next run, with the way clear, logs normally.
  fs::remove(LogPath());
  Start();
  PRODUCT_LOG("goes to the file");
  ProductLogger::GetInstance().Stop();
  EXPECT_NE(ReadLog().find("]: goes to the file\n"), std::string::npos);
}

// A caller that logs between a failing call and its GetLastError still reads
// its own error; and a thread is marked inside the logger only while in it.
TEST_F(ProductLogTest, LoggingKeepsTheCallersLastError) {
  Start();
  ::SetLastError(ERROR_SHARING_VIOLATION);
  PRODUCT_LOG("between a failure and its error code");
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(ProductLogger::InsideOnThisThread());
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  ProductLogger::GetInstance().Stop();
  EXPECT_NE(ReadLog().find("]: between a failure and its error code\n"), std::string::npos);
}

std::chrono::system_clock::time_point LocalTime(int month, int day, int hour, int minute, int second,
                                                int millisecond) {
  std::tm parts = {};
  parts.tm_year = 2024 - 1900;
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  parts.tm_hour = hour;
  parts.tm_min = minute;
  parts.tm_sec = second;
  parts.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&parts)) +
         std::chrono::milliseconds(millisecond);
}

TEST(LogTimestampTest, TwoDigitFieldsAndThreeDigitMilliseconds) {
  EXPECT_EQ(FormatLogTimestamp(LocalTime(3, 7, 9, 5, 1, 7)), "[03-07 09:05:01.007] ");
  EXPECT_EQ(FormatLogTimestamp(LocalTime(12, 31, 23, 59, 59, 999)), "[12-31 23:59:59.999] ");
  EXPECT_EQ(FormatLogTimestamp(LocalTime(1, 1, 0, 0, 0, 0)), "[01-01 00:00:00.000] ");
  EXPECT_EQ(FormatLogTimestamp(LocalTime(6, 15, 12, 30, 0, 42)), "[06-15 12:30:00.042] ");
  EXPECT_TRUE(std::regex_match(FormatLogTimestamp(), std::regex(kStamp)));
}

}  // namespace
}  // namespace base
