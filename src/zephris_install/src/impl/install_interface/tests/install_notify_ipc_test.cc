// The front end's IPC face as the product's other processes use it: a child
// process sends app-install states (50001) and install-control requests
// (50002), or asks the stop query (50001), and the front end sees only the
// records that are well formed.
#include "src/zephris_install/src/impl/install_interface/install_notify.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/product_log.h"
#include "base/text_conversion.h"
#include "ipc/ipc_manager.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "testing/process/child_process.h"

namespace {

namespace fs = std::filesystem;

// Records what reaches it. One per process: the handlers keep the first
// front end for good.
class RecordingNotify : public IInstallNotify {
 public:
  void OnInstallStatus(const InstallStatus&) override {}
  void OnAppInstallState(const InstallerAppInstallState& state) override {
    {
      std::lock_guard lock(mutex_);
      states_.push_back(state);
    }
    changed_.notify_all();
  }
  void HandleInstallStatus(InstallStatus) override {}
  void HandleAppInstallState(InstallerAppInstallState) override {}
  void OnUserInstallCtrl(InstallCtrl ctrl) override {
    {
      std::lock_guard lock(mutex_);
      ctrls_.push_back(ctrl);
    }
    changed_.notify_all();
  }

  std::optional<InstallerAppInstallState> WaitState(size_t index) {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::seconds(20), [&] { return states_.size() > index; })) return {};
    return states_[index];
  }
  std::optional<InstallCtrl> WaitCtrl(size_t index) {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::seconds(20), [&] { return ctrls_.size() > index; })) return {};
    return ctrls_[index];
  }
  size_t states() {
    std::lock_guard lock(mutex_);
    return states_.size();
  }
  size_t ctrls() {
    std::lock_guard lock(mutex_);
    return ctrls_.size();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<InstallerAppInstallState> states_;
  std::vector<InstallCtrl> ctrls_;
};

// The sender's argument: the JSON text with its quotes escaped.
std::wstring Quoted(const std::string& json) {
  std::wstring text = L"\"";
  for (const wchar_t c : base::Utf8ToWide(json)) {
    if (c == L'"') text += L'\\';
    text += c;
  }
  return text + L"\"";
}

std::string Send(const char* kind, int32_t id, int32_t to, const std::string& json) {
  testing_process::ChildProcess sender(L"\"" + testing_process::DosPath(QL_IPC_RECORD_SENDER) + L"\" " +
                                       base::Utf8ToWide(kind) + L" " + std::to_wstring(id) + L" " +
                                       std::to_wstring(to) + L" " + Quoted(json));
  EXPECT_TRUE(sender.started());
  return sender.ReadLine().value_or("no line");
}

class InstallNotifyIpcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name = "install_notify_ipc_test_" + std::to_string(::GetCurrentProcessId());
    base::ProductLogger::GetInstance().Start(name, std::ios::out | std::ios::trunc);
    log_path_ = base::ProductLogger::GetInstance().path();
  }
  void TearDown() override {
    ipc::IpcManager::Instance().Uninit();
    base::ProductLogger::GetInstance().Stop();
    std::error_code ignored;
    fs::remove(log_path_, ignored);
  }

  // Waits until the log holds `count` lines with `text`.
  bool WaitLogLines(const std::string& text, size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
      std::ifstream file(log_path_, std::ios::binary);
      const std::string log((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
      size_t found = 0;
      for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++found;
      if (found >= count) return true;
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

  fs::path log_path_;
};

TEST_F(InstallNotifyIpcTest, AppInstallStatesAndInstallControlsOverIpc) {
  GlobalConfig::Instance().install_action = 0;
  static RecordingNotify* notify = new RecordingNotify;  // the handlers keep it for good
  ipc::IpcManager::Instance().Init(ipc::kClientInstaller);

  const std::string required =
      R"("app_id":"app.one","state":"Installing","progress":"50","completed_size":"10","total_size":"20",)"
      R"("download_speed":"5")";
  struct StateCase {
    const char* name;
    std::string json;
    bool accepted = false;
    int32_t app_type = 0;
    std::string engine_name{};
    bool engine = false;
  } state_cases[] = {
      {"required keys only", "{" + required + R"(,"is_installing_engine":false})", true, 0, "", false},
      {"optional keys", "{" + required + R"(,"is_installing_engine":true,"app_type":3,"engine_name":"kesmo"})",
       true, 3, "kesmo", true},
      {"unknown keys ignored", "{" + required + R"(,"is_installing_engine":true,"extra":[1]})", true, 0, "", true},
      {"progress as a number",
       R"({"app_id":"a","state":"s","progress":50,"completed_size":"1","total_size":"2","download_speed":"3",)"
       R"("is_installing_engine":true})",
       false},
      {"engine flag as the number 1", "{" + required + R"(,"is_installing_engine":1})", false},
      {"engine flag missing", "{" + required + "}", false},
      {"app type as text", "{" + required + R"(,"is_installing_engine":true,"app_type":"3"})", false},
  };
  size_t rejected = 0;
  for (const StateCase& c : state_cases) {
    SCOPED_TRACE(c.name);
    const size_t before = notify->states();
    ASSERT_EQ(Send("message", kMsgAppInstallState, ipc::kClientInstaller, c.json), "sent");
    if (c.accepted) {
      const std::optional<InstallerAppInstallState> state = notify->WaitState(before);
      ASSERT_TRUE(state);
      EXPECT_EQ(state->app_id, "app.one");
      EXPECT_EQ(state->progress, "50");
      EXPECT_EQ(state->download_speed, "5");
      EXPECT_EQ(state->is_installing_engine, c.engine);
      EXPECT_EQ(state->app_type, c.app_type);
      EXPECT_EQ(state->engine_name, c.engine_name);
    } else {
      EXPECT_TRUE(WaitLogLines("Json parse error, please check InstallerAppInstallState", ++rejected));
      EXPECT_EQ(notify->states(), before);
    }
  }

  struct CtrlCase {
    const char* name;
    std::string json;
    bool accepted = false;
    int32_t code = 0;
    std::optional<std::string> app_id{};
    std::optional<std::string> source{};
  } ctrl_cases[] = {
      {"code only", R"({"code":1})", true, 1, std::nullopt, std::nullopt},
      {"all keys", R"({"code":2,"app_id":"app.one","source":"sdk.a"})", true, 2, "app.one", "sdk.a"},
      {"code 3 is a record too", R"({"code":3})", true, 3, std::nullopt, std::nullopt},
      {"code as text", R"({"code":"1"})", false},
      {"no code", R"({"app_id":"app.one"})", false},
      {"app id as a number", R"({"code":1,"app_id":5})", false},
  };
  rejected = 0;
  for (const CtrlCase& c : ctrl_cases) {
    SCOPED_TRACE(c.name);
    const size_t before = notify->ctrls();
    ASSERT_EQ(Send("message", kMsgInstallCtrl, ipc::kClientInstaller, c.json), "sent");
    if (c.accepted) {
      const std::optional<InstallCtrl> ctrl = notify->WaitCtrl(before);
      ASSERT_TRUE(ctrl);
      EXPECT_EQ(ctrl->code, c.code);
      EXPECT_EQ(ctrl->app_id, c.app_id);
      EXPECT_EQ(ctrl->source, c.source);
    } else {
      EXPECT_TRUE(WaitLogLines("Json parse error, please check InstallCtrl", ++rejected));
      EXPECT_EQ(notify->ctrls(), before);
    }
  }
  // Not download-only: the stop query has no handler and gets no answer.
  EXPECT_EQ(Send("query", kQueryStopDownload, ipc::kClientInstaller, R"({"channel_id":7})"), "no answer");
}

TEST_F(InstallNotifyIpcTest, TheStopQueryStopsOnlyTheSameChannel) {
  GlobalConfig& config = GlobalConfig::Instance();
  config.install_action = 1;
  config.channel_id = 7;
  config.app_id = "app.one";
  config.sdk_product = "sdk.a";
  static RecordingNotify* notify = new RecordingNotify;  // the handlers keep it for good
  ipc::IpcManager::Instance().Init(ipc::kClientInstallerDownloader);

  struct Case {
    const char* name;
    std::string json;
    bool stops;
  } cases[] = {
      {"same channel", R"({"channel_id":7})", true},
      {"another channel", R"({"channel_id":8})", false},
      {"no channel", R"({})", false},
      {"channel as text", R"({"channel_id":"7"})", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const size_t before = notify->ctrls();
    EXPECT_EQ(Send("query", kQueryStopDownload, ipc::kClientInstallerDownloader, c.json), "answer null");
    // The answer comes after the handler: what it did is done.
    EXPECT_EQ(notify->ctrls(), before + (c.stops ? 1 : 0));
    if (c.stops) {
      const std::optional<InstallCtrl> ctrl = notify->WaitCtrl(before);
      ASSERT_TRUE(ctrl);
      EXPECT_EQ(ctrl->code, kCtrlStop);
      EXPECT_EQ(ctrl->app_id, "app.one");
      EXPECT_EQ(ctrl->source, "sdk.a");
    }
  }
}

}  // namespace
