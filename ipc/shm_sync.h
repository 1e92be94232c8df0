// Cross-process synchronisation of the IPC transport: named mutexes and
// semaphores, a condition variable built from them and a shared waiting
// counter, and the named waiter that the channel sleeps on. Failures write
// one line to the standard error stream (standard output where noted) and
// show as false.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "base/scoped_handle.h"
#include "ipc/shm_segment.h"

namespace ipc {

class NamedMutex {
 public:
  // `name` is used exactly as given: no namespace prefix is added here.
  bool Open(const std::string& name);
  void Close() { handle_.Close(); }
  // Waits without limit. A mutex whose owner died is taken over after a
  // line on standard output.
  bool Lock();
  bool Unlock();
  bool IsOpen() const { return handle_.IsValid(); }
  HANDLE handle() const { return handle_.Get(); }

 private:
  base::ScopedKernelHandle handle_;
};

class NamedSemaphore {
 public:
  bool Open(const std::string& name);
  void Close() { handle_.Close(); }
  bool Post(int32_t count);
  bool IsOpen() const { return handle_.IsValid(); }
  HANDLE handle() const { return handle_.Get(); }

 private:
  base::ScopedKernelHandle handle_;
};

// Timeouts of 0xFFFFFFFF ms and above wait without limit.
DWORD ToWaitMilliseconds(uint64_t timeout_ms);

// A condition variable shared by every process that opens the same name:
// a semaphore, a mutex guarding the waiting counter, and the counter itself
// in a 4-byte segment.
class ShmCondition {
 public:
  ~ShmCondition() { Close(); }

  bool Open(const std::string& name, bool global);
  void Close();
  bool IsValid() const { return semaphore_.IsOpen() && lock_.IsOpen() && counter_.view() != nullptr; }

  // Releases `mutex` (held by the caller) and waits for a broadcast, then
  // takes `mutex` again. True when a broadcast ended the wait.
  bool Wait(NamedMutex& mutex, uint64_t timeout_ms);
  // Wakes every thread counted as waiting.
  void Broadcast();

  // The two halves of Wait, for wait loops that count themselves before they
  // test their predicate: a broadcaster that finds nobody counted may then
  // skip the kernel calls without losing a wake-up.
  void Enlist();
  void Delist();
  bool WaitEnlisted(NamedMutex& mutex, uint64_t timeout_ms);
  // A lock-free look at the counter: false means nobody can be waiting for
  // anything published before this call.
  bool MayHaveWaiters() const;

 private:
  int32_t* counter() const { return static_cast<int32_t*>(counter_.view()); }

  NamedSemaphore semaphore_;
  NamedMutex lock_;
  ShmHandle counter_;
};

// A named waiter: a condition, the mutex under which waiters test their
// predicate, and a process-local quit flag that releases every wait loop.
class ShmWaiter {
 public:
  enum class WaitResult { kReady, kQuit, kTimedOut };

  ~ShmWaiter() { Close(); }

  void set_global(bool global) { global_ = global; }
  bool Open(const std::string& name);
  void Close();
  bool IsValid() const { return condition_.IsValid() && lock_.IsOpen(); }
  // Wakes every waiter; costs no kernel call when nobody waits.
  void Broadcast();

  void set_quit(bool quit) { quit_.store(quit); }
  bool quit() const { return quit_.load(); }

  // Runs `ready` under the waiter's mutex until it returns true, the quit
  // flag is set, or a wait of `timeout_ms` passes without a wake-up. Each
  // wait gets the whole timeout anew.
  template <typename Ready>
  WaitResult WaitFor(Ready&& ready, uint64_t timeout_ms) {
    return WaitLoop(&CallReady<Ready>, &ready, timeout_ms);
  }

 private:
  template <typename Ready>
  static bool CallReady(void* ready) {
    return (*static_cast<Ready*>(ready))();
  }
  WaitResult WaitLoop(bool (*ready)(void*), void* context, uint64_t timeout_ms);
  WaitResult PollLoop(bool (*ready)(void*), void* context, uint64_t timeout_ms);

  ShmCondition condition_;
  NamedMutex lock_;
  std::atomic<bool> quit_{false};
  bool global_ = true;
};

}  // namespace ipc
