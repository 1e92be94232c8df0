#include "vireon_sdk/src/utils/rsa.h"

#include <gtest/gtest.h>

#include "vireon_sdk/keys/collector_private_key.h"
#include "vireon_sdk/src/report/collector_public_key.h"

namespace vireon::utils {
namespace {

TEST(Rsa, TheCarriedPublicKeyOpensWithTheCollectorsPrivateKey) {
  const std::string key_text = "0123456789ABCDEF";
  const auto first = RsaPublicEncrypt(kCollectorPublicKeyPem, key_text.data(), key_text.size());
  const auto second = RsaPublicEncrypt(kCollectorPublicKeyPem, key_text.data(), key_text.size());
  ASSERT_TRUE(first);
  ASSERT_TRUE(second);
  EXPECT_EQ(first->size(), 128u);  // a 1024-bit key
  EXPECT_NE(*first, *second) << "PKCS#1 v1.5 padding is random";
  EXPECT_EQ(RsaPrivateDecrypt(kCollectorPrivateKeyPem, first->data(), first->size()), key_text);
  EXPECT_EQ(RsaPrivateDecrypt(kCollectorPrivateKeyPem, second->data(), second->size()), key_text);
}

TEST(Rsa, UnreadableKeysAndDamagedCiphertextsGiveNone) {
  const std::string text = "0123456789ABCDEF";
  const std::string too_long(118, 'x');  // PKCS#1 v1.5 fits at most 117 bytes in 128
  EXPECT_FALSE(RsaPublicEncrypt("", text.data(), text.size()));
  EXPECT_FALSE(RsaPublicEncrypt("-----BEGIN PUBLIC KEY-----\nAAAA\n-----END PUBLIC KEY-----\n", text.data(),
                                text.size()));
  EXPECT_FALSE(RsaPublicEncrypt(kCollectorPrivateKeyPem, text.data(), text.size()));
  EXPECT_FALSE(RsaPublicEncrypt(kCollectorPublicKeyPem, too_long.data(), too_long.size()));
  EXPECT_TRUE(RsaPublicEncrypt(kCollectorPublicKeyPem, too_long.data(), 117));

  auto cipher = RsaPublicEncrypt(kCollectorPublicKeyPem, text.data(), text.size());
  ASSERT_TRUE(cipher);
  EXPECT_FALSE(RsaPrivateDecrypt(kCollectorPublicKeyPem, cipher->data(), cipher->size()));
  EXPECT_FALSE(RsaPrivateDecrypt(kCollectorPrivateKeyPem, cipher->data(), cipher->size() - 1));
  std::string flipped = *cipher;
  flipped[64] = static_cast<char>(flipped[64] ^ 0x01);
  const auto opened = RsaPrivateDecrypt(kCollectorPrivateKeyPem, flipped.data(), flipped.size());
  EXPECT_NE(opened, text);
}

}  // namespace
}  // namespace vireon::utils
