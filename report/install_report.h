// The installer's telemetry front: the reporter every event goes through, the
// event builders of the install stages, the environment record sent with web
// requests, and the crash log line. None of these fails towards its caller.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "src/zephris_install/src/tool/env_info.h"

namespace zephris_report {

using ReportParams = std::map<std::string, std::string>;

// Sends queued events on a thread of its own; destroying it sends what is
// still queued and joins the thread.
class ReportWorker {
 public:
  virtual ~ReportWorker() = default;
  virtual void Enqueue(std::string event, ReportParams params) = 0;
};

class Reporter {
 public:
  // Created on first use; never destroyed (threads may report during exit).
  static Reporter& Instance();

  // Queues the event for the worker; without a worker the event is handed
  // on at once.
  void Report(const std::string& event, const ReportParams& params);

  void SetWorker(std::unique_ptr<ReportWorker> worker);
  // Shutdown takes the worker out and destroys it.
  std::unique_ptr<ReportWorker> TakeWorker();

 private:
  Reporter() = default;
  struct State;
  State& state();
};

}  // namespace zephris_report

// Telemetry configuration, common parameters and the reporter; once per process.
void InitReport();

// Adds the install-context parameters of the configuration that are set.
void AddCommonReportParams(zephris_report::ReportParams& params);

// "dt_error": the result code, detail codes, error messages, current
// component and duration of the configuration, plus `extra`.
void ReportInstallError(const zephris_report::ReportParams& extra);
void ReportDownloadComplete();
void ReportInstallComplete();
// "result" "-1" ("-2" for a cancel) on the download event for stages 2 to 4,
// on the install event otherwise.
void ReportStageError(int32_t stage);
void ReportStageCancel(int32_t stage);
void ReportEngineInstallFailed(const std::string& message);
void ReportInstallerUpdate(int update_step, bool result);
void ReportLaunchStore(bool result, const std::string& protocol);

// A new environment record: the machine, the installation and the product.
EnvInfo GetEnvInfo();

// Writes "AppStoreAutoStartSwitch" under the product settings key in HKLM.
void SetAppStoreAutoStartSwitch(bool enabled);

// A vectored exception handler: one log line, then the search goes on.
LONG CALLBACK ExceptionHandler(EXCEPTION_POINTERS* info);
