// The messages of the IPC stress runs: a header naming sender, sequence
// number and size, and bytes that follow from those, so that a receiver can
// tell a whole message from a torn, joined-wrong or repeated one.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace ipc_testing {

constexpr uint32_t kStressMagic = 0x51495043;
constexpr uint32_t kFinalSeq = 0xFFFFFFFFu;

struct StressHeader {
  uint32_t magic;
  uint32_t sender;
  uint32_t seq;
  uint32_t size;
  uint32_t check;
};

inline uint8_t StressByte(uint32_t sender, uint32_t seq, size_t i) {
  return static_cast<uint8_t>(i * 131 + seq * 7 + sender * 29 + (i >> 8));
}

// Sizes that cover one element, one chunk and runs of fragments.
inline size_t StressSize(uint32_t sender, uint32_t seq) {
  static const size_t kSizes[] = {20, 64, 65, 130, 1000, 1016, 1017, 3000, 200, 70000, 24, 500};
  return kSizes[(seq + sender * 5) % (sizeof(kSizes) / sizeof(kSizes[0]))];
}

inline uint32_t Fnv(const uint8_t* data, size_t size) {
  uint32_t hash = 2166136261u;
  for (size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
  return hash;
}

inline std::vector<uint8_t> MakeStressMessage(uint32_t sender, uint32_t seq, size_t size) {
  if (size < sizeof(StressHeader)) size = sizeof(StressHeader);
  std::vector<uint8_t> message(size);
  for (size_t i = sizeof(StressHeader); i < size; ++i) message[i] = StressByte(sender, seq, i);
  StressHeader header{kStressMagic, sender, seq, static_cast<uint32_t>(size),
                      Fnv(message.data() + sizeof(StressHeader), size - sizeof(StressHeader))};
  std::memcpy(message.data(), &header, sizeof(header));
  return message;
}

// Checks each message and keeps, per sender, the last sequence number seen.
// Strict: every message must come, in order. Lossy: messages may be missing
// but never torn, repeated or out of order.
class StressVerifier {
 public:
  StressVerifier(uint32_t senders, uint32_t count, bool strict) : senders_(senders), count_(count), strict_(strict) {}

  // False (with the reason kept) for a message that must not have come.
  bool Add(const void* data, size_t size) {
    StressHeader header;
    if (size < sizeof(header)) return Fail(Text("short message, bytes ", size));
    std::memcpy(&header, data, sizeof(header));
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (header.magic != kStressMagic) return Fail("bad magic");
    if (header.size != size) return Fail(Text("size differs from the header's, bytes ", size));
    if (header.sender >= senders_) return Fail(Text("unknown sender ", header.sender));
    for (size_t i = sizeof(header); i < size; ++i) {
      if (bytes[i] != StressByte(header.sender, header.seq, i)) {
        return Fail(Text("torn message from sender ", header.sender) + Text(" seq ", header.seq) + Text(" at byte ", i));
      }
    }
    if (header.check != Fnv(bytes + sizeof(header), size - sizeof(header))) return Fail("bad checksum");
    Sender& from = by_sender_[header.sender];
    if (header.seq == kFinalSeq) {
      from.final = true;  // sent more than once
      return true;
    }
    if (from.final) return Fail("message after the final marker");
    const int64_t expected = from.last + 1;
    if (strict_ ? header.seq != expected : header.seq < expected) {
      return Fail(Text("sender ", header.sender) + Text(": seq ", header.seq) + Text(" after ", from.last));
    }
    from.lost += header.seq - expected;
    from.last = header.seq;
    ++from.received;
    ++received_;
    return true;
  }

  bool Done() const {
    if (by_sender_.size() != senders_) return false;
    for (const auto& [id, from] : by_sender_) {
      if (strict_ ? from.received != count_ : !from.final) return false;
    }
    return true;
  }

  uint64_t received() const { return received_; }
  // Messages that never came (of those sent before the final markers).
  uint64_t lost() const { return uint64_t{senders_} * count_ - received_; }
  const std::string& error() const { return error_; }

 private:
  struct Sender {
    int64_t last = -1;
    uint64_t received = 0;
    uint64_t lost = 0;
    bool final = false;
  };
  static std::string Text(const char* label, int64_t number) {
    std::string text = label;
    text += std::to_string(number);
    return text;
  }
  bool Fail(const std::string& why) {
    if (error_.empty()) error_ = why;
    return false;
  }

  uint32_t senders_;
  uint32_t count_;
  bool strict_;
  std::map<uint32_t, Sender> by_sender_;
  uint64_t received_ = 0;
  std::string error_;
};

}  // namespace ipc_testing
