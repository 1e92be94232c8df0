// The compact window shown when an app asks for the product's engine through
// the product's SDK: a confirm card with the app's icon and name, then a
// progress card that follows the engine's install and, when the app itself
// is still to be installed, the app's install states from IPC.
#pragma once

#include <string>

#include "src/zephris_install/src/wrapper/install_ui/install_ui.h"

class SdkWindow : public InstallUI {
 public:
  static constexpr int kWidth = 606;
  static constexpr int kHeight = 412;
  static constexpr wchar_t kSdkMark[] = L"pcvzt.sdk.mark";

  // Use `InstallUI::Make<SdkWindow>()`. Asks the web API for the app's
  // detail and downloads its icon: blocks for both.
  SdkWindow();
  ~SdkWindow() override;

  void Exec() override;
  void HandleInstallStatus(InstallStatus status) override;
  void HandleAppInstallState(InstallerAppInstallState state) override;

  const std::wstring& icon_path() const { return icon_path_; }
  const std::wstring& action_verb() const { return action_verb_; }

 protected:
  const wchar_t* GetWindowClassName() const override { return L"zephris_install_sdk"; }
  SkinUI::CUiString GetSkinFile() override { return SkinUI::CUiString(L"zephri_install_sdk_ui.xml"); }
  void InitWindow() override;
  void SetInstallButtonEnabled(bool enabled) override;
  void HandleInstallMessage(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override;
  void OnNotify(SkinUI::NotifyMsgUI& msg) override;

 private:
  void LoadAppDetail();
  void ShowConfirmTexts();
  void ShowInstallingTexts();
  void StartInstall();
  void OnInstallComplete(bool launch);

  SkinUI::CLabelUI* title_label_ = nullptr;
  SkinUI::CLabelUI* content_label_ = nullptr;
  SkinUI::CLabelUI* app_label_ = nullptr;
  SkinUI::CLabelUI* app_name_label_ = nullptr;
  SkinUI::CButtonUI* cancel_btn_ = nullptr;
  std::wstring icon_path_;
  bool download_seen_ = false;
  bool install_started_ = false;
};

// An app id that names a real package: not empty and not one of the SDK's
// placeholder ids ("com.pcvztsdk.install.*").
bool IsRealPackage(const std::string& app_id);
