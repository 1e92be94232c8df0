// IPC between this process, started as the installer (10008), and peer
// processes that act as the product's other client types. The client types'
// channels and inited mutexes are machine-wide, so these cases hold the lock
// "ipc_clients".
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ipc/ipc_manager.h"
#include "ipc/ipc_query.h"
#include "testing/ipc/child_process.h"

namespace ipc {
namespace {

using nlohmann::json;
using ipc_testing::ChildProcess;
using ipc_testing::NamedEvent;
using ipc_testing::UniqueName;

// A peer process of one client type, stopped when the object goes.
class Peer {
 public:
  Peer(ClientType type, std::vector<std::string> extra = {})
      : ready_name_(UniqueName("peer-ready")), quit_name_(UniqueName("peer-quit")), ready_(ready_name_), quit_(quit_name_) {
    std::vector<std::string> args = {"--type", std::to_string(type), "--ready", ready_name_, "--quit", quit_name_};
    args.insert(args.end(), extra.begin(), extra.end());
    started_ = process_.Start(ipc_testing::ToWindowsPath(QL_IPC_PEER_EXE), args) && ready_.Wait(30000);
  }
  ~Peer() { Stop(); }
  bool started() const { return started_; }
  void Stop() {
    quit_.Set();
    process_.Wait(10000);
  }
  void Kill() { process_.Kill(); }

 private:
  std::string ready_name_;
  std::string quit_name_;
  NamedEvent ready_;
  NamedEvent quit_;
  ChildProcess process_;
  bool started_ = false;
};

// This process as the installer, collecting the messages that come back.
class CrossProcessTest : public testing::Test {
 protected:
  void StartAsInstaller() {
    IpcManager& manager = IpcManager::Instance();
    for (MsgId id : {2, 4}) {
      manager.msg_handler()->Register(id, [this](std::shared_ptr<IpcPacket> packet) {
        std::lock_guard<std::mutex> lock(mutex_);
        inbox_.push_back(packet);
        changed_.notify_all();
        return true;
      });
    }
    manager.Init(kClientInstaller);
  }
  void TearDown() override { IpcManager::Instance().Uninit(); }

  std::vector<std::shared_ptr<IpcPacket>> WaitFor(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, limit, [&] { return inbox_.size() >= count; });
    return inbox_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    inbox_.clear();
  }
  static bool SendTo(ClientType to, MsgId id, json data, std::optional<bool> global = std::nullopt) {
    return Send(std::make_shared<IpcPacket>(kClientInstaller, to, id, std::move(data)), global);
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::shared_ptr<IpcPacket>> inbox_;
};

TEST_F(CrossProcessTest, RoundTripWithTheSdkProcess) {
  StartAsInstaller();
  Peer sdk(kClientPcvztSdk);
  ASSERT_TRUE(sdk.started());
  const json data = {{"code", 3}, {"pkgname", "com.example.\xE6\xB8\xB8\xE6\x88\x8F"}, {"percent", 42.5}};
  ASSERT_TRUE(SendTo(kClientPcvztSdk, 1, data));
  const auto got = WaitFor(1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0]->from, kClientPcvztSdk);
  EXPECT_EQ(got[0]->data["echo"], data);
  EXPECT_NE(got[0]->data["pid"].get<DWORD>(), ::GetCurrentProcessId());
}

TEST_F(CrossProcessTest, MessagesLargerThanAnElementAndThanAChunkRoundTrip) {
  StartAsInstaller();
  Peer client(kClientAppstore);
  ASSERT_TRUE(client.started());
  const std::vector<size_t> sizes = {100, 5000, 200000, 1 << 20};
  for (size_t size : sizes) {
    std::string text(size, 'a');
    for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + (i * 7 + size) % 26);
    ASSERT_TRUE(SendTo(kClientAppstore, 1, json{{"size", size}, {"text", text}})) << size;
    const auto got = WaitFor(1);
    ASSERT_EQ(got.size(), 1u) << size;
    EXPECT_EQ(got[0]->data["echo"]["text"].get<std::string>(), text) << size;
    Clear();
  }
}

TEST_F(CrossProcessTest, LocalNamespaceChosenWhenThePeerRunsThere) {
  SetElevationForTesting(false);
  StartAsInstaller();
  Peer client(kClientAppstore, {"--local"});
  ASSERT_TRUE(client.started());
  EXPECT_FALSE(IsInited(kClientAppstore, true));
  EXPECT_TRUE(IsInited(kClientAppstore, false));
  ASSERT_TRUE(SendTo(kClientAppstore, 1, "via local"));  // namespace probed
  const auto got = WaitFor(1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0]->data["echo"], "via local");
  EXPECT_EQ(got[0]->uac, false);
  EXPECT_FALSE(SendTo(kClientAppstore, 1, "via global", true));
  SetElevationForTesting(std::nullopt);
}

TEST_F(CrossProcessTest, ProbedClientThatDoesNotRunIsNotSentTo) {
  StartAsInstaller();
  EXPECT_FALSE(IsInited(kClientAppstore, true));
  EXPECT_FALSE(IsInited(kClientAppstore, false));
  EXPECT_FALSE(SendTo(kClientAppstore, 1, nullptr));
  EXPECT_TRUE(IpcManager::Instance().quality_monitor()->send_stats().empty());
}

TEST_F(CrossProcessTest, QueriesAnsweredTimedOutAndUnreachable) {
  StartAsInstaller();
  Peer downloader(kClientInstallerDownloader);
  ASSERT_TRUE(downloader.started());
  auto answered = IpcQuerier::Query<json>(kClientInstallerDownloader, 5, json{{"x", 1}}, 5000);
  auto stop = IpcQuerier::Query<json>(kClientInstallerDownloader, kQueryStopDownload, QueryStopDownload{2000}, 5000, true);
  const auto start = std::chrono::steady_clock::now();
  auto unanswered = IpcQuerier::Query<json>(kClientInstallerDownloader, 99, json(nullptr), 0);
  auto unreachable = IpcQuerier::Query<json>(kClientNoChannel10015, kQueryClient10015, json(nullptr), 2000);
  const std::optional<json> answer = answered.get();
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(*answer, (json{{"answer", {{"x", 1}}}, {"type", 10011}}));
  const std::optional<json> stopped = stop.get();
  ASSERT_TRUE(stopped.has_value());
  EXPECT_TRUE(stopped->is_null());
  EXPECT_FALSE(unreachable.get().has_value());
  EXPECT_FALSE(unanswered.get().has_value());
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
}

TEST_F(CrossProcessTest, AnswerThatIsNotJsonIsSkipped) {
  StartAsInstaller();
  Peer raw(kClientPcvztAssistant, {"--raw-answer"});
  ASSERT_TRUE(raw.started());
  const QueryResult result = IpcQuerier::DoQuery(kClientPcvztAssistant, 1, nullptr, 3000, true);
  EXPECT_EQ(result.status, kQueryAnswered);
  EXPECT_EQ(result.answer, (json{{"ok", true}}));
}

TEST_F(CrossProcessTest, ManySendersAtOnce) {
  StartAsInstaller();
  const std::vector<ClientType> types = {kClientPcvztSdk, kClientAppstore, kClientInstallerDownloader};
  std::vector<std::unique_ptr<Peer>> peers;
  for (ClientType type : types) {
    peers.push_back(std::make_unique<Peer>(type));
    ASSERT_TRUE(peers.back()->started());
  }
  constexpr int kEach = 50;
  for (ClientType type : types) ASSERT_TRUE(SendTo(type, 3, json{{"count", kEach}, {"size", 300}}));
  const auto got = WaitFor(types.size() * kEach, std::chrono::seconds(30));
  std::map<int32_t, std::set<int>> seen;
  for (const auto& packet : got) {
    EXPECT_EQ(packet->data["pad"].get<std::string>().size(), 300u);
    EXPECT_TRUE(seen[packet->from].insert(packet->data["seq"].get<int>()).second) << "twice";
  }
  for (ClientType type : types) EXPECT_EQ(seen[type].size(), static_cast<size_t>(kEach)) << type;
}

TEST_F(CrossProcessTest, ReceiverThatStartsLateOrDies) {
  StartAsInstaller();
  EXPECT_FALSE(SendTo(kClientPcvztSdk, 1, "too early"));  // nobody reads the channel yet
  {
    Peer sdk(kClientPcvztSdk);
    ASSERT_TRUE(sdk.started());
    ASSERT_TRUE(SendTo(kClientPcvztSdk, 1, "now"));
    ASSERT_EQ(WaitFor(1).size(), 1u);
    sdk.Kill();
  }
  // The dead receiver still holds its place: the ring fills, then its place
  // is taken from it and sending says there is nobody.
  int sent = 0;
  while (sent < 400 && SendTo(kClientPcvztSdk, 7, sent)) ++sent;
  EXPECT_LE(sent, 257);
  EXPECT_FALSE(SendTo(kClientPcvztSdk, 7, "nobody"));
  Clear();
  Peer again(kClientPcvztSdk);
  ASSERT_TRUE(again.started());
  ASSERT_TRUE(SendTo(kClientPcvztSdk, 1, "again"));
  const auto got = WaitFor(1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0]->data["echo"], "again");
}

}  // namespace
}  // namespace ipc
