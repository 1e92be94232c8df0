#include "archive/archive_compressor.h"

#include "archive/archive_exception.h"
#include "archive/disk_item_indexer.h"
#include "archive/update_callback.h"

namespace arc {

void ArchiveCompressor::CompressFileList(const std::vector<std::wstring>& paths, const std::wstring& archive_path) {
  if (paths.size() > 1 && !Format().HasFeature(MultipleFiles)) {
    throw ArchiveException("Unsupported operation!", 50);
  }
  const std::vector<DiskItem> items = IndexDiskPaths(paths, true);
  ComPtr<FileUpdateCallback> callback(new FileUpdateCallback(*this, items));
  WriteArchiveFile(archive_path, *callback.Get());
}

}  // namespace arc
