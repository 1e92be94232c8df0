#include "archive/archive_exception.h"

#include <windows.h>

namespace arc {

std::string WideToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
  if (size <= 0) return {};
  std::string out(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr,
                        nullptr);
  return out;
}

ArchiveException::ArchiveException(const std::string& message, int32_t code)
    : std::runtime_error(message), code_(code) {}

ArchiveException::ArchiveException(const std::wstring& message, int32_t code)
    : std::runtime_error(WideToUtf8(message)), code_(code) {}

ArchiveException::ArchiveException(const std::wstring& message, uint32_t win32_error, Win32Error)
    : std::runtime_error(WideToUtf8(message)), code_(HResultFromWin32(win32_error)) {}

}  // namespace arc
