#include "vireon_sdk/collector/collector_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "vireon_sdk/keys/collector_private_key.h"
#include "vireon_sdk/src/report/request_packing.h"
#include "vireon_sdk/src/report/request_unpacking.h"
#include "vireon_sdk/src/report/response_packing.h"

namespace vireon::collector {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxConcurrent = 64;
constexpr char kGarbageAnswer[] = "\x00\x1Fthis is not a telemetry answer\r\n";

std::atomic<bool> g_signalled{false};
void OnSignal(int) { g_signalled = true; }

// Owns one socket descriptor.
class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

int MsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

bool SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

bool WritePortFile(const std::string& path, uint16_t port) {
  // Written aside and renamed, so a reader never sees half a number.
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << port << '\n';
    if (!out.flush()) return false;
  }
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace

void CollectorServer::Log(const std::string& line) {
  std::lock_guard<std::mutex> lock(log_mutex_);
  std::fprintf(stderr, "collector: %s\n", line.c_str());
  std::fflush(stderr);
}

int CollectorServer::Run() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  Socket listener(::socket(AF_INET, SOCK_STREAM, 0));
  if (listener.get() < 0) {
    Log(std::string("socket: ") + std::strerror(errno));
    return 1;
  }
  const int on = 1;
  setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(options_.port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    Log("cannot bind 127.0.0.1:" + std::to_string(options_.port) + ": " + std::strerror(errno));
    return 1;
  }
  socklen_t length = sizeof(address);
  getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &length);
  const uint16_t port = ntohs(address.sin_port);

  // Refusing: the port stays bound, so connections get a reset and nothing
  // else can take the port meanwhile.
  const bool refusing = options_.mode == AnswerMode::kRefuse;
  if (!refusing && ::listen(listener.get(), 128) != 0) {
    Log(std::string("listen: ") + std::strerror(errno));
    return 1;
  }
  if (!options_.port_file.empty() && !WritePortFile(options_.port_file, port)) {
    Log("cannot write " + options_.port_file);
    return 1;
  }
  std::printf("%s on 127.0.0.1:%u mode %s\n", refusing ? "refusing" : "listening", port, ModeName(options_.mode));
  std::fflush(stdout);

  const auto started = Clock::now();
  int accepted = 0;
  for (;;) {
    Reap(false);
    if (g_signalled) break;
    if (options_.exit_after_ms > 0 && Clock::now() - started >= std::chrono::milliseconds(options_.exit_after_ms))
      break;
    if (options_.max_connections > 0 && accepted >= options_.max_connections) {
      if (workers_.empty()) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      continue;
    }
    if (refusing || workers_.size() >= kMaxConcurrent) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      continue;
    }
    pollfd waiting{listener.get(), POLLIN, 0};
    if (::poll(&waiting, 1, 50) <= 0) continue;
    sockaddr_in peer{};
    socklen_t peer_length = sizeof(peer);
    const int fd = ::accept(listener.get(), reinterpret_cast<sockaddr*>(&peer), &peer_length);
    if (fd < 0) continue;
    ++accepted;
    char peer_text[32];
    std::snprintf(peer_text, sizeof(peer_text), "%s:%u", inet_ntoa(peer.sin_addr), ntohs(peer.sin_port));
    Worker& worker = workers_.emplace_back();
    worker.thread = std::thread([this, fd, peer = std::string(peer_text), &worker] {
      Serve(fd, peer);
      worker.done = true;
    });
  }

  {
    std::lock_guard<std::mutex> lock(stop_mutex_);
    stopping_ = true;
  }
  stop_signal_.notify_all();
  Reap(true);
  Log("stopped after " + std::to_string(accepted) + " connection(s)");
  return 0;
}

void CollectorServer::Reap(bool all) {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (all || it->done) {
      it->thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

void CollectorServer::Hang() {
  std::unique_lock<std::mutex> lock(stop_mutex_);
  stop_signal_.wait_for(lock, std::chrono::milliseconds(options_.hang_ms), [this] { return stopping_; });
}

bool CollectorServer::ReadRequest(int fd, std::string* frame, std::string* problem) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(options_.read_timeout_ms);
  char chunk[4096];
  for (;;) {
    if (frame->size() >= 4) {
      const size_t declared = (size_t{static_cast<uint8_t>((*frame)[0])} << 8) | static_cast<uint8_t>((*frame)[1]);
      if (frame->size() == declared && frame->compare(frame->size() - 2, 2, "\r\n") == 0) return true;
    }
    pollfd readable{fd, POLLIN, 0};
    const int ready = ::poll(&readable, 1, MsLeft(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      *problem = "no complete request within " + std::to_string(options_.read_timeout_ms) + " ms";
      return false;
    }
    const ssize_t got = ::recv(fd, chunk, sizeof(chunk), 0);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *problem = std::string("recv: ") + std::strerror(errno);
      return false;
    }
    if (got == 0) return true;  // the client's half-close ends the request
    frame->append(chunk, static_cast<size_t>(got));
    if (frame->size() > kMaxFrameBytes) {
      *problem = "request longer than " + std::to_string(kMaxFrameBytes) + " bytes";
      return false;
    }
  }
}

void CollectorServer::Serve(int fd, const std::string& peer) {
  Socket socket(fd);
  std::string frame, problem;
  if (!ReadRequest(fd, &frame, &problem)) {
    Log(peer + ": " + problem + "; closed without answer");
    return;
  }
  UnpackedRequest request;
  if (!UnpackRequestFrame(frame, kCollectorPrivateKeyPem, &request, &problem)) {
    Log(peer + ": bad request (" + std::to_string(frame.size()) + " bytes): " + problem + "; closed without answer");
    return;
  }
  std::string events;
  for (const auto& event : request.events) events += (events.empty() ? "" : ",") + event.event_code;

  if (options_.mode != AnswerMode::kReject) {
    int added = 0, repeated = 0;
    if (!store_->Store(request, NowMs(), &added, &repeated, &problem)) {
      // Refused, so the client keeps the event and sends it again later.
      Log(peer + ": cannot store " + events + ": " + problem);
      std::string answer;
      if (PackResponse(-1, request.key_text, &answer)) SendAll(fd, answer);
      return;
    }
    Log(peer + ": " + events + " stored " + std::to_string(added) + " new, " + std::to_string(repeated) +
        " repeated; mode " + ModeName(options_.mode));
  } else {
    Log(peer + ": " + events + " refused; mode reject");
  }

  std::string answer;
  switch (options_.mode) {
    case AnswerMode::kOk:
    case AnswerMode::kReject:
      if (!PackResponse(options_.mode == AnswerMode::kOk ? 0 : -1, request.key_text, &answer)) {
        Log(peer + ": cannot build the answer");
        return;
      }
      break;
    case AnswerMode::kGarbage:
      answer.assign(kGarbageAnswer, sizeof(kGarbageAnswer) - 1);
      break;
    case AnswerMode::kHang:
      Hang();
      return;
    case AnswerMode::kClose:
    case AnswerMode::kRefuse:
      return;
  }
  if (!SendAll(fd, answer)) Log(peer + ": answer not sent: " + std::strerror(errno));
  ::shutdown(fd, SHUT_WR);
}

}  // namespace vireon::collector
