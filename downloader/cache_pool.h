// Memory blocks for the slices' caches, kept for reuse within a run. A slice
// takes a block when it starts and gives it back when it stops; without the
// pool every slice start would touch fresh memory, and first touches of fresh
// pages cost more than the download itself on some systems (Wine among them).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace courier {

// The largest block a slice caches in. A slice holds two (one filling, one
// on its way to the file), and a fast download runs many slices, so blocks of
// the whole share would hold twice the download's cache; past a megabyte a
// larger block saves no measurable time, the writes being large already.
inline constexpr int64_t kMaxCacheBlock = 1 << 20;

class CachePool {
 public:
  struct Block {
    std::unique_ptr<char[]> data;
    int64_t capacity = 0;
  };

  // Keeps at most `limit` bytes of returned blocks.
  explicit CachePool(int64_t limit) : limit_(limit) {}

  // A block of at least `size` bytes, or an empty one when memory is short.
  Block take(int64_t size);
  void giveBack(Block block);

 private:
  std::mutex mutex_;
  std::vector<Block> free_;
  int64_t limit_;
};

}  // namespace courier
