#include "vireon_sdk/src/report/session_key.h"

#include <cstdio>
#include <cstring>

#include "vireon_sdk/src/report/collector_public_key.h"
#include "vireon_sdk/src/utils/base64.h"
#include "vireon_sdk/src/utils/guarded.h"
#include "vireon_sdk/src/utils/rsa.h"
#include "vireon_sdk/src/utils/secure_random.h"

namespace vireon {
namespace {

void Copy(char* dst, size_t dst_size, std::string_view src) {
  const size_t n = src.size() < dst_size - 1 ? src.size() : dst_size - 1;
  std::memcpy(dst, src.data(), n);
  dst[n] = '\0';
}

}  // namespace

const SessionKeyPair& GetDefaultSessionKey() {
  static const SessionKeyPair pair = [] {
    SessionKeyPair p;
    GenerateSessionKey(&p, kCollectorPublicKeyPem, &utils::SecureRandomBytes);
    return p;
  }();
  return pair;
}

bool GenerateSessionKey(SessionKeyPair* pair, std::string_view public_key_pem, RandomSource random) {
  Copy(pair->encrypted_key, sizeof(pair->encrypted_key), kDefaultEncryptedSessionKey);
  Copy(pair->key_text, sizeof(pair->key_text), kDefaultSessionKeyText);
  unsigned char bytes[8];
  if (random == nullptr || !random(bytes, sizeof(bytes))) return false;
  char text[17];
  std::snprintf(text, sizeof(text), "%02X%02X%02X%02X%02X%02X%02X%02X", bytes[0], bytes[1], bytes[2], bytes[3],
                bytes[4], bytes[5], bytes[6], bytes[7]);
  const std::string encrypted = RsaEncryptPublic(std::string_view(text, 16), public_key_pem);
  if (encrypted.size() != kEncryptedSessionKeyLength) return false;
  Copy(pair->key_text, sizeof(pair->key_text), std::string_view(text, 16));
  Copy(pair->encrypted_key, sizeof(pair->encrypted_key), encrypted);
  return true;
}

std::string RsaEncryptPublic(std::string_view bytes) { return RsaEncryptPublic(bytes, kCollectorPublicKeyPem); }

std::string RsaEncryptPublic(std::string_view bytes, std::string_view public_key_pem) {
  return utils::Guarded(std::string(), [&] {
    const auto cipher = utils::RsaPublicEncrypt(public_key_pem, bytes.data(), bytes.size());
    return cipher ? utils::Base64Encode(cipher->data(), cipher->size()) : std::string();
  });
}

std::string RecoverSessionKey(std::string_view vir_key, std::string_view private_key_pem) {
  if (vir_key == kDefaultEncryptedSessionKey) return std::string(kDefaultSessionKeyText);
  return utils::Guarded(std::string(), [&] {
    const auto cipher = utils::Base64Decode(vir_key);
    if (!cipher) return std::string();
    auto key = utils::RsaPrivateDecrypt(private_key_pem, cipher->data(), cipher->size());
    if (!key || key->size() != 16) return std::string();
    return std::move(*key);
  });
}

}  // namespace vireon
