#include "src/zephris_install/src/wrapper/install_ui/install_window.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <thread>

#include <fmt/format.h>
#include <fmt/xchar.h>

#include "base/product_log.h"
#include "base/scoped_handle.h"
#include "base/system_probe.h"
#include "report/install_report.h"
#include "src/zephris_install/src/boot/bring_window_to_front.h"
#include "src/zephris_install/src/global_config/client_state.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/tool/pseudo_protocol.h"
#include "src/zephris_install/src/wrapper/install_ui/install_folder.h"
#include "src/zephris_install/src/wrapper/install_ui/install_texts.h"
#include "src/zephris_install/src/wrapper/install_ui/store_ui_brand.h"
#include "ui_toolkit/core/dpi_helper.h"

namespace {

constexpr DWORD kFailureColor = 0x00FF3F3F;
constexpr wchar_t kClientProcessName[] = L"Quillorane.exe";

const char* EnableText(bool on) { return on ? "enable" : "disable"; }

struct CoTaskMemDeleter {
  void operator()(void* memory) const { ::CoTaskMemFree(memory); }
};

std::optional<std::wstring> ShellFolderPicker(HWND owner) {
  wchar_t display_name[MAX_PATH] = {};
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.pszDisplayName = display_name;
  info.lpszTitle = L"";
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_NEWDIALOGSTYLE;
  const std::unique_ptr<ITEMIDLIST, CoTaskMemDeleter> item(::SHBrowseForFolderW(&info));
  if (!item) return std::nullopt;
  wchar_t path[MAX_PATH] = {};
  if (!::SHGetPathFromIDListW(item.get(), path) || path[0] == L'\0') return std::nullopt;
  return std::wstring(path);
}

// True while a process of the client's program runs; false also when the
// processes cannot be listed.
bool ClientProcessRuns() {
  base::ScopedKernelHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.IsValid()) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry)) {
    if (::_wcsicmp(entry.szExeFile, kClientProcessName) == 0) return true;
  }
  return false;
}

}  // namespace

InstallWindow::InstallWindow() {
  const GlobalConfig& config = GlobalConfig::Instance();
  auto_start_ = config.install_mode.value_or(0) == 1;
  progress_base_ = config.install_priority.value_or(0) != 0 ? 0.18 : 1.0;
  std::vector<std::string> urls;
  for (const CarouselImage& image : config.carousel_images) urls.push_back(image.url);
  carousel_ = std::make_shared<CarouselPictures>(urls);
}

InstallWindow::~InstallWindow() = default;

void InstallWindow::StartBackgroundWork() {
  InstallUI::StartBackgroundWork();
  if (carousel_->size() == 0) return;
  const GlobalConfig& config = GlobalConfig::Instance();
  const std::wstring folder = CarouselFolder(config.channel_id.value_or(0), config.app_id.value_or(""));
  if (folder.empty()) {
    PRODUCT_LOG("carousel not downloaded: app id is not a plain file name");
    return;
  }
  // The pictures are shared with the thread; the window need not outlive it.
  std::thread([pictures = carousel_, folder] { pictures->Download(folder); }).detach();
}

void InstallWindow::InitWindow() {
  BindCommonControls();
  SkinUI::CPaintManagerUI& pm = paint_manager_;
  mini_btn_ = Bind<SkinUI::CButtonUI>(pm, L"mini_btn", L"Button");
  display_card_ = Bind<SkinUI::CContainerUI>(pm, L"display_card", L"Container");
  main_display_card_ = Bind<SkinUI::CContainerUI>(pm, L"main_display_card", L"Container");
  main_logo_card_ = Bind<SkinUI::CContainerUI>(pm, L"main_logo_card", L"Container");
  app_logo_card_ = Bind<SkinUI::CContainerUI>(pm, L"app_logo_card", L"Container");
  app_install_name_label_ = Bind<SkinUI::CLabelUI>(pm, L"app_install_name_label", L"Label");
  app_install_tips_label_ = Bind<SkinUI::CLabelUI>(pm, L"app_install_tips_label", L"Label");
  installing_display_card_ = Bind<SkinUI::CContainerUI>(pm, L"installing_display_card", L"Container");
  for (size_t i = 0; i < kCarouselPages; ++i) {
    carousel_btns_[i] = Bind<SkinUI::CButtonUI>(pm, fmt::format(L"carousel_{}_btn", i).c_str(), L"Button");
  }
  expand_btn_ = Bind<SkinUI::CButtonUI>(pm, L"expand_btn", L"Button");
  expand_label_ = Bind<SkinUI::CButtonUI>(pm, L"expand_label", L"Button");
  custom_install_card_ = Bind<SkinUI::CContainerUI>(pm, L"custom_install_card", L"Container");
  browse_label_ = Bind<SkinUI::CLabelUI>(pm, L"browse_label", L"Label");
  browse_layout_ = Bind<SkinUI::CHorizontalLayoutUI>(pm, L"browse_layout", L"HorizontalLayout");
  install_path_edit_ = Bind<SkinUI::CEditUI>(pm, L"install_path_edit", L"Edit");
  browse_btn_ = Bind<SkinUI::CButtonUI>(pm, L"browse_btn", L"Button");
  start_menu_option_ = Bind<SkinUI::COptionUI>(pm, L"start_menu_option", L"Option");
  desktop_link_option_ = Bind<SkinUI::COptionUI>(pm, L"desktop_link_option", L"Option");
  auto_start_option_ = Bind<SkinUI::COptionUI>(pm, L"auto_start_option", L"Option");
  feedback_icon_ = Bind<SkinUI::CButtonUI>(pm, L"feedback_icon", L"Button");
  feedback_label_ = Bind<SkinUI::CButtonUI>(pm, L"feedback_label", L"Button");
  install_complete_card_ = Bind<SkinUI::CContainerUI>(pm, L"install_complete_card", L"Container");
  complete_btn_ = Bind<SkinUI::CButtonUI>(pm, L"complete_btn", L"Button");

  for (const wchar_t* hidden : {L"title_tag_label", L"main_logo_tag_label"}) {
    if (SkinUI::CControlUI* control = pm.FindControlByName(hidden)) control->SetVisible(false);
  }
  if (mini_btn_ != nullptr) mini_btn_->SetPadding(RECT{498, 16, 0, 0});

  const GlobalConfig& config = GlobalConfig::Instance();
  if (install_path_edit_ != nullptr) install_path_edit_->SetText(config.install_dir.c_str());
  if (start_menu_option_ != nullptr) start_menu_option_->Selected(config.create_start_menu_link.value_or(1) != 0);
  if (desktop_link_option_ != nullptr) desktop_link_option_->Selected(config.create_desktop_link.value_or(1) != 0);
  if (auto_start_option_ != nullptr) auto_start_option_->Selected(config.auto_start_market.value_or(1) != 0);

  {
    std::lock_guard lock(init_mutex_);
    controls_bound_ = true;
  }
  init_cv_.notify_all();
}

void InstallWindow::OnFeedbackGroupReady() {
  {
    std::unique_lock lock(init_mutex_);
    init_cv_.wait(lock, [this] { return controls_bound_ || window_gone_; });
    if (window_gone_) return;
  }
  ::PostMessageW(hwnd_, kMsgGroupReady, 0, 0);
}

LRESULT InstallWindow::OnDestroy(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) {
  {
    std::lock_guard lock(init_mutex_);
    window_gone_ = true;
  }
  init_cv_.notify_all();
  return InstallUI::OnDestroy(message, wparam, lparam, handled);
}

void InstallWindow::HandleInstallMessage(UINT message, WPARAM wparam, LPARAM, BOOL& handled) {
  if (DispatchPostedRecord(message, wparam)) {
    handled = TRUE;
  } else if (message == kMsgGroupReady) {
    handled = TRUE;
  } else if (message == kMsgClientGone) {
    handled = TRUE;
    GlobalConfig::Instance().install_priority = 0;
    SwitchCard(current_card_, install_card::kInstallComplete, false);
  }
}

void InstallWindow::Exec() {
  if (CreateInstallWindow(kWidth, kHeight) == nullptr) {
    PRODUCT_LOG("main window not created: {}", ::GetLastError());
    return;
  }
  if (IsStoreUiBrand()) {
    PRODUCT_LOG("zephris already install");
    ShowCompleteCard();
    // No modal loop runs to take the close: the window goes now, before the
    // object that answers its messages can.
    if (::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
    return;
  }
  current_card_ = install_card::kInstallStart;
  auto_started_ = auto_start_;
  ReportInstallStartCardExposure(true, auto_start_);
  if (auto_start_) {
    StartInstall();
  } else {
    UpdateBrandTexts();
    SetInstallButtonEnabled(authorize_option_ != nullptr && authorize_option_->IsSelected());
    if (install_start_card_ != nullptr) install_start_card_->SetVisible(true);
    if (custom_install_card_ != nullptr) custom_install_card_->SetVisible(false);
  }
  BringWindowToFront(hwnd_);
  ShowModal();
  if (::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
}

void InstallWindow::OnNotify(SkinUI::NotifyMsgUI& msg) {
  if (msg.sType == L"timer") {
    if (msg.wParam == kCarouselTimerId && msg.pSender == installing_card_) SelectCarouselPage(carousel_page_ + 1);
    return;
  }
  if (!(msg.sType == L"click") || msg.pSender == nullptr) return;
  SkinUI::CControlUI* sender = msg.pSender;
  zephris_report::ReportParams params;
  if (sender == close_btn_) {
    Close(1);
  } else if (sender == mini_btn_) {
    ReportCardClick(current_card_, "mini_btn", params);
    ::SendMessageW(hwnd_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  } else if (sender == install_btn_) {
    install_btn_->SetEnabled(false);
    StartInstall();
  } else if (sender == agreement_label_) {
    OpenUserAgreement();
  } else if (sender == policy_label_) {
    OpenPrivacyPolicy();
  } else if (sender == expand_btn_ || sender == expand_label_) {
    ReportCardClick(install_card::kInstallStart, "expand_btn", params);
    SwitchCard(current_card_,
               current_card_ == install_card::kInstallStart ? install_card::kCustomInstall : install_card::kInstallStart,
               false);
  } else if (sender == browse_btn_) {
    OnClickButtonBrowse();
  } else if (sender == complete_btn_) {
    OnCompleteButtonClick();
  } else if (sender == authorize_option_) {
    OnAuthorizeOptionClick();
  } else if (sender == start_menu_option_) {
    OnOptionClick(start_menu_option_, "start_menu_option");
  } else if (sender == desktop_link_option_) {
    OnOptionClick(desktop_link_option_, "desktop_link_option");
  } else if (sender == auto_start_option_) {
    OnOptionClick(auto_start_option_, "auto_start_option");
  } else if (sender == feedback_icon_ || sender == feedback_label_) {
    boxes().ShowFeedbackBox(hwnd_, current_card_, group_config());
    ReportCardClick(install_card::kInstalling, sender == feedback_icon_ ? "feedback_icon" : "feedback_label", params);
  } else {
    for (size_t i = 0; i < kCarouselPages; ++i) {
      if (sender == carousel_btns_[i]) SelectCarouselPage(i);
    }
  }
}

void InstallWindow::OnOptionClick(SkinUI::COptionUI* option, const char* name) {
  // The click comes before the option toggles.
  const bool on = !option->IsSelected();
  GlobalConfig& config = GlobalConfig::Instance();
  if (option == start_menu_option_) {
    config.create_start_menu_link = on ? 1 : 0;
  } else if (option == desktop_link_option_) {
    config.create_desktop_link = on ? 1 : 0;
    config.desktop_link_option_changed = true;
  } else {
    config.auto_start_market = on ? 1 : 0;
  }
  zephris_report::ReportParams params{{"setup", EnableText(on)}};
  ReportCardClick(install_card::kCustomInstall, name, params);
}

void InstallWindow::SetScaledClientSize(int width, int height) {
  // The card sizes are the skin's, at 100 %: at other scales the window grows
  // with its controls instead of cutting them off.
  const SkinUI::CDpiHelperUI* dpi = paint_manager_.GetDpiHelper();
  SetClientSize(dpi->Scale(width), dpi->Scale(height));
}

void InstallWindow::SetButtonImages(SkinUI::CButtonUI* button, const wchar_t* normal, const wchar_t* hot_and_pushed) {
  if (button == nullptr) return;
  button->SetNormalImage(normal);
  button->SetHotImage(hot_and_pushed);
  button->SetPushedImage(hot_and_pushed);
}

void InstallWindow::SwitchCard(const std::string& from, const std::string& to, bool auto_started) {
  if (from == to) return;
  auto show = [](SkinUI::CControlUI* control, bool visible) {
    if (control != nullptr) control->SetVisible(visible);
  };
  using namespace install_card;
  if (from == kInstallStart && to == kCustomInstall) {
    if (NeedReinstall()) {
      show(browse_label_, false);
      show(browse_layout_, false);
      SetScaledClientSize(kWidth, 528);
    } else {
      SetScaledClientSize(kWidth, 580);
    }
    if (main_card_ != nullptr) main_card_->SetBackgroundImage(L"img/bkg_custom_install.png");
    SetButtonImages(expand_btn_, L"img/expand_up_btn_normal.png", L"img/expand_up_btn_hover.png");
    show(custom_install_card_, true);
    ReportCustomInstallCardExposure(true);
  } else if (from == kCustomInstall && to == kInstallStart) {
    SetScaledClientSize(kWidth, kHeight);
    if (main_card_ != nullptr) main_card_->SetBackgroundImage(L"img/bkg_main.png");
    SetButtonImages(expand_btn_, L"img/expand_down_btn_normal.png", L"img/expand_down_btn_hover.png");
    show(install_start_card_, true);
    show(custom_install_card_, false);
    ReportCustomInstallCardExposure(false);
  } else if ((from == kInstallStart || from == kCustomInstall) && to == kInstalling) {
    if (from == kCustomInstall) {
      SetScaledClientSize(kWidth, kHeight);
      if (main_card_ != nullptr) main_card_->SetBackgroundImage(L"img/bkg_main.png");
      show(custom_install_card_, false);
    }
    show(main_display_card_, false);
    show(install_start_card_, false);
    show(installing_display_card_, true);
    show(installing_card_, true);
    ShowFirstCarouselImage();
    if (installing_card_ != nullptr) paint_manager_.SetTimer(installing_card_, kCarouselTimerId, kCarouselIntervalMs);
    ReportInstallStartCardExposure(false, auto_started);
    if (from == kCustomInstall) ReportCustomInstallCardExposure(false);
    ReportInstallingCardExposure(true);
  } else if (from == kInstalling && to == kInstallComplete) {
    if (installing_card_ != nullptr) paint_manager_.KillTimer(installing_card_, kCarouselTimerId);
    ReportInstallingCardExposure(false);
    ShowCompleteCard();
    return;  // the completion card set the current card (and may have finished)
  }
  current_card_ = to;
  auto_started_ = false;
}

void InstallWindow::StartInstall() {
  if (install_started_) return;
  install_started_ = true;
  SwitchCard(current_card_, install_card::kInstalling, auto_start_);
  GlobalConfig& config = GlobalConfig::Instance();
  if (install_path_edit_ != nullptr) config.install_dir = install_path_edit_->GetText().GetData();
  auto selected = [](SkinUI::COptionUI* option) { return option != nullptr && option->IsSelected(); };
  config.create_desktop_link = selected(desktop_link_option_) ? 1 : 0;
  config.create_start_menu_link = selected(start_menu_option_) ? 1 : 0;
  config.auto_start_market = selected(auto_start_option_) ? 1 : 0;
  if (!StartInstallTask()) PRODUCT_LOG("install_task not started: stopped before, or no engine");
  zephris_report::ReportParams params{
      {"setup_create_start_menu_link", EnableText(config.create_start_menu_link == 1)},
      {"setup_create_desktop_link", EnableText(config.create_desktop_link == 1)},
      {"setup_auto_start_market", EnableText(config.auto_start_market == 1)},
  };
  ReportCardClick(install_card::kInstallStart, "install_btn", params);
}

bool InstallWindow::IsAppInstall() const { return NeedInstallApp() && !IsVztSdkSource(); }

void InstallWindow::UpdateBrandTexts() {
  const bool app = IsAppInstall();
  if (main_logo_card_ != nullptr) main_logo_card_->SetVisible(!app);
  if (app_logo_card_ != nullptr) app_logo_card_->SetVisible(app);
  if (!app) return;
  if (app_install_name_label_ != nullptr) app_install_name_label_->SetText(title_.c_str());
  if (app_install_tips_label_ != nullptr) {
    app_install_tips_label_->SetText(fmt::format(L"安装{}，在电脑端使用{}", kProductDisplayName, title_).c_str());
  }
}

void InstallWindow::SetInstallButtonEnabled(bool enabled) {
  if (install_btn_ == nullptr) return;
  if (current_card_ != install_card::kInstallStart && current_card_ != install_card::kCustomInstall) return;
  const bool app = IsAppInstall();
  install_btn_->SetEnabled(enabled);
  if (enabled) {
    SetButtonImages(install_btn_, app ? L"img/main_app_btn_normal.png" : L"img/main_btn_normal.png",
                    app ? L"img/main_app_btn_hover.png" : L"img/main_btn_hover.png");
    install_btn_->SetTextColor(0xFFFFFFFF);
  } else {
    const wchar_t* image = app ? L"img/main_app_btn_disable.png" : L"img/main_btn_disable.png";
    SetButtonImages(install_btn_, image, image);
    install_btn_->SetDisabledTextColor(0xFFFF9595);
  }
  if (app) install_btn_->SetTextPadding(RECT{25, 0, 0, 0});
}

void InstallWindow::ShowCompleteCard() {
  current_card_ = install_card::kInstallComplete;
  auto_started_ = auto_complete_;
  ReportInstallCompleteCardExposure(true, auto_complete_);
  CreateShortcutsAfterInstall();
  if (auto_complete_) OnCompleteButtonClick();
}

void InstallWindow::OnCompleteButtonClick() {
  zephris_report::ReportParams params;
  ReportCardClickWithLegacy(install_card::kInstallComplete, "complete_btn", auto_complete_, params);
  if (GlobalConfig::Instance().pullup_type.value_or(1) != 0) LaunchAfterInstall();
  Finish();
}

// ---- status and progress

void InstallWindow::HandleInstallStatus(InstallStatus status) {
  const std::wstring name = ComponentTypeName(status.component_type);
  const double percent = status.percent.value_or(0);
  switch (status.code) {
    case kStatusDownloading: {
      const double value = EngineBarValue(percent, progress_base_);
      if (installing_precent_label_ != nullptr) installing_precent_label_->SetText(DownloadLine(value, name).c_str());
      if (installing_progress_ != nullptr) installing_progress_->SetValue(BarPosition(value));
      break;
    }
    case kStatusInstalling:
      if (installing_precent_label_ != nullptr) {
        installing_precent_label_->SetText(WorkingLine(action_verb_, name).c_str());
      }
      if (installing_progress_ != nullptr) installing_progress_->SetValue(BarPosition(progress_base_ * 100));
      break;
    case kStatusCompleted: {
      HandleCommonStatus(status.code, kFailureColor);
      const GlobalConfig& config = GlobalConfig::Instance();
      if (NeedInstallApp() && config.install_priority.value_or(0) == 1) {
        LaunchInstallAndNoticeDownloader();
        std::thread([self = std::static_pointer_cast<InstallWindow>(shared_from_this())] {
          self->WaitForClientExitThenComplete();
        }).detach();
      } else {
        SwitchCard(current_card_, install_card::kInstallComplete, false);
      }
      break;
    }
    default:
      HandleCommonStatus(status.code, kFailureColor);
      break;
  }
}

void InstallWindow::HandleAppInstallState(InstallerAppInstallState state) {
  const std::wstring name = state.is_installing_engine ? std::wstring(L"虚拟化组件") : title_;
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
      installing_precent_label_->SetText(GlobalConfig::Instance().app_type.value_or(0) == 1
                                             ? kEngineStartLine
                                             : DownloadLine(100, name).c_str());
    }
  } else if (what == "app_install_start" || what == "app_installing") {
    if (installing_precent_label_ != nullptr) {
      installing_precent_label_->SetText(WorkingLine(action_verb_, name).c_str());
    }
  } else if (what == "app_install_complete") {
    SwitchCard(current_card_, install_card::kInstallComplete, false);
  } else if (what == "app_install_error" || what == "app_download_error") {
    GlobalConfig::Instance().install_priority = 0;
    SwitchCard(current_card_, install_card::kInstallComplete, false);
  } else if (what == "app_download_pause" || what == "app_download_removed" || what == "zephris_store_exit") {
    Close(1);
  }
}

void InstallWindow::WaitForClientExitThenComplete() {
  std::this_thread::sleep_for(client_poll_);
  do {
    std::this_thread::sleep_for(client_poll_);
  } while (ClientProcessRuns());
  // The switch belongs to the window thread; a window already gone drops it.
  ::PostMessageW(hwnd_, kMsgClientGone, 0, 0);
}

// ---- carousel

void InstallWindow::ShowFirstCarouselImage() {
  if (display_card_ != nullptr) display_card_->SetBackgroundImage(carousel_->PageImage(0).c_str());
}

void InstallWindow::SelectCarouselPage(size_t page) {
  if (carousel_btns_[carousel_page_] != nullptr) {
    carousel_btns_[carousel_page_]->SetBackgroundImage(L"img/carousel_disable_btn.png");
  }
  const size_t shown = page % kCarouselPages;
  if (carousel_btns_[shown] != nullptr) carousel_btns_[shown]->SetBackgroundImage(L"img/carousel_enable_btn.png");
  if (display_card_ != nullptr) display_card_->SetBackgroundImage(carousel_->PageImage(shown).c_str());
  carousel_page_ = shown;
}

// ---- install folder choice

void InstallWindow::OnClickButtonBrowse() {
  zephris_report::ReportParams params;
  ReportCardClick(install_card::kCustomInstall, "browse_btn", params);
  const std::optional<std::wstring> chosen = folder_picker_ ? folder_picker_(hwnd_) : ShellFolderPicker(hwnd_);
  if (!chosen || chosen->empty()) return;
  std::error_code ec;
  if (!std::filesystem::is_directory(*chosen, ec)) {
    std::filesystem::create_directories(*chosen, ec);
    if (ec || !std::filesystem::is_directory(*chosen, ec)) return;
  }
  const std::wstring candidate = InstallFolderFor(*chosen);
  const wchar_t drive = DriveLetterOf(*chosen);
  const GlobalConfig& config = GlobalConfig::Instance();
  if (drive != 0 && !base::IsUsbVolume(drive) && base::IsNtfsOrRefsVolume(drive)) {
    if (install_path_edit_ != nullptr) install_path_edit_->SetText(candidate.c_str());
    const wchar_t ssd = config.install_drive;
    const auto& ssd_drives = config.candidate_install_drives;
    if (ssd != 0 && ssd != drive && std::find(ssd_drives.begin(), ssd_drives.end(), drive) == ssd_drives.end()) {
      boxes().ShowMessageBox(
          hwnd_, install_card::kInstallSsdTip, current_card_, L"安装建议",
          fmt::format(L"该目录位于机械硬盘{}盘，可能会导致应用出现卡顿、无响应，建议选择固态硬盘{}盘，以获得更流畅的体验",
                      drive, ssd),
          group_config(), L"确定", L"");
    }
    return;
  }
  boxes().ShowMessageBox(hwnd_, install_card::kRemoveableTip, current_card_, L"安装建议",
                         fmt::format(L"该目录所在的{}盘是移动硬盘或者不是 NTFS 格式分区，可能会导致安装失败，"
                                     L"建议选择其他硬盘分区（NTFS 格式且为本地硬盘）",
                                     VolumeNameOf(*chosen)),
                         group_config(), L"确定", L"");
}
