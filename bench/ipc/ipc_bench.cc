// Round-trip latency and one-way throughput between two processes: the
// shared-memory channel next to a Win32 named pipe, measured in the same
// run with the same messages.
//   ipc_bench                      the parent: runs every case, prints the table
//   ipc_bench child-shm NAME       the echoing peer over two channels
//   ipc_bench child-pipe NAME      the echoing peer over one duplex pipe
// Messages start with a kind byte: 'P' echo back, 'S' stream (count only),
// 'E' end of stream (answer with the count), 'Q' quit.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/scoped_handle.h"
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

// Both peers read every byte they get, as a real receiver that parses its
// message would; a view into shared memory is not free to look at.
uint64_t g_touched = 0;
void Touch(const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  uint64_t sum = 0;
  for (size_t i = 0; i < size; ++i) sum += bytes[i];
  g_touched += sum;
}

std::vector<uint8_t> Message(char kind, size_t size) {
  std::vector<uint8_t> message(std::max<size_t>(size, 9), 0x5A);
  message[0] = static_cast<uint8_t>(kind);
  return message;
}

std::vector<uint8_t> CountMessage(uint64_t count) {
  std::vector<uint8_t> message(9, 0);
  message[0] = 'C';
  std::memcpy(message.data() + 1, &count, sizeof(count));
  return message;
}

int ChildShm(const std::string& name) {
  ShmLink link(name + "-req", name + "-resp");
  base::ScopedKernelHandle ready(::CreateEventW(nullptr, TRUE, FALSE, Wide(name + "-ready").c_str()));
  ::SetEvent(ready.Get());
  uint64_t streamed = 0;
  for (;;) {
    ipc::ShmBuffer buffer = link.Recv();
    if (buffer.empty()) continue;
    const auto* bytes = static_cast<const uint8_t*>(buffer.data());
    Touch(bytes, buffer.size());
    switch (bytes[0]) {
      case 'P':
        ipc::ShmChannel::Send(kSendTimeoutMs, &link.out, buffer.data(), buffer.size());
        break;
      case 'S':
        ++streamed;
        break;
      case 'E':
        link.Send(CountMessage(streamed));
        streamed = 0;
        break;
      case 'Q':
        return 0;
    }
  }
}

int ChildPipe(const std::string& name) {
  const std::wstring path = L"\\\\.\\pipe\\" + Wide(name);
  ::WaitNamedPipeW(path.c_str(), 10000);
  PipeLink link(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!link.pipe.IsValid()) return 2;
  uint64_t streamed = 0;
  std::vector<uint8_t> message;
  while (link.Recv(&message)) {
    Touch(message.data(), message.size());
    switch (message[0]) {
      case 'P':
        link.Send(message);
        break;
      case 'S':
        ++streamed;
        break;
      case 'E':
        link.Send(CountMessage(streamed));
        streamed = 0;
        break;
      case 'Q':
        return 0;
    }
  }
  return 1;
}

struct Figures {
  double p50_us = 0;
  double p99_us = 0;
  double megabytes_per_s = 0;
  double messages_per_s = 0;
  bool ok = true;
};

double Percentile(std::vector<double> samples, double at) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  return samples[std::min(samples.size() - 1, static_cast<size_t>(at * samples.size()))];
}

// Runs one transport's round trips and stream through `send` and `recv`.
// `recv` returns the size of the reply and, for a count, the count.
template <typename Send, typename Recv>
Figures Measure(size_t size, int round_trips, int streamed, Send send, Recv recv) {
  Figures figures;
  std::vector<double> samples;
  const auto ping = Message('P', size);
  for (int i = 0; i < round_trips + round_trips / 10; ++i) {  // the first tenth warms up
    const auto start = Clock::now();
    if (!send(ping) || recv(nullptr) != ping.size()) {
      figures.ok = false;
      return figures;
    }
    if (i >= round_trips / 10) samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  figures.p50_us = Percentile(samples, 0.50);
  figures.p99_us = Percentile(samples, 0.99);
  const auto data = Message('S', size);
  const auto start = Clock::now();
  for (int i = 0; i < streamed; ++i) {
    if (!send(data)) {
      figures.ok = false;
      return figures;
    }
  }
  uint64_t counted = 0;
  if (!send(Message('E', 9)) || recv(&counted) != 9 || counted != static_cast<uint64_t>(streamed)) figures.ok = false;
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  figures.messages_per_s = streamed / seconds;
  figures.megabytes_per_s = static_cast<double>(streamed) * size / seconds / (1024.0 * 1024.0);
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
    return Figures{0, 0, 0, 0, false};
  }
  const Figures figures = Measure(
      size, round_trips, streamed, [&](const std::vector<uint8_t>& message) { return link.Send(message); },
      [&](uint64_t* count) -> size_t {
        ipc::ShmBuffer reply = link.Recv();
        if (count != nullptr && reply.size() == 9) std::memcpy(count, static_cast<const uint8_t*>(reply.data()) + 1, 8);
        return reply.size();
      });
  link.Send(Message('Q', 9));
  ::WaitForSingleObject(child.Get(), 10000);
  return figures;
}

Figures BenchPipe(size_t size, int round_trips, int streamed) {
  const std::string name = "ql-ipc-bench-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(size);
  const std::wstring path = L"\\\\.\\pipe\\" + Wide(name);
  PipeLink link(::CreateNamedPipeW(path.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                                   1, 1 << 16, 1 << 16, 0, nullptr));
  base::ScopedKernelHandle child;
  if (!link.pipe.IsValid() || !StartChild(L"child-pipe " + Wide(name), &child)) return Figures{0, 0, 0, 0, false};
  if (!::ConnectNamedPipe(link.pipe.Get(), nullptr) && ::GetLastError() != ERROR_PIPE_CONNECTED) {
    return Figures{0, 0, 0, 0, false};
  }
  std::vector<uint8_t> reply;
  const Figures figures = Measure(
      size, round_trips, streamed, [&](const std::vector<uint8_t>& message) { return link.Send(message); },
      [&](uint64_t* count) -> size_t {
        if (!link.Recv(&reply)) return 0;
        if (count != nullptr && reply.size() == 9) std::memcpy(count, reply.data() + 1, 8);
        return reply.size();
      });
  link.Send(Message('Q', 9));
  ::WaitForSingleObject(child.Get(), 10000);
  return figures;
}

void Print(const char* size, const char* transport, const Figures& f) {
  if (!f.ok) {
    std::printf("%-8s %-6s failed\n", size, transport);
    return;
  }
  std::printf("%-8s %-6s %10.1f %10.1f %10.1f %12.0f\n", size, transport, f.p50_us, f.p99_us, f.megabytes_per_s,
              f.messages_per_s);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "child-shm") == 0) return ChildShm(argv[2]);
  if (argc >= 3 && std::strcmp(argv[1], "child-pipe") == 0) return ChildPipe(argv[2]);
  struct Case {
    const char* label;
    size_t size;
    int round_trips;
    int streamed;
  };
  const Case cases[] = {{"64 B", 64, 2000, 20000}, {"2 KiB", 2048, 2000, 20000}, {"1 MiB", 1 << 20, 100, 300}};
  std::printf("round trip (p50, p99 in microseconds) and one-way throughput between two processes\n");
  std::printf("%-8s %-6s %10s %10s %10s %12s\n", "size", "via", "rtt_p50", "rtt_p99", "MiB/s", "messages/s");
  for (const Case& c : cases) {
    Print(c.label, "shm", BenchShm(c.size, c.round_trips, c.streamed));
    Print(c.label, "pipe", BenchPipe(c.size, c.round_trips, c.streamed));
  }
  return 0;
}
