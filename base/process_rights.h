// Privileges of the process token, and the removal of the virtualisation
// probe's kernel-driver service.
#pragma once

#include <string_view>

namespace base {

// Switches a privilege (for example L"SeDebugPrivilege") of the process token
// on or off. A failure changes nothing and is not reported.
void SetProcessPrivilege(bool enable, std::wstring_view privilege_name);
void DisablePrivilege(std::wstring_view privilege_name);

// Stops and deletes the service "GET_VT"; true when the service existed.
bool RemoveGetVtService();

}  // namespace base
