// The rig's toast classes for one test: the stand-in DLL registered in the
// test prefix as the platform's toast manager and toast notification (Wine
// has neither), with its records reached through the DLL's own exports.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/scoped_handle.h"
#include "testing/process/child_process.h"
#include "testing/toast_runtime/toast_stand_in.h"

namespace toast_testing {

inline constexpr wchar_t kClassKey[] = L"Software\\Microsoft\\WindowsRuntime\\ActivatableClassId\\";
inline constexpr const wchar_t* kClasses[] = {L"Windows.UI.Notifications.ToastNotificationManager",
                                              L"Windows.UI.Notifications.ToastNotification"};

inline std::wstring StandInPath() { return testing_process::DosPath(QL_TOAST_STAND_IN); }

inline void UnregisterToastClasses() {
  for (const wchar_t* name : kClasses) {
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kClassKey) + name).c_str(), KEY_WOW64_64KEY, 0);
  }
}

inline bool RegisterToastClasses() {
  for (const wchar_t* name : kClasses) {
    base::ScopedRegKey key;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kClassKey) + name).c_str(), 0, nullptr, 0,
                          KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, key.Receive(), nullptr) != ERROR_SUCCESS) {
      return false;
    }
    const std::wstring path = StandInPath();
    if (::RegSetValueExW(key.Get(), L"DllPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                         static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS) {
      return false;
    }
  }
  return true;
}

// The stand-in's exports, from the module the runtime loads (the same path
// gives the same module).
class StandIn {
 public:
  StandIn() : module_(::LoadLibraryW(StandInPath().c_str())) {}
  bool loaded() const { return module_.IsValid(); }

  template <typename Fn>
  Fn Get(const char* name) const {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module_.Get(), name)));
  }
  void Reset() const { Get<ToastStandInResetFn>("ToastStandInReset")(); }
  int ShownCount() const { return Get<ToastStandInShownCountFn>("ToastStandInShownCount")(); }
  std::wstring ShownXml(int index) const { return Copy(Get<ToastStandInShownXmlFn>("ToastStandInShownXml"), index); }
  std::wstring ShownAppId(int index) const {
    return Copy(Get<ToastStandInShownAppIdFn>("ToastStandInShownAppId"), index);
  }
  std::wstring DocumentXml(IUnknown* document) const {
    wchar_t buffer[4096];
    const int length = Get<ToastStandInDocumentXmlFn>("ToastStandInDocumentXml")(document, buffer, 4096);
    return length < 0 ? L"" : std::wstring(buffer);
  }
  std::int64_t Expiration(int index) const { return Get<ToastStandInExpirationFn>("ToastStandInExpiration")(index); }
  int HandlerCount(int index) const { return Get<ToastStandInHandlerCountFn>("ToastStandInHandlerCount")(index); }
  int HiddenCount() const { return Get<ToastStandInHiddenCountFn>("ToastStandInHiddenCount")(); }
  void RefuseShow(bool refuse) const { Get<ToastStandInRefuseShowFn>("ToastStandInRefuseShow")(refuse ? 1 : 0); }
  HRESULT Fire(int index, ToastStandInEvent kind, const wchar_t* arguments = nullptr, int reason = 0) const {
    return Get<ToastStandInFireFn>("ToastStandInFire")(index, kind, arguments, reason);
  }

 private:
  template <typename Fn>
  static std::wstring Copy(Fn fn, int index) {
    wchar_t buffer[4096];
    const int length = fn(index, buffer, 4096);
    return length < 0 ? L"<none>" : std::wstring(buffer);
  }
  base::ScopedModule module_;
};

}  // namespace toast_testing
