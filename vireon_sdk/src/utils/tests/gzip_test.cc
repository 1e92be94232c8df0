#include "vireon_sdk/src/utils/gzip.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

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

// Socket and worker threads of the telemetry client pack bodies and end when
// the transport stops; a thread that compressed must end cleanly, whatever
// else the process allocates meanwhile (here: small blocks filled with a
// pattern, over and over, on other threads). The rounds run in a child
// process: a thread that faults while it ends takes the whole process down,
// and only the child's exit code and last line tell that it got through.
void CompressOnThreadsThatEnd() {
  const std::string plain(20000, 'x');
  const std::string expected = Compressed(plain);
  std::atomic<bool> done{false};
  std::vector<std::thread> churn;
  for (int i = 0; i < 2; ++i) {
    churn.emplace_back([&] {
      std::vector<std::unique_ptr<char[]>> blocks(64);
      for (size_t n = 0; !done; ++n) {
        auto& block = blocks[n % blocks.size()];
        block.reset(new char[64 + n % 192]);
        std::memset(block.get(), 0xA5, 64 + n % 192);
      }
    });
  }
  for (int round = 0; round < 100; ++round) {
    std::string results[8];
    std::vector<std::thread> threads;
    for (auto& result : results) threads.emplace_back([&] { result = Compressed(plain); });
    for (auto& thread : threads) thread.join();
    for (const auto& result : results) {
      if (result != expected) {
        std::fprintf(stderr, "round %d compressed differently\n", round);
        std::exit(1);
      }
    }
  }
  done = true;
  for (auto& thread : churn) thread.join();
  std::fprintf(stderr, "all threads ended\n");
  std::fflush(stderr);
  std::exit(0);
}

TEST(Gzip, ThreadsThatCompressedEndCleanly) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(CompressOnThreadsThatEnd(), testing::ExitedWithCode(0), "all threads ended");
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
