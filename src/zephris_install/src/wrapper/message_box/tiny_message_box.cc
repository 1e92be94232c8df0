#include "src/zephris_install/src/wrapper/message_box/tiny_message_box.h"

#include <memory>

#include "report/card_events.h"
#include "src/common/diagnosis/feedback_tools.h"
#include "src/zephris_install/src/wrapper/message_box/box_common.h"

using install_box::FindControl;

MessageBoxResult TinyMessageBox::Show(HWND parent, const std::string& card_id, const std::string& source_card_id,
                                      const std::wstring& title, const std::wstring& content,
                                      const data::TikoGroupConfig& group, const std::wstring& confirm_text,
                                      const std::wstring& cancel_text) {
  auto box = std::make_unique<TinyMessageBox>(card_id, source_card_id);
  ReportDialogExposure(true, card_id, source_card_id);
  if (box->Create(parent, install_box::BoxTitle().c_str(), install_box::kBoxStyle, install_box::kBoxExStyle) ==
      nullptr) {
    return 0;
  }
  if (box->title_label_ != nullptr) box->title_label_->SetText(title.c_str());
  if (box->content_label_ != nullptr) box->content_label_->SetText(content.c_str());
  if (box->confirm_btn_ != nullptr) {
    if (confirm_text.empty()) {
      box->confirm_btn_->SetVisible(false);
    } else {
      box->confirm_btn_->SetText(confirm_text.c_str());
    }
  }
  if (box->cancel_btn_ != nullptr) {
    if (cancel_text.empty()) {
      box->cancel_btn_->SetVisible(false);
      if (box->confirm_btn_ != nullptr) box->confirm_btn_->SetPadding(RECT{130, 0, 0, 0});
    } else {
      box->cancel_btn_->SetText(cancel_text.c_str());
    }
  }
  box->group_ = group;
  box->CenterOnOwner();
  return static_cast<MessageBoxResult>(box->ShowModal());
}

TinyMessageBox::TinyMessageBox(std::string card_id, std::string source_card_id)
    : card_id_(std::move(card_id)), source_card_id_(std::move(source_card_id)) {}

// The exposure ends with the box, whichever way the show call left.
TinyMessageBox::~TinyMessageBox() {
  if (::IsWindow(GetWindowHandle())) ::DestroyWindow(GetWindowHandle());
  ReportDialogExposure(false, card_id_, source_card_id_);
}

void TinyMessageBox::InitWindow() {
  SetIconFromResource(install_box::kBoxIconResource);
  close_btn_ = FindControl<SkinUI::CButtonUI>(paint_manager_, L"close_btn");
  confirm_btn_ = FindControl<SkinUI::CButtonUI>(paint_manager_, L"confirm_btn");
  cancel_btn_ = FindControl<SkinUI::CButtonUI>(paint_manager_, L"cancel_btn");
  title_label_ = FindControl<SkinUI::CLabelUI>(paint_manager_, L"title_label");
  content_label_ = FindControl<SkinUI::CLabelUI>(paint_manager_, L"content_label");
  feedback_icon_ = FindControl<SkinUI::CButtonUI>(paint_manager_, L"feedback_icon");
  feedback_label_ = FindControl<SkinUI::CButtonUI>(paint_manager_, L"feedback_label");
}

void TinyMessageBox::OnButtonClose(SkinUI::CButtonUI* button, MessageBoxResult result, const char* element_id) {
  Close(static_cast<UINT>(result));
  zephris_report::ReportParams params;
  ReportDialogClick(card_id_, source_card_id_, element_id, params);
  // A second click before the close arrives neither reports nor closes again.
  button->SetEnabled(false);
}

void TinyMessageBox::Notify(SkinUI::NotifyMsgUI& msg) {
  if (msg.sType == L"click" && msg.pSender != nullptr) {
    SkinUI::CControlUI* sender = msg.pSender;
    if (sender == close_btn_) {
      OnButtonClose(close_btn_, kMessageBoxClose, "close_btn");
    } else if (sender == confirm_btn_) {
      OnButtonClose(confirm_btn_, kMessageBoxConfirm, "confirm_btn");
    } else if (sender == cancel_btn_) {
      OnButtonClose(cancel_btn_, kMessageBoxCancel, "cancel_btn");
    } else if (sender == feedback_icon_ || sender == feedback_label_) {
      diagnosis::OpenUrlWithDiagnosis(group_.group_link, true);
      zephris_report::ReportParams params;
      ReportDialogClick(card_id_, source_card_id_, sender == feedback_icon_ ? "feedback_icon" : "feedback_label",
                        params);
    }
  }
  WindowImplBase::Notify(msg);
}
