// The workers that report a run's progress (every 500 ms) and speed (every
// 1000 ms) to the caller's functors, on threads of their own, until the run's
// stop event is set.
#pragma once

#include <cstdint>
#include <future>
#include <memory>

#include "downloader/options.h"

namespace courier {

class SliceManager;

class ProgressHandler {
 public:
  ProgressHandler(Options* options, std::shared_ptr<SliceManager> manager);
  ~ProgressHandler();  // waits for the worker
  ProgressHandler(const ProgressHandler&) = delete;
  ProgressHandler& operator=(const ProgressHandler&) = delete;

 private:
  void run();

  std::future<void> worker_;
  Options* options_;
  std::shared_ptr<SliceManager> slice_manager_;
};

class SpeedHandler {
 public:
  SpeedHandler(int64_t held_bytes, Options* options, std::shared_ptr<SliceManager> manager);
  ~SpeedHandler();  // waits for the worker
  SpeedHandler(const SpeedHandler&) = delete;
  SpeedHandler& operator=(const SpeedHandler&) = delete;

 private:
  void run();

  std::future<void> worker_;
  int64_t held_at_start_;
  int64_t held_at_last_report_;
  Options* options_;
  std::shared_ptr<SliceManager> slice_manager_;
};

}  // namespace courier
