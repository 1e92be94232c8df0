#include "src/zephris_install/src/wrapper/install_ui/install_ui.h"

#include <system_error>
#include <thread>
#include <utility>

#include <fmt/format.h>
#include <fmt/xchar.h>

#include "base/process_util.h"
#include "base/product_log.h"
#include "base/text_conversion.h"
#include "report/install_report.h"
#include "src/zephris_install/src/global_config/client_state.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/wrapper/install_ui/install_texts.h"

namespace {

// The scene the group configuration is asked for.
constexpr char kGroupScene[] = "installer";

}  // namespace

InstallUI::InstallUI() : group_config_(data::DefaultTikoGroupConfig()) {
  const std::string& display_name = GlobalConfig::Instance().display_name.value_or("");
  title_ = display_name.empty() ? std::wstring(kProductDisplayName) : base::Utf8ToWide(display_name);
}

InstallUI::~InstallUI() {
  // Records that never reached the window thread.
  std::lock_guard lock(post_mutex_);
  for (const PendingRecord& pending : pending_) FreeRecord(pending.message, pending.record);
  pending_.clear();
}

void InstallUI::StartBackgroundWork() {
  std::thread([self = shared_from_this()] { self->FetchFeedbackGroup(); }).detach();
}

void InstallUI::FetchFeedbackGroup() {
  data::TikoGroupConfig fetched = data::FetchTikoGroupCfg(kGroupScene);
  {
    std::lock_guard lock(group_mutex_);
    group_config_ = std::move(fetched);
  }
  group_fetched_.store(true);
  OnFeedbackGroupReady();
}

data::TikoGroupConfig InstallUI::group_config() const {
  std::lock_guard lock(group_mutex_);
  return group_config_;
}

// ---- hand-over to the window thread

void InstallUI::OnInstallStatus(const InstallStatus& status) { PostRecord(kMsgInstallStatus, new InstallStatus(status)); }

void InstallUI::OnAppInstallState(const InstallerAppInstallState& state) {
  PostRecord(kMsgAppInstallState, new InstallerAppInstallState(state));
}

void InstallUI::PostRecord(UINT message, void* record) {
  std::lock_guard lock(post_mutex_);
  if (window_gone_) {
    FreeRecord(message, record);
    return;
  }
  if (post_target_ == nullptr) {
    pending_.push_back({message, record});
    return;
  }
  if (!::PostMessageW(post_target_, message, reinterpret_cast<WPARAM>(record), 0)) {
    PRODUCT_LOG("post of message {} failed: {}", message, ::GetLastError());
    FreeRecord(message, record);
  }
}

void InstallUI::FreeRecord(UINT message, void* record) {
  if (message == kMsgInstallStatus) {
    delete static_cast<InstallStatus*>(record);
  } else if (message == kMsgAppInstallState) {
    delete static_cast<InstallerAppInstallState*>(record);
  }
}

HWND InstallUI::CreateInstallWindow(int width, int height) {
  const HWND hwnd = Create(nullptr, title_.c_str(), 0x86C80000, 0, CW_USEDEFAULT, CW_USEDEFAULT, width, height);
  if (hwnd == nullptr) return nullptr;
  SetIconFromResource(101);
  CenterOnOwner();
  std::lock_guard lock(post_mutex_);
  post_target_ = hwnd;
  for (const PendingRecord& pending : pending_) {
    if (!::PostMessageW(hwnd, pending.message, reinterpret_cast<WPARAM>(pending.record), 0)) {
      FreeRecord(pending.message, pending.record);
    }
  }
  pending_.clear();
  return hwnd;
}

HWND InstallUI::window_handle() {
  std::lock_guard lock(post_mutex_);
  return post_target_;
}

LRESULT InstallUI::OnDestroy(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) {
  {
    std::lock_guard lock(post_mutex_);
    post_target_ = nullptr;
    window_gone_ = true;
  }
  // Records posted but not yet handled are freed here; none can follow.
  MSG msg{};
  while (::PeekMessageW(&msg, hwnd_, kMsgInstallStatus, kMsgAppInstallState, PM_REMOVE)) {
    FreeRecord(msg.message, reinterpret_cast<void*>(msg.wParam));
  }
  return WindowImplBase::OnDestroy(message, wparam, lparam, handled);
}

bool InstallUI::DispatchPostedRecord(UINT message, WPARAM wparam) {
  if (message == kMsgInstallStatus) {
    std::unique_ptr<InstallStatus> status(reinterpret_cast<InstallStatus*>(wparam));
    if (status) HandleInstallStatus(*status);
    return true;
  }
  if (message == kMsgAppInstallState) {
    std::unique_ptr<InstallerAppInstallState> state(reinterpret_cast<InstallerAppInstallState*>(wparam));
    if (state) HandleAppInstallState(std::move(*state));
    return true;
  }
  return false;
}

LRESULT InstallUI::HandleCustomMessage(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) {
  if (message == kMsgFinish) {
    handled = TRUE;
    Finish();
    return 0;
  }
  if (message == kMsgFirstFrame) {
    handled = TRUE;
    PRODUCT_LOG("first frame of the {} window painted", base::WideToUtf8(GetWindowClassName()));
    return 0;
  }
  handled = FALSE;
  HandleInstallMessage(message, wparam, lparam, handled);
  return 0;
}

// ---- controls shared by both windows

void InstallUI::BindCommonControls() {
  SkinUI::CPaintManagerUI& pm = paint_manager_;
  main_card_ = Bind<SkinUI::CContainerUI>(pm, L"main_card", L"Container");
  close_btn_ = Bind<SkinUI::CButtonUI>(pm, L"close_btn", L"Button");
  install_start_card_ = Bind<SkinUI::CContainerUI>(pm, L"install_start_card", L"Container");
  install_btn_ = Bind<SkinUI::CButtonUI>(pm, L"install_btn", L"Button");
  authorize_option_ = Bind<SkinUI::COptionUI>(pm, L"authorize_option", L"Option");
  agreement_label_ = Bind<SkinUI::CButtonUI>(pm, L"agreement_label", L"Button");
  policy_label_ = Bind<SkinUI::CButtonUI>(pm, L"policy_label", L"Button");
  installing_card_ = Bind<SkinUI::CContainerUI>(pm, L"installing_card", L"Container");
  installing_precent_label_ = Bind<SkinUI::CLabelUI>(pm, L"installing_precent_label", L"Label");
  installing_progress_ = Bind<SkinUI::CProgressUI>(pm, L"installing_progress", L"Progress");

  if (GlobalConfig::Instance().auto_authorize.value_or(0) != 0) {
    if (authorize_option_ != nullptr) authorize_option_->Selected(true);
    GlobalConfig::Instance().agreement_accepted = true;
    SetInstallButtonEnabled(true);
  }
  if (NeedReinstall()) {
    if (installing_precent_label_ != nullptr) installing_precent_label_->SetText(DownloadLine(50, L"").c_str());
    if (installing_progress_ != nullptr) installing_progress_->SetValue(50);
  }
}

void InstallUI::SetCloseLocked(bool locked) {
  if (close_btn_ != nullptr) {
    close_btn_->SetVisible(!locked);
    close_btn_->SetEnabled(!locked);
  }
  close_locked_ = locked;
  if (!locked || lock_timer_armed_) return;
  const std::shared_ptr<InstallImpl> engine = this->engine();
  const size_t components = engine ? engine->components().size() : 1;
  const UINT interval = static_cast<UINT>(components) * kLockIntervalPerComponentMs;
  // A zero interval still fires, after the system's shortest timer period.
  if (close_btn_ != nullptr) paint_manager_.SetTimer(close_btn_, kLockTimerId, interval == 0 ? 1 : interval);
  lock_timer_armed_ = true;
}

void InstallUI::UnlockClose() {
  if (close_btn_ != nullptr) {
    close_btn_->SetVisible(true);
    close_btn_->SetEnabled(true);
  }
  close_locked_ = false;
}

void InstallUI::ShowFailureText(DWORD color) {
  const GlobalConfig& config = GlobalConfig::Instance();
  if (installing_precent_label_ == nullptr) return;
  installing_precent_label_->SetText(FailureText(config.install_ui, config.install_result_code).c_str());
  installing_precent_label_->SetTextColor(color);
}

void InstallUI::HandleCommonStatus(int32_t code, DWORD failure_color) {
  switch (code) {
    case kStatusInstallStarted:
      SetCloseLocked(true);
      break;
    case kStatusInstallFinished:
    case kStatusCompleted:
      UnlockClose();
      break;
    case kStatusFailed:
    case kStatusCancelled:
      UnlockClose();
      ShowFailureText(failure_color);
      ReportInstallError({});
      break;
    default:
      break;
  }
}

void InstallUI::Notify(SkinUI::NotifyMsgUI& msg) {
  if (msg.sType == L"windowinit") ::PostMessageW(hwnd_, kMsgFirstFrame, 0, 0);
  OnNotify(msg);
  if (msg.sType == L"timer" && msg.pSender != nullptr && msg.pSender == close_btn_ && msg.wParam == kLockTimerId) {
    UnlockClose();
    paint_manager_.KillTimer(close_btn_, kLockTimerId);
  }
  WindowImplBase::Notify(msg);
}

LRESULT InstallUI::OnClose(UINT, WPARAM, LPARAM, BOOL& handled) {
  if (close_locked_) {
    handled = TRUE;
    return 0;
  }
  if (stop_.load()) {
    handled = FALSE;
    return 0;
  }
  zephris_report::ReportParams params;
  ReportCardClick(current_card_, "close_btn", params);
  if (ConfirmQuit(current_card_)) {
    Finish();
    handled = FALSE;
  } else {
    handled = TRUE;
  }
  return 0;
}

InstallBoxes& InstallUI::boxes() {
  if (!boxes_) boxes_ = MakeInstallBoxes();
  return *boxes_;
}

bool InstallUI::ConfirmQuit(const std::string& source_card) {
  const GlobalConfig& config = GlobalConfig::Instance();
  const std::wstring name = config.install_priority.value_or(0) != 0
                                ? base::Utf8ToWide(config.display_name.value_or(""))
                                : std::wstring(kProductDisplayName);
  const int result = boxes().ShowMessageBox(hwnd_, install_card::kQuitInstall, source_card, L"退出安装",
                                            fmt::format(L"确定要退出安装{}程序吗？", name), group_config(), L"退出",
                                            L"取消");
  return result == kMessageBoxConfirm;
}

void InstallUI::OnAuthorizeOptionClick() {
  // The click comes before the option toggles.
  const bool accepted = authorize_option_ != nullptr && !authorize_option_->IsSelected();
  GlobalConfig::Instance().agreement_accepted = accepted;
  SetInstallButtonEnabled(accepted);
  zephris_report::ReportParams params{{"setup", accepted ? "enable" : "disable"}};
  ReportCardClick(install_card::kInstallStart, "authorize_option", params);
}

void InstallUI::OpenUserAgreement() {
  zephris_report::ReportParams params;
  ReportCardClick(install_card::kInstallStart, "terms_label", params);
  if (open_page_) {
    open_page_(kUserAgreementUrl);
  } else {
    base::ShellRunAndWait(kUserAgreementUrl, L"", false, L"", SW_SHOWNORMAL);
  }
}

void InstallUI::OpenPrivacyPolicy() {
  zephris_report::ReportParams params;
  ReportCardClick(install_card::kInstallStart, "terms_label", params);
  if (open_page_) {
    open_page_(kPrivacyPolicyUrl);
  } else {
    base::ShellRunAndWait(kPrivacyPolicyUrl, L"", false, L"", SW_SHOWNORMAL);
  }
}

void InstallUI::Finish() {
  const HWND window = window_handle();
  if (window != nullptr && ::GetWindowThreadProcessId(window, nullptr) != ::GetCurrentThreadId()) {
    std::call_once(finish_once_, [this] { StopInstallTask(); });
    ::PostMessageW(window, kMsgFinish, 0, 0);
    return;
  }
  if (::IsWindow(hwnd_)) ::ShowWindow(hwnd_, SW_HIDE);
  std::call_once(finish_once_, [this] { StopInstallTask(); });
  Close(1);
  ReportCardsExposureEnd(CurrentCard{current_card_, auto_started_});
}
