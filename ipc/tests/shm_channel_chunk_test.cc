// Channel cases that count the chunks of the common 1024-byte class, which
// every channel on the machine shares: they hold the lock "ipc_chunk_1024".
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ipc/chunk_storage.h"
#include "ipc/shm_channel.h"
#include "testing/ipc/child_process.h"

namespace ipc {
namespace {

using ipc_testing::UniqueName;

struct Endpoint {
  Endpoint(const std::string& name, bool receiver) {
    ShmChannel::Open(&channel, name, true);
    connected = receiver ? channel.ConnectAsReceiver() : channel.ConnectAsSender();
  }
  ShmRing* ring() { return static_cast<ShmRing*>(channel.ring_holder().view()); }
  bool Send(const std::string& text) { return ShmChannel::Send(0, &channel, text.data(), text.size()); }
  std::string Recv() {
    ShmBuffer buffer = ShmChannel::Recv(&channel, 0);
    return std::string(static_cast<const char*>(buffer.data()), static_cast<size_t>(buffer.size()));
  }
  ShmChannel channel;
  bool connected = false;
};

std::string Bytes(size_t size, char seed) {
  std::string text(size, '\0');
  for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>(seed + i * 13);
  return text;
}

TEST(ShmChannelChunkTest, Message65GoesAsOneChunkElementOrTwoFragments) {
  const std::string name = UniqueName("chan");
  Endpoint receiver(name, true);
  Endpoint sender(name, false);
  ASSERT_TRUE(sender.Send(Bytes(65, 'b')));
  const ShmRingElement& chunk = sender.ring()->elements[0];
  EXPECT_EQ(chunk.storage, 1);
  EXPECT_EQ(chunk.remain, 1);
  EXPECT_EQ(receiver.Recv(), Bytes(65, 'b'));
  EXPECT_EQ(CountFreeChunks(1024), kChunksPerStorage);

  std::vector<int32_t> taken;
  for (AcquiredChunk c = AcquireStorage(65, 0); c.data != nullptr; c = AcquireStorage(65, 0)) taken.push_back(c.id);
  ASSERT_TRUE(sender.Send(Bytes(65, 'c')));
  ASSERT_TRUE(sender.Send(Bytes(128, 'd')));
  const ShmRingElement* elements = sender.ring()->elements;
  EXPECT_EQ(elements[1].storage, 0);
  EXPECT_EQ(elements[1].remain, 1);
  EXPECT_EQ(elements[2].remain, -63);
  EXPECT_EQ(elements[3].remain, 64);
  EXPECT_EQ(elements[4].remain, 0);
  EXPECT_EQ(receiver.Recv(), Bytes(65, 'c'));
  EXPECT_EQ(receiver.Recv(), Bytes(128, 'd'));
  for (int32_t id : taken) ReturnUnsentChunk(id, 65);
}

}  // namespace
}  // namespace ipc
