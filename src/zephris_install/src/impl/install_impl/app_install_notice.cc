#include "src/zephris_install/src/impl/install_impl/app_install_notice.h"

#include <array>
#include <memory>
#include <string_view>

#include <fmt/format.h>

#include "base/install_state_store.h"
#include "ipc/ipc_manager.h"

namespace {

template <typename T>
void SetIfPresent(nlohmann::json& json, const char* key, const std::optional<T>& value) {
  if (value) json[key] = *value;
}

}  // namespace

nlohmann::json ProgressInfoToJson(const ProgressInfo& info) {
  return {{"percent", info.percent},
          {"completed_length", info.completed_length},
          {"total_length", info.total_length},
          {"download_speed", info.download_speed}};
}

nlohmann::json AppletReportInfoToJson(const AppletReportInfo& info) {
  nlohmann::json json = nlohmann::json::object();
  SetIfPresent(json, "from_source", info.from_source);
  SetIfPresent(json, "zvgamead_id", info.zvgamead_id);
  SetIfPresent(json, "zvgamead_pos_id", info.zvgamead_pos_id);
  SetIfPresent(json, "zvgamead_scene_id", info.zvgamead_scene_id);
  SetIfPresent(json, "zvgamead_card_id", info.zvgamead_card_id);
  SetIfPresent(json, "is_zvgamead", info.is_zvgamead);
  SetIfPresent(json, "appname", info.appname);
  return json;
}

nlohmann::json AppInstallNoticeToJson(const AppInstallNotice& notice) {
  nlohmann::json json = {{"pkgname", notice.pkgname},
                         {"actualPkgname", notice.actual_pkgname},
                         {"percent", notice.percent},
                         {"status", notice.status},
                         {"completedLength", notice.completed_length},
                         {"totalLength", notice.total_length},
                         {"downloadSpeed", notice.download_speed},
                         {"engineProgress", notice.engine_progress}};
  SetIfPresent(json, "engine_name", notice.engine_name);
  SetIfPresent(json, "gameType", notice.game_type);
  SetIfPresent(json, "installing_market", notice.installing_market);
  SetIfPresent(json, "last_modify_utc_ms", notice.last_modify_utc_ms);
  SetIfPresent(json, "source", notice.source);
  SetIfPresent(json, "code", notice.code);
  SetIfPresent(json, "notify_source", notice.notify_source);
  SetIfPresent(json, "recommend_id", notice.recommend_id);
  if (notice.progress_info) json["progress_info"] = ProgressInfoToJson(*notice.progress_info);
  SetIfPresent(json, "first_launch", notice.first_launch);
  if (notice.applet_report_info) json["applet_report_info"] = AppletReportInfoToJson(*notice.applet_report_info);
  return json;
}

std::optional<AppInstallNotice> NormalizeNoticeForStore(const AppInstallNotice& notice) {
  static constexpr std::array<std::string_view, 4> kKeptAsInstalled = {"NeedUpdate", "BeginLaunch", "CompleteLaunch",
                                                                       "LaunchError"};
  static constexpr std::array<std::string_view, 9> kKeptAsPaused = {
      "BeginInstall", "InstallError", "Installing", "BeginUninstall", "UnInstalling",
      "UnInstallError", "active",      "error",      "complete"};
  const std::string_view status = notice.status;
  if (status == "Installed" || status == "paused") return notice;
  AppInstallNotice copy = notice;
  for (std::string_view s : kKeptAsInstalled) {
    if (status == s) {
      copy.status = "Installed";
      return copy;
    }
  }
  for (std::string_view s : kKeptAsPaused) {
    if (status == s) {
      copy.status = "paused";
      return copy;
    }
  }
  return std::nullopt;
}

void PublishAppInstallNotice(const AppInstallNotice& notice) {
  if (std::optional<AppInstallNotice> stored = NormalizeNoticeForStore(notice)) {
    base::SaveInstallState(base::OpenInstallStateDb(), AppInstallNoticeToJson(*stored));
  }
  const nlohmann::json data = AppInstallNoticeToJson(notice);
  const int32_t own_type = ipc::IpcManager::Instance().own_type();
  for (bool global : {true, false}) {
    ipc::Send(std::make_shared<ipc::IpcPacket>(own_type, kClientAppStoreSdk, kMsgAppInstallNotice, data), global);
  }
}

void SendAppInstallNotice(const std::string& status, bool download_only, const std::string& sdk_product,
                          const std::string& app_id, const std::string& recommend_id, float fraction,
                          const std::string& completed, const std::string& total) {
  AppInstallNotice notice;
  notice.pkgname = download_only ? fmt::format("com.pcvztsdk.install.{}", sdk_product) : app_id;
  notice.source = sdk_product;
  notice.status = status;
  notice.completed_length = completed;
  notice.total_length = total;
  if (fraction != 0) notice.percent = fmt::format("{:f}", static_cast<double>(fraction));
  notice.installing_market = true;
  notice.notify_source = 2;
  notice.recommend_id = recommend_id;
  PublishAppInstallNotice(notice);
}
