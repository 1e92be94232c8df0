// Command lines that carry the installer's options to the programs it starts:
// each option reads --name "value" followed by one blank.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace base {

// One argument between quotation marks, followed by a blank. The receiving
// program's argument splitter (CommandLineToArgvW, the C runtime) gives back
// exactly `value`: quotation marks are escaped, and so are the backslashes
// that precede a quotation mark or the closing one; other backslashes stay
// as they are.
std::wstring QuoteArgument(std::string_view value_utf8);
std::wstring QuoteArgumentW(std::wstring_view value);

// "--name \"value\" " for each entry, in key order; empty for an empty map.
std::wstring BuildOptionsCommandLine(const std::map<std::string, std::string>& options);
std::wstring BuildOptionsCommandLineW(const std::map<std::wstring, std::wstring>& options);

}  // namespace base
