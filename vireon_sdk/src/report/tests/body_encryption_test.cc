#include "vireon_sdk/src/report/body_encryption.h"

#include <gtest/gtest.h>

#include <string>

#include "vireon_sdk/src/report/session_key.h"
#include "vireon_sdk/src/utils/aes128.h"
#include "vireon_sdk/src/utils/gzip.h"

namespace vireon {
namespace {

TagBuffer Buffer(std::string_view bytes) {
  TagBuffer b;
  EXPECT_EQ(b.Assign(bytes), kTagOk);
  return b;
}

TEST(BodyEncryption, Pkcs7PadsWithOneToSixteenBytesOfTheCount) {
  struct Case {
    size_t length;
    size_t padded;
    char pad;
  } cases[] = {{0, 16, 0x10}, {1, 16, 0x0F}, {15, 16, 0x01}, {16, 32, 0x10}, {48, 64, 0x10}, {50, 64, 0x0E}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    std::string data(c.length, 'd');
    Pkcs7Pad(&data);
    ASSERT_EQ(data.size(), c.padded);
    EXPECT_EQ(data.substr(c.length), std::string(c.padded - c.length, c.pad));
  }
}

TEST(BodyEncryption, IsGzipThenPaddingThenCbcWithTheKeyAsIv) {
  const std::string key = "0123456789ABCDEF";
  const std::string plain = "the body of one telemetry request, repeated; the body of one telemetry request";
  const auto cipher = EncryptBody(Buffer(plain), key);
  ASSERT_TRUE(cipher);
  ASSERT_EQ(cipher->length() % 16, 0u);

  // Undo it by hand: CBC with the key text as key and IV, then the padding, then gzip.
  std::string data(cipher->view());
  const auto* k = reinterpret_cast<const uint8_t*>(key.data());
  ASSERT_TRUE(utils::AesCbcDecrypt(k, k, reinterpret_cast<uint8_t*>(data.data()), data.size()));
  const auto pad = static_cast<uint8_t>(data.back());
  ASSERT_GE(pad, 1);
  ASSERT_LE(pad, 16);
  EXPECT_EQ(data.substr(data.size() - pad), std::string(pad, static_cast<char>(pad)));
  data.resize(data.size() - pad);
  EXPECT_EQ(static_cast<uint8_t>(data[0]), 0x1F);  // gzip magic
  EXPECT_EQ(static_cast<uint8_t>(data[1]), 0x8B);
  std::string inflated;
  ASSERT_EQ(utils::GzipDecompress(data.data(), data.size(), &inflated), 0);
  EXPECT_EQ(inflated, plain);

  const auto back = DecryptBody(*cipher, key, plain.size());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->view(), plain);
}

TEST(BodyEncryption, RoundTripsUnderTheProcessKey) {
  for (const std::string& plain : {std::string(), std::string("x"), std::string(100000, '\x01')}) {
    SCOPED_TRACE(plain.size());
    const auto cipher = EncryptBody(Buffer(plain));
    ASSERT_TRUE(cipher);
    const auto back = DecryptBody(*cipher, plain.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->view(), plain);
    // The same bytes under the key text the process uses.
    const auto explicit_back = DecryptBody(*cipher, GetDefaultSessionKey().key(), plain.size());
    ASSERT_TRUE(explicit_back);
    EXPECT_EQ(explicit_back->view(), plain);
  }
}

TEST(BodyEncryption, DecryptionRefusesWhatItCannotTrust) {
  const std::string key = "0123456789ABCDEF";
  constexpr size_t kCap = 1 << 20;
  const auto cipher = EncryptBody(Buffer("payload"), key);
  ASSERT_TRUE(cipher);

  EXPECT_FALSE(DecryptBody(*cipher, "FEDCBA9876543210", kCap)) << "wrong key";
  EXPECT_FALSE(DecryptBody(*cipher, "short", kCap)) << "key not 16 bytes";
  EXPECT_FALSE(EncryptBody(Buffer("x"), "short")) << "key not 16 bytes";
  std::string torn(cipher->view());
  torn.pop_back();
  EXPECT_FALSE(DecryptBody(Buffer(torn), key, kCap)) << "last block torn";
  torn = std::string(cipher->view()) + "X";
  EXPECT_FALSE(DecryptBody(Buffer(torn), key, kCap)) << "one byte over a block";

  // 100 KB of one byte deflates to a few hundred: only the caller's cap on
  // the plain text keeps such a body from growing without bound.
  const std::string big(100000, 'z');
  const auto bomb = EncryptBody(Buffer(big), key);
  ASSERT_TRUE(bomb);
  EXPECT_LT(bomb->length(), 1000u);
  EXPECT_FALSE(DecryptBody(*bomb, key, big.size() - 1)) << "plain text over the cap";
  const auto at_cap = DecryptBody(*bomb, key, big.size());
  ASSERT_TRUE(at_cap) << "plain text exactly at the cap";
  EXPECT_EQ(at_cap->view(), big);

  const auto empty = DecryptBody(TagBuffer(), key, kCap);
  ASSERT_TRUE(empty) << "an empty ciphertext is an empty body";
  EXPECT_EQ(empty->length(), 0u);
}

}  // namespace
}  // namespace vireon
