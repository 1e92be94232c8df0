// A WinSock socket owned like every other handle in the tree.
#pragma once

#include <winsock2.h>

#include "base/scoped_handle.h"

namespace vireon::utils {

struct SocketTraits {
  using Handle = SOCKET;
  static Handle Null() noexcept { return INVALID_SOCKET; }
  static bool IsValid(Handle h) noexcept { return h != INVALID_SOCKET; }
  static void Close(Handle h) noexcept { ::closesocket(h); }
};

using ScopedSocket = base::ScopedHandle<SocketTraits>;

}  // namespace vireon::utils
