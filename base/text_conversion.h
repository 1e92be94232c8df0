// Conversions between the UTF-16 text of Windows and the UTF-8 text of JSON,
// HTTP, SQLite and telemetry, and to the system's ANSI code page.
// Invalid input is converted the way the platform substitutes it; nothing
// fails. Texts longer than INT_MAX units are not taken and give empty text.
#pragma once

#include <string>
#include <string_view>

namespace base {

std::wstring Utf8ToWide(const char* text, int length);
std::wstring Utf8ToWide(std::string_view text);

std::string WideToUtf8(const wchar_t* text, int length);
std::string WideToUtf8(std::wstring_view text);

// Characters without a mapping become the code page's default character.
std::string WideToAnsi(std::wstring_view text);

}  // namespace base
