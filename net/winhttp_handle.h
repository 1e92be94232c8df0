// Ownership of WinHTTP handles and of the strings WinHTTP hands out, in the
// tree's one handle wrapper. Kept out of base/scoped_handle.h on purpose:
// <winhttp.h> clashes with <wininet.h>, and only the WinHTTP client needs it.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include "base/scoped_handle.h"

namespace net {

struct WinHttpHandleTraits {
  using Handle = HINTERNET;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle h) noexcept { return h != nullptr; }
  static void Close(Handle h) noexcept { ::WinHttpCloseHandle(h); }
};

// Proxy settings and proxy lists come back as GlobalAlloc'ed strings.
struct GlobalMemoryTraits {
  using Handle = HGLOBAL;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle h) noexcept { return h != nullptr; }
  static void Close(Handle h) noexcept { ::GlobalFree(h); }
};

using ScopedWinHttpHandle = base::ScopedHandle<WinHttpHandleTraits>;
using ScopedGlobalMemory = base::ScopedHandle<GlobalMemoryTraits>;

}  // namespace net
