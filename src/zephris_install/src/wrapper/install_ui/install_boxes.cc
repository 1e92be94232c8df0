#include "src/zephris_install/src/wrapper/install_ui/install_boxes.h"

#include "src/zephris_install/src/wrapper/message_box/feedback_tip_box.h"
#include "src/zephris_install/src/wrapper/message_box/tiny_message_box.h"

namespace {

class SkinnedBoxes : public InstallBoxes {
 public:
  MessageBoxResult ShowMessageBox(HWND parent, const std::string& card_id, const std::string& source_card_id,
                                  const std::wstring& title, const std::wstring& content,
                                  const data::TikoGroupConfig& group, const std::wstring& confirm_text,
                                  const std::wstring& cancel_text) override {
    return TinyMessageBox::Show(parent, card_id, source_card_id, title, content, group, confirm_text, cancel_text);
  }
  MessageBoxResult ShowFeedbackBox(HWND parent, const std::string& source_card_id,
                                   const data::TikoGroupConfig& group) override {
    return FeedbackTipBox::Show(parent, source_card_id, group);
  }
};

}  // namespace

std::shared_ptr<InstallBoxes> MakeInstallBoxes() { return std::make_shared<SkinnedBoxes>(); }
