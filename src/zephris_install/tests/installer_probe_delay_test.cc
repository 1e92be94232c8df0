// The installer's start-up probes run beside the install, never in its way:
// with a client executable in the client's folder whose OpenGL check never
// answers, a silent install still ends with result 0 while that check is
// still running, and the installer process ends.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "src/zephris_install/tests/installer_e2e_rig.h"

namespace {

using namespace e2e_rig;

// The pids of the double's starts, from its log ("<pid>|<command line>").
std::set<DWORD> DoubleStarts(const fs::path& log) {
  std::set<DWORD> pids;
  std::istringstream lines(ReadFile(log));
  for (std::string line; std::getline(lines, line);) {
    const size_t bar = line.find('|');
    if (bar != std::string::npos && bar > 0) pids.insert(static_cast<DWORD>(std::stoul(line.substr(0, bar))));
  }
  return pids;
}

bool StillRunning(DWORD pid) {
  base::ScopedKernelHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
  return process && ::WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

void EndProcess(DWORD pid) {
  base::ScopedKernelHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
  if (!process) return;
  ::TerminateProcess(process.Get(), 99);
  ::WaitForSingleObject(process.Get(), 10000);
}

class InstallerProbeDelayTest : public InstallerEndToEndTest {
 protected:
  void SetUp() override {
    InstallerEndToEndTest::SetUp();
    if (HasFatalFailure()) return;
    // The folder the detector looks in before anything is installed: the
    // default install path and version, with no product keys yet. A lone
    // Quilloranix.exe there does not make the client look installed (that
    // takes Quillorane.exe and QuilloraneEmulator.exe), so the road stays
    // the fresh install's.
    client_dir_ = base::PathManager::GetInstance().GetComponentDir(base::ComponentKind::kClient);
    ASSERT_FALSE(client_dir_.empty());
    fs::create_directories(client_dir_);
    ASSERT_TRUE(fs::copy_file(ipc_testing::ToWindowsPath(QL_QUILLORANIX_DOUBLE_PATH), client_dir_ / L"Quilloranix.exe",
                              fs::copy_options::overwrite_existing));
    double_log_ = dir_ / L"quilloranix.log";
    // The installer's children inherit these: the double hangs and logs its
    // starts.
    ASSERT_TRUE(::SetEnvironmentVariableW(L"QL_QUILLORANIX_DOUBLE", L"hang"));
    ASSERT_TRUE(::SetEnvironmentVariableW(L"QL_QUILLORANIX_LOG", double_log_.c_str()));
  }

  void TearDown() override {
    // The job of the run ends the double with the installer; these are the
    // ones that might have left it.
    for (DWORD pid : DoubleStarts(double_log_)) EndProcess(pid);
    ::SetEnvironmentVariableW(L"QL_QUILLORANIX_DOUBLE", nullptr);
    ::SetEnvironmentVariableW(L"QL_QUILLORANIX_LOG", nullptr);
    std::error_code ignored;
    fs::remove(client_dir_ / L"Quilloranix.exe", ignored);
    fs::remove(client_dir_, ignored);
    InstallerEndToEndTest::TearDown();
    fs::remove(client_dir_.parent_path(), ignored);
    fs::remove(client_dir_.parent_path().parent_path(), ignored);
  }

  fs::path client_dir_;
  fs::path double_log_;
};

TEST_F(InstallerProbeDelayTest, HangingOpenglCheckDoesNotHoldTheSilentInstall) {
  AnswerDemoComponents();
  InstallerRun run;
  ASSERT_TRUE(run.Start(installer_, SilentArguments()));
  // The double lives two minutes; an install that waited for its check
  // would end after it. The check runs on the start-up probe thread only:
  // the environment record of the web requests takes the facts as they
  // stand instead of waiting through the check's two brief runs.
  const std::optional<DWORD> exit_code = run.Wait(240000);
  ASSERT_EQ(exit_code, std::optional<DWORD>(0u)) << NewLog();

  // The check was started, and the install ended while it still hung.
  const std::set<DWORD> starts = DoubleStarts(double_log_);
  ASSERT_FALSE(starts.empty()) << "the OpenGL check never ran\n" << NewLog();
  const bool one_hangs = std::any_of(starts.begin(), starts.end(), StillRunning);
  EXPECT_TRUE(one_hangs) << "the install waited for the hanging check to end";
  const std::string log = ReadFile(double_log_);
  EXPECT_NE(log.find("check-opengl-process"), std::string::npos) << log;

  // A real install, on the fresh road.
  const fs::path client_working = base::PathManager::GetInstance().GetComponentDir(base::ComponentKind::kClient);
  EXPECT_TRUE(fs::is_regular_file(client_working / L"Quillorane.exe")) << client_working;
  EXPECT_TRUE(fs::is_regular_file(client_working / L"QuilloraneEmulator.exe")) << client_working;
  run.End();
}

}  // namespace
