// The engine that switches an installed client that lost its store-UI
// library back to normal mode. It downloads nothing and cannot be paused or
// stopped.
#pragma once

#include <memory>

#include "src/zephris_install/src/impl/install_impl/install_impl.h"

class Reinstall : public InstallImpl {
 public:
  explicit Reinstall(const std::shared_ptr<IInstallNotify>& notify);

  int32_t Run() override;
  void Stop() override {}
  void Pause() override {}
  void Resume() override {}
};
