// The segmented, resumable downloader: fetches one file from an HTTP(S) URL
// into a target path through a ".courier" temporary file and a ".dlindex"
// resume index beside it. One Courier serves any number of runs, one at a
// time; each run's result arrives through the returned future and the result
// functor, never as an exception.
#pragma once

#include <cstdint>
#include <future>
#include <memory>
#include <string>

#include "downloader/options.h"
#include "downloader/result.h"

namespace courier {

class Courier {
 public:
  Courier();
  // Waits for a run that is still going; stop it first.
  ~Courier();
  Courier(const Courier&) = delete;
  Courier& operator=(const Courier&) = delete;

  // Ignored during a run; below 1 gives 1, above 100 keeps the current value.
  void setThreadNum(int32_t n);

  // The option record, to be changed only while no run is going.
  Options& options();

  // Starts a run (or refuses with ALREADY_DOWNLOADING, INVALID_URL or
  // INVALID_TARGET_FILE_PATH, delivered the same way as a run's result).
  std::shared_future<Result> start(const std::string& url, const std::string& target_file_path,
                                   ResultFunctor result_functor, ProgressFunctor progress_functor,
                                   SpeedFunctor speed_functor);

  // Each returns at once and may be called from any thread, a functor's too.
  void stop();
  void pause();
  void resume();

  // 0 idle, 1 downloading, 2 paused.
  int32_t downloadState() const;
  // The current run's future; not valid before the first start.
  std::shared_future<Result> currentRun() const;

  // The MD5 (lower-case hex) of the file at `path` (UTF-8) when the last run
  // delivered it there, hashed it while writing it, and the file is still the
  // one delivered, unchanged since (same file, size and write time); empty
  // otherwise, and the caller hashes the file itself.
  std::string deliveredMd5(const std::string& path) const;

 private:
  struct Private;
  std::unique_ptr<Private> d_;
};

}  // namespace courier
