#include <windows.h>
#include <bcrypt.h>

#include <climits>

#include "vireon_sdk/src/utils/secure_random.h"

namespace vireon::utils {

bool SecureRandomBytes(void* out, size_t length) {
  // The system-preferred RNG needs no provider handle and no key container,
  // so it works for every account, including ones without a user profile.
  auto* p = static_cast<unsigned char*>(out);
  while (length != 0) {
    const ULONG chunk = length > ULONG_MAX ? ULONG_MAX : static_cast<ULONG>(length);
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, p, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) return false;
    p += chunk;
    length -= chunk;
  }
  return true;
}

}  // namespace vireon::utils
