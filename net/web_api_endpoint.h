// The product's web API: its paths and the choice between the production
// host and the test host, made afresh for every request.
#pragma once

#include <string>
#include <string_view>

namespace net {

inline constexpr std::string_view kPathRecall = "/v3/tuvo_recall";
inline constexpr std::string_view kPathAppDetail = "/v3/tuvo_get_app_detail";
inline constexpr std::string_view kPathDownloaderPolicy = "/v3/tuvo_get_downloader_policy";
inline constexpr std::string_view kPathClientUpdate = "/v3/tuvo_client_update";
// "{}" is the remote path, filled by the caller.
inline constexpr std::string_view kPathUploadLog = "/upload/callback_log?remote_path={}";

// Scheme, host and port of each host.
std::string WebApiProductionOrigin();
std::string WebApiTestOrigin();

// The test URL while "api_debug_mode" is 1 and the test URL is not empty,
// else the production URL.
std::string ChooseEndpoint(std::string_view production_url, std::string_view test_url);

// The full URL of a web API path by that rule.
std::string WebApiUrl(std::string_view path);

}  // namespace net
