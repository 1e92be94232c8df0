#include "base/function_name.h"

namespace base {
namespace {

bool IsIdentifierChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$';
}

std::string_view TrimRight(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// Position of the bracket that opens the one closing at |close|, or npos.
std::size_t MatchBackwards(std::string_view text, std::size_t close, char open_char,
                           char close_char) {
  int depth = 0;
  for (std::size_t i = close + 1; i-- > 0;) {
    if (text[i] == close_char) {
      ++depth;
    } else if (text[i] == open_char && --depth == 0) {
      return i;
    }
  }
  return std::string_view::npos;
}

// "operator==", "operator()", "operator bool" when |prefix| names an operator.
std::string_view OperatorName(std::string_view prefix) {
  constexpr std::string_view kOperator = "operator";
  for (std::size_t pos = prefix.rfind(kOperator); pos != std::string_view::npos;
       pos = pos == 0 ? std::string_view::npos : prefix.rfind(kOperator, pos - 1)) {
    const std::size_t after = pos + kOperator.size();
    const bool starts_word = pos == 0 || prefix[pos - 1] == ':' || prefix[pos - 1] == ' ';
    const bool ends_word = after == prefix.size() || !IsIdentifierChar(prefix[after]);
    if (starts_word && ends_word) return prefix.substr(pos);
  }
  return {};
}

}  // namespace

std::string_view BareFunctionName(std::string_view function_name) {
  std::string_view text = function_name;
  // Template functions carry their arguments at the end: "... [with T = int]".
  if (const std::size_t with = text.find(" [with "); with != std::string_view::npos) {
    text = text.substr(0, with);
  }
  text = TrimRight(text);
  // Only a lambda's body ends in its closure name, "...::<lambda(int)>".
  if (!text.empty() && text.back() == '>') return "operator ()";

  // The parameter list is the last parenthesis; qualifiers may follow it.
  const std::size_t close = text.rfind(')');
  if (close == std::string_view::npos) return function_name;
  const std::size_t open = MatchBackwards(text, close, '(', ')');
  if (open == std::string_view::npos) return function_name;
  std::string_view prefix = TrimRight(text.substr(0, open));

  if (const std::string_view op = OperatorName(prefix); !op.empty()) return op;

  // Explicit template arguments, "f<int>", are not part of the name.
  if (!prefix.empty() && prefix.back() == '>') {
    const std::size_t angle = MatchBackwards(prefix, prefix.size() - 1, '<', '>');
    if (angle == std::string_view::npos) return function_name;
    prefix = prefix.substr(0, angle);
  }
  std::size_t begin = prefix.size();
  while (begin > 0 && IsIdentifierChar(prefix[begin - 1])) --begin;
  if (begin > 0 && prefix[begin - 1] == '~') --begin;
  if (begin == prefix.size()) return function_name;
  return prefix.substr(begin);
}

}  // namespace base
