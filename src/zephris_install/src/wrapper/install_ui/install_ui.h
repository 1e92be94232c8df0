// The base of the installer's two windows: one object that is both a skinned
// top-level window and the install engine's front end. The engine and the IPC
// layer report from their own threads; their records are copied and posted
// to the window thread, which alone touches controls. It also owns what both
// windows share: the close lock while components install, the quit
// confirmation, the agreement option and its two links, the user-group
// configuration for the feedback boxes, and the finish of the install.
//
// Built only through `InstallUI::Make`, as a shared object: the background
// threads it starts hold it alive for as long as they run.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "src/common/data/tiko_group_config.h"
#include "src/zephris_install/src/wrapper/install_ui/install_boxes.h"
#include "src/zephris_install/src/wrapper/install_wrapper/install_wrapper.h"
#include "ui_toolkit/controls/button.h"
#include "ui_toolkit/controls/label.h"
#include "ui_toolkit/controls/option.h"
#include "ui_toolkit/controls/progress.h"
#include "ui_toolkit/core/container.h"
#include "ui_toolkit/core/window_impl_base.h"

// The cards a window or box shows; the texts are also the card ids of the
// telemetry reports.
namespace install_card {
inline constexpr char kInstallStart[] = "install_start_card";
inline constexpr char kCustomInstall[] = "custom_install_card";
inline constexpr char kInstalling[] = "installing_card";
inline constexpr char kInstallComplete[] = "install_complete_card";
inline constexpr char kQuitInstall[] = "quit_install_card";
inline constexpr char kRemoveableTip[] = "removeable_tip_card";
inline constexpr char kInstallSsdTip[] = "install_ssd_tip_card";
inline constexpr char kFeedbackTip[] = "install_feedback_tip_card";
}  // namespace install_card

class InstallUI : public SkinUI::WindowImplBase, public InstallWrapper, public std::enable_shared_from_this<InstallUI> {
 public:
  static constexpr UINT kMsgInstallStatus = WM_USER + 16;
  static constexpr UINT kMsgAppInstallState = WM_USER + 17;
  static constexpr UINT kMsgGroupReady = WM_USER + 18;
  // The window's part of a finish that another thread asked for.
  static constexpr UINT kMsgFinish = WM_USER + 20;
  // Posted from the first layout, so that it is handled once the first frame
  // it belongs to has been painted.
  static constexpr UINT kMsgFirstFrame = WM_USER + 21;
  static constexpr UINT kLockTimerId = 101010;
  static constexpr UINT kLockIntervalPerComponentMs = 20000;

  // Builds a window and starts its background work (the user-group fetch,
  // and what the window adds). A thread that cannot be started throws
  // std::system_error.
  template <class Window, class... Args>
  static std::shared_ptr<Window> Make(Args&&... args) {
    auto window = std::shared_ptr<Window>(new Window(std::forward<Args>(args)...));
    static_cast<InstallUI*>(window.get())->StartBackgroundWork();
    return window;
  }

  ~InstallUI() override;

  // Engine thread and IPC threads: a copy of the record goes to the window
  // thread. Records that come before the window exists wait for it; records
  // that come after it has gone are dropped.
  void OnInstallStatus(const InstallStatus& status) override;
  void OnAppInstallState(const InstallerAppInstallState& state) override;

  // Hides the window, stops the install task (once per process), closes the
  // window and ends the current card's exposure. Called on another thread
  // (an install-control stop over IPC), the stop runs there and the rest is
  // handed to the window thread.
  void Finish() override;

  void Notify(SkinUI::NotifyMsgUI& msg) override;
  LRESULT OnClose(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;
  LRESULT OnDestroy(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;
  LRESULT HandleCustomMessage(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;

  // Seams for the rig; the product uses the defaults.
  void SetBoxes(std::shared_ptr<InstallBoxes> boxes) { boxes_ = std::move(boxes); }
  using PageOpener = std::function<void(const std::wstring& url)>;
  void SetPageOpener(PageOpener opener) { open_page_ = std::move(opener); }

  // What the window shows now (window thread).
  const std::string& current_card() const { return current_card_; }
  // Any thread: the window the records go to, null before and after it.
  HWND window_handle();
  bool close_locked() const { return close_locked_; }
  const std::wstring& title() const { return title_; }
  data::TikoGroupConfig group_config() const;
  // True once the group fetch has handed its result over.
  bool group_config_fetched() const { return group_fetched_.load(); }

  static constexpr wchar_t kUserAgreementUrl[] = L"https://www.quillorane.com/tuvo/webapp4/user_pact.html";
  static constexpr wchar_t kPrivacyPolicyUrl[] =
      L"https://privacy.orvalis.com/document/preview/4f3c2a1b9e8d7c6b5a4f3e2d1c0b9a87";

 protected:
  InstallUI();

  // Starts the detached threads; each holds a shared reference to the window.
  virtual void StartBackgroundWork();
  // Group-fetch thread, after the group configuration was replaced.
  virtual void OnFeedbackGroupReady() {}
  virtual void SetInstallButtonEnabled(bool) {}
  virtual void HandleInstallMessage(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) = 0;
  virtual void OnNotify(SkinUI::NotifyMsgUI& msg) = 0;

  // Creates the window and makes it the target of the posted records, also
  // of those that came before it existed.
  HWND CreateInstallWindow(int width, int height);
  void BindCommonControls();
  // The shared handling of one status: lock on 5, unlock on 7/8/100/101,
  // failure text and error report on 100/101 (in `failure_color`).
  void HandleCommonStatus(int32_t code, DWORD failure_color);
  void SetCloseLocked(bool locked);
  void UnlockClose();
  void ShowFailureText(DWORD color);
  bool ConfirmQuit(const std::string& source_card);
  void OnAuthorizeOptionClick();
  void OpenUserAgreement();
  void OpenPrivacyPolicy();
  // Window thread: frees a posted record and hands it to the window's
  // handler; true when the message was one of them.
  bool DispatchPostedRecord(UINT message, WPARAM wparam);
  InstallBoxes& boxes();

  template <class T>
  static T* Bind(SkinUI::CPaintManagerUI& manager, const wchar_t* name, const wchar_t* interface_name) {
    SkinUI::CControlUI* control = manager.FindControlByName(name);
    if (control == nullptr) return nullptr;
    return static_cast<T*>(control->QueryInterfaceByName(interface_name));
  }

  SkinUI::CContainerUI* main_card_ = nullptr;
  SkinUI::CButtonUI* close_btn_ = nullptr;
  SkinUI::CContainerUI* install_start_card_ = nullptr;
  SkinUI::CButtonUI* install_btn_ = nullptr;
  SkinUI::COptionUI* authorize_option_ = nullptr;
  SkinUI::CButtonUI* agreement_label_ = nullptr;
  SkinUI::CButtonUI* policy_label_ = nullptr;
  SkinUI::CContainerUI* installing_card_ = nullptr;
  SkinUI::CLabelUI* installing_precent_label_ = nullptr;
  SkinUI::CProgressUI* installing_progress_ = nullptr;

  std::string current_card_;
  bool auto_started_ = false;
  std::wstring title_;
  double progress_base_ = 0;
  bool auto_start_ = false;
  std::wstring action_verb_ = L"安装";
  bool close_locked_ = false;
  bool lock_timer_armed_ = false;

 private:
  struct PendingRecord {
    UINT message;
    void* record;
  };
  void PostRecord(UINT message, void* record);
  static void FreeRecord(UINT message, void* record);
  void FetchFeedbackGroup();

  std::mutex post_mutex_;  // guards the posting target and the records waiting for it
  HWND post_target_ = nullptr;
  bool window_gone_ = false;
  std::vector<PendingRecord> pending_;

  mutable std::mutex group_mutex_;
  data::TikoGroupConfig group_config_;
  std::atomic<bool> group_fetched_{false};

  std::shared_ptr<InstallBoxes> boxes_;
  PageOpener open_page_;
};
