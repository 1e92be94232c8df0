#include "src/zephris_install/src/wrapper/message_box/feedback_tip_box.h"

#include <memory>

#include "report/card_events.h"
#include "src/common/diagnosis/feedback_tools.h"
#include "src/zephris_install/src/wrapper/message_box/box_common.h"

using install_box::FindControl;

MessageBoxResult FeedbackTipBox::Show(HWND parent, const std::string& source_card_id,
                                      const data::TikoGroupConfig& group) {
  auto box = std::make_unique<FeedbackTipBox>(source_card_id);
  ReportDialogExposure(true, kFeedbackTipCardId, source_card_id);
  if (box->Create(parent, install_box::BoxTitle().c_str(), install_box::kBoxStyle, install_box::kBoxExStyle) ==
      nullptr) {
    return 0;
  }
  box->group_ = group;
  box->CenterOnOwner();
  return static_cast<MessageBoxResult>(box->ShowModal());
}

FeedbackTipBox::FeedbackTipBox(std::string source_card_id) : source_card_id_(std::move(source_card_id)) {}

FeedbackTipBox::~FeedbackTipBox() {
  if (::IsWindow(GetWindowHandle())) ::DestroyWindow(GetWindowHandle());
  ReportDialogExposure(false, card_id_, source_card_id_);
}

void FeedbackTipBox::InitWindow() {
  SetIconFromResource(install_box::kBoxIconResource);
  close_btn_ = FindControl<SkinUI::CButtonUI>(paint_manager_, L"close_btn");
  jointiko_btn_ = FindControl<SkinUI::CButtonUI>(paint_manager_, L"jointiko_btn");
  forum_btn_ = FindControl<SkinUI::CButtonUI>(paint_manager_, L"forum_btn");
  diagnosis_option_ = FindControl<SkinUI::COptionUI>(paint_manager_, L"diagnosis_option");
  content_label_ = FindControl<SkinUI::CLabelUI>(paint_manager_, L"content_label");
}

bool FeedbackTipBox::WithDiagnosis() const { return diagnosis_option_ != nullptr && diagnosis_option_->IsSelected(); }

void FeedbackTipBox::ReportClickWithSetup(const char* element_id) {
  zephris_report::ReportParams params{{"setup", WithDiagnosis() ? "enable" : "disable"}};
  ReportDialogClick(card_id_, source_card_id_, element_id, params);
}

// The close code goes out before the page opens; the modal loop ends once
// this handler has returned.
void FeedbackTipBox::OnJoinGroupClick() {
  Close(static_cast<UINT>(kMessageBoxConfirm));
  diagnosis::OpenUrlWithDiagnosis(group_.group_link, WithDiagnosis());
  ReportClickWithSetup("jointiko_btn");
}

void FeedbackTipBox::OnForumClick() {
  Close(static_cast<UINT>(kMessageBoxCancel));
  diagnosis::OpenSupportPage(WithDiagnosis());
  ReportClickWithSetup("forum_btn");
}

void FeedbackTipBox::Notify(SkinUI::NotifyMsgUI& msg) {
  if (msg.sType == L"click" && msg.pSender != nullptr) {
    if (msg.pSender == close_btn_) {
      Close(static_cast<UINT>(kMessageBoxClose));
      zephris_report::ReportParams params;
      ReportDialogClick(card_id_, source_card_id_, "close_btn", params);
    } else if (msg.pSender == jointiko_btn_) {
      OnJoinGroupClick();
    } else if (msg.pSender == forum_btn_) {
      OnForumClick();
    }
  }
  WindowImplBase::Notify(msg);
}
