// The temporary data file of a run. Every slice writes into it at its own
// offset; one recursive lock makes each seek-and-write, the size read of the
// index loader and a hash computation whole.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "downloader/file_util.h"

namespace courier {

// Flushes and closes a stream; true only when the stream saw no write error
// and both steps worked. A test puts its own in place to stand for an error
// that shows only at the close (a delayed write the system could not
// complete), which nothing on the test rig's disks produces on demand.
// Returns the one it replaced; nullptr puts the usual one back.
using StreamCloser = bool (*)(FILE* stream);
StreamCloser SetStreamCloserForTesting(StreamCloser closer);

class TargetFile {
 public:
  explicit TargetFile(std::string path);
  ~TargetFile();
  TargetFile(const TargetFile&) = delete;
  TargetFile& operator=(const TargetFile&) = delete;

  // True only when this call opened the file ("rb+", no truncation).
  bool open();
  // False when the last bytes may not have reached the file (see
  // StreamCloser); the stream is gone either way. A closed file closes fine.
  bool close();
  // Bytes written at `position`; 0 for a closed file, no data, a negative
  // position or a failed seek.
  int64_t write(int64_t position, const void* data, int64_t length);
  // Closes the file and moves it onto `target`, replacing what is there;
  // nothing is moved when the close failed.
  bool renameTo(const std::string& target);

  // The file's size, -1 when it is not open. Leaves the position as it was.
  int64_t size();

  const std::string& path() const { return path_; }
  FILE* stream() const { return stream_.get(); }
  std::recursive_mutex& lock() { return mutex_; }

 private:
  int64_t position_ = 0;
  std::string path_;
  UniqueFile stream_;
  std::recursive_mutex mutex_;
};

}  // namespace courier
