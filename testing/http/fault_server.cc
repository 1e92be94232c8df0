// The test rig's fault-injecting HTTP server: serves the files of one folder
// on a loopback port and, chosen per request by the query string, stalls,
// answers with an error status, resets the connection, ignores Range, lies
// about Content-Length, leaves the length out, or redirects. It keeps a log
// of every request per key, which tests read back from /stats?key=K to see
// which byte ranges were fetched.
//
//   ql_fault_server --port 18081 --root DIR [--idle-exit SECONDS]
//
// Query parameters of /files/<name> and /redirect/<name>:
//   key=K            groups requests for /stats and for `times`
//   times=N          the GET faults below hit only the first N GETs of the key
//   status=CODE      GET answered with CODE and a short error body
//   reset=BYTES      GET: headers and BYTES of body, then a connection reset
//   stall=BYTES      GET: headers and BYTES of body, then silence
//   body_length=N    GET: claims Content-Length N, sends the real body, closes
//   head_status=CODE HEAD answered with CODE
//   head_stall=1     HEAD never answered
//   head_length=N    HEAD claims Content-Length N
//   norange=1        Range ignored, no Accept-Ranges header
//   accept_ranges=V  Accept-Ranges: V (with V "none", Range is ignored too)
//   nolength=1       no Content-Length; the body ends when the connection closes
//   content_md5=V    Content-MD5: V
//   rate=BYTES       the body is sent at most this fast (k and m suffixes)
//   rate_gets=N      only the first N GETs of the key are slowed down by rate
//   redirect_md5=V, redirect_accept_ranges=V
//                    the 302 of /redirect/<name> carries Content-MD5: V or
//                    Accept-Ranges: V (the file's own answer need not)
// Other paths: /redirect/<name> answers 302 to /files/<name> with the same
// query; /loop redirects to itself; /stats?key=K lists "METHOD RANGE STATUS
// BYTES" lines; /health answers "ok".
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "testing/http/fault_plan.h"

namespace {

using Clock = std::chrono::steady_clock;

// Longest a stalled answer holds its connection; the server never waits
// unboundedly on anything.
constexpr int kStallLimitMs = 120 * 1000;

std::string g_root;
std::atomic<int64_t> g_last_request_ms{0};

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

struct LogEntry {
  std::string method;
  std::string range;
  std::atomic<int> status{0};
  std::atomic<int64_t> bytes{0};
};

struct KeyState {
  std::deque<LogEntry> entries;  // a deque keeps references stable
  int gets = 0;
};

std::mutex g_log_mutex;
std::map<std::string, KeyState> g_keys;

bool SendAll(int fd, const char* data, size_t length) {
  while (length > 0) {
    const ssize_t n = ::send(fd, data, length, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

const char* Reason(int status) {
  switch (status) {
    case 200: return "OK";
    case 206: return "Partial Content";
    case 302: return "Found";
    case 404: return "Not Found";
    case 416: return "Range Not Satisfiable";
    case 500: return "Internal Server Error";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    default: return "Status";
  }
}

std::string Head(int status, const std::map<std::string, std::string>& headers, bool close) {
  std::string text = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) + "\r\n";
  for (const auto& [name, value] : headers) text += name + ": " + value + "\r\n";
  text += close ? "Connection: close\r\n\r\n" : "\r\n";
  return text;
}

// Waits until the client goes away or the stall limit passes.
void HoldSilently(int fd) {
  const int64_t until = NowMs() + kStallLimitMs;
  char sink[4096];
  while (NowMs() < until) {
    pollfd p{fd, POLLIN, 0};
    const int r = ::poll(&p, 1, 500);
    if (r < 0) return;
    if (r > 0) {
      const ssize_t n = ::recv(fd, sink, sizeof(sink), 0);
      if (n <= 0) return;
    }
  }
}

void ResetConnection(int fd) {
  linger l{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof(l));
}

// Sends `length` bytes of the file from `first`, at most `rate` bytes a
// second when rate > 0. Each block is counted in `*sent` before it goes out,
// so that a client that has its last byte already sees it in /stats.
bool SendFileBytes(int fd, std::ifstream& file, int64_t first, int64_t length, int64_t rate,
                   std::atomic<int64_t>* sent) {
  file.clear();
  file.seekg(first);
  std::vector<char> buffer(64 * 1024);
  const int64_t chunk_limit = rate > 0 ? std::max<int64_t>(1, std::min<int64_t>(rate / 20, buffer.size())) : buffer.size();
  const int64_t start_ms = NowMs();
  int64_t done = 0;
  while (done < length) {
    const int64_t n = std::min<int64_t>(chunk_limit, length - done);
    file.read(buffer.data(), n);
    if (file.gcount() != n) return false;
    *sent += n;
    if (!SendAll(fd, buffer.data(), static_cast<size_t>(n))) {
      *sent -= n;
      return false;
    }
    done += n;
    if (rate > 0) {
      const int64_t due_ms = start_ms + done * 1000 / rate;
      const int64_t wait = due_ms - NowMs();
      if (wait > 0) std::this_thread::sleep_for(std::chrono::milliseconds(wait));
    }
  }
  return true;
}

std::string Stats(const std::string& key) {
  std::lock_guard lock(g_log_mutex);
  std::string text;
  const auto it = g_keys.find(key);
  if (it == g_keys.end()) return text;
  for (const LogEntry& e : it->second.entries) {
    text += e.method + " " + (e.range.empty() ? "-" : e.range) + " " + std::to_string(e.status.load()) + " " +
            std::to_string(e.bytes.load()) + "\n";
  }
  return text;
}

bool SafeName(const std::string& name) {
  return !name.empty() && name.find('/') == std::string::npos && name.find("..") == std::string::npos;
}

// Answers one request; false when the connection must end afterwards.
bool Serve(int fd, const rig::Request& request) {
  g_last_request_ms = NowMs();
  const bool client_close = request.headers.count("connection") && request.headers.at("connection") == "close";
  auto simple = [&](int status, const std::string& body, std::map<std::string, std::string> headers = {}) {
    headers["Content-Length"] = std::to_string(body.size());
    headers["Content-Type"] = "text/plain";
    const std::string text = Head(status, headers, client_close) + (request.method == "HEAD" ? "" : body);
    return SendAll(fd, text.data(), text.size()) && !client_close;
  };

  if (request.path == "/health") return simple(200, "ok\n");
  if (request.path == "/stats") return simple(200, Stats(rig::QueryValue(request, "key")));
  if (request.path == "/loop") return simple(302, "loop\n", {{"Location", "/loop"}});

  std::string name;
  bool redirect = false;
  if (request.path.rfind("/files/", 0) == 0) {
    name = request.path.substr(7);
  } else if (request.path.rfind("/redirect/", 0) == 0) {
    name = request.path.substr(10);
    redirect = true;
  }
  if (!SafeName(name)) return simple(404, "not found\n");

  // The log entry is made when the request arrives, so a test that kills its
  // client mid-transfer still sees the request.
  const std::string key = rig::QueryValue(request, "key", "-");
  LogEntry* entry = nullptr;
  int get_number = 0;
  {
    std::lock_guard lock(g_log_mutex);
    KeyState& state = g_keys[key];
    entry = &state.entries.emplace_back();
    entry->method = request.method;
    entry->range = request.headers.count("range") ? request.headers.at("range") : "";
    if (request.method == "GET" && !redirect) get_number = ++state.gets;
  }
  auto record = [&](int status) { entry->status = status; };
  std::atomic<int64_t>& sent = entry->bytes;

  if (redirect) {
    const std::string location = "/files/" + name;
    std::string query;
    for (const auto& [k, v] : request.query) query += (query.empty() ? "?" : "&") + k + "=" + v;
    std::map<std::string, std::string> headers{{"Location", location + query}};
    if (const std::string md5 = rig::QueryValue(request, "redirect_md5"); !md5.empty()) headers["Content-MD5"] = md5;
    if (const std::string ranges = rig::QueryValue(request, "redirect_accept_ranges"); !ranges.empty()) {
      headers["Accept-Ranges"] = ranges;
    }
    record(302);
    return simple(302, "moved\n", headers);
  }

  const std::string path = g_root + "/" + name;
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    record(404);
    return simple(404, "not found\n");
  }
  std::ifstream file(path, std::ios::binary);
  const int64_t size = st.st_size;

  const std::string accept_ranges = rig::QueryValue(request, "accept_ranges");
  const bool nolength = rig::QueryValue(request, "nolength") == "1";
  const bool honour_range = rig::QueryValue(request, "norange") != "1" && accept_ranges != "none" && !nolength;
  rig::FileAnswer answer = rig::AnswerForFile(request, size, honour_range);
  if (!accept_ranges.empty()) answer.headers["Accept-Ranges"] = accept_ranges;
  if (const std::string md5 = rig::QueryValue(request, "content_md5"); !md5.empty()) answer.headers["Content-MD5"] = md5;
  if (nolength) answer.headers.erase("Content-Length");

  if (request.method == "HEAD") {
    if (rig::QueryValue(request, "head_stall") == "1") {
      HoldSilently(fd);
      record(0);
      return false;
    }
    if (const std::string status = rig::QueryValue(request, "head_status"); !status.empty()) {
      record(std::atoi(status.c_str()));
      return simple(std::atoi(status.c_str()), "");
    }
    if (const std::string claimed = rig::QueryValue(request, "head_length"); !claimed.empty()) {
      answer.headers["Content-Length"] = claimed;
    }
    record(answer.status);
    const std::string text = Head(answer.status, answer.headers, client_close || nolength);
    return SendAll(fd, text.data(), text.size()) && !client_close && !nolength;
  }
  if (request.method != "GET") {
    record(405);
    return simple(405, "method\n");
  }

  const int64_t times = rig::QueryBytes(request, "times", INT64_MAX);
  const bool faulty = get_number <= times;
  // rate_gets=N throttles only the first N GETs of the key.
  const int64_t rate =
      get_number <= rig::QueryBytes(request, "rate_gets", INT64_MAX) ? rig::QueryBytes(request, "rate", 0) : 0;

  if (faulty) {
    if (const std::string status = rig::QueryValue(request, "status"); !status.empty()) {
      const int code = std::atoi(status.c_str());
      record(code);
      return simple(code, "fault " + status + "\n");
    }
    const int64_t reset_after = rig::QueryBytes(request, "reset", -1);
    const int64_t stall_after = rig::QueryBytes(request, "stall", -1);
    if (reset_after >= 0 || stall_after >= 0) {
      record(answer.status);
      const std::string text = Head(answer.status, answer.headers, false);
      if (!SendAll(fd, text.data(), text.size())) return false;
      const int64_t cut = std::min(answer.length, reset_after >= 0 ? reset_after : stall_after);
      SendFileBytes(fd, file, answer.first, cut, rate, &sent);
      if (reset_after >= 0) {
        ResetConnection(fd);
      } else {
        HoldSilently(fd);
      }
      return false;
    }
    if (const std::string claimed = rig::QueryValue(request, "body_length"); !claimed.empty()) {
      answer.headers["Content-Length"] = claimed;
      record(answer.status);
      const std::string text = Head(answer.status, answer.headers, true);
      if (SendAll(fd, text.data(), text.size())) SendFileBytes(fd, file, answer.first, answer.length, rate, &sent);
      return false;
    }
  }

  const bool close_after = client_close || nolength;
  record(answer.status);
  const std::string text = Head(answer.status, answer.headers, close_after);
  bool ok = SendAll(fd, text.data(), text.size());
  if (ok) ok = SendFileBytes(fd, file, answer.first, answer.length, rate, &sent);
  return ok && !close_after;
}

void HandleConnection(int fd) {
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
  std::string buffer;
  char chunk[8192];
  for (;;) {
    size_t end;
    while ((end = buffer.find("\r\n\r\n")) == std::string::npos) {
      if (buffer.size() > 64 * 1024) {
        ::close(fd);
        return;
      }
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, kStallLimitMs) <= 0) {
        ::close(fd);
        return;
      }
      const ssize_t n = ::recv(fd, chunk, sizeof(chunk), 0);
      if (n <= 0) {
        ::close(fd);
        return;
      }
      buffer.append(chunk, static_cast<size_t>(n));
    }
    const std::string head = buffer.substr(0, end + 4);
    buffer.erase(0, end + 4);
    const auto request = rig::ParseRequest(head);
    if (!request) {
      const std::string bad = "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
      SendAll(fd, bad.data(), bad.size());
      break;
    }
    if (!Serve(fd, *request)) break;
  }
  ::close(fd);
}

}  // namespace

int main(int argc, char** argv) {
  int port = 0;
  int idle_exit = 900;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    if (name == "--port") port = std::atoi(argv[i + 1]);
    else if (name == "--root") g_root = argv[i + 1];
    else if (name == "--idle-exit") idle_exit = std::atoi(argv[i + 1]);
  }
  if (port <= 0 || g_root.empty()) {
    std::fprintf(stderr, "usage: %s --port PORT --root DIR [--idle-exit SECONDS]\n", argv[0]);
    return 2;
  }
  ::signal(SIGPIPE, SIG_IGN);

  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || ::listen(listener, 128) != 0) {
    std::perror("bind/listen");
    return 1;
  }

  // The server ends by itself once nobody has used it for a while, so a rig
  // whose stop step never ran does not linger.
  g_last_request_ms = NowMs();
  std::thread([idle_exit] {
    for (;;) {
      std::this_thread::sleep_for(std::chrono::seconds(1));
      if (NowMs() - g_last_request_ms.load() > int64_t{idle_exit} * 1000) std::_Exit(0);
    }
  }).detach();

  for (;;) {
    const int fd = ::accept(listener, nullptr, nullptr);
    if (fd < 0) continue;
    g_last_request_ms = NowMs();
    std::thread(HandleConnection, fd).detach();
  }
}
