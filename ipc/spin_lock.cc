#include "ipc/spin_lock.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "base/scoped_handle.h"

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

namespace {

// Process ids are multiples of 4 and never 0, so no id is 1.
uint32_t OwnId() {
  static const uint32_t id = ::GetCurrentProcessId();
  return id;
}

// Once the back-off has reached its 1 ms steps, the holder is looked at
// every this many tries.
constexpr uint32_t kHolderCheckEvery = 64;

}  // namespace

bool LockHolderGone(uint32_t holder) {
  if (holder == 0 || holder == 1 || holder == OwnId()) return false;
  base::ScopedKernelHandle process(::OpenProcess(SYNCHRONIZE, FALSE, holder));
  if (!process.IsValid()) return ::GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
  return ::WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0;
}

bool SpinLock::TakeOverFrom(uint32_t holder) noexcept {
  if (!LockHolderGone(holder)) return false;
  if (!word_.compare_exchange_strong(holder, OwnId(), std::memory_order_acquire)) return false;
  std::fprintf(stderr, "[spin_lock] lock held by process %lu, which has ended: taken over\n",
               static_cast<unsigned long>(holder));
  return true;
}

void SpinLock::Lock() noexcept {
  uint32_t tries_at_limit = 0;
  for (uint32_t k = 0;; k = NextBackoff(k)) {
    uint32_t holder = 0;
    if (word_.compare_exchange_strong(holder, OwnId(), std::memory_order_acquire)) return;
    if (k == 32 && ++tries_at_limit % kHolderCheckEvery == 0 && TakeOverFrom(holder)) return;
    SpinBackoff(k);
  }
}

bool SpinLock::TryLock() noexcept {
  uint32_t holder = 0;
  return word_.compare_exchange_strong(holder, OwnId(), std::memory_order_acquire);
}

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
