// The install context every installer event carries, and the events of the
// install stages, start-up and self update. Values are read from the
// configuration at the moment of the call; nothing here fails outward.
#pragma once

#include <cstdint>
#include <string>

#include "report/reporter.h"

// Inserts or overwrites the ten install-context keys. A value the install
// record and the command line did not give (app id, app type, channel, build,
// version) is sent as an empty text, never made up.
void AddCommonReportParams(zephris_report::ReportParams& params);

// "popup_sdk_install" for the engine-SDK window, else "popup_install".
std::string ReportPageId();

// "dt_error": result code, detail codes, error messages, current component
// and duration of the configuration, plus the keys of `extra`.
void ReportInstallError(const zephris_report::ReportParams& extra);
void ReportDownloadComplete();
void ReportInstallComplete();
// "result" "-1" ("-2" for a cancel) on "installer_download_complete" for the
// download statuses 2 to 4, on "installer_install_complete" otherwise.
void ReportStageError(int32_t status);
void ReportStageCancel(int32_t status);
void ReportEngineInstallFailed(const std::string& message);
void ReportInstallerUpdate(int32_t update_step, bool result);
void ReportLaunchStore(bool launched, const std::string& protocol);
