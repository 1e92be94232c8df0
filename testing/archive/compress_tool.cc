// Packs the files named on its command line into a new 7z archive with the
// product's archive layer, so that Debian's 7zz can judge the result.
//   archive_compress_tool <engine dll> <archive> <file>...
// Exit code 0 on success, 1 on an archive failure (printed), 2 on bad usage.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "archive/archive_compressor.h"
#include "archive/archive_exception.h"
#include "archive/archive_format.h"
#include "archive/seven_zip_library.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fputs("usage: archive_compress_tool <engine dll> <archive> <file>...\n", stderr);
    return 2;
  }
  try {
    const arc::SevenZipLibrary library(argv[1]);
    arc::ArchiveCompressor compressor(library, arc::ArchiveFormats::SevenZipFormat);
    compressor.CompressFileList(std::vector<std::wstring>(argv + 3, argv + argc), argv[2]);
  } catch (const arc::ArchiveException& e) {
    std::fprintf(stderr, "archive failure %d: %s\n", e.ErrorCode(), e.what());
    return 1;
  }
  return 0;
}
