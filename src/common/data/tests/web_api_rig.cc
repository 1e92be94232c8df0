#include "src/common/data/tests/web_api_rig.h"

#include <windows.h>

#include "base/path_manager.h"
#include "base/registry.h"
#include "base/string_util.h"
#include "net/web_api_endpoint.h"
#include "net/web_request.h"

namespace data::testing {
namespace {

using nlohmann::json;

json RigPost(const std::string& path_and_query, const std::string& body) {
  const net::HttpResult r = net::CurlPost(net::WebApiTestOrigin() + path_and_query, nullptr, body);
  EXPECT_EQ(r.http_code, 200) << path_and_query << " " << r.body;
  EXPECT_EQ(r.error_code, 0) << path_and_query;
  return json::parse(r.body, nullptr, false);
}

}  // namespace

void WebApiTest::SetUp() {
  auto& paths = base::PathManager::GetInstance();
  paths.Init(L"QuilloraneDataFetchersTest");
  ASSERT_TRUE(base::WriteRegQword(HKEY_CURRENT_USER, paths.GetRegistryKey(base::ComponentKind::kProduct),
                                  L"api_debug_mode", 1));
  ASSERT_EQ(net::WebApiUrl(net::kPathRecall), net::WebApiTestOrigin() + std::string(net::kPathRecall));
}

std::string WebApiTest::Marker(const std::string& what) {
  return what + "." + std::to_string(::GetCurrentProcessId());
}

void WebApiTest::SetMode(const std::string& mode, const std::string& match) {
  RigPost("/_rig/mode?mode=" + mode + "&match=" + base::UrlEncode(match), "");
}

void WebApiTest::SetAnswer(const std::string& match, const std::string& answer) {
  RigPost("/_rig/answer?match=" + base::UrlEncode(match), answer);
}

json WebApiTest::Requests(const std::string& path, const std::string& match) {
  return RigPost("/_rig/requests?path=" + path + "&match=" + base::UrlEncode(match), "")["bodies"];
}

std::string RecallAnswer(const json& field) {
  const json item = {{"fieldS", field}};
  const json entry = {{"items", json::array({item})}};
  return json{{"code", 0}, {"msg", "SUCCESS"}, {"queue", json::array({entry})}}.dump();
}

}  // namespace data::testing
