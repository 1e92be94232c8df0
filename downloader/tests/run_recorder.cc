#include "downloader/tests/run_recorder.h"

#include <gtest/gtest.h>

#include <chrono>

namespace courier_test {

courier::ResultFunctor RunRecorder::results() {
  return [this](courier::Result r) {
    std::lock_guard lock(mutex_);
    results_.push_back(r);
  };
}

courier::ProgressFunctor RunRecorder::progress() {
  return [this](int64_t total, int64_t downloaded) {
    std::lock_guard lock(mutex_);
    progress_.emplace_back(total, downloaded);
  };
}

courier::SpeedFunctor RunRecorder::speeds() {
  return [this](int64_t speed) {
    std::lock_guard lock(mutex_);
    speeds_.push_back(speed);
  };
}

courier::VerboseFunctor RunRecorder::log() {
  return [this](const std::string& line) {
    std::lock_guard lock(mutex_);
    log_ += line;
  };
}

std::vector<courier::Result> RunRecorder::resultCalls() const {
  std::lock_guard lock(mutex_);
  return results_;
}

std::vector<std::pair<int64_t, int64_t>> RunRecorder::progressCalls() const {
  std::lock_guard lock(mutex_);
  return progress_;
}

std::vector<int64_t> RunRecorder::speedCalls() const {
  std::lock_guard lock(mutex_);
  return speeds_;
}

std::string RunRecorder::logText() const {
  std::lock_guard lock(mutex_);
  return log_;
}

int64_t RunRecorder::lastDownloaded() const {
  std::lock_guard lock(mutex_);
  return progress_.empty() ? -1 : progress_.back().second;
}

int RunRecorder::countInLog(const std::string& text) const {
  std::lock_guard lock(mutex_);
  int count = 0;
  for (size_t at = log_.find(text); at != std::string::npos; at = log_.find(text, at + text.size())) ++count;
  return count;
}

courier::Result Await(courier::Courier& courier, const std::shared_future<courier::Result>& run, int seconds) {
  if (run.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
    ADD_FAILURE() << "the run did not end within " << seconds << " s";
    courier.stop();
  }
  return run.get();
}

}  // namespace courier_test
