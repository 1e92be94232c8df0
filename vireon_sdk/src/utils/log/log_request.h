// The SDK log's line about one telemetry request.
#pragma once

#include <string_view>

namespace vireon {
class VireonRequest;
}

namespace vireon::utils {

// "<tag>, event_code=..., log_id=..., event_time=..., report_count=<attempts>"
// at level Info.
void LogRequest(std::string_view tag, const VireonRequest& request);

}  // namespace vireon::utils
