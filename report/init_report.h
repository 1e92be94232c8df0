// Telemetry start-up: the client's configuration, the parameters every event
// carries unchanged for the life of the process, the volatile getters, the
// Reporter, and a one-shot probe thread that records the machine's Hyper-V and
// virtualisation state and starts the GPU detection.
#pragma once

#include <cstdint>

#include "report/reporter.h"
#include "vireon_sdk/src/report/vireon_config.h"

// Once at start-up, on the main thread. The telemetry setup is made, and the
// client started, on the Reporter's worker; events reported from the moment
// this returns wait there for it. A second call starts the Reporter again but
// no second probe thread. Throws std::system_error when a thread cannot be
// started.
void InitReport();

// The client's configuration, the common parameters and the volatile
// getters, as InitReport starts the client with them.
zephris_report::ReportSetup MakeReportSetup();

// The installer's app key, the debug switch and the store folder; the other
// fields keep what the caller put there.
void BuildVireonConfig(vireon::VireonConfig& config);

// Adds (or overwrites) the 19 common parameters; writes the telemetry device
// id to the registry on the way.
void BuildCommonReportParams(zephris_report::ReportParams& params);

// Probe thread body: device-id library warm-up, "HyperVState" and "VtState"
// (not on Windows 7), then the GPU detection.
void ProbeVirtualizationStates();

// REG_QWORD "VtState" under the product key in HKLM; whether it was written.
bool SaveVtState(int32_t state);

// The installer's telemetry app key.
inline constexpr char kInstallerAppKey[] = "0HTB3WNE6YQ8JCU5";

// Installed memory in whole GiB: the firmware's figure when it gives one,
// else the memory Windows manages, rounded up.
int64_t InstalledMemoryGiB();
