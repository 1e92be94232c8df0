// One run of the downloader: probe the URL, reuse or plan the slices, drive
// them on one libcurl multi handle, finish the file. The whole run, every
// libcurl callback included, happens on the run's own task.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <cstdint>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "downloader/options.h"
#include "downloader/result.h"
#include "downloader/running_md5.h"

namespace courier {

class Slice;
class SliceManager;
class ProgressHandler;
class SpeedHandler;

// The run's download state as callers read it.
enum DownloadState : int32_t {
  kIdle = 0,
  kDownloading = 1,
  kPaused = 2,
};

// What the probe learnt about the file, from the final answer alone: every
// status line (a redirect's, a retried attempt's) starts it afresh.
struct FileInfo {
  bool accept_ranges = true;
  int64_t file_size = -1;
  std::string content_md5;
  std::string redirect_url;
};

// Owns one libcurl easy handle.
class ScopedCurl {
 public:
  ScopedCurl() : curl_(curl_easy_init()) {}
  ~ScopedCurl() {
    if (curl_ != nullptr) curl_easy_cleanup(curl_);
  }
  ScopedCurl(const ScopedCurl&) = delete;
  ScopedCurl& operator=(const ScopedCurl&) = delete;
  CURL* get() const { return curl_; }

 private:
  CURL* curl_;
};

class EntryHandler {
 public:
  EntryHandler();
  ~EntryHandler();  // waits until the task has returned
  EntryHandler(const EntryHandler&) = delete;
  EntryHandler& operator=(const EntryHandler&) = delete;

  // Takes the thread count the run keeps to its end: a later setThreadNum
  // (accepted once a stop has made the state idle) is for the next run.
  std::shared_future<Result> start(Options* options);
  std::shared_future<Result> future() const { return future_; }

  // Called from any thread. Each state change is one step under the control
  // lock, and the end of the run takes the same lock, so a pause or resume
  // that races the end can never leave a finished run paused or downloading.
  void requestStop();
  // Downloading to paused, only once the run has reached its transfer phase.
  void pause();
  // Paused to downloading, likewise.
  void resume();
  int32_t downloadState() const { return download_state_.load(); }
  // The MD5 of the file a successful run delivered, hashed while it was
  // written; none when the run did not hash it. Read once the run's future
  // is ready.
  const std::optional<FileDigest>& delivered() const { return delivered_; }

 private:
  Result runTask();
  Result downloadFile();
  bool fetchFileInfo(const std::string& url, FileInfo* info);
  void readFinishedTransfers();
  // The end of the file's first bytes that are final: every slice up to
  // there is complete and written out.
  int64_t finalPrefix() const;
  // The next slice to start (or restart), or none.
  std::shared_ptr<Slice> chooseSliceToStart();
  bool stopRequested() const;
  // The transfer is over: idle, no pause, and no later pause or resume takes.
  void endTransferPhase();

  static size_t __WriteHeaderCallback(char* data, size_t size, size_t count, void* info);
  static size_t __WriteBodyCallback(char* data, size_t size, size_t count, void* user);
  static int ProbeProgressCallback(void* handler, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

  std::shared_future<Result> future_;
  Options* options_ = nullptr;
  std::shared_ptr<SliceManager> slice_manager_;
  std::shared_ptr<ProgressHandler> progress_handler_;
  std::shared_ptr<SpeedHandler> speed_handler_;
  CURLM* multi_ = nullptr;
  std::shared_ptr<ScopedCurl> probe_;
  std::atomic<bool> user_stop_{false};
  std::atomic<bool> paused_{false};
  std::atomic<int32_t> download_state_{kIdle};
  std::atomic<bool> transfer_phase_{false};
  std::mutex control_mutex_;
  int32_t thread_num_ = 1;
  std::unique_ptr<RunningMd5> running_md5_;
  std::optional<FileDigest> delivered_;
};

}  // namespace courier
