#include "vireon_sdk/src/report/vireon_client.h"

#include <chrono>
#include <exception>
#include <string_view>

#include "vireon_sdk/src/report/event_params.h"
#include "vireon_sdk/src/report/request_packing.h"
#include "vireon_sdk/src/report/transport_mgr.h"
#include "vireon_sdk/src/report/vireon_request.h"
#include "vireon_sdk/src/utils/file_util.h"
#include "vireon_sdk/src/utils/log/sdk_log.h"
#include "vireon_sdk/src/utils/string_conv.h"

namespace {

using vireon::ReportParams;
using vireon::VireonConfig;
using vireon::VolatileParamGetters;

// The process-wide state the host sets before its first event and does not
// change while events are reported; reporting threads read it without a lock.
struct ClientState {
  VireonConfig config;
  ReportParams common_params;
  VolatileParamGetters getters;
};

ClientState& State() {
  // Never destroyed: reporting threads and the transport may still read it
  // while the process exits.
  static ClientState* const state = new ClientState();
  return *state;
}

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// The boundary of the client's entry points: nothing they call may end the
// host, so what escapes (a getter's exception, no memory, no thread) is
// logged once under the operation's name: "<what><detail>, error: <text>".
template <typename Body>
void ClientBoundary(const char* function, std::string_view what, std::string_view detail, Body&& body) noexcept {
  try {
    body();
  } catch (const std::exception& e) {
    VIREON_LOG(vireon::kLogError, function) << what << detail << ", error: " << e.what();
  } catch (...) {
    VIREON_LOG(vireon::kLogError, function) << what << detail << ", error: unknown";
  }
}

}  // namespace

void VireonClient::InitSDK(const VireonConfig& config) {
  ClientBoundary("VireonClient::InitSDK", "sdk init FAILED", {}, [&] {
    VireonConfig& stored = State().config;
    if (&config != &stored) stored = config;
    if (stored.debug) {
      stored.app_key = vireon::kDebugAppKey;
      // Started before the transport, so it closes after the transport's
      // own stop at exit and keeps its lines.
      vireon::Logger::Instance();
    } else {
      vireon::SetLogOff();
    }
    vireon::LogIdIniPath();
    vireon::SeqTimeIniPath();
    vireon::TransportMgr::Instance().Start();
    VIREON_LOG(vireon::kLogInfo, "VireonClient::InitSDK")
        << "sdk init debug:" << (stored.debug ? "true" : "false") << ", db path:" << stored.db_path;
  });
}

void VireonClient::UninitSDK() { vireon::TransportMgr::Instance().Stop(); }

void VireonClient::set_common_params(const ReportParams& params) {
  ClientBoundary("VireonClient::set_common_params", "set_common_params FAILED", {}, [&] {
    ReportParams& common = State().common_params;
    vireon::MergeParams(common, params, true);
    if (common.find("A3") == common.end()) common["A3"] = VireonDeviceId();
    VIREON_LOG(vireon::kLogInfo, "VireonClient::set_common_params") << "Live Debug Device Id: " << common["A3"];
  });
}

const ReportParams& VireonClient::common_params() { return State().common_params; }

void VireonClient::set_common_param_getters(const VolatileParamGetters& getters) {
  ClientBoundary("VireonClient::set_common_param_getters", "set_common_param_getters FAILED", {},
                 [&] { State().getters = getters; });
}

const VolatileParamGetters& VireonClient::common_param_getters() { return State().getters; }

const VireonConfig& VireonClient::config() { return State().config; }

void VireonClient::Report(const std::string& event_code, const ReportParams& params,
                          Vireon::RequestPriority priority) {
  ClientBoundary("VireonClient::Report", "Report FAILED. event_code: ", event_code, [&] {
    const int64_t event_time = NowMs();
    auto request = vireon::MakeVireonRequest(event_code, PrepareParams(event_code, params, event_time));
    if (request->body.empty()) {
      VIREON_LOG(vireon::kLogError, "VireonClient::Report") << "MakeVireonRequest FAILED. event_code: " << event_code;
      return;
    }
    request->priority = priority;
    request->event_time = event_time;
    vireon::TransportMgr::Instance().AddNewRequest(std::move(request));
  });
}

ReportParams VireonClient::PrepareParams(const std::string& event_code, const ReportParams& params,
                                         int64_t event_time) {
  ReportParams out;
  vireon::MergeParams(out, params, true);
  vireon::MergeParams(out, State().common_params, false);
  const std::string time_text = std::to_string(event_time);
  const std::string& device_id = VireonDeviceId();
  // The client's own keys, in this order, over whatever the caller and the
  // common parameters gave.
  const std::pair<const char*, std::string> own[] = {
      {"event_time", time_text},
      {"event_code", event_code},
      {"seq", std::to_string(vireon::NextSequence())},
      {"log_version", std::string(vireon::kSdkVersion)},
      {"log_id", vireon::NewLogId()},
      {"report_count", "0"},
      {"platform", std::string(vireon::kSdkPlatform)},
      {"A3", device_id},
      {"A34", time_text},
      {"A99", "Y"},
      {"A100", vireon::utils::WideToUtf8(vireon::NextLogId())},
      {"A50", device_id},
      {"A67", vireon::utils::WideToUtf8(vireon::utils::GetExeFileName())},
      {"A88", vireon::utils::WideToUtf8(vireon::GetSeqTime())},
  };
  for (const auto& [key, value] : own) out.insert_or_assign(key, value);
  for (const auto& [key, getter] : State().getters) {
    out.insert_or_assign(key, vireon::CheckUtf8(getter ? getter() : std::string()));
  }
  return out;
}
