// Records what a download run reports through its functors, and waits for a
// run with a time bound so that a hung run fails its test instead of the suite.
#pragma once

#include <cstdint>
#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "downloader/courier.h"

namespace courier_test {

class RunRecorder {
 public:
  courier::ResultFunctor results();
  courier::ProgressFunctor progress();
  courier::SpeedFunctor speeds();
  courier::VerboseFunctor log();

  std::vector<courier::Result> resultCalls() const;
  std::vector<std::pair<int64_t, int64_t>> progressCalls() const;
  std::vector<int64_t> speedCalls() const;
  std::string logText() const;
  // Bytes held as last reported, -1 before the first report.
  int64_t lastDownloaded() const;
  int countInLog(const std::string& text) const;

 private:
  mutable std::mutex mutex_;
  std::vector<courier::Result> results_;
  std::vector<std::pair<int64_t, int64_t>> progress_;
  std::vector<int64_t> speeds_;
  std::string log_;
};

// Waits up to `seconds` for the run; a run still going by then is stopped and
// reported as a test failure.
courier::Result Await(courier::Courier& courier, const std::shared_future<courier::Result>& run, int seconds = 60);

// Polls `condition` every 20 ms for up to `seconds`.
template <typename Condition>
bool WaitFor(Condition condition, int seconds) {
  for (int i = 0; i < seconds * 50; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return condition();
}

}  // namespace courier_test
