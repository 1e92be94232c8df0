#include "base/guid_string.h"

#include <cctype>
#include <string>

#include <gtest/gtest.h>

namespace base {
namespace {

TEST(GuidStringTest, KnownGuidInUpperCaseWithoutBraces) {
  const GUID guid = {0x01234567, 0x89AB, 0x0DEF, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};
  EXPECT_EQ(FormatGuid(guid), "01234567-89AB-0DEF-0123-456789ABCDEF");
  EXPECT_EQ(FormatGuid(GUID{}), "00000000-0000-0000-0000-000000000000");
}

TEST(GuidStringTest, FreshGuidsHaveTheShapeAndDiffer) {
  const std::string first = NewGuidString();
  const std::string second = NewGuidString();
  EXPECT_NE(first, second);
  for (const std::string& text : {first, second}) {
    ASSERT_EQ(text.size(), 36u);
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (i == 8 || i == 13 || i == 18 || i == 23) {
        EXPECT_EQ(text[i], '-') << text;
      } else {
        EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(text[i])) && !std::islower(static_cast<unsigned char>(text[i])))
            << text;
      }
    }
  }
}

}  // namespace
}  // namespace base
