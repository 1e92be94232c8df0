// The installer's main window: the start card (agreement, install button,
// expander), the custom install card (folder and three options), the
// installing card (progress line and bar, carousel, feedback link) and the
// completion card, on the shared installer window base.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "src/zephris_install/src/wrapper/install_ui/carousel_pictures.h"
#include "src/zephris_install/src/wrapper/install_ui/install_ui.h"
#include "ui_toolkit/controls/edit.h"
#include "ui_toolkit/core/horizontal_layout.h"

class InstallWindow : public InstallUI {
 public:
  static constexpr int kWidth = 664;
  static constexpr int kHeight = 480;
  static constexpr UINT kCarouselTimerId = 1;
  static constexpr UINT kCarouselIntervalMs = 5000;
  // Posted by the wait for the client when no client process is left.
  static constexpr UINT kMsgClientGone = WM_USER + 19;

  // Use `InstallUI::Make<InstallWindow>()`.
  InstallWindow();
  ~InstallWindow() override;

  void Exec() override;
  void HandleInstallStatus(InstallStatus status) override;
  void HandleAppInstallState(InstallerAppInstallState state) override;

  // The folder dialog: the chosen folder, or nothing when cancelled. The
  // product's picker is the shell's folder dialog.
  using FolderPicker = std::function<std::optional<std::wstring>(HWND owner)>;
  void SetFolderPicker(FolderPicker picker) { folder_picker_ = std::move(picker); }
  // How long the wait for the client sleeps between its looks (5 s).
  void SetClientPollInterval(std::chrono::milliseconds interval) { client_poll_ = interval; }

  // Window thread, for the rig.
  size_t carousel_page() const { return carousel_page_; }
  const CarouselPictures* carousel() const { return carousel_.get(); }

 protected:
  const wchar_t* GetWindowClassName() const override { return L"zephris_install"; }
  SkinUI::CUiString GetSkinFile() override { return SkinUI::CUiString(L"zephri_install_ui.xml"); }
  void InitWindow() override;
  void StartBackgroundWork() override;
  void OnFeedbackGroupReady() override;
  void SetInstallButtonEnabled(bool enabled) override;
  void HandleInstallMessage(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;
  void OnNotify(SkinUI::NotifyMsgUI& msg) override;
  LRESULT OnDestroy(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;

 private:
  void SwitchCard(const std::string& from, const std::string& to, bool auto_started);
  void StartInstall();
  void OnOptionClick(SkinUI::COptionUI* option, const char* name);
  void UpdateBrandTexts();
  bool IsAppInstall() const;
  void ShowCompleteCard();
  void OnCompleteButtonClick();
  void ShowFirstCarouselImage();
  void SelectCarouselPage(size_t page);
  void OnClickButtonBrowse();
  void WaitForClientExitThenComplete();
  void SetScaledClientSize(int width, int height);
  void SetButtonImages(SkinUI::CButtonUI* button, const wchar_t* normal, const wchar_t* hot_and_pushed);

  SkinUI::CButtonUI* mini_btn_ = nullptr;
  SkinUI::CContainerUI* display_card_ = nullptr;
  SkinUI::CContainerUI* main_display_card_ = nullptr;
  SkinUI::CContainerUI* main_logo_card_ = nullptr;
  SkinUI::CContainerUI* app_logo_card_ = nullptr;
  SkinUI::CLabelUI* app_install_name_label_ = nullptr;
  SkinUI::CLabelUI* app_install_tips_label_ = nullptr;
  SkinUI::CContainerUI* installing_display_card_ = nullptr;
  size_t carousel_page_ = 0;
  SkinUI::CButtonUI* carousel_btns_[kCarouselPages] = {};
  SkinUI::CButtonUI* expand_btn_ = nullptr;
  SkinUI::CButtonUI* expand_label_ = nullptr;
  SkinUI::CContainerUI* custom_install_card_ = nullptr;
  SkinUI::CLabelUI* browse_label_ = nullptr;
  SkinUI::CHorizontalLayoutUI* browse_layout_ = nullptr;
  SkinUI::CEditUI* install_path_edit_ = nullptr;
  SkinUI::CButtonUI* browse_btn_ = nullptr;
  SkinUI::COptionUI* start_menu_option_ = nullptr;
  SkinUI::COptionUI* desktop_link_option_ = nullptr;
  SkinUI::COptionUI* auto_start_option_ = nullptr;
  SkinUI::CButtonUI* feedback_icon_ = nullptr;
  SkinUI::CButtonUI* feedback_label_ = nullptr;
  SkinUI::CContainerUI* install_complete_card_ = nullptr;
  SkinUI::CButtonUI* complete_btn_ = nullptr;

  std::mutex init_mutex_;
  std::condition_variable init_cv_;
  bool controls_bound_ = false;
  bool window_gone_ = false;  // under init_mutex_: the group thread stops waiting
  const bool auto_complete_ = true;
  bool install_started_ = false;

  std::shared_ptr<CarouselPictures> carousel_;
  FolderPicker folder_picker_;
  std::chrono::milliseconds client_poll_{5000};
};
