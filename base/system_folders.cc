#include "base/system_folders.h"

#include <shlobj.h>

#include <filesystem>
#include <system_error>

#include "base/scoped_handle.h"

namespace base {
namespace {

namespace fs = std::filesystem;

// Nothing there, or a state that cannot be read: create the folder. Errors of
// the creation are left to the caller to notice.
void CreateWhenMissing(const fs::path& path) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec || !fs::exists(status)) fs::create_directories(path, ec);
}

}  // namespace

std::optional<std::wstring> GetFolderPath(int csidl) {
  wchar_t buffer[1024] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) return std::nullopt;
  return std::wstring(buffer);
}

DWORD WriteResourceToFile(HMODULE module, const wchar_t* name, const std::wstring& path, const std::wstring& type) {
  if (module == nullptr || name == nullptr || path.empty() || type.empty()) return 0;

  CreateWhenMissing(fs::path(path).parent_path());

  HRSRC info = ::FindResourceW(module, name, type.c_str());
  if (info == nullptr) return 0;
  const DWORD size = ::SizeofResource(module, info);
  if (size == 0) return 0;
  // Resources of a loaded module live as long as the module; there is nothing
  // to free on this platform.
  HGLOBAL loaded = ::LoadResource(module, info);
  if (loaded == nullptr) return 0;
  const void* bytes = ::LockResource(loaded);
  if (bytes == nullptr) return ::GetLastError();

  ScopedKernelHandle file(::CreateFileW(path.c_str(), GENERIC_ALL, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return ::GetLastError();
  DWORD written = 0;
  if (!::WriteFile(file.Get(), bytes, size, &written, nullptr)) return ::GetLastError();
  return 0;
}

bool EnsureDirectory(const std::wstring& path) {
  const fs::path folder(path);
  std::error_code ec;
  const fs::file_status before = fs::status(folder, ec);
  if (!ec && fs::exists(before)) return true;
  fs::create_directories(folder, ec);
  // create_directories answers false for a path ending in a separator even
  // when it made the folder, so ask the disk instead.
  return fs::exists(fs::status(folder, ec));
}

}  // namespace base
