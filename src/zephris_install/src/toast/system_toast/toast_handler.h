// The installer's toasts only inform: their events need no answer.
#pragma once

#include "src/zephris_install/src/toast/toast_lib/toast_handler.h"

namespace system_toast {

class ToastHandler final : public ToastLib::IToastHandler {
 public:
  void onActionActivated(int) const override {}
  void onActivated() const override {}
  void onDismissed(int) const override {}
  void onFailed() const override {}
};

}  // namespace system_toast
