#include "vireon_sdk/src/report/body_encryption.h"

#include "vireon_sdk/src/report/session_key.h"
#include "vireon_sdk/src/utils/aes128.h"
#include "vireon_sdk/src/utils/guarded.h"
#include "vireon_sdk/src/utils/gzip.h"

namespace vireon {
namespace {

const uint8_t* KeyBytes(std::string_view key_text) { return reinterpret_cast<const uint8_t*>(key_text.data()); }

}  // namespace

void Pkcs7Pad(std::string* data) {
  const size_t pad = utils::kAesBlockSize - data->size() % utils::kAesBlockSize;
  data->append(pad, static_cast<char>(pad));
}

std::optional<TagBuffer> EncryptBody(const TagBuffer& plain) {
  return EncryptBody(plain, GetDefaultSessionKey().key());
}

std::optional<TagBuffer> DecryptBody(const TagBuffer& cipher, size_t max_plain) {
  return DecryptBody(cipher, GetDefaultSessionKey().key(), max_plain);
}

std::optional<TagBuffer> EncryptBody(const TagBuffer& plain, std::string_view key_text) {
  if (key_text.size() != utils::kAesKeySize) return std::nullopt;
  return utils::Guarded(std::optional<TagBuffer>{}, [&]() -> std::optional<TagBuffer> {
    std::string data;
    // A half-compressed body would reach the collector as garbage and still
    // count as sent, so a failed compression fails the whole body.
    if (utils::GzipCompress(plain.data(), plain.length(), &data) != 1) return std::nullopt;
    Pkcs7Pad(&data);
    auto* bytes = reinterpret_cast<uint8_t*>(data.data());
    if (!utils::AesCbcEncrypt(KeyBytes(key_text), KeyBytes(key_text), bytes, data.size())) return std::nullopt;
    TagBuffer out;
    if (out.Assign(data) != kTagOk) return std::nullopt;
    return out;
  });
}

std::optional<TagBuffer> DecryptBody(const TagBuffer& cipher, std::string_view key_text, size_t max_plain) {
  if (key_text.size() != utils::kAesKeySize) return std::nullopt;
  // CBC works on whole blocks; a torn last block means the body is damaged.
  if (cipher.length() % utils::kAesBlockSize != 0) return std::nullopt;
  return utils::Guarded(std::optional<TagBuffer>{}, [&]() -> std::optional<TagBuffer> {
    std::string data(cipher.view());
    auto* bytes = reinterpret_cast<uint8_t*>(data.data());
    if (!utils::AesCbcDecrypt(KeyBytes(key_text), KeyBytes(key_text), bytes, data.size())) return std::nullopt;
    // The padding stays: gzip stops at the end of its member and ignores it.
    std::string plain;
    if (utils::GzipDecompress(data.data(), data.size(), &plain, max_plain) != 0) return std::nullopt;
    TagBuffer out;
    if (out.Assign(plain) != kTagOk) return std::nullopt;
    return out;
  });
}

}  // namespace vireon
