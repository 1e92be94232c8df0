// The telemetry transport's socket threads: a fixed pool that runs upload
// tasks in posting order. Tasks still queued when it stops are not run.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace vireon {

class SocketPool {
 public:
  using Task = std::function<void()>;

  SocketPool() = default;
  ~SocketPool() { Stop(); }
  SocketPool(const SocketPool&) = delete;
  SocketPool& operator=(const SocketPool&) = delete;

  // Starts `count` threads unless started. Throws std::system_error when a
  // thread cannot be made.
  void Start(int count);
  // Wakes every thread and joins them; a pool thread stopping its own pool
  // leaves itself unjoined.
  void Stop();
  void Post(Task task);

 private:
  std::optional<Task> TakeTask();
  void ThreadMain();

  std::mutex control_mutex_;  // guards threads_; taken before queue_mutex_
  std::atomic<bool> started_{false};
  std::vector<std::thread> threads_;

  std::mutex queue_mutex_;
  std::condition_variable queue_signal_;
  bool stop_requested_ = false;
  std::deque<Task> tasks_;
};

}  // namespace vireon
