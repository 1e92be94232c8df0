// The small modal boxes the installer windows open: the message box (quit
// confirmation, folder advice) and the feedback box. The windows reach them
// through this face so that the boxes' own windows stay theirs.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "src/common/data/tiko_group_config.h"
#include "src/zephris_install/src/wrapper/message_box/message_box_result.h"

class InstallBoxes {
 public:
  virtual ~InstallBoxes() = default;
  // An empty confirm or cancel text hides that button.
  virtual MessageBoxResult ShowMessageBox(HWND parent, const std::string& card_id, const std::string& source_card_id,
                             const std::wstring& title, const std::wstring& content,
                             const data::TikoGroupConfig& group, const std::wstring& confirm_text,
                             const std::wstring& cancel_text) = 0;
  virtual MessageBoxResult ShowFeedbackBox(HWND parent, const std::string& source_card_id,
                                   const data::TikoGroupConfig& group) = 0;
};

// The installer's skinned boxes.
std::shared_ptr<InstallBoxes> MakeInstallBoxes();
