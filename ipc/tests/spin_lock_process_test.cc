// The spin lock between processes: a lock word in a named segment, held by
// a peer process that is then killed.
#include "ipc/spin_lock.h"

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "ipc/shm_segment.h"
#include "testing/ipc/child_process.h"

namespace ipc {
namespace {

using ipc_testing::ChildProcess;
using ipc_testing::NamedEvent;
using ipc_testing::UniqueName;

TEST(SpinLockProcessTest, LockLeftByAProcessThatDiedIsTakenOver) {
  const std::string name = UniqueName("lock");
  ShmHandle segment(true);
  ASSERT_TRUE(segment.Acquire(name, 4));
  auto* word = static_cast<uint32_t*>(segment.view());
  NamedEvent ready(name + "-ready");
  ChildProcess holder;
  ASSERT_TRUE(holder.Start(ipc_testing::ToWindowsPath(QL_SHM_PEER_EXE),
                           {"hold-lock", "--segment", name, "--ready", name + "-ready"}));
  ASSERT_TRUE(ready.Wait(30000));
  EXPECT_EQ(std::atomic_ref<uint32_t>(*word).load(), holder.pid()) << "the lock word does not name its holder";
  SpinLock lock(word);
  EXPECT_FALSE(lock.TryLock());
  holder.Kill();

  std::atomic<bool> locked{false};
  std::thread locking([&] {
    lock.Lock();
    locked = true;
  });
  for (int i = 0; i < 300 && !locked.load(); ++i) ::Sleep(100);
  EXPECT_TRUE(locked.load()) << "the lock of a process that died stays held";
  if (!locked.load()) std::atomic_ref<uint32_t>(*word).store(0);  // lets the thread end
  locking.join();
  EXPECT_EQ(std::atomic_ref<uint32_t>(*word).load(), ::GetCurrentProcessId());
  lock.Unlock();
  EXPECT_EQ(std::atomic_ref<uint32_t>(*word).load(), 0u);
}

// Holders that are never taken over: a live process, this process, and a
// holder that wrote 1 and so does not say who it is.
TEST(SpinLockProcessTest, OnlyAHolderThatHasEndedCountsAsGone) {
  ChildProcess live;
  ASSERT_TRUE(live.Start(ipc_testing::ToWindowsPath(QL_SHM_PEER_EXE),
                         {"hold-lock", "--segment", UniqueName("lock"), "--ready", UniqueName("ready")}));
  EXPECT_FALSE(LockHolderGone(live.pid()));
  EXPECT_FALSE(LockHolderGone(::GetCurrentProcessId()));
  EXPECT_FALSE(LockHolderGone(1));
  live.Kill();
  EXPECT_TRUE(LockHolderGone(live.pid()));

  alignas(4) uint32_t word = 1;
  SpinLock lock(&word);
  EXPECT_FALSE(lock.TryLock());
  word = 0;
  EXPECT_TRUE(lock.TryLock());
  EXPECT_EQ(word, ::GetCurrentProcessId());
}

}  // namespace
}  // namespace ipc
