#include "src/common/data/app_detail.h"

#include <map>
#include <mutex>

#include <fmt/format.h>

#include "base/config_table.h"
#include "base/json_number.h"
#include "base/path_manager.h"
#include "net/web_api_endpoint.h"
#include "net/web_request.h"
#include "report/install_report.h"
#include "src/zephris_install/src/tool/env_info.h"
#include "vireon_sdk/src/report/vireon_client.h"

namespace data {
namespace {

using nlohmann::json;

// Entries are never removed and never expire; only fresh answers of the web
// API make them.
std::mutex g_cache_mutex;
std::map<std::string, AppDetail> g_cache;

std::wstring ConfigsDbPath() {
  return base::PathManager::GetInstance().GetAppDataDir(base::AppDataDirKind::kDb) + L"\\Configs.db";
}

std::string RowKey(const std::string& pkg_name) { return fmt::format("zephris.{}.fetcher.cache.app_detail", pkg_name); }

// The web API's record of the package, when the answer holds a usable one.
std::optional<AppDetail> DetailFromAnswer(const std::string& body, const std::string& pkg_name) {
  try {
    json answer = json::parse(body);
    AppDetail detail;
    if (AppDetailFromJson(answer["data"]["apps"][pkg_name], detail)) return detail;
  } catch (const json::exception&) {
  }
  return std::nullopt;
}

}  // namespace

bool AppDetailFromJson(const json& object, AppDetail& detail) {
  try {
    detail.pkg_name = object.at("pkg_name").get<std::string>();
    detail.app_name = object.at("app_name").get<std::string>();
    detail.icon = object.at("icon").get<std::string>();
    detail.downloader_icon = object.at("downloader_icon").get<std::string>();
    detail.game_type = base::JsonNumber<int32_t>(object.at("game_type"));
    detail.developer.reset();
    if (object.contains("developer")) detail.developer = object.at("developer").get<std::string>();
    return true;
  } catch (const json::exception&) {
    return false;
  }
}

json AppDetailToJson(const AppDetail& detail) {
  json object = {
      {"pkg_name", detail.pkg_name},
      {"app_name", detail.app_name},
      {"icon", detail.icon},
      {"downloader_icon", detail.downloader_icon},
      {"game_type", detail.game_type},
  };
  if (detail.developer) object["developer"] = *detail.developer;
  return object;
}

std::string BuildAppDetailRequest(const std::string& pkg_name) {
  json env_info;
  EnvInfoToJson(env_info, GetEnvInfo());
  const json body = {{"env_info", std::move(env_info)}, {"pkg_name", pkg_name}};
  return body.dump();
}

std::optional<AppDetail> FetchAppDetail(const std::string& pkg_name) noexcept {
  try {
    {
      std::lock_guard lock(g_cache_mutex);
      if (const auto hit = g_cache.find(pkg_name); hit != g_cache.end()) return hit->second;
    }
    // A package name that is not UTF-8 throws here and gives nothing.
    const std::string body = BuildAppDetailRequest(pkg_name);
    const net::HttpResult result = net::CurlPostSigned(net::WebApiUrl(net::kPathAppDetail), body);
    if (net::RequestFailed(result) || result.body.empty()) return std::nullopt;

    const std::optional<AppDetail> fresh = DetailFromAnswer(result.body, pkg_name);
    config_table::ConfigTable table(ConfigsDbPath(), VireonClient::VireonDeviceId());
    if (fresh) {
      table.Set({RowKey(pkg_name), AppDetailToJson(*fresh).dump(), 0, ""});
      std::lock_guard lock(g_cache_mutex);
      g_cache.insert_or_assign(pkg_name, *fresh);
      return fresh;
    }
    const std::optional<config_table::ConfigTableRow> row = table.Get(RowKey(pkg_name));
    if (!row) return std::nullopt;
    AppDetail stored;
    if (!AppDetailFromJson(json::parse(row->value, nullptr, false), stored)) return std::nullopt;
    return stored;
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace data
