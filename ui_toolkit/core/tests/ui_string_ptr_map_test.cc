#include "ui_toolkit/core/ui_string_ptr_map.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace SkinUI {
namespace {

void* P(int n) { return reinterpret_cast<void*>(static_cast<intptr_t>(n)); }

std::vector<std::wstring> Keys(const CUiStringPtrMap& m) {
  std::vector<std::wstring> keys;
  for (int i = 0; i < m.GetSize(); ++i) keys.push_back(m.GetKeyAt(i));
  return keys;
}

// h = h * 33 + c over the characters from the last to the first.
unsigned Hash(const std::wstring& key) {
  unsigned h = 0;
  for (auto it = key.rbegin(); it != key.rend(); ++it) h = h * 33 + *it;
  return h;
}

TEST(UiStringPtrMapTest, BucketCountHasAMinimumOfSixteen) {
  EXPECT_EQ(16, CUiStringPtrMap(5).GetBucketCount());
  EXPECT_EQ(83, CUiStringPtrMap().GetBucketCount());
  CUiStringPtrMap m(5);
  m.Resize(3);  // no minimum here
  EXPECT_EQ(3, m.GetBucketCount());
}

TEST(UiStringPtrMapTest, InsertFindSetRemove) {
  CUiStringPtrMap m;
  EXPECT_EQ(nullptr, m.Find(L"a"));
  EXPECT_TRUE(m.Insert(L"Name", P(1)));
  EXPECT_TRUE(m.Insert(L"name", P(2)));  // keys are case-sensitive
  EXPECT_FALSE(m.Insert(L"Name", P(3)));
  EXPECT_EQ(2, m.GetSize());
  EXPECT_EQ(P(1), m.Find(L"Name"));
  EXPECT_EQ(P(2), m.Find(L"name"));
  EXPECT_EQ(nullptr, m.Find(L"NAME"));
  EXPECT_EQ(P(1), m.Set(L"Name", P(4)));  // the replaced value goes back
  EXPECT_EQ(nullptr, m.Set(L"new", P(5)));
  EXPECT_EQ(3, m.GetSize());
  EXPECT_EQ(P(4), m.Find(L"Name"));
  EXPECT_TRUE(m.Remove(L"name"));
  EXPECT_FALSE(m.Remove(L"name"));
  EXPECT_EQ(nullptr, m.Find(L"name"));
  EXPECT_EQ(2, m.GetSize());
  m.RemoveAll();
  EXPECT_EQ(0, m.GetSize());
  EXPECT_EQ(83, m.GetBucketCount());
  EXPECT_TRUE(m.Insert(L"again", P(6)));
}

TEST(UiStringPtrMapTest, WithoutBucketsNothingIsStored) {
  CUiStringPtrMap m;
  m.Insert(L"a", P(1));
  m.Resize(0);
  EXPECT_EQ(0, m.GetSize());
  EXPECT_FALSE(m.Insert(L"a", P(1)));
  EXPECT_EQ(P(7), m.Set(L"a", P(7)));
  EXPECT_EQ(nullptr, m.Find(L"a"));
  EXPECT_FALSE(m.Remove(L"a"));
  EXPECT_EQ(nullptr, m.GetKeyAt(0));
}

TEST(UiStringPtrMapTest, IterationRunsFromLastBucketAndChainHeads) {
  CUiStringPtrMap m(16);
  // Keys chosen so that two share a bucket: with 16 buckets the bucket is
  // the hash's low four bits.
  std::vector<std::wstring> keys = {L"a", L"b", L"q"};  // 'a' = 97, 'q' = 113: both bucket 1
  ASSERT_EQ(Hash(L"a") % 16, Hash(L"q") % 16);
  for (size_t i = 0; i < keys.size(); ++i) m.Insert(keys[i].c_str(), P(static_cast<int>(i)));
  // Bucket 2 ("b") comes before bucket 1, where "q" was inserted last and so heads the chain.
  EXPECT_EQ((std::vector<std::wstring>{L"b", L"q", L"a"}), Keys(m));
  m.Find(L"a", false);  // no reordering
  EXPECT_EQ((std::vector<std::wstring>{L"b", L"q", L"a"}), Keys(m));
  m.Find(L"a");  // moves to the front of its chain
  EXPECT_EQ((std::vector<std::wstring>{L"b", L"a", L"q"}), Keys(m));
  EXPECT_EQ(nullptr, m.GetKeyAt(3));
  EXPECT_EQ(nullptr, m.GetKeyAt(-1));
}

TEST(UiStringPtrMapTest, ManyKeysSurviveReorderingAndRemoval) {
  CUiStringPtrMap m;
  for (int i = 0; i < 1000; ++i) ASSERT_TRUE(m.Insert(std::to_wstring(i).c_str(), P(i + 1)));
  for (int i = 999; i >= 0; i -= 3) ASSERT_EQ(P(i + 1), m.Find(std::to_wstring(i).c_str()));
  for (int i = 0; i < 1000; i += 2) ASSERT_TRUE(m.Remove(std::to_wstring(i).c_str()));
  EXPECT_EQ(500, m.GetSize());
  std::set<std::wstring> seen;
  for (const auto& k : Keys(m)) seen.insert(k);
  EXPECT_EQ(500u, seen.size());
  for (int i = 1; i < 1000; i += 2) EXPECT_EQ(1u, seen.count(std::to_wstring(i)));
}

}  // namespace
}  // namespace SkinUI
