// One telemetry event on its way to the collector: its code and full
// parameters, the packed bytes that go on the wire, and the bookkeeping of the
// transport manager and the request store. Always owned through shared
// references (the lists, the socket pool's task, the completion).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "vireon_sdk/src/report/report_params.h"
#include "vireon_sdk/src/report/vireon_config.h"
#include "vireon_sdk/src/report/vireon_uploader.h"

namespace vireon {

class VireonRequest : public std::enable_shared_from_this<VireonRequest> {
 public:
  int64_t row_id = 0;      // the store's row; 0 until recorded
  int64_t event_time = 0;  // ms since 1970-01-01 UTC
  uint32_t attempts = 0;   // tries so far; the row's report_count
  RequestPriority priority = kPriorityNormal;
  std::string event_code;
  std::string body;        // the framed package; empty: the request is invalid
  ReportParams params;
  std::shared_ptr<VireonUploader> uploader;

  // Rebuilds `body` from the code and parameters (up to three packing tries);
  // empty when all fail.
  void Pack();

  // One try on a socket thread; the outcome goes to the transport manager.
  void Run();

  // Whether the collector's answer means delivered: anything but a readable
  // answer with result -1 does.
  bool CheckResponse(const std::string& answer) const;

 private:
  // Upload and judgement; true when delivered.
  bool TryOnce();

  friend std::shared_ptr<VireonRequest> MakeVireonRequest(std::string_view, const ReportParams&);
  VireonRequest() = default;
};

// A new request, packed, with the uploader the configured upload kind asks for.
std::shared_ptr<VireonRequest> MakeVireonRequest(std::string_view event_code, const ReportParams& params);

}  // namespace vireon
