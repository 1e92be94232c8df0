// A COM server stand-in for regsvr32: registering writes the value named
// after this DLL's file under HKCU\Software\QlTest\ComStub, unregistering
// removes it. Registration fails (E_FAIL) when the DLL's file name contains
// "fail".
#include <windows.h>

#include <cwchar>

#include "base/scoped_handle.h"

namespace {

constexpr wchar_t kKey[] = L"Software\\QlTest\\ComStub";

const wchar_t* ThisDllName() {
  static wchar_t path[MAX_PATH];
  HMODULE self = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisDllName), &self);
  ::GetModuleFileNameW(self, path, MAX_PATH);
  const wchar_t* slash = std::wcsrchr(path, L'\\');
  return slash != nullptr ? slash + 1 : path;
}

}  // namespace

extern "C" HRESULT __stdcall DllRegisterServer() {
  const wchar_t* name = ThisDllName();
  if (std::wcsstr(name, L"fail") != nullptr) return E_FAIL;
  base::ScopedRegKey key;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, key.Receive(), nullptr) !=
      ERROR_SUCCESS) {
    return E_FAIL;
  }
  const DWORD one = 1;
  ::RegSetValueExW(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one));
  return S_OK;
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
  base::ScopedRegKey key;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_WRITE, key.Receive()) != ERROR_SUCCESS) return S_OK;
  ::RegDeleteValueW(key.Get(), ThisDllName());
  return S_OK;
}
