// Extracts one archive with the product's archive layer and prints the time
// the extraction took, in milliseconds, on one line: "extract_ms <n>".
//   extract_bench <engine dll> <archive> <output folder>
#include <windows.h>

#include <cstdio>

#include "archive/archive_exception.h"
#include "archive/archive_extractor.h"
#include "archive/archive_format.h"
#include "archive/seven_zip_library.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fputs("usage: extract_bench <engine dll> <archive> <output folder>\n", stderr);
    return 2;
  }
  try {
    const arc::SevenZipLibrary library(argv[1]);
    arc::ArchiveExtractor extractor(library, arc::ArchiveFormats::SevenZipFormat);
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    extractor.ExtractArchive(argv[2], argv[3]);
    ::QueryPerformanceCounter(&end);
    std::printf("extract_ms %lld\n", (end.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart);
  } catch (const arc::ArchiveException& e) {
    std::fprintf(stderr, "archive failure %d: %s\n", e.ErrorCode(), e.what());
    return 1;
  }
  return 0;
}
