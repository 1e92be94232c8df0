// The file-system work the archive layer does around the engine: folder
// trees, forced deletion, file lookups (alternate data streams included),
// file names and the analysis of path prefixes. Failures are answered with
// false and leave the Windows last-error value for the caller.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace arc {

struct FileInfo {
  uint64_t size = 0;
  FILETIME creation_time{};
  FILETIME access_time{};
  FILETIME modification_time{};
  uint32_t attributes = 0;
  bool is_alt_stream = false;
  std::wstring name;

  bool IsDir() const noexcept { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
};

// Looks `path` up; fills `info` and answers true when something is there.
bool FindFileInfo(const std::wstring& path, FileInfo& info);

// Creates the folder and every missing parent.
bool CreateDirectoryTree(const std::wstring& path);

// Deletes a file, clearing a read-only attribute first.
bool DeleteFileForce(const std::wstring& path);

bool SetFileAttrib(const std::wstring& path, uint32_t attributes);

// The last component of `path` without its extension: "C:\dl\core.7z" gives
// "core".
std::wstring NameWithoutExtension(const std::wstring& path);

// Walks the alternate data streams of a file.
class AltStreamEnumerator {
 public:
  explicit AltStreamEnumerator(std::wstring file_path);
  ~AltStreamEnumerator();
  AltStreamEnumerator(const AltStreamEnumerator&) = delete;
  AltStreamEnumerator& operator=(const AltStreamEnumerator&) = delete;

  // Answers false on failure (the Windows error is left in GetLastError);
  // otherwise true, with `found` false at the end of the list.
  bool Next(std::wstring& name, uint64_t& size, bool& found);

 private:
  std::wstring file_path_;
  HANDLE find_ = INVALID_HANDLE_VALUE;
};

// Path prefix analysis; "separator" is "\" or "/" throughout.
namespace path_prefix {
bool IsSeparator(wchar_t c) noexcept;
bool IsDrive(const std::wstring& path, size_t pos = 0) noexcept;      // "C:"
bool IsDrivePath(const std::wstring& path, size_t pos = 0) noexcept;  // "C:\"
bool HasLongPathPrefix(const std::wstring& path) noexcept;           // "\\?\"
bool HasLongUncPrefix(const std::wstring& path) noexcept;            // "\\?\UNC\"
// Length of "server\" after the leading separators of a network path.
size_t ServerPrefixLength(const std::wstring& path) noexcept;
size_t RootPrefixLength(const std::wstring& path) noexcept;
// Position of the first separator at or after `from`, npos when none.
size_t FindSeparator(const std::wstring& path, size_t from = 0) noexcept;
// "C:\" or "\\?\C:\": a drive with nothing after its separator.
bool IsDriveRootPath(const std::wstring& path) noexcept;
}  // namespace path_prefix

}  // namespace arc
