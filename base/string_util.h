// Text helpers shared by command-line quoting, the probes and the product's
// pseudo-protocol URLs. Platform-free.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

namespace base {

// Replaces every occurrence of |pattern| in one pass: text that a replacement
// inserted is never searched again. An empty pattern changes nothing.
std::string ReplaceAll(std::string text, std::string_view pattern, std::string_view replacement);
std::wstring ReplaceAll(std::wstring text, std::wstring_view pattern,
                        std::wstring_view replacement);

std::string RemoveAll(std::string text, std::string_view pattern);
std::wstring RemoveAll(std::wstring text, std::wstring_view pattern);

// Percent-encodes every byte but ASCII letters, digits and "-._~", with
// upper-case hex digits ("a b/é" -> "a%20b%2F%C3%A9").
std::string UrlEncode(std::string_view text);

struct UrlQuery {
  std::string path;                                     // text before the last "?"
  std::unordered_map<std::string, std::string> params;  // key=value pairs, last one wins
};

// Splits "scheme://host/path?a=1&b=2" into its path and its parameters.
// The path is what precedes the last "?" of the first line that has one
// after at least one character; without one it is empty. Parameters are the
// "key=value" pieces between "?" and "&" anywhere in the text (also before
// the "?"); a key runs to the last "=" of its piece, a piece without a key or
// a value is skipped. Nothing is percent-decoded.
UrlQuery ParseUrlQuery(std::string_view url);

}  // namespace base
