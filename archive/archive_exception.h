// The archive layer's one failure type: a UTF-8 message and a numeric code
// (an engine HRESULT, a Win32 error made an HRESULT, or a plain Win32 error).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace arc {

// The Win32 error becomes an HRESULT; 0 and negative values stay as they are.
constexpr int32_t HResultFromWin32(uint32_t error) {
  const auto value = static_cast<int32_t>(error);
  return value <= 0 ? value : static_cast<int32_t>(0x80070000u | (error & 0xFFFFu));
}

// Whether the code given to a wide-message constructor is a Win32 error that
// must become an HRESULT.
enum class Win32Error { kConvert };

class ArchiveException : public std::runtime_error {
 public:
  ArchiveException(const std::string& message, int32_t code);
  ArchiveException(const std::wstring& message, int32_t code);
  ArchiveException(const std::wstring& message, uint32_t win32_error, Win32Error);

  int32_t ErrorCode() const noexcept { return code_; }

 private:
  int32_t code_;
};

std::string WideToUtf8(const std::wstring& text);

}  // namespace arc
