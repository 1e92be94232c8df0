#include "vireon_sdk/src/utils/log/sdk_log.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "vireon_sdk/src/utils/guarded.h"
#include "vireon_sdk/src/utils/string_conv.h"

namespace vireon {
namespace {

constexpr size_t kMaxNameLength = 259;
constexpr int64_t kUnixEpochIn100ns = 116444736000000000LL;

std::atomic<bool> g_log_off{false};
std::atomic<bool> g_closing{false};

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// Text mode: each "\n" is stored as a carriage return and a line feed.
File OpenLog(const std::wstring& path, const wchar_t* mode) { return File(::_wfopen(path.c_str(), mode)); }

std::string Cut(std::string_view text) { return std::string(text.substr(0, kMaxNameLength)); }

// The executable's folder and "vireon_report.log".
std::wstring DefaultLogPath() {
  wchar_t module[MAX_PATH + 1] = {};
  wchar_t full[MAX_PATH + 1] = {};
  ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  ::GetFullPathNameW(module, MAX_PATH, full, nullptr);
  std::wstring path = full;
  const size_t slash = path.rfind(L'\\');
  path.resize(slash == std::wstring::npos ? 0 : slash);
  return path + L"\\vireon_report.log";
}

int64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void WriteText(FILE* file, const std::string& text) {
  if (file != nullptr) std::fwrite(text.data(), 1, text.size(), file);
}

}  // namespace

const char* LogLevelName(int32_t level) {
  switch (level) {
    case kLogStart:
    case kLogInfo: return "Info";
    case kLogWarn: return "Warn";
    case kLogError: return "Error";
    default: return "";
  }
}

LocalDateTime GetLocalDateTime() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  const int64_t since_1601 = (static_cast<int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  const int64_t since_1970 = since_1601 - kUnixEpochIn100ns;
  const int64_t seconds = since_1970 / 10000000;
  LocalDateTime out;
  const __time64_t whole = seconds;
  std::tm local{};
  if (::_localtime64_s(&local, &whole) == 0) {
    out.year = local.tm_year + 1900;
    out.month = local.tm_mon + 1;
    out.day_of_week = local.tm_wday + 1;
    out.day = local.tm_mday;
    out.day_of_year = local.tm_yday;
    out.hour = local.tm_hour;
    out.minute = local.tm_min;
    out.second = local.tm_sec;
  }
  out.millisecond = static_cast<int32_t>(since_1970 / 10000 - seconds * 1000);
  out.epoch_ms = since_1970 / 10000;
  return out;
}

std::string FormatDateTime(const LocalDateTime& time) {
  char buffer[32] = {};
  std::snprintf(buffer, sizeof(buffer), "%04d-%02d-%02d %02d:%02d:%02d:%03d", time.year, time.month, time.day,
                time.hour, time.minute, time.second, time.millisecond);
  return buffer;
}

void SetLogOff() { g_log_off.store(true); }

bool LoggingOn() { return !g_log_off.load(std::memory_order_relaxed) && !g_closing.load(std::memory_order_relaxed); }

std::string FormatLogLine(const LogRecord& record) {
  // The build's source paths use "/", a Windows one "\": the name is what
  // follows the last of either.
  const size_t separator = record.file.find_last_of("\\/");
  const std::string file_name = separator == std::string::npos ? record.file : record.file.substr(separator + 1);
  char head[64] = {};
  std::snprintf(head, sizeof(head), " [tid=%u][%s][", static_cast<unsigned>(record.thread_id),
                LogLevelName(record.level));
  std::string line = FormatDateTime(record.time);
  line += head;
  line += file_name;
  line += ':';
  line += record.function;
  line += "@:";
  line += std::to_string(record.line);
  line += "] ";
  line += utils::WideToUtf8(record.message);
  return line;
}

Logger& Logger::Instance() {
  // Never destroyed, so threads that log while the process exits never meet
  // a torn-down logger; the exit only ends its writer.
  static Logger* const instance = [] {
    auto* logger = new Logger(DefaultLogPath());
    std::atexit([] {
      g_closing.exchange(true);
      Logger::Instance().Close();
    });
    return logger;
  }();
  return *instance;
}

Logger::Logger(std::wstring path) : path_(std::move(path)) {
  writer_ = std::thread([this] { WriterLoop(); });
  Write(kLogStart, __FILE__, "Vireon::Logger::Start", __LINE__, ::GetCurrentThreadId(), L"Start...");
}

Logger::~Logger() { Close(); }

void Logger::Close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_.exchange(true);
  }
  wake_.notify_all();
  if (writer_.joinable() && writer_.get_id() != std::this_thread::get_id()) writer_.join();
}

void Logger::Write(int32_t level, std::string_view file, std::string_view function, int32_t line, uint32_t thread_id,
                   std::wstring message) {
  auto record = std::make_unique<LogRecord>();
  record->level = level;
  record->file = Cut(file);
  record->function = Cut(function);
  record->line = line;
  record->thread_id = thread_id;
  record->message = std::move(message);
  record->time = GetLocalDateTime();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(record));
  }
  wake_.notify_one();
}

void Logger::Rotate(const std::wstring& path) {
  const std::wstring backup = path + L".bak";
  if (::GetFileAttributesW(backup.c_str()) != INVALID_FILE_ATTRIBUTES) ::DeleteFileW(backup.c_str());
  ::MoveFileW(path.c_str(), backup.c_str());
}

void Logger::WriterLoop() {
  File file = OpenLog(path_, L"a");
  for (;;) {
    std::deque<std::unique_ptr<LogRecord>> batch;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      while (queue_.empty() && !closing_.load()) wake_.wait_for(lock, std::chrono::seconds(1));
      batch.swap(queue_);
    }
    for (const auto& record : batch) {
      // A line that cannot be formatted (no memory) is lost, not the writer.
      utils::Guarded(false, [&] {
        WriteText(file.get(), FormatLogLine(*record) + "\n");
        return true;
      });
    }
    if (file) std::fflush(file.get());
    if (closing_.load()) break;
    if (file && _ftelli64(file.get()) > kRotateBytes) {
      file.reset();
      Rotate(path_);
      file = OpenLog(path_, L"w");
    }
  }
  WriteText(file.get(), FormatDateTime(GetLocalDateTime()) + " End...\n");
  file.reset();
  if (FileSize(path_) > kRotateBytes) Rotate(path_);
}

LogStatement::LogStatement(int32_t level, const char* file, const char* function, int32_t line)
    : on_(LoggingOn()), level_(level), file_(file), function_(function), line_(line) {
  if (on_) message_.reserve(512);
}

LogStatement::~LogStatement() {
  if (!on_ || !LoggingOn()) return;
  // Logging must never end the caller: a statement that cannot be queued is lost.
  utils::Guarded(false, [&] {
    Logger::Instance().Write(level_, file_ != nullptr ? file_ : "", function_ != nullptr ? function_ : "", line_,
                             ::GetCurrentThreadId(), std::move(message_));
    return true;
  });
}

LogStatement& LogStatement::Append(const char* utf8, size_t length) {
  if (!on_ || utf8 == nullptr || length == 0) return *this;
  utils::Guarded(false, [&] {
    message_ += utils::Utf8ToWide(utf8, static_cast<int>(length));
    return true;
  });
  return *this;
}

LogStatement& LogStatement::operator<<(const char* utf8) {
  return utf8 == nullptr ? *this : Append(utf8, std::char_traits<char>::length(utf8));
}

LogStatement& LogStatement::operator<<(int64_t number) {
  const std::string text = std::to_string(number);  // short enough for the small-string buffer
  return Append(text.data(), text.size());
}

LogStatement& LogStatement::operator<<(uint64_t number) {
  const std::string text = std::to_string(number);
  return Append(text.data(), text.size());
}

}  // namespace vireon
