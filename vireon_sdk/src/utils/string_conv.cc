#include "vireon_sdk/src/utils/string_conv.h"

#include <windows.h>

namespace vireon::utils {
namespace {

// A conversion with -1 counts the terminating zero too; it is not text.
template <typename Text>
void DropTerminator(Text& text, int length) {
  if (length < 0 && !text.empty() && text.back() == 0) text.pop_back();
}

}  // namespace

std::wstring Utf8ToWide(const char* text, int length) {
  if (text == nullptr || length == 0) return {};
  const int needed = ::MultiByteToWideChar(CP_UTF8, 0, text, length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring out(static_cast<size_t>(needed), L'\0');
  const int written = ::MultiByteToWideChar(CP_UTF8, 0, text, length, out.data(), needed);
  out.resize(written > 0 ? static_cast<size_t>(written) : 0);
  DropTerminator(out, length);
  return out;
}

std::string WideToUtf8(const wchar_t* text, int length) {
  if (text == nullptr || length == 0) return {};
  const int needed = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string out(static_cast<size_t>(needed), '\0');
  const int written = ::WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), needed, nullptr, nullptr);
  out.resize(written > 0 ? static_cast<size_t>(written) : 0);
  DropTerminator(out, length);
  return out;
}

}  // namespace vireon::utils
