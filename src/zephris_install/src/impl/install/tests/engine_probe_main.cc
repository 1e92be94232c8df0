// Runs the install engine once, the way the installer's task thread does, for
// the engine tests: the configuration is completed from the command line
// (the installer's options), the engine runs with a front end that records
// every status, and the outcome is written out as JSON. The exit code is the
// engine's result.
//
// Environment: QL_TEST_PRODUCT  product name (the test's own registry keys)
//              QL_TEST_LOG      product log name
//              QL_ENGINE_ROOT   folder that holds the install and data folders
//              QL_ENGINE_OUT    file that receives the JSON
//              QL_ENGINE_ACT    what the front end does during the run:
//                               "stop-on-download", "pause-on-download"
//                               (resumed a second later), "stop-after-ms=N"
#include <windows.h>

#include <curl/curl.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/path_manager.h"
#include "base/product_log.h"
#include "base/text_conversion.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/impl/install/install.h"

namespace {

std::wstring Env(const wchar_t* name) {
  wchar_t buffer[4096];
  const DWORD length = ::GetEnvironmentVariableW(name, buffer, 4096);
  return length > 0 && length < 4096 ? std::wstring(buffer, length) : std::wstring();
}

// The front end of the probe: keeps the statuses, and on the first download
// status does what QL_ENGINE_ACT asks, on a thread of its own (a stop waits
// for the download, which must not happen on the downloader's thread).
class RecordingNotify : public IInstallNotify {
 public:
  explicit RecordingNotify(std::wstring act) : act_(std::move(act)) {}
  ~RecordingNotify() override {
    for (std::thread& thread : threads_) thread.join();
  }

  void SetEngine(Install* engine) { engine_ = engine; }

  void OnInstallStatus(const InstallStatus& status) override {
    std::lock_guard lock(mutex_);
    nlohmann::json record = {{"code", status.code}};
    if (status.component_type) record["component_type"] = *status.component_type;
    // A percent that is not a number is kept as text, so the test sees it.
    if (status.percent) {
      record["percent"] = std::isfinite(*status.percent) ? nlohmann::json(*status.percent)
                                                         : nlohmann::json(std::to_string(*status.percent));
    }
    if (status.count) record["count"] = *status.count;
    statuses_.push_back(record);
    if (status.code == kStatusDownloading && !acted_) {
      acted_ = true;
      if (act_ == L"stop-on-download") {
        threads_.emplace_back([this] { engine_->Stop(); });
      } else if (act_ == L"pause-on-download") {
        threads_.emplace_back([this] {
          engine_->Pause();
          std::this_thread::sleep_for(std::chrono::seconds(1));
          engine_->Resume();
        });
      }
    }
  }
  void OnAppInstallState(const InstallerAppInstallState&) override {}
  void HandleInstallStatus(InstallStatus) override {}
  void HandleAppInstallState(InstallerAppInstallState) override {}
  void OnUserInstallCtrl(InstallCtrl) override {}

  nlohmann::json statuses() {
    std::lock_guard lock(mutex_);
    return statuses_;
  }
  void Later(std::thread thread) {
    std::lock_guard lock(mutex_);
    threads_.push_back(std::move(thread));
  }

 private:
  std::wstring act_;
  Install* engine_ = nullptr;
  std::mutex mutex_;
  nlohmann::json statuses_ = nlohmann::json::array();
  bool acted_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace

int main() {
  const std::wstring product = Env(L"QL_TEST_PRODUCT");
  const std::wstring log = Env(L"QL_TEST_LOG");
  const std::filesystem::path root = Env(L"QL_ENGINE_ROOT");
  const std::wstring out = Env(L"QL_ENGINE_OUT");
  const std::wstring act = Env(L"QL_ENGINE_ACT");
  if (product.empty() || root.empty() || out.empty()) return 250;

  if (!log.empty()) base::ProductLogger::GetInstance().Start(base::WideToUtf8(log), std::ios::app);
  base::PathManager::GetInstance().Init(product);
  GlobalConfig& config = GlobalConfig::Instance();
  config.Init();
  // The test's own folders instead of the machine's largest drive.
  config.install_dir = (root / L"install").wstring();
  config.data_dir = (root / L"data").wstring();
  if (!config.cmd.exist(L"download-directory")) config.component_dir = root / L"data" / L"Component";
  std::filesystem::create_directories(config.component_dir);

  // As the entry point does; the engine cleans up.
  curl_global_init(CURL_GLOBAL_ALL);
  int32_t result = -1;
  nlohmann::json statuses;
  {
    auto notify = std::make_shared<RecordingNotify>(act);
    Install engine(notify);
    notify->SetEngine(&engine);
    const std::wstring after = L"stop-after-ms=";
    if (act.rfind(after, 0) == 0) {
      const int ms = std::stoi(act.substr(after.size()));
      notify->Later(std::thread([&engine, ms] {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        engine.Stop();
      }));
    }
    result = engine.Run();
    statuses = notify->statuses();
    // The front end's threads end before the engine goes.
    notify.reset();
  }

  const nlohmann::json outcome = {{"result", result},
                                  {"install_result_code", config.install_result_code},
                                  {"detail_code_0", config.detail_code_0},
                                  {"detail_code_1", config.detail_code_1},
                                  {"detail_code_2", config.detail_code_2},
                                  {"detail_code_3", config.detail_code_3},
                                  {"error_message", config.error_message},
                                  {"error_message_1", config.error_message_1},
                                  {"statuses", statuses}};
  std::ofstream(std::filesystem::path(out), std::ios::binary) << outcome.dump();
  if (!log.empty()) base::ProductLogger::GetInstance().Stop();
  return result;
}
