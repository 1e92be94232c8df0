#include "report/install_report.h"

#include "base/product_log.h"

LONG CALLBACK ExceptionHandler(EXCEPTION_POINTERS* info) {
  // The runtime raises some codes on its own as part of normal work: every C++
  // throw of this compiler's runtime, the unwind that goes on after each
  // cleanup on the way to its catch, and debug output. They are not crashes.
  constexpr DWORD kGccThrow = 0x20474343;
  constexpr DWORD kGccUnwind = 0x21474343;
  const DWORD code = info->ExceptionRecord->ExceptionCode;
  if (code == kGccThrow || code == kGccUnwind || code == DBG_PRINTEXCEPTION_C ||
      code == 0x4001000A /* wide debug output */) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  // Logging may itself fault; a fault inside the handler must not recurse.
  thread_local bool inside = false;
  if (inside) return EXCEPTION_CONTINUE_SEARCH;
  inside = true;
  PRODUCT_LOG("exception code: {:#x}, address: {}", static_cast<uint32_t>(code),
              info->ExceptionRecord->ExceptionAddress);
  inside = false;
  return EXCEPTION_CONTINUE_SEARCH;
}
