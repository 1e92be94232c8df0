#include "src/zephris_install/src/wrapper/install_ui/sdk_window.h"

#include <filesystem>
#include <system_error>

#include <fmt/format.h>
#include <fmt/xchar.h>

#include "base/path_manager.h"
#include "base/product_log.h"
#include "base/registry_stamp.h"
#include "base/text_conversion.h"
#include "net/web_request.h"
#include "report/install_report.h"
#include "src/common/data/app_detail.h"
#include "src/zephris_install/src/boot/bring_window_to_front.h"
#include "src/zephris_install/src/global_config/client_state.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/wrapper/install_ui/install_folder.h"
#include "src/zephris_install/src/wrapper/install_ui/install_texts.h"
#include "src/zephris_install/src/wrapper/install_ui/store_ui_brand.h"

namespace {

constexpr DWORD kFailureColor = 0xFFFF0055;
constexpr char kPlaceholderPrefix[] = "com.pcvztsdk.install.";

}  // namespace

bool IsRealPackage(const std::string& app_id) { return !app_id.empty() && !app_id.starts_with(kPlaceholderPrefix); }

SdkWindow::SdkWindow() {
  GlobalConfig& config = GlobalConfig::Instance();
  auto_start_ = IsStoreUiBrand() || config.install_mode.value_or(0) == 1;
  LoadAppDetail();
  const int32_t app_type = config.app_type.value_or(0);
  if (app_type == 2 || app_type == 3) action_verb_ = L"运行";
  title_ = base::Utf8ToWide(config.display_name.value_or(""));
  if (IsClientInstalled()) {
    progress_base_ = 1.0;
  } else {
    progress_base_ = config.install_priority.value_or(0) == 1 ? 0.6 : 1.0;
  }
}

SdkWindow::~SdkWindow() = default;

void SdkWindow::LoadAppDetail() {
  GlobalConfig& config = GlobalConfig::Instance();
  const std::string app_id = config.app_id.value_or("");
  if (!IsRealPackage(app_id)) return;
  const std::optional<data::AppDetail> detail = data::FetchAppDetail(app_id);
  if (!detail) return;
  config.display_name = detail->app_name;
  config.app_type = detail->game_type;
  // The id becomes a file name: only a plain one is used.
  if (!IsPlainFileName(app_id)) {
    PRODUCT_LOG("app icon not downloaded: app id is not a plain file name");
    return;
  }
  const std::wstring folder = base::PathManager::GetInstance().GetTempDir(base::TempDirKind::kInstallResources);
  if (folder.empty()) return;
  const std::wstring path = (std::filesystem::path(folder) / fmt::format(L"{}.png", base::Utf8ToWide(app_id))).wstring();
  const net::HttpResult result = net::CurlDownload(detail->downloader_icon, path);
  std::error_code ec;
  if (!net::RequestFailed(result) && std::filesystem::is_regular_file(path, ec)) icon_path_ = path;
}

void SdkWindow::InitWindow() {
  BindCommonControls();
  SkinUI::CPaintManagerUI& pm = paint_manager_;
  title_label_ = Bind<SkinUI::CLabelUI>(pm, L"title_label", L"Label");
  content_label_ = Bind<SkinUI::CLabelUI>(pm, L"content_label", L"Label");
  app_label_ = Bind<SkinUI::CLabelUI>(pm, L"app_label", L"Label");
  app_name_label_ = Bind<SkinUI::CLabelUI>(pm, L"app_name_label", L"Label");
  cancel_btn_ = Bind<SkinUI::CButtonUI>(pm, L"cancel_btn", L"Button");
  ShowConfirmTexts();
}

void SdkWindow::ShowConfirmTexts() {
  if (title_label_ != nullptr) title_label_->SetText(fmt::format(L"是否{}【{}】", action_verb_, title_).c_str());
  if (content_label_ != nullptr) {
    content_label_->SetText(
        fmt::format(L"电脑上运行【{}】需由{}提供移动应用引擎服务", title_, kProductDisplayName).c_str());
  }
  if (app_name_label_ != nullptr) app_name_label_->SetText(title_.c_str());
  if (app_label_ != nullptr && !icon_path_.empty()) app_label_->SetBackgroundImage(icon_path_.c_str());
  if (install_btn_ != nullptr) install_btn_->SetText(action_verb_.c_str());
}

void SdkWindow::ShowInstallingTexts() {
  if (title_label_ != nullptr) title_label_->SetText(fmt::format(L"【{}】{}中", title_, action_verb_).c_str());
  if (content_label_ != nullptr) {
    content_label_->SetText(fmt::format(L"移动应用引擎服务由{}提供", kProductDisplayName).c_str());
  }
}

void SdkWindow::Exec() {
  if (CreateInstallWindow(kWidth, kHeight) == nullptr) {
    PRODUCT_LOG("engine-SDK window not created: {}", ::GetLastError());
    return;
  }
  current_card_ = install_card::kInstallStart;
  auto_started_ = auto_start_;
  ReportSdkStartCardExposure(true, auto_start_);
  if (auto_start_) StartInstall();
  BringWindowToFront(hwnd_);
  ShowModal();
  if (::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
}

void SdkWindow::OnNotify(SkinUI::NotifyMsgUI& msg) {
  if (!(msg.sType == L"click") || msg.pSender == nullptr) return;
  SkinUI::CControlUI* sender = msg.pSender;
  if (sender == close_btn_) {
    Close(1);
  } else if (sender == authorize_option_) {
    OnAuthorizeOptionClick();
  } else if (sender == cancel_btn_) {
    cancel_btn_->SetEnabled(false);
    zephris_report::ReportParams params;
    ReportCardClick(install_card::kInstallStart, "cancel_btn", params);
    Finish();
  } else if (sender == install_btn_) {
    install_btn_->SetEnabled(false);
    StartInstall();
  } else if (sender == agreement_label_) {
    OpenUserAgreement();
  } else if (sender == policy_label_) {
    OpenPrivacyPolicy();
  }
}

void SdkWindow::SetInstallButtonEnabled(bool enabled) {
  if (install_btn_ == nullptr) return;
  install_btn_->SetEnabled(enabled);
  if (enabled) {
    install_btn_->SetNormalImage(L"img/sdk_confirm_btn_normal.png");
    install_btn_->SetHotImage(L"img/sdk_confirm_btn_hover.png");
    install_btn_->SetPushedImage(L"img/sdk_confirm_btn_hover.png");
    install_btn_->SetTextColor(0xFFFFFFFF);
  } else {
    install_btn_->SetNormalImage(L"img/sdk_confirm_btn_disable.png");
    install_btn_->SetHotImage(L"img/sdk_confirm_btn_disable.png");
    install_btn_->SetPushedImage(L"img/sdk_confirm_btn_disable.png");
    install_btn_->SetTextColor(0xFFA9A9A9);
  }
  install_btn_->SetText(action_verb_.c_str());
}

void SdkWindow::StartInstall() {
  if (install_started_) return;
  install_started_ = true;
  zephris_report::ReportParams params;
  ReportCardClickWithLegacy(install_card::kInstallStart, "install_btn", auto_start_, params);
  ReportSdkStartCardExposure(false, auto_start_);
  current_card_ = install_card::kInstalling;
  auto_started_ = false;
  ShowInstallingTexts();
  if (install_start_card_ != nullptr) install_start_card_->SetVisible(false);
  if (installing_card_ != nullptr) installing_card_->SetVisible(true);
  ReportSdkInstallingCardExposure(true);
  if (IsStoreUiBrand()) {
    LaunchAfterInstall();
    return;
  }
  if (!StartInstallTask()) PRODUCT_LOG("install_task not started: stopped before, or no engine");
}

void SdkWindow::HandleInstallMessage(UINT message, WPARAM wparam, LPARAM, BOOL& handled) {
  if (DispatchPostedRecord(message, wparam)) handled = TRUE;
}

void SdkWindow::HandleInstallStatus(InstallStatus status) {
  const std::wstring name = ComponentTypeName(status.component_type);
  const double percent = status.percent.value_or(0);
  switch (status.code) {
    case kStatusDownloading: {
      const double value = EngineBarValue(percent, progress_base_);
      if (installing_precent_label_ != nullptr) installing_precent_label_->SetText(DownloadLine(value, name).c_str());
      if (installing_progress_ != nullptr) installing_progress_->SetValue(BarPosition(value));
      download_seen_ = true;
      break;
    }
    case kStatusInstalling:
      if (installing_precent_label_ != nullptr) {
        installing_precent_label_->SetText(WorkingLine(action_verb_, name).c_str());
      }
      if (!download_seen_ && installing_progress_ != nullptr) {
        installing_progress_->SetValue(BarPosition(EngineBarValue(percent, progress_base_)));
      }
      break;
    case kStatusCompleted:
      HandleCommonStatus(status.code, kFailureColor);
      OnInstallComplete(true);
      break;
    default:
      HandleCommonStatus(status.code, kFailureColor);
      break;
  }
}

void SdkWindow::OnInstallComplete(bool launch) {
  base::MarkStore(kSdkMark).Set();
  if (launch) LaunchAfterInstall();
  CreateShortcutsAfterInstall();
  if (GlobalConfig::Instance().install_priority.value_or(0) == 1) return;
  ReportSdkInstallingCardExposure(false);
  Finish();
}

void SdkWindow::HandleAppInstallState(InstallerAppInstallState state) {
  const GlobalConfig& config = GlobalConfig::Instance();
  if (state.app_id != config.app_id.value_or("")) return;
  std::wstring name = title_;
  if (state.is_installing_engine) {
    // A record without an app type names the engine's usual component.
    const int32_t type = state.app_type.value_or(0);
    name = (type == 2 || type == 3) ? L"Parlio小程序组件" : L"虚拟化组件";
  }
  const std::string& what = state.state;
  if (what == "app_downloading") {
    const std::optional<double> fraction = ParseAppProgress(state.progress);
    if (!fraction) {
      PRODUCT_LOG("app progress is not a number: {}", state.progress);
      return;
    }
    const double value = AppBarValue(*fraction, progress_base_);
    if (installing_precent_label_ != nullptr) installing_precent_label_->SetText(DownloadLine(value, name).c_str());
    if (installing_progress_ != nullptr) installing_progress_->SetValue(BarPosition(value));
  } else if (what == "app_download_complete") {
    if (installing_precent_label_ != nullptr) {
      installing_precent_label_->SetText(config.app_type.value_or(0) == 1 ? kEngineStartLine
                                                                          : DownloadLine(100, name).c_str());
    }
    if (state.engine_name.value_or("") == "ZVApp") {
      if (installing_progress_ != nullptr) installing_progress_->SetValue(100);
      OnInstallComplete(false);
    }
  } else if (what == "app_install_start" || what == "app_installing") {
    if (installing_precent_label_ != nullptr) {
      installing_precent_label_->SetText(WorkingLine(action_verb_, name).c_str());
    }
    if (installing_progress_ != nullptr) installing_progress_->SetValue(100);
  } else if (what == "app_install_complete") {
    ReportSdkInstallingCardExposure(false);
    Finish();
  } else if (what == "app_download_error" || what == "app_download_pause" || what == "app_download_removed" ||
             what == "zephris_store_exit" || what == "app_install_error") {
    ShowFailureText(kFailureColor);
  }
}
