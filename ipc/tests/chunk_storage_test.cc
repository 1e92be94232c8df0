// Chunk storages are machine-wide by size class. These cases use classes of
// their own (no other test sends messages of these sizes) under the lock
// "ipc_chunk_classes", so each starts from a fresh storage.
#include "ipc/chunk_storage.h"

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "ipc/shm_segment.h"

namespace ipc {
namespace {

// One class per case: messages of n * 1024 + 500 bytes have class (n + 1) * 1024.
uint64_t SizeOfClass(uint64_t n) { return n * 1024 + 500; }

TEST(ChunkStorageTest, SizeClasses) {
  EXPECT_EQ(ChunkSizeClass(65), 1024u);
  EXPECT_EQ(ChunkSizeClass(1016), 1024u);
  EXPECT_EQ(ChunkSizeClass(1017), 2048u);
  EXPECT_EQ(StorageSize(1024), 32808u);
  EXPECT_EQ(StorageSize(2048), 65576u);
  // Up to the class of a 1 MiB message, whose storage is about 32 MiB.
  EXPECT_TRUE(HasChunkClass(1ull << 20));
  EXPECT_TRUE(HasChunkClass((1ull << 20) + 1016));
  EXPECT_FALSE(HasChunkClass((1ull << 20) + 1017));
  EXPECT_FALSE(HasChunkClass(64ull << 20));
  EXPECT_EQ(chunk_storages(ChunkSizeClass(64ull << 20)), nullptr);
}

TEST(ChunkStorageTest, StorageIsTheNamedGlobalSegment) {
  const uint64_t size_class = ChunkSizeClass(SizeOfClass(301));
  auto* base = static_cast<uint8_t*>(chunk_storages(size_class));
  ASSERT_NE(base, nullptr);
  ShmHandle other(true);
  ASSERT_TRUE(other.Acquire("__CHUNK_INFO__" + std::to_string(size_class), 4));
  EXPECT_GE(other.mapped_size(), StorageSize(size_class));
  const AcquiredChunk chunk = AcquireStorage(SizeOfClass(301), 1);
  ASSERT_NE(chunk.data, nullptr);
  static_cast<uint8_t*>(chunk.data)[0] = 0x5A;
  EXPECT_EQ(static_cast<uint8_t*>(other.view())[kStorageHeaderSize + chunk.id * size_class + kChunkHeaderSize], 0x5A);
  ReturnUnsentChunk(chunk.id, SizeOfClass(301));
}

TEST(ChunkStorageTest, ThirtyTwoChunksThenNoneAndTheLastReturnedComesFirst) {
  const uint64_t size = SizeOfClass(302);
  std::vector<int32_t> ids;
  for (int i = 0; i < kChunksPerStorage; ++i) {
    const AcquiredChunk chunk = AcquireStorage(size, 1);
    ASSERT_NE(chunk.data, nullptr) << i;
    EXPECT_EQ(chunk.id, i);
    ids.push_back(chunk.id);
  }
  EXPECT_EQ(AcquireStorage(size, 1).data, nullptr);
  ReturnUnsentChunk(7, size);
  EXPECT_EQ(AcquireStorage(size, 1).id, 7);
  for (int32_t id : ids) ReturnUnsentChunk(id, size);
  EXPECT_EQ(CountFreeChunks(ChunkSizeClass(size)), kChunksPerStorage);
}

TEST(ChunkStorageTest, FreedWhenTheLastReceiverLetsGo) {
  const uint64_t size = SizeOfClass(303);
  const AcquiredChunk chunk = AcquireStorage(size, 0);
  SetChunkReaders(chunk.id, size, 0b11);
  recycle_storage(new ChunkRelease{chunk.id, 0b01}, size);
  EXPECT_EQ(CountFreeChunks(ChunkSizeClass(size)), kChunksPerStorage - 1);
  recycle_storage(new ChunkRelease{chunk.id, 0b10}, size);
  EXPECT_EQ(CountFreeChunks(ChunkSizeClass(size)), kChunksPerStorage);
}

TEST(ChunkStorageTest, OverwriteKeepsAChunkThatAReceiverStillHolds) {
  const uint64_t size = SizeOfClass(304);
  const AcquiredChunk chunk = AcquireStorage(size, 0);
  SetChunkReaders(chunk.id, size, 0b111);
  // Receiver 1 took the element and reads the chunk in place; receivers 2
  // and 3 never took it when its ring element is overwritten.
  release_storage(chunk.id, size, 0b110);
  EXPECT_EQ(CountFreeChunks(ChunkSizeClass(size)), kChunksPerStorage - 1);
  const AcquiredChunk other = AcquireStorage(size, 0);
  EXPECT_NE(other.id, chunk.id) << "a chunk still being read was handed out again";
  recycle_storage(new ChunkRelease{chunk.id, 0b001}, size);
  EXPECT_EQ(CountFreeChunks(ChunkSizeClass(size)), kChunksPerStorage - 1);
  ReturnUnsentChunk(other.id, size);
  EXPECT_EQ(CountFreeChunks(ChunkSizeClass(size)), kChunksPerStorage);
}

TEST(ChunkStorageTest, ReleasingTwiceFreesOnce) {
  const uint64_t size = SizeOfClass(305);
  const AcquiredChunk chunk = AcquireStorage(size, 0);
  SetChunkReaders(chunk.id, size, 0b1);
  recycle_storage(new ChunkRelease{chunk.id, 0b1}, size);
  recycle_storage(new ChunkRelease{chunk.id, 0b1}, size);
  release_storage(chunk.id, size, 0b1);
  testing::internal::CaptureStderr();
  ReturnUnsentChunk(chunk.id, size);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("is free already"), std::string::npos) << err;
  EXPECT_EQ(CountFreeChunks(ChunkSizeClass(size)), kChunksPerStorage);
  // Every chunk can be had once, none twice.
  std::vector<int32_t> seen;
  for (int i = 0; i < kChunksPerStorage; ++i) seen.push_back(AcquireStorage(size, 0).id);
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end());
  for (int32_t id : seen) ReturnUnsentChunk(id, size);
}

TEST(ChunkStorageTest, IdsFromSharedMemoryAreChecked) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(find_storage(-1, 100), nullptr);
  EXPECT_EQ(find_storage(32, 100), nullptr);
  recycle_storage(new ChunkRelease{40, 1}, 100);
  release_storage(-3, 100, 1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("[find_storage] id is invalid: id = -1"), std::string::npos) << err;
  EXPECT_NE(err.find("[recycle_storage] id is invalid: id = 40"), std::string::npos) << err;
  EXPECT_NE(err.find("[release_storage] id is invalid: id = -3"), std::string::npos) << err;
}

}  // namespace
}  // namespace ipc
