#include "archive/item_path.h"

#include <array>

namespace arc {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

wchar_t Upper(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

bool EqualsUpper(std::wstring_view text, std::wstring_view upper) {
  if (text.size() != upper.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (Upper(text[i]) != upper[i]) return false;
  }
  return true;
}

// Windows drops trailing dots and blanks of a component when it opens a file,
// so "..." or ".. " lead to the same place as "..".
bool TrimsToDots(std::wstring_view component) {
  size_t end = component.size();
  while (end > 0 && (component[end - 1] == L'.' || component[end - 1] == L' ')) --end;
  return end == 0 && component != L".";
}

// A device name answers whatever extension follows it ("NUL.txt") and
// blanks before that extension.
bool IsDeviceName(std::wstring_view component) {
  std::wstring_view base = component.substr(0, component.find(L'.'));
  while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
  static constexpr std::array<std::wstring_view, 6> kNames = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
  for (std::wstring_view name : kNames) {
    if (EqualsUpper(base, name)) return true;
  }
  if (base.size() == 4 && (EqualsUpper(base.substr(0, 3), L"COM") || EqualsUpper(base.substr(0, 3), L"LPT"))) {
    const wchar_t digit = base[3];
    // Windows also takes the superscript digits 1, 2 and 3 as port numbers.
    return (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
  }
  return false;
}

}  // namespace

ItemPathProblem CheckItemPath(std::wstring_view path) {
  if (!path.empty() && IsSeparator(path.front())) return ItemPathProblem::kRooted;
  if (path.find(L':') != std::wstring_view::npos) return ItemPathProblem::kColon;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    const std::wstring_view component = path.substr(start, end - start);
    if (!component.empty()) {
      if (TrimsToDots(component)) return ItemPathProblem::kParentFolder;
      if (IsDeviceName(component)) return ItemPathProblem::kDeviceName;
    }
    start = end + 1;
  }
  return ItemPathProblem::kNone;
}

const wchar_t* ItemPathProblemText(ItemPathProblem problem) {
  switch (problem) {
    case ItemPathProblem::kNone: return L"";
    case ItemPathProblem::kRooted: return L"absolute path";
    case ItemPathProblem::kColon: return L"drive letter or stream name";
    case ItemPathProblem::kParentFolder: return L"parent folder component";
    case ItemPathProblem::kDeviceName: return L"device name";
  }
  return L"";
}

}  // namespace arc
