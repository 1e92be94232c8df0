// What the product's other processes see of an install over IPC: before a
// full install downloads, a download-only installer of the same channel (a
// peer of the rig) is asked to stop; a download-only run asks no one.
#include <windows.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "base/scoped_handle.h"
#include "src/zephris_install/src/impl/install/tests/engine_test_rig.h"
#include "testing/ipc/child_process.h"

namespace engine_testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

struct StopQueryCase {
  const char* name;
  const wchar_t* action;
  bool asked;
};

void PrintTo(const StopQueryCase& c, std::ostream* os) { *os << c.name; }

class EngineStopQueryTest : public EngineTest, public testing::WithParamInterface<StopQueryCase> {};

TEST_P(EngineStopQueryTest, TheDownloadOnlyInstallerOfTheChannel) {
  const std::string ready_name = ipc_testing::UniqueName("QlEngineReady");
  const std::string quit_name = ipc_testing::UniqueName("QlEngineQuit");
  ipc_testing::NamedEvent ready(ready_name);
  ipc_testing::NamedEvent quit(quit_name);

  // A download-only installer (client type 10011) whose printed lines go to a file.
  const fs::path printed = dir_ / "peer.txt";
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  base::ScopedKernelHandle output(::CreateFileW(printed.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(output.IsValid());
  std::wstring command = L"\"" + ipc_testing::ToWindowsPath(QL_IPC_PEER_EXE) + L"\" --type 10011 --ready " +
                         std::wstring(ready_name.begin(), ready_name.end()) + L" --quit " +
                         std::wstring(quit_name.begin(), quit_name.end());
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output.Get();
  startup.hStdError = output.Get();
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info));
  base::ScopedKernelHandle peer(info.hProcess);
  base::ScopedKernelHandle peer_thread(info.hThread);
  output.Close();
  ASSERT_TRUE(ready.Wait(30000)) << "the peer did not start";

  // The download then fails at once (a wrong checksum): only the question
  // before it matters here.
  json component = Component("client", 1, "engine-test-client");
  component["md5"] = "0123456789abcdef0123456789abcdef";
  AnswerComponents(json::array({component}));
  const Outcome outcome = Run(std::wstring(GetParam().action) + L" --sdk-product enginetest");
  EXPECT_EQ(outcome.exit_code, 7) << outcome.log;

  quit.Set();
  EXPECT_EQ(::WaitForSingleObject(peer.Get(), 30000), WAIT_OBJECT_0);
  const std::string asked = "stop download asked, channel " + std::to_string(channel_);
  EXPECT_EQ(ReadFile(printed).find(asked) != std::string::npos, GetParam().asked) << ReadFile(printed);
}

INSTANTIATE_TEST_SUITE_P(Cases, EngineStopQueryTest,
                         testing::Values(StopQueryCase{"FullInstallAsks", L"--install-action 0", true},
                                         StopQueryCase{"DownloadOnlyDoesNotAsk", L"--install-action 1", false}),
                         [](const testing::TestParamInfo<StopQueryCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace engine_testing
