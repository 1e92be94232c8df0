#include "base/command_line.h"

#include <fmt/format.h>
#include <fmt/xchar.h>

#include "base/failure_boundary.h"
#include "base/text_conversion.h"

namespace base {

std::wstring QuoteArgumentW(std::wstring_view value) {
  return NoThrowOr(std::wstring(), [&] {
    // Backslashes mean themselves unless a run of them ends at a quotation
    // mark: there the run is doubled (and the mark escaped), and so is a run
    // that ends the value, because our closing mark follows it. Doubling every
    // backslash would hand the program "C:\\dir" for C:\dir and break a UNC
    // path outright.
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : value) {
      if (c == L'\\') {
        ++backslashes;
        continue;
      }
      if (c == L'"') {
        quoted.append(backslashes * 2 + 1, L'\\');
      } else {
        quoted.append(backslashes, L'\\');
      }
      backslashes = 0;
      quoted.push_back(c);
    }
    quoted.append(backslashes * 2, L'\\');
    quoted.append(L"\" ");
    return quoted;
  });
}

std::wstring QuoteArgument(std::string_view value_utf8) {
  return QuoteArgumentW(Utf8ToWide(value_utf8));
}

std::wstring BuildOptionsCommandLine(const std::map<std::string, std::string>& options) {
  return NoThrowOr(std::wstring(), [&] {
    std::wstring line;
    for (const auto& [name, value] : options) {
      line += fmt::format(L"--{} ", Utf8ToWide(name));
      line += QuoteArgument(value);
    }
    return line;
  });
}

std::wstring BuildOptionsCommandLineW(const std::map<std::wstring, std::wstring>& options) {
  return NoThrowOr(std::wstring(), [&] {
    std::wstring line;
    for (const auto& [name, value] : options) {
      line += fmt::format(L"--{} ", name);
      line += QuoteArgumentW(value);
    }
    return line;
  });
}

}  // namespace base
