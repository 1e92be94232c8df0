#include "base/text_conversion.h"

#include <windows.h>

#include <climits>

namespace base {
namespace {

std::wstring MultiByteToWide(UINT code_page, const char* text, int length) {
  if (text == nullptr || length <= 0) return {};
  const int needed = ::MultiByteToWideChar(code_page, 0, text, length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring result(static_cast<std::size_t>(needed), L'\0');
  const int written = ::MultiByteToWideChar(code_page, 0, text, length, result.data(), needed);
  result.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return result;
}

std::string WideToMultiByte(UINT code_page, const wchar_t* text, int length) {
  if (text == nullptr || length <= 0) return {};
  const int needed =
      ::WideCharToMultiByte(code_page, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string result(static_cast<std::size_t>(needed), '\0');
  const int written = ::WideCharToMultiByte(code_page, 0, text, length, result.data(), needed,
                                            nullptr, nullptr);
  result.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return result;
}

bool FitsInt(std::size_t size) { return size <= static_cast<std::size_t>(INT_MAX); }

}  // namespace

std::wstring Utf8ToWide(const char* text, int length) {
  return MultiByteToWide(CP_UTF8, text, length);
}

std::wstring Utf8ToWide(std::string_view text) {
  if (!FitsInt(text.size())) return {};
  return MultiByteToWide(CP_UTF8, text.data(), static_cast<int>(text.size()));
}

std::string WideToUtf8(const wchar_t* text, int length) {
  return WideToMultiByte(CP_UTF8, text, length);
}

std::string WideToUtf8(std::wstring_view text) {
  if (!FitsInt(text.size())) return {};
  return WideToMultiByte(CP_UTF8, text.data(), static_cast<int>(text.size()));
}

std::string WideToAnsi(std::wstring_view text) {
  if (!FitsInt(text.size())) return {};
  return WideToMultiByte(CP_ACP, text.data(), static_cast<int>(text.size()));
}

}  // namespace base
