#include "src/common/data/vzt_recall.h"

#include "base/guid_string.h"
#include "base/product_log.h"
#include "net/web_api_endpoint.h"
#include "net/web_request.h"

namespace data {

using nlohmann::json;

std::string BuildRecallRequest(const std::string& command, const std::string& business_id, const json& list) {
  const json body = {
      {"condition", {{"bid", business_id}, {"listS", list}}},
      {"reqHead", {{"cmd", command}, {"requestId", base::NewGuidString()}}},
  };
  return body.dump();
}

std::optional<json> FetchVztRecall(const std::string& command, const std::string& business_id,
                                   const json& list) noexcept {
  try {
    // Text from the caller that is not UTF-8 cannot be written as JSON: that
    // query fails here instead of ending the calling thread.
    std::string body;
    try {
      body = BuildRecallRequest(command, business_id, list);
    } catch (const json::exception& e) {
      PRODUCT_LOG("recall request not built, message: {}", e.what());
      return std::nullopt;
    }
    const net::HttpResult result = net::CurlPostSigned(net::WebApiUrl(net::kPathRecall), body);
    if (net::RequestFailed(result) || result.body.empty()) {
      PRODUCT_LOG("curl request fail, error_code: {}, http_code: {}", result.error_code, result.http_code);
      return std::nullopt;
    }
    try {
      // Inserting access: a missing member or element on the way becomes null
      // and that null is the answer; a value of the wrong kind throws.
      json answer = json::parse(result.body);
      return answer["queue"][0]["items"][0]["fieldS"];
    } catch (const json::exception& e) {
      PRODUCT_LOG("json parse fail, message: {}", e.what());
      return std::nullopt;
    }
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace data
