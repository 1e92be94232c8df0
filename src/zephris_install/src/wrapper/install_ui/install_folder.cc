#include "src/zephris_install/src/wrapper/install_ui/install_folder.h"

#include <cwctype>

std::wstring InstallFolderFor(std::wstring_view chosen) {
  std::wstring folder(chosen);
  while (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  folder += L'\\';
  folder += kProductFolderName;
  return folder;
}

wchar_t DriveLetterOf(std::wstring_view path) {
  if (path.size() < 2 || path[1] != L':') return 0;
  const wchar_t letter = static_cast<wchar_t>(std::towupper(path[0]));
  return letter >= L'A' && letter <= L'Z' ? letter : 0;
}

std::wstring VolumeNameOf(std::wstring_view path) {
  if (const wchar_t letter = DriveLetterOf(path)) return std::wstring(1, letter);
  if (path.size() > 2 && (path[0] == L'\\' || path[0] == L'/') && (path[1] == L'\\' || path[1] == L'/')) {
    // "\\server\share\...": the server and the share name the place.
    size_t separators = 0;
    size_t end = 2;
    for (; end < path.size(); ++end) {
      if (path[end] == L'\\' || path[end] == L'/') {
        if (++separators == 2) break;
      }
    }
    return std::wstring(path.substr(0, end));
  }
  return std::wstring(path.substr(0, 1));
}

bool IsPlainFileName(std::string_view name) {
  if (name.empty() || name.size() > 128 || name == "." || name == "..") return false;
  for (const char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                       c == '_' || c == '-';
    if (!plain) return false;
  }
  return true;
}
