// One byte range of the file, fetched by its own libcurl easy handle into a
// memory cache and written at its place in the temporary file.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <cstdint>
#include <future>
#include <memory>
#include <mutex>
#include <string>

#include "downloader/cache_pool.h"
#include "downloader/result.h"

namespace courier {

class SliceManager;

enum SliceStatus : int32_t {
  NotStarted = 0,
  Scheduled = 1,
  Downloading = 2,
  Failed = 3,
  Completed = 4,
  FinishedWithoutEnd = 5,  // an open-ended transfer that ended without error
};

class Slice {
 public:
  Slice(int32_t index, int64_t begin, int64_t end, int64_t capacity, std::shared_ptr<SliceManager> manager);
  ~Slice();
  Slice(const Slice&) = delete;
  Slice& operator=(const Slice&) = delete;

  Result start(CURLM* multi, int64_t cache_size, int64_t max_speed);
  // Removes the handle from `multi` (may be null), then keeps or drops the
  // progress by the options' save policy. 0 or FLUSH_TMP_FILE_FAILED.
  Result stop(CURLM* multi);
  bool flushToDisk();
  bool onNewData(const char* data, int64_t length);

  static size_t __SliceWriteBodyCallback(char* data, size_t size, size_t count, void* slice);
  static size_t SliceHeaderCallback(char* data, size_t size, size_t count, void* slice);

  // Whether the server's answer to the current transfer carries this slice's
  // bytes: below 400, and for a ranged request a 206 whose Content-Range
  // starts where the slice asked (or a 200 when it asked from byte 0).
  bool answerAccepted();
  // The transfer was cut short because the server sent past the slice's end;
  // everything the slice needed had arrived by then.
  bool reachedEnd() const { return reached_end_; }
  // Bytes this slice gained in its current transfer.
  int64_t bytesThisTransfer() const { return held() - held_at_start_; }

  int32_t index() const { return index_; }
  int64_t begin() const { return begin_; }
  int64_t end() const { return end_; }
  int64_t capacity() const { return capacity_.load(); }
  int64_t cached() const { return cached_.load(); }
  int64_t held() const { return capacity_.load() + cached_.load(); }
  bool complete() const { return end_ >= 0 && end_ - begin_ + 1 == held(); }
  bool hasCache() const { return cache_.data != nullptr; }
  int32_t status() const { return status_; }
  void setStatus(int32_t status) { status_ = status; }
  int32_t failedTimes() const { return failed_times_; }
  void addFailure() { ++failed_times_; }
  CURL* handle() const { return curl_; }

 private:
  void releaseHandle(CURLM* multi);
  void freeCache();
  // Waits for the block on its way to the file (under mutex_). False when it
  // was not written whole: its missing bytes and the cached ones behind them
  // (which would land at the wrong place) no longer count.
  bool collectWrite(int64_t* written, int64_t* length);
  // Hands the cached bytes to the manager's disk writer and lets the other
  // block take the next data (under mutex_, nothing on its way to the file).
  bool sendCacheToDisk(int64_t pending);
  // Most bytes this slice may still take: up to its end, or for an open end up
  // to the file size when that is known; -1 when unbounded.
  int64_t room() const;

  const int32_t index_;
  const int64_t begin_;
  const int64_t end_;
  std::atomic<int64_t> capacity_;
  CURL* curl_ = nullptr;
  curl_slist* header_chunk_ = nullptr;
  int64_t cache_size_ = 0;
  std::atomic<int64_t> cached_{0};
  CachePool::Block cache_;  // taken from the manager's pool while the slice runs
  // A full cache block on its way to the file; its bytes already count in
  // capacity_, so the next bytes go behind them.
  CachePool::Block writing_;
  std::future<int64_t> in_flight_;
  int64_t in_flight_length_ = 0;
  int32_t status_ = NotStarted;
  int32_t failed_times_ = 0;
  std::shared_ptr<SliceManager> slice_manager_;
  std::mutex mutex_;

  // The current transfer's answer, read from its headers.
  int64_t requested_from_ = 0;
  int64_t held_at_start_ = 0;
  std::string content_range_;
  int verdict_ = 0;  // 0 not yet decided, 1 accepted, -1 refused
  bool reached_end_ = false;
};

}  // namespace courier
