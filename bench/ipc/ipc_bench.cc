// Round-trip latency and one-way throughput between two processes: the
// shared-memory channel, the same through ipc::Send as the installer sends
// (JSON packets, a channel opened per send, timeout 0, handlers on their own
// threads), and a Win32 named pipe as the yardstick, measured in the same
// run with the same messages and timed the same way.
//   ipc_bench                      the parent: runs every case, prints the table
//   ipc_bench child-shm NAME       the echoing peer over two channels
//   ipc_bench child-pipe NAME      the echoing peer over one duplex pipe
//   ipc_bench child-ipc NAME       the echoing peer as client type 20001
// Messages start with a kind byte: 'P' echo back, 'S' stream (count only),
// 'E' end of stream (answer with the count and the number of messages whose
// bytes were not as sent), 'Q' quit; then an 8-byte sequence number, then
// bytes that follow from the sequence number. Every side reads and checks
// every byte it gets; a wrong byte anywhere makes the run fail (exit 1).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

#include <nlohmann/json.hpp>

#include "base/scoped_handle.h"
#include "ipc/ipc_dispatch.h"
#include "ipc/ipc_manager.h"
#include "ipc/shm_channel.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint64_t kSendTimeoutMs = 5000;
constexpr uint64_t kRecvTimeoutMs = 5000;

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::wstring OwnPath() {
  wchar_t path[MAX_PATH];
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

// One side's pair of channels: what it reads and what it writes.
struct ShmLink {
  ShmLink(const std::string& in_name, const std::string& out_name) {
    ipc::ShmChannel::Open(&in, in_name, true);
    ipc::ShmChannel::Open(&out, out_name, true);
    in.ConnectAsReceiver();
    out.ConnectAsSender();
  }
  bool Send(const std::vector<uint8_t>& message) {
    return ipc::ShmChannel::Send(kSendTimeoutMs, &out, message.data(), message.size());
  }
  ipc::ShmBuffer Recv() { return ipc::ShmChannel::Recv(&in, kRecvTimeoutMs); }
  ipc::ShmChannel in;
  ipc::ShmChannel out;
};

// Length-prefixed frames over a byte-mode pipe.
struct PipeLink {
  explicit PipeLink(HANDLE handle) : pipe(handle) {}
  bool WriteAll(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
      DWORD wrote = 0;
      if (!::WriteFile(pipe.Get(), bytes, static_cast<DWORD>(std::min<size_t>(size, 1 << 20)), &wrote, nullptr)) {
        return false;
      }
      bytes += wrote;
      size -= wrote;
    }
    return true;
  }
  bool ReadAll(void* data, size_t size) {
    auto* bytes = static_cast<uint8_t*>(data);
    while (size > 0) {
      DWORD got = 0;
      if (!::ReadFile(pipe.Get(), bytes, static_cast<DWORD>(std::min<size_t>(size, 1 << 20)), &got, nullptr) || got == 0) {
        return false;
      }
      bytes += got;
      size -= got;
    }
    return true;
  }
  bool Send(const std::vector<uint8_t>& message) {
    const auto length = static_cast<uint32_t>(message.size());
    return WriteAll(&length, sizeof(length)) && WriteAll(message.data(), message.size());
  }
  bool Recv(std::vector<uint8_t>* message) {
    uint32_t length = 0;
    if (!ReadAll(&length, sizeof(length))) return false;
    message->resize(length);
    return ReadAll(message->data(), length);
  }
  base::ScopedKernelHandle pipe;
};

constexpr size_t kHeader = 9;  // kind byte and sequence number

// Letters, so that the bytes can travel as JSON text as they are.
uint8_t PatternByte(uint64_t seq, size_t i) { return static_cast<uint8_t>('a' + (i * 7 + seq * 3 + (i >> 9)) % 26); }

std::vector<uint8_t> Message(char kind, uint64_t seq, size_t size) {
  std::vector<uint8_t> message(std::max(size, kHeader));
  message[0] = static_cast<uint8_t>(kind);
  std::memcpy(message.data() + 1, &seq, sizeof(seq));
  for (size_t i = kHeader; i < message.size(); ++i) message[i] = PatternByte(seq, i);
  return message;
}

// Reads every byte, as a receiver that parses its message would (a view
// into shared memory is not free to look at): true when they are the bytes
// the sender made.
bool Intact(const uint8_t* bytes, size_t size) {
  if (size < kHeader) return false;
  uint64_t seq;
  std::memcpy(&seq, bytes + 1, sizeof(seq));
  bool intact = true;
  for (size_t i = kHeader; i < size; ++i) intact &= bytes[i] == PatternByte(seq, i);
  return intact;
}

// The answer to 'E': 'C', the count, the number of damaged messages.
std::vector<uint8_t> CountMessage(uint64_t count, uint64_t damaged) {
  std::vector<uint8_t> message(17, 0);
  message[0] = 'C';
  std::memcpy(message.data() + 1, &count, sizeof(count));
  std::memcpy(message.data() + 9, &damaged, sizeof(damaged));
  return message;
}

// Counts what the stream brought; an echo or a count that comes back
// damaged counts as well.
struct StreamTally {
  uint64_t streamed = 0;
  uint64_t damaged = 0;
  // Returns the answer to send back, if any; false for 'Q'.
  bool Take(const uint8_t* bytes, size_t size, std::vector<uint8_t>* answer) {
    answer->clear();
    if (size == 0) return true;
    const bool intact = Intact(bytes, size);
    switch (bytes[0]) {
      case 'P':
        answer->assign(bytes, bytes + size);
        if (!intact) ++damaged;
        break;
      case 'S':
        ++streamed;
        if (!intact) ++damaged;
        break;
      case 'E':
        *answer = CountMessage(streamed, damaged);
        streamed = 0;
        damaged = 0;
        break;
      case 'Q':
        return false;
      default:
        ++damaged;
    }
    return true;
  }
};

int ChildShm(const std::string& name) {
  ShmLink link(name + "-req", name + "-resp");
  base::ScopedKernelHandle ready(::CreateEventW(nullptr, TRUE, FALSE, Wide(name + "-ready").c_str()));
  ::SetEvent(ready.Get());
  StreamTally tally;
  std::vector<uint8_t> answer;
  for (;;) {
    ipc::ShmBuffer buffer = link.Recv();
    if (buffer.empty()) continue;
    if (!tally.Take(static_cast<const uint8_t*>(buffer.data()), buffer.size(), &answer)) return 0;
    if (!answer.empty()) link.Send(answer);
  }
}

int ChildPipe(const std::string& name) {
  const std::wstring path = L"\\\\.\\pipe\\" + Wide(name);
  ::WaitNamedPipeW(path.c_str(), 10000);
  PipeLink link(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!link.pipe.IsValid()) return 2;
  StreamTally tally;
  std::vector<uint8_t> message;
  std::vector<uint8_t> answer;
  while (link.Recv(&message)) {
    if (!tally.Take(message.data(), message.size(), &answer)) return 0;
    if (!answer.empty()) link.Send(answer);
  }
  return 1;
}

// ipc::Send as the installer uses it: a message travels as a JSON packet,
// its first bytes (kind, sequence number, counts) in hex and the rest, which
// is letters, as text.
constexpr ipc::ClientType kBenchParent = ipc::kClientInstaller;
constexpr ipc::ClientType kBenchChild = ipc::kClientPcvztSdk;
constexpr ipc::MsgId kBenchMessage = 1;
constexpr size_t kHexHead = 17;

std::string Hex(const uint8_t* bytes, size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text(size * 2, '0');
  for (size_t i = 0; i < size; ++i) {
    text[2 * i] = kDigits[bytes[i] >> 4];
    text[2 * i + 1] = kDigits[bytes[i] & 15];
  }
  return text;
}

bool Unhex(const std::string& text, std::vector<uint8_t>* bytes) {
  if (text.size() % 2 != 0) return false;
  auto digit = [](char c) { return c >= 'a' ? c - 'a' + 10 : c - '0'; };
  for (size_t i = 0; i < text.size(); i += 2) bytes->push_back(static_cast<uint8_t>(digit(text[i]) << 4 | digit(text[i + 1])));
  return true;
}

bool SendPacket(ipc::ClientType from, ipc::ClientType to, const std::vector<uint8_t>& message) {
  const size_t head = std::min(message.size(), kHexHead);
  const nlohmann::json data{{"head", Hex(message.data(), head)},
                            {"text", std::string(message.begin() + head, message.end())}};
  return ipc::Send(std::make_shared<ipc::IpcPacket>(from, to, kBenchMessage, data));
}

// Packets arrive on handler threads of their own; they queue up here.
class Inbox {
 public:
  void Put(std::vector<uint8_t> message) {
    {
      std::lock_guard<std::mutex> hold(lock_);
      messages_.push_back(std::move(message));
    }
    changed_.notify_all();
  }
  bool Take(std::vector<uint8_t>* message, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> hold(lock_);
    if (!changed_.wait_for(hold, limit, [&] { return !messages_.empty(); })) return false;
    *message = std::move(messages_.front());
    messages_.pop_front();
    return true;
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<std::vector<uint8_t>> messages_;
};

// The parent's packets, for the whole run (IPC starts once per process).
Inbox& IpcInbox() {
  static Inbox inbox;
  return inbox;
}

void ReceivePackets(Inbox* inbox) {
  ipc::IpcManager::Instance().msg_handler()->Register(kBenchMessage, [inbox](std::shared_ptr<ipc::IpcPacket> packet) {
    std::vector<uint8_t> message;
    const auto head = packet->data.find("head");
    const auto text = packet->data.find("text");
    if (head == packet->data.end() || text == packet->data.end() || !head->is_string() || !text->is_string() ||
        !Unhex(head->get<std::string>(), &message)) {
      message.assign(1, 'X');  // damaged on the way
    } else {
      const std::string& rest = text->get_ref<const std::string&>();
      message.insert(message.end(), rest.begin(), rest.end());
    }
    inbox->Put(std::move(message));
    return true;
  });
}

int ChildIpc(const std::string& name) {
  Inbox inbox;
  ReceivePackets(&inbox);
  ipc::IpcManager::Instance().Init(kBenchChild);
  base::ScopedKernelHandle ready(::CreateEventW(nullptr, TRUE, FALSE, Wide(name + "-ready").c_str()));
  ::SetEvent(ready.Get());
  StreamTally tally;
  std::vector<uint8_t> message;
  std::vector<uint8_t> answer;
  for (;;) {
    if (!inbox.Take(&message, std::chrono::milliseconds(60000))) break;
    if (message.size() >= kHeader && message[0] == 'E') {
      // Handlers run on threads of their own, so the end of a stream may
      // overtake its last messages; 'E' says how many were sent.
      uint64_t expected = 0;
      std::memcpy(&expected, message.data() + 1, sizeof(expected));
      std::vector<uint8_t> late;
      while (tally.streamed < expected && inbox.Take(&late, std::chrono::milliseconds(2000))) {
        tally.Take(late.data(), late.size(), &answer);
      }
    }
    if (!tally.Take(message.data(), message.size(), &answer)) break;
    if (!answer.empty()) SendPacket(kBenchChild, kBenchParent, answer);
  }
  ipc::IpcManager::Instance().Uninit();
  return 0;
}

struct Figures {
  double p50_us = 0;
  double p99_us = 0;
  double megabytes_per_s = 0;
  double messages_per_s = 0;
  uint64_t lost = 0;     // streamed messages that never arrived
  bool damaged = false;  // some message arrived with bytes not as sent
  bool ok = true;        // every step ran (false: a send failed or an answer never came)
};

double Percentile(std::vector<double> samples, double at) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  return samples[std::min(samples.size() - 1, static_cast<size_t>(at * samples.size()))];
}

// Runs one transport's round trips and stream through `send` and `recv`;
// `recv` fills in the next message that came back (false when none came).
template <typename Send, typename Recv>
Figures Measure(size_t size, int round_trips, int streamed, Send send, Recv recv) {
  Figures figures;
  std::vector<double> samples;
  std::vector<uint8_t> reply;
  for (int i = 0; i < round_trips + round_trips / 10; ++i) {  // the first tenth warms up
    const auto ping = Message('P', i, size);
    const auto start = Clock::now();
    if (!send(ping) || !recv(&reply)) {
      figures.ok = false;
      return figures;
    }
    if (i >= round_trips / 10) samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    if (reply != ping || !Intact(reply.data(), reply.size())) figures.damaged = true;
  }
  figures.p50_us = Percentile(samples, 0.50);
  figures.p99_us = Percentile(samples, 0.99);
  std::vector<std::vector<uint8_t>> stream;
  for (int i = 0; i < streamed; ++i) stream.push_back(Message('S', i, size));
  const auto start = Clock::now();
  for (const auto& data : stream) {
    if (!send(data)) {
      figures.ok = false;
      return figures;
    }
  }
  uint64_t counted = 0;
  uint64_t damaged = 0;
  if (!send(Message('E', streamed, kHeader)) || !recv(&reply) || reply.size() != 17 || reply[0] != 'C') {
    figures.ok = false;
    return figures;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::memcpy(&counted, reply.data() + 1, sizeof(counted));
  std::memcpy(&damaged, reply.data() + 9, sizeof(damaged));
  figures.lost = static_cast<uint64_t>(streamed) - std::min<uint64_t>(counted, streamed);
  if (damaged != 0) figures.damaged = true;
  figures.messages_per_s = counted / seconds;
  figures.megabytes_per_s = static_cast<double>(counted) * size / seconds / (1024.0 * 1024.0);
  return figures;
}

bool StartChild(const std::wstring& args, base::ScopedKernelHandle* process) {
  const std::wstring self = OwnPath();
  std::wstring command = L"\"" + self + L"\" " + args;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(self.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return false;
  }
  process->Reset(info.hProcess);
  base::ScopedKernelHandle thread(info.hThread);
  return true;
}

Figures BenchShm(size_t size, int round_trips, int streamed) {
  const std::string name = "ql-ipc-bench-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(size);
  base::ScopedKernelHandle ready(::CreateEventW(nullptr, TRUE, FALSE, Wide(name + "-ready").c_str()));
  ShmLink link(name + "-resp", name + "-req");
  base::ScopedKernelHandle child;
  if (!StartChild(L"child-shm " + Wide(name), &child) || ::WaitForSingleObject(ready.Get(), 30000) != WAIT_OBJECT_0) {
    return Figures{.ok = false};
  }
  const Figures figures = Measure(
      size, round_trips, streamed, [&](const std::vector<uint8_t>& message) { return link.Send(message); },
      [&](std::vector<uint8_t>* reply) {
        ipc::ShmBuffer buffer = link.Recv();
        const auto* bytes = static_cast<const uint8_t*>(buffer.data());
        reply->assign(bytes, bytes + buffer.size());
        return !buffer.empty();
      });
  link.Send(Message('Q', 0, kHeader));
  ::WaitForSingleObject(child.Get(), 10000);
  return figures;
}

Figures BenchIpcSend(size_t size, int round_trips, int streamed) {
  const std::string name = "ql-ipc-bench-" + std::to_string(::GetCurrentProcessId()) + "-ipc-" + std::to_string(size);
  base::ScopedKernelHandle ready(::CreateEventW(nullptr, TRUE, FALSE, Wide(name + "-ready").c_str()));
  Inbox& inbox = IpcInbox();
  base::ScopedKernelHandle child;
  if (!StartChild(L"child-ipc " + Wide(name), &child) || ::WaitForSingleObject(ready.Get(), 30000) != WAIT_OBJECT_0) {
    return Figures{.ok = false};
  }
  const Figures figures = Measure(
      size, round_trips, streamed,
      [&](const std::vector<uint8_t>& message) { return SendPacket(kBenchParent, kBenchChild, message); },
      [&](std::vector<uint8_t>* reply) { return inbox.Take(reply, std::chrono::milliseconds(kRecvTimeoutMs)); });
  SendPacket(kBenchParent, kBenchChild, Message('Q', 0, kHeader));
  ::WaitForSingleObject(child.Get(), 10000);
  return figures;
}

Figures BenchPipe(size_t size, int round_trips, int streamed) {
  const std::string name = "ql-ipc-bench-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(size);
  const std::wstring path = L"\\\\.\\pipe\\" + Wide(name);
  PipeLink link(::CreateNamedPipeW(path.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                                   1, 1 << 16, 1 << 16, 0, nullptr));
  base::ScopedKernelHandle child;
  if (!link.pipe.IsValid() || !StartChild(L"child-pipe " + Wide(name), &child)) return Figures{.ok = false};
  if (!::ConnectNamedPipe(link.pipe.Get(), nullptr) && ::GetLastError() != ERROR_PIPE_CONNECTED) {
    return Figures{.ok = false};
  }
  const Figures figures = Measure(
      size, round_trips, streamed, [&](const std::vector<uint8_t>& message) { return link.Send(message); },
      [&](std::vector<uint8_t>* reply) { return link.Recv(reply); });
  link.Send(Message('Q', 0, kHeader));
  ::WaitForSingleObject(child.Get(), 10000);
  return figures;
}

// One row; false when the figures cannot stand (a step failed or bytes came
// back other than sent).
bool Print(const char* size, const char* transport, const Figures& f) {
  if (!f.ok || f.damaged) {
    std::printf("%-8s %-9s %s\n", size, transport, f.ok ? "FAILED: bytes not as sent" : "FAILED");
    return false;
  }
  std::printf("%-8s %-9s %10.1f %10.1f %10.1f %12.0f %8llu\n", size, transport, f.p50_us, f.p99_us, f.megabytes_per_s,
              f.messages_per_s, static_cast<unsigned long long>(f.lost));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "child-shm") == 0) return ChildShm(argv[2]);
  if (argc >= 3 && std::strcmp(argv[1], "child-pipe") == 0) return ChildPipe(argv[2]);
  if (argc >= 3 && std::strcmp(argv[1], "child-ipc") == 0) return ChildIpc(argv[2]);
  struct Case {
    const char* label;
    size_t size;
    int round_trips;
    int streamed;
    int streamed_ipc;  // ipc::Send opens a channel per message
  };
  const Case cases[] = {{"64 B", 64, 2000, 20000, 2000}, {"2 KiB", 2048, 2000, 20000, 2000}, {"1 MiB", 1 << 20, 100, 300, 100}};
  ReceivePackets(&IpcInbox());
  ipc::IpcManager::Instance().Init(kBenchParent);
  std::printf("round trip (p50, p99 in microseconds) and one-way throughput between two processes\n");
  std::printf("%-8s %-9s %10s %10s %10s %12s %8s\n", "size", "via", "rtt_p50", "rtt_p99", "MiB/s", "messages/s", "lost");
  bool all = true;
  for (const Case& c : cases) {
    all &= Print(c.label, "shm", BenchShm(c.size, c.round_trips, c.streamed));
    all &= Print(c.label, "ipc::Send", BenchIpcSend(c.size, c.round_trips / 10, c.streamed_ipc));
    all &= Print(c.label, "pipe", BenchPipe(c.size, c.round_trips, c.streamed));
  }
  ipc::IpcManager::Instance().Uninit();
  return all ? 0 : 1;
}
