#include "vireon_sdk/src/utils/file_util.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

namespace vireon::utils {
namespace {

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// `path` is normalised and ends in a backslash.
bool CreateLevels(const std::wstring& path) {
  const size_t first = path.find(L'\\');
  if (first == std::wstring::npos || first < 2) return false;
  for (size_t at = first; at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
    const std::wstring level = path.substr(0, at);
    if (IsFolder(level)) continue;
    // Another thread or process may make the same level meanwhile.
    if (!::CreateDirectoryW(level.c_str(), nullptr) && !IsFolder(level)) return false;
  }
  return true;
}

}  // namespace

std::wstring GetAppDataDir() {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder))) {
    return {};
  }
  std::wstring path = folder;
  if (!path.empty() && !IsFolder(path)) CreateDirectories(path);
  return path;
}

bool CreateDirectories(const std::wstring& path) {
  if (path.empty()) return false;
  std::wstring normal = path;
  NormalizePath(normal);
  AppendBackslash(normal);
  return CreateLevels(normal);
}

bool CreateParentDirectories(const std::wstring& file_path) {
  std::wstring normal = file_path;
  NormalizePath(normal);
  const size_t last = normal.rfind(L'\\');
  if (last == std::wstring::npos) return false;
  normal.resize(last + 1);
  return CreateLevels(normal);
}

void NormalizePath(std::wstring& path) {
  for (auto& c : path) {
    if (c == L'/') c = L'\\';
  }
  std::wstring out;
  out.reserve(path.size());
  for (const wchar_t c : path) {
    if (c == L'\\' && !out.empty() && out.back() == L'\\') continue;
    out.push_back(c);
  }
  path = std::move(out);
}

void AppendBackslash(std::wstring& path) {
  if (path.empty() || path.back() != L'\\') path.push_back(L'\\');
}

std::wstring GetExeFileName() {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0) return {};
  return ::PathFindFileNameW(path);
}

}  // namespace vireon::utils
