#include "ipc/chunk_storage.h"

#include <atomic>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "ipc/shm_segment.h"
#include "ipc/spin_lock.h"

namespace ipc {
namespace {

constexpr uint8_t kNoChunk = 32;
constexpr size_t kHeadOffset = 32;
constexpr size_t kConstructedOffset = 33;
constexpr size_t kLockOffset = 36;

struct StorageEntry {
  std::mutex map_once;  // keeps two first users from mapping the class twice
  ShmHandle segment{true};
  std::atomic<uint8_t*> base{nullptr};
};

struct StorageMap {
  RwSpinLock lock;
  std::map<uint64_t, std::unique_ptr<StorageEntry>> entries;
};

StorageMap& Storages() {
  // Never destroyed: detached threads may still release chunks at exit.
  static StorageMap* const map = new StorageMap;
  return *map;
}

uint8_t* Links(uint8_t* base) { return base; }
uint8_t& Head(uint8_t* base) { return base[kHeadOffset]; }
uint8_t* ChunkAt(uint8_t* base, uint64_t size_class, int32_t id) {
  return base + kStorageHeaderSize + static_cast<uint64_t>(id) * size_class;
}
std::atomic_ref<uint32_t> PendingMask(uint8_t* chunk) { return std::atomic_ref<uint32_t>(*reinterpret_cast<uint32_t*>(chunk)); }

bool ValidId(int32_t id) { return id >= 0 && id < kChunksPerStorage; }

// Under the storage lock: the free list is set up once per storage.
void ConstructOnce(uint8_t* base) {
  if (base[kConstructedOffset] == 0) {
    bool all_zero = true;
    for (size_t i = 0; i <= kConstructedOffset; ++i) all_zero = all_zero && base[i] == 0;
    if (all_zero) {
      for (uint8_t i = 0; i < kNoChunk; ++i) Links(base)[i] = static_cast<uint8_t>(i + 1);
    }
  }
  base[kConstructedOffset] = 1;
}

// Under the storage lock. The links live in memory every process can write,
// so a walk is bounded and an out-of-range link ends it.
bool OnFreeList(uint8_t* base, int32_t id) {
  uint8_t at = Head(base);
  for (int steps = 0; steps <= kChunksPerStorage && at < kNoChunk; ++steps) {
    if (at == id) return true;
    at = Links(base)[at];
  }
  return false;
}

void FreeChunk(uint8_t* base, uint64_t size_class, int32_t id) {
  SpinLock lock(base + kLockOffset);
  SpinLockGuard guard(lock);
  ConstructOnce(base);
  if (OnFreeList(base, id)) {
    std::fprintf(stderr, "[chunk_storages] chunk %ld of class %llu is free already\n", static_cast<long>(id),
                 static_cast<unsigned long long>(size_class));
    return;
  }
  Links(base)[id] = Head(base);
  Head(base) = static_cast<uint8_t>(id);
}

uint8_t* StorageFor(uint64_t message_size) {
  if (!HasChunkClass(message_size)) return nullptr;
  return static_cast<uint8_t*>(chunk_storages(ChunkSizeClass(message_size)));
}

}  // namespace

bool HasChunkClass(uint64_t message_size) {
  return message_size > 0 && message_size < kMaxChunkClass && ChunkSizeClass(message_size) <= kMaxChunkClass;
}

void* chunk_storages(uint64_t size_class) {
  if (size_class == 0 || size_class > kMaxChunkClass) return nullptr;
  StorageMap& map = Storages();
  StorageEntry* entry = nullptr;
  map.lock.LockShared();
  if (auto found = map.entries.find(size_class); found != map.entries.end()) entry = found->second.get();
  map.lock.UnlockShared();
  if (entry == nullptr) {
    map.lock.Lock();
    auto& slot = map.entries[size_class];
    if (!slot) slot = std::make_unique<StorageEntry>();
    entry = slot.get();
    map.lock.Unlock();
  }
  if (uint8_t* base = entry->base.load(std::memory_order_acquire)) return base;

  std::lock_guard<std::mutex> once(entry->map_once);
  if (uint8_t* base = entry->base.load(std::memory_order_acquire)) return base;
  const uint64_t size = StorageSize(size_class);
  // A segment of that name made smaller by someone else would let chunk ids
  // reach past its end: it is not used.
  if (!entry->segment.Acquire("__CHUNK_INFO__" + std::to_string(size_class), size, true) ||
      entry->segment.mapped_size() < size) {
    entry->segment.Release();
    std::fprintf(stderr, "[chunk_storages] chunk_shm.id_info_.acquire failed: chunk_size = %zd\n",
                 static_cast<size_t>(size_class));
    return nullptr;
  }
  auto* base = static_cast<uint8_t*>(entry->segment.view());
  entry->base.store(base, std::memory_order_release);
  return base;
}

AcquiredChunk AcquireStorage(uint64_t message_size, uint32_t receivers) {
  uint8_t* base = StorageFor(message_size);
  if (base == nullptr) return {};
  const uint64_t size_class = ChunkSizeClass(message_size);
  int32_t id = -1;
  {
    SpinLock lock(base + kLockOffset);
    SpinLockGuard guard(lock);
    ConstructOnce(base);
    const uint8_t head = Head(base);
    if (head < kNoChunk) {
      const uint8_t next = Links(base)[head];
      // A damaged link must not send the list outside the storage.
      Head(base) = next <= kNoChunk ? next : kNoChunk;
      id = head;
    }
  }
  if (id < 0) return {};
  uint8_t* chunk = ChunkAt(base, size_class, id);
  PendingMask(chunk).store(receivers, std::memory_order_relaxed);
  return {id, chunk + kChunkHeaderSize};
}

void* find_storage(int32_t id, uint64_t message_size) {
  if (!ValidId(id)) {
    std::fprintf(stderr, "[find_storage] id is invalid: id = %ld, size = %zd\n", static_cast<long>(id),
                 static_cast<size_t>(message_size));
    return nullptr;
  }
  uint8_t* base = StorageFor(message_size);
  if (base == nullptr) return nullptr;
  return ChunkAt(base, ChunkSizeClass(message_size), id) + kChunkHeaderSize;
}

void SetChunkReaders(int32_t id, uint64_t message_size, uint32_t receivers) {
  uint8_t* base = ValidId(id) ? StorageFor(message_size) : nullptr;
  if (base == nullptr) return;
  PendingMask(ChunkAt(base, ChunkSizeClass(message_size), id)).store(receivers, std::memory_order_release);
}

namespace {

// Drops `bits` from the chunk's pending mask; the call that empties it frees
// the chunk, so of all the calls for one publication exactly one frees.
void DropReaders(int32_t id, uint64_t message_size, uint32_t bits) {
  if (bits == 0) return;
  uint8_t* base = StorageFor(message_size);
  if (base == nullptr) return;
  const uint64_t size_class = ChunkSizeClass(message_size);
  const uint32_t before = PendingMask(ChunkAt(base, size_class, id)).fetch_and(~bits, std::memory_order_acq_rel);
  if ((before & bits) != 0 && (before & ~bits) == 0) FreeChunk(base, size_class, id);
}

}  // namespace

void recycle_storage(ChunkRelease* release, uint64_t message_size) {
  std::unique_ptr<ChunkRelease> owned(release);
  if (!owned) return;
  if (!ValidId(owned->id)) {
    std::fprintf(stderr, "[recycle_storage] id is invalid: id = %ld, size = %zd\n", static_cast<long>(owned->id),
                 static_cast<size_t>(message_size));
    return;
  }
  DropReaders(owned->id, message_size, owned->bit);
}

void release_storage(int32_t id, uint64_t message_size, uint32_t pending) {
  if (!ValidId(id)) {
    std::fprintf(stderr, "[release_storage] id is invalid: id = %ld, size = %zd\n", static_cast<long>(id),
                 static_cast<size_t>(message_size));
    return;
  }
  DropReaders(id, message_size, pending);
}

void ReturnUnsentChunk(int32_t id, uint64_t message_size) {
  uint8_t* base = ValidId(id) ? StorageFor(message_size) : nullptr;
  if (base == nullptr) return;
  const uint64_t size_class = ChunkSizeClass(message_size);
  PendingMask(ChunkAt(base, size_class, id)).store(0, std::memory_order_relaxed);
  FreeChunk(base, size_class, id);
}

int32_t CountFreeChunks(uint64_t size_class) {
  auto* base = static_cast<uint8_t*>(chunk_storages(size_class));
  if (base == nullptr) return 0;
  SpinLock lock(base + kLockOffset);
  SpinLockGuard guard(lock);
  ConstructOnce(base);
  int32_t count = 0;
  for (uint8_t at = Head(base); at < kNoChunk && count <= kChunksPerStorage; at = Links(base)[at]) ++count;
  return count;
}

}  // namespace ipc
