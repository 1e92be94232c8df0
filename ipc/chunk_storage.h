// Chunk storages: a message longer than one ring element is copied once
// into a chunk of a shared storage of its size class, and the ring element
// carries only the chunk id. A storage is the Global segment
// "__CHUNK_INFO__<class>" of 32 equal chunks behind a 40-byte header that
// holds the free list and its spin lock; every chunk starts with the mask of
// the ring receivers that still have to give the message back.
//
// A chunk goes back on the free list exactly once: when the last of the
// receivers it was published to has dropped it, each receiver bit being
// dropped either by that receiver (after reading) or, for receivers that
// never took the element, by the writer that overwrites the ring element.
#pragma once

#include <cstdint>

namespace ipc {

constexpr int32_t kChunksPerStorage = 32;
constexpr uint64_t kChunkHeaderSize = 8;
constexpr uint64_t kStorageHeaderSize = 40;

// s + 8 rounded up to a multiple of 1024 (65 to 1016 bytes give 1024).
constexpr uint64_t ChunkSizeClass(uint64_t message_size) { return ((message_size + 7) & ~uint64_t{1023}) + 1024; }
constexpr uint64_t StorageSize(uint64_t size_class) { return kChunksPerStorage * size_class + kStorageHeaderSize; }
// The largest size class: that of a 1 MiB message. Every process that reads
// a chunk element maps the whole storage of its class, committed at
// creation, so a storage stays at about 32 MiB. Larger messages go as
// fragments; an element naming a larger class is dropped unread.
constexpr uint64_t kMaxChunkClass = ChunkSizeClass(1ull << 20);
// Whether a message of this size goes in a chunk.
bool HasChunkClass(uint64_t message_size);

// The mapped storage of class `size_class` (mapped once per process), or
// null when it cannot be created, opened or mapped at its full size.
void* chunk_storages(uint64_t size_class);

struct AcquiredChunk {
  int32_t id = 0;
  void* data = nullptr;  // null: no chunk could be taken
};

// Takes a free chunk for a message of `message_size` bytes; `receivers` is
// the ring's receiver mask at the send, written as the chunk's pending mask.
AcquiredChunk AcquireStorage(uint64_t message_size, uint32_t receivers);

// The message bytes of chunk `id`, or null when the id or size is out of
// range or the storage is not available.
void* find_storage(int32_t id, uint64_t message_size);

// Sets the receivers a chunk waits for; runs before the ring element that
// names the chunk is published.
void SetChunkReaders(int32_t id, uint64_t message_size, uint32_t receivers);

// What a receiver's chunk view carries to its release.
struct ChunkRelease {
  int32_t id = -1;
  uint32_t bit = 0;  // the receiver's own bit
};

// The release of a chunk view: drops the receiver's bit, frees the chunk
// when it was the last, and deletes `release`.
void recycle_storage(ChunkRelease* release, uint64_t message_size);

// The release by the writer that overwrites a chunk element: drops the
// receivers that never took the element (`pending`), freeing the chunk when
// no receiver is left.
void release_storage(int32_t id, uint64_t message_size, uint32_t pending);

// Gives back a chunk whose element was never published.
void ReturnUnsentChunk(int32_t id, uint64_t message_size);

// Number of free chunks of a class (for tests and diagnostics).
int32_t CountFreeChunks(uint64_t size_class);

}  // namespace ipc
