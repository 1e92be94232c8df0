// The feedback tip box: join the user group or go to the support forum,
// optionally collecting diagnostics first.
#pragma once

#include <windows.h>

#include <string>

#include "src/common/data/tiko_group_config.h"
#include "src/zephris_install/src/wrapper/message_box/message_box_result.h"
#include "ui_toolkit/controls/button.h"
#include "ui_toolkit/controls/label.h"
#include "ui_toolkit/controls/option.h"
#include "ui_toolkit/core/window_impl_base.h"

inline constexpr char kFeedbackTipCardId[] = "install_feedback_tip_card";

class FeedbackTipBox : public SkinUI::WindowImplBase {
 public:
  // Builds, shows and destroys one box; answers kMessageBoxConfirm for the
  // group button, kMessageBoxCancel for the forum button, kMessageBoxClose
  // for the close button.
  static MessageBoxResult Show(HWND parent, const std::string& source_card_id, const data::TikoGroupConfig& group);

  explicit FeedbackTipBox(std::string source_card_id);
  ~FeedbackTipBox() override;

 protected:
  const wchar_t* GetWindowClassName() const override { return L"zephris_install_feedback_box"; }
  void InitWindow() override;
  SkinUI::CUiString GetSkinFile() override { return SkinUI::CUiString(L"zephri_install_feedback_box.xml"); }
  void Notify(SkinUI::NotifyMsgUI& msg) override;

 private:
  void OnJoinGroupClick();
  void OnForumClick();
  bool WithDiagnosis() const;
  void ReportClickWithSetup(const char* element_id);

  SkinUI::CButtonUI* close_btn_ = nullptr;
  SkinUI::CButtonUI* jointiko_btn_ = nullptr;
  SkinUI::CButtonUI* forum_btn_ = nullptr;
  SkinUI::COptionUI* diagnosis_option_ = nullptr;
  SkinUI::CLabelUI* content_label_ = nullptr;
  data::TikoGroupConfig group_ = data::DefaultTikoGroupConfig();
  std::string card_id_ = kFeedbackTipCardId;
  std::string source_card_id_;
};
