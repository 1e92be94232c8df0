#include "report/install_report.h"

#include <mutex>
#include <utility>

#include <nlohmann/json.hpp>

#include "base/path_manager.h"
#include "base/product_log.h"
#include "base/registry.h"
#include "base/text_conversion.h"
#include "src/zephris_install/src/global_config/client_state.h"
#include "src/zephris_install/src/global_config/global_config.h"

namespace zephris_report {

struct Reporter::State {
  std::mutex mutex;
  std::unique_ptr<ReportWorker> worker;
};

Reporter::State& Reporter::state() {
  static State* state = new State;  // never destroyed: threads report during exit
  return *state;
}

Reporter& Reporter::Instance() {
  static Reporter* reporter = new Reporter;
  return *reporter;
}

void Reporter::Report(const std::string& event, const ReportParams& params) {
  std::lock_guard lock(state().mutex);
  if (state().worker) {
    state().worker->Enqueue(event, params);
    return;
  }
  // Without a telemetry transport the event is kept in the product log, so
  // that what the installer would have sent can still be read afterwards.
  PRODUCT_LOG("report {} {}", event, nlohmann::json(params).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

void Reporter::SetWorker(std::unique_ptr<ReportWorker> worker) {
  std::lock_guard lock(state().mutex);
  state().worker = std::move(worker);
}

std::unique_ptr<ReportWorker> Reporter::TakeWorker() {
  std::lock_guard lock(state().mutex);
  return std::move(state().worker);
}

}  // namespace zephris_report

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

const char* StageEvent(int32_t stage) {
  return stage >= 2 && stage <= 4 ? "installer_download_complete" : "installer_install_complete";
}

}  // namespace

void InitReport() {}

void AddCommonReportParams(ReportParams& params) {
  const GlobalConfig& config = GlobalConfig::Instance();
  // A value the install record did not give is sent empty rather than made up.
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

void ReportInstallError(const ReportParams& extra) {
  const GlobalConfig& config = GlobalConfig::Instance();
  ReportParams params = extra;
  params["page_id"] = config.install_ui == 1 ? "popup_sdk_install" : "popup_install";
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
void ReportStageError(int32_t stage) { SendStageResult(StageEvent(stage), "-1"); }
void ReportStageCancel(int32_t stage) { SendStageResult(StageEvent(stage), "-2"); }

void ReportEngineInstallFailed(const std::string& message) {
  ReportParams params;
  AddCommonReportParams(params);
  params["msg"] = message;
  Reporter::Instance().Report("engine_install_failed", params);
}

void ReportInstallerUpdate(int update_step, bool result) {
  SendWithContext("installer_update", {{"update_step", std::to_string(update_step)}, {"result", result ? "1" : "0"}});
}

void ReportLaunchStore(bool result, const std::string& protocol) {
  SendWithContext("installer_launch_store", {{"result", result ? "1" : "0"}, {"protocol", protocol}});
}

EnvInfo GetEnvInfo() { return EnvInfo{}; }

void SetAppStoreAutoStartSwitch(bool enabled) {
  const std::wstring key = base::PathManager::GetInstance().GetSettingsKey();
  base::WriteRegQword(HKEY_LOCAL_MACHINE, key, L"AppStoreAutoStartSwitch", enabled ? 1 : 0);
}

LONG CALLBACK ExceptionHandler(EXCEPTION_POINTERS* info) {
  // The runtime raises some codes on its own as part of normal work: every C++
  // throw of this compiler's runtime, the unwind that goes on after each
  // cleanup on the way to its catch, and debug output. They are not crashes.
  constexpr DWORD kGccThrow = 0x20474343;
  constexpr DWORD kGccUnwind = 0x21474343;
  const DWORD code = info->ExceptionRecord->ExceptionCode;
  if (code == kGccThrow || code == kGccUnwind || code == DBG_PRINTEXCEPTION_C ||
      code == 0x4001000A /* wide debug output */) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  // Logging may itself fault; a fault inside the handler must not recurse.
  thread_local bool inside = false;
  if (inside) return EXCEPTION_CONTINUE_SEARCH;
  inside = true;
  PRODUCT_LOG("exception code: {:#x}, address: {}", static_cast<uint32_t>(code),
              info->ExceptionRecord->ExceptionAddress);
  inside = false;
  return EXCEPTION_CONTINUE_SEARCH;
}
