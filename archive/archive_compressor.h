// Packs a list of files into a new archive file.
#pragma once

#include <string>
#include <vector>

#include "archive/archive_creator.h"

namespace arc {

class ArchiveCompressor : public ArchiveCreator {
 public:
  ArchiveCompressor(const SevenZipLibrary& library, const ArchiveFormat& format) : ArchiveCreator(library, format) {}

  // One entry per listed file (folders are skipped); a file listed by an
  // absolute path goes in under its bare name. Throws ArchiveException, also
  // when the archive file already exists.
  void CompressFileList(const std::vector<std::wstring>& paths, const std::wstring& archive_path);
};

}  // namespace arc
