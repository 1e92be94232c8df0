#include "src/zephris_install/src/toast/toast_lib/toast_apis.h"

#include <atomic>
#include <mutex>

namespace ToastLib {

namespace {

ToastApis g_apis;
std::mutex g_load_lock;

// A slot once bound is never written again: other threads read the
// pointers without the lock.
template <typename Fn>
bool Bind(HMODULE module, const char* name, Fn& slot) {
  if (slot != nullptr) return true;
  if (module == nullptr) return false;
  FARPROC proc = ::GetProcAddress(module, name);
  if (proc == nullptr) return false;
  slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
  return true;
}

}  // namespace

const ToastApis& Apis() { return g_apis; }

bool LoadToastApis() {
  std::lock_guard lock(g_load_lock);
  // The libraries stay loaded for the life of the process: the pointers
  // outlive every caller.
  HMODULE shell = ::LoadLibraryW(L"SHELL32.DLL");
  if (!Bind(shell, "SetCurrentProcessExplicitAppUserModelID", g_apis.SetCurrentProcessExplicitAppUserModelID)) {
    return false;
  }
  HMODULE propsys = ::LoadLibraryW(L"PROPSYS.DLL");
  if (!Bind(propsys, "PropVariantToString", g_apis.PropVariantToString)) return false;
  HMODULE combase = ::LoadLibraryW(L"COMBASE.DLL");
  return Bind(combase, "RoGetActivationFactory", g_apis.RoGetActivationFactory) &&
         Bind(combase, "WindowsCreateStringReference", g_apis.WindowsCreateStringReference) &&
         Bind(combase, "WindowsGetStringRawBuffer", g_apis.WindowsGetStringRawBuffer) &&
         Bind(combase, "WindowsDeleteString", g_apis.WindowsDeleteString);
}

HStringRef::HStringRef(std::wstring_view text) : text_(text) {
  if (g_apis.WindowsCreateStringReference == nullptr) return;
  status_ = g_apis.WindowsCreateStringReference(text_.c_str(), static_cast<UINT32>(text_.size()), &header_,
                                                &string_);
}

HStringRef::~HStringRef() {
  if (string_ != nullptr && g_apis.WindowsDeleteString != nullptr) g_apis.WindowsDeleteString(string_);
}

std::wstring_view RawText(HSTRING string) {
  if (string == nullptr || g_apis.WindowsGetStringRawBuffer == nullptr) return {};
  UINT32 length = 0;
  PCWSTR text = g_apis.WindowsGetStringRawBuffer(string, &length);
  return text == nullptr ? std::wstring_view{} : std::wstring_view(text, length);
}

}  // namespace ToastLib
