#include "ipc/shm_sync.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace ipc {

bool NamedMutex::Open(const std::string& name) {
  handle_.Close();
  HANDLE handle = ::CreateMutexW(GetShmSecurityAttributes(), FALSE, WideName(name).c_str());
  if (handle == nullptr) {
    std::fprintf(stderr, "fail CreateMutex[%lu]: %s\n", ::GetLastError(), name.c_str());
    return false;
  }
  handle_.Reset(handle);
  return true;
}

bool NamedMutex::Lock() {
  for (;;) {
    const DWORD result = ::WaitForSingleObject(handle_.Get(), INFINITE);
    if (result == WAIT_OBJECT_0) return true;
    if (result == WAIT_ABANDONED) {
      std::printf("fail WaitForSingleObject[%lu]: WAIT_ABANDONED, try again.\n", ::GetLastError());
      std::fflush(stdout);
      if (!Unlock()) return false;
      continue;
    }
    if (result == WAIT_TIMEOUT) return false;
    std::fprintf(stderr, "fail WaitForSingleObject[%lu]: 0x%08X\n", ::GetLastError(), static_cast<unsigned>(result));
    return false;
  }
}

bool NamedMutex::Unlock() {
  if (!::ReleaseMutex(handle_.Get())) {
    std::fprintf(stderr, "fail ReleaseMutex[%lu]\n", ::GetLastError());
    return false;
  }
  return true;
}

bool NamedSemaphore::Open(const std::string& name) {
  handle_.Close();
  HANDLE handle = ::CreateSemaphoreW(GetShmSecurityAttributes(), 0, 0x7FFFFFFF, WideName(name).c_str());
  if (handle == nullptr) {
    std::fprintf(stderr, "fail CreateSemaphore[%lu]: %s\n", ::GetLastError(), name.c_str());
    return false;
  }
  handle_.Reset(handle);
  return true;
}

bool NamedSemaphore::Post(int32_t count) {
  if (!::ReleaseSemaphore(handle_.Get(), count, nullptr)) {
    std::fprintf(stderr, "fail ReleaseSemaphore[%lu]\n", ::GetLastError());
    return false;
  }
  return true;
}

DWORD ToWaitMilliseconds(uint64_t timeout_ms) {
  // Cutting a longer timeout to its low 32 bits could turn it into a short
  // one (2^32 ms would become 0); anything that long means "no limit".
  return timeout_ms >= INFINITE ? INFINITE : static_cast<DWORD>(timeout_ms);
}

bool ShmCondition::Open(const std::string& name, bool global) {
  Close();
  if (!semaphore_.Open(NamespacedName(global, "\\_cond_sem_" + name))) return false;
  if (!lock_.Open(NamespacedName(global, "\\_cond_lock_" + name))) {
    semaphore_.Close();
    return false;
  }
  if (!counter_.Acquire("_cond_shm_" + name, 4, global)) {
    semaphore_.Close();
    lock_.Close();
    return false;
  }
  return true;
}

void ShmCondition::Close() {
  semaphore_.Close();
  lock_.Close();
  counter_.Release();
}

void ShmCondition::Enlist() {
  if (!lock_.Lock()) return;
  std::atomic_ref<int32_t> count(*counter());
  const int32_t now = count.load(std::memory_order_relaxed);
  count.store(now < 0 ? 1 : now + 1, std::memory_order_seq_cst);
  lock_.Unlock();
  // The count must be visible before the caller tests its predicate.
  std::atomic_thread_fence(std::memory_order_seq_cst);
}

void ShmCondition::Delist() {
  if (!lock_.Lock()) return;
  std::atomic_ref<int32_t> count(*counter());
  count.store(count.load(std::memory_order_relaxed) - 1, std::memory_order_relaxed);
  lock_.Unlock();
}

bool ShmCondition::WaitEnlisted(NamedMutex& mutex, uint64_t timeout_ms) {
  const DWORD result =
      ::SignalObjectAndWait(mutex.handle(), semaphore_.handle(), ToWaitMilliseconds(timeout_ms), FALSE);
  const bool relocked = mutex.Lock();
  if (result != WAIT_OBJECT_0) {
    // Not woken by a unit: the broadcaster did not count this thread out.
    Delist();
    return false;
  }
  return relocked;
}

bool ShmCondition::Wait(NamedMutex& mutex, uint64_t timeout_ms) {
  if (!IsValid()) return false;
  Enlist();
  return WaitEnlisted(mutex, timeout_ms);
}

void ShmCondition::Broadcast() {
  if (!IsValid()) return;
  if (!lock_.Lock()) return;
  std::atomic_ref<int32_t> count(*counter());
  const int32_t waiting = count.load(std::memory_order_relaxed);
  if (waiting > 0) {
    semaphore_.Post(waiting);
    count.store(0, std::memory_order_relaxed);
  }
  lock_.Unlock();
}

bool ShmCondition::MayHaveWaiters() const {
  if (!IsValid()) return false;
  // Pairs with the kernel call in Enlist: either this load sees the waiter's
  // count, or the waiter's predicate test sees what was published before.
  std::atomic_thread_fence(std::memory_order_seq_cst);
  return std::atomic_ref<int32_t>(*counter()).load(std::memory_order_relaxed) > 0;
}

bool ShmWaiter::Open(const std::string& name) {
  quit_.store(false);
  if (!condition_.Open("_waiter_cond_" + name, global_)) return false;
  if (!lock_.Open("_waiter_lock_" + name)) {
    condition_.Close();
    return false;
  }
  return true;
}

void ShmWaiter::Close() {
  condition_.Close();
  lock_.Close();
}

void ShmWaiter::Broadcast() {
  if (!IsValid() || !condition_.MayHaveWaiters()) return;
  // A thread that tested its predicate under the waiter's mutex is inside
  // its wait once this lock has been had.
  if (lock_.Lock()) lock_.Unlock();
  condition_.Broadcast();
}

ShmWaiter::WaitResult ShmWaiter::WaitLoop(bool (*ready)(void*), void* context, uint64_t timeout_ms) {
  if (!IsValid()) return PollLoop(ready, context, timeout_ms);
  if (!lock_.Lock()) return WaitResult::kTimedOut;
  WaitResult result;
  for (;;) {
    // Counted before the tests, so that a broadcaster that publishes after
    // the tests is sure to see this thread.
    condition_.Enlist();
    if (quit_.load()) {
      condition_.Delist();
      result = WaitResult::kQuit;
      break;
    }
    if (ready(context)) {
      condition_.Delist();
      result = WaitResult::kReady;
      break;
    }
    if (!condition_.WaitEnlisted(lock_, timeout_ms)) {
      result = WaitResult::kTimedOut;
      break;
    }
  }
  lock_.Unlock();
  return result;
}

// Without its kernel objects a waiter can still be polled, at 1 ms steps.
ShmWaiter::WaitResult ShmWaiter::PollLoop(bool (*ready)(void*), void* context, uint64_t timeout_ms) {
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    if (quit_.load()) return WaitResult::kQuit;
    if (ready(context)) return WaitResult::kReady;
    if (ToWaitMilliseconds(timeout_ms) != INFINITE &&
        std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(timeout_ms)) {
      return WaitResult::kTimedOut;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace ipc
