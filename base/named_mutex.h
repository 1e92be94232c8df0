// Named mutexes by which this process tells others that it runs, and the
// NULL-DACL security attributes that make such named objects openable from
// every account.
#pragma once

#include <windows.h>

#include <string_view>

namespace base {

// One process-wide record (not inheritable) whose descriptor has a NULL DACL;
// nullptr when building it failed.
SECURITY_ATTRIBUTES* GetNullDaclSecurityAttributes();

// True when another holder of the mutex `name` (under "Global\" when
// `global`) exists, or when it cannot be told (the mutex exists but cannot be
// opened). Otherwise the mutex is created, owned by the calling thread, and
// kept open until the process ends; the answer is then false.
bool AcquireNamedMutex(std::string_view name, bool global);

}  // namespace base
