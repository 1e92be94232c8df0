// Locks for words that live in shared memory, where no kernel object may be
// used: a 32-bit spin lock with a fixed back-off, and a process-local
// reader/writer spin lock for the chunk-storage map.
#pragma once

#include <atomic>
#include <cstdint>

namespace ipc {

// Waits a little before the next try; `k` is the number of failed tries so
// far. Nothing below 4, a pause instruction up to 15, a yield up to 31, then
// about 1 ms per call.
void SpinBackoff(uint32_t k);

// The try count to pass next time: it stops growing at 32, where every try
// is about 1 ms apart.
constexpr uint32_t NextBackoff(uint32_t k) { return k < 32 ? k + 1 : 32; }

// A lock over a 32-bit word that may be shared between processes: 0 free,
// anything else held. This process writes its id into the word, so a lock
// left held by a process that died is taken over by the next one that waits
// for it; a holder that writes 1 (or any word that names no process) is
// waited for as long as it holds. The lock object itself only points at the
// word.
class SpinLock {
 public:
  explicit SpinLock(void* word) : word_(*static_cast<uint32_t*>(word)) {}

  void Lock() noexcept;
  bool TryLock() noexcept;
  void Unlock() noexcept;

 private:
  // Replaces `holder`, found in the word, by this process when the process
  // it names has ended.
  bool TakeOverFrom(uint32_t holder) noexcept;

  std::atomic_ref<uint32_t> word_;
};

// Whether the lock word `holder` names a process that has ended. 1 (a holder
// that does not say who it is) never counts as ended.
bool LockHolderGone(uint32_t holder);

class SpinLockGuard {
 public:
  explicit SpinLockGuard(SpinLock& lock) : lock_(lock) { lock_.Lock(); }
  ~SpinLockGuard() { lock_.Unlock(); }
  SpinLockGuard(const SpinLockGuard&) = delete;
  SpinLockGuard& operator=(const SpinLockGuard&) = delete;

 private:
  SpinLock& lock_;
};

// Bit 31 is set while a writer holds the lock; bits 0 to 30 count readers.
class RwSpinLock {
 public:
  void LockShared() noexcept;
  void UnlockShared() noexcept;
  void Lock() noexcept;
  void Unlock() noexcept;

 private:
  static constexpr uint32_t kWriter = 0x80000000u;
  std::atomic<uint32_t> word_{0};
};

}  // namespace ipc
