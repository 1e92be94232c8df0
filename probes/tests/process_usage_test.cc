// CPU usage and private memory of real processes.
#include "probes/process_usage.h"

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "base/scoped_handle.h"

namespace probes {
namespace {

TEST(GetProcessUsageTest, ProcessIdZeroHasNoUsage) { EXPECT_EQ(GetProcessUsage(0), -1); }

TEST(GetProcessUsageTest, MissingProcessHasNoUsage) { EXPECT_EQ(GetProcessUsage(0xFFFFFFF0u), -1); }

TEST(GetProcessUsageTest, BusyProcessHasAPercentage) {
  std::atomic<bool> stop{false};
  std::thread spinner([&] {
    volatile uint64_t n = 0;
    while (!stop.load(std::memory_order_relaxed)) n = n + 1;
  });
  const int32_t usage = GetProcessUsage(::GetCurrentProcessId());
  stop = true;
  spinner.join();
  EXPECT_GE(usage, 0);
  EXPECT_LE(usage, 100);
}

TEST(GetProcessPrivateMemoryTest, CountsCommittedPrivatePages) {
  const uint64_t before = GetProcessPrivateMemory(::GetCurrentProcess());
  constexpr SIZE_T kBytes = 64u << 20;
  void* block = ::VirtualAlloc(nullptr, kBytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  ASSERT_NE(block, nullptr);
  const uint64_t with_block = GetProcessPrivateMemory(::GetCurrentProcess());
  void* reserved = ::VirtualAlloc(nullptr, kBytes, MEM_RESERVE, PAGE_READWRITE);  // reserved only: not counted
  ASSERT_NE(reserved, nullptr);
  const uint64_t with_reserve = GetProcessPrivateMemory(::GetCurrentProcess());
  ::VirtualFree(reserved, 0, MEM_RELEASE);
  ::VirtualFree(block, 0, MEM_RELEASE);
  EXPECT_GE(with_block, before + kBytes / 1024 - 1024);  // other threads may free a little meanwhile
  EXPECT_LT(with_reserve, with_block + kBytes / 1024 / 2);
  EXPECT_GT(before, 0u);
}

TEST(GetProcessPrivateMemoryTest, HandleWithoutQueryRightsGivesZero) {
  base::ScopedKernelHandle handle(::OpenProcess(SYNCHRONIZE, FALSE, ::GetCurrentProcessId()));
  ASSERT_TRUE(handle);
  EXPECT_EQ(GetProcessPrivateMemory(handle.Get()), 0u);
  EXPECT_EQ(GetProcessPrivateMemory(nullptr), 0u);
}

TEST(GetProcessPrivateMemoryTest, MeasuresAnotherProcess) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  wchar_t command[] = L"cmd.exe /c exit 0";
  ASSERT_TRUE(::CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, CREATE_SUSPENDED | CREATE_NO_WINDOW,
                               nullptr, nullptr, &startup, &info));
  base::ScopedKernelHandle process(info.hProcess);
  base::ScopedKernelHandle thread(info.hThread);
  EXPECT_GT(GetProcessPrivateMemory(process.Get()), 0u);
  ::TerminateProcess(process.Get(), 0);
}

}  // namespace
}  // namespace probes
