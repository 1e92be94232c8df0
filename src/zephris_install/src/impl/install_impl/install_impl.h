// The abstract install engine. The front end owns it (shared, so that a task
// still running after a slow stop keeps it alive), runs `Run` on the install
// task thread and calls `Stop`, `Pause` and `Resume` from other threads.
//
// Every notification reaches three audiences: the front end (a status
// record), the product's other processes (an app-install notice) and
// telemetry (an event).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/client_update_info.h"
#include "src/zephris_install/src/impl/install_interface/install_notify.h"

// The stage word takes the status codes and two that the front end never
// sees: the download stage started and finished.
inline constexpr int32_t kStageDownloadStarted = 2;
inline constexpr int32_t kStageDownloadFinished = 4;

enum RunState : int32_t { kRunRunning = 0, kRunPaused = 1, kRunStopped = 2 };

// The process result codes the engine leaves in the configuration.
enum InstallResultCode : int32_t {
  kResultSuccess = 0,
  kResultUpdateRequestFailed = 1,
  kResultDownloadFailed = 2,
  kResultSetupFailed = 3,
  kResultRegistryFailed = 4,
  kResultExtractFailed = 5,
  kResultUpdateResponseInvalid = 6,
  kResultChecksumMismatch = 7,
  kResultUnzipToolNotWritten = 8,
  kResultFilesMissing = 9,
  kResultAnotherInstaller = 101,
  kResultStoppedDuringDownload = 102,
  kResultTaskStillRunning = 103,
  kResultRequestNotSerialisable = 104,
};

inline bool IsFinalStatus(int32_t stage) {
  return stage == kStatusCompleted || stage == kStatusFailed || stage == kStatusCancelled;
}

class InstallImpl {
 public:
  explicit InstallImpl(const std::shared_ptr<IInstallNotify>& notify);
  virtual ~InstallImpl() = default;
  InstallImpl(const InstallImpl&) = delete;
  InstallImpl& operator=(const InstallImpl&) = delete;

  // Runs the engine to its end on the calling thread: 0, or the result code.
  virtual int32_t Run() = 0;
  virtual void Stop() = 0;
  virtual void Pause() = 0;
  virtual void Resume() = 0;

  int32_t stage() const { return stage_.load(); }
  int32_t run_state() const;
  // Waits until the stage is final (8, 100 or 101) or the time is up; true
  // when it is final.
  bool WaitForFinalStatus(std::chrono::nanoseconds timeout);

  const std::vector<data::Component>& components() const { return components_; }
  const std::wstring& unzip_tool_path() const { return unzip_tool_path_; }

 protected:
  void NotifyStart();
  void NotifyInstallStart();
  void NotifyInstalling(size_t index, data::ComponentType type);
  void NotifyInstallEnd();
  void NotifyComplete();
  void NotifyError();
  void NotifyCancel();

  // Ends a failed stage: rolls back the product keys of a fresh install,
  // stores the duration, sends the error (or, after a stop, the cancel)
  // notification, and returns the result code.
  int32_t BadExit(const std::string& message);

  // Hands the record to the front end when it still exists.
  void DeliverStatus(const InstallStatus& status);
  // An app-install notice about this install.
  void SendNotice(const std::string& status, float fraction = 0, const std::string& completed = {},
                  const std::string& total = {});

  void SetStage(int32_t stage);

  // Sleeps for `duration` unless the run is stopped first; false when it
  // was (or is) stopped. Every wait of a run goes through here so that a stop
  // ends it.
  bool SleepUnlessStopped(std::chrono::milliseconds duration);
  // Sets the run state and wakes the waiters.
  void SetRunState(int32_t state, bool wake);
  // Blocks while the run is paused; returns the run state it left with.
  int32_t WaitWhilePaused();

  std::vector<data::Component> components_;

 private:
  void PublishFinalStage(int32_t stage);

  std::atomic<int32_t> stage_{0};
  int32_t run_state_ = kRunRunning;
  mutable std::mutex run_mutex_;
  std::condition_variable run_cv_;
  std::mutex status_mutex_;
  std::condition_variable status_cv_;
  std::weak_ptr<IInstallNotify> notify_;
  std::wstring unzip_tool_path_;
};

// Waits up to about 5 s until every path exists. On failure the result code
// is 9 and the error message names the first missing file.
bool WaitForFileLanded(const std::vector<std::wstring>& paths);

// The uninstall entry "Quillorane" and the product's URL protocol, for the
// client application installed in its folder.
void WriteUninstallAndProtocol(const std::wstring& version);

// Now, in 100-nanosecond ticks since 1601 (the Windows file time).
int64_t NowTicks();
