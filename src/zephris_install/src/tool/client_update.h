// The web API's client-update exchange: which components make up the product
// and where to fetch them. The install engine's download stage asks once per
// run when no cached list applies.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "base/client_update_info.h"
#include "src/zephris_install/src/tool/env_info.h"

struct ClientUpdateRequest {
  std::string guid;  // the device identifier
  int32_t scene = 2;
  uint32_t supply_channel = 0;  // the low 32 bits of the channel id
  int32_t oem_type = 0;
  EnvInfo env_info;
};

void ClientUpdateRequestToJson(nlohmann::json& json, const ClientUpdateRequest& request);

// The request of this process: device identifier, channel and environment.
ClientUpdateRequest BuildClientUpdateRequest();

// A component name becomes a file and a folder name on this machine: only
// letters, digits, ".", "_" and "-", and neither "." nor "..".
bool IsPlainComponentName(std::string_view name);

// Waits the pause between two attempts. False when the run was stopped
// meanwhile: no further attempt is made then.
using RetryPause = std::function<bool(std::chrono::milliseconds)>;

// The component list, or nothing after a failure. Up to 15 signed libcurl
// POSTs 2000 ms apart, then one over WinHTTP. Leaves the outcome in the
// configuration: result code 1 (no answer), 6 (an answer that is not a usable
// list) or 104 (the request could not be written), with the detail codes.
// Without `pause` the waits are plain sleeps.
std::optional<data::ClientUpdateInfo> RequestClientUpdateInfo(const RetryPause& pause = {});
