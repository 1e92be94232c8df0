#include "ipc/spin_lock.h"

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace ipc {
namespace {

TEST(SpinLockTest, ExcludesAcrossThreads) {
  alignas(4) uint32_t word = 0;
  uint64_t counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&] {
      SpinLock lock(&word);
      for (int i = 0; i < 20000; ++i) {
        SpinLockGuard guard(lock);
        counter = counter + 1;  // not atomic: only the lock keeps it whole
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter, 120000u);
  EXPECT_EQ(word, 0u);
}

TEST(SpinLockTest, TryLockSeesAHeldLock) {
  alignas(4) uint32_t word = 0;
  SpinLock lock(&word);
  EXPECT_TRUE(lock.TryLock());
  EXPECT_FALSE(lock.TryLock());
  lock.Unlock();
  EXPECT_TRUE(lock.TryLock());
}

TEST(SpinLockTest, BackoffStopsGrowingAt32) {
  EXPECT_EQ(NextBackoff(0), 1u);
  EXPECT_EQ(NextBackoff(31), 32u);
  EXPECT_EQ(NextBackoff(32), 32u);
}

TEST(RwSpinLockTest, WriterExcludesReadersAndWriters) {
  RwSpinLock lock;
  std::atomic<int> readers{0};
  std::atomic<bool> overlap{false};
  uint64_t value = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 5000; ++i) {
        lock.Lock();
        if (readers.load() != 0) overlap = true;
        value = value + 1;
        lock.Unlock();
      }
    });
    threads.emplace_back([&] {
      for (int i = 0; i < 5000; ++i) {
        lock.LockShared();
        readers.fetch_add(1);
        readers.fetch_sub(1);
        lock.UnlockShared();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_FALSE(overlap.load());
  EXPECT_EQ(value, 15000u);
}

}  // namespace
}  // namespace ipc
