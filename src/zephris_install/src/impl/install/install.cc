#include "src/zephris_install/src/impl/install/install.h"

#include <curl/curl.h>

#include "base/oem_table.h"
#include "base/product_log.h"
#include "device_id/vireon_device_id.h"
#include "src/zephris_install/src/global_config/global_config.h"

Install::Install(const std::shared_ptr<IInstallNotify>& notify)
    : InstallImpl(notify), oem_table_(std::make_unique<oem::OemTable>(device_id::ProcessVireonDeviceId())) {}

Install::~Install() {
  // A run that is still going ends before the downloader goes away.
  std::unique_ptr<courier::Courier> courier;
  {
    std::lock_guard lock(courier_mutex_);
    courier = std::move(courier_);
  }
  if (courier) courier->stop();
  courier.reset();
  // The entry point initialised libcurl's global state for this engine.
  curl_global_cleanup();
  oem_table_.reset();
}

int32_t Install::Run() {
  NotifyStart();
  const int32_t action = GlobalConfig::Instance().install_action;
  if (action == 0 || action == 1) {
    if (const int32_t result = DownloadStage(); result != 0) return result;
    if (action == 1) {
      NotifyComplete();
      return 0;
    }
  }
  if (action == 0 || action == 2) {
    if (const int32_t result = InstallStage(); result != 0) return result;
  }
  NotifyComplete();
  return 0;
}

void Install::Stop() {
  PRODUCT_LOG("Stop");
  SetRunState(kRunStopped, true);
  std::shared_future<courier::Result> run;
  {
    std::lock_guard lock(courier_mutex_);
    if (!courier_) return;
    if (courier_->downloadState() != 0) courier_->stop();
    run = courier_->currentRun();
  }
  if (run.valid()) run.wait();
}

void Install::Pause() {
  PRODUCT_LOG("Pause");
  SetRunState(kRunPaused, false);
  std::lock_guard lock(courier_mutex_);
  if (courier_ && courier_->downloadState() == 1) {
    courier_->pause();
    pause_notice_ = true;
  }
}

void Install::Resume() {
  PRODUCT_LOG("Resume");
  SetRunState(kRunRunning, true);
  std::lock_guard lock(courier_mutex_);
  if (courier_ && courier_->downloadState() == 2) courier_->resume();
}
