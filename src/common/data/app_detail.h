// An app's name, icon and facts by Android package name, for the engine-SDK
// window: asked of the web API, kept in a process-wide memory cache and in the
// configuration table "Configs.db".
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace data {

struct AppDetail {
  std::string pkg_name;
  std::string app_name;
  std::string icon;             // URL of the app's icon
  std::string downloader_icon;  // URL of a second icon
  int32_t game_type = 0;
  std::optional<std::string> developer;
};

// Fills `detail` from the app's record; false (with `detail` partly filled) on a
// missing or mistyped required member or a "developer" that is not a string.
bool AppDetailFromJson(const nlohmann::json& object, AppDetail& detail);
// "developer" only when it is set.
nlohmann::json AppDetailToJson(const AppDetail& detail);

// {"env_info", "pkg_name"} as compact JSON. Throws the JSON library's
// type_error for a package name that is not UTF-8.
std::string BuildAppDetailRequest(const std::string& pkg_name);

// The memory cache first (no request on a hit); otherwise the web API. A
// fresh detail goes into both caches. A failed request gives nothing; an
// answer without a usable record gives the copy in "Configs.db", if any.
// Safe on several threads at once; synchronous; never throws.
std::optional<AppDetail> FetchAppDetail(const std::string& pkg_name) noexcept;

}  // namespace data
