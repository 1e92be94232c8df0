#include "downloader/stop_event.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace courier {

struct StopEvent::State {
  bool flag = true;
  mutable std::mutex mutex;
  mutable std::condition_variable cv;
};

StopEvent::StopEvent() : state_(std::make_unique<State>()) {}
StopEvent::~StopEvent() = default;

void StopEvent::set() {
  std::lock_guard lock(state_->mutex);
  state_->flag = true;
  state_->cv.notify_all();
}

void StopEvent::reset() {
  std::lock_guard lock(state_->mutex);
  state_->flag = false;
  state_->cv.notify_all();
}

bool StopEvent::isSet() const {
  std::lock_guard lock(state_->mutex);
  return state_->flag;
}

bool StopEvent::wait(int milliseconds) const {
  std::unique_lock lock(state_->mutex);
  state_->cv.wait_for(lock, std::chrono::milliseconds(milliseconds < 0 ? 0 : milliseconds),
                      [this] { return state_->flag; });
  return state_->flag;
}

}  // namespace courier
