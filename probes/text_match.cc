#include "probes/text_match.h"

#include <algorithm>

namespace probes {
namespace {

template <typename Char>
Char LowerAscii(Char c) {
  return (c >= Char('A') && c <= Char('Z')) ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

template <typename Char>
bool ContainsNoCase(std::basic_string_view<Char> text, std::basic_string_view<Char> word) {
  if (word.empty()) return true;
  if (word.size() > text.size()) return false;
  const auto it = std::search(text.begin(), text.end(), word.begin(), word.end(),
                              [](Char a, Char b) { return LowerAscii(a) == LowerAscii(b); });
  return it != text.end();
}

}  // namespace

bool StringContainsNoCase(std::string_view text, std::string_view word) { return ContainsNoCase(text, word); }

bool WStringContainsNoCase(std::wstring_view text, std::wstring_view fragment) {
  return ContainsNoCase(text, fragment);
}

}  // namespace probes
