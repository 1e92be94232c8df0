#include "src/zephris_install/src/tool/client_update.h"

#include <algorithm>
#include <exception>
#include <thread>

#include "base/product_log.h"
#include "device_id/vireon_device_id.h"
#include "net/web_api_endpoint.h"
#include "net/web_request.h"
#include "report/install_report.h"
#include "src/zephris_install/src/global_config/global_config.h"

namespace {

constexpr int kAttempts = 15;
constexpr std::chrono::milliseconds kAttemptPause{2000};

// The result codes this exchange leaves; they are the engine's too.
constexpr int32_t kUpdateRequestFailed = 1;
constexpr int32_t kUpdateResponseInvalid = 6;
constexpr int32_t kRequestNotSerialisable = 104;

bool AnswerUsable(const net::HttpResult& result) { return !net::RequestFailed(result) && !result.body.empty(); }

void LogResponseCheckFail(const std::string& url, const net::HttpResult& result) {
  PRODUCT_LOG("response check fail, url:{}", url);
  PRODUCT_LOG("response check fail, http header:{}", result.header);
  PRODUCT_LOG("response check fail, http response:{}", result.body);
}

// The first name that would not stay inside the component folder, if any.
const data::Component* FirstUnsafeComponent(const data::ClientUpdateInfo& info) {
  for (const data::Component& component : info.components) {
    if (!IsPlainComponentName(component.name)) return &component;
  }
  return nullptr;
}

}  // namespace

void ClientUpdateRequestToJson(nlohmann::json& json, const ClientUpdateRequest& request) {
  json = nlohmann::json::object();
  json["guid"] = request.guid;
  json["scene"] = request.scene;
  json["supply_channel"] = request.supply_channel;
  json["oem_type"] = request.oem_type;
  nlohmann::json env;
  EnvInfoToJson(env, request.env_info);
  json["env_info"] = std::move(env);
}

ClientUpdateRequest BuildClientUpdateRequest() {
  ClientUpdateRequest request;
  request.guid = device_id::ProcessVireonDeviceId();
  request.supply_channel = static_cast<uint32_t>(GlobalConfig::Instance().channel_id.value_or(0) & 0xFFFFFFFFu);
  request.env_info = GetEnvInfo();
  return request;
}

bool IsPlainComponentName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '-';
  });
}

std::optional<data::ClientUpdateInfo> RequestClientUpdateInfo(const RetryPause& pause) {
  GlobalConfig& config = GlobalConfig::Instance();
  std::string body;
  try {
    nlohmann::json json;
    ClientUpdateRequestToJson(json, BuildClientUpdateRequest());
    body = json.dump();
  } catch (const std::exception& e) {
    PRODUCT_LOG("post data json dump fail, message: {}", e.what());
    config.install_result_code = kRequestNotSerialisable;
    return std::nullopt;
  }

  const std::string url = net::WebApiUrl(net::kPathClientUpdate);
  const RetryPause wait = pause ? pause : [](std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
    return true;
  };

  // Every failed attempt, the last included, is followed by the pause; a
  // stop during a pause ends the series and skips the WinHTTP attempt.
  net::HttpResult result;
  bool answered = false;
  bool stopped = false;
  for (int attempt = 0; attempt < kAttempts && !answered; ++attempt) {
    result = net::CurlPostSigned(url, body);
    PRODUCT_LOG("retry update api, http code: {} error code: {}", result.http_code, result.error_code);
    answered = AnswerUsable(result);
    if (!answered && !wait(kAttemptPause)) {
      stopped = true;
      break;
    }
  }
  if (!answered) {
    config.install_result_code = kUpdateRequestFailed;
    config.detail_code_0 = result.http_code;
    config.detail_code_1 = result.error_code;
    PRODUCT_LOG("curl post error, httpcode {}, errorcode {}", result.http_code, result.error_code);
    if (stopped) {
      PRODUCT_LOG("update request stopped");
      return std::nullopt;
    }
    result = net::WinHttpPostSigned(url, body);
    if (!AnswerUsable(result)) {
      config.detail_code_2 = result.http_code;
      config.detail_code_3 = result.error_code;
      PRODUCT_LOG("winhttp post error, httpcode {}, errorcode {}", result.http_code, result.error_code);
      return std::nullopt;
    }
    config.install_result_code = 0;
    config.detail_code_0 = 0;
    config.detail_code_1 = 0;
  }

  try {
    const nlohmann::json answer = nlohmann::json::parse(result.body);
    const nlohmann::json code = answer.value("code", nlohmann::json());
    if (code == nlohmann::json(0)) {
      data::ClientUpdateInfo info;
      data::ClientUpdateInfoFromJson(answer.value("data", nlohmann::json()), info);
      if (const data::Component* unsafe = FirstUnsafeComponent(info)) {
        PRODUCT_LOG("component name refused: {}", unsafe->name);
        config.install_result_code = kUpdateResponseInvalid;
        LogResponseCheckFail(url, result);
        return std::nullopt;
      }
      if (!info.components.empty()) return info;
    }
    config.install_result_code = kUpdateResponseInvalid;
    LogResponseCheckFail(url, result);
    return std::nullopt;
  } catch (const std::exception& e) {
    config.install_result_code = kUpdateResponseInvalid;
    PRODUCT_LOG("json parse fail, {}", e.what());
    return std::nullopt;
  }
}
