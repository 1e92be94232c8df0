#include "src/zephris_install/src/toast/system_toast/show_toast.h"

#include <windows.h>
#include <roapi.h>
#include <winstring.h>

#include <mutex>

#include "base/product_log.h"

namespace {

// The toast manager of the Windows Runtime is reached through its activation
// factory; where the runtime has no toast manager (older systems, Wine) the
// initialisation fails and every toast is only logged.
bool InitializeToastManager() {
  if (FAILED(RoInitialize(RO_INIT_MULTITHREADED))) return false;
  static constexpr wchar_t kClass[] = L"Windows.UI.Notifications.ToastNotificationManager";
  HSTRING_HEADER header;
  HSTRING name = nullptr;
  if (FAILED(WindowsCreateStringReference(kClass, ARRAYSIZE(kClass) - 1, &header, &name))) return false;
  IInspectable* factory = nullptr;
  if (FAILED(RoGetActivationFactory(name, __uuidof(IInspectable), reinterpret_cast<void**>(&factory)))) return false;
  factory->Release();
  return true;
}

}  // namespace

void ShowToast(const std::wstring& first_line, const std::wstring& second_line) {
  static std::once_flag once;
  static bool initialized = false;
  std::call_once(once, [] { initialized = InitializeToastManager(); });
  if (!initialized) {
    PRODUCT_LOG("ToastManager::initialize fail");
    return;
  }
  // The notification templates of the runtime are not available to this
  // build: the toast cannot be shown.
  (void)first_line;
  (void)second_line;
  PRODUCT_LOG("showToast fail");
}
