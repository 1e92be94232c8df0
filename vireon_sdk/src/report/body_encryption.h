// Protection of telemetry bodies both ways: gzip, PKCS#7 padding, then
// AES-128-CBC with the session key text as key and initialisation vector.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "vireon_sdk/src/report/tag_buffer.h"
#include "vireon_sdk/src/report/tag_types.h"

namespace vireon {

// Pads to the next multiple of 16 with 1 to 16 bytes, each holding the count.
void Pkcs7Pad(std::string* data);

// Under the process's session key (GetDefaultSessionKey).
std::optional<TagBuffer> EncryptBody(const TagBuffer& plain);
std::optional<TagBuffer> DecryptBody(const TagBuffer& cipher, size_t max_plain);

// Under an explicit 16-character key text (the collector answers under the
// key each client sent). None when the key is not 16 bytes, compression
// fails, or (decrypting) the ciphertext is not whole blocks or does not
// decompress. Decrypting also gives none when the plain text would exceed
// `max_plain`: the ciphertext comes from the peer, and a few kilobytes of
// deflate data can claim a thousand times their size.
std::optional<TagBuffer> EncryptBody(const TagBuffer& plain, std::string_view key_text);
std::optional<TagBuffer> DecryptBody(const TagBuffer& cipher, std::string_view key_text, size_t max_plain);

}  // namespace vireon
