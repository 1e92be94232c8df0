#include "ipc/shm_channel.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ipc/chunk_storage.h"

namespace ipc {
namespace {

constexpr int kQuickTries = 33;
// Past this distance a message id counts as long finished, so the floor
// that guards against half-seen messages follows the ids up.
constexpr uint32_t kFloorReach = 1u << 30;

void ReleaseHeap(void* address, uint64_t) { FreeBuffer(address); }
void ReleaseChunk(void* release, uint64_t size) { recycle_storage(static_cast<ChunkRelease*>(release), size); }

int32_t ChunkIdOf(const ElementSnapshot& element) {
  int32_t id;
  std::memcpy(&id, element.data, sizeof(id));
  return id;
}

}  // namespace

ShmChannel::~ShmChannel() {
  if (cursor_.bit != 0) Disconnect(this);
  Close(this);
}

void ShmChannel::Open(ShmChannel* channel, const std::string& name, bool global) {
  channel->name_ = name;
  channel->global_ = global;
  uint32_t* counter = GetConnIdCounter(global);
  channel->conn_id_ = counter ? std::atomic_ref<uint32_t>(*counter).fetch_add(1) : 0;
  channel->connection_waiter_.set_global(global);
  channel->space_waiter_.set_global(global);
  channel->read_waiter_.set_global(global);
  channel->connection_waiter_.Open("__CC_CONN__" + name);
  channel->space_waiter_.Open("__WT_CONN__" + name);
  channel->read_waiter_.Open("__RD_CONN__" + name);
  channel->msg_counter_.Acquire("__AC_CONN__" + name, 4, global);

  channel->cursor_ = RingCursor{};
  channel->receiving_ = false;
  channel->ring_address_ = nullptr;
  // A segment of that name made smaller by someone else would put the ring
  // past the end of the mapping: it is not used.
  if (channel->ring_.Acquire("__QU_CONN__64__8__" + name, kRingSegmentSize, global) &&
      channel->ring_.mapped_size() >= kRingSegmentSize) {
    channel->ring_address_ = static_cast<ShmRing*>(channel->ring_.view());
    ConstructRing(channel->ring_address_);
  }
}

bool ShmChannel::ConnectAsSender() {
  if (cursor_.bit != 0) Disconnect(this);
  connection_waiter_.set_quit(false);
  space_waiter_.set_quit(false);
  read_waiter_.set_quit(false);
  return ring_address_ != nullptr;
}

bool ShmChannel::ConnectAsReceiver() {
  if (ring_address_ == nullptr) return false;
  connection_waiter_.set_quit(false);
  space_waiter_.set_quit(false);
  read_waiter_.set_quit(false);
  if (cursor_.bit != 0) {
    connection_waiter_.Broadcast();
    return true;
  }
  // Even when all 32 places are taken now, receives keep trying to join, so
  // the endpoint starts hearing as soon as a place frees up.
  receiving_ = true;
  if (!Join()) return false;
  connection_waiter_.Broadcast();
  return true;
}

void ShmChannel::InterruptReceive() {
  read_waiter_.set_quit(true);
  read_waiter_.Broadcast();
}

bool ShmChannel::Join() {
  if (!JoinRing(ring_address_, cursor_)) return false;
  SetFloor();
  return true;
}

void ShmChannel::SetFloor() {
  // Read after the cursor: messages numbered from here on put every one of
  // their elements after it.
  has_floor_ = msg_counter() != nullptr;
  floor_ = has_floor_ ? std::atomic_ref<uint32_t>(*msg_counter()).load() : 0;
}

void ShmChannel::Resync() {
  ++resyncs_;
  std::fprintf(stderr, "recv: receiver of %s lost its place at %u (write index %u), rejoining\n", name_.c_str(),
               cursor_.next, RingWriteIndex(ring_address_));
  RejoinRing(ring_address_, cursor_);
  if (cursor_.bit != 0) SetFloor();
}

void ShmChannel::Disconnect(ShmChannel* channel) {
  channel->receiving_ = false;
  if (channel->ring_address_ != nullptr && channel->cursor_.bit != 0) {
    LeaveRing(channel->ring_address_, channel->cursor_);
    channel->fragments_.Clear();
  }
  for (ShmWaiter* waiter : {&channel->connection_waiter_, &channel->space_waiter_, &channel->read_waiter_}) {
    waiter->set_quit(true);
    waiter->Broadcast();
  }
}

void ShmChannel::Close(ShmChannel* channel) {
  channel->msg_counter_.Release();
  channel->read_waiter_.Close();
  channel->space_waiter_.Close();
  channel->connection_waiter_.Close();
  channel->ring_.Release();
  channel->ring_address_ = nullptr;
  channel->fragments_.Clear();
  channel->name_.clear();
}

bool ShmChannel::Send(uint64_t timeout_ms, ShmChannel* channel, const void* data, uint64_t size) {
  if (data == nullptr || size == 0 || size > kMaxMessageSize) {
    std::fprintf(stderr, "fail: send(%p, %zd)\n", data, static_cast<size_t>(size));
    return false;
  }
  if (channel == nullptr) {
    std::fprintf(stderr, "fail: send, queue_of(h) == nullptr\n");
    return false;
  }
  ShmRing* ring = channel->ring_address_;
  if (ring == nullptr) {
    std::fprintf(stderr, "fail: send, queue_of(h)->elems() == nullptr\n");
    return false;
  }
  const uint32_t receivers = RingReceivers(ring);
  if (receivers == 0) {
    std::fprintf(stderr, "fail: send, there is no receiver on this connection.\n");
    return false;
  }
  if (channel->msg_counter() == nullptr) {
    std::fprintf(stderr, "fail: send, info_of(h)->acc() == nullptr\n");
    return false;
  }
  const uint32_t msg_id = std::atomic_ref<uint32_t>(*channel->msg_counter()).fetch_add(1);
  const auto* bytes = static_cast<const uint8_t*>(data);

  if (size > kElementDataSize) {
    const AcquiredChunk chunk = AcquireStorage(size, receivers);
    if (chunk.data != nullptr) {
      std::memcpy(chunk.data, data, size);
      const int32_t remain = static_cast<int32_t>(size - kElementDataSize);
      if (channel->SendFragment(timeout_ms, ChunkContent(channel->conn_id_, msg_id, remain, chunk.id))) return true;
      ReturnUnsentChunk(chunk.id, size);  // never published: nobody else knows it
      return false;
    }
  }
  const uint64_t whole = size / kElementDataSize;
  for (uint64_t i = 0; i < whole; ++i) {
    const auto remain = static_cast<int32_t>(size - kElementDataSize - kElementDataSize * i);
    if (!channel->SendFragment(timeout_ms, FragmentContent(channel->conn_id_, msg_id, remain,
                                                           bytes + kElementDataSize * i, kElementDataSize))) {
      return false;
    }
  }
  const uint64_t rest = size - kElementDataSize * whole;
  if (rest == 0) return true;
  return channel->SendFragment(timeout_ms,
                               FragmentContent(channel->conn_id_, msg_id, static_cast<int32_t>(rest) - 64,
                                               bytes + kElementDataSize * whole, rest));
}

bool ShmChannel::SendFragment(uint64_t timeout_ms, const ElementContent& content) {
  ShmRing* ring = ring_address_;
  bool pushed = false;
  if (ring != nullptr) {
    if (timeout_ms == 0) {
      pushed = PushElement(ring, content);
    } else {
      for (int i = 0; i < kQuickTries && !pushed; ++i) {
        pushed = PushElement(ring, content);
        if (!pushed) ::SwitchToThread();
      }
      if (!pushed) {
        const auto waited = space_waiter_.WaitFor([&] { return PushElement(ring, content); }, timeout_ms);
        // This endpoint is being disconnected: nothing was sent.
        if (waited == ShmWaiter::WaitResult::kQuit) return false;
        pushed = waited == ShmWaiter::WaitResult::kReady;
      }
    }
  }
  if (!pushed) {
    std::printf("force_push: msg_id = %zd, remain = %d, size = %zd\n", static_cast<size_t>(content.msg_id),
                static_cast<int>(content.remain), static_cast<size_t>(content.chunk ? 0 : content.size));
    std::fflush(stdout);
    if (ring == nullptr || !force_push(ring, content)) return false;
  }
  read_waiter_.Broadcast();
  return true;
}

bool ShmChannel::PopOnce(ElementSnapshot* out) {
  // A receive that meets a lost place rejoins and looks again, a few times
  // at most within one try.
  for (int attempt = 0; attempt < 4; ++attempt) {
    if (cursor_.bit == 0 && !(receiving_ && Join())) return false;
    switch (PopElement(ring_address_, cursor_, out)) {
      case PopResult::kElement:
        return true;
      case PopResult::kNothing:
        // Dropped by a writer while nothing overtook the cursor yet: found
        // by the bit that is gone from the mask.
        if (HoldsReceiverBit(ring_address_, cursor_.bit)) return false;
        Resync();
        break;
      case PopResult::kSkipped:
        break;
      case PopResult::kLost:
        Resync();
        break;
    }
  }
  return false;
}

bool ShmChannel::TakeElement(uint64_t timeout_ms, ElementSnapshot* out) {
  if (ring_address_ == nullptr) return false;
  if (timeout_ms == 0) return PopOnce(out);
  for (int i = 0; i < kQuickTries; ++i) {
    if (PopOnce(out)) return true;
    ::SwitchToThread();
  }
  return read_waiter_.WaitFor([&] { return PopOnce(out); }, timeout_ms) == ShmWaiter::WaitResult::kReady;
}

ShmBuffer ShmChannel::Recv(ShmChannel* channel, uint64_t timeout_ms) {
  if (channel == nullptr) {
    std::fprintf(stderr, "fail: recv, queue_of(h) == nullptr\n");
    return {};
  }
  if (channel->cursor_.bit == 0 && !channel->receiving_) return {};
  for (;;) {
    ElementSnapshot element;
    if (!channel->TakeElement(timeout_ms, &element)) return {};
    channel->space_waiter_.Broadcast();

    const int64_t size = int64_t{element.remain} + kElementDataSize;
    const bool own = channel->msg_counter() != nullptr && element.conn_id == channel->conn_id_;
    if (element.storage != 0) {
      const int32_t id = ChunkIdOf(element);
      // This receiver now holds the chunk for its bit: every way out below
      // gives it back except the one that hands the view over.
      auto* release = new ChunkRelease{id, channel->cursor_.bit};
      if (size <= 0 || static_cast<uint64_t>(size) > kMaxMessageSize) {
        std::fprintf(stderr, "fail: recv, r_size = %d\n", static_cast<int>(size));
        delete release;  // the chunk's class cannot be told from a bad size
        continue;
      }
      if (own) {
        recycle_storage(release, static_cast<uint64_t>(size));
        continue;
      }
      void* view = find_storage(id, static_cast<uint64_t>(size));
      if (view == nullptr) {
        std::printf("fail: shm::handle for large message. msg_id: %zd, buf_id: %zd, size: %zd\n",
                    static_cast<size_t>(element.msg_id), static_cast<size_t>(id), static_cast<size_t>(size));
        std::fflush(stdout);
        recycle_storage(release, static_cast<uint64_t>(size));
        continue;
      }
      return ShmBuffer(view, static_cast<uint64_t>(size), &ReleaseChunk, release);
    }
    if (own) continue;
    if (size <= 0) {
      std::fprintf(stderr, "fail: recv, r_size = %d\n", static_cast<int>(size));
      return {};
    }

    bool opens = true;
    if (channel->has_floor_) {
      const auto ahead = static_cast<int32_t>(element.msg_id - channel->floor_);
      // Numbered before this receiver joined: the message may have started
      // before the cursor, so only a message already being joined goes on.
      opens = ahead >= 0;
      if (ahead > static_cast<int32_t>(kFloorReach)) channel->floor_ = element.msg_id - kFloorReach;
    }
    if (!channel->fragments_.Contains(element.msg_id) && size <= kElementDataSize) {
      if (!opens) continue;
      void* copy = std::malloc(static_cast<size_t>(size));
      if (copy == nullptr) continue;
      std::memcpy(copy, element.data, static_cast<size_t>(size));
      return ShmBuffer(copy, static_cast<uint64_t>(size), &ReleaseHeap);
    }
    ShmBuffer joined;
    if (channel->fragments_.Add(element.msg_id, element.remain, element.data, opens, kMaxMessageSize, &joined) ==
        FragmentCache::Outcome::kComplete) {
      return joined;
    }
  }
}

}  // namespace ipc
