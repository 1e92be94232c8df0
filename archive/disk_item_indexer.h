// Turns folders on disk into lists of archive inputs.
#pragma once

#include <string>
#include <vector>

#include "archive/disk_item.h"

namespace arc {

// Whole-name wildcard match: "*" any run (also none), "?" one character,
// everything else itself, case-sensitive; an empty pattern matches all.
bool WildcardMatch(const std::wstring& pattern, const std::wstring& name);

class DiskItemIndexer {
 public:
  // Throws ArchiveException("'name' is not a directory!", 267) for a file.
  DiskItemIndexer(const DiskItem& folder, const std::wstring& filter);

  // Appends the folder's matching entries (below `prefix`, a path relative
  // to the folder) to `result`; throws ArchiveException when the folder
  // cannot be listed.
  void ListDirectory(std::vector<DiskItem>& result, bool recursive, const std::wstring& prefix) const;

 private:
  DiskItem folder_;
  std::wstring filter_;
};

// One DiskItem per listed path, folders followed by their contents unless
// `ignore_folders` is set.
std::vector<DiskItem> IndexDiskPaths(const std::vector<std::wstring>& paths, bool ignore_folders);

}  // namespace arc
