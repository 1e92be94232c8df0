// Writes full slice caches into the temporary file on a thread of its own.
// Copying a cache into the file is most of the transfer thread's work when the
// network is fast (the system copies every byte once more); handed to this
// thread, it runs while the transfer thread goes on receiving into the slice's
// other block. Jobs run one at a time, in the order they were queued.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace courier {

class TargetFile;

class DiskWriter {
 public:
  DiskWriter();
  ~DiskWriter();  // runs the jobs still queued, then ends the thread
  DiskWriter(const DiskWriter&) = delete;
  DiskWriter& operator=(const DiskWriter&) = delete;

  // Queues `length` bytes at `data` for `position` of `file`; the bytes must
  // stay untouched until the future is ready. The future gives the bytes
  // written (TargetFile::write).
  std::future<int64_t> write(std::shared_ptr<TargetFile> file, int64_t position, const char* data, int64_t length);

 private:
  struct Job {
    std::shared_ptr<TargetFile> file;
    int64_t position;
    const char* data;
    int64_t length;
    std::promise<int64_t> written;
  };
  void run();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  bool quit_ = false;
  std::thread thread_;  // last: starts once the members above exist
};

}  // namespace courier
