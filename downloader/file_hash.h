// Hashes of a file as lower-case hex text. Each reads 1024 bytes at a time and,
// when options are given, gives up with CANCELED as soon as the run's stop
// event or the caller's one is set.
#pragma once

#include <cstdio>
#include <string>

#include "downloader/options.h"
#include "downloader/result.h"

namespace courier {

Result FileMd5(const std::string& path, const Options* options, std::string* hex);
Result FileCrc32(const std::string& path, const Options* options, std::string* hex);
Result FileSha1(const std::string& path, const Options* options, std::string* hex);
Result FileSha256(const std::string& path, const Options* options, std::string* hex);

// The same over an open stream, from its first byte; the stream stays open.
Result FileMd5(FILE* stream, const Options* options, std::string* hex);
Result FileCrc32(FILE* stream, const Options* options, std::string* hex);
Result FileSha1(FILE* stream, const Options* options, std::string* hex);
Result FileSha256(FILE* stream, const Options* options, std::string* hex);

// By courier::HashType; CALCULATE_HASH_FAILED for a type outside it.
Result FileHash(int32_t hash_type, FILE* stream, const Options* options, std::string* hex);
Result FileHash(int32_t hash_type, const std::string& path, const Options* options, std::string* hex);

}  // namespace courier
