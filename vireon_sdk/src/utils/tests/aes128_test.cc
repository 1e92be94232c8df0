#include "vireon_sdk/src/utils/aes128.h"

#include <gtest/gtest.h>

#include <string>

#include "vireon_sdk/src/report/tests/wire_test_util.h"

namespace vireon::utils {
namespace {

using vireon::testing::Bytes;
using vireon::testing::Hex;

const uint8_t* U8(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }
uint8_t* U8(std::string& s) { return reinterpret_cast<uint8_t*>(s.data()); }

TEST(Aes128, BlockCipherMatchesTheStandardsExample) {
  // FIPS-197 appendix C.1.
  const std::string key = Bytes("000102030405060708090a0b0c0d0e0f");
  const std::string plain = Bytes("00112233445566778899aabbccddeeff");
  AesKeySchedule schedule;
  AesExpandKey(U8(key), &schedule);
  std::string block = plain;
  AesEncryptBlock(schedule, U8(block));
  EXPECT_EQ(Hex(block), Hex(Bytes("69c4e0d86a7b0430d8cdb78070b4c55a")));
  AesDecryptBlock(schedule, U8(block));
  EXPECT_EQ(Hex(block), Hex(plain));
  // The key expansion example of FIPS-197 appendix A.1: first and last words.
  const std::string a1_key = Bytes("2b7e151628aed2a6abf7158809cf4f3c");
  AesExpandKey(U8(a1_key), &schedule);
  EXPECT_EQ(schedule.encrypt[4], 0xa0fafe17u);
  EXPECT_EQ(schedule.encrypt[43], 0xb6630ca6u);
}

TEST(Aes128, CbcMatchesPublishedVectors) {
  struct Case {
    const char* name;
    const char* key;
    const char* iv;
    std::string plain;
    const char* cipher;
  } cases[] = {
      {"RFC 3602 case 1", "06a9214036b8a15b512e03d534120006", "3dafba429d9eb430b422da802c9fac41",
       "Single block msg", "e353779c1079aeb82708942dbe77181a"},
      {"RFC 3602 case 2", "c286696d887c9aa0611bbb3e2025a45a", "562e17996d093d28ddb3ba695a2e6f58",
       Bytes("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f"),
       "d296cd94c2cccf8a3a863028b5e1dc0a7586602d253cfff91b8266bea6d61ab1"},
      {"SP 800-38A F.2.1", "2b7e151628aed2a6abf7158809cf4f3c", "000102030405060708090a0b0c0d0e0f",
       Bytes("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
             "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710"),
       "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
       "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string key = Bytes(c.key), iv = Bytes(c.iv);
    std::string data = c.plain;
    ASSERT_TRUE(AesCbcEncrypt(U8(key), U8(iv), U8(data), data.size()));
    EXPECT_EQ(Hex(data), Hex(Bytes(c.cipher)));
    ASSERT_TRUE(AesCbcDecrypt(U8(key), U8(iv), U8(data), data.size()));
    EXPECT_EQ(Hex(data), Hex(c.plain));
  }
}

TEST(Aes128, CbcRefusesPartialBlocksAndLeavesThemAlone) {
  const std::string key(16, 'k');
  for (size_t length : {1u, 15u, 17u, 31u}) {
    SCOPED_TRACE(length);
    std::string data(length, 'd');
    EXPECT_FALSE(AesCbcEncrypt(U8(key), U8(key), U8(data), data.size()));
    EXPECT_FALSE(AesCbcDecrypt(U8(key), U8(key), U8(data), data.size()));
    EXPECT_EQ(data, std::string(length, 'd'));
  }
  std::string empty;
  EXPECT_TRUE(AesCbcEncrypt(U8(key), U8(key), U8(empty), 0));
}

}  // namespace
}  // namespace vireon::utils
