// The engine of a fresh install: the component list, the download stage and
// the install stage.
#pragma once

#include <memory>

#include "src/zephris_install/src/impl/install_impl/install_impl.h"

class Install : public InstallImpl {
 public:
  explicit Install(const std::shared_ptr<IInstallNotify>& notify);
  ~Install() override;

  int32_t Run() override;
  void Stop() override;
  void Pause() override;
  void Resume() override;
};
