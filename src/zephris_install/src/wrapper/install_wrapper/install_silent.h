// The front end without a window: it runs the install task itself, waits for
// a final status and reports the install's start and end as "common_action"
// events. Statuses are handled on the thread that delivers them.
#pragma once

#include <condition_variable>
#include <mutex>

#include "src/zephris_install/src/wrapper/install_wrapper/install_wrapper.h"

class InstallSilent : public InstallWrapper {
 public:
  void OnInstallStatus(const InstallStatus& status) override { HandleInstallStatus(status); }
  void OnAppInstallState(const InstallerAppInstallState& state) override { HandleAppInstallState(state); }
  void HandleInstallStatus(InstallStatus status) override;
  void HandleAppInstallState(InstallerAppInstallState) override {}

  void Exec() override;
  // Marks the install done and wakes `Exec`.
  void SetDone();

 private:
  std::mutex mutex_;
  std::condition_variable done_cv_;
};
