#include "src/zephris_install/src/toast/system_toast/show_toast.h"

#include <mutex>

#include "base/product_log.h"
#include "src/zephris_install/src/toast/system_toast/toast_handler.h"
#include "src/zephris_install/src/toast/toast_lib/toast_manager.h"
#include "src/zephris_install/src/toast/toast_lib/toast_template.h"

namespace {

constexpr wchar_t kProductTitle[] = L"OrvalisQuillorane";

}  // namespace

void ShowToast(const std::wstring& first_line, const std::wstring& second_line) {
  static std::once_flag once;
  static bool initialized = false;
  std::call_once(once, [] {
    ToastLib::ToastManager& manager = ToastLib::ToastManager::getInstance();
    const std::wstring name = std::wstring(kProductTitle) + L"安装器";
    manager.setAppName(name);
    manager.setAppUserModelId(name);
    initialized = manager.initialize();
  });
  if (!initialized) {
    PRODUCT_LOG("ToastManager::initialize fail");
    return;
  }
  ToastLib::ToastTemplate toast;
  toast.setTextField(first_line, 0);
  toast.setTextField(second_line, 1);
  toast.audio_option = ToastLib::ToastTemplate::kAudioDefault;
  toast.duration = ToastLib::ToastTemplate::kDurationLong;
  toast.useDefaultAudio();
  // The manager owns the handler from here on, whatever the outcome.
  if (ToastLib::ToastManager::getInstance().showToast(toast, new system_toast::ToastHandler) == -1) {
    PRODUCT_LOG("showToast fail");
  }
}
