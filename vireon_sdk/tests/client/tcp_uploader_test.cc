// One TCP exchange of the uploader against loopback peers that answer,
// close, stall, trickle, flood or are not there. The transport is not
// started in this process, so the uploader uses its short (stopping)
// time-outs of 0.5 s.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "vireon_sdk/src/report/tcp_uploader.h"
#include "vireon_sdk/src/report/transport_mgr.h"
#include "vireon_sdk/src/utils/scoped_socket.h"

namespace vireon {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using utils::ScopedSocket;

class WinsockEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    WSADATA data{};
    ASSERT_EQ(::WSAStartup(MAKEWORD(2, 2), &data), 0);
  }
  void TearDown() override { ::WSACleanup(); }
};
const auto* const kWinsock = testing::AddGlobalTestEnvironment(new WinsockEnvironment);

// Accepts one connection on 127.0.0.1, reads what the client sends until its
// half-close, then hands the connection to `serve` on the peer's thread.
class LoopbackPeer {
 public:
  using Serve = std::function<void(SOCKET client)>;

  explicit LoopbackPeer(Serve serve) : listener_(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    ::bind(listener_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address));
    ::listen(listener_.Get(), 4);
    int length = sizeof(address);
    ::getsockname(listener_.Get(), reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ::ntohs(address.sin_port);
    thread_ = std::thread([this, serve] {
      ScopedSocket client(::accept(listener_.Get(), nullptr, nullptr));
      if (!client) return;
      char chunk[4096];
      int got = 0;
      while ((got = ::recv(client.Get(), chunk, sizeof(chunk), 0)) > 0) received_.append(chunk, got);
      serve(client.Get());
    });
  }
  ~LoopbackPeer() { Join(); }

  uint16_t port() const { return port_; }
  // Waits for the peer to finish; what it received is then settled.
  const std::string& Join() {
    if (thread_.joinable()) {
      listener_.Close();  // ends an accept that never came
      thread_.join();
    }
    return received_;
  }

 private:
  ScopedSocket listener_;
  uint16_t port_ = 0;
  std::string received_;
  std::thread thread_;
};

bool SendText(SOCKET socket, const std::string& text) {
  return ::send(socket, text.data(), static_cast<int>(text.size()), 0) == static_cast<int>(text.size());
}

struct Outcome {
  bool ok;
  std::string answer;
  Clock::duration took;
};

Outcome Exchange(const std::string& host, uint16_t port, const std::string& package) {
  TcpUploader uploader;
  Outcome outcome{};
  const auto start = Clock::now();
  outcome.ok = uploader.Upload(host, port, package, &outcome.answer);
  outcome.took = Clock::now() - start;
  return outcome;
}

TEST(TcpUploaderTest, SendsThePackageWholeAndReadsTheAnswerUntilTheCollectorCloses) {
  std::string package;
  for (int i = 0; i < 70000; ++i) package.push_back(static_cast<char>(i * 7));
  LoopbackPeer peer([](SOCKET client) { SendText(client, "answer bytes"); });
  const Outcome outcome = Exchange("127.0.0.1", peer.port(), package);
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.answer, "answer bytes");
  EXPECT_EQ(peer.Join(), package);
}

TEST(TcpUploaderTest, ResolvesTheHostName) {
  LoopbackPeer peer([](SOCKET client) { SendText(client, "by name"); });
  const Outcome outcome = Exchange("localhost", peer.port(), "x");
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.answer, "by name");
}

TEST(TcpUploaderTest, ACloseWithoutAnswerIsACompletedExchange) {
  LoopbackPeer peer([](SOCKET) {});
  const Outcome outcome = Exchange("127.0.0.1", peer.port(), "package");
  EXPECT_TRUE(outcome.ok);
  EXPECT_TRUE(outcome.answer.empty());
}

TEST(TcpUploaderTest, APeerThatNeverAnswersFailsAfterTheReceiveTimeout) {
  LoopbackPeer peer([](SOCKET) { std::this_thread::sleep_for(1200ms); });
  const Outcome outcome = Exchange("127.0.0.1", peer.port(), "package");
  EXPECT_FALSE(outcome.ok);
  EXPECT_GE(outcome.took, 400ms);
  EXPECT_LT(outcome.took, 1500ms);
}

TEST(TcpUploaderTest, AnAnswerTrickledPastTheDeadlineFails) {
  // Each byte comes well within the per-read time-out; the whole answer does not.
  LoopbackPeer peer([](SOCKET client) {
    for (int i = 0; i < 25; ++i) {
      if (!SendText(client, "t")) return;
      std::this_thread::sleep_for(100ms);
    }
  });
  const Outcome outcome = Exchange("127.0.0.1", peer.port(), "package");
  EXPECT_FALSE(outcome.ok);
  EXPECT_LT(outcome.took, 1500ms);
}

TEST(TcpUploaderTest, TheAnswerIsCappedAtSixtyFourKibibytes) {
  LoopbackPeer exact([](SOCKET client) { SendText(client, std::string(TcpUploader::kMaxAnswerBytes, 'a')); });
  const Outcome fits = Exchange("127.0.0.1", exact.port(), "package");
  EXPECT_TRUE(fits.ok);
  EXPECT_EQ(fits.answer.size(), TcpUploader::kMaxAnswerBytes);

  LoopbackPeer flood([](SOCKET client) {
    const std::string block(16 * 1024, 'f');
    for (int i = 0; i < 64 && SendText(client, block); ++i) {
    }
  });
  const Outcome too_long = Exchange("127.0.0.1", flood.port(), "package");
  EXPECT_FALSE(too_long.ok);
  EXPECT_LE(too_long.answer.size(), TcpUploader::kMaxAnswerBytes);
}

TEST(TcpUploaderTest, APortNobodyListensOnFails) {
  uint16_t port = 0;
  {
    LoopbackPeer gone([](SOCKET) {});
    port = gone.port();
  }
  const Outcome outcome = Exchange("127.0.0.1", port, "package");
  EXPECT_FALSE(outcome.ok);
  EXPECT_LT(outcome.took, 1500ms);
}

TEST(TcpUploaderTest, AnUnresolvableHostFailsWithoutConnectingAnywhere) {
  // Were the unresolved name taken as 0.0.0.0, this stack would connect it
  // to the local machine, and the listening peer would get the package.
  LoopbackPeer local([](SOCKET client) { SendText(client, "wrong peer"); });
  const Outcome outcome = Exchange("no-such-host.invalid", local.port(), "package");
  EXPECT_FALSE(outcome.ok);
  EXPECT_TRUE(outcome.answer.empty());
  EXPECT_TRUE(local.Join().empty());
}

TEST(TcpUploaderTest, AZeroLengthPackageFailsAtTheSend) {
  LoopbackPeer peer([](SOCKET) {});
  const Outcome outcome = Exchange("127.0.0.1", peer.port(), "");
  EXPECT_FALSE(outcome.ok);
  EXPECT_TRUE(peer.Join().empty());
}

TEST(TcpUploaderTest, TheHttpUploaderNeverUploads) {
  LoopbackPeer peer([](SOCKET client) { SendText(client, "x"); });
  HttpUploader uploader;
  std::string answer;
  EXPECT_FALSE(uploader.Upload("127.0.0.1", peer.port(), "package", &answer));
  EXPECT_TRUE(answer.empty());
}

TEST(TcpUploaderTest, TimeoutsAreLongWhileTheTransportRunsAndShortWhileItStops) {
  EXPECT_FALSE(TransportMgr::Instance().active());
  const auto running = TcpUploader::TimeoutsFor(true);
  EXPECT_EQ(running.connect, 3000000us);
  EXPECT_EQ(running.receive, 3000ms);
  const auto stopping = TcpUploader::TimeoutsFor(false);
  EXPECT_EQ(stopping.connect, 500000us);
  EXPECT_EQ(stopping.receive, 500ms);
}

}  // namespace
}  // namespace vireon
