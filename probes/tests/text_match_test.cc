#include "probes/text_match.h"

#include <gtest/gtest.h>

namespace probes {
namespace {

TEST(TextMatchTest, AsciiLettersMatchWhateverTheirCase) {
  EXPECT_TRUE(WStringContainsNoCase(L"ZEPHRISSTORE.EXE", L"ZephrisStore"));
  EXPECT_TRUE(WStringContainsNoCase(L"my_zephrisstore_helper.exe", L"ZephrisStore"));
  EXPECT_FALSE(WStringContainsNoCase(L"zephris_install.exe", L"ZephrisStore"));
  EXPECT_TRUE(StringContainsNoCase("Advanced Micro Devices, Inc. (amd)", "AMD"));
  EXPECT_FALSE(StringContainsNoCase("GeForce", "NVIDIA"));
}

TEST(TextMatchTest, OtherLettersMatchOnlyInTheSameCase) {
  EXPECT_TRUE(WStringContainsNoCase(L"Ärger", L"Ärger"));
  EXPECT_FALSE(WStringContainsNoCase(L"ärger", L"Ärger"));
  EXPECT_FALSE(StringContainsNoCase("\xC3\xA4rger", "\xC3\x84rger"));
}

TEST(TextMatchTest, EmptyAndLongFragments) {
  EXPECT_TRUE(WStringContainsNoCase(L"", L""));
  EXPECT_TRUE(WStringContainsNoCase(L"abc", L""));
  EXPECT_FALSE(WStringContainsNoCase(L"abc", L"abcd"));
  EXPECT_FALSE(StringContainsNoCase("", "a"));
}

}  // namespace
}  // namespace probes
