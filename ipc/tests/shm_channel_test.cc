// Channels between endpoints of this process, on channel names of each
// test's own. Threads stand in for processes: every endpoint maps the named
// objects as another process would.
#include "ipc/shm_channel.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "base/scoped_handle.h"
#include "ipc/chunk_storage.h"
#include "testing/ipc/child_process.h"
#include "testing/ipc/stress_message.h"

namespace ipc {
namespace {

using ipc_testing::UniqueName;

struct Endpoint {
  Endpoint(const std::string& name, bool receiver, bool global = true) {
    ShmChannel::Open(&channel, name, global);
    connected = receiver ? channel.ConnectAsReceiver() : channel.ConnectAsSender();
  }
  ShmRing* ring() { return static_cast<ShmRing*>(channel.ring_holder().view()); }
  bool Send(const std::string& text, uint64_t timeout = 0) {
    return ShmChannel::Send(timeout, &channel, text.data(), text.size());
  }
  std::string Recv(uint64_t timeout = 0) {
    ShmBuffer buffer = ShmChannel::Recv(&channel, timeout);
    return std::string(static_cast<const char*>(buffer.data()), static_cast<size_t>(buffer.size()));
  }
  ShmChannel channel;
  bool connected = false;
};

uint32_t MessageCounter(const std::string& name) {
  ShmHandle counter;
  counter.Acquire("__AC_CONN__" + name, 4);
  return *static_cast<uint32_t*>(counter.view());
}

std::string Numbered(int i) {
  std::string text = "m";
  text += std::to_string(i);
  return text;
}

std::string Bytes(size_t size, char seed) {
  std::string text(size, '\0');
  for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>(seed + i * 13 + (i >> 10));
  return text;
}

TEST(ShmChannelTest, SendingWithoutReceiversFailsAndTakesNoMessageId) {
  const std::string name = UniqueName("chan");
  Endpoint sender(name, false);
  ASSERT_TRUE(sender.connected);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(sender.Send("hello"));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("fail: send, there is no receiver on this connection.\n"), std::string::npos) << err;
  EXPECT_EQ(MessageCounter(name), 0u);
}

TEST(ShmChannelTest, EmptyOrNullMessagesAreRefused) {
  const std::string name = UniqueName("chan");
  Endpoint receiver(name, true);
  Endpoint sender(name, false);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(ShmChannel::Send(0, &sender.channel, nullptr, 5));
  EXPECT_FALSE(ShmChannel::Send(0, &sender.channel, "x", 0));
  EXPECT_FALSE(ShmChannel::Send(0, nullptr, "x", 1));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("fail: send, queue_of(h) == nullptr"), std::string::npos) << err;
  EXPECT_EQ(receiver.Recv(), "");
}

TEST(ShmChannelTest, MessagesOfEverySizeArriveWhole) {
  const std::string name = UniqueName("chan");
  Endpoint receiver(name, true);
  Endpoint sender(name, false);
  for (size_t size : {1, 63, 64, 65, 128, 1016, 1017, 5000, 200000, 1 << 20}) {
    const std::string message = Bytes(size, static_cast<char>(size));
    ASSERT_TRUE(sender.Send(message, 1000)) << size;
    const std::string got = receiver.Recv(2000);
    ASSERT_EQ(got.size(), size);
    EXPECT_TRUE(got == message) << size;
  }
}

TEST(ShmChannelTest, ElementsOfSmallAndFragmentedMessages) {
  const std::string name = UniqueName("chan");
  Endpoint receiver(name, true);
  Endpoint sender(name, false);
  ASSERT_TRUE(sender.Send(Bytes(64, 'a')));
  const ShmRingElement& one = sender.ring()->elements[0];
  EXPECT_EQ(one.remain, 0);
  EXPECT_EQ(one.storage, 0);
  EXPECT_EQ(one.conn_id, sender.channel.conn_id());
  EXPECT_EQ(receiver.Recv(), Bytes(64, 'a'));
}

TEST(ShmChannelTest, ThirtyThirdReceiverCannotConnect) {
  const std::string name = UniqueName("chan");
  std::vector<std::unique_ptr<Endpoint>> receivers;
  for (int i = 0; i < 32; ++i) {
    receivers.push_back(std::make_unique<Endpoint>(name, true));
    EXPECT_TRUE(receivers.back()->connected) << i;
  }
  Endpoint extra(name, true);
  EXPECT_FALSE(extra.connected);
  receivers.pop_back();
  // The one turned away takes the freed place on its next receive.
  EXPECT_EQ(extra.Recv(0), "");
  EXPECT_NE(extra.channel.own_bit(), 0u);
  Endpoint sender(name, false);
  ASSERT_TRUE(sender.Send("for all"));
  EXPECT_EQ(extra.Recv(0), "for all");
  Endpoint again(name, true);
  EXPECT_FALSE(again.connected);
}

TEST(ShmChannelTest, ReceiveTimeouts) {
  const std::string name = UniqueName("chan");
  Endpoint receiver(name, true);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(receiver.Recv(0), "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(receiver.Recv(300), "");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(280));
}

TEST(ShmChannelTest, LateReceiverAndOwnMessages) {
  const std::string name = UniqueName("chan");
  Endpoint early(name, true);
  Endpoint sender(name, false);
  ASSERT_TRUE(sender.Send("before"));
  Endpoint late(name, true);
  ASSERT_TRUE(sender.Send("after"));
  EXPECT_EQ(late.Recv(), "after");
  EXPECT_EQ(early.Recv(), "before");
  EXPECT_EQ(early.Recv(), "after");
  // An endpoint does not hear itself, but hears the other endpoints of its
  // own process.
  ASSERT_TRUE(early.Send("from early"));
  EXPECT_EQ(late.Recv(), "from early");
  EXPECT_EQ(early.Recv(), "");
}

TEST(ShmChannelTest, DroppedReceiverRejoinsInsteadOfStayingDeaf) {
  const std::string name = UniqueName("chan");
  Endpoint silent(name, true);
  Endpoint sender(name, false);
  for (int i = 0; i < 256; ++i) ASSERT_TRUE(sender.Send(Numbered(i))) << i;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(sender.Send("m256"));  // overwrites, drops the only receiver
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("force_push: msg_id = 256, remain = -60, size = 4\n"), std::string::npos) << out;
  EXPECT_NE(out.find("force_push: k = 0, cc = 1, rem_cc = 1\n"), std::string::npos) << out;
  EXPECT_FALSE(sender.Send("nobody listens"));
  // What it had not read is still there for it, then it finds itself
  // dropped and rejoins.
  for (int i = 0; i < 256; ++i) ASSERT_EQ(silent.Recv(0), Numbered(i));
  testing::internal::CaptureStderr();
  EXPECT_EQ(silent.Recv(0), "");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("lost its place"), std::string::npos) << err;
  EXPECT_EQ(silent.channel.resyncs(), 1u);
  ASSERT_TRUE(sender.Send("heard again"));
  EXPECT_EQ(silent.Recv(), "heard again");
}

TEST(ShmChannelTest, DisconnectReleasesBlockedReceiveAndSend) {
  const std::string name = UniqueName("chan");
  Endpoint receiver(name, true);
  std::atomic<bool> received_done{false};
  std::thread receiving([&] {
    EXPECT_EQ(receiver.Recv(20000), "");
    received_done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  auto start = std::chrono::steady_clock::now();
  ShmChannel::Disconnect(&receiver.channel);
  receiving.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

  Endpoint silent(name, true);
  Endpoint sender(name, false);
  for (int i = 0; i < 256; ++i) ASSERT_TRUE(sender.Send("x"));
  std::atomic<int> sent{-1};
  std::thread sending([&] { sent = sender.Send("blocked", 20000) ? 1 : 0; });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(sent.load(), -1);
  start = std::chrono::steady_clock::now();
  ShmChannel::Disconnect(&sender.channel);
  sending.join();
  EXPECT_EQ(sent.load(), 0) << "a send released by a disconnect sent nothing and must say so";
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(ShmChannelTest, LocalAndGlobalChannelsOfOneNameAreSeparate) {
  const std::string name = UniqueName("chan");
  Endpoint local_receiver(name, true, false);
  Endpoint global_sender(name, false, true);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(global_sender.Send("to global"));
  testing::internal::GetCapturedStderr();
  Endpoint local_sender(name, false, false);
  ASSERT_TRUE(local_sender.Send(Bytes(3000, 'L')));
  EXPECT_EQ(local_receiver.Recv(), Bytes(3000, 'L'));
}

TEST(ShmChannelTest, LargeMessageGoesAsFragmentsWhenItsClassIsFull) {
  const std::string name = UniqueName("chan");
  const uint64_t size = 333 * 1024 + 100;  // a class no other test uses
  std::vector<int32_t> taken;
  for (AcquiredChunk c = AcquireStorage(size, 0); c.data != nullptr; c = AcquireStorage(size, 0)) taken.push_back(c.id);
  Endpoint receiver(name, true);
  Endpoint sender(name, false);
  const std::string message = Bytes(size, 'F');
  std::string got;
  std::thread receiving([&] { got = receiver.Recv(5000); });
  EXPECT_TRUE(sender.Send(message, 5000));
  receiving.join();
  EXPECT_TRUE(got == message);
  EXPECT_EQ(sender.ring()->write_index, (size + 63) / 64);
  for (int32_t id : taken) ReturnUnsentChunk(id, size);
}

// Messages beyond the largest chunk class go as fragments, and a chunk
// element naming a larger class is dropped without its storage ever being
// made: a storage is committed whole by every process that maps it.
TEST(ShmChannelTest, ChunkClassesStopAtOneMebibyte) {
  struct Case {
    uint64_t size;
    bool chunk;
  };
  for (const Case& c : {Case{1 << 20, true}, Case{(1 << 20) + 2000, false}}) {
    const std::string name = UniqueName("chan");
    Endpoint receiver(name, true);
    Endpoint sender(name, false);
    const std::string message = Bytes(c.size, 'G');
    std::string got;
    std::thread receiving([&] { got = receiver.Recv(5000); });
    EXPECT_TRUE(sender.Send(message, 5000)) << c.size;
    receiving.join();
    EXPECT_TRUE(got == message) << c.size;
    EXPECT_EQ(sender.ring()->elements[0].storage, c.chunk ? 1 : 0) << c.size;
  }

  const std::string name = UniqueName("chan");
  Endpoint receiver(name, true);
  Endpoint sender(name, false);
  const uint64_t hostile = 8ull << 20;  // a storage of 256 MiB
  const std::wstring storage =
      L"Global\\__IPC_SHM____CHUNK_INFO__" + std::to_wstring(ChunkSizeClass(hostile));
  testing::internal::CaptureStdout();
  ASSERT_TRUE(PushElement(sender.ring(), ChunkContent(sender.channel.conn_id() + 1000, 0,
                                                      static_cast<int32_t>(hostile - 64), 0)));
  ASSERT_TRUE(sender.Send("after"));
  EXPECT_EQ(receiver.Recv(), "after");
  testing::internal::GetCapturedStdout();
  base::ScopedKernelHandle mapping(::OpenFileMappingW(FILE_MAP_READ, FALSE, storage.c_str()));
  EXPECT_FALSE(mapping.IsValid()) << "the receiver made the storage of a class above the largest";
}

// Elements written straight into the ring, as a damaged or hostile peer
// could: the receiver checks each value before it uses it.
TEST(ShmChannelTest, DamagedElementsAreDroppedAndReceivingGoesOn) {
  const std::string name = UniqueName("chan");
  Endpoint receiver(name, true);
  Endpoint sender(name, false);
  ShmHandle counter;
  ASSERT_TRUE(counter.Acquire("__AC_CONN__" + name, 4));
  std::atomic_ref<uint32_t> ids(*static_cast<uint32_t*>(counter.view()));
  const uint32_t stranger = sender.channel.conn_id() + 1000;
  const uint8_t data[64] = {1, 2, 3};

  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  // A chunk id outside the storage.
  ASSERT_TRUE(PushElement(sender.ring(), ChunkContent(stranger, ids.fetch_add(1), 100, 99)));
  // A chunk element claiming a size beyond what any message may have.
  ASSERT_TRUE(PushElement(sender.ring(), ChunkContent(stranger, ids.fetch_add(1), 0x7FFFFFF0, 0)));
  // A fragmented message with its middle fragment missing.
  const uint32_t gap = ids.fetch_add(1);
  ASSERT_TRUE(PushElement(sender.ring(), FragmentContent(stranger, gap, 192 - 64, data, 64)));
  ASSERT_TRUE(PushElement(sender.ring(), FragmentContent(stranger, gap, 192 - 192, data, 64)));
  // The tail of a message numbered before the receiver joined.
  ASSERT_TRUE(PushElement(sender.ring(), FragmentContent(stranger, ids.load() - 10, -50, data, 14)));
  ASSERT_TRUE(sender.Send("still fine"));
  EXPECT_EQ(receiver.Recv(), "still fine");
  const std::string err = testing::internal::GetCapturedStderr();
  testing::internal::GetCapturedStdout();
  EXPECT_NE(err.find("[find_storage] id is invalid: id = 99"), std::string::npos) << err;
  EXPECT_NE(err.find("fail: recv, r_size = "), std::string::npos) << err;
  EXPECT_EQ(receiver.Recv(), "");
}

TEST(ShmChannelTest, OverwrittenChunkElementGivesItsChunkBack) {
  const std::string name = UniqueName("chan");
  const uint64_t size = 334 * 1024 + 100;  // a class no other test uses
  const uint64_t size_class = ChunkSizeClass(size);
  Endpoint lagging(name, true);
  Endpoint reading(name, true);
  Endpoint sender(name, false);
  const int32_t free_before = CountFreeChunks(size_class);
  ASSERT_TRUE(sender.Send(Bytes(size, 'C')));
  EXPECT_EQ(CountFreeChunks(size_class), free_before - 1);
  EXPECT_EQ(reading.Recv(), Bytes(size, 'C'));  // taken and let go by one receiver
  EXPECT_EQ(CountFreeChunks(size_class), free_before - 1);
  for (int i = 1; i < 256; ++i) {
    ASSERT_TRUE(sender.Send("f"));
    ASSERT_EQ(reading.Recv(), "f");
  }
  testing::internal::CaptureStdout();
  ASSERT_TRUE(sender.Send("over"));  // drops the lagging receiver, overwrites the chunk element
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(CountFreeChunks(size_class), free_before);
  EXPECT_EQ(reading.Recv(), "over");
}

// Threads as senders and receivers of one channel, with blocking sends:
// every message arrives whole, once and in order per sender.
TEST(ShmChannelTest, ConcurrentSendersAndReceiversLoseNothing) {
  const std::string name = UniqueName("chan");
  constexpr uint32_t kSenders = 3;
  constexpr uint32_t kReceivers = 2;
  constexpr uint32_t kCount = 400;
  std::vector<std::unique_ptr<Endpoint>> receivers;
  for (uint32_t r = 0; r < kReceivers; ++r) receivers.push_back(std::make_unique<Endpoint>(name, true));
  std::vector<std::string> failures(kReceivers);
  std::vector<std::thread> threads;
  for (uint32_t r = 0; r < kReceivers; ++r) {
    threads.emplace_back([&, r] {
      ipc_testing::StressVerifier verifier(kSenders, kCount, true);
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      while (!verifier.Done() && std::chrono::steady_clock::now() < deadline) {
        ShmBuffer buffer = ShmChannel::Recv(&receivers[r]->channel, 200);
        if (!buffer.empty() && !verifier.Add(buffer.data(), buffer.size())) break;
      }
      if (!verifier.Done()) failures[r] = verifier.error().empty() ? "incomplete" : verifier.error();
    });
  }
  for (uint32_t s = 0; s < kSenders; ++s) {
    threads.emplace_back([&, s] {
      Endpoint sender(name, false);
      for (uint32_t seq = 0; seq < kCount; ++seq) {
        const auto message = ipc_testing::MakeStressMessage(s, seq, ipc_testing::StressSize(s, seq));
        EXPECT_TRUE(ShmChannel::Send(5000, &sender.channel, message.data(), message.size()));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (uint32_t r = 0; r < kReceivers; ++r) EXPECT_EQ(failures[r], "") << "receiver " << r;
}

}  // namespace
}  // namespace ipc
