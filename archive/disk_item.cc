#include "archive/disk_item.h"

#include "archive/archive_exception.h"
#include "archive/file_system.h"
#include "base/scoped_handle.h"

namespace arc {

using path_prefix::IsSeparator;

DiskItem::DiskItem(const std::wstring& path, const std::wstring& archive_name)
    : path_(path), archive_name_(archive_name) {
  const DWORD attributes = ::GetFileAttributesW(path_.c_str());
  const bool folder_or_unknown =
      attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (folder_or_unknown && !path_.empty() && IsSeparator(path_.back())) path_.pop_back();

  base::ScopedFindHandle find(::FindFirstFileW(path_.c_str(), &entry_));
  if (!find.IsValid()) {
    throw ArchiveException(L"Invalid path '" + path_ + L"'!", ::GetLastError(), Win32Error::kConvert);
  }
}

DiskItem::DiskItem(const std::wstring& folder_path, const WIN32_FIND_DATAW& entry,
                   const std::wstring& archive_folder)
    : entry_(entry), archive_folder_(archive_folder) {
  path_ = folder_path;
  if (path_.empty() || !IsSeparator(path_.back())) path_ += L'\\';
  path_ += entry_.cFileName;
}

bool DiskItem::IsDots() const {
  const std::wstring name = Name();
  return name == L"." || name == L"..";
}

std::wstring DiskItem::InArchivePath() const {
  if (!archive_name_.empty()) return archive_name_;

  const bool relative = !(!path_.empty() && IsSeparator(path_[0])) && !(path_.size() > 1 && path_[1] == L':');
  bool dot_before_separator = false;
  for (size_t i = 0; i + 1 < path_.size(); ++i) {
    if (path_[i] == L'.' && IsSeparator(path_[i + 1])) dot_before_separator = true;
  }
  if (!relative || dot_before_separator) {
    return archive_folder_.empty() ? Name() : archive_folder_ + L"\\" + Name();
  }
  if (path_ == L"." || path_ == L"..") return {};
  if (!archive_folder_.empty()) return archive_folder_ + L"\\" + Name();
  return path_;
}

}  // namespace arc
