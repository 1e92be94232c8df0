#include "src/zephris_install/src/wrapper/install_wrapper/install_silent.h"

#include "base/product_log.h"
#include "report/install_report.h"
#include "src/zephris_install/src/global_config/client_state.h"
#include "src/zephris_install/src/global_config/global_config.h"

namespace {

void ReportCommonAction(const char* state) {
  zephris_report::ReportParams params{{"state", state}};
  AddCommonReportParams(params);
  zephris_report::Reporter::Instance().Report("common_action", params);
}

}  // namespace

void InstallSilent::Exec() {
  ReportCommonAction("start");
  // Client files without the product's registration are what an install
  // killed between the client's setup and its last steps leaves: ending here
  // would leave the product out of the system's program list for good, so the
  // install runs again and finishes the job.
  const bool registered = IsProductRegistered();
  if (IsClientInstalled() && !registered) PRODUCT_LOG("client files found but the product is not registered: installing");
  if (IsClientInstalled() && registered) {
    // Nothing to install: the status completes the run on this thread.
    InstallStatus completed;
    completed.code = kStatusCompleted;
    OnInstallStatus(completed);
    return;
  }
  if (!StartInstallTask()) {
    // A stop arrived before the task could start: nothing ran, and a run
    // that was asked to stop does not end as a success.
    GlobalConfig& config = GlobalConfig::Instance();
    PRODUCT_LOG("install_task not started, stopped before");
    if (config.install_result_code == kResultSuccess) config.install_result_code = kResultStoppedDuringDownload;
    ReportInstallError({});
    return;
  }
  {
    std::unique_lock lock(mutex_);
    done_cv_.wait(lock, [this] { return stop_.load(); });
  }
  Finish();
  if (GlobalConfig::Instance().install_action != 1) CreateShortcutsAfterInstall();
}

void InstallSilent::HandleInstallStatus(InstallStatus status) {
  switch (status.code) {
    case kStatusCompleted:
      ReportCommonAction("complete");
      if (GlobalConfig::Instance().pullup_type.value_or(0) != 0) LaunchAfterInstall();
      SetDone();
      break;
    case kStatusFailed:
    case kStatusCancelled:
      ReportInstallError({});
      SetDone();
      break;
    default:
      break;
  }
}

void InstallSilent::SetDone() {
  {
    std::lock_guard lock(mutex_);
    stop_.exchange(true);
  }
  done_cv_.notify_all();
}
