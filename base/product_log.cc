#include "base/product_log.h"

#include <windows.h>

#include <ctime>
#include <system_error>

#include "base/text_conversion.h"

namespace base {
namespace {

constexpr std::string_view kRule =
    "=================================================================";

std::uint32_t CachedProcessId() {
  static const std::uint32_t pid = ::GetCurrentProcessId();
  return pid;
}

// Marks the threads that are inside the logger, where they may hold its
// lock. A Win32 slot rather than thread_local: asking it allocates nothing,
// so an exception handler can ask while the heap is in any state.
DWORD InsideSlot() {
  static const DWORD slot = ::TlsAlloc();
  return slot;
}

class InsideMark {
 public:
  // Logging leaves the caller's GetLastError as it was.
  InsideMark() noexcept : last_error_(::GetLastError()), previous_(::TlsGetValue(InsideSlot())) {
    ::TlsSetValue(InsideSlot(), this);
    ::SetLastError(last_error_);
  }
  ~InsideMark() {
    ::TlsSetValue(InsideSlot(), previous_);
    ::SetLastError(last_error_);
  }
  InsideMark(const InsideMark&) = delete;
  InsideMark& operator=(const InsideMark&) = delete;

 private:
  DWORD last_error_;
  void* previous_;
};

// <temp>\Orvalis\Quillorane, made a plain folder. Whatever stands in its place
// (a file, or a link that may lead anywhere) is removed first; a link is
// removed itself, never what it points to.
std::filesystem::path PrepareLogFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH) return {};
  const std::filesystem::path folder = std::filesystem::path(temp) / L"Orvalis" / L"Quillorane";

  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    const bool is_directory = attributes & FILE_ATTRIBUTE_DIRECTORY;
    const bool is_link = attributes & FILE_ATTRIBUTE_REPARSE_POINT;
    if (is_link || !is_directory) {
      ::SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (is_directory) {
        ::RemoveDirectoryW(folder.c_str());
      } else {
        ::DeleteFileW(folder.c_str());
      }
    }
  }
  if (::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
  }
  return folder;
}

}  // namespace

std::string FormatLogTimestamp() {
  return FormatLogTimestamp(std::chrono::system_clock::now());
}

std::string FormatLogTimestamp(std::chrono::system_clock::time_point when) {
  const auto since_epoch = when.time_since_epoch();
  const auto seconds = std::chrono::floor<std::chrono::seconds>(since_epoch);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch - seconds).count();
  const std::time_t whole = static_cast<std::time_t>(seconds.count());
  std::tm local = {};
  localtime_s(&local, &whole);
  char clock[32] = {};
  std::strftime(clock, sizeof(clock), "%m-%d %H:%M:%S", &local);
  return fmt::format("[{}.{:03}] ", clock, millis);
}

std::uint32_t CurrentThreadId() { return ::GetCurrentThreadId(); }

ProductLogger& ProductLogger::GetInstance() {
  static ProductLogger* const instance = new ProductLogger();
  return *instance;
}

bool ProductLogger::InsideOnThisThread() noexcept {
  const DWORD last_error = ::GetLastError();
  const DWORD slot = InsideSlot();
  const bool inside = slot != TLS_OUT_OF_INDEXES && ::TlsGetValue(slot) != nullptr;
  ::SetLastError(last_error);
  return inside;
}

LogStartResult ProductLogger::Start(std::string_view name, std::ios_base::openmode mode) {
  return Start(name, mode, [](std::function<void()> writer) { return std::thread(std::move(writer)); });
}

LogStartResult ProductLogger::Start(std::string_view name, std::ios_base::openmode mode,
                                    const WriterStarter& start_writer) {
  const InsideMark inside;
  std::lock_guard lifecycle(lifecycle_);
  if (writer_.joinable()) return LogStartResult::kAlreadyStarted;

  const std::filesystem::path folder = PrepareLogFolder();
  {
    std::lock_guard lock(mutex_);
    path_.clear();
    if (!folder.empty()) {
      path_ = folder / (Utf8ToWide(name) + L".log");
      // _wfopen underneath: other processes may read and write the file meanwhile.
      file_.open(path_, mode | std::ios_base::out | std::ios_base::binary);
    }
    // Queued with the switch, so no record of another thread comes first.
    queue_.push_back(fmt::format("\n\n{}\n{} log start", kRule, FormatLogTimestamp()));
    enabled_.store(true, std::memory_order_release);
  }
  try {
    writer_ = start_writer([this] { WriterLoop(); });
    return LogStartResult::kStarted;
  } catch (const std::system_error&) {
    // Without a writer nothing would ever leave the queue: stay off instead.
    std::lock_guard lock(mutex_);
    enabled_.store(false, std::memory_order_release);
    queue_.clear();
    file_.close();
    return LogStartResult::kNoWriterThread;
  }
}

void ProductLogger::Stop() {
  const InsideMark inside;
  std::lock_guard lifecycle(lifecycle_);
  {
    // The end banner and the switch go together, so no record follows the
    // banner. Cleared under the lock: the writer tests the flag under it
    // before it sleeps, so it cannot miss this change and leave join()
    // waiting forever.
    std::lock_guard lock(mutex_);
    if (file_.is_open() && enabled_.load(std::memory_order_relaxed)) {
      queue_.push_back(fmt::format("{} log end\n{}", FormatLogTimestamp(), kRule));
    }
    enabled_.store(false, std::memory_order_release);
  }
  wake_.notify_all();
  if (writer_.joinable()) writer_.join();
  std::lock_guard lock(mutex_);
  queue_.clear();
  if (file_.is_open()) file_.close();
}

void ProductLogger::Push(std::string_view line) noexcept {
  const InsideMark inside;
  if (!enabled_.load(std::memory_order_acquire)) return;
  std::lock_guard lock(mutex_);
  if (!enabled_.load(std::memory_order_relaxed)) return;
  queue_.emplace_back(line);
  wake_.notify_one();
}

std::filesystem::path ProductLogger::path() const {
  const InsideMark inside;
  std::lock_guard lock(mutex_);
  return path_;
}

void ProductLogger::Enqueue(const std::source_location& where, std::uint32_t thread_id,
                            std::string message) noexcept {
  const InsideMark inside;
  const std::uint32_t pid = CachedProcessId();
  const std::string_view function = BareFunctionName(where.function_name());
  std::lock_guard lock(mutex_);
  // A record that raced with Stop is dropped rather than left in the queue.
  if (!enabled_.load(std::memory_order_relaxed)) return;
  // The time stamp is taken under the lock, so the file is in time order.
  queue_.push_back(
      fmt::format("{}[{}.{}][{}]: {}", FormatLogTimestamp(), thread_id, pid, function, message));
  wake_.notify_one();
}

void ProductLogger::WriterLoop() {
  const InsideMark inside;
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] {
      return !queue_.empty() || !enabled_.load(std::memory_order_relaxed);
    });
    while (!queue_.empty()) {
      const std::string& line = queue_.front();
      file_.write(line.data(), static_cast<std::streamsize>(line.size()));
      file_.put('\n');
      file_.flush();
      queue_.pop_front();
    }
    if (!enabled_.load(std::memory_order_relaxed)) return;
  }
}

}  // namespace base
