// The yardstick of the download bench: the least a Windows program can do to
// fetch a file over several connections. One thread per connection sends one
// ranged GET and reads the answer with blocking recv into a 1 MiB buffer; each
// buffer goes to the target at its offset with WriteFile ("-" as the target
// throws the data away). Under Wine this shows what Wine's WinSock and file
// writes allow, next to the downloader that does more per byte.
//   winsock_reader PORT PATH SIZE CONNECTIONS TARGET
// Prints "<bytes> <seconds>"; exits 1 when any connection fell short.
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "base/scoped_handle.h"

namespace {

constexpr size_t kBufferSize = 1 << 20;

class ScopedSocket {
 public:
  explicit ScopedSocket(SOCKET s) : socket_(s) {}
  ~ScopedSocket() {
    if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
  }
  ScopedSocket(const ScopedSocket&) = delete;
  ScopedSocket& operator=(const ScopedSocket&) = delete;
  SOCKET get() const { return socket_; }

 private:
  SOCKET socket_;
};

bool WriteAt(HANDLE file, long long offset, const char* data, size_t length) {
  if (file == INVALID_HANDLE_VALUE) return true;  // discarding
  while (length > 0) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD written = 0;
    if (!::WriteFile(file, data, static_cast<DWORD>(length), &written, &at) || written == 0) return false;
    offset += written;
    data += written;
    length -= written;
  }
  return true;
}

// Fetches [first, last] into `file` (or nowhere); the bytes of the body that
// arrived, -1 on a connection or protocol failure.
long long FetchRange(unsigned short port, const std::string& path, long long first, long long last, HANDLE file) {
  ScopedSocket s(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (s.get() == INVALID_SOCKET) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = ::htons(port);
  address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
  if (::connect(s.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) return -1;
  const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nRange: bytes=" +
                              std::to_string(first) + "-" + std::to_string(last) +
                              "\r\nConnection: close\r\n\r\n";
  if (::send(s.get(), request.data(), static_cast<int>(request.size()), 0) != static_cast<int>(request.size())) {
    return -1;
  }
  std::vector<char> buffer(kBufferSize);
  std::string head;
  bool in_body = false;
  long long offset = first;
  for (;;) {
    const int n = ::recv(s.get(), buffer.data(), static_cast<int>(buffer.size()), 0);
    if (n < 0) return -1;
    if (n == 0) break;
    const char* body = buffer.data();
    size_t length = static_cast<size_t>(n);
    if (!in_body) {
      head.append(buffer.data(), length);
      const size_t end = head.find("\r\n\r\n");
      if (end == std::string::npos) continue;
      if (head.compare(0, 12, "HTTP/1.1 206") != 0) return -1;
      in_body = true;
      const size_t body_in_head = head.size() - (end + 4);
      body = buffer.data() + (length - body_in_head);
      length = body_in_head;
    }
    if (offset + static_cast<long long>(length) > last + 1) return -1;
    if (!WriteAt(file, offset, body, length)) return -1;
    offset += static_cast<long long>(length);
  }
  return offset - first;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: winsock_reader PORT PATH SIZE CONNECTIONS TARGET\n");
    return 2;
  }
  const auto port = static_cast<unsigned short>(std::atoi(argv[1]));
  const std::string path = argv[2];
  const long long size = std::atoll(argv[3]);
  const int connections = std::atoi(argv[4]);
  const bool discard = std::strcmp(argv[5], "-") == 0;
  if (size <= 0 || connections < 1) return 2;

  WSADATA wsa;
  if (::WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 1;
  const auto start = std::chrono::steady_clock::now();
  base::ScopedKernelHandle file;
  if (!discard) {
    file.Reset(::CreateFileA(argv[5], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER end;
    end.QuadPart = size;
    if (!file || !::SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) || !::SetEndOfFile(file.Get())) {
      std::fprintf(stderr, "cannot create %s\n", argv[5]);
      return 1;
    }
  }
  const HANDLE target = discard ? INVALID_HANDLE_VALUE : file.Get();

  std::atomic<long long> total{0};
  std::atomic<bool> failed{false};
  std::vector<std::thread> threads;
  const long long share = size / connections;
  for (int i = 0; i < connections; ++i) {
    const long long first = share * i;
    const long long last = i == connections - 1 ? size - 1 : first + share - 1;
    threads.emplace_back([&, first, last] {
      const long long got = FetchRange(port, path, first, last, target);
      if (got != last - first + 1) failed = true;
      if (got > 0) total += got;
    });
  }
  for (std::thread& t : threads) t.join();
  file.Reset();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ::WSACleanup();
  std::printf("%lld %.3f\n", total.load(), seconds);
  return failed ? 1 : 0;
}
