#include "base/single_instance.h"

#include <windows.h>

#include <cstdint>
#include <string>

#include <fmt/format.h>
#include <fmt/xchar.h>
#include <gtest/gtest.h>

#include "testing/process/child_process.h"

namespace base {
namespace {

using testing_process::ChildProcess;
using testing_process::HelperPath;

// These cases use the installer's real mutex names, which are machine-wide:
// their test program holds the lock named after them.
std::wstring Installer(uint64_t channel, int action, bool elevated) {
  return fmt::format(L"\"{}\" single {} {} {} hold", HelperPath(L"ql_mutex_peer.exe"), channel, action,
                     elevated ? 1 : 0);
}

TEST(SingleInstanceTest, MutexNames) {
  EXPECT_EQ(InstallerMutexName(2000, 1), "QuilloraneInstaller.exe-2000");
  EXPECT_EQ(InstallerMutexName(2000, 0), "QuilloraneInstaller.exe");
  EXPECT_EQ(InstallerMutexName(2000, 2), "QuilloraneInstaller.exe");
  EXPECT_EQ(InstallerMutexName(18446744073709551615ull, 1), "QuilloraneInstaller.exe-18446744073709551615");
}

TEST(SingleInstanceTest, DownloadOnlyInstallersAreOnePerChannelAndNamespace) {
  ChildProcess running(Installer(2000, 1, false));
  ASSERT_TRUE(running.started());
  ASSERT_EQ(running.ReadLine(), "other=0");

  EXPECT_TRUE(CheckInstallerSingleInstance(2000, 1, false));   // same local name
  EXPECT_FALSE(CheckInstallerSingleInstance(2001, 1, false));  // another channel
  EXPECT_FALSE(CheckInstallerSingleInstance(2000, 1, true));   // elevated: the Global name

  // A full installer's mark is another one (asked by a peer, so this process
  // does not take the mark that later cases look at).
  ChildProcess full(Installer(2000, 0, false));
  EXPECT_EQ(full.ReadLine(), "other=0");
}

TEST(SingleInstanceTest, FullInstallersShareOneGlobalMarkWhateverTheirChannel) {
  ChildProcess running(Installer(2000, 0, false));
  ASSERT_TRUE(running.started());
  ASSERT_EQ(running.ReadLine(), "other=0");

  EXPECT_TRUE(CheckInstallerSingleInstance(7, 2, false));
  EXPECT_TRUE(CheckInstallerSingleInstance(2000, 0, true));
}

TEST(SingleInstanceTest, TheMarkGoesWithTheInstaller) {
  {
    ChildProcess running(Installer(2000, 0, true));
    ASSERT_TRUE(running.started());
    ASSERT_EQ(running.ReadLine(), "other=0");
    ChildProcess second(Installer(2000, 0, true));
    EXPECT_EQ(second.ReadLine(), "other=1");
  }
  EXPECT_FALSE(CheckInstallerSingleInstance(2000, 0, true));
}

}  // namespace
}  // namespace base
