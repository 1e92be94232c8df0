// Joins messages that travel as runs of 64-byte ring elements. Fragments of
// different messages may alternate; each message is keyed by its message
// id, and a fragment is taken only at the offset its `remain` gives, so a
// message with a missing piece is dropped rather than handed out with a hole.
#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>

#include "ipc/shm_buffer.h"

namespace ipc {

class FragmentCache {
 public:
  // The open entries are pruned when there are more than this many.
  static constexpr size_t kPruneAbove = 1024;
  // ... of those whose ids lie this far from a new message's id.
  static constexpr uint32_t kPruneDistance = 8192;

  FragmentCache() = default;
  FragmentCache(const FragmentCache&) = delete;
  FragmentCache& operator=(const FragmentCache&) = delete;
  ~FragmentCache() { Clear(); }

  enum class Outcome { kPending, kComplete, kDropped };

  // Takes one fragment of message `msg_id` (`data` holds its 64 bytes, of
  // which min(64, remain + 64) count). A message id without an entry opens
  // one when the fragment is not the message's last; `opens` says whether an
  // unknown id may open an entry at all.
  Outcome Add(uint32_t msg_id, int32_t remain, const uint8_t* data, bool opens, uint64_t max_size, ShmBuffer* out);

  bool Contains(uint32_t msg_id) const { return entries_.count(msg_id) != 0; }
  size_t size() const { return entries_.size(); }
  void Clear();

 private:
  struct Entry {
    uint64_t total = 0;
    uint64_t filled = 0;
    uint64_t capacity = 0;
    uint8_t* bytes = nullptr;
  };
  bool Append(Entry& entry, const uint8_t* data, uint64_t count);
  void Drop(uint32_t msg_id);
  void Prune(uint32_t msg_id);

  std::unordered_map<uint32_t, Entry> entries_;
};

}  // namespace ipc
