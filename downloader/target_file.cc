#include "downloader/target_file.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <climits>

namespace courier {
namespace {

bool FlushAndClose(FILE* stream) {
  // A failed flush of an earlier write leaves only the error flag behind.
  const bool clean = std::ferror(stream) == 0;
  const bool flushed = std::fflush(stream) == 0;
  const bool closed = std::fclose(stream) == 0;
  return clean && flushed && closed;
}

std::atomic<StreamCloser> g_closer{&FlushAndClose};

}  // namespace

StreamCloser SetStreamCloserForTesting(StreamCloser closer) {
  return g_closer.exchange(closer != nullptr ? closer : &FlushAndClose);
}

TargetFile::TargetFile(std::string path) : path_(std::move(path)) {}

TargetFile::~TargetFile() { close(); }

bool TargetFile::open() {
  std::lock_guard lock(mutex_);
  if (stream_) return false;
  stream_ = OpenFileUtf8(path_, "rb+");
  if (!stream_) return false;
  position_ = 0;
  _fseeki64(stream_.get(), 0, SEEK_SET);
  return true;
}

bool TargetFile::close() {
  std::lock_guard lock(mutex_);
  if (!stream_) return true;
  return g_closer.load()(stream_.release());
}

int64_t TargetFile::write(int64_t position, const void* data, int64_t length) {
  std::lock_guard lock(mutex_);
  if (!stream_ || data == nullptr || length <= 0 || position < 0) return 0;
  if (position != position_) {
    if (_fseeki64(stream_.get(), position, SEEK_SET) != 0) return 0;
    position_ = position;
  }
  const size_t chunk = static_cast<size_t>(std::min<int64_t>(length, INT_MAX));
  const size_t written = std::fwrite(data, 1, chunk, stream_.get());
  std::fflush(stream_.get());
  position_ += static_cast<int64_t>(written);
  return static_cast<int64_t>(written);
}

bool TargetFile::renameTo(const std::string& target) {
  std::lock_guard lock(mutex_);
  if (!close()) return false;
  const std::wstring from = Utf8ToWide(path_);
  const std::wstring to = Utf8ToWide(target);
  if (from.empty() || to.empty()) return false;
  return ::MoveFileExW(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH) != FALSE;
}

int64_t TargetFile::size() {
  std::lock_guard lock(mutex_);
  if (!stream_) return -1;
  if (_fseeki64(stream_.get(), 0, SEEK_END) != 0) return -1;
  const int64_t end = _ftelli64(stream_.get());
  _fseeki64(stream_.get(), position_, SEEK_SET);
  return end;
}

}  // namespace courier
