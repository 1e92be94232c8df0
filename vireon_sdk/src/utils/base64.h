// RFC 4648 Base64 with the standard alphabet and "=" padding.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vireon::utils {

std::string Base64Encode(const void* bytes, size_t length);

// Strict: only the standard alphabet, a length that is a multiple of 4 and
// at most two "=" at the end. Anything else gives none.
std::optional<std::string> Base64Decode(std::string_view text);

}  // namespace vireon::utils
