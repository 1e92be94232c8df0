#include "archive/disk_item_indexer.h"

#include "archive/archive_exception.h"
#include "archive/file_system.h"
#include "base/scoped_handle.h"

namespace arc {

bool WildcardMatch(const std::wstring& pattern, const std::wstring& name) {
  if (pattern.empty()) return true;
  // Iterative matching with one backtrack point for the last "*".
  size_t p = 0, n = 0, star = std::wstring::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == L'?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == L'*') {
      star = p++;
      resume = n;
    } else if (star != std::wstring::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*') ++p;
  return p == pattern.size();
}

DiskItemIndexer::DiskItemIndexer(const DiskItem& folder, const std::wstring& filter)
    : folder_(folder), filter_(filter) {
  if (!folder_.IsDir()) throw ArchiveException(L"'" + folder_.Name() + L"' is not a directory!", 267);
}

void DiskItemIndexer::ListDirectory(std::vector<DiskItem>& result, bool recursive,
                                    const std::wstring& prefix) const {
  const std::wstring& folder_path = folder_.Path();
  std::wstring entry_folder = folder_path;
  if (!prefix.empty()) entry_folder += L"\\" + prefix;
  const std::wstring listing_path = entry_folder + L"\\*";

  WIN32_FIND_DATAW entry{};
  base::ScopedFindHandle find(::FindFirstFileW(listing_path.c_str(), &entry));
  if (!find.IsValid()) {
    throw ArchiveException(L"Invalid path '" + listing_path + L"'", ::GetLastError(), Win32Error::kConvert);
  }

  const size_t last_sep = folder_path.find_last_of(L"\\/");
  const bool keep_root = filter_.empty() || last_sep == std::wstring::npos || last_sep == 0 ||
                         NameWithoutExtension(folder_.InArchivePath()) != folder_.Name();
  std::wstring archive_folder = keep_root ? folder_.InArchivePath() : std::wstring();
  if (!prefix.empty()) archive_folder = archive_folder.empty() ? prefix : archive_folder + L"\\" + prefix;

  do {
    DiskItem item(entry_folder, entry, archive_folder);
    if (item.IsDots()) continue;
    const std::wstring name = item.Name();
    const bool matched = WildcardMatch(filter_, name);
    const bool is_dir = item.IsDir();
    if (matched) result.push_back(std::move(item));
    if (is_dir && (recursive || matched)) {
      ListDirectory(result, true, prefix.empty() ? name : prefix + L"\\" + name);
    }
  } while (::FindNextFileW(find.Get(), &entry));
}

std::vector<DiskItem> IndexDiskPaths(const std::vector<std::wstring>& paths, bool ignore_folders) {
  std::vector<DiskItem> result;
  for (const std::wstring& path : paths) {
    DiskItem item(path);
    if (!item.IsDir()) {
      result.push_back(std::move(item));
      continue;
    }
    if (ignore_folders) continue;
    if (!item.InArchivePath().empty()) result.push_back(item);
    DiskItemIndexer(item, L"").ListDirectory(result, true, L"");
  }
  return result;
}

}  // namespace arc
