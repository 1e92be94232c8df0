#include "ipc/shm_ring.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "ipc/chunk_storage.h"
#include "ipc/spin_lock.h"

namespace ipc {
namespace {

constexpr uint64_t kEpochBits = 0xFF00000000000000ull;
constexpr uint64_t kEpochStep = 1ull << 56;
constexpr uint64_t kCounterLimit = 0xFFFFFF;

std::atomic_ref<uint32_t> Mask(ShmRing* ring) { return std::atomic_ref<uint32_t>(ring->receivers); }
std::atomic_ref<uint32_t> WriteIndex(ShmRing* ring) { return std::atomic_ref<uint32_t>(ring->write_index); }
std::atomic_ref<uint64_t> Epoch(ShmRing* ring) { return std::atomic_ref<uint64_t>(ring->epoch); }
std::atomic_ref<uint64_t> Readers(ShmRingElement& element) { return std::atomic_ref<uint64_t>(element.readers); }
std::atomic_ref<uint64_t> Commit(ShmRingElement& element) { return std::atomic_ref<uint64_t>(element.commit); }
ShmRingElement& SlotOf(ShmRing* ring, uint32_t lap) { return ring->elements[lap % kRingElements]; }

constexpr uint64_t Published(uint32_t lap) { return ~uint64_t{lap}; }
constexpr uint64_t Vacant(uint32_t lap) { return uint64_t{lap}; }
constexpr bool IsPublished(uint64_t commit) { return (commit >> 32) == 0xFFFFFFFFull; }
constexpr uint32_t Low(uint64_t readers) { return static_cast<uint32_t>(readers); }

// The reader word after one more update: same epoch, counter + 1 (wrapping
// at 2^24), the given receiver bits.
constexpr uint64_t Updated(uint64_t readers, uint64_t epoch, uint32_t bits) {
  const uint64_t counter = ((readers >> 32) + 1) & kCounterLimit;
  return (epoch & kEpochBits) | (counter << 32) | bits;
}

// More than one lap between the write index and the cursor: the cursor's
// slot belongs to a later lap (or is about to).
constexpr bool Overtaken(uint32_t write_index, uint32_t lap) { return write_index - lap > kRingElements; }

// The slot has moved past `lap` without this reader: its element was read by
// everyone it was waiting for, or a later lap's element is there.
constexpr bool BeyondLap(uint64_t commit, uint32_t lap) {
  const uint32_t named = IsPublished(commit) ? static_cast<uint32_t>(~commit) : static_cast<uint32_t>(commit);
  return static_cast<int32_t>(named - lap) > 0;
}

// The first 80 bytes move as ten 64-bit words: a copy racing a writer is
// detected afterwards by the commit word, never by a torn word.
constexpr size_t kContentWords = sizeof(ElementSnapshot) / sizeof(uint64_t);

void CopyOut(ShmRingElement& element, ElementSnapshot* out) {
  auto* from = reinterpret_cast<uint64_t*>(&element);
  uint64_t words[kContentWords];
  for (size_t i = 0; i < kContentWords; ++i) words[i] = std::atomic_ref<uint64_t>(from[i]).load(std::memory_order_relaxed);
  std::memcpy(out, words, sizeof(words));
}

void CopyIn(ShmRingElement& element, const ElementSnapshot& in) {
  auto* to = reinterpret_cast<uint64_t*>(&element);
  uint64_t words[kContentWords];
  std::memcpy(words, &in, sizeof(words));
  for (size_t i = 0; i < kContentWords; ++i) std::atomic_ref<uint64_t>(to[i]).store(words[i], std::memory_order_relaxed);
}

ElementSnapshot ToSnapshot(const ElementContent& content) {
  ElementSnapshot snapshot{};
  snapshot.conn_id = content.conn_id;
  snapshot.msg_id = content.msg_id;
  snapshot.remain = content.remain;
  if (content.chunk) {
    snapshot.storage = 1;
    std::memcpy(snapshot.data, &content.chunk_id, sizeof(content.chunk_id));
  } else if (content.data != nullptr && content.size > 0) {
    std::memcpy(snapshot.data, content.data, content.size < kElementDataSize ? content.size : kElementDataSize);
  }
  return snapshot;
}

int32_t ChunkIdOf(const ElementSnapshot& element) {
  int32_t id;
  std::memcpy(&id, element.data, sizeof(id));
  return id;
}

// The overwritten element named a chunk: the receivers that never took it
// drop out of the chunk's pending mask.
void clear_message(const ElementSnapshot& old, uint32_t never_taken) {
  if (old.storage == 0) return;
  const int64_t size = int64_t{old.remain} + kElementDataSize;
  if (size <= 0) {
    std::fprintf(stderr, "[clear_message] invalid msg size: %d\n", static_cast<int>(size));
    return;
  }
  release_storage(ChunkIdOf(old), static_cast<uint64_t>(size), never_taken);
}

// A writer's mark on the commit word of the slot of `lap` while it owns the
// slot. Each takeover of the same lap leaves a new mark, so a writer that
// stalled finds its own mark gone and its publication fails.
constexpr bool IsLapMark(uint64_t commit, uint32_t lap) {
  return !IsPublished(commit) && static_cast<uint32_t>(commit) == lap;
}
uint64_t NextMark(uint64_t commit, uint32_t lap) {
  if (!IsLapMark(commit, lap)) return Vacant(lap);
  uint64_t generation = (commit >> 32) + 1;
  if (generation == 0xFFFFFFFFull) generation = 1;  // never a published value
  return (generation << 32) | lap;
}

// Moves the write index to `to` unless it is there or beyond already.
void AdvanceIndex(ShmRing* ring, uint32_t to) {
  uint32_t current = WriteIndex(ring).load();
  while (static_cast<int32_t>(to - current) > 0 && !WriteIndex(ring).compare_exchange_weak(current, to)) {
  }
}

enum class SlotState { kFree, kFull, kInFlight, kMoved, kBehind };

struct SlotLook {
  uint64_t epoch = 0;
  uint32_t mask = 0;
  uint32_t lap = 0;
  uint64_t readers = 0;
  uint64_t commit = 0;
  SlotState state = SlotState::kMoved;
};

SlotLook LookAtSlot(ShmRing* ring) {
  SlotLook look;
  look.epoch = Epoch(ring).load();
  look.mask = Mask(ring).load();
  look.lap = WriteIndex(ring).load();
  ShmRingElement& element = SlotOf(ring, look.lap);
  look.readers = Readers(element).load();
  look.commit = Commit(element).load();
  if (WriteIndex(ring).load() != look.lap) return look;  // another writer took this lap
  // Receivers still connected that the slot waits for, whatever epoch it
  // was claimed in: an element is never overwritten under a receiver that is
  // still there unless that receiver is dropped first.
  const uint32_t waiting = Low(look.readers) & look.mask;
  if (look.commit == Published(look.lap) || BeyondLap(look.commit, look.lap)) {
    look.state = SlotState::kBehind;  // this lap was written already; the index lags
  } else if (look.commit == Published(look.lap - kRingElements)) {
    if (waiting != 0) {
      look.state = SlotState::kFull;  // connected receivers have not read it
    } else if (Low(look.readers) == 0) {
      look.state = SlotState::kInFlight;  // its last reader is still marking it read
    } else {
      look.state = SlotState::kFree;  // read by every receiver still connected
    }
  } else if (look.commit == 0 || IsLapMark(look.commit, look.lap)) {
    look.state = waiting != 0 ? SlotState::kInFlight : SlotState::kFree;
  } else {
    look.state = SlotState::kInFlight;  // an earlier lap's writer is not done
  }
  return look;
}

enum class ClaimOutcome { kClaimed, kRetry };

// Claims the slot by its reader word, the one claim point every writer on
// the ring shares, then moves the write index. A takeover first marks the
// commit word, so the writer it takes the slot from cannot publish any more.
ClaimOutcome ClaimLap(ShmRing* ring, const SlotLook& look, bool takeover, SlotClaim* claim) {
  ShmRingElement& element = SlotOf(ring, look.lap);
  uint64_t commit = look.commit;
  const uint64_t mark = NextMark(commit, look.lap);
  if (takeover) {
    if (!Commit(element).compare_exchange_strong(commit, mark)) return ClaimOutcome::kRetry;
    commit = mark;
  }
  uint64_t readers = look.readers;
  const uint64_t claimed = Updated(readers, look.epoch, look.mask);
  if (!Readers(element).compare_exchange_strong(readers, claimed)) return ClaimOutcome::kRetry;
  // A forced write since the start moved the epoch: this claim counts for
  // nothing and the write starts again. The slot gets its reader word back,
  // so it does not look claimed for receivers that have read it.
  uint64_t epoch = look.epoch;
  if (!Epoch(ring).compare_exchange_strong(epoch, epoch)) {
    uint64_t expected = claimed;
    Readers(element).compare_exchange_strong(expected, look.readers);
    return ClaimOutcome::kRetry;
  }
  AdvanceIndex(ring, look.lap + 1);
  // Readers still copying the previous lap see this change before any byte
  // of the new element and throw their copy away.
  if (!takeover && !Commit(element).compare_exchange_strong(commit, mark)) return ClaimOutcome::kRetry;

  const uint32_t never_taken = Low(look.readers);
  if (never_taken != 0 && look.commit == Published(look.lap - kRingElements)) {
    ElementSnapshot previous;
    CopyOut(element, &previous);
    clear_message(previous, never_taken);
  }
  claim->lap = look.lap;
  claim->marker = mark;
  claim->receivers = look.mask;
  return ClaimOutcome::kClaimed;
}

// Drops the connected receivers that have not read the slot's element.
void Evict(ShmRing* ring, const SlotLook& look, uint32_t k) {
  ShmRingElement& element = SlotOf(ring, look.lap);
  const uint64_t readers = Readers(element).load();
  const uint32_t unread = Low(readers);
  uint32_t mask = Mask(ring).load();
  const uint32_t dropped = unread & mask;
  // Read after the reader word: while nobody has claimed the slot, the word
  // still belongs to the element that is waiting to be read.
  if (WriteIndex(ring).load() != look.lap || readers != look.readers) return;
  if (dropped == 0 || Commit(element).load() != look.commit) return;  // they caught up meanwhile
  std::printf("force_push: k = %u, cc = %u, rem_cc = %u\n", k, mask, unread);
  std::fflush(stdout);
  // The epoch moves before any bit goes, so a receiver that finds its bit
  // gone also finds the epoch changed.
  Epoch(ring).fetch_add(kEpochStep);
  while (!Mask(ring).compare_exchange_weak(mask, mask & ~dropped)) {
  }
}

class InFlightWatch {
 public:
  // True once the same slot has looked the same for kInFlightTakeoverMs.
  bool Expired(const SlotLook& look) {
    const ULONGLONG now = ::GetTickCount64();
    if (!started_ || look.lap != lap_ || look.commit != commit_ || look.readers != readers_) {
      started_ = true;
      lap_ = look.lap;
      commit_ = look.commit;
      readers_ = look.readers;
      since_ = now;
      return false;
    }
    return now - since_ >= kInFlightTakeoverMs;
  }

 private:
  bool started_ = false;
  uint32_t lap_ = 0;
  uint64_t commit_ = 0;
  uint64_t readers_ = 0;
  ULONGLONG since_ = 0;
};

bool Write(ShmRing* ring, const ElementContent& content, bool force) {
  SlotClaim claim;
  while (ClaimSlot(ring, force, &claim)) {
    if (PublishSlot(ring, claim, content)) return true;
  }
  return false;
}

// The first lap of slot `slot` that lies before `joined`: the laps a
// receiver that joined at `joined` never reads.
uint32_t LapBefore(uint32_t joined, uint32_t slot) {
  return joined - kRingElements + ((slot - joined) % kRingElements);
}

// Clears the cursor's bit from the elements written before it joined; true
// once none of them can still be published with it.
bool Settle(ShmRing* ring, const RingCursor& cursor) {
  bool settled = true;
  for (uint32_t slot = 0; slot < kRingElements; ++slot) {
    const uint32_t lap = LapBefore(cursor.joined, slot);
    if (lap > cursor.joined) continue;  // before the ring's first lap
    ShmRingElement& element = ring->elements[slot];
    const uint64_t commit = Commit(element).load();
    if (BeyondLap(commit, lap)) continue;
    if (commit != Published(lap)) {
      // Claimed before this receiver joined (the index is past it) and not
      // published yet.
      settled = false;
      continue;
    }
    uint64_t seen = Readers(element).load();
    while ((Low(seen) & cursor.bit) != 0) {
      ElementSnapshot content;
      CopyOut(element, &content);
      std::atomic_thread_fence(std::memory_order_acquire);
      if (Commit(element).load(std::memory_order_relaxed) != commit) break;
      const uint64_t taken = Updated(seen, seen, Low(seen) & ~cursor.bit);
      if (Readers(element).compare_exchange_weak(seen, taken)) {
        clear_message(content, cursor.bit);
        if (Low(taken) == 0) {
          uint64_t expected = commit;
          Commit(element).compare_exchange_strong(expected, Vacant(lap + kRingElements));
        }
        break;
      }
    }
  }
  return settled;
}

}  // namespace

ElementContent FragmentContent(uint32_t conn_id, uint32_t msg_id, int32_t remain, const void* data, uint64_t size) {
  ElementContent content;
  content.conn_id = conn_id;
  content.msg_id = msg_id;
  content.remain = remain;
  content.data = data;
  content.size = size;
  return content;
}

ElementContent ChunkContent(uint32_t conn_id, uint32_t msg_id, int32_t remain, int32_t chunk_id) {
  ElementContent content;
  content.conn_id = conn_id;
  content.msg_id = msg_id;
  content.remain = remain;
  content.chunk = true;
  content.chunk_id = chunk_id;
  return content;
}

bool ClaimSlot(ShmRing* ring, bool force, SlotClaim* claim) {
  InFlightWatch watch;
  uint32_t k = 0;
  for (;;) {
    const SlotLook look = LookAtSlot(ring);
    if (look.mask == 0) return false;
    switch (look.state) {
      case SlotState::kMoved:
        break;
      case SlotState::kBehind: {
        // Only a writer that stored an older index (another process may
        // store it plainly) leaves it behind a slot written already.
        uint32_t expected = look.lap;
        WriteIndex(ring).compare_exchange_strong(expected, look.lap + 1);
        continue;
      }
      case SlotState::kFree:
        if (ClaimLap(ring, look, false, claim) == ClaimOutcome::kClaimed) return true;
        break;
      case SlotState::kFull:
        if (!force) return false;
        Evict(ring, look, k);
        continue;
      case SlotState::kInFlight:
        if (watch.Expired(look)) {
          std::fprintf(stderr, "[ring] write index %u: slot held by an unfinished write for %u ms, taken over\n",
                       look.lap, kInFlightTakeoverMs);
          if (ClaimLap(ring, look, true, claim) == ClaimOutcome::kClaimed) return true;
        }
        break;
    }
    SpinBackoff(k);
    k = NextBackoff(k);
  }
}

bool PublishSlot(ShmRing* ring, const SlotClaim& claim, const ElementContent& content) {
  ShmRingElement& element = SlotOf(ring, claim.lap);
  // Taken over already: not a byte of the taker's element is touched.
  if (Commit(element).load() != claim.marker) return false;
  CopyIn(element, ToSnapshot(content));
  if (content.chunk) {
    const uint64_t message_size = static_cast<uint64_t>(int64_t{content.remain} + kElementDataSize);
    SetChunkReaders(content.chunk_id, message_size, claim.receivers);
  }
  uint64_t expected = claim.marker;
  return Commit(element).compare_exchange_strong(expected, Published(claim.lap), std::memory_order_release);
}

void ConstructRing(ShmRing* ring) {
  std::atomic_ref<uint8_t> constructed(ring->constructed);
  if (constructed.load(std::memory_order_acquire) != 0) return;
  SpinLock lock(&ring->construct_lock);
  lock.Lock();
  if (constructed.load(std::memory_order_acquire) == 0) {
    Mask(ring).store(0);
    constructed.store(1, std::memory_order_release);
  }
  lock.Unlock();
}

bool PushElement(ShmRing* ring, const ElementContent& content) { return Write(ring, content, false); }

bool force_push(ShmRing* ring, const ElementContent& content) { return Write(ring, content, true); }

PopResult PopElement(ShmRing* ring, RingCursor& cursor, ElementSnapshot* out) {
  if (cursor.settling) cursor.settling = !Settle(ring, cursor);
  const uint32_t lap = cursor.next;
  ShmRingElement& element = SlotOf(ring, lap);
  const uint64_t commit = Commit(element).load(std::memory_order_acquire);
  if (commit != Published(lap)) {
    return Overtaken(WriteIndex(ring).load(), lap) || BeyondLap(commit, lap) ? PopResult::kLost : PopResult::kNothing;
  }
  uint64_t seen = Readers(element).load();
  // Read after the reader word: while the next lap has no owner, the word
  // seen still belongs to this lap.
  if (Overtaken(WriteIndex(ring).load(), lap)) return PopResult::kLost;
  if ((Low(seen) & cursor.bit) == 0) {
    if (lap == cursor.joined) {
      cursor.next = lap + 1;
      return PopResult::kSkipped;
    }
    return PopResult::kLost;
  }
  CopyOut(element, out);
  std::atomic_thread_fence(std::memory_order_acquire);
  if (Commit(element).load(std::memory_order_relaxed) != Published(lap)) return PopResult::kLost;

  for (uint32_t k = 0;; k = NextBackoff(k)) {
    const uint64_t taken = Updated(seen, seen, Low(seen) & ~cursor.bit);
    if (Readers(element).compare_exchange_weak(seen, taken)) {
      if (Low(taken) == 0) {
        uint64_t expected = Published(lap);
        Commit(element).compare_exchange_strong(expected, Vacant(lap + kRingElements));
      }
      cursor.next = lap + 1;
      return PopResult::kElement;
    }
    // Another receiver took its own bit, or the slot went to a later lap.
    if (Overtaken(WriteIndex(ring).load(), lap) || (Low(seen) & cursor.bit) == 0 ||
        Commit(element).load() != Published(lap)) {
      return PopResult::kLost;
    }
    SpinBackoff(k < 16 ? k : 16);
  }
}

uint32_t ClaimReceiverBit(ShmRing* ring) {
  uint32_t mask = Mask(ring).load();
  for (uint32_t k = 0;; k = NextBackoff(k)) {
    if (mask == 0xFFFFFFFFu) return 0;
    const uint32_t bit = (mask | (mask + 1)) ^ mask;
    // The bit may still wait on elements of a receiver that left or was
    // dropped; it is not in the mask, so those waits are stale and go now,
    // before the bit makes them look unread again.
    ScrubReceiver(ring, bit, false, 0);
    if (Mask(ring).compare_exchange_weak(mask, mask | bit)) return bit;
    SpinBackoff(k < 16 ? k : 16);
  }
}

void ReleaseReceiverBit(ShmRing* ring, uint32_t bit) { Mask(ring).fetch_and(~bit); }

bool HoldsReceiverBit(ShmRing* ring, uint32_t bit) { return bit != 0 && (Mask(ring).load() & bit) == bit; }

namespace {

void PlaceAtWriteIndex(ShmRing* ring, RingCursor& cursor) {
  cursor.next = cursor.joined = WriteIndex(ring).load();
  cursor.settling = true;
}

}  // namespace

bool JoinRing(ShmRing* ring, RingCursor& cursor) {
  // Read before the claim: whoever drops this bit later moves the epoch
  // after the claim.
  cursor.joined_epoch = Epoch(ring).load();
  cursor.bit = ClaimReceiverBit(ring);
  if (cursor.bit == 0) return false;
  PlaceAtWriteIndex(ring, cursor);
  return true;
}

void RejoinRing(ShmRing* ring, RingCursor& cursor) {
  if (Epoch(ring).load() == cursor.joined_epoch && HoldsReceiverBit(ring, cursor.bit)) {
    PlaceAtWriteIndex(ring, cursor);
    // What this receiver skipped must not keep writers waiting for it.
    ScrubReceiver(ring, cursor.bit, true, cursor.joined);
    return;
  }
  // The old bit is not touched: it is gone, or it belongs to someone else
  // now, or (rarely) it stays behind unread until a writer drops it.
  if (!JoinRing(ring, cursor)) cursor.bit = 0;
}

bool OwnsReceiverBit(ShmRing* ring, const RingCursor& cursor) {
  if (!HoldsReceiverBit(ring, cursor.bit)) return false;
  // A bit still in the mask may have been dropped and handed to another
  // receiver since; it is ours when nobody was dropped since joining, or
  // when this cursor was not overtaken (only a lagging receiver is dropped).
  return Epoch(ring).load() == cursor.joined_epoch || WriteIndex(ring).load() - cursor.next <= kRingElements;
}

void LeaveRing(ShmRing* ring, RingCursor& cursor) {
  if (cursor.bit != 0 && OwnsReceiverBit(ring, cursor)) {
    ScrubReceiver(ring, cursor.bit, false, 0);
    ReleaseReceiverBit(ring, cursor.bit);
  }
  cursor.bit = 0;
  cursor.settling = false;
}

void ScrubReceiver(ShmRing* ring, uint32_t bit, bool only_before, uint32_t before) {
  for (ShmRingElement& element : ring->elements) {
    const uint64_t commit = Commit(element).load();
    if (!IsPublished(commit)) continue;
    const uint32_t lap = static_cast<uint32_t>(~commit);
    if (only_before && static_cast<int32_t>(lap - before) >= 0) continue;
    uint64_t seen = Readers(element).load();
    while ((Low(seen) & bit) != 0) {
      ElementSnapshot content;
      CopyOut(element, &content);
      std::atomic_thread_fence(std::memory_order_acquire);
      if (Commit(element).load(std::memory_order_relaxed) != commit) break;
      const uint64_t taken = Updated(seen, seen, Low(seen) & ~bit);
      if (Readers(element).compare_exchange_weak(seen, taken)) {
        clear_message(content, bit);
        if (Low(taken) == 0) {
          uint64_t expected = commit;
          Commit(element).compare_exchange_strong(expected, Vacant(lap + kRingElements));
        }
        break;
      }
    }
  }
}

uint32_t RingWriteIndex(ShmRing* ring) { return WriteIndex(ring).load(); }
uint32_t RingReceivers(ShmRing* ring) { return Mask(ring).load(); }
uint64_t RingEpoch(ShmRing* ring) { return Epoch(ring).load(); }

}  // namespace ipc
