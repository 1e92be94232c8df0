// The system functions toasts need, bound at run time so that a system
// without them (no Windows Runtime, no AppUserModel ids) still runs the
// program: toasts are then only unavailable.
#pragma once

#include <windows.h>
#include <hstring.h>
#include <propidl.h>

#include <string>
#include <string_view>

namespace ToastLib {

struct ToastApis {
  HRESULT(WINAPI* SetCurrentProcessExplicitAppUserModelID)(PCWSTR) = nullptr;
  HRESULT(WINAPI* PropVariantToString)(const PROPVARIANT&, PWSTR, UINT) = nullptr;
  HRESULT(WINAPI* RoGetActivationFactory)(HSTRING, REFIID, void**) = nullptr;
  HRESULT(WINAPI* WindowsCreateStringReference)(PCWSTR, UINT32, HSTRING_HEADER*, HSTRING*) = nullptr;
  PCWSTR(WINAPI* WindowsGetStringRawBuffer)(HSTRING, UINT32*) = nullptr;
  HRESULT(WINAPI* WindowsDeleteString)(HSTRING) = nullptr;
};

// The process-wide pointers; filled by LoadToastApis.
const ToastApis& Apis();

// Binds all six functions; true only when every one was found. Safe to run
// again from any thread.
bool LoadToastApis();

// A string reference over text the caller keeps alive for the call that
// takes it; released right after.
class HStringRef {
 public:
  explicit HStringRef(std::wstring_view text);
  ~HStringRef();
  HStringRef(const HStringRef&) = delete;
  HStringRef& operator=(const HStringRef&) = delete;

  HRESULT status() const { return status_; }
  HSTRING get() const { return string_; }

 private:
  std::wstring text_;  // terminated copy: the platform refuses unterminated references
  HSTRING_HEADER header_{};
  HSTRING string_ = nullptr;
  HRESULT status_ = E_FAIL;
};

// Runs `call` with a reference to `text`; a reference that cannot be made
// fails the call with the platform's reason instead of passing a null string.
template <typename Call>
HRESULT WithString(std::wstring_view text, Call&& call) {
  HStringRef ref(text);
  if (FAILED(ref.status())) return ref.status();
  return call(ref.get());
}

// The text of a platform string (empty for a null one).
std::wstring_view RawText(HSTRING string);

}  // namespace ToastLib
