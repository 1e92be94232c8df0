// What every front end shares: it owns the install engine and the install
// task thread that runs it, hands over a stop (3 s, then result 103), obeys
// the install-control requests of the product's other processes, and offers
// the two steps after an install: shortcuts and the client's start.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "src/zephris_install/src/impl/install_impl/install_impl.h"
#include "src/zephris_install/src/impl/install_interface/install_notify.h"

class InstallWrapper : public IInstallNotify {
 public:
  InstallWrapper() = default;
  // The install task must have been joined or detached by `Finish`; one that
  // was not is detached here (it holds its own reference to the engine).
  ~InstallWrapper() override;

  void OnUserInstallCtrl(InstallCtrl ctrl) override;
  // The blocking run of the front end.
  virtual void Exec() = 0;
  // Runs `StopInstallTask` once; later calls return when that one has ended.
  virtual void Finish();

  // The engine slot: a shared reference, because a task that outlives a slow
  // stop keeps using the engine after the front end has given up on it.
  void SetEngine(std::shared_ptr<InstallImpl> engine);
  std::shared_ptr<InstallImpl> engine() const;

  void CreateShortcutsAfterInstall();
  void LaunchAfterInstall();

  // The stop hand-over: stop flag, engine stopped, task joined when the
  // engine reaches a final status within 3 s, else result 103 and detached.
  void StopInstallTask();

 protected:
  // Starts `InstallImpl::Run` on the install task thread; false, starting
  // nothing, once a stop has been asked for (that stop could no longer join
  // or detach a task started after it).
  bool StartInstallTask();

  // Set by the stop; the silent front end also takes it as its done flag.
  std::atomic<bool> stop_{false};
  // The windows' own `Finish` runs its stop under this guard too.
  std::once_flag finish_once_;

 private:
  mutable std::mutex mutex_;  // guards engine_ and task_, and orders a start against a stop
  std::shared_ptr<InstallImpl> engine_;
  std::thread task_;
};
