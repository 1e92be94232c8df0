#include "vireon_sdk/src/report/socket_pool.h"

#include <winsock2.h>

#include "vireon_sdk/src/utils/guarded.h"

namespace vireon {

void SocketPool::Start(int count) {
  std::lock_guard<std::mutex> control(control_mutex_);
  if (started_.load()) return;
  started_.store(true);
  {
    std::lock_guard<std::mutex> queue(queue_mutex_);
    stop_requested_ = false;
  }
  for (int i = 0; i < count; ++i) threads_.emplace_back([this] { ThreadMain(); });
}

void SocketPool::Stop() {
  std::lock_guard<std::mutex> control(control_mutex_);
  if (!started_.load()) return;
  started_.store(false);
  {
    std::lock_guard<std::mutex> queue(queue_mutex_);
    stop_requested_ = true;
  }
  queue_signal_.notify_all();
  for (auto& thread : threads_) {
    if (thread.get_id() == std::this_thread::get_id()) {
      thread.detach();
    } else if (thread.joinable()) {
      thread.join();
    }
  }
  threads_.clear();
  std::lock_guard<std::mutex> queue(queue_mutex_);
  tasks_.clear();
}

void SocketPool::Post(Task task) {
  {
    std::lock_guard<std::mutex> queue(queue_mutex_);
    tasks_.push_back(std::move(task));
  }
  queue_signal_.notify_one();
}

std::optional<SocketPool::Task> SocketPool::TakeTask() {
  std::unique_lock<std::mutex> queue(queue_mutex_);
  for (;;) {
    if (stop_requested_) return std::nullopt;
    if (!tasks_.empty()) {
      Task task = std::move(tasks_.front());
      tasks_.pop_front();
      return task;
    }
    queue_signal_.wait(queue);
  }
}

void SocketPool::ThreadMain() {
  WSADATA data{};
  ::WSAStartup(MAKEWORD(2, 1), &data);  // version 2.1; a failure shows in the uploads
  while (started_.load()) {
    std::optional<Task> task = TakeTask();
    if (!task) break;
    if (!started_.load()) break;
    // An upload that throws (no memory) loses its try, not the thread.
    utils::Guarded(false, [&] {
      (*task)();
      return true;
    });
  }
  ::WSACleanup();
}

}  // namespace vireon
