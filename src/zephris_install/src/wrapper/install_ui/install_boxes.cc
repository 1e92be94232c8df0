#include "src/zephris_install/src/wrapper/install_ui/install_boxes.h"

#include "base/text_conversion.h"
#include "report/install_report.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/wrapper/install_ui/install_texts.h"

namespace {

// The system's message box in place of the skinned boxes, which are not
// part of this installer yet. It reports the same card events.
class SystemBoxes : public InstallBoxes {
 public:
  int ShowMessageBox(HWND parent, const std::string& card_id, const std::string& source_card_id,
                     const std::wstring& title, const std::wstring& content, const data::TikoGroupConfig&,
                     const std::wstring& confirm_text, const std::wstring& cancel_text) override {
    ReportDialogExposure(true, card_id, source_card_id);
    const UINT buttons = cancel_text.empty() ? MB_OK : MB_OKCANCEL;
    const int answer = ::MessageBoxW(parent, content.c_str(), title.c_str(), buttons | MB_ICONINFORMATION);
    const int result = answer == IDOK ? kBoxConfirm : kBoxCancel;
    zephris_report::ReportParams params;
    ReportDialogClick(card_id, source_card_id, result == kBoxConfirm ? "confirm_btn" : "cancel_btn", params);
    ReportDialogExposure(false, card_id, source_card_id);
    (void)confirm_text;
    return result;
  }

  int ShowFeedbackBox(HWND parent, const std::string& source_card_id, const data::TikoGroupConfig& group) override {
    ReportDialogExposure(true, "install_feedback_tip_card", source_card_id);
    const std::wstring text = L"加入用户群反馈问题：" + base::Utf8ToWide(group.tiko_number);
    ::MessageBoxW(parent, text.c_str(), kProductDisplayName, MB_OK | MB_ICONINFORMATION);
    ReportDialogExposure(false, "install_feedback_tip_card", source_card_id);
    return kBoxCloseButton;
  }
};

}  // namespace

std::shared_ptr<InstallBoxes> MakeInstallBoxes() { return std::make_shared<SystemBoxes>(); }
