#include "device_id/device_id_section.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <new>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "base/scoped_handle.h"

namespace device_id {
namespace {

using namespace std::chrono_literals;

const DeviceIdBytes kFilled = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
const DeviceIdBytes kLocal = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,
                              0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};

// A section of this test's own (the image's real sections are shared with
// every other process of the test program), with a claim mutex of its own.
struct Protocol {
  DeviceIdSection section = {0, {}, {}};
  std::wstring mutex_name = L"Local\\ql-device-id-claim-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                            std::to_wstring(NextNumber());
  std::atomic<int> fills{0};
  std::atomic<int> local{0};
  bool fill_throws = false;

  static int NextNumber() {
    static std::atomic<int> number{0};
    return ++number;
  }

  DeviceIdBytes Claim() {
    return ClaimDeviceId(
        section, [this] { return mutex_name; },
        [this] {
          ++fills;
          if (fill_throws) throw std::bad_alloc();
          std::memcpy(section.id, kFilled.data(), 16);
        },
        [this] {
          ++local;
          return kLocal;
        });
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
  base::ScopedKernelHandle claimed(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread claimer([&] {
    // A claimer as another process runs it: the claim mutex first, then the state.
    base::ScopedKernelHandle mutex(::CreateMutexW(nullptr, TRUE, p.mutex_name.c_str()));
    p.section.state = kSectionFilling;
    ::SetEvent(claimed.Get());
    std::this_thread::sleep_for(150ms);
    std::memcpy(p.section.id, kFilled.data(), 16);
    ::InterlockedExchange(&p.section.state, kSectionReady);
    ::ReleaseMutex(mutex.Get());
  });
  ASSERT_EQ(::WaitForSingleObject(claimed.Get(), 30000), WAIT_OBJECT_0);
  EXPECT_EQ(p.Claim(), kFilled);
  claimer.join();
  EXPECT_EQ(p.fills.load(), 0);
  EXPECT_EQ(p.local.load(), 0);
}

TEST(ClaimProtocolTest, AClaimerThatIsGoneIsNotWaitedFor) {
  Protocol p;
  p.section.state = kSectionFilling;  // its claimer died while filling: nobody holds the claim mutex
  EXPECT_EQ(p.Claim(), kLocal);
  // The section is left as it was.
  EXPECT_EQ(p.section.state, kSectionFilling);
  EXPECT_EQ(p.fills.load(), 0);
  EXPECT_EQ(p.local.load(), 1);
}

TEST(ClaimProtocolTest, AClaimerWhoseFillThrowsLetsTheOthersGoOn) {
  Protocol p;
  p.fill_throws = true;
  EXPECT_THROW(p.Claim(), std::bad_alloc);
  DeviceIdBytes other{};
  std::thread([&] { other = p.Claim(); }).join();  // would wait for ever on a claim mutex left held
  EXPECT_EQ(other, kLocal);
  EXPECT_EQ(p.fills.load(), 1);
}

TEST(ClaimProtocolTest, TheClaimMutexNameIsTheImageFilesAndTheTags) {
  static DeviceIdSection in_this_image = {0, {}, {}};
  const std::wstring zu = SectionClaimMutexName(&in_this_image, "vireon");
  EXPECT_EQ(zu.rfind(L"Global\\QuilloraneDeviceIdClaim.vireon.", 0), 0u) << zu;
  EXPECT_EQ(SectionClaimMutexName(&in_this_image, "vireon"), zu);
  EXPECT_NE(SectionClaimMutexName(&in_this_image, "Pellgrave"), zu);
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
