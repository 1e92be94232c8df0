// App-install notices: how the engine tells the product's other processes
// what this install is doing, in the form those processes use for the
// install state of any app. Each notice goes to the app store's SDK process
// over IPC and, mapped to the few states worth keeping, into the
// install-state database.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

struct ProgressInfo {
  float percent = 0;
  uint64_t completed_length = 0;
  uint64_t total_length = 0;
  uint64_t download_speed = 0;
};

struct AppletReportInfo {
  std::optional<std::string> from_source;
  std::optional<std::string> zvgamead_id;
  std::optional<std::string> zvgamead_pos_id;
  std::optional<std::string> zvgamead_scene_id;
  std::optional<std::string> zvgamead_card_id;
  std::optional<int32_t> is_zvgamead;
  std::optional<std::string> appname;
};

struct AppInstallNotice {
  std::string pkgname;
  std::string actual_pkgname;
  std::string percent;
  std::string status;
  std::string completed_length;
  std::string total_length;
  std::string download_speed;
  bool engine_progress = false;
  std::optional<std::string> engine_name;
  std::optional<int32_t> game_type = 0;
  std::optional<bool> installing_market = false;
  std::optional<uint64_t> last_modify_utc_ms;
  std::optional<std::string> source;
  std::optional<int32_t> code;
  std::optional<int32_t> notify_source;
  std::optional<std::string> recommend_id;
  std::optional<ProgressInfo> progress_info;
  std::optional<bool> first_launch;
  std::optional<AppletReportInfo> applet_report_info;
};

inline constexpr int32_t kClientAppStoreSdk = 20001;
inline constexpr int32_t kMsgAppInstallNotice = 80001;

nlohmann::json ProgressInfoToJson(const ProgressInfo& info);
nlohmann::json AppletReportInfoToJson(const AppletReportInfo& info);
nlohmann::json AppInstallNoticeToJson(const AppInstallNotice& notice);

// The copy to keep in the install-state database, or nothing for a state
// that is not kept.
std::optional<AppInstallNotice> NormalizeNoticeForStore(const AppInstallNotice& notice);

// Stores the notice (mapped) and sends it (as built) to the app store's SDK
// process, in the Global and then the Local namespace. Failures are ignored.
void PublishAppInstallNotice(const AppInstallNotice& notice);

// A notice about this install; `fraction` 0 leaves the percent empty.
void SendAppInstallNotice(const std::string& status, bool download_only, const std::string& sdk_product,
                          const std::string& app_id, const std::string& recommend_id, float fraction,
                          const std::string& completed, const std::string& total);
