#include "src/common/diagnosis/crash_handler.h"

#include <cstdint>

#include "base/product_log.h"

namespace diagnosis {
namespace {

constexpr DWORD kGccThrow = 0x20474343;   // "CCG " raised by the C++ runtime's throw
constexpr DWORD kGccUnwind = 0x21474343;  // "CCG!" raised while unwinding to a catch
constexpr DWORD kWideDebugOutput = 0x4001000A;

// The threads now inside the handler. A Win32 slot rather than thread_local:
// asking it allocates nothing, and the faulting code may have been the heap.
DWORD HandlerSlot() {
  static const DWORD slot = ::TlsAlloc();
  return slot;
}

// An exception raised while this thread logs (by the logging itself, or
// while it holds the log's lock) must not reach the log again: it would
// recurse, or wait for a lock its own thread holds.
class ReentryGuard {
 public:
  ReentryGuard() noexcept : slot_(HandlerSlot()) {
    if (slot_ == TLS_OUT_OF_INDEXES || ::TlsGetValue(slot_) != nullptr) return;
    entered_ = ::TlsSetValue(slot_, this) != FALSE;
  }
  ~ReentryGuard() {
    if (entered_) ::TlsSetValue(slot_, nullptr);
  }
  ReentryGuard(const ReentryGuard&) = delete;
  ReentryGuard& operator=(const ReentryGuard&) = delete;
  bool entered() const { return entered_; }

 private:
  DWORD slot_;
  bool entered_ = false;
};

// Ask for the slot at start-up, not first inside a fault.
[[maybe_unused]] const DWORD kHandlerSlotAtStart = HandlerSlot();

}  // namespace

bool IsRuntimeNotice(DWORD code) {
  return code == kGccThrow || code == kGccUnwind || code == DBG_PRINTEXCEPTION_C || code == kWideDebugOutput;
}

LONG CALLBACK ExceptionHandler(EXCEPTION_POINTERS* info) {
  if (info == nullptr || info->ExceptionRecord == nullptr) return EXCEPTION_CONTINUE_SEARCH;
  const DWORD last_error = ::GetLastError();
  const DWORD code = info->ExceptionRecord->ExceptionCode;
  if (!IsRuntimeNotice(code) && !base::ProductLogger::InsideOnThisThread()) {
    const ReentryGuard guard;
    if (guard.entered()) {
      PRODUCT_LOG("Crash!!!, exception code: {}, exception address: {}", static_cast<uint32_t>(code),
                  static_cast<const void*>(info->ExceptionRecord->ExceptionAddress));
    }
  }
  // The faulting code may go on after a handler further down fixes things up.
  ::SetLastError(last_error);
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace diagnosis
