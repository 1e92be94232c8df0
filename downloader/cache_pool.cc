#include "downloader/cache_pool.h"

#include <algorithm>
#include <new>

namespace courier {

CachePool::Block CachePool::take(int64_t size) {
  {
    std::lock_guard lock(mutex_);
    // The smallest free block that is large enough.
    auto best = free_.end();
    for (auto it = free_.begin(); it != free_.end(); ++it) {
      if (it->capacity >= size && (best == free_.end() || it->capacity < best->capacity)) best = it;
    }
    if (best != free_.end()) {
      Block block = std::move(*best);
      free_.erase(best);
      return block;
    }
  }
  Block block;
  block.data.reset(new (std::nothrow) char[static_cast<size_t>(size)]);
  block.capacity = block.data ? size : 0;
  return block;
}

void CachePool::giveBack(Block block) {
  if (!block.data) return;
  std::lock_guard lock(mutex_);
  free_.push_back(std::move(block));
  // Over the limit: drop the largest blocks first.
  std::sort(free_.begin(), free_.end(), [](const Block& a, const Block& b) { return a.capacity < b.capacity; });
  int64_t total = 0;
  for (const Block& b : free_) total += b.capacity;
  while (!free_.empty() && total > limit_) {
    total -= free_.back().capacity;
    free_.pop_back();
  }
}

}  // namespace courier
