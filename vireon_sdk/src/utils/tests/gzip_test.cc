#include "vireon_sdk/src/utils/gzip.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>

namespace vireon::utils {
namespace {

std::string Compressed(const std::string& plain) {
  std::string out;
  EXPECT_EQ(GzipCompress(plain.data(), plain.size(), &out), 1);
  return out;
}

TEST(Gzip, RoundTripsThroughMoreThanOneOutputWindow) {
  std::mt19937 random(1);
  std::string noise(100000, '\0');
  for (auto& c : noise) c = static_cast<char>(random());
  std::string repetitive;
  while (repetitive.size() < 2000000) repetitive += "installer_download_start|";
  for (const std::string& plain : {std::string(), std::string("a"), noise, repetitive}) {
    SCOPED_TRACE(plain.size());
    const std::string packed = Compressed(plain);
    ASSERT_GE(packed.size(), 18u);
    EXPECT_EQ(static_cast<uint8_t>(packed[0]), 0x1F);  // gzip member, deflate
    EXPECT_EQ(static_cast<uint8_t>(packed[1]), 0x8B);
    EXPECT_EQ(packed[2], 8);
    std::string back = "prefix:";
    ASSERT_EQ(GzipDecompress(packed.data(), packed.size(), &back), 0);
    EXPECT_EQ(back, "prefix:" + plain) << "appends to what the output held";
  }
}

TEST(Gzip, EachCompressionStartsFromAFreshStateOnEveryThread) {
  const std::string a(5000, 'a'), b = "bbbbbbbbbbbbbbbbbbbb and then some other text";
  const std::string first = Compressed(a);
  const std::string other = Compressed(b);
  EXPECT_EQ(Compressed(a), first) << "nothing of the previous body may carry over";
  std::string from_thread;
  std::thread([&] { from_thread = Compressed(a); }).join();
  EXPECT_EQ(from_thread, first);
  std::string back;
  ASSERT_EQ(GzipDecompress(other.data(), other.size(), &back), 0);
  EXPECT_EQ(back, b);
}

TEST(Gzip, DecompressionStopsAtTheEndOfTheMemberOrTheInput) {
  std::string plain;
  for (int i = 0; i < 5000; ++i) plain += std::to_string(i * 7919 % 10007);
  const std::string packed = Compressed(plain);

  // Cipher padding after the member is ignored.
  std::string padded = packed + std::string(13, '\x0D');
  std::string out;
  ASSERT_EQ(GzipDecompress(padded.data(), padded.size(), &out), 0);
  EXPECT_EQ(out, plain);

  // Input that stops early yields what it held.
  out.clear();
  ASSERT_EQ(GzipDecompress(packed.data(), packed.size() / 2, &out), 0);
  EXPECT_FALSE(out.empty());
  EXPECT_LT(out.size(), plain.size());
  EXPECT_EQ(out, plain.substr(0, out.size()));
}

TEST(Gzip, CorruptOrOversizedDataFails) {
  const std::string packed = Compressed(std::string(1 << 20, 'z'));  // ~1 KiB inflating to 1 MiB
  std::string out;
  EXPECT_EQ(GzipDecompress("not gzip at all", 15, &out), -1);
  std::string corrupt = packed;
  corrupt[12] = static_cast<char>(corrupt[12] ^ 0xFF);
  corrupt[13] = static_cast<char>(corrupt[13] ^ 0xFF);
  EXPECT_EQ(GzipDecompress(corrupt.data(), corrupt.size(), &out), -1);
  // A small input must not inflate past the caller's cap.
  out.clear();
  EXPECT_EQ(GzipDecompress(packed.data(), packed.size(), &out, 64 * 1024), -1);
  EXPECT_LE(out.size(), 64u * 1024);
  out.clear();
  EXPECT_EQ(GzipDecompress(packed.data(), packed.size(), &out, 1 << 20), 0);
  EXPECT_EQ(out.size(), 1u << 20);
}

}  // namespace
}  // namespace vireon::utils
