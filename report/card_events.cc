#include "report/card_events.h"

#include <optional>

#include "report/stage_events.h"
#include "src/zephris_install/src/global_config/global_config.h"

using zephris_report::ReportParams;
using zephris_report::Reporter;

namespace {

constexpr char kInstallStartCard[] = "install_start_card";
constexpr char kCustomInstallCard[] = "custom_install_card";
constexpr char kInstallingCard[] = "installing_card";
constexpr char kInstallCompleteCard[] = "install_complete_card";
constexpr char kFeedbackTipCard[] = "install_feedback_tip_card";

const char* Flag(bool on) { return on ? "1" : "0"; }
const char* Setup(bool on) { return on ? "enable" : "disable"; }
bool OptionOn(const std::optional<int>& option) { return option.value_or(0) != 0; }

std::string ErrorCode() { return std::to_string(GlobalConfig::Instance().install_result_code); }
std::string DurationMs() { return std::to_string(GlobalConfig::Instance().duration_time / 10000); }

void SetIds(ReportParams& params, const std::string& card_id, const std::string& element_id) {
  params["page_id"] = ReportPageId();
  params["card_id"] = card_id;
  params["element_id"] = element_id;
}

void Option(bool shown, const std::string& card_id, const char* element_id, bool legacy, ReportParams params = {}) {
  ReportOptionExposure(shown, card_id, element_id, legacy, params);
}

void Plain(bool shown, const std::string& card_id, const char* element_id, ReportParams params = {}) {
  ReportCardExposure(shown, card_id, element_id, params);
}

}  // namespace

void ReportCardExposure(bool shown, const std::string& card_id, const std::string& element_id, ReportParams& params) {
  SetIds(params, card_id, element_id);
  if (!shown && card_id == kInstallingCard) {
    params["error_code"] = ErrorCode();
    params["duration_time"] = DurationMs();
  }
  AddCommonReportParams(params);
  Reporter::Instance().Report(shown ? "dt_imp" : "dt_imp_end", params);
}

void ReportOptionExposure(bool shown, const std::string& card_id, const std::string& element_id, bool legacy,
                          ReportParams& params) {
  params["legacy"] = Flag(legacy);
  ReportCardExposure(shown, card_id, element_id, params);
}

void ReportCardClick(const std::string& card_id, const std::string& element_id, ReportParams& params) {
  SetIds(params, card_id, element_id);
  AddCommonReportParams(params);
  Reporter::Instance().Report("dt_clck", params);
}

void ReportCardClickWithLegacy(const std::string& card_id, const std::string& element_id, bool legacy,
                               ReportParams& params) {
  params["legacy"] = Flag(legacy);
  ReportCardClick(card_id, element_id, params);
}

void ReportTitleBarExposure(bool shown, const std::string& card_id, bool legacy) {
  Option(shown, card_id, "close_btn", legacy);
  Option(shown, card_id, "mini_btn", legacy);
}

void ReportInstallStartCardExposure(bool shown, bool legacy) {
  ReportTitleBarExposure(shown, kInstallStartCard, legacy);
  Option(shown, kInstallStartCard, "install_btn", legacy);
  Option(shown, kInstallStartCard, "authorize_option", legacy,
         {{"setup", Setup(GlobalConfig::Instance().agreement_accepted)}});
  Option(shown, kInstallStartCard, "terms_label", legacy);
  Option(shown, kInstallStartCard, "expand_btn", legacy);
}

void ReportCustomInstallCardExposure(bool shown) {
  const GlobalConfig& config = GlobalConfig::Instance();
  Plain(shown, kCustomInstallCard, "browse_btn");
  Plain(shown, kCustomInstallCard, "start_menu_option", {{"setup", Setup(OptionOn(config.create_start_menu_link))}});
  Plain(shown, kCustomInstallCard, "desktop_link_option", {{"setup", Setup(OptionOn(config.create_desktop_link))}});
  Plain(shown, kCustomInstallCard, "auto_start_option", {{"setup", Setup(OptionOn(config.auto_start_market))}});
}

void ReportInstallingCardExposure(bool shown) {
  ReportTitleBarExposure(shown, kInstallingCard, false);
  Plain(shown, kInstallingCard, "feedback_icon");
  Plain(shown, kInstallingCard, "feedback_label");
}

void ReportInstallCompleteCardExposure(bool shown, bool legacy) {
  ReportTitleBarExposure(shown, kInstallCompleteCard, legacy);
  Option(shown, kInstallCompleteCard, "complete_btn", legacy);
}

void ReportSdkStartCardExposure(bool shown, bool legacy) {
  Option(shown, kInstallStartCard, "install_btn", legacy);
  Option(shown, kInstallStartCard, "cancel_btn", legacy);
  Option(shown, kInstallStartCard, "authorize_option", legacy,
         {{"setup", Setup(GlobalConfig::Instance().agreement_accepted)}});
  Option(shown, kInstallStartCard, "terms_label", legacy);
  Option(shown, kInstallStartCard, "close_btn", legacy);
}

void ReportSdkInstallingCardExposure(bool shown) {
  Plain(shown, kInstallingCard, "none_element");
  Plain(shown, kInstallingCard, "close_btn");
}

void ReportCardsExposureEnd(const CurrentCard& current) {
  const std::string& card = current.card_id;
  if (ReportPageId() == "popup_sdk_install") {
    if (card == kInstallStartCard) ReportSdkStartCardExposure(false, current.legacy);
    if (card == kInstallingCard) ReportSdkInstallingCardExposure(false);
    return;
  }
  if (card == kInstallStartCard) ReportInstallStartCardExposure(false, current.legacy);
  if (card == kCustomInstallCard) ReportCustomInstallCardExposure(false);
  if (card == kInstallingCard) ReportInstallingCardExposure(false);
  if (card == kInstallCompleteCard) ReportInstallCompleteCardExposure(false, current.legacy);
}

void ReportDialogExposure(bool shown, const std::string& dialog_card_id, const std::string& source_card_id) {
  static const char* const kFeedbackElements[] = {"close_btn", "jointiko_btn", "forum_btn"};
  static const char* const kBoxElements[] = {"close_btn", "confirm_btn", "cancel_btn"};
  const auto& elements = dialog_card_id == kFeedbackTipCard ? kFeedbackElements : kBoxElements;
  for (const char* element : elements) {
    ReportParams params{{"source_card_id", source_card_id}, {"error_code", ErrorCode()}};
    ReportCardExposure(shown, dialog_card_id, element, params);
  }
}

void ReportDialogClick(const std::string& dialog_card_id, const std::string& source_card_id,
                       const std::string& element_id, ReportParams& params) {
  params["source_card_id"] = source_card_id;
  params["error_code"] = ErrorCode();
  if (dialog_card_id == "quit_install_card" && element_id == "confirm_btn") params["duration_time"] = DurationMs();
  ReportCardClick(dialog_card_id, element_id, params);
}
