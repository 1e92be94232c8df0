#include "ipc/spin_lock.h"

#include <windows.h>

#include <chrono>
#include <thread>

namespace ipc {

void SpinBackoff(uint32_t k) {
  if (k < 4) return;
  if (k < 16) {
    YieldProcessor();
    return;
  }
  if (k < 32) {
    ::SwitchToThread();
    return;
  }
  std::this_thread::sleep_until(std::chrono::steady_clock::now() + std::chrono::milliseconds(1));
}

void SpinLock::Lock() noexcept {
  for (uint32_t k = 0; word_.exchange(1, std::memory_order_acquire) != 0; k = NextBackoff(k)) {
    SpinBackoff(k);
  }
}

bool SpinLock::TryLock() noexcept { return word_.exchange(1, std::memory_order_acquire) == 0; }

void SpinLock::Unlock() noexcept { word_.store(0, std::memory_order_release); }

void RwSpinLock::LockShared() noexcept {
  for (uint32_t k = 0;; k = NextBackoff(k)) {
    uint32_t word = word_.load(std::memory_order_relaxed);
    if ((word & kWriter) == 0 &&
        word_.compare_exchange_weak(word, word + 1, std::memory_order_acquire, std::memory_order_relaxed)) {
      return;
    }
    SpinBackoff(k);
  }
}

void RwSpinLock::UnlockShared() noexcept { word_.fetch_sub(1, std::memory_order_release); }

void RwSpinLock::Lock() noexcept {
  uint32_t k = 0;
  // First take the writer bit away from other writers, then let the readers
  // that are already in drain out; new readers wait for the bit to clear.
  while (word_.fetch_or(kWriter, std::memory_order_acquire) & kWriter) {
    SpinBackoff(k);
    k = NextBackoff(k);
  }
  while ((word_.load(std::memory_order_acquire) & ~kWriter) != 0) {
    SpinBackoff(k);
    k = NextBackoff(k);
  }
}

void RwSpinLock::Unlock() noexcept { word_.store(0, std::memory_order_release); }

}  // namespace ipc
