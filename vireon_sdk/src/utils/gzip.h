// In-memory gzip (RFC 1952) through zlib, as the telemetry body uses it.
#pragma once

#include <cstddef>
#include <string>

namespace vireon::utils {

// Inflated output above this is refused: a few kilobytes of hostile deflate
// data could otherwise expand a thousandfold.
inline constexpr size_t kMaxGunzipBytes = 100u * 1024 * 1024;

// Appends the gzip form of the input to `output`. 1 on success, -1 on failure
// (what was produced before the failure stays in `output`).
int GzipCompress(const void* input, size_t length, std::string* output);

// Appends the decompressed bytes to `output`. Stops at the end of the gzip
// member and ignores what follows it (the cipher's padding); input that ends
// early yields what was decoded. 0 on success, -1 on corrupt data or when the
// output would exceed `max_output`.
int GzipDecompress(const void* input, size_t length, std::string* output,
                   size_t max_output = kMaxGunzipBytes);

}  // namespace vireon::utils
