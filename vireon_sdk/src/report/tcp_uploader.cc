#include "vireon_sdk/src/report/tcp_uploader.h"

#include <winsock2.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>

#include "vireon_sdk/src/report/transport_mgr.h"
#include "vireon_sdk/src/utils/guarded.h"
#include "vireon_sdk/src/utils/scoped_socket.h"

namespace vireon {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSocketBufferBytes = 65536;
constexpr size_t kReceiveChunk = 512;

bool SetBlocking(SOCKET socket, bool blocking) {
  u_long non_blocking = blocking ? 0 : 1;
  return ::ioctlsocket(socket, FIONBIO, &non_blocking) == 0;
}

// The host's first IPv4 address; none when the name does not resolve. (An
// unresolved name must not fall back to 0.0.0.0: some stacks connect that to
// the local machine, where anything listening on the port would take the
// package.)
std::optional<sockaddr_in> ResolveAddress(const std::string& host, uint16_t port) {
  const hostent* entry = ::gethostbyname(host.c_str());
  if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_length != 4 || entry->h_addr_list == nullptr ||
      entry->h_addr_list[0] == nullptr) {
    return std::nullopt;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = ::htons(port);
  std::memcpy(&address.sin_addr, entry->h_addr_list[0], 4);
  return address;
}

bool Connect(SOCKET socket, const sockaddr_in& address, std::chrono::microseconds wait) {
  if (!SetBlocking(socket, false)) return false;
  if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) {
    return SetBlocking(socket, true);
  }
  if (!SetBlocking(socket, true)) return false;
  fd_set writable;
  fd_set failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(socket, &writable);
  FD_SET(socket, &failed);
  timeval timeout{};
  timeout.tv_sec = static_cast<long>(wait.count() / 1000000);
  timeout.tv_usec = static_cast<long>(wait.count() % 1000000);
  if (::select(0, nullptr, &writable, &failed, &timeout) <= 0) return false;
  return FD_ISSET(socket, &writable) && !FD_ISSET(socket, &failed);
}

bool SendAll(SOCKET socket, const std::string& bytes) {
  if (bytes.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return false;
  const int32_t length = static_cast<int32_t>(bytes.size());
  if (length <= 0) return false;
  int32_t sent = 0;
  while (sent < length) {
    const int n = ::send(socket, bytes.data() + sent, length - sent, 0);
    if (n <= 0) return false;
    sent += n;
  }
  return true;
}

void PrintReceiveFailure(int error) {
  std::printf("recv failed with error: %d\n", error);
  std::fflush(stdout);
}

// Reads until the collector closes. The whole answer must come within
// `timeout` and stay within kMaxAnswerBytes, so a peer that trickles or
// streams cannot hold a socket thread or its memory.
bool ReceiveAll(SOCKET socket, std::chrono::milliseconds timeout, std::string* answer) {
  const auto deadline = Clock::now() + timeout;
  char chunk[kReceiveChunk];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      PrintReceiveFailure(WSAETIMEDOUT);
      return false;
    }
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval wait{};
    wait.tv_sec = static_cast<long>(left.count() / 1000000);
    wait.tv_usec = static_cast<long>(left.count() % 1000000);
    const int ready = ::select(0, &readable, nullptr, nullptr, &wait);
    if (ready == 0) continue;  // the deadline check above ends the wait
    if (ready < 0) {
      PrintReceiveFailure(::WSAGetLastError());
      return false;
    }
    const int got = ::recv(socket, chunk, static_cast<int>(sizeof(chunk)), 0);
    if (got == 0) return true;
    if (got < 0) {
      PrintReceiveFailure(::WSAGetLastError());
      return false;
    }
    if (answer->size() + static_cast<size_t>(got) > TcpUploader::kMaxAnswerBytes) return false;
    answer->append(chunk, static_cast<size_t>(got));
  }
}

}  // namespace

TcpUploader::Timeouts TcpUploader::TimeoutsFor(bool transport_active) {
  if (transport_active) return {std::chrono::microseconds(3000000), std::chrono::milliseconds(3000)};
  return {std::chrono::microseconds(500000), std::chrono::milliseconds(500)};
}

bool TcpUploader::Upload(const std::string& host, uint16_t port, const std::string& bytes, std::string* answer) {
  if (answer == nullptr) return false;
  return utils::Guarded(false, [&] {
    const Timeouts timeouts = TimeoutsFor(TransportMgr::Instance().active());
    const auto address = ResolveAddress(host, port);
    if (!address) return false;

    utils::ScopedSocket socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!socket) return false;
    const int buffer_bytes = kSocketBufferBytes;
    const DWORD receive_ms = static_cast<DWORD>(timeouts.receive.count());
    ::setsockopt(socket.Get(), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&buffer_bytes), sizeof(buffer_bytes));
    ::setsockopt(socket.Get(), SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&buffer_bytes), sizeof(buffer_bytes));
    ::setsockopt(socket.Get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&receive_ms), sizeof(receive_ms));

    if (!Connect(socket.Get(), *address, timeouts.connect)) return false;
    if (!SendAll(socket.Get(), bytes)) return false;
    ::shutdown(socket.Get(), SD_SEND);
    return ReceiveAll(socket.Get(), timeouts.receive, answer);
  });
}

}  // namespace vireon
