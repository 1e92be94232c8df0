// One file or folder on disk as an archive input: its path, its directory
// entry and where it goes inside the archive.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace arc {

class DiskItem {
 public:
  // Reads the item's directory entry; throws ArchiveException("Invalid path
  // '...'!") when there is nothing at `path`.
  explicit DiskItem(const std::wstring& path, const std::wstring& archive_name = {});
  // An entry found while listing `folder_path`.
  DiskItem(const std::wstring& folder_path, const WIN32_FIND_DATAW& entry, const std::wstring& archive_folder);

  std::wstring Name() const { return entry_.cFileName; }
  const std::wstring& Path() const noexcept { return path_; }
  bool IsDir() const noexcept { return (entry_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  uint64_t Size() const noexcept {
    return (static_cast<uint64_t>(entry_.nFileSizeHigh) << 32) | entry_.nFileSizeLow;
  }
  uint32_t Attributes() const noexcept { return entry_.dwFileAttributes; }
  FILETIME CreationTime() const noexcept { return entry_.ftCreationTime; }
  FILETIME AccessTime() const noexcept { return entry_.ftLastAccessTime; }
  FILETIME WriteTime() const noexcept { return entry_.ftLastWriteTime; }
  bool IsDots() const;

  // The item's path inside the archive.
  std::wstring InArchivePath() const;

 private:
  std::wstring path_;
  WIN32_FIND_DATAW entry_{};
  std::wstring archive_folder_;
  std::wstring archive_name_;
};

}  // namespace arc
