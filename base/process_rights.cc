#include "base/process_rights.h"

#include <windows.h>

#include <string>

#include "base/scoped_handle.h"

namespace base {

void SetProcessPrivilege(bool enable, std::wstring_view privilege_name) {
  ScopedKernelHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token.Receive())) return;
  std::wstring name;
  try {
    name.assign(privilege_name);
  } catch (...) {
    return;
  }
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  if (!::LookupPrivilegeValueW(nullptr, name.c_str(), &privileges.Privileges[0].Luid)) return;
  privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  ::AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
}

void DisablePrivilege(std::wstring_view privilege_name) { SetProcessPrivilege(false, privilege_name); }

bool RemoveGetVtService() {
  ScopedServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return false;
  ScopedServiceHandle service(::OpenServiceW(manager.Get(), L"GET_VT", SERVICE_ALL_ACCESS));
  if (!service) return false;
  SERVICE_STATUS status{};
  ::ControlService(service.Get(), SERVICE_CONTROL_STOP, &status);
  ::DeleteService(service.Get());
  return true;
}

}  // namespace base
