#include "base/cpu_usage_meter.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "testing/process/child_process.h"

namespace base {
namespace {

using testing_process::ChildProcess;
using testing_process::HelperPath;

TEST(CpuUsageMeterTest, FirstSampleOnlyRecordsAndACloseSecondRepeatsIt) {
  CpuUsageMeter meter(::GetCurrentProcessId());
  EXPECT_EQ(meter.Sample(), CpuUsageMeter::kNoValue);
  EXPECT_EQ(meter.Sample(), CpuUsageMeter::kNoValue);  // within 250 ms: the stored value
}

TEST(CpuUsageMeterTest, ALaterSampleGivesTheShareOfABusyProcess) {
  CpuUsageMeter meter(::GetCurrentProcessId());
  std::atomic<bool> stop{false};
  std::thread busy([&] {
    volatile unsigned long long sink = 0;
    while (!stop.load()) sink = sink + 1;
  });
  EXPECT_EQ(meter.Sample(), CpuUsageMeter::kNoValue);
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  const uint16_t usage = meter.Sample();
  stop = true;
  busy.join();
  // One busy thread among all the machine's processors.
  EXPECT_GE(usage, 1u);
  EXPECT_LE(usage, 100u);
  EXPECT_EQ(meter.Sample(), usage);  // again within 250 ms
}

TEST(CpuUsageMeterTest, SamplesAnotherProcess) {
  // Wine keeps another process's CPU times at their start-up values, so only
  // the sampling itself can be seen here, not the load.
  ChildProcess child(L"\"" + HelperPath(L"ql_child_wait.exe") + L"\" 20000 spin");
  ASSERT_TRUE(child.started());
  CpuUsageMeter meter(child.id());
  EXPECT_EQ(meter.Sample(), CpuUsageMeter::kNoValue);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_LE(meter.Sample(), 100u);
}

TEST(CpuUsageMeterTest, AProcessThatCannotBeOpenedNeverHasAValue) {
  CpuUsageMeter meter(0xFFFFFFF0u);
  EXPECT_EQ(meter.Sample(), CpuUsageMeter::kNoValue);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(meter.Sample(), CpuUsageMeter::kNoValue);
}

}  // namespace
}  // namespace base
