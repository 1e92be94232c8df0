// The telemetry client's own text conversions between UTF-8 and UTF-16.
#pragma once

#include <string>

namespace vireon::utils {

// The platform's UTF-8 code page, no flags: what it cannot convert becomes
// what the platform substitutes. A length of -1 means up to the terminating
// zero (which is not part of the result).
std::wstring Utf8ToWide(const char* text, int length);
std::string WideToUtf8(const wchar_t* text, int length);

inline std::wstring Utf8ToWide(const std::string& text) {
  return Utf8ToWide(text.data(), static_cast<int>(text.size()));
}
inline std::string WideToUtf8(const std::wstring& text) {
  return WideToUtf8(text.data(), static_cast<int>(text.size()));
}

}  // namespace vireon::utils
