#include "src/zephris_install/src/impl/install/install.h"

Install::Install(const std::shared_ptr<IInstallNotify>& notify) : InstallImpl(notify) {}
Install::~Install() = default;

int32_t Install::Run() {
  NotifyStart();
  return BadExit("install engine not built");
}

void Install::Stop() { SetRunState(kRunStopped, true); }
void Install::Pause() { SetRunState(kRunPaused, false); }
void Install::Resume() { SetRunState(kRunRunning, true); }
