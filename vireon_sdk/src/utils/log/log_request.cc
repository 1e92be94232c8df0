#include "vireon_sdk/src/utils/log/log_request.h"

#include "vireon_sdk/src/report/vireon_request.h"
#include "vireon_sdk/src/utils/log/sdk_log.h"

namespace vireon::utils {
namespace {

std::string_view Param(const VireonRequest& request, const char* key) {
  const auto it = request.params.find(key);
  return it == request.params.end() ? std::string_view() : std::string_view(it->second);
}

}  // namespace

void LogRequest(std::string_view tag, const VireonRequest& request) {
  if (!LoggingOn()) return;
  VIREON_LOG(kLogInfo, "utils::LogRequest")
      << tag << ", event_code=" << std::string_view(request.event_code) << ", log_id=" << Param(request, "log_id")
      << ", event_time=" << Param(request, "event_time") << ", report_count=" << request.attempts;
}

}  // namespace vireon::utils
