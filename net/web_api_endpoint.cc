#include "net/web_api_endpoint.h"

#include "base/path_manager.h"

namespace net {

std::string WebApiProductionOrigin() { return QL_WEB_API_PRODUCTION_ORIGIN; }
std::string WebApiTestOrigin() { return QL_WEB_API_TEST_ORIGIN; }

std::string ChooseEndpoint(std::string_view production_url, std::string_view test_url) {
  if (!test_url.empty() && base::PathManager::GetInstance().IsApiDebugMode()) return std::string(test_url);
  return std::string(production_url);
}

std::string WebApiUrl(std::string_view path) {
  return ChooseEndpoint(WebApiProductionOrigin() + std::string(path), WebApiTestOrigin() + std::string(path));
}

}  // namespace net
