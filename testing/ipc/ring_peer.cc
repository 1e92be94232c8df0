// A peer that works a channel's ring the way the product's other programs
// do: every ring step below (joining, writing, overwriting, reading, and the
// chunk storages' free lists) is the step those programs take, one for one,
// and shares nothing with the installer's channel code but the byte layout.
// A writer claims a slot by a compare-and-swap on the slot's reader word and
// stores the write index afterwards; a reader takes what the commit word
// says is there. Messages above 64 bytes go as fragments (as when no chunk
// is free); chunk elements of other senders are read in place.
//   ring_peer send --channel N --sender I --count K --timeout MS --start EVENT
//   ring_peer recv --channel N --senders S --count K --ready EVENT [--deadline-ms MS] [--result FILE]
// Exit code 0 when the role was carried out; the receiver writes one line
// with its counts (or its failure) to the result file.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "ipc/shm_ring.h"
#include "ipc/shm_segment.h"
#include "ipc/shm_sync.h"
#include "testing/ipc/child_process.h"
#include "testing/ipc/stress_message.h"

namespace {

using ipc::ShmRing;
using ipc::ShmRingElement;

constexpr uint64_t kEpochStep = 1ull << 56;
constexpr uint64_t kEpochByte = 0xFF00000000000000ull;
constexpr int kQuickTries = 33;

template <typename T>
std::atomic_ref<T> At(T& word) {
  return std::atomic_ref<T>(word);
}

void Backoff(uint32_t& k) {
  if (k >= 32) {
    std::this_thread::sleep_until(std::chrono::steady_clock::now() + std::chrono::milliseconds(1));
    return;
  }
  if (k >= 16) {
    ::SwitchToThread();
  } else if (k >= 4) {
    YieldProcessor();
  }
  ++k;
}

// The shared lock of the chunk storages: 1 held, 0 free.
void Lock(uint32_t& word) {
  for (uint32_t k = 0; At(word).exchange(1) != 0;) Backoff(k);
}
void Unlock(uint32_t& word) { At(word).store(0); }

uint64_t Claimed(uint64_t readers, uint64_t epoch, uint32_t bits) {
  const uint64_t counter = (((readers >> 32) & 0xFFFFFF) + 1) & 0xFFFFFF;
  return (epoch & kEpochByte) | (counter << 32) | bits;
}

// Chunk storages, Global, one per size class.
class Chunks {
 public:
  static uint64_t ClassOf(uint64_t size) { return ((size + 7) & ~uint64_t{1023}) + 1024; }

  uint8_t* Storage(uint64_t size) {
    const uint64_t size_class = ClassOf(size);
    auto& holder = storages_[size_class];
    if (holder.view() == nullptr && !holder.Acquire("__CHUNK_INFO__" + std::to_string(size_class),
                                                    32 * size_class + 40, true)) {
      return nullptr;
    }
    return static_cast<uint8_t*>(holder.view());
  }
  uint8_t* Find(int32_t id, uint64_t size) {
    if (id < 0) return nullptr;
    uint8_t* base = Storage(size);
    return base == nullptr ? nullptr : base + 40 + id * ClassOf(size) + 8;
  }
  void Free(uint8_t* base, int32_t id) {
    auto* lock = reinterpret_cast<uint32_t*>(base + 36);
    Lock(*lock);
    base[id] = base[32];
    base[32] = static_cast<uint8_t>(id);
    Unlock(*lock);
  }
  // A receiver's release: drops its bit and the receivers that were gone
  // when it took the element.
  void Recycle(int32_t id, uint64_t size, uint32_t mask, uint32_t bit) {
    uint8_t* base = id < 0 ? nullptr : Storage(size);
    if (base == nullptr) return;
    uint32_t& pending = *reinterpret_cast<uint32_t*>(base + 40 + id * ClassOf(size));
    uint32_t value = At(pending).load();
    uint32_t k = 0;
    while (!At(pending).compare_exchange_weak(value, value & mask & ~bit)) Backoff(k);
    if ((value & mask & ~bit) == 0) Free(base, id);
  }
  // The release of an overwritten chunk element.
  void Release(int32_t id, uint64_t size) {
    uint8_t* base = id < 0 ? nullptr : Storage(size);
    if (base != nullptr) Free(base, id);
  }

 private:
  std::map<uint64_t, ipc::ShmHandle> storages_;
};

struct Content {
  uint32_t conn_id;
  uint32_t msg_id;
  int32_t remain;
  const uint8_t* data;
  uint64_t size;
};

class Peer {
 public:
  bool Open(const std::string& name) {
    uint32_t* counter = ipc::GetConnIdCounter(true);
    conn_id_ = counter != nullptr ? At(*counter).fetch_add(1) : 0;
    read_.Open("__RD_CONN__" + name);
    space_.Open("__WT_CONN__" + name);
    if (!msg_counter_.Acquire("__AC_CONN__" + name, 4, true)) return false;
    if (!ring_holder_.Acquire("__QU_CONN__64__8__" + name, 0x6100, true)) return false;
    ring_ = static_cast<ShmRing*>(ring_holder_.view());
    if (At(ring_->constructed).load() == 0) {
      Lock(ring_->construct_lock);
      if (At(ring_->constructed).load() == 0) {
        At(ring_->receivers).store(0);
        At(ring_->construct_lock).store(0);
        At(ring_->constructed).store(1);
      }
      Unlock(ring_->construct_lock);
    }
    return true;
  }

  bool Connect() {
    uint32_t mask = At(ring_->receivers).load();
    for (uint32_t k = 0;;) {
      if (mask == 0xFFFFFFFFu) return false;
      if (At(ring_->receivers).compare_exchange_weak(mask, mask | (mask + 1))) break;
      Backoff(k);
    }
    bit_ = (mask | (mask + 1)) - mask;
    cursor_ = At(ring_->write_index).load();
    return true;
  }

  void Disconnect() {
    if (bit_ != 0) At(ring_->receivers).fetch_and(~bit_);
    bit_ = 0;
  }

  bool Send(uint64_t timeout, const uint8_t* data, uint64_t size) {
    if (At(ring_->receivers).load() == 0) return false;
    const uint32_t msg_id = At(*static_cast<uint32_t*>(msg_counter_.view())).fetch_add(1);
    const uint64_t whole = size / 64;
    for (uint64_t i = 0; i < whole; ++i) {
      const Content content{conn_id_, msg_id, static_cast<int32_t>(size - 64 - 64 * i), data + 64 * i, 64};
      if (!SendFragment(timeout, content)) return false;
    }
    const uint64_t rest = size - 64 * whole;
    if (rest == 0) return true;
    return SendFragment(timeout, Content{conn_id_, msg_id, static_cast<int32_t>(rest) - 64, data + 64 * whole, rest});
  }

  // The next message of another sender, or an empty vector.
  std::vector<uint8_t> Recv(uint64_t timeout) {
    for (;;) {
      uint8_t element[80];
      if (!Take(timeout, element)) return {};
      space_.Broadcast();
      uint32_t conn_id, msg_id;
      int32_t remain;
      std::memcpy(&conn_id, element, 4);
      std::memcpy(&msg_id, element + 4, 4);
      std::memcpy(&remain, element + 8, 4);
      const uint8_t* data = element + 16;
      if (conn_id == conn_id_) continue;
      const int64_t size = int64_t{remain} + 64;
      if (size <= 0) return {};
      if (element[12] != 0) {
        int32_t id;
        std::memcpy(&id, data, 4);
        const uint8_t* bytes = chunks_.Find(id, static_cast<uint64_t>(size));
        if (bytes == nullptr) continue;
        std::vector<uint8_t> message(bytes, bytes + size);
        chunks_.Recycle(id, static_cast<uint64_t>(size), At(ring_->receivers).load(), bit_);
        return message;
      }
      auto found = fragments_.find(msg_id);
      if (found == fragments_.end()) {
        if (size <= 64) return std::vector<uint8_t>(data, data + size);
        Entry entry;
        entry.bytes.assign(static_cast<size_t>(size), 0);
        std::memcpy(entry.bytes.data(), data, 64);
        entry.filled = 64;
        fragments_.emplace(msg_id, std::move(entry));
        continue;
      }
      Entry& entry = found->second;
      const uint64_t total = entry.bytes.size();
      const uint64_t count = std::min<uint64_t>(remain > 0 ? 64 : static_cast<uint64_t>(size), total - entry.filled);
      std::memcpy(entry.bytes.data() + entry.filled, data, static_cast<size_t>(count));
      entry.filled += count;
      if (remain > 0) continue;
      std::vector<uint8_t> message = std::move(entry.bytes);
      fragments_.erase(found);
      return message;
    }
  }

 private:
  struct Entry {
    uint64_t filled = 0;
    std::vector<uint8_t> bytes;
  };

  static void Fill(ShmRingElement& e, const Content& content) {
    uint8_t bytes[80] = {};
    std::memcpy(bytes, &content.conn_id, 4);
    std::memcpy(bytes + 4, &content.msg_id, 4);
    std::memcpy(bytes + 8, &content.remain, 4);
    if (content.data == nullptr || content.size == 0) {
      bytes[12] = 1;
    } else {
      std::memcpy(bytes + 16, content.data, static_cast<size_t>(std::min<uint64_t>(content.size, 64)));
    }
    std::memcpy(&e, bytes, sizeof(bytes));
  }

  void ClearMessage(const ShmRingElement& old) {
    if (old.storage == 0) return;
    const int64_t size = int64_t{old.remain} + 64;
    int32_t id;
    std::memcpy(&id, old.data, 4);
    if (size <= 0 || id < 0) return;
    chunks_.Release(id, static_cast<uint64_t>(size));
  }

  bool PushElement(const Content& content, bool clear_old = false) {
    uint64_t epoch = At(ring_->epoch).load();
    for (uint32_t k = 0;;) {
      const uint32_t m = At(ring_->receivers).load();
      if (m == 0) return false;
      const uint32_t w = At(ring_->write_index).load();
      ShmRingElement& e = ring_->elements[w % 256];
      uint64_t r = At(e.readers).load();
      if ((static_cast<uint32_t>(r) & m) != 0 && (r & kEpochByte) == (epoch & kEpochByte)) return false;
      const uint64_t commit = At(e.commit).load();
      if (static_cast<uint32_t>(r) == 0 && commit != w && commit != 0) return false;
      if (!At(e.readers).compare_exchange_strong(r, Claimed(r, epoch, m))) {
        Backoff(k);
        continue;
      }
      uint64_t current = epoch;
      if (At(ring_->epoch).compare_exchange_strong(current, current)) {
        At(ring_->write_index).store(w + 1);
        if (clear_old) ClearMessage(e);
        Fill(e, content);
        At(e.commit).store(~uint64_t{w});
        return true;
      }
      epoch = current;
      Backoff(k);
    }
  }

  bool ForcePush(const Content& content) {
    uint64_t epoch = At(ring_->epoch).fetch_add(kEpochStep) + kEpochStep;
    uint32_t k = 0;
    for (;;) {
      uint32_t m = At(ring_->receivers).load();
      if (m == 0) return false;
      const uint32_t w = At(ring_->write_index).load();
      ShmRingElement& e = ring_->elements[w % 256];
      uint64_t r = At(e.readers).load();
      if ((static_cast<uint32_t>(r) & m) != 0) {
        std::printf("force_push: k = %u, cc = %u, rem_cc = %u\n", k, m, static_cast<uint32_t>(r));
        while (!At(ring_->receivers).compare_exchange_weak(m, m & ~static_cast<uint32_t>(r))) {
        }
        m &= ~static_cast<uint32_t>(r);
        if (m == 0) return false;
      }
      if (At(e.readers).compare_exchange_strong(r, Claimed(r, epoch, m))) {
        if (At(ring_->epoch).load() == epoch) {
          At(ring_->write_index).store(w + 1);
          ClearMessage(e);
          Fill(e, content);
          At(e.commit).store(~uint64_t{w});
          return true;
        }
        if (PushElement(content, true)) return true;
        epoch = At(ring_->epoch).fetch_add(kEpochStep) + kEpochStep;
      }
      Backoff(k);
    }
  }

  bool SendFragment(uint64_t timeout, const Content& content) {
    bool pushed = false;
    for (int i = 0; i < kQuickTries && !pushed; ++i) {
      pushed = PushElement(content);
      if (!pushed) ::SwitchToThread();
    }
    if (!pushed) {
      const auto waited = space_.WaitFor([&] { return PushElement(content); }, timeout);
      pushed = waited != ipc::ShmWaiter::WaitResult::kTimedOut;
    }
    if (!pushed) {
      std::printf("force_push: msg_id = %zd, remain = %d, size = %zd\n", static_cast<size_t>(content.msg_id),
                  static_cast<int>(content.remain), static_cast<size_t>(content.size));
      if (!ForcePush(content)) return false;
    }
    read_.Broadcast();
    return true;
  }

  bool PopElement(uint8_t* out) {
    const uint32_t c = cursor_;
    ShmRingElement& e = ring_->elements[c % 256];
    if (At(e.commit).load() != ~uint64_t{c}) return false;
    cursor_ = c + 1;
    std::memcpy(out, &e, 80);
    for (uint32_t k = 0;;) {
      uint64_t r = At(e.readers).load();
      if (static_cast<uint32_t>(r) == 0) {
        At(e.commit).store(uint64_t{c} + 256);
        return true;
      }
      const uint64_t counter = (((r >> 32) & 0xFFFFFF) + 1) & 0xFFFFFF;
      const uint64_t next = (r & kEpochByte) | (counter << 32) | (static_cast<uint32_t>(r) & ~bit_);
      if (static_cast<uint32_t>(next) == 0) At(e.commit).store(uint64_t{c} + 256);
      if (At(e.readers).compare_exchange_strong(r, next)) return true;
      Backoff(k);
    }
  }

  bool Take(uint64_t timeout, uint8_t* out) {
    for (int i = 0; i < kQuickTries; ++i) {
      if (PopElement(out)) return true;
      ::SwitchToThread();
    }
    return read_.WaitFor([&] { return PopElement(out); }, timeout) == ipc::ShmWaiter::WaitResult::kReady;
  }

  uint32_t conn_id_ = 0;
  ipc::ShmWaiter read_;
  ipc::ShmWaiter space_;
  ipc::ShmHandle msg_counter_;
  ipc::ShmHandle ring_holder_;
  ShmRing* ring_ = nullptr;
  uint32_t bit_ = 0;
  uint32_t cursor_ = 0;
  Chunks chunks_;
  std::map<uint32_t, Entry> fragments_;
};

std::map<std::string, std::string> Parse(int argc, char** argv) {
  std::map<std::string, std::string> args;
  for (int i = 2; i + 1 < argc; i += 2) args[std::string(argv[i]).substr(2)] = argv[i + 1];
  return args;
}

uint64_t Number(std::map<std::string, std::string>& args, const std::string& key, uint64_t fallback = 0) {
  return args.count(key) != 0 ? std::stoull(args[key]) : fallback;
}

int Send(std::map<std::string, std::string>& args) {
  Peer peer;
  if (!peer.Open(args["channel"])) return 2;
  ipc_testing::NamedEvent start(args["start"]);
  if (!start.Wait(30000)) return 3;
  const auto sender = static_cast<uint32_t>(Number(args, "sender"));
  const auto count = static_cast<uint32_t>(Number(args, "count"));
  const uint64_t timeout = Number(args, "timeout", 2000);
  int refused = 0;
  for (uint32_t seq = 0; seq < count; ++seq) {
    const auto message = ipc_testing::MakeStressMessage(sender, seq, ipc_testing::StressSize(sender, seq));
    if (!peer.Send(timeout, message.data(), message.size())) ++refused;
  }
  std::printf("ring peer sender %u: %u messages, %d refused\n", sender, count, refused);
  return refused == 0 ? 0 : 1;
}

int Recv(std::map<std::string, std::string>& args) {
  Peer peer;
  if (!peer.Open(args["channel"]) || !peer.Connect()) return 2;
  ipc_testing::NamedEvent ready(args["ready"]);
  ready.Set();
  ipc_testing::StressVerifier verifier(static_cast<uint32_t>(Number(args, "senders")),
                                       static_cast<uint32_t>(Number(args, "count")), true);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(Number(args, "deadline-ms", 60000));
  bool ok = true;
  while (ok && !verifier.Done() && std::chrono::steady_clock::now() < deadline) {
    const std::vector<uint8_t> message = peer.Recv(200);
    if (!message.empty()) ok = verifier.Add(message.data(), message.size());
  }
  peer.Disconnect();
  const bool done = ok && verifier.Done();
  char line[512];
  std::snprintf(line, sizeof(line), "%s received=%llu ring peer %s\n", done ? "ok" : "fail",
                static_cast<unsigned long long>(verifier.received()),
                ok ? (done ? "" : "deadline passed") : verifier.error().c_str());
  std::fputs(line, stdout);
  if (args.count("result") != 0) {
    if (FILE* file = std::fopen(args["result"].c_str(), "w")) {
      std::fputs(line, file);
      std::fclose(file);
    }
  }
  return done ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 64;
  const std::string role = argv[1];
  auto args = Parse(argc, argv);
  if (role == "send") return Send(args);
  if (role == "recv") return Recv(args);
  return 64;
}
