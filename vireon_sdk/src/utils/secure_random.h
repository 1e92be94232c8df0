// Cryptographically secure random bytes from the platform: the system RNG of
// CNG on Windows, getrandom(2) on Linux.
#pragma once

#include <cstddef>

namespace vireon::utils {

// Fills `out` with `length` random bytes; false when the platform refused.
bool SecureRandomBytes(void* out, size_t length);

}  // namespace vireon::utils
