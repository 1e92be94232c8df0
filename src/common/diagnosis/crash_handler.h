// The vectored exception handler that writes one product-log line for every
// exception the process raises, the runtime's own non-fatal ones aside.
#pragma once

#include <windows.h>

namespace diagnosis {

// Always EXCEPTION_CONTINUE_SEARCH: the exception goes on to the ordinary
// handlers. Registered once at start-up, appended to the handler list.
LONG CALLBACK ExceptionHandler(EXCEPTION_POINTERS* info);

// Codes the runtime raises as part of normal work, not crashes: every C++
// throw of this compiler's runtime and the unwind after each cleanup on the
// way to its catch, and debug output (narrow and wide).
bool IsRuntimeNotice(DWORD code);

}  // namespace diagnosis
