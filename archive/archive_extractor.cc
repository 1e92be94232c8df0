#include "archive/archive_extractor.h"

#include "archive/extract_callback.h"
#include "archive/input_archive.h"

namespace arc {

void ArchiveExtractor::ExtractArchive(const std::wstring& in_file, const std::wstring& out_dir) {
  InputArchive archive(*this, in_file);
  ComPtr<FileExtractCallback> callback(new FileExtractCallback(*this, archive, in_file, out_dir));
  archive.ExtractItems({}, callback.Get());
}

}  // namespace arc
