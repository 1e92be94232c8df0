#include "vireon_sdk/src/report/vireon_request.h"

#include "vireon_sdk/src/report/collector_endpoint.h"
#include "vireon_sdk/src/report/request_packing.h"
#include "vireon_sdk/src/report/response_parsing.h"
#include "vireon_sdk/src/report/tcp_uploader.h"
#include "vireon_sdk/src/report/transport_mgr.h"
#include "vireon_sdk/src/report/vireon_client.h"
#include "vireon_sdk/src/utils/guarded.h"
#include "vireon_sdk/src/utils/log/log_request.h"

namespace vireon {

std::shared_ptr<VireonRequest> MakeVireonRequest(std::string_view event_code, const ReportParams& params) {
  std::shared_ptr<VireonRequest> request(new VireonRequest());
  request->event_code.assign(event_code);
  request->params = params;
  if (VireonClient::config().upload_type == 1) {
    request->uploader = std::make_shared<TcpUploader>();
  } else {
    request->uploader = std::make_shared<HttpUploader>();
  }
  request->Pack();
  return request;
}

void VireonRequest::Pack() {
  const std::string& app_key = VireonClient::config().app_key;
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::string packed;
    if (PackRequest(event_code, params, app_key, &packed)) {
      body = std::move(packed);
      return;
    }
  }
  body.clear();
}

void VireonRequest::Run() {
  ++attempts;
  // A try that throws (no memory) is a failed try, so the manager always
  // hears back and the request never stays in flight for good.
  const bool delivered = utils::Guarded(false, [this] { return TryOnce(); });
  if (delivered) {
    TransportMgr::Instance().PostSucceeded(shared_from_this());
  } else {
    TransportMgr::Instance().PostFailed(shared_from_this());
  }
}

bool VireonRequest::TryOnce() {
  if (body.empty()) {
    utils::LogRequest("Run_Request: [valid]", *this);
    return false;
  }
  utils::LogRequest("Run_Request", *this);
  std::string answer;
  if (!uploader || !uploader->Upload(kCollectorHost, kCollectorPort, body, &answer)) {
    utils::LogRequest("DoRequest_Failed", *this);
    return false;
  }
  return CheckResponse(answer);
}

bool VireonRequest::CheckResponse(const std::string& answer) const {
  if (answer.empty()) {
    utils::LogRequest("Reponse_Empty_As_Success", *this);
    return true;
  }
  const auto package = ParseSocketResponsePackage(answer.data(), answer.size());
  const auto response = package ? ParseResponse(package->body) : nullptr;
  if (!response) {
    utils::LogRequest("Reponse_Parse_Failed_As_Success", *this);
    return true;
  }
  return response->result != -1;
}

}  // namespace vireon
