#include <sys/random.h>

#include <cerrno>

#include "vireon_sdk/src/utils/secure_random.h"

namespace vireon::utils {

bool SecureRandomBytes(void* out, size_t length) {
  auto* p = static_cast<unsigned char*>(out);
  while (length != 0) {
    const ssize_t got = getrandom(p, length, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += got;
    length -= static_cast<size_t>(got);
  }
  return true;
}

}  // namespace vireon::utils
