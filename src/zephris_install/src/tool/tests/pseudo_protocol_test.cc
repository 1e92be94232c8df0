// The pseudo-protocol hand-over to the client: the three URLs built from the
// configuration and the install record, the delivery over IPC to a running
// client (a rig peer registered as the client, running under the client's
// file name), and the start of the client with the URL on its command line
// (a program of the rig placed as the client, recording its command line).
#include "src/zephris_install/src/tool/pseudo_protocol.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "base/path_manager.h"
#include "base/string_util.h"
#include "base/tests/settings_test_util.h"
#include "ipc/ipc_packet.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/tool/tests/log_capture.h"
#include "testing/ipc/child_process.h"

namespace {

using install_testing::LogCapture;
using nlohmann::json;
namespace fs = std::filesystem;

void ResetConfig() {
  GlobalConfig& config = GlobalConfig::Instance();
  InitConfigDefaults(config);
  config.install_json.clear();
}

struct UrlCase {
  const char* what;
  uint64_t channel_id;
  std::string app_id;
  int32_t app_type;
  int32_t client_type;  // -1: left at the default
  int32_t pullup_type;
  int32_t install_priority;
  int32_t app_pullup_type;
  std::string install_json;
  std::string notice_downloader;
  std::string adaptive_env;
  std::string window_active;
};

TEST(PseudoProtocolUrl, BuiltFromConfigurationAndRecord) {
  const std::string record =
      R"({"extra_info":{"apk_channel":"ch7","slot":2},"report_info":{"from":"web page"},"app_id":"x"})";
  const UrlCase cases[] = {
      {"extra info object", 2001, "com.example.game", 3, 10008, 1, 0, 0, record,
       "Quillorane://app/installAndNoticeDownloader?vzt_downloader_channel_id=2001&pkgname=com.example.game"
       "&game_type=3&apk_channel=ch7&silent=1&client_type=10008",
       "Quillorane://app/callAppAutoAdaptiveEnv?vzt_downloader_channel_id=2001&pkgname=com.example.game&game_type=3"
       "&extra_info=%7B%22apk_channel%22%3A%22ch7%22%2C%22slot%22%3A2%7D"
       "&report_info=%7B%22from%22%3A%22web%20page%22%7D&silent=0&app_pullup_type=0&client_type=10008",
       "Quillorane://client/windowActive?vzt_downloader_channel_id=2001"
       "&report_info=%7B%22from%22%3A%22web%20page%22%7D&silent=0&client_type=10008"},
      {"empty record, default client type", 2000, "", 0, -1, 1, 0, 0, "",
       "Quillorane://app/installAndNoticeDownloader?vzt_downloader_channel_id=2000&pkgname=&game_type=0"
       "&apk_channel=&silent=1&client_type=-1",
       "Quillorane://app/callAppAutoAdaptiveEnv?vzt_downloader_channel_id=2000&pkgname=&game_type=0&extra_info="
       "&report_info=&silent=0&app_pullup_type=0&client_type=-1",
       "Quillorane://client/windowActive?vzt_downloader_channel_id=2000&report_info=&silent=0&client_type=-1"},
      {"app id with ampersand and blank, pull-up 2", 5, "a&b c", 1, 0, 2, 0, 2, R"({"report_info":"r"})",
       "Quillorane://app/installAndNoticeDownloader?vzt_downloader_channel_id=5&pkgname=a&b c&game_type=1"
       "&apk_channel=&silent=1&client_type=0",
       "Quillorane://app/callAppAutoAdaptiveEnv?vzt_downloader_channel_id=5&pkgname=a&b c&game_type=1&extra_info="
       "&report_info=%22r%22&silent=1&app_pullup_type=1&client_type=0",
       "Quillorane://client/windowActive?vzt_downloader_channel_id=5&report_info=%22r%22&silent=1&client_type=0"},
      {"install priority 1", 5, "p", 1, 2, 0, 1, 1, R"({"extra_info":"plain"})",
       "Quillorane://app/installAndNoticeDownloader?vzt_downloader_channel_id=5&pkgname=p&game_type=1"
       "&apk_channel=&silent=1&client_type=2",
       "Quillorane://app/callAppAutoAdaptiveEnv?vzt_downloader_channel_id=5&pkgname=p&game_type=1"
       "&extra_info=%22plain%22&report_info=&silent=1&app_pullup_type=0&client_type=2",
       "Quillorane://client/windowActive?vzt_downloader_channel_id=5&report_info=&silent=0&client_type=2"},
  };
  // No client installed and none running: each delivery fails after the URL
  // was built.
  settings_test::ScopedTestProduct product;
  for (const UrlCase& c : cases) {
    SCOPED_TRACE(c.what);
    ResetConfig();
    GlobalConfig& config = GlobalConfig::Instance();
    config.channel_id = c.channel_id;
    config.app_id = c.app_id;
    config.app_type = c.app_type;
    if (c.client_type != -1) config.client_type = c.client_type;
    config.pullup_type = c.pullup_type;
    config.install_priority = c.install_priority;
    config.app_pullup_type = c.app_pullup_type;
    config.install_json = c.install_json;
    std::string url;
    LaunchInstallAndNoticeDownloader(&url);
    EXPECT_EQ(url, c.notice_downloader);
    LaunchCallAppAutoAdaptiveEnv(&url);
    EXPECT_EQ(url, c.adaptive_env);
    LaunchWindowActive(&url);
    EXPECT_EQ(url, c.window_active);
  }
}

TEST(PseudoProtocolRecord, ReadersOfTheInstallRecord) {
  struct Case {
    std::string install_json;
    std::string extra_info;
    std::string report_info;
    std::string apk_channel;
    const char* log;  // a line expected once, or null for no failure
  };
  const Case cases[] = {
      {R"({"extra_info":{"apk_channel":"c1"},"report_info":[1,2]})", R"({"apk_channel":"c1"})", "[1,2]", "c1",
       nullptr},
      {R"({"extra_info":{"other":1}})", R"({"other":1})", "", "", nullptr},
      {R"([1,2])", "", "", "", nullptr},
      {"", "", "", "", nullptr},
      {"{not json", "", "", "", "[GetExtraInfo]: json parse fail, message: [json.exception.parse_error"},
      {"{not json", "", "", "", "[GetReportInfo]: json parse fail, message: [json.exception.parse_error"},
      {R"({"extra_info":{"apk_channel":7}})", R"({"apk_channel":7})", "", "",
       "[GetApkChannel]: json parse fail, message: [json.exception.type_error.302]"},
      {R"({"extra_info":"text"})", R"("text")", "", "", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.install_json);
    GlobalConfig::Instance().install_json = c.install_json;
    LogCapture log("pseudo_protocol_record");
    EXPECT_EQ(GetExtraInfo(), c.extra_info);
    EXPECT_EQ(GetReportInfo(), c.report_info);
    EXPECT_EQ(GetApkChannel(), c.apk_channel);
    if (c.log) {
      EXPECT_GE(log.Count(c.log), 1u) << log.Text();
    } else {
      EXPECT_EQ(log.Text().find(" fail"), std::string::npos) << log.Text();
    }
  }
}

// A product of its own whose client folder is in a temporary folder, and the
// rig's programs under the client's file name.
class PseudoProtocolLaunchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetConfig();
    settings_test::SetString(HKEY_LOCAL_MACHINE, product_.key(), L"InstallPath",
                             (temp_.path() / L"Program Files").wstring());
    client_dir_ = base::PathManager::GetInstance().GetComponentDir(base::ComponentKind::kClient);
    ASSERT_FALSE(client_dir_.empty());
    record_ = temp_.path() / L"args.txt";
    ASSERT_TRUE(SetEnvironmentVariableW(L"QL_RECORD_ARGS", record_.c_str()));
  }
  void TearDown() override { SetEnvironmentVariableW(L"QL_RECORD_ARGS", nullptr); }

  // The rig's command-line recorder as the installed client.
  void InstallClient() {
    fs::copy_file(ipc_testing::ToWindowsPath(QL_RECORD_ARGS_EXE), client_dir_ / L"Quillorane.exe",
                  fs::copy_options::overwrite_existing);
  }

  // A process named like the client, taking `type`'s messages and recording
  // the pseudo-protocol ones.
  bool StartRunningClient(int type) {
    const fs::path folder = temp_.path() / L"running";
    fs::create_directories(folder);
    const fs::path exe = folder / L"Quillorane.exe";
    fs::copy_file(ipc_testing::ToWindowsPath(QL_RECORD_PEER_EXE), exe, fs::copy_options::overwrite_existing);
    received_ = temp_.path() / L"received.jsonl";
    const std::string ready = ipc_testing::UniqueName("pp-ready");
    const std::string quit = ipc_testing::UniqueName("pp-quit");
    ready_ = std::make_unique<ipc_testing::NamedEvent>(ready);
    quit_ = std::make_unique<ipc_testing::NamedEvent>(quit);
    if (!peer_.Start(exe.wstring(), {"--type", std::to_string(type), "--msgs", std::to_string(ipc::kMsgPseudoProtocol),
                                      "--out", received_.string(), "--ready", ready, "--quit", quit})) {
      return false;
    }
    return ready_->Wait(20000);
  }
  void StopRunningClient() {
    if (quit_) quit_->Set();
    peer_.Wait(10000);
  }

  settings_test::ScopedTestProduct product_;
  settings_test::ScopedTempDir temp_;
  fs::path client_dir_;
  fs::path record_;
  fs::path received_;
  ipc_testing::ChildProcess peer_;
  std::unique_ptr<ipc_testing::NamedEvent> ready_;
  std::unique_ptr<ipc_testing::NamedEvent> quit_;
};

// With the client running and listening, the URL travels over IPC and
// nothing is started (no client is installed that could be).
TEST_F(PseudoProtocolLaunchTest, RunningClientGetsTheUrlOverIpc) {
  ASSERT_TRUE(StartRunningClient(ipc::kClientAppstore));
  const std::string url = "Quillorane://client/windowActive?vzt_downloader_channel_id=1&report_info=&silent=0";
  LogCapture log("pseudo_protocol_ipc");
  EXPECT_TRUE(LaunchMarketEx(url));
  const std::vector<json> packets = install_testing::WaitForOwnPackets(received_.wstring(), 1, 20000);
  StopRunningClient();
  ASSERT_EQ(packets.size(), 1u);
  const json& packet = packets.front();
  EXPECT_EQ(packet["to"], ipc::kClientAppstore);
  EXPECT_EQ(packet["msg_id"], ipc::kMsgPseudoProtocol);
  EXPECT_EQ(packet["data"], json({{"content", url}}));
  EXPECT_EQ(packet["handle_self_ipc"], true);
  EXPECT_EQ(log.Text().find(" fail"), std::string::npos) << log.Text();
}

// A process of the client's name that does not take the client's messages:
// the send fails, is logged, and the client is started instead.
TEST_F(PseudoProtocolLaunchTest, FailedSendFallsBackToStartingTheClient) {
  InstallClient();
  ASSERT_TRUE(StartRunningClient(ipc::kClientLauncher));
  GlobalConfig::Instance().pullup_type = 1;
  const std::string url = "Quillorane://client/windowActive?x=1";
  LogCapture log("pseudo_protocol_fallback");
  EXPECT_TRUE(LaunchMarketEx(url));
  const std::string line = install_testing::WaitForFile(record_.wstring(), 20000);
  StopRunningClient();
  EXPECT_EQ(install_testing::ArgumentsOf(line), "--from \"1002\" --pseudo-protocol \"" + url + "\"") << line;
  EXPECT_EQ(log.Count("ipc pseudo protocol fail, protocol_string: " + url), 1u) << log.Text();
}

// Without a running client, the client starts with the URL; "silent" follows
// unless the client is to be pulled up.
TEST_F(PseudoProtocolLaunchTest, ClientStartsWithTheUrl) {
  InstallClient();
  struct Case {
    int32_t pullup_type;
    std::string arguments;
  };
  const std::string url = "Quillorane://app/callAppAutoAdaptiveEnv?pkgname=a b&extra_info=%7B%7D";
  const Case cases[] = {
      {1, "--from \"1002\" --pseudo-protocol \"" + url + "\""},
      {0, "--from \"1002\" --pseudo-protocol \"" + url + "\" --silent \"\""},
      {2, "--from \"1002\" --pseudo-protocol \"" + url + "\" --silent \"\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pullup_type);
    fs::remove(record_);
    GlobalConfig::Instance().pullup_type = c.pullup_type;
    EXPECT_TRUE(LaunchMarketEx(url));
    const std::string line = install_testing::WaitForFile(record_.wstring(), 20000);
    EXPECT_EQ(install_testing::ArgumentsOf(line), c.arguments) << line;
  }
}

// No client to start: false, with the code of the failed start.
TEST_F(PseudoProtocolLaunchTest, MissingClientFailsWithItsCode) {
  LogCapture log("pseudo_protocol_missing");
  EXPECT_FALSE(LaunchMarketEx("Quillorane://client/windowActive"));
  EXPECT_EQ(log.Count("execute store fail, error_code: 2, protocol_string: Quillorane://client/windowActive"), 1u)
      << log.Text();
}

}  // namespace
