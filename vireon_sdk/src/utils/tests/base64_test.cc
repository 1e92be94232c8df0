#include "vireon_sdk/src/utils/base64.h"

#include <gtest/gtest.h>

#include <string>

namespace vireon::utils {
namespace {

TEST(Base64, EncodesAndDecodesTheRfc4648Vectors) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
      {std::string("\x00\xFF\xFE\x3F", 4), "AP/+Pw=="},
  };
  for (const auto& [plain, text] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Base64Encode(plain.data(), plain.size()), text);
    EXPECT_EQ(Base64Decode(text), plain);
  }
}

TEST(Base64, A128ByteCiphertextIs172CharactersEndingInOnePad) {
  std::string bytes(128, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 37);
  const std::string text = Base64Encode(bytes.data(), bytes.size());
  EXPECT_EQ(text.size(), 172u);
  EXPECT_EQ(text[171], '=');  // 128 = 42 * 3 + 2: one "=" of padding
  EXPECT_NE(text[170], '=');
  EXPECT_EQ(Base64Decode(text), bytes);
}

TEST(Base64, DecodeRefusesMalformedText) {
  for (const char* text : {"Zg=", "Zg", "Z===", "Zg=a", "Zm9v!A==", "Zm9v Yg==", "=Zm9", "Zg==Zg=="}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(Base64Decode(text));
  }
}

}  // namespace
}  // namespace vireon::utils
