#include "src/zephris_install/src/impl/install/component_archive.h"

#include <windows.h>

#include <cctype>

#include "base/file_md5.h"

bool PathExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool ArchiveMd5Matches(const std::wstring& path, const std::string& expected, std::string* local) {
  const std::string md5 = base::FileMd5Hex(path);
  if (local) *local = md5;
  return Md5TextMatches(md5, expected);
}

bool Md5TextMatches(const std::string& md5, const std::string& expected) {
  if (md5.size() != expected.size()) return false;
  for (size_t i = 0; i < md5.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(md5[i])) != std::tolower(static_cast<unsigned char>(expected[i]))) {
      return false;
    }
  }
  return true;
}

base::ScopedKernelHandle HoldArchive(const std::wstring& path) {
  return base::ScopedKernelHandle(
      ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}
