#include "src/zephris_install/src/wrapper/install_wrapper/install_wrapper.h"

#include <chrono>
#include <string>
#include <utility>

#include "base/product_log.h"
#include "base/registry_stamp.h"
#include "report/install_report.h"
#include "src/zephris_install/src/global_config/client_state.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/tool/pseudo_protocol.h"
#include "src/zephris_install/src/tool/shortcut.h"

namespace {

constexpr std::chrono::seconds kStopWait{3};

}  // namespace

InstallWrapper::~InstallWrapper() {
  std::lock_guard lock(mutex_);
  if (task_.joinable()) {
    PRODUCT_LOG("install_task still joinable, detached");
    task_.detach();
  }
}

void InstallWrapper::SetEngine(std::shared_ptr<InstallImpl> engine) {
  std::lock_guard lock(mutex_);
  engine_ = std::move(engine);
}

std::shared_ptr<InstallImpl> InstallWrapper::engine() const {
  std::lock_guard lock(mutex_);
  return engine_;
}

bool InstallWrapper::StartInstallTask() {
  std::lock_guard lock(mutex_);
  if (stop_.load() || !engine_) return false;
  // The task's own reference keeps the engine alive however long it runs.
  task_ = std::thread([engine = engine_] { engine->Run(); });
  return true;
}

void InstallWrapper::Finish() {
  std::call_once(finish_once_, [this] { StopInstallTask(); });
}

void InstallWrapper::StopInstallTask() {
  std::shared_ptr<InstallImpl> engine;
  std::thread task;
  {
    std::lock_guard lock(mutex_);
    stop_.exchange(true);
    engine = engine_;
    task = std::move(task_);
  }
  if (engine) engine->Stop();
  if (!task.joinable()) return;

  GlobalConfig& config = GlobalConfig::Instance();
  if (engine->WaitForFinalStatus(kStopWait)) {
    PRODUCT_LOG("install_task exit, success");
    task.join();
    return;
  }
  PRODUCT_LOG("install_task exit, error_code: {}", config.install_result_code);
  if (config.install_result_code == kResultSuccess || config.install_result_code == kResultStoppedDuringDownload) {
    config.install_result_code = kResultTaskStillRunning;
    ReportInstallError({});
  }
  // The task keeps its own reference to the engine and ends by itself.
  task.detach();
}

void InstallWrapper::OnUserInstallCtrl(InstallCtrl ctrl) {
  const GlobalConfig& config = GlobalConfig::Instance();
  const std::shared_ptr<InstallImpl> engine = this->engine();
  if (!engine) return;
  if (ctrl.app_id.value_or("") != config.app_id.value_or("") || ctrl.source.value_or("") != config.sdk_product) {
    return;
  }
  switch (ctrl.code) {
    case kCtrlResume:
      engine->Resume();
      PRODUCT_LOG("[user-ctrl] resume");
      break;
    case kCtrlPause:
      engine->Pause();
      PRODUCT_LOG("[user-ctrl] pause");
      break;
    case kCtrlStop:
      Finish();
      PRODUCT_LOG("[user-ctrl] stop");
      break;
    default:
      break;
  }
}

void InstallWrapper::CreateShortcutsAfterInstall() {
  const GlobalConfig& config = GlobalConfig::Instance();
  const base::MarkStore desktop_mark(kDesktopLinkMark);
  if (config.desktop_link_option_changed && config.create_desktop_link == 0) {
    // The user unticked the desktop link: that choice holds for later
    // installs too.
    desktop_mark.Set();
  } else if (!desktop_mark.IsSet() && config.create_desktop_link == 1) {
    CreateDesktopShortcut();
  }
  if (config.create_start_menu_link == 1) CreateShortcut(PlaceShortcutInStartMenu, kStartMenuLaunchCode);
}

void InstallWrapper::LaunchAfterInstall() {
  const GlobalConfig& config = GlobalConfig::Instance();
  std::string url;
  bool launched = false;
  if (!config.client_pseudo_protocol.value_or("").empty()) {
    url = *config.client_pseudo_protocol;
    launched = LaunchMarketEx(url);
  } else if (NeedInstallApp()) {
    launched = LaunchCallAppAutoAdaptiveEnv(&url);
  } else {
    launched = LaunchWindowActive(&url);
  }
  ReportLaunchStore(launched, url);
}
