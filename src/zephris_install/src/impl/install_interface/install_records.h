// The records of the IPC messages a front end receives: an app's install
// state (message 50001), an install-control request (message 50002), and the
// stop query a full installer sends a download-only one (query 50001).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

inline constexpr int32_t kMsgAppInstallState = 50001;
inline constexpr int32_t kMsgInstallCtrl = 50002;
inline constexpr int32_t kQueryStopDownload = 50001;

struct InstallerAppInstallState {
  std::string app_id;
  std::string state;
  std::string progress;
  std::string completed_size;
  std::string total_size;
  std::string download_speed;
  bool is_installing_engine = true;
  std::optional<int32_t> app_type = 0;
  std::optional<std::string> engine_name = std::string();
};

enum InstallCtrlCode : int32_t { kCtrlResume = 0, kCtrlPause = 1, kCtrlStop = 2 };

struct InstallCtrl {
  int32_t code = kCtrlResume;
  std::optional<std::string> app_id;
  std::optional<std::string> source;
};

struct QueryStopDownload {
  std::optional<uint64_t> channel_id;
};

// Readers: a missing required key or a wrongly typed value throws the JSON
// library's error.
void InstallerAppInstallStateFromJson(const nlohmann::json& json, InstallerAppInstallState& state);
void InstallCtrlFromJson(const nlohmann::json& json, InstallCtrl& ctrl);
void QueryStopDownloadFromJson(const nlohmann::json& json, QueryStopDownload& query);
// {"channel_id": n} when the channel id is set, else an empty object.
nlohmann::json QueryStopDownloadToJson(const QueryStopDownload& query);

// For the IPC query, which turns its request into JSON.
inline void to_json(nlohmann::json& json, const QueryStopDownload& query) { json = QueryStopDownloadToJson(query); }
