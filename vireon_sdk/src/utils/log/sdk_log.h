// The telemetry client's own diagnostic log, apart from the product log: the
// file "vireon_report.log" beside the executable, written by one writer
// thread from a queue and moved to "vireon_report.log.bak" once it passes
// 8 MiB. It is a debug log: InitSDK switches it off for good unless the
// configuration asks for debug mode.
//
//   VIREON_LOG(vireon::kLogError, "TransportMgr::InitDB") << "Storage init failed";
//
// gives a line like
//   2024-05-06 07:08:09:010 [tid=4412][Error][transport_mgr.cc:TransportMgr::InitDB@:57] Storage init failed
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace vireon {

enum LogLevel : int32_t {
  kLogStart = 0,  // the logger's own first line
  kLogInfo = 1,
  kLogWarn = 2,
  kLogError = 3,
};

// The name a level prints ("Info" for both 0 and 1).
const char* LogLevelName(int32_t level);

struct LocalDateTime {
  int32_t year = 0;
  int32_t month = 0;         // 1-12
  int32_t day_of_week = 0;   // 1-7, Sunday is 1
  int32_t day = 0;           // day of the month
  int32_t day_of_year = 0;   // 0-365
  int32_t hour = 0;
  int32_t minute = 0;
  int32_t second = 0;
  int32_t millisecond = 0;
  int64_t epoch_ms = 0;      // ms since 1970-01-01 UTC
};

LocalDateTime GetLocalDateTime();
// "YYYY-MM-DD hh:mm:ss:mmm"
std::string FormatDateTime(const LocalDateTime& time);

// The process-wide switch. Once off (InitSDK without debug), statements do
// nothing for the rest of the process and the logger is never created.
void SetLogOff();
bool LoggingOn();

struct LogRecord {
  int32_t level = 0;
  std::string file;      // at most 259 characters
  std::string function;  // at most 259 characters
  int32_t line = 0;
  uint32_t thread_id = 0;
  std::wstring message;
  LocalDateTime time;
};

// One formatted line of the file, without the line end.
std::string FormatLogLine(const LogRecord& record);

class Logger {
 public:
  static constexpr int64_t kRotateBytes = 8 * 1024 * 1024;

  // The process-wide logger beside the executable, started on first use and
  // closed at process exit (its last batch and an " End..." line written).
  static Logger& Instance();

  // A logger writing to `path`: starts the writer and queues "Start...".
  explicit Logger(std::wstring path);
  // Closes (see Close) and waits for the writer.
  ~Logger();
  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  void Write(int32_t level, std::string_view file, std::string_view function, int32_t line, uint32_t thread_id,
             std::wstring message);

  // The writer writes what it has, the closing line, closes the file and
  // ends; records written later are dropped. Safe to call twice.
  void Close();

  const std::wstring& path() const { return path_; }

  // The ".bak" copy replaces any older one; failures are ignored.
  static void Rotate(const std::wstring& path);

 private:
  void WriterLoop();

  const std::wstring path_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::unique_ptr<LogRecord>> queue_;
  std::atomic<bool> closing_{false};
  std::thread writer_;
};

// One statement: texts are appended, and the whole line is queued when the
// statement ends. Does nothing while logging is off.
class LogStatement {
 public:
  LogStatement(int32_t level, const char* file, const char* function, int32_t line);
  ~LogStatement();
  LogStatement(const LogStatement&) = delete;
  LogStatement& operator=(const LogStatement&) = delete;

  LogStatement& Append(const char* utf8, size_t length);
  LogStatement& operator<<(std::string_view utf8) { return Append(utf8.data(), utf8.size()); }
  LogStatement& operator<<(const char* utf8);
  LogStatement& operator<<(int64_t number);
  LogStatement& operator<<(uint64_t number);
  LogStatement& operator<<(int number) { return *this << static_cast<int64_t>(number); }
  LogStatement& operator<<(unsigned number) { return *this << static_cast<uint64_t>(number); }

 private:
  const bool on_;
  int32_t level_;
  const char* file_;
  const char* function_;
  int32_t line_;
  std::wstring message_;
};

}  // namespace vireon

#define VIREON_LOG(level, function) ::vireon::LogStatement((level), __FILE__, (function), __LINE__)
