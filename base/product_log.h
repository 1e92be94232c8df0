// The product log: one file in the product's temporary folder that every part
// of the installer appends its diagnostics to. Callers format and queue; a
// writer thread appends the queued lines, so logging never waits for the disk
// unless the writer holds the lock.
//
//   PRODUCT_LOG("download success {}", name);
//
// gives a line like
//   [12-08 18:48:28.123] [4412.9876][Download]: download success client
// (time stamp, thread id, process id, bare function name, message).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ios>
#include <mutex>
#include <source_location>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include <fmt/format.h>

#include "base/function_name.h"

namespace base {

// "[MM-DD hh:mm:ss.mmm] " in local time; the trailing blank is part of it.
std::string FormatLogTimestamp();
std::string FormatLogTimestamp(std::chrono::system_clock::time_point when);

// The calling thread's system id; the log macro takes it at the call site.
std::uint32_t CurrentThreadId();

// What Start did, for start-up to act on or report elsewhere (a log that is
// off cannot tell about itself).
enum class LogStartResult {
  kStarted,
  kAlreadyStarted,
  kNoWriterThread,  // the writer thread could not start: the log stays off
};

class ProductLogger {
 public:
  // Starts the thread that drains the queue; throws std::system_error when
  // it cannot.
  using WriterStarter = std::function<std::thread(std::function<void()> writer)>;

  // Never destroyed: threads that outlive main may still log during exit.
  static ProductLogger& GetInstance();

  ProductLogger(const ProductLogger&) = delete;
  ProductLogger& operator=(const ProductLogger&) = delete;

  // Opens <temp>\Orvalis\Quillorane\<name>.log with |mode| plus out and
  // binary, starts the writer and queues the start banner. Does nothing while
  // already started. A log file that cannot be opened is not an error: lines
  // are then dropped by the writer. Without a writer thread the log stays off
  // (nothing would ever leave the queue).
  LogStartResult Start(std::string_view name, std::ios_base::openmode mode);
  // The same with the writer thread started by `start_writer`.
  LogStartResult Start(std::string_view name, std::ios_base::openmode mode, const WriterStarter& start_writer);

  // Queues the end banner, lets the writer drain the queue, closes the file.
  // Later records are dropped; a second Stop does nothing.
  void Stop();

  // One record. Use PRODUCT_LOG, which supplies the call site.
  template <typename... Args>
  void Log(const std::source_location& where, std::uint32_t thread_id,
           fmt::format_string<Args...> format, Args&&... args) noexcept {
    if (!enabled_.load(std::memory_order_acquire)) return;
    Enqueue(where, thread_id, fmt::vformat(format, fmt::make_format_args(args...)));
  }

  // Queues one line as it stands, without a time stamp; dropped unless started.
  void Push(std::string_view line) noexcept;

  // The calling thread is inside the logger (it may hold the queue's lock):
  // an exception handler running there must not log. Keeps GetLastError.
  static bool InsideOnThisThread() noexcept;

  // Full path of the log file; empty until Start.
  std::filesystem::path path() const;

 private:
  ProductLogger() = default;

  void Enqueue(const std::source_location& where, std::uint32_t thread_id,
               std::string message) noexcept;
  void WriterLoop();

  std::filesystem::path path_;
  std::ofstream file_;
  std::atomic<bool> enabled_{false};
  mutable std::mutex mutex_;  // guards queue_ and file_
  std::condition_variable wake_;
  std::thread writer_;
  std::deque<std::string> queue_;
  std::mutex lifecycle_;  // serialises Start and Stop
};

}  // namespace base

#define PRODUCT_LOG(format, ...)                                                          \
  ::base::ProductLogger::GetInstance().Log(std::source_location::current(),              \
                                           ::base::CurrentThreadId(),                     \
                                           format __VA_OPT__(, ) __VA_ARGS__)
