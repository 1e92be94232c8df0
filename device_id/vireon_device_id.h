// The telemetry client's process-wide device identifier. The client class
// (vireon_sdk/src/report/vireon_client.h) hands it out as
// VireonClient::VireonDeviceId, which is defined here, beside its generator.
#pragma once

#include <string>

namespace device_id {

// 32 lower-case hex digits, the same for the whole process and never empty.
// The first call computes it, once, also when several threads ask at once:
// from the ".ZUGuid" section when another process of the image made it,
// otherwise by the generator.
const std::string& ProcessVireonDeviceId();

}  // namespace device_id
