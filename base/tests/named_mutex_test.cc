#include "base/named_mutex.h"

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "base/scoped_handle.h"
#include "base/text_conversion.h"
#include "testing/process/child_process.h"

namespace base {
namespace {

using testing_process::ChildProcess;
using testing_process::HelperPath;

// Names of this test process alone.
std::string MutexName(const char* what) {
  return fmt::format("QlTestMutex-{}-{}-{}", ::GetCurrentProcessId(), what, ::GetTickCount64());
}

std::wstring PeerCommand(const std::string& name, bool global) {
  return L"\"" + HelperPath(L"ql_mutex_peer.exe") + L"\" mutex " + Utf8ToWide(name) + (global ? L" 1" : L" 0") +
         L" hold";
}

TEST(NullDaclTest, OneRecordWithAPresentNullDacl) {
  SECURITY_ATTRIBUTES* attributes = GetNullDaclSecurityAttributes();
  ASSERT_NE(attributes, nullptr);
  EXPECT_EQ(attributes, GetNullDaclSecurityAttributes());
  EXPECT_EQ(attributes->nLength, sizeof(SECURITY_ATTRIBUTES));
  EXPECT_EQ(attributes->nLength, 24u);
  EXPECT_FALSE(attributes->bInheritHandle);
  BOOL present = FALSE;
  BOOL defaulted = TRUE;
  PACL dacl = reinterpret_cast<PACL>(1);
  ASSERT_TRUE(::GetSecurityDescriptorDacl(attributes->lpSecurityDescriptor, &present, &dacl, &defaulted));
  EXPECT_TRUE(present);
  EXPECT_EQ(dacl, nullptr);
  EXPECT_FALSE(defaulted);
}

TEST(AcquireNamedMutexTest, FirstCallCreatesASecondFindsIt) {
  const std::string name = MutexName("twice");
  EXPECT_FALSE(AcquireNamedMutex(name, false));
  EXPECT_TRUE(AcquireNamedMutex(name, false));
  // Kept open by this process: the mutex is there to open.
  ScopedKernelHandle opened(::OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()));
  EXPECT_TRUE(opened.IsValid());
}

TEST(AcquireNamedMutexTest, AnotherProcessSeesOurMarkAndWeSeeItsMark) {
  const std::string ours = MutexName("ours");
  ASSERT_FALSE(AcquireNamedMutex(ours, false));
  ChildProcess peer(PeerCommand(ours, false));
  ASSERT_TRUE(peer.started());
  EXPECT_EQ(peer.ReadLine(), "other=1");

  const std::string theirs = MutexName("theirs");
  ChildProcess holder(PeerCommand(theirs, false));
  ASSERT_TRUE(holder.started());
  EXPECT_EQ(holder.ReadLine(), "other=0");
  EXPECT_TRUE(AcquireNamedMutex(theirs, false));
}

TEST(AcquireNamedMutexTest, TheMarkEndsWithItsProcess) {
  const std::string name = MutexName("ends");
  {
    ChildProcess holder(PeerCommand(name, false));
    ASSERT_TRUE(holder.started());
    ASSERT_EQ(holder.ReadLine(), "other=0");
    holder.CloseInput();
    EXPECT_EQ(holder.Wait(), 0u);
  }
  EXPECT_FALSE(AcquireNamedMutex(name, false));  // nobody holds it any more: ours now
}

TEST(AcquireNamedMutexTest, AKilledHolderLeavesNoMark) {
  // The system closes a killed holder's handles, so a new installer may start.
  const std::string name = MutexName("killed");
  ChildProcess holder(PeerCommand(name, false));
  ASSERT_TRUE(holder.started());
  ASSERT_EQ(holder.ReadLine(), "other=0");
  EXPECT_TRUE(AcquireNamedMutex(name, false));
  holder.Kill();
  EXPECT_FALSE(AcquireNamedMutex(name, false));
}

TEST(AcquireNamedMutexTest, GlobalAndLocalNamesAreApart) {
  const std::string name = MutexName("namespace");
  ChildProcess holder(PeerCommand(name, true));
  ASSERT_TRUE(holder.started());
  ASSERT_EQ(holder.ReadLine(), "other=0");
  EXPECT_FALSE(AcquireNamedMutex(name, false));
  EXPECT_TRUE(AcquireNamedMutex(name, true));
}

TEST(AcquireNamedMutexTest, AMutexWeMayNotOpenCountsAsAnotherInstance) {
  const std::string name = MutexName("denied");
  SECURITY_DESCRIPTOR descriptor{};
  ACL empty{};
  ASSERT_TRUE(::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(::InitializeAcl(&empty, sizeof(empty), ACL_REVISION));
  ASSERT_TRUE(::SetSecurityDescriptorDacl(&descriptor, TRUE, &empty, FALSE));  // nobody may open it
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), &descriptor, FALSE};
  ScopedKernelHandle locked(::CreateMutexA(&attributes, FALSE, name.c_str()));
  ASSERT_TRUE(locked.IsValid());
  EXPECT_TRUE(AcquireNamedMutex(name, false));
}

TEST(AcquireNamedMutexTest, ThreadsRacingForOneNameGetOneCreation) {
  const std::string name = MutexName("race");
  std::atomic<int> created{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&] {
      if (!AcquireNamedMutex(name, false)) ++created;
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(created.load(), 1);
}

}  // namespace
}  // namespace base
