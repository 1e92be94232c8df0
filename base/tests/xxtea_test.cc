#include "base/xxtea.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "base/base64.h"

namespace base {
namespace {

using namespace std::literals;

// Expected texts come from an independent implementation of the cipher
// (checked against the published all-zero vector 053704ab 575d8c80).
struct KnownVector {
  std::string key;
  std::string plaintext;
  std::string base64;
};

const KnownVector kKnownVectors[] = {
    {"1234567890abcdef", "hello", "4GvDLwHNhw6s8aAP"},
    {"key", "a", "5paUu5QwJBM="},
    {"0123456789abcdef0123", "The quick brown fox jumps over the lazy dog",
     "1l/HiJRd4ZaKvi1DHyK3qWDY3v5Ee0TkqTzc1MXQAQlYTlRtW+g+Ds8u5sOJH59R"},
    {"abc", "x\0y\0z"s, "LIFwQXf0UCre/byC"},
    {"d41d8cd98f00b204e9800998ecf8427e", R"({"channel_id":2000})", "AfZZ1c1Ko7p1xW0a2e9GY2qLBYezrLft"},
    {"", "abcd", "dMaL4lUXr0s="},
};

TEST(XxteaTest, MatchesKnownVectorsBothWays) {
  for (const KnownVector& v : kKnownVectors) {
    SCOPED_TRACE(v.base64);
    EXPECT_EQ(XxteaBase64Encrypt(v.key, v.plaintext), v.base64);
    EXPECT_EQ(XxteaBase64Decrypt(v.key, v.base64), v.plaintext);
  }
}

TEST(XxteaTest, CiphertextIsDataWordsPlusLengthWord) {
  const struct {
    std::size_t plain;
    std::size_t cipher;
    std::size_t base64;
  } cases[] = {{1, 8, 12}, {4, 8, 12}, {5, 12, 16}, {8, 12, 16}, {9, 16, 24}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.plain);
    const std::string data(c.plain, 'x');
    const std::optional<std::string> cipher = XxteaEncrypt(data, "k");
    ASSERT_TRUE(cipher);
    EXPECT_EQ(cipher->size(), c.cipher);
    EXPECT_EQ(cipher->c_str()[cipher->size()], '\0');
    EXPECT_EQ(XxteaBase64Encrypt("k", data).size(), c.base64);
  }
  EXPECT_EQ(XxteaBase64Encrypt("k", "12345").find('='), std::string::npos);
  EXPECT_TRUE(XxteaBase64Encrypt("k", "1").ends_with("="));
}

TEST(XxteaTest, RoundTripKeepsEveryByte) {
  std::string binary;
  for (int i = 0; i < 300; ++i) binary.push_back(static_cast<char>(i * 7));
  for (std::size_t length : {1u, 2u, 3u, 4u, 5u, 7u, 8u, 31u, 100u, 300u}) {
    SCOPED_TRACE(length);
    const std::string data = binary.substr(0, length);
    const std::optional<std::string> cipher = XxteaEncrypt(data, "device-id-text");
    ASSERT_TRUE(cipher);
    EXPECT_EQ(XxteaDecrypt(*cipher, "device-id-text"), data);
    EXPECT_EQ(XxteaBase64Decrypt("device-id-text", XxteaBase64Encrypt("device-id-text", data)), data);
  }
}

TEST(XxteaTest, KeyIsFirstSixteenBytesUpToZero) {
  const std::string cipher = XxteaBase64Encrypt("abc", "payload");
  EXPECT_EQ(XxteaBase64Encrypt("abc\0xyz"s, "payload"), cipher);
  EXPECT_EQ(XxteaBase64Decrypt("abc\0other"s, cipher), "payload");

  const std::string long_key = XxteaBase64Encrypt("0123456789abcdefTAIL", "payload");
  EXPECT_EQ(XxteaBase64Encrypt("0123456789abcdefOTHER", "payload"), long_key);
  EXPECT_EQ(XxteaBase64Encrypt("0123456789abcdef", "payload"), long_key);
  EXPECT_NE(XxteaBase64Encrypt("0123456789abcdeX", "payload"), long_key);
}

TEST(XxteaTest, WrongKeyIsRejected) {
  int accepted = 0;
  for (int i = 0; i < 200; ++i) {
    const std::string text = XxteaBase64Encrypt("right key", "secret value " + std::to_string(i));
    if (!XxteaBase64Decrypt("wrong key " + std::to_string(i), text).empty()) ++accepted;
  }
  EXPECT_EQ(accepted, 0);
}

TEST(XxteaTest, BadInputGivesEmpty) {
  EXPECT_FALSE(XxteaEncrypt("", "k"));
  EXPECT_FALSE(XxteaDecrypt("", "k"));
  EXPECT_FALSE(XxteaDecrypt("abcd", "k"));  // one word: no room for data and length
  EXPECT_EQ(XxteaBase64Encrypt("k", ""), "");

  const std::string_view bad_texts[] = {
      "", "abcde", "QUJD", "5paU", "5paUu5QwJBM", "5paUu5Qw JBM=", "5paUu5Qw=BM=", "5paU=5QwJBM=",
      "5paUu5QwJB==", "========", "5paUu5Qw*BM="};
  for (const std::string_view text : bad_texts) {
    SCOPED_TRACE(text);
    EXPECT_EQ(XxteaBase64Decrypt("key", text), "");
  }
  // The text ends at its first zero byte.
  EXPECT_EQ(XxteaBase64Decrypt("key", "5paUu5QwJBM=\0garbage"s), "a");
  EXPECT_EQ(XxteaBase64Decrypt("key", "5paUu5\0QwJBM="s), "");
}

TEST(Base64Test, MatchesRfc4648Vectors) {
  const struct {
    std::string_view bytes;
    std::string_view text;
  } cases[] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},        {"foo", "Zm9v"},
               {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"\xff\xfe\x00"sv, "//4A"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Base64Encode(c.bytes), c.text);
    EXPECT_EQ(Base64Decode(c.text), std::string(c.bytes));
  }
}

}  // namespace
}  // namespace base
