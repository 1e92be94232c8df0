// Extracts every item of an archive file into a folder.
#pragma once

#include <string>

#include "archive/archive_format.h"
#include "archive/archive_handler.h"
#include "archive/seven_zip_library.h"

namespace arc {

class ArchiveExtractor : public ArchiveOpener {
 public:
  ArchiveExtractor(const SevenZipLibrary& library, const ArchiveFormat& format) : ArchiveOpener(library, format) {}

  // Every item ends up at out_dir + its stored path, with folders created,
  // existing files replaced and stored times and attributes applied. Throws
  // ArchiveException; items written before a failure stay on disk.
  void ExtractArchive(const std::wstring& in_file, const std::wstring& out_dir);
};

}  // namespace arc
