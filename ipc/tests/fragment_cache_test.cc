#include "ipc/fragment_cache.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace ipc {
namespace {

constexpr uint64_t kMax = 1 << 20;

// The elements a sender makes of a message: (remain, 64 data bytes).
std::vector<std::pair<int32_t, std::vector<uint8_t>>> Fragments(const std::string& message) {
  std::vector<std::pair<int32_t, std::vector<uint8_t>>> out;
  const auto size = static_cast<int64_t>(message.size());
  for (int64_t offset = 0; offset < size; offset += 64) {
    std::vector<uint8_t> data(64, 0);
    std::memcpy(data.data(), message.data() + offset, static_cast<size_t>(std::min<int64_t>(64, size - offset)));
    out.emplace_back(static_cast<int32_t>(size - 64 - offset), data);
  }
  return out;
}

std::string Text(const ShmBuffer& buffer) {
  return std::string(static_cast<const char*>(buffer.data()), static_cast<size_t>(buffer.size()));
}

std::string Message(size_t size, char seed) {
  std::string message(size, '\0');
  for (size_t i = 0; i < size; ++i) message[i] = static_cast<char>(seed + i * 7);
  return message;
}

TEST(FragmentCacheTest, JoinsInterleavedMessages) {
  FragmentCache cache;
  const std::string first = Message(200, 'a');
  const std::string second = Message(128, 'q');
  const auto a = Fragments(first);
  const auto b = Fragments(second);
  ShmBuffer out;
  EXPECT_EQ(cache.Add(1, a[0].first, a[0].second.data(), true, kMax, &out), FragmentCache::Outcome::kPending);
  EXPECT_EQ(cache.Add(2, b[0].first, b[0].second.data(), true, kMax, &out), FragmentCache::Outcome::kPending);
  EXPECT_EQ(cache.Add(1, a[1].first, a[1].second.data(), true, kMax, &out), FragmentCache::Outcome::kPending);
  ASSERT_EQ(cache.Add(2, b[1].first, b[1].second.data(), true, kMax, &out), FragmentCache::Outcome::kComplete);
  EXPECT_EQ(Text(out), second);
  EXPECT_EQ(cache.Add(1, a[2].first, a[2].second.data(), true, kMax, &out), FragmentCache::Outcome::kPending);
  ASSERT_EQ(cache.Add(1, a[3].first, a[3].second.data(), true, kMax, &out), FragmentCache::Outcome::kComplete);
  EXPECT_EQ(Text(out), first);
  EXPECT_EQ(cache.size(), 0u);
}

TEST(FragmentCacheTest, MessageWithAMissingFragmentIsDropped) {
  FragmentCache cache;
  const auto parts = Fragments(Message(300, 'x'));
  ShmBuffer out;
  cache.Add(5, parts[0].first, parts[0].second.data(), true, kMax, &out);
  cache.Add(5, parts[1].first, parts[1].second.data(), true, kMax, &out);
  EXPECT_EQ(cache.Add(5, parts[3].first, parts[3].second.data(), true, kMax, &out), FragmentCache::Outcome::kDropped);
  EXPECT_EQ(cache.Add(5, parts[4].first, parts[4].second.data(), true, kMax, &out), FragmentCache::Outcome::kDropped);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(cache.size(), 0u);
}

TEST(FragmentCacheTest, TailOfAMessageWhoseStartWasNotSeenIsNotDelivered) {
  FragmentCache cache;
  const auto parts = Fragments(Message(300, 'x'));
  ShmBuffer out;
  // A middle fragment may not open an entry when the caller says so (the
  // message was numbered before the receiver joined).
  EXPECT_EQ(cache.Add(9, parts[2].first, parts[2].second.data(), false, kMax, &out), FragmentCache::Outcome::kDropped);
  EXPECT_EQ(cache.Add(9, parts[4].first, parts[4].second.data(), true, kMax, &out), FragmentCache::Outcome::kDropped);
  EXPECT_TRUE(out.empty());
}

TEST(FragmentCacheTest, OversizedFirstFragmentIsRefused) {
  FragmentCache cache;
  uint8_t data[64] = {};
  ShmBuffer out;
  EXPECT_EQ(cache.Add(1, 0x7FFFFF00, data, true, kMax, &out), FragmentCache::Outcome::kDropped);
  EXPECT_EQ(cache.size(), 0u);
}

TEST(FragmentCacheTest, PrunesFarIdsWhenCrowded) {
  FragmentCache cache;
  uint8_t data[64] = {};
  ShmBuffer out;
  for (uint32_t id = 0; id <= FragmentCache::kPruneAbove; ++id) cache.Add(id, 100, data, true, kMax, &out);
  EXPECT_EQ(cache.size(), FragmentCache::kPruneAbove + 1);
  cache.Add(20000, 100, data, true, kMax, &out);
  EXPECT_EQ(cache.size(), 1u);
  EXPECT_TRUE(cache.Contains(20000));
}

}  // namespace
}  // namespace ipc
