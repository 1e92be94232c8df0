// The installer's small modal message box: a title, a few lines of text, up
// to two buttons and a link to the user group for feedback.
#pragma once

#include <windows.h>

#include <string>

#include "src/common/data/tiko_group_config.h"
#include "src/zephris_install/src/wrapper/message_box/message_box_result.h"
#include "ui_toolkit/controls/button.h"
#include "ui_toolkit/controls/label.h"
#include "ui_toolkit/core/window_impl_base.h"

class TinyMessageBox : public SkinUI::WindowImplBase {
 public:
  // Builds, shows and destroys one box; answers the button that closed it.
  // An empty button text hides that button; with the cancel button hidden the
  // confirm button moves to the middle. Runs on the thread of |parent| (or
  // any thread with a message loop when |parent| is null).
  static MessageBoxResult Show(HWND parent, const std::string& card_id, const std::string& source_card_id,
                               const std::wstring& title, const std::wstring& content,
                               const data::TikoGroupConfig& group, const std::wstring& confirm_text,
                               const std::wstring& cancel_text);

  TinyMessageBox(std::string card_id, std::string source_card_id);
  ~TinyMessageBox() override;

 protected:
  const wchar_t* GetWindowClassName() const override { return L"zephris_install_messagebox"; }
  void InitWindow() override;
  SkinUI::CUiString GetSkinFile() override { return SkinUI::CUiString(L"zephri_install_messagebox.xml"); }
  void Notify(SkinUI::NotifyMsgUI& msg) override;

 private:
  void OnButtonClose(SkinUI::CButtonUI* button, MessageBoxResult result, const char* element_id);

  SkinUI::CButtonUI* close_btn_ = nullptr;
  SkinUI::CButtonUI* confirm_btn_ = nullptr;
  SkinUI::CButtonUI* cancel_btn_ = nullptr;
  SkinUI::CLabelUI* title_label_ = nullptr;
  SkinUI::CLabelUI* content_label_ = nullptr;
  SkinUI::CButtonUI* feedback_icon_ = nullptr;
  SkinUI::CButtonUI* feedback_label_ = nullptr;
  std::string card_id_;
  std::string source_card_id_;
  data::TikoGroupConfig group_ = data::DefaultTikoGroupConfig();
};
