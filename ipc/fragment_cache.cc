#include "ipc/fragment_cache.h"

#include <cstdlib>
#include <cstring>

namespace ipc {

namespace {

constexpr int64_t kFragment = 64;

void ReleaseHeap(void* address, uint64_t) { FreeBuffer(address); }

}  // namespace

FragmentCache::Outcome FragmentCache::Add(uint32_t msg_id, int32_t remain, const uint8_t* data, bool opens,
                                          uint64_t max_size, ShmBuffer* out) {
  const int64_t carried = int64_t{remain} + kFragment < kFragment ? int64_t{remain} + kFragment : kFragment;
  if (carried <= 0) return Outcome::kDropped;
  auto found = entries_.find(msg_id);
  if (found == entries_.end()) {
    const int64_t total = int64_t{remain} + kFragment;
    if (!opens || remain <= 0 || static_cast<uint64_t>(total) > max_size) return Outcome::kDropped;
    if (entries_.size() > kPruneAbove) Prune(msg_id);
    Entry entry;
    entry.total = static_cast<uint64_t>(total);
    if (!Append(entry, data, kFragment)) return Outcome::kDropped;
    entries_.emplace(msg_id, entry);
    return Outcome::kPending;
  }
  Entry& entry = found->second;
  // Where this fragment belongs; anything but the next free byte means a
  // fragment before it was lost.
  const int64_t offset = static_cast<int64_t>(entry.total) - kFragment - remain;
  if (offset < 0 || static_cast<uint64_t>(offset) != entry.filled ||
      entry.filled + static_cast<uint64_t>(carried) > entry.total || !Append(entry, data, carried)) {
    Drop(msg_id);
    return Outcome::kDropped;
  }
  if (remain > 0) return Outcome::kPending;
  *out = ShmBuffer(entry.bytes, entry.total, &ReleaseHeap);
  entries_.erase(found);
  return Outcome::kComplete;
}

bool FragmentCache::Append(Entry& entry, const uint8_t* data, uint64_t count) {
  // The buffer grows with what has arrived, so a bogus size in a first
  // fragment costs no memory until the bytes are really there.
  if (entry.filled + count > entry.capacity) {
    uint64_t capacity = entry.capacity == 0 ? 4096 : entry.capacity * 2;
    if (capacity < entry.filled + count) capacity = entry.filled + count;
    if (capacity > entry.total) capacity = entry.total;
    auto* grown = static_cast<uint8_t*>(std::realloc(entry.bytes, capacity));
    if (grown == nullptr) {
      std::free(entry.bytes);
      entry.bytes = nullptr;
      return false;
    }
    entry.bytes = grown;
    entry.capacity = capacity;
  }
  std::memcpy(entry.bytes + entry.filled, data, count);
  entry.filled += count;
  return true;
}

void FragmentCache::Drop(uint32_t msg_id) {
  auto found = entries_.find(msg_id);
  if (found == entries_.end()) return;
  std::free(found->second.bytes);
  entries_.erase(found);
}

void FragmentCache::Prune(uint32_t msg_id) {
  for (auto it = entries_.begin(); it != entries_.end();) {
    const uint32_t distance = it->first > msg_id ? it->first - msg_id : msg_id - it->first;
    if (distance > kPruneDistance) {
      std::free(it->second.bytes);
      it = entries_.erase(it);
    } else {
      ++it;
    }
  }
}

void FragmentCache::Clear() {
  for (auto& [id, entry] : entries_) std::free(entry.bytes);
  entries_.clear();
}

}  // namespace ipc
