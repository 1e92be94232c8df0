#include "downloader/disk_writer.h"

#include "downloader/target_file.h"

namespace courier {

DiskWriter::DiskWriter() : thread_([this] { run(); }) {}

DiskWriter::~DiskWriter() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

std::future<int64_t> DiskWriter::write(std::shared_ptr<TargetFile> file, int64_t position, const char* data,
                                       int64_t length) {
  Job job{std::move(file), position, data, length, {}};
  std::future<int64_t> written = job.written.get_future();
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
  return written;
}

void DiskWriter::run() {
  for (;;) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return quit_ || !jobs_.empty(); });
      if (jobs_.empty()) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job.written.set_value(job.file ? job.file->write(job.position, job.data, job.length) : 0);
  }
}

}  // namespace courier
