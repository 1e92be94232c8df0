#include "ui_toolkit/core/ui_ptr_array.h"

#include <gtest/gtest.h>

#include <vector>

namespace SkinUI {
namespace {

void* P(int n) { return reinterpret_cast<void*>(static_cast<intptr_t>(n)); }

std::vector<void*> Contents(const CUiPtrArray& a) {
  std::vector<void*> v;
  for (int i = 0; i < a.GetSize(); ++i) v.push_back(a.GetAt(i));
  return v;
}

TEST(UiPtrArrayTest, GrowthKeepsAFreeSlot) {
  CUiPtrArray a;
  EXPECT_EQ(0, a.GetCapacity());
  EXPECT_TRUE(a.IsEmpty());
  struct Step {
    int count;
    int capacity;
  } steps[] = {{1, 11}, {10, 11}, {11, 22}, {21, 22}, {22, 44}, {43, 44}, {44, 88}};
  int added = 0;
  for (const Step& s : steps) {
    while (added < s.count) ASSERT_TRUE(a.Add(P(++added)));
    EXPECT_EQ(s.count, a.GetSize());
    EXPECT_EQ(s.capacity, a.GetCapacity()) << "count " << s.count;
  }
  for (int i = 0; i < a.GetSize(); ++i) EXPECT_EQ(P(i + 1), a.GetAt(i));
}

TEST(UiPtrArrayTest, InitialCapacityAndCopy) {
  CUiPtrArray a(5);
  EXPECT_EQ(5, a.GetCapacity());
  EXPECT_EQ(0, a.GetSize());
  for (int i = 1; i <= 5; ++i) a.Add(P(i));
  EXPECT_EQ(10, a.GetCapacity());
  CUiPtrArray b(a);
  EXPECT_EQ(Contents(a), Contents(b));
  CUiPtrArray c;
  c.Add(P(99));
  c = a;
  EXPECT_EQ(Contents(a), Contents(c));
}

TEST(UiPtrArrayTest, InsertRemoveSetBounds) {
  CUiPtrArray a;
  EXPECT_TRUE(a.InsertAt(0, P(2)));
  EXPECT_TRUE(a.InsertAt(1, P(4)));  // index == count appends
  EXPECT_FALSE(a.InsertAt(3, P(5)));  // count + 1
  EXPECT_FALSE(a.InsertAt(-1, P(5)));
  EXPECT_TRUE(a.InsertAt(0, P(1)));
  EXPECT_TRUE(a.InsertAt(2, P(3)));
  EXPECT_EQ((std::vector<void*>{P(1), P(2), P(3), P(4)}), Contents(a));
  EXPECT_FALSE(a.RemoveAt(4));
  EXPECT_FALSE(a.RemoveAt(-1));
  EXPECT_TRUE(a.RemoveAt(1));
  EXPECT_EQ((std::vector<void*>{P(1), P(3), P(4)}), Contents(a));
  EXPECT_FALSE(a.SetAt(3, P(9)));
  EXPECT_TRUE(a.SetAt(2, P(9)));
  EXPECT_EQ(P(9), a.GetAtOrNull(2));
  EXPECT_EQ(nullptr, a.GetAtOrNull(3));
  EXPECT_EQ(nullptr, a.GetAtOrNull(-1));
  EXPECT_EQ(1, a.Find(P(3)));
  EXPECT_EQ(-1, a.Find(P(7)));
}

TEST(UiPtrArrayTest, InsertGrowsLikeAdd) {
  CUiPtrArray a;
  for (int i = 0; i < 30; ++i) ASSERT_TRUE(a.InsertAt(0, P(i)));
  EXPECT_EQ(30, a.GetSize());
  EXPECT_EQ(44, a.GetCapacity());
  EXPECT_EQ(P(29), a.GetAt(0));
  EXPECT_EQ(P(0), a.GetAt(29));
}

TEST(UiPtrArrayTest, EmptyAndResize) {
  CUiPtrArray a;
  for (int i = 0; i < 5; ++i) a.Add(P(i + 1));
  a.Resize(3);
  EXPECT_EQ(3, a.GetSize());
  EXPECT_EQ(3, a.GetCapacity());
  EXPECT_EQ((std::vector<void*>{nullptr, nullptr, nullptr}), Contents(a));
  // A resized array is full to its capacity; adding must still grow it.
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(a.Add(P(i)));
  EXPECT_EQ(23, a.GetSize());
  EXPECT_GT(a.GetCapacity(), 23);
  EXPECT_EQ(P(19), a.GetAt(22));
  a.Empty();
  EXPECT_EQ(0, a.GetSize());
  EXPECT_EQ(0, a.GetCapacity());
  a.Resize(-4);
  EXPECT_TRUE(a.IsEmpty());
  EXPECT_TRUE(a.Add(P(1)));
}

}  // namespace
}  // namespace SkinUI
