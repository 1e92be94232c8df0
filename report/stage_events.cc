#include "report/stage_events.h"

#include <utility>

#include "base/text_conversion.h"
#include "src/zephris_install/src/global_config/client_state.h"
#include "src/zephris_install/src/global_config/global_config.h"

using zephris_report::ReportParams;
using zephris_report::Reporter;

namespace {

std::string FromSource(const GlobalConfig& config) {
  if (!config.cmd.exist(L"from-source")) return {};
  return base::WideToUtf8(config.cmd.get<std::wstring>(L"from-source").value_or(L""));
}

void SendWithContext(const std::string& event, ReportParams params) {
  AddCommonReportParams(params);
  Reporter::Instance().Report(event, params);
}

void SendStageResult(const std::string& event, const char* result) {
  ReportParams params;
  params["error_code"] = std::to_string(GlobalConfig::Instance().install_result_code);
  params["result"] = result;
  SendWithContext(event, std::move(params));
}

const char* StageEvent(int32_t status) {
  return status >= 2 && status <= 4 ? "installer_download_complete" : "installer_install_complete";
}

}  // namespace

void AddCommonReportParams(ReportParams& params) {
  const GlobalConfig& config = GlobalConfig::Instance();
  params["appid"] = config.app_id.value_or("");
  params["apptype"] = config.app_type ? std::to_string(static_cast<uint32_t>(*config.app_type)) : "";
  params["channel_id"] = config.channel_id ? std::to_string(*config.channel_id) : "";
  params["build_id"] = config.build_id ? std::to_string(*config.build_id) : "";
  params["installer_version"] = config.version.value_or("");
  params["from_source"] = FromSource(config);
  params["new_install"] = IsClientInstalled() ? "0" : "1";
  params["sdk_product"] = config.sdk_product;
  params["engine_type"] = std::to_string(static_cast<uint32_t>(config.engine_type));
  params["brand_code"] = "0";
}

std::string ReportPageId() {
  return GlobalConfig::Instance().install_ui == 1 ? "popup_sdk_install" : "popup_install";
}

void ReportInstallError(const ReportParams& extra) {
  const GlobalConfig& config = GlobalConfig::Instance();
  ReportParams params = extra;
  params["page_id"] = ReportPageId();
  params["card_id"] = "installing_card";
  params["current_component"] = config.current_component;
  params["error_code"] = std::to_string(config.install_result_code);
  params["detail_code_0"] = std::to_string(config.detail_code_0);
  params["detail_code_1"] = std::to_string(config.detail_code_1);
  params["detail_code_2"] = std::to_string(config.detail_code_2);
  params["detail_code_3"] = std::to_string(config.detail_code_3);
  params["error_message"] = config.error_message;
  params["error_message_1"] = config.error_message_1;
  params["error_message_2"] = config.error_message_2;
  params["duration_time"] = std::to_string(config.duration_time / 10000);
  SendWithContext("dt_error", std::move(params));
}

void ReportDownloadComplete() { SendStageResult("installer_download_complete", "0"); }
void ReportInstallComplete() { SendStageResult("installer_install_complete", "0"); }
void ReportStageError(int32_t status) { SendStageResult(StageEvent(status), "-1"); }
void ReportStageCancel(int32_t status) { SendStageResult(StageEvent(status), "-2"); }

void ReportEngineInstallFailed(const std::string& message) {
  ReportParams params;
  AddCommonReportParams(params);
  params["msg"] = message;
  Reporter::Instance().Report("engine_install_failed", params);
}

void ReportInstallerUpdate(int32_t update_step, bool result) {
  SendWithContext("installer_update", {{"update_step", std::to_string(update_step)}, {"result", result ? "1" : "0"}});
}

void ReportLaunchStore(bool launched, const std::string& protocol) {
  SendWithContext("installer_launch_store", {{"result", launched ? "1" : "0"}, {"protocol", protocol}});
}
