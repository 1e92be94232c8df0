// Runs the collector program and talks to it over loopback with frames built
// by the client's own packing code.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "vireon_sdk/collector/collector_options.h"
#include "vireon_sdk/src/report/request_packing.h"
#include "vireon_sdk/src/report/response_parsing.h"
#include "vireon_sdk/src/report/tests/wire_test_util.h"

namespace vireon::collector {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Json = nlohmann::json;

constexpr std::string_view kAppKey = "QLTESTAPPKEY0001";

// A temporary folder per test, removed afterwards.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "ql-collector-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string operator/(const char* name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

// Runs a program to its end and gives its exit code and standard output.
struct Finished {
  int exit_code = -1;
  std::string out;
};

// Starts a program whose standard output is a pipe to the test.
struct Spawned {
  pid_t pid = -1;
  int out_fd = -1;
};

Spawned Spawn(std::vector<std::string> args) {
  int pipe_fds[2];
  EXPECT_EQ(pipe(pipe_fds), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipe_fds[1], STDOUT_FILENO);
    close(pipe_fds[0]);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(pipe_fds[1]);
  return {pid, pipe_fds[0]};
}

Finished RunToEnd(std::vector<std::string> args) {
  const Spawned child = Spawn(std::move(args));
  Finished result;
  char buffer[4096];
  ssize_t got;
  while ((got = read(child.out_fd, buffer, sizeof(buffer))) > 0) result.out.append(buffer, got);
  close(child.out_fd);
  int status = 0;
  waitpid(child.pid, &status, 0);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// The collector running in the background on a free port.
class Collector {
 public:
  Collector(const std::string& db, std::vector<std::string> extra) {
    std::vector<std::string> args = {QL_COLLECTOR_BINARY, "--db", db, "--port", "0"};
    args.insert(args.end(), extra.begin(), extra.end());
    const Spawned child = Spawn(std::move(args));
    pid_ = child.pid;
    out_fd_ = child.out_fd;
    // Its first line names the port: "listening on 127.0.0.1:PORT mode M".
    std::string line;
    char c;
    pollfd readable{out_fd_, POLLIN, 0};
    while (poll(&readable, 1, 10000) > 0 && read(out_fd_, &c, 1) == 1 && c != '\n') line += c;
    const size_t colon = line.rfind(':', line.find(" mode"));
    if (colon != std::string::npos) port_ = static_cast<uint16_t>(std::stoi(line.substr(colon + 1)));
    first_line_ = line;
  }
  ~Collector() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      Wait();
    }
    if (out_fd_ >= 0) close(out_fd_);
  }

  uint16_t port() const { return port_; }
  const std::string& first_line() const { return first_line_; }

  // Waits for the program to end (up to 10 s) and gives its exit code.
  int Wait() {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    int status = 0;
    while (Clock::now() < deadline) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return -2;
  }

 private:
  pid_t pid_ = -1;
  int out_fd_ = -1;
  uint16_t port_ = 0;
  std::string first_line_;
};

// One exchange as the client makes it: connect, send, half-close, read until
// the collector closes; the answer is capped at 64 KiB and bounded in time.
struct Exchange {
  bool connected = false;
  bool timed_out = false;
  std::string answer;
};

Exchange Send(uint16_t port, std::string_view bytes, int receive_timeout_ms = 3000) {
  Exchange result;
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    close(fd);
    return result;
  }
  result.connected = true;
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  shutdown(fd, SHUT_WR);
  const auto deadline = Clock::now() + std::chrono::milliseconds(receive_timeout_ms);
  char buffer[512];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd readable{fd, POLLIN, 0};
    if (left <= 0 || poll(&readable, 1, static_cast<int>(left)) <= 0) {
      result.timed_out = true;
      break;
    }
    const ssize_t n = recv(fd, buffer, sizeof(buffer), 0);
    if (n <= 0) break;
    result.answer.append(buffer, static_cast<size_t>(n));
    if (result.answer.size() > 64 * 1024) break;
  }
  close(fd);
  return result;
}

// The verdict the client would read from the answer; none when unreadable.
std::optional<int32_t> Verdict(const std::string& answer) {
  const auto socket_package = ParseSocketResponsePackage(answer.data(), answer.size());
  if (!socket_package) return std::nullopt;
  const auto response = ParseResponse(socket_package->body);
  if (!response) return std::nullopt;
  return response->result;
}

std::vector<Json> Dump(const std::string& db) {
  const Finished dump = RunToEnd({QL_COLLECTOR_BINARY, "--dump", "--db", db});
  EXPECT_EQ(dump.exit_code, 0);
  std::vector<Json> rows;
  size_t start = 0;
  while (start < dump.out.size()) {
    const size_t end = dump.out.find('\n', start);
    rows.push_back(Json::parse(dump.out.substr(start, end - start)));
    start = end + 1;
  }
  return rows;
}

std::string Frame(const std::string& log_id, const ReportParams& extra = {}) {
  ReportParams params = extra;
  params["log_id"] = log_id;
  params["event_time"] = "1700000000123";
  std::string frame;
  EXPECT_TRUE(PackRequest("installer_download_start", params, kAppKey, &frame));
  return frame;
}

TEST(Collector, StoresTheEventOnceAndAcceptsIt) {
  TempDir dir;
  Collector collector(dir / "events.db", {});
  ASSERT_NE(collector.port(), 0) << collector.first_line();

  const std::string frame = Frame("LOG-1", {{"q", "a&b=c"}});
  for (int attempt = 0; attempt < 2; ++attempt) {  // a retry of a delivered event
    const Exchange exchange = Send(collector.port(), frame);
    ASSERT_TRUE(exchange.connected);
    EXPECT_FALSE(exchange.timed_out);
    EXPECT_EQ(Verdict(exchange.answer), 0);
  }
  EXPECT_EQ(Verdict(Send(collector.port(), Frame("LOG-2")).answer), 0);

  const auto rows = Dump(dir / "events.db");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0]["log_id"], "LOG-1");
  EXPECT_EQ(rows[0]["deliveries"], 2);
  EXPECT_EQ(rows[0]["app_key"], kAppKey);
  EXPECT_EQ(rows[0]["event_code"], "installer_download_start");
  EXPECT_EQ(rows[0]["event_time"], 1700000000123);
  EXPECT_EQ(rows[0]["session_key"], "session");
  EXPECT_EQ(rows[0]["params"], (Json{{"log_id", "LOG-1"}, {"event_time", "1700000000123"}, {"q", "a%26b%3Dc"}}));
  EXPECT_EQ(rows[1]["log_id"], "LOG-2");
  EXPECT_EQ(rows[1]["deliveries"], 1);
}

TEST(Collector, EachModeAnswersAsItSays) {
  struct Case {
    const char* mode;
    bool stored;
    std::optional<int32_t> verdict;
    bool answer_empty;
    bool client_times_out;
  } cases[] = {
      {"reject", false, -1, false, false},
      {"close", true, std::nullopt, true, false},
      {"garbage", true, std::nullopt, false, false},
      {"hang", true, std::nullopt, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    TempDir dir;
    Collector collector(dir / "events.db", {"--mode", c.mode, "--hang-ms", "3000"});
    ASSERT_NE(collector.port(), 0) << collector.first_line();
    const auto started = Clock::now();
    const Exchange exchange = Send(collector.port(), Frame(std::string("LOG-") + c.mode), 500);
    ASSERT_TRUE(exchange.connected);
    EXPECT_EQ(exchange.timed_out, c.client_times_out);
    EXPECT_EQ(exchange.answer.empty(), c.answer_empty);
    EXPECT_EQ(Verdict(exchange.answer), c.verdict);
    if (!c.client_times_out) {
      EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(500));
    }
    EXPECT_EQ(Dump(dir / "events.db").size(), c.stored ? 1u : 0u);
  }
}

TEST(Collector, RefuseModeRefusesConnections) {
  TempDir dir;
  Collector collector(dir / "events.db", {"--mode", "refuse"});
  ASSERT_NE(collector.port(), 0) << collector.first_line();
  EXPECT_EQ(collector.first_line().rfind("refusing on", 0), 0u) << collector.first_line();
  EXPECT_FALSE(Send(collector.port(), Frame("LOG-R")).connected);
  EXPECT_TRUE(Dump(dir / "events.db").empty());
}

TEST(Collector, BadRequestsGetNoAnswerAndLeaveTheServerRunning) {
  TempDir dir;
  Collector collector(dir / "events.db", {"--read-timeout-ms", "300"});
  ASSERT_NE(collector.port(), 0) << collector.first_line();
  std::string good = Frame("LOG-OK");
  std::string wrong_length = good;
  wrong_length[1] = static_cast<char>(wrong_length[1] + 1);
  std::string default_key_frame;
  SessionKeyPair default_pair;
  GenerateSessionKey(&default_pair, "", nullptr);
  ASSERT_TRUE(PackRequest("e", {{"log_id", "LOG-D"}}, kAppKey, default_pair, &default_key_frame));
  std::string tampered_body = good;
  tampered_body[tampered_body.size() - 40] ^= 0x55;  // inside the gzip data, not the padding
  // One frame carrying thousands of events, each of which would be a row.
  auto many = FillEventRecord("e", {}, kAppKey);
  for (int i = 0; i < 5000; ++i) {
    const auto one = FillEventRecord("e", {{"log_id", "MANY-" + std::to_string(i)}}, kAppKey);
    ASSERT_EQ(many->events.Push(std::string(one->events.element(0))), kTagOk);
  }
  const std::string many_events = testing::FrameOf(*many);
  ASSERT_FALSE(many_events.empty());
  ASSERT_LE(many_events.size(), kMaxFrameBytes);
  // A frame that inflates to 8 MiB of plain text.
  std::string inflating;
  ASSERT_TRUE(PackRequest("e", {{"log_id", "LOG-BIG"}, {"blob", std::string(8u << 20, 'a')}}, kAppKey, &inflating));
  ASSERT_LE(inflating.size(), kMaxFrameBytes);

  const std::string bad[] = {
      "",                                    // nothing at all
      "GET / HTTP/1.0\r\n\r\n",             // another protocol
      wrong_length,                          // length field disagrees
      std::string(70000, 'A'),               // more than one frame can hold
      tampered_body,                         // body does not decrypt
      many_events,                           // more than the one event a request holds
      inflating,                             // plain text beyond what a request can be
  };
  for (const auto& request : bad) {
    SCOPED_TRACE(request.size());
    const Exchange exchange = Send(collector.port(), request, 2000);
    EXPECT_TRUE(exchange.connected);
    EXPECT_FALSE(exchange.timed_out);
    EXPECT_TRUE(exchange.answer.empty());
  }
  // A client that never finishes its request is cut off after the read time-out.
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(collector.port());
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(send(fd, good.data(), 10, 0), 10);
  pollfd readable{fd, POLLIN, 0};
  ASSERT_EQ(poll(&readable, 1, 3000), 1);
  char byte;
  EXPECT_EQ(recv(fd, &byte, 1, 0), 0) << "closed without an answer";
  close(fd);

  // Still serving, and the default key is recognised by its text.
  EXPECT_EQ(Verdict(Send(collector.port(), good).answer), 0);
  const Exchange with_default = Send(collector.port(), default_key_frame);
  const auto socket_package = ParseSocketResponsePackage(with_default.answer.data(), with_default.answer.size());
  ASSERT_TRUE(socket_package);
  const auto verdict = ParseResponse(socket_package->body, kDefaultSessionKeyText);
  ASSERT_TRUE(verdict);
  EXPECT_EQ(verdict->result, 0);

  const auto rows = Dump(dir / "events.db");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0]["log_id"], "LOG-OK");
  EXPECT_EQ(rows[1]["log_id"], "LOG-D");
  EXPECT_EQ(rows[1]["session_key"], "default");
}

TEST(Collector, ServesClientsInParallel) {
  TempDir dir;
  Collector collector(dir / "events.db", {});
  ASSERT_NE(collector.port(), 0) << collector.first_line();
  constexpr int kClients = 8;
  std::vector<std::optional<int32_t>> verdicts(kClients);
  std::vector<std::thread> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.emplace_back([&, i] { verdicts[i] = Verdict(Send(collector.port(), Frame("P" + std::to_string(i))).answer); });
  }
  for (auto& t : clients) t.join();
  for (const auto& v : verdicts) EXPECT_EQ(v, 0);
  EXPECT_EQ(Dump(dir / "events.db").size(), static_cast<size_t>(kClients));
}

TEST(Collector, StopsByItselfAndRejectsBadCommandLines) {
  TempDir dir;
  {
    Collector once(dir / "a.db", {"--max-connections", "1"});
    ASSERT_NE(once.port(), 0);
    EXPECT_EQ(Verdict(Send(once.port(), Frame("ONCE")).answer), 0);
    EXPECT_EQ(once.Wait(), 0);
  }
  {
    Collector timed(dir / "b.db", {"--exit-after-ms", "200", "--port-file", dir / "port"});
    ASSERT_NE(timed.port(), 0);
    EXPECT_EQ(timed.Wait(), 0);
    FILE* f = std::fopen((dir / "port").c_str(), "r");
    ASSERT_NE(f, nullptr);
    unsigned written = 0;
    EXPECT_EQ(std::fscanf(f, "%u", &written), 1);
    std::fclose(f);
    EXPECT_EQ(written, timed.port());
  }
  const std::vector<std::vector<std::string>> bad = {
      {QL_COLLECTOR_BINARY},
      {QL_COLLECTOR_BINARY, "--db", dir / "c.db", "--mode", "sometimes"},
      {QL_COLLECTOR_BINARY, "--db", dir / "c.db", "--port", "70000"},
      {QL_COLLECTOR_BINARY, "--db", dir / "c.db", "--frobnicate", "1"},
      {QL_COLLECTOR_BINARY, "--db"},
  };
  for (const auto& args : bad) {
    SCOPED_TRACE(args.size());
    EXPECT_EQ(RunToEnd(args).exit_code, 2);
  }
}

}  // namespace
}  // namespace vireon::collector
