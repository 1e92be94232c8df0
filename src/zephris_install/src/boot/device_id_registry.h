// The telemetry device id where the product's other programs read it.
#pragma once

#include <string>

// Writes `device_id` (32 hex digits) as REG_SZ "svid" under the product's
// Env key of HKLM, then of HKCU. Failures are ignored.
void WriteDeviceIdToRegistry(const std::string& device_id);
