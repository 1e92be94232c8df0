// The small modal boxes the installer windows open: the message box (quit
// confirmation, folder advice) and the feedback box. The windows reach them
// through this face so that the boxes' own windows stay theirs.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "src/common/data/tiko_group_config.h"

// The close codes of the boxes.
enum MessageBoxResult : int {
  kBoxConfirm = 1,
  kBoxCancel = 2,
  kBoxCloseButton = 8,
};

class InstallBoxes {
 public:
  virtual ~InstallBoxes() = default;
  // An empty confirm or cancel text hides that button.
  virtual int ShowMessageBox(HWND parent, const std::string& card_id, const std::string& source_card_id,
                             const std::wstring& title, const std::wstring& content,
                             const data::TikoGroupConfig& group, const std::wstring& confirm_text,
                             const std::wstring& cancel_text) = 0;
  virtual int ShowFeedbackBox(HWND parent, const std::string& source_card_id, const data::TikoGroupConfig& group) = 0;
};

// The boxes the product shows.
std::shared_ptr<InstallBoxes> MakeInstallBoxes();
