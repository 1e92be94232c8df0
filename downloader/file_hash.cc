#include "downloader/file_hash.h"

#include <cinttypes>

#include "downloader/digests.h"
#include "downloader/file_util.h"

namespace courier {
namespace {

// Feeds the stream from its start to `update`, block by block; `finish` then
// gives the hex text. Stops early when the run is asked to stop.
template <typename Update, typename Finish>
Result HashStream(FILE* stream, const Options* options, std::string* hex, Update update, Finish finish) {
  if (stream == nullptr) return CALCULATE_HASH_FAILED;
  if (_fseeki64(stream, 0, SEEK_SET) != 0) return CALCULATE_HASH_FAILED;
  uint8_t block[1024];
  for (;;) {
    const size_t n = std::fread(block, 1, sizeof(block), stream);
    if (n == 0) break;
    if (options != nullptr && options->stopRequested()) return CANCELED;
    update(block, n);
  }
  if (std::ferror(stream)) return CALCULATE_HASH_FAILED;
  if (hex != nullptr) *hex = finish();
  return SUCCESSED;
}

template <typename StreamForm>
Result HashPath(const std::string& path, const Options* options, std::string* hex, StreamForm stream_form) {
  UniqueFile stream = OpenFileUtf8(path, "rb");
  if (!stream) return CALCULATE_HASH_FAILED;
  return stream_form(stream.get(), options, hex);
}

}  // namespace

Result FileMd5(FILE* stream, const Options* options, std::string* hex) {
  Md5Context ctx;
  Md5Init(&ctx);
  return HashStream(
      stream, options, hex, [&](const uint8_t* p, size_t n) { Md5Update(&ctx, p, n); },
      [&] {
        const auto digest = Md5Final(&ctx);
        return ToLowerHex(digest.data(), digest.size());
      });
}

Result FileCrc32(FILE* stream, const Options* options, std::string* hex) {
  uint32_t crc = 0;
  return HashStream(
      stream, options, hex, [&](const uint8_t* p, size_t n) { crc = Crc32Update(crc, p, n); },
      [&] {
        char text[9];
        std::snprintf(text, sizeof(text), "%08" PRIx32, crc);
        return std::string(text);
      });
}

Result FileSha1(FILE* stream, const Options* options, std::string* hex) {
  CSHA1 sha1;
  return HashStream(
      stream, options, hex, [&](const uint8_t* p, size_t n) { sha1.Update(p, n); },
      [&] {
        sha1.Final();
        return ToLowerHex(sha1.Digest(), 20);
      });
}

Result FileSha256(FILE* stream, const Options* options, std::string* hex) {
  Sha256Context ctx;
  Sha256Init(&ctx);
  return HashStream(
      stream, options, hex, [&](const uint8_t* p, size_t n) { Sha256Update(&ctx, p, n); },
      [&] {
        const auto digest = Sha256Final(&ctx);
        return ToLowerHex(digest.data(), digest.size());
      });
}

Result FileMd5(const std::string& path, const Options* options, std::string* hex) {
  return HashPath(path, options, hex, [](FILE* s, const Options* o, std::string* h) { return FileMd5(s, o, h); });
}
Result FileCrc32(const std::string& path, const Options* options, std::string* hex) {
  return HashPath(path, options, hex, [](FILE* s, const Options* o, std::string* h) { return FileCrc32(s, o, h); });
}
Result FileSha1(const std::string& path, const Options* options, std::string* hex) {
  return HashPath(path, options, hex, [](FILE* s, const Options* o, std::string* h) { return FileSha1(s, o, h); });
}
Result FileSha256(const std::string& path, const Options* options, std::string* hex) {
  return HashPath(path, options, hex, [](FILE* s, const Options* o, std::string* h) { return FileSha256(s, o, h); });
}

Result FileHash(int32_t hash_type, FILE* stream, const Options* options, std::string* hex) {
  switch (hash_type) {
    case HashType::MD5: return FileMd5(stream, options, hex);
    case HashType::CRC32: return FileCrc32(stream, options, hex);
    case HashType::SHA1: return FileSha1(stream, options, hex);
    case HashType::SHA256: return FileSha256(stream, options, hex);
    default: return CALCULATE_HASH_FAILED;
  }
}

Result FileHash(int32_t hash_type, const std::string& path, const Options* options, std::string* hex) {
  switch (hash_type) {
    case HashType::MD5: return FileMd5(path, options, hex);
    case HashType::CRC32: return FileCrc32(path, options, hex);
    case HashType::SHA1: return FileSha1(path, options, hex);
    case HashType::SHA256: return FileSha256(path, options, hex);
    default: return CALCULATE_HASH_FAILED;
  }
}

}  // namespace courier
