// The broadcast ring of a channel: 256 elements of 96 bytes in one shared
// segment, written by any number of senders and read by up to 32 receivers,
// each of which reads every element written after it joined. The layout is
// shared byte for byte by all the product's processes; no kernel lock guards
// it: writers and readers meet in compare-and-swap and atomic additions on
// shared words.
//
// A lap is owned by the writer that moves the write index past it; only
// that writer claims the slot's reader word and writes the element, so two
// writers never write one slot. The commit word says what the slot holds:
//   ~w       element of lap w published (64-bit complement)
//   w        free for lap w: lap w - 256 read by everyone, or lap w's owner
//            busy writing (readers then find nothing new)
//   0        never written
// A slot whose previous lap is not published yet is in flight: writers back
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
// take it over (its writer is taken to have died in the middle).
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

// A receiver's place in the ring.
struct RingCursor {
  uint32_t bit = 0;     // the receiver's bit in the mask; 0 when none
  uint32_t next = 0;    // write index of the next element to read
  uint32_t joined = 0;  // write index when the bit was claimed
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
