// Writing behind the engine: the bytes of a large extracted file are copied
// into one of two blocks, and a full block goes to the file on a thread of its
// own while the engine decodes into the other. Copying into the system's page
// cache costs about as much as decoding, and one thread did both in turn.
// Failures of a block reach the caller with its next write or drain.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace arc {

class WriteBehind {
 public:
  // `file` stays owned by the caller and open until this object is gone;
  // nothing else writes or moves its position meanwhile.
  explicit WriteBehind(HANDLE file);
  ~WriteBehind();  // drains
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;

  // Takes all `size` bytes; the first failure of an earlier block, else S_OK.
  HRESULT Write(const BYTE* data, UINT32 size) noexcept;
  // Everything taken is in the file when this returns; the first failure.
  HRESULT Drain() noexcept;

 private:
  // Waits until the writing block is free (under lock).
  void WaitIdle(std::unique_lock<std::mutex>& lock);
  void Run();

  const HANDLE file_;
  std::vector<BYTE> filling_, writing_;
  size_t filled_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t to_write_ = 0;  // bytes of writing_ handed over and not yet written
  bool busy_ = false;
  bool quit_ = false;
  HRESULT failure_ = S_OK;
  std::thread thread_;  // last: starts once the members above exist
};

}  // namespace arc
