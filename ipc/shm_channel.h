// One endpoint of a named broadcast channel: senders write byte messages of
// any length, and every connected receiver (up to 32) gets each message
// written after it connected, whole. A message goes as one ring element (up
// to 64 bytes), as one element naming a chunk of a chunk storage, or as a
// run of 64-byte fragments. Three named waiters let threads sleep instead of
// spinning: connection, space (senders wait for a free slot) and read
// (receivers wait for a new element).
//
// A receiver that loses its place in the ring (dropped for lagging, or
// overtaken) notices on its next receive, writes one line, rejoins at the
// write index and goes on receiving.
#pragma once

#include <cstdint>
#include <string>

#include "ipc/fragment_cache.h"
#include "ipc/shm_buffer.h"
#include "ipc/shm_ring.h"
#include "ipc/shm_segment.h"
#include "ipc/shm_sync.h"

namespace ipc {

// Messages longer than this are refused by senders and dropped by receivers.
constexpr uint64_t kMaxMessageSize = 64ull << 20;

class ShmChannel {
 public:
  ShmChannel() = default;
  ShmChannel(const ShmChannel&) = delete;
  ShmChannel& operator=(const ShmChannel&) = delete;
  ~ShmChannel();

  // Fills a fresh endpoint: connection id, waiters, message-id counter and
  // ring of channel `name`. Parts that fail stay unavailable and make later
  // operations fail with their own texts.
  static void Open(ShmChannel* channel, const std::string& name, bool global);
  // Sends `size` bytes. With timeout 0 a full ring is overwritten (lagging
  // receivers are dropped); otherwise each element waits up to the timeout
  // for space before it is forced.
  static bool Send(uint64_t timeout_ms, ShmChannel* channel, const void* data, uint64_t size);
  // The next message from another endpoint; empty when nothing came within
  // the timeout (which bounds each wait for one element).
  static ShmBuffer Recv(ShmChannel* channel, uint64_t timeout_ms);
  // Gives the receiver role back and releases every wait of this endpoint.
  static void Disconnect(ShmChannel* channel);
  static void Close(ShmChannel* channel);

  bool ConnectAsSender();
  bool ConnectAsReceiver();
  // Ends a receive that is waiting on another thread (it returns empty);
  // safe to call from any thread.
  void InterruptReceive();

  ShmHandle& ring_holder() { return ring_; }
  bool ring_mapped() const { return ring_address_ != nullptr; }
  uint32_t conn_id() const { return conn_id_; }
  uint32_t own_bit() const { return cursor_.bit; }
  const std::string& name() const { return name_; }
  // Times this endpoint had to rejoin the ring.
  uint32_t resyncs() const { return resyncs_; }

 private:
  bool SendFragment(uint64_t timeout_ms, const ElementContent& content);
  bool TakeElement(uint64_t timeout_ms, ElementSnapshot* out);
  bool PopOnce(ElementSnapshot* out);
  bool Join();
  void SetFloor();
  void Resync();
  uint32_t* msg_counter() const { return static_cast<uint32_t*>(msg_counter_.view()); }

  std::string name_;
  bool global_ = true;
  uint32_t conn_id_ = 0;
  ShmWaiter connection_waiter_;
  ShmWaiter space_waiter_;
  ShmWaiter read_waiter_;
  ShmHandle msg_counter_;
  ShmHandle ring_;
  ShmRing* ring_address_ = nullptr;

  RingCursor cursor_;
  bool receiving_ = false;  // connected as receiver and not disconnected
  bool has_floor_ = false;     // messages numbered below the floor may have started before joining
  uint32_t floor_ = 0;
  uint32_t resyncs_ = 0;
  FragmentCache fragments_;
};

}  // namespace ipc
