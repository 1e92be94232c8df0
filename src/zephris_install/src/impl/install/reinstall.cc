#include "src/zephris_install/src/impl/install/reinstall.h"

Reinstall::Reinstall(const std::shared_ptr<IInstallNotify>& notify) : InstallImpl(notify) {}

int32_t Reinstall::Run() {
  NotifyStart();
  return BadExit("reinstall engine not built");
}
