// The manager, sending and dispatch, in this process. Each case starts IPC
// under a client type no other case uses, so cases run side by side.
#include "ipc/ipc_manager.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ipc/ipc_channel.h"
#include "ipc/ipc_receiver.h"

namespace ipc {
namespace {

using nlohmann::json;

// Collects what a handler was given, across its threads.
class Inbox {
 public:
  void Put(const std::shared_ptr<IpcPacket>& packet) {
    std::lock_guard<std::mutex> lock(mutex_);
    packets_.push_back(packet);
    changed_.notify_all();
  }
  bool WaitFor(size_t count, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return packets_.size() >= count; });
  }
  std::vector<std::shared_ptr<IpcPacket>> packets() {
    std::lock_guard<std::mutex> lock(mutex_);
    return packets_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::shared_ptr<IpcPacket>> packets_;
};

std::shared_ptr<IpcPacket> Packet(int32_t to, json data, bool self = false) {
  auto packet = std::make_shared<IpcPacket>(IpcManager::Instance().own_type(), to, 1, std::move(data), self);
  return packet;
}

std::shared_ptr<IpcPacket> FromElsewhere(int32_t to, json data) {
  auto packet = Packet(to, std::move(data));
  packet->from_process_id = 1;
  return packet;
}

TEST(IpcSendTest, AddresseesWithoutChannelAreRefusedUncounted) {
  for (int32_t to : {0, 10007, 10012, 10015}) {
    EXPECT_FALSE(Send(std::make_shared<IpcPacket>(10008, to, 1, nullptr))) << to;
  }
  EXPECT_TRUE(IpcManager::Instance().quality_monitor()->send_stats().empty());
}

TEST(IpcSendTest, TransportRefusalIsCountedAndAcceptanceToo) {
  const QualityKey key{10008, kClientDornSdk, 77};
  EXPECT_FALSE(Send(std::make_shared<IpcPacket>(10008, kClientDornSdk, 77, nullptr)));  // nobody listens
  IpcChannel listener(ClientTypeName(kClientDornSdk), true, true);
  ASSERT_TRUE(listener.connected());
  EXPECT_TRUE(Send(std::make_shared<IpcPacket>(10008, kClientDornSdk, 77, json{{"k", "v"}})));
  const SendStats stats = IpcManager::Instance().quality_monitor()->send_stats().at(key);
  EXPECT_EQ(stats.total, 2u);
  EXPECT_EQ(stats.success, 1u);
  ShmBuffer buffer = ShmChannel::Recv(listener.channel(), 1000);
  ASSERT_FALSE(buffer.empty());
  const auto* text = static_cast<const char*>(buffer.data());
  EXPECT_EQ(text[buffer.size() - 1], '\0');
  const IpcPacket received = json::parse(text).get<IpcPacket>();
  EXPECT_EQ(received.data, (json{{"k", "v"}}));
  EXPECT_TRUE(received.send_time_us.has_value());
}

TEST(IpcSendTest, TextThatIsNotUtf8IsRefusedWithoutThrowing) {
  IpcChannel listener(ClientTypeName(kClientVivoSdk), true, true);
  auto packet = std::make_shared<IpcPacket>(10008, kClientVivoSdk, 1, json(std::string("\xC3\x28")));
  EXPECT_FALSE(Send(packet));
  EXPECT_TRUE(ShmChannel::Recv(listener.channel(), 0).empty());
}

TEST(IpcSendTest, NothingIsSentOnceStopped) {
  IpcManager::Instance().Init(kClientCrashNotifyHelper);
  IpcManager::Instance().Uninit();
  IpcChannel listener(ClientTypeName(kClientBoxHeadless), true, true);
  EXPECT_FALSE(Send(std::make_shared<IpcPacket>(10013, kClientBoxHeadless, 1, nullptr)));
}

TEST(IpcManagerTest, SecondInitChangesNothing) {
  IpcManager::Instance().Init(kClientBridge);
  IpcManager::Instance().Init(kClientAppStore);
  EXPECT_EQ(IpcManager::Instance().own_type(), kClientBridge);
  base::ScopedKernelHandle mutex(::OpenMutexA(MUTEX_ALL_ACCESS, FALSE, MakeInitedMutexName(kClientBridge, true).c_str()));
  EXPECT_TRUE(mutex.IsValid());
  IpcManager::Instance().Uninit();
}

TEST(IpcManagerTest, InitedMutexNames) {
  EXPECT_EQ(MakeInitedMutexName(kClientInstaller, true), "Global\\zephris_ipc_inited_TuvoInstaller");
  EXPECT_EQ(MakeInitedMutexName(kClientAppstore, false), "zephris_ipc_inited_TuvoAppstore");
  EXPECT_TRUE(IsInited(kClientPcvztSdk, true));  // not probed
}

TEST(IpcManagerTest, ClientTypeWithoutNameReadsNoChannel) {
  IpcReceiver receiver;  // for the own type, still 0 here
  receiver.Start();
  EXPECT_FALSE(receiver.task().valid());
  IpcManager::Instance().Init(kClientUnknown);
  EXPECT_EQ(IpcManager::Instance().own_type(), kClientUnknown);
  IpcManager::Instance().Uninit();
}

TEST(IpcManagerTest, StoppingDoesNotWaitOutTheReceiveTimeout) {
  IpcManager::Instance().Init(kClientAssistant);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the receiver is inside its wait
  const auto start = std::chrono::steady_clock::now();
  IpcManager::Instance().Uninit();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
}

TEST(IpcManagerTest, SecondRegistrationOfAnIdIsRefused) {
  IpcMsgHandler table;
  EXPECT_TRUE(table.Register(1, [](std::shared_ptr<IpcPacket>) { return true; }));
  EXPECT_FALSE(table.Register(1, [](std::shared_ptr<IpcPacket>) { return false; }));
  IpcQueryResponser queries;
  EXPECT_TRUE(queries.Register(1, [](const json&) { return json(1); }));
  EXPECT_FALSE(queries.Register(1, [](const json&) { return json(2); }));
}

TEST(IpcDispatchTest, FiltersDecideWhatReachesTheHandler) {
  IpcManager& manager = IpcManager::Instance();
  manager.Init(kClientLauncher);
  Inbox inbox;
  ASSERT_TRUE(manager.msg_handler()->Register(1, [&](std::shared_ptr<IpcPacket> packet) {
    inbox.Put(packet);
    return true;
  }));
  const auto Mark = [](std::shared_ptr<IpcPacket> packet, const char* name) {
    packet->data = name;
    return packet;
  };
  auto other_pid = FromElsewhere(kClientLauncher, nullptr);
  other_pid->to_process_id = ::GetCurrentProcessId() + 4;
  auto no_pid = FromElsewhere(kClientLauncher, nullptr);
  no_pid->to_process_id.reset();
  auto my_pid = FromElsewhere(kClientLauncher, nullptr);
  my_pid->to_process_id = ::GetCurrentProcessId();
  auto empty_channel = FromElsewhere(kClientLauncher, nullptr);
  empty_channel->response_channel = "";
  const std::vector<std::shared_ptr<IpcPacket>> dropped = {
      Mark(FromElsewhere(kClientInstaller, nullptr), "other type"),
      Mark(other_pid, "other pid"),
      Mark(no_pid, "no pid"),
      Mark(Packet(kClientLauncher, nullptr, false), "own without handle_self_ipc"),
  };
  const std::vector<std::shared_ptr<IpcPacket>> handled = {
      Mark(FromElsewhere(kClientLauncher, nullptr), "other process"),
      Mark(Packet(kClientLauncher, nullptr, true), "own with handle_self_ipc"),
      Mark(my_pid, "my pid"),
      Mark(empty_channel, "empty response channel"),
  };
  for (const auto& packet : dropped) manager.msg_handler()->Dispatch(packet);
  for (const auto& packet : handled) manager.msg_handler()->Dispatch(packet);
  ASSERT_TRUE(inbox.WaitFor(handled.size(), std::chrono::seconds(5)));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  std::vector<std::string> names;
  for (const auto& packet : inbox.packets()) names.push_back(packet->data.get<std::string>());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"empty response channel", "my pid", "other process",
                                             "own with handle_self_ipc"}));
  manager.Uninit();
}

TEST(IpcDispatchTest, QueriesAreAnsweredOnlyForRegisteredIdsAndGoodPayloads) {
  IpcManager& manager = IpcManager::Instance();
  manager.Init(kClientVirtualFileSystem);
  ASSERT_TRUE(manager.query_responser()->Register(5, [](const json& request) { return json{{"got", request}}; }));
  const auto Ask = [&](json data) {
    const std::string channel_name = "ipc_manager_test-" + std::to_string(::GetTickCount64()) + "-" + data.dump();
    IpcChannel answers(channel_name, true, true);
    auto packet = FromElsewhere(kClientVirtualFileSystem, std::move(data));
    packet->msg_id = kQueryMsgId;
    packet->response_channel = channel_name;
    manager.msg_handler()->Dispatch(packet);
    ShmBuffer buffer = ShmChannel::Recv(answers.channel(), 500);
    return buffer.empty() ? std::string("<none>") : std::string(static_cast<const char*>(buffer.data()));
  };
  EXPECT_EQ(Ask(json{{"query_id", 5}, {"data", {1, 2}}}), R"({"got":[1,2]})");
  EXPECT_EQ(Ask(json{{"query_id", 6}, {"data", nullptr}}), "<none>");
  EXPECT_EQ(Ask(json{{"data", nullptr}}), "<none>");
  EXPECT_EQ(Ask(json{{"query_id", "5"}, {"data", nullptr}}), "<none>");
  EXPECT_EQ(Ask(json("not an object")), "<none>");
  manager.Uninit();
}

TEST(IpcReceiverTest, MalformedMessagesAreDroppedAndCountedNowhere) {
  IpcManager& manager = IpcManager::Instance();
  manager.Init(kClientPcvztAssistant);
  Inbox inbox;
  manager.msg_handler()->Register(1, [&](std::shared_ptr<IpcPacket> packet) {
    inbox.Put(packet);
    return true;
  });
  IpcChannel sender(ClientTypeName(kClientPcvztAssistant), true, false);
  for (const char* text : {"{}", "not json", "{\"from\":1}", "\xFF\xFE"}) {
    ASSERT_TRUE(ShmChannel::Send(0, sender.channel(), text, std::strlen(text) + 1));
  }
  IpcPacket untimed(20002, kClientPcvztAssistant, 1, json{{"n", 1}});
  untimed.from_process_id = 1;
  untimed.send_time_us.reset();
  const std::string text = PacketText(untimed);
  ASSERT_TRUE(ShmChannel::Send(0, sender.channel(), text.c_str(), text.size() + 1));
  ASSERT_TRUE(inbox.WaitFor(1, std::chrono::seconds(5)));
  EXPECT_EQ(inbox.packets()[0]->data, (json{{"n", 1}}));
  const RecvStatsMap received = manager.quality_monitor()->recv_stats();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received.at(QualityKey{20002, kClientPcvztAssistant, 1}).total, 1u);
  EXPECT_EQ(received.at(QualityKey{20002, kClientPcvztAssistant, 1}).avg_cost, 0);
  manager.Uninit();
}

TEST(IpcManagerTest, LocalNamespaceWhenNotElevated) {
  SetElevationForTesting(false);
  IpcManager& manager = IpcManager::Instance();
  manager.Init(kClientNetbar);
  Inbox inbox;
  manager.msg_handler()->Register(1, [&](std::shared_ptr<IpcPacket> packet) {
    inbox.Put(packet);
    return true;
  });
  base::ScopedKernelHandle mutex(::OpenMutexA(MUTEX_ALL_ACCESS, FALSE, MakeInitedMutexName(kClientNetbar, false).c_str()));
  EXPECT_TRUE(mutex.IsValid());
  EXPECT_FALSE(Send(Packet(kClientNetbar, "global", true), true));  // nobody reads the Global channel
  EXPECT_TRUE(Send(Packet(kClientNetbar, "local", true), false));
  ASSERT_TRUE(inbox.WaitFor(1, std::chrono::seconds(5)));
  EXPECT_EQ(inbox.packets()[0]->data, "local");
  EXPECT_EQ(inbox.packets()[0]->uac, false);
  manager.Uninit();
  SetElevationForTesting(std::nullopt);
}

}  // namespace
}  // namespace ipc
