#include "archive/write_behind.h"

#include <algorithm>
#include <cstring>

#include "archive/file_streams.h"

namespace arc {

WriteBehind::WriteBehind(HANDLE file)
    : file_(file), filling_(kMaxIoChunk), writing_(kMaxIoChunk), thread_([this] { Run(); }) {}

WriteBehind::~WriteBehind() {
  Drain();
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void WriteBehind::WaitIdle(std::unique_lock<std::mutex>& lock) {
  changed_.wait(lock, [this] { return !busy_; });
}

HRESULT WriteBehind::Write(const BYTE* data, UINT32 size) noexcept {
  while (size > 0) {
    const size_t take = std::min<size_t>(size, filling_.size() - filled_);
    std::memcpy(filling_.data() + filled_, data, take);
    filled_ += take;
    data += take;
    size -= static_cast<UINT32>(take);
    if (filled_ < filling_.size()) break;
    std::unique_lock lock(mutex_);
    WaitIdle(lock);
    if (failure_ != S_OK) return failure_;
    filling_.swap(writing_);
    to_write_ = std::exchange(filled_, 0);
    busy_ = true;
    changed_.notify_all();
  }
  // A block just handed over reports with the next hand-over or the drain.
  return S_OK;
}

HRESULT WriteBehind::Drain() noexcept {
  std::unique_lock lock(mutex_);
  WaitIdle(lock);
  if (filled_ > 0 && failure_ == S_OK) {
    filling_.swap(writing_);
    to_write_ = std::exchange(filled_, 0);
    busy_ = true;
    changed_.notify_all();
    WaitIdle(lock);
  }
  filled_ = 0;
  return failure_;
}

void WriteBehind::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return quit_ || busy_; });
    if (!busy_) return;
    const size_t length = to_write_;
    lock.unlock();
    size_t done = 0;
    HRESULT result = S_OK;
    while (done < length) {
      DWORD written = 0;
      if (!::WriteFile(file_, writing_.data() + done, static_cast<DWORD>(length - done), &written, nullptr)) {
        result = LastErrorResult();
        break;
      }
      if (written == 0) {
        result = E_FAIL;
        break;
      }
      done += written;
    }
    lock.lock();
    if (failure_ == S_OK) failure_ = result;
    busy_ = false;
    changed_.notify_all();
  }
}

}  // namespace arc
