#include "base/clipboard_guard.h"

namespace base::clipboard {

ClipboardGuard::~ClipboardGuard() {
  if (opened) ::CloseClipboard();
  if (memory != nullptr) ::GlobalFree(memory);
}

}  // namespace base::clipboard
