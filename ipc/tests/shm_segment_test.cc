// Named segments, mutexes, conditions and waiters, on names of each test's
// own.
#include "ipc/shm_segment.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "ipc/shm_sync.h"
#include "testing/ipc/child_process.h"

namespace ipc {
namespace {

using ipc_testing::UniqueName;

TEST(ShmSegmentTest, SmallSegmentMapsAWholePage) {
  ShmHandle holder;
  ASSERT_TRUE(holder.Acquire(UniqueName("seg"), 4));
  EXPECT_EQ(holder.mapped_size(), 4096u);
  EXPECT_EQ(*static_cast<uint32_t*>(holder.view()), 0u);
}

TEST(ShmSegmentTest, ExistingSegmentKeepsItsSize) {
  const std::string name = UniqueName("seg");
  ShmHandle first;
  ASSERT_TRUE(first.Acquire(name, 3 * 4096));
  static_cast<uint8_t*>(first.view())[100] = 42;
  ShmHandle second;
  ASSERT_TRUE(second.Acquire(name, 4));
  EXPECT_EQ(second.mapped_size(), 3u * 4096);
  EXPECT_EQ(static_cast<uint8_t*>(second.view())[100], 42);
}

TEST(ShmSegmentTest, NamespacesAreSeparate) {
  const std::string name = UniqueName("seg");
  ShmHandle global(true);
  ShmHandle local(false);
  ASSERT_TRUE(global.Acquire(name, 4));
  ASSERT_TRUE(local.Acquire(name, 4));
  *static_cast<uint32_t*>(global.view()) = 7;
  EXPECT_EQ(*static_cast<uint32_t*>(local.view()), 0u);
  EXPECT_TRUE(local.global() == false && global.global() == true);
}

TEST(ShmSegmentTest, SizesBeyondOneCallAreRefused) {
  ShmHandle holder;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(holder.Acquire(UniqueName("seg"), 0x100000000ull));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("fail get_mem: invalid id (null)"), std::string::npos) << err;
  EXPECT_EQ(holder.view(), nullptr);
}

TEST(ShmSegmentTest, EachNamespaceHasItsOwnConnectionCounter) {
  uint32_t* global = GetConnIdCounter(true);
  uint32_t* local = GetConnIdCounter(false);
  ASSERT_NE(global, nullptr);
  ASSERT_NE(local, nullptr);
  EXPECT_NE(global, local);
  EXPECT_EQ(GetConnIdCounter(true), global);
}

TEST(NamedMutexTest, MutexOfADeadOwnerIsTakenOver) {
  NamedMutex mutex;
  ASSERT_TRUE(mutex.Open(UniqueName("Local\\mutex")));
  std::thread owner([&] { ASSERT_TRUE(mutex.Lock()); });  // ends holding it
  owner.join();
  testing::internal::CaptureStdout();
  EXPECT_TRUE(mutex.Lock());
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("WAIT_ABANDONED, try again."), std::string::npos) << out;
  EXPECT_TRUE(mutex.Unlock());
}

TEST(ShmConditionTest, TimeoutsOfAtLeast32BitsWaitWithoutLimit) {
  EXPECT_EQ(ToWaitMilliseconds(0), 0u);
  EXPECT_EQ(ToWaitMilliseconds(2000), 2000u);
  EXPECT_EQ(ToWaitMilliseconds(0xFFFFFFFEull), 0xFFFFFFFEu);
  EXPECT_EQ(ToWaitMilliseconds(0xFFFFFFFFull), INFINITE);
  EXPECT_EQ(ToWaitMilliseconds(0x100000000ull), INFINITE);  // not its low 32 bits (0)
}

TEST(ShmConditionTest, BroadcastWithoutWaitersPostsNothing) {
  const std::string name = UniqueName("cond");
  NamedMutex mutex;
  ASSERT_TRUE(mutex.Open(name + "-mutex"));
  ShmCondition condition;
  ASSERT_TRUE(condition.Open(name, true));
  condition.Broadcast();
  ASSERT_TRUE(mutex.Lock());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(condition.Wait(mutex, 100));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(90));
  mutex.Unlock();
}

TEST(ShmConditionTest, BroadcastWakesAWaiterInAnotherProcess) {
  const std::string name = UniqueName("cond");
  ShmCondition condition;
  ASSERT_TRUE(condition.Open(name, true));
  ipc_testing::NamedEvent ready(name + "-ready");
  ipc_testing::ChildProcess child;
  ASSERT_TRUE(child.Start(ipc_testing::ToWindowsPath(QL_SHM_PEER_EXE),
                          {"cond-wait", "--name", name, "--ready", name + "-ready", "--timeout", "20000"}));
  ASSERT_TRUE(ready.Wait(20000));
  EXPECT_TRUE(condition.MayHaveWaiters());
  const auto start = std::chrono::steady_clock::now();
  condition.Broadcast();
  const auto code = child.Wait(10000);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 0u) << "the child's wait timed out";
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_FALSE(condition.MayHaveWaiters());
}

TEST(ShmWaiterTest, QuitReleasesAWaitingThread) {
  ShmWaiter waiter;
  waiter.set_global(false);
  ASSERT_TRUE(waiter.Open(UniqueName("waiter")));
  std::atomic<int> result{-1};
  std::thread waiting([&] { result = static_cast<int>(waiter.WaitFor([] { return false; }, 20000)); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto start = std::chrono::steady_clock::now();
  waiter.set_quit(true);
  waiter.Broadcast();
  waiting.join();
  EXPECT_EQ(result.load(), static_cast<int>(ShmWaiter::WaitResult::kQuit));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(ShmWaiterTest, PublishedStateWakesTheWaiterAtOnce) {
  ShmWaiter waiter;
  ASSERT_TRUE(waiter.Open(UniqueName("waiter")));
  std::atomic<bool> published{false};
  std::atomic<int> result{-1};
  std::thread waiting([&] { result = static_cast<int>(waiter.WaitFor([&] { return published.load(); }, 20000)); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto start = std::chrono::steady_clock::now();
  published = true;
  waiter.Broadcast();
  waiting.join();
  EXPECT_EQ(result.load(), static_cast<int>(ShmWaiter::WaitResult::kReady));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace ipc
