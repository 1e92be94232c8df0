// Well-formed UTF-8: the test every telemetry parameter value passes, and a
// holder that only ever contains such text. Platform-free.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vireon::utils {

// Each lead byte decides how many continuation bytes follow; surrogates
// (ED A0..BF), overlong three- and four-byte forms and code points above
// U+10FFFF are refused, while the two-byte leads C0 and C1 are accepted.
// A sequence cut short by the end of the text is not well-formed.
bool IsWellFormedUtf8(std::string_view text) noexcept;

class Utf8String {
 public:
  Utf8String() = default;
  // Throws std::invalid_argument ("Invalid UTF-8 string\n") for text that is
  // not well-formed, leaving the holder unchanged.
  explicit Utf8String(std::string_view text) { Assign(text); }
  void Assign(std::string_view text);

  const std::string& text() const noexcept { return text_; }
  // Code points, counted by lead byte alone.
  uint64_t length() const noexcept { return length_; }

 private:
  std::string text_;
  uint64_t length_ = 0;
};

}  // namespace vireon::utils
