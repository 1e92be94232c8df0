// The broadcast ring of a channel: 256 elements of 96 bytes in one shared
// segment, written by any number of senders and read by up to 32 receivers,
// each of which reads every element written after it joined. The layout is
// shared byte for byte by all the product's processes; no kernel lock guards
// it: writers and readers meet in compare-and-swap and atomic additions on
// shared words.
//
// A writer claims a slot by a compare-and-swap on the slot's reader word,
// as every other process on the ring does, and only then moves the write
// index past it (never backwards). The commit word says what the slot holds:
//   ~w       element of lap w published (64-bit complement)
//   w        free for lap w (lap w - 256 read by everyone), or lap w's
//            writer busy writing (readers then find nothing new)
//   n<<32|w  lap w's slot taken over from a writer that stalled (n counts
//            the takeovers); the stalled writer's publication then fails
//   0        never written
// A slot claimed by a write that is not finished is in flight: writers back
// off instead of taking the ring as full.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ipc {

constexpr uint32_t kRingElements = 256;
constexpr uint32_t kElementDataSize = 64;
constexpr uint64_t kRingSegmentSize = 0x6100;
constexpr uint32_t kMaxReceivers = 32;
// How long a slot may stay claimed by an unfinished write before writers
// take it over (its writer is taken to have died or stalled in the middle).
constexpr uint32_t kInFlightTakeoverMs = 1000;

struct ShmRingElement {
  uint32_t conn_id;
  uint32_t msg_id;
  int32_t remain;
  uint8_t storage;  // 1: data holds a chunk id
  uint8_t padding[3];
  uint8_t data[kElementDataSize];
  uint64_t readers;  // bits 0-31 receivers still to read, 32-55 change counter, 56-63 epoch
  uint64_t commit;
};
static_assert(sizeof(ShmRingElement) == 96);
static_assert(offsetof(ShmRingElement, readers) == 80);

// The first 80 bytes of an element, as a receiver copies them out.
struct ElementSnapshot {
  uint32_t conn_id;
  uint32_t msg_id;
  int32_t remain;
  uint8_t storage;
  uint8_t padding[3];
  uint8_t data[kElementDataSize];
};
static_assert(sizeof(ElementSnapshot) == 80);

struct ShmRing {
  uint32_t receivers;
  uint32_t construct_lock;
  uint8_t constructed;
  uint8_t unused1[55];
  uint32_t write_index;
  uint8_t unused2[60];
  uint64_t epoch;
  uint8_t unused3[56];
  ShmRingElement elements[kRingElements];
  uint8_t unused4[64];
};
static_assert(offsetof(ShmRing, write_index) == 64);
static_assert(offsetof(ShmRing, epoch) == 128);
static_assert(offsetof(ShmRing, elements) == 192);
static_assert(sizeof(ShmRing) == kRingSegmentSize);

// What a sender writes into one element.
struct ElementContent {
  uint32_t conn_id = 0;
  uint32_t msg_id = 0;
  int32_t remain = 0;
  const void* data = nullptr;  // message bytes (at most 64)
  uint64_t size = 0;
  bool chunk = false;  // data is ignored; the element names chunk_id
  int32_t chunk_id = -1;
};

ElementContent FragmentContent(uint32_t conn_id, uint32_t msg_id, int32_t remain, const void* data, uint64_t size);
ElementContent ChunkContent(uint32_t conn_id, uint32_t msg_id, int32_t remain, int32_t chunk_id);

void ConstructRing(ShmRing* ring);

// Writes one element. False when no receiver is connected or when the slot
// still holds an element that a connected receiver has not read (full). A
// slot in flight is waited for.
bool PushElement(ShmRing* ring, const ElementContent& content);

// As PushElement, but a full slot is taken: the receivers that have not read
// it are dropped from the ring (a line on standard output). False when no
// receiver is left.
bool force_push(ShmRing* ring, const ElementContent& content);

// One write in two steps: the claim of a slot, then the element's content
// and its publication. A writer may stall between the two for any time.
struct SlotClaim {
  uint32_t lap = 0;
  uint64_t marker = 0;     // the commit word while this writer owns the slot
  uint32_t receivers = 0;  // the receivers the element waits for
};

// Claims the slot at the write index. False when no receiver is connected,
// or (without `force`) when the slot still holds an element that a connected
// receiver has not read; with `force` those receivers are dropped from the
// ring (a line on standard output) instead. A slot in flight is waited for.
bool ClaimSlot(ShmRing* ring, bool force, SlotClaim* claim);
// Writes and publishes the element of a claimed slot. False when the slot
// was taken over meanwhile: nothing was published and the write must start
// again with a new claim.
bool PublishSlot(ShmRing* ring, const SlotClaim& claim, const ElementContent& content);

// A receiver's place in the ring.
struct RingCursor {
  uint32_t bit = 0;     // the receiver's bit in the mask; 0 when none
  uint32_t next = 0;    // write index of the next element to read
  uint32_t joined = 0;  // write index when the bit was claimed
  // Ring epoch read before the bit was claimed: whoever drops the bit later
  // moves the epoch, so an unchanged epoch proves the bit is still this
  // receiver's.
  uint64_t joined_epoch = 0;
  // Elements claimed before joining may still be published with this bit
  // (it may have belonged to a receiver that left); until they all are, each
  // read clears the bit from them, since this receiver never reads them.
  bool settling = false;
};

enum class PopResult {
  kNothing,  // nothing new at the cursor
  kElement,  // `out` holds the element; the cursor moved on
  kSkipped,  // the element at the joining index was claimed before this receiver joined
  kLost,     // the cursor's element is gone (overwritten or this receiver dropped)
};

// Takes the element at the cursor. The copy is checked after it was made,
// so an element overwritten while it was copied is never handed out.
PopResult PopElement(ShmRing* ring, RingCursor& cursor, ElementSnapshot* out);

// Claims the lowest free receiver bit; 0 when all 32 are taken.
uint32_t ClaimReceiverBit(ShmRing* ring);

// Takes a receiver bit and places the cursor at the write index: the
// receiver reads what is written from now on. False when all 32 are taken.
bool JoinRing(ShmRing* ring, RingCursor& cursor);
// After the cursor lost its place: moves it to the write index, keeping the
// bit when it is still this receiver's, else taking a new one (the cursor's
// bit is 0 when none is free). What the receiver skipped no longer waits for
// it.
void RejoinRing(ShmRing* ring, RingCursor& cursor);
// Whether the cursor's bit is in the mask and still this receiver's (not
// dropped and handed to someone else since).
bool OwnsReceiverBit(ShmRing* ring, const RingCursor& cursor);
// Gives the bit back (when still owned) and lets go of every element that
// waits for it.
void LeaveRing(ShmRing* ring, RingCursor& cursor);
void ReleaseReceiverBit(ShmRing* ring, uint32_t bit);
bool HoldsReceiverBit(ShmRing* ring, uint32_t bit);

// Removes `bit` from every published element that still waits for it: all
// of them (a receiver leaving), or only those written before `before` (a
// receiver that has just joined and inherits a bit that someone dropped).
void ScrubReceiver(ShmRing* ring, uint32_t bit, bool only_before, uint32_t before);

uint32_t RingWriteIndex(ShmRing* ring);
uint32_t RingReceivers(ShmRing* ring);
uint64_t RingEpoch(ShmRing* ring);

}  // namespace ipc
