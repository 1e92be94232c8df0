#include "src/zephris_install/src/tool/pseudo_protocol.h"

#include <windows.h>

#include <filesystem>
#include <map>
#include <memory>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "base/command_line.h"
#include "base/path_manager.h"
#include "base/process_util.h"
#include "base/product_log.h"
#include "base/string_util.h"
#include "base/text_conversion.h"
#include "ipc/ipc_manager.h"
#include "ipc/ipc_packet.h"
#include "src/zephris_install/src/global_config/global_config.h"

namespace {

using nlohmann::json;

constexpr wchar_t kClientExe[] = L"Quillorane.exe";

// The member `key` of the install record's JSON text, written compactly;
// empty when the text is empty, not an object, or lacks the key.
std::string InstallRecordMember(const char* key) {
  const std::string& text = GlobalConfig::Instance().install_json;
  if (text.empty()) return {};
  const json record = json::parse(text);
  if (!record.is_object() || !record.contains(key)) return {};
  return record.at(key).dump();
}

}  // namespace

std::string GetExtraInfo() {
  try {
    return InstallRecordMember("extra_info");
  } catch (const json::exception& e) {
    PRODUCT_LOG("json parse fail, message: {}", e.what());
    return {};
  }
}

std::string GetReportInfo() {
  try {
    return InstallRecordMember("report_info");
  } catch (const json::exception& e) {
    PRODUCT_LOG("json parse fail, message: {}", e.what());
    return {};
  }
}

std::string GetApkChannel() {
  const std::string extra_info = GetExtraInfo();
  if (extra_info.empty()) return {};
  try {
    const json extra = json::parse(extra_info);
    if (!extra.is_object() || !extra.contains("apk_channel")) return {};
    return extra.at("apk_channel").get<std::string>();
  } catch (const json::exception& e) {
    PRODUCT_LOG("json parse fail, message: {}", e.what());
    return {};
  }
}

bool LaunchInstallAndNoticeDownloader(std::string* url) {
  const GlobalConfig& config = GlobalConfig::Instance();
  const std::string built = fmt::format(
      "Quillorane://app/installAndNoticeDownloader?vzt_downloader_channel_id={}&pkgname={}&game_type={}"
      "&apk_channel={}&silent=1&client_type={}",
      config.channel_id.value_or(0), config.app_id.value_or(""), config.app_type.value_or(0), GetApkChannel(),
      config.client_type.value_or(-1));
  if (url) *url = built;
  return LaunchMarketEx(built);
}

bool LaunchCallAppAutoAdaptiveEnv(std::string* url) {
  const GlobalConfig& config = GlobalConfig::Instance();
  const int32_t pullup_type = config.pullup_type.value_or(0);
  const int silent = (pullup_type == 2 || config.install_priority.value_or(0) == 1) ? 1 : 0;
  const int app_pullup = config.app_pullup_type.value_or(0) == 2 ? 1 : 0;
  // The report info is read first; each reader parses the record anew.
  const std::string report_info = base::UrlEncode(GetReportInfo());
  const std::string extra_info = base::UrlEncode(GetExtraInfo());
  const std::string built = fmt::format(
      "Quillorane://app/callAppAutoAdaptiveEnv?vzt_downloader_channel_id={}&pkgname={}&game_type={}&extra_info={}"
      "&report_info={}&silent={}&app_pullup_type={}&client_type={}",
      config.channel_id.value_or(0), config.app_id.value_or(""), config.app_type.value_or(0), extra_info, report_info,
      silent, app_pullup, config.client_type.value_or(-1));
  if (url) *url = built;
  return LaunchMarketEx(built);
}

bool LaunchWindowActive(std::string* url) {
  const GlobalConfig& config = GlobalConfig::Instance();
  const int silent = config.pullup_type.value_or(0) == 2 ? 1 : 0;
  const std::string built = fmt::format(
      "Quillorane://client/windowActive?vzt_downloader_channel_id={}&report_info={}&silent={}&client_type={}",
      config.channel_id.value_or(0), base::UrlEncode(GetReportInfo()), silent, config.client_type.value_or(-1));
  if (url) *url = built;
  return LaunchMarketEx(built);
}

bool LaunchMarketEx(const std::string& url) {
  if (base::IsProcessRunning(kClientExe) != 0) {
    try {
      auto packet = std::make_shared<ipc::IpcPacket>(ipc::IpcManager::Instance().own_type(), ipc::kClientAppstore,
                                                     ipc::kMsgPseudoProtocol, json{{"content", url}}, true);
      if (ipc::Send(packet, true)) return true;
    } catch (const std::exception& e) {
      // A URL that is not UTF-8 cannot travel as JSON text.
      PRODUCT_LOG("ipc packet fail, message: {}", e.what());
    }
    PRODUCT_LOG("ipc pseudo protocol fail, protocol_string: {}", url);
  }
  std::map<std::string, std::string> options = {{"from", "1002"}, {"pseudo-protocol", url}};
  if (GlobalConfig::Instance().pullup_type.value_or(0) != 1) options.emplace("silent", "");
  const std::filesystem::path program =
      std::filesystem::path(base::PathManager::GetInstance().GetComponentDir(base::ComponentKind::kClient)) /
      kClientExe;
  const uint32_t error =
      base::ShellRunAndWait(program.wstring(), base::BuildOptionsCommandLine(options), false, L"", SW_SHOWNORMAL);
  if (error != 0) {
    PRODUCT_LOG("execute store fail, error_code: {}, protocol_string: {}", error, url);
    return false;
  }
  return true;
}
