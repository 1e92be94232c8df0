#include "device_id/device_id_section.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace device_id {
namespace {

using namespace std::chrono_literals;

const DeviceIdBytes kFilled = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
const DeviceIdBytes kLocal = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,
                              0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};

// A section of this test's own (the image's real sections are shared with
// every other process of the test program).
struct Protocol {
  DeviceIdSection section = {0, {}, {}};
  std::atomic<int> fills{0};
  std::atomic<int> local{0};

  DeviceIdBytes Claim(std::chrono::milliseconds limit = kClaimWaitLimit) {
    return ClaimDeviceId(
        section,
        [this] {
          ++fills;
          std::memcpy(section.id, kFilled.data(), 16);
        },
        [this] {
          ++local;
          return kLocal;
        },
        limit);
  }
};

TEST(ClaimProtocolTest, TheFirstCallerFillsAndPublishes) {
  Protocol p;
  EXPECT_EQ(p.Claim(), kFilled);
  EXPECT_EQ(p.section.state, kSectionReady);
  EXPECT_EQ(p.Claim(), kFilled);
  EXPECT_EQ(p.fills.load(), 1);
  EXPECT_EQ(p.local.load(), 0);
}

TEST(ClaimProtocolTest, AReadySectionIsOnlyCopied) {
  Protocol p;
  p.section.state = kSectionReady;
  std::memcpy(p.section.id, kLocal.data(), 16);
  EXPECT_EQ(p.Claim(), kLocal);
  EXPECT_EQ(p.fills.load(), 0);
  EXPECT_EQ(p.local.load(), 0);
}

TEST(ClaimProtocolTest, AWaiterTakesWhatTheClaimerPublishes) {
  Protocol p;
  p.section.state = kSectionFilling;
  std::thread claimer([&] {
    std::this_thread::sleep_for(150ms);
    std::memcpy(p.section.id, kFilled.data(), 16);
    ::InterlockedExchange(&p.section.state, kSectionReady);
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(p.Claim(), kFilled);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
  claimer.join();
  EXPECT_EQ(p.fills.load(), 0);
  EXPECT_EQ(p.local.load(), 0);
}

TEST(ClaimProtocolTest, AClaimerThatNeverFinishesIsWaitedForOnlySoLong) {
  Protocol p;
  p.section.state = kSectionFilling;  // its claimer died while filling
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(p.Claim(200ms), kLocal);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, 200ms);
  EXPECT_LT(waited, 30s);  // bounded, however slow the machine
  // The section is left as it was: the claimer may still be alive.
  EXPECT_EQ(p.section.state, kSectionFilling);
  EXPECT_EQ(p.fills.load(), 0);
  EXPECT_EQ(p.local.load(), 1);
}

TEST(ClaimProtocolTest, ManyThreadsGenerateOnceAndAgree) {
  Protocol p;
  std::vector<std::thread> threads;
  std::vector<DeviceIdBytes> results(16);
  for (std::size_t i = 0; i < results.size(); ++i) threads.emplace_back([&, i] { results[i] = p.Claim(); });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(p.fills.load(), 1);
  for (const DeviceIdBytes& r : results) EXPECT_EQ(r, kFilled);
}

TEST(DeviceIdTextTest, TwoLowerCaseDigitsPerByte) {
  EXPECT_EQ(FormatDeviceId(kFilled), "0102030405060708090a0b0c0d0e0f10");
  EXPECT_EQ(FormatDeviceId(DeviceIdBytes{}), std::string(32, '0'));
}

}  // namespace
}  // namespace device_id
