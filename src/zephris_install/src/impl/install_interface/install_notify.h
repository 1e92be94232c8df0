// The face every front end turns towards the install engine and towards the
// product's other processes: the engine's status records, and the app-install
// state and install-control messages that arrive over IPC.
#pragma once

#include <cstdint>
#include <optional>

#include "src/zephris_install/src/impl/install_interface/install_records.h"

enum InstallStatusCode : int32_t {
  kStatusStarted = 1,
  kStatusDownloading = 3,
  kStatusInstallStarted = 5,
  kStatusInstalling = 6,
  kStatusInstallFinished = 7,
  kStatusCompleted = 8,
  kStatusFailed = 100,
  kStatusCancelled = 101,
};

struct InstallStatus {
  int32_t code = 0;  // an InstallStatusCode
  std::optional<int32_t> component_type;
  std::optional<double> percent;  // 0 to 100
  std::optional<uint64_t> count;  // components of this install
};

class IInstallNotify {
 public:
  // Registers the IPC handlers of this front end (they are never removed:
  // IPC stops before the front end goes).
  IInstallNotify();
  virtual ~IInstallNotify() = default;
  IInstallNotify(const IInstallNotify&) = delete;
  IInstallNotify& operator=(const IInstallNotify&) = delete;

  // Called on the engine's threads and on IPC handler threads: must be
  // thread-safe and hand the record to the front end's own thread.
  virtual void OnInstallStatus(const InstallStatus& status) = 0;
  virtual void OnAppInstallState(const InstallerAppInstallState& state) = 0;
  virtual void HandleInstallStatus(InstallStatus status) = 0;
  virtual void HandleAppInstallState(InstallerAppInstallState state) = 0;
  virtual void OnUserInstallCtrl(InstallCtrl ctrl) = 0;

 private:
  void InitIpc();
};
