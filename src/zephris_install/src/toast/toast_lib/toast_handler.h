// The receiver of one toast's events. The events come on threads of the
// platform, never on the thread that showed the toast.
#pragma once

namespace ToastLib {

class IToastHandler {
 public:
  enum DismissalReason { kUserCanceled = 0, kApplicationHidden = 1, kTimedOut = 2 };

  virtual ~IToastHandler() = default;
  virtual void onActionActivated(int action_index) const = 0;
  virtual void onActivated() const = 0;
  virtual void onDismissed(int reason) const = 0;
  virtual void onFailed() const = 0;
};

}  // namespace ToastLib
