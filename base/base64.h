// Base64 with the standard alphabet of RFC 4648, "=" padding, no line breaks.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace base {

std::string Base64Encode(std::string_view bytes);

// Empty when the text is not well-formed Base64: a length that is not a
// multiple of 4, a character outside the alphabet, or "=" anywhere but as the
// last one or two characters. The text ends at its first zero byte.
std::optional<std::string> Base64Decode(std::string_view text);

}  // namespace base
