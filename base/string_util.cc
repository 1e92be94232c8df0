#include "base/string_util.h"

namespace base {
namespace {

template <typename String, typename View>
String ReplaceAllImpl(String text, View pattern, View replacement) {
  if (pattern.empty()) return text;
  for (std::size_t pos = text.find(pattern); pos != String::npos;
       pos = text.find(pattern, pos + replacement.size())) {
    text.replace(pos, pattern.size(), replacement);
  }
  return text;
}

bool IsUnreserved(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

bool IsLineBreak(char c) { return c == '\n' || c == '\r'; }

// These scanners give exactly what the ECMAScript patterns "(.+)\?" (first
// match, group 1) and "([^?&]+)=([^?&]+)" (every match) give. They are written
// out because std::regex recurses once per character and overflows the stack
// on a URL of a few thousand characters.
std::string_view FindPath(std::string_view url) {
  std::size_t line_begin = 0;
  while (line_begin <= url.size()) {
    std::size_t line_end = line_begin;
    while (line_end < url.size() && !IsLineBreak(url[line_end])) ++line_end;
    const std::string_view line = url.substr(line_begin, line_end - line_begin);
    const std::size_t last_mark = line.rfind('?');
    if (last_mark != std::string_view::npos && last_mark > 0) return line.substr(0, last_mark);
    line_begin = line_end + 1;
  }
  return {};
}

}  // namespace

std::string ReplaceAll(std::string text, std::string_view pattern, std::string_view replacement) {
  return ReplaceAllImpl(std::move(text), pattern, replacement);
}

std::wstring ReplaceAll(std::wstring text, std::wstring_view pattern,
                        std::wstring_view replacement) {
  return ReplaceAllImpl(std::move(text), pattern, replacement);
}

std::string RemoveAll(std::string text, std::string_view pattern) {
  return ReplaceAll(std::move(text), pattern, {});
}

std::wstring RemoveAll(std::wstring text, std::wstring_view pattern) {
  return ReplaceAll(std::move(text), pattern, {});
}

std::string UrlEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(text.size() * 3);
  for (const char ch : text) {
    const auto byte = static_cast<unsigned char>(ch);
    if (IsUnreserved(byte)) {
      encoded.push_back(ch);
    } else {
      encoded.push_back('%');
      encoded.push_back(kHex[byte >> 4]);
      encoded.push_back(kHex[byte & 0x0F]);
    }
  }
  return encoded;
}

UrlQuery ParseUrlQuery(std::string_view url) {
  UrlQuery query;
  query.path = std::string(FindPath(url));
  // Pieces between "?" and "&". Within a piece the key runs to the last "="
  // that still leaves at least one character for the value.
  std::size_t begin = 0;
  while (begin <= url.size()) {
    std::size_t end = url.find_first_of("?&", begin);
    if (end == std::string_view::npos) end = url.size();
    const std::string_view piece = url.substr(begin, end - begin);
    if (piece.size() >= 3) {
      const std::size_t equals = piece.rfind('=', piece.size() - 2);
      if (equals != std::string_view::npos && equals > 0) {
        query.params[std::string(piece.substr(0, equals))] = std::string(piece.substr(equals + 1));
      }
    }
    begin = end + 1;
  }
  return query;
}

}  // namespace base
