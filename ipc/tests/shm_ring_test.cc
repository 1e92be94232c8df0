// The ring protocol on a ring in private memory, driven by threads: the
// layout is the same bytes the channel maps from a named segment.
#include "ipc/shm_ring.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace ipc {
namespace {

constexpr uint32_t kLapBytes = kRingElements;

struct Ring {
  Ring() : ring(std::make_unique<ShmRing>()) { ConstructRing(ring.get()); }
  ShmRing* get() { return ring.get(); }
  std::unique_ptr<ShmRing> ring;
};

RingCursor Join(ShmRing* ring) {
  RingCursor cursor;
  JoinRing(ring, cursor);
  return cursor;
}

// An element whose 64 bytes follow from (conn, msg), so a mixed copy shows.
struct Payload {
  uint8_t bytes[kElementDataSize];
};

Payload MakePayload(uint32_t conn, uint32_t msg) {
  Payload payload;
  for (uint32_t i = 0; i < kElementDataSize; ++i) payload.bytes[i] = static_cast<uint8_t>(conn * 37 + msg * 11 + i);
  return payload;
}

bool Matches(const ElementSnapshot& element) {
  const Payload expected = MakePayload(element.conn_id, element.msg_id);
  return element.remain == 0 && element.storage == 0 &&
         std::memcmp(element.data, expected.bytes, kElementDataSize) == 0;
}

bool Push(ShmRing* ring, uint32_t conn, uint32_t msg, bool force = false) {
  const Payload payload = MakePayload(conn, msg);
  const ElementContent content = FragmentContent(conn, msg, 0, payload.bytes, kElementDataSize);
  return force ? force_push(ring, content) : PushElement(ring, content);
}

uint64_t& CommitOf(ShmRing* ring, uint32_t lap) { return ring->elements[lap % kRingElements].commit; }

TEST(ShmRingTest, LayoutMatchesTheWire) {
  EXPECT_EQ(sizeof(ShmRing), 0x6100u);
  EXPECT_EQ(offsetof(ShmRing, write_index), 64u);
  EXPECT_EQ(offsetof(ShmRing, epoch), 128u);
  EXPECT_EQ(offsetof(ShmRing, elements), 192u);
  EXPECT_EQ(offsetof(ShmRingElement, readers), 80u);
  EXPECT_EQ(offsetof(ShmRingElement, commit), 88u);
}

TEST(ShmRingTest, WithoutReceiversNothingIsWritten) {
  Ring ring;
  EXPECT_FALSE(Push(ring.get(), 1, 0));
  EXPECT_FALSE(Push(ring.get(), 1, 0, true));
  EXPECT_EQ(RingWriteIndex(ring.get()), 0u);
}

TEST(ShmRingTest, OneSilentReceiverLetsExactly256ElementsIn) {
  Ring ring;
  Join(ring.get());
  for (uint32_t i = 0; i < kLapBytes; ++i) ASSERT_TRUE(Push(ring.get(), 1, i)) << i;
  EXPECT_FALSE(Push(ring.get(), 1, 256));
  EXPECT_EQ(RingWriteIndex(ring.get()), 256u);
  EXPECT_EQ(CommitOf(ring.get(), 0), ~uint64_t{0});
}

TEST(ShmRingTest, ForcingPastTheOnlyReceiverDropsItAndWritesNothing) {
  Ring ring;
  Join(ring.get());
  for (uint32_t i = 0; i < kLapBytes; ++i) ASSERT_TRUE(Push(ring.get(), 1, i));
  testing::internal::CaptureStdout();
  EXPECT_FALSE(Push(ring.get(), 1, 256, true));
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("force_push: k = 0, cc = 1, rem_cc = 1\n"), std::string::npos) << out;
  EXPECT_EQ(RingReceivers(ring.get()), 0u);
  EXPECT_EQ(RingWriteIndex(ring.get()), 256u);
}

TEST(ShmRingTest, ForcingDropsOnlyTheLaggardWhichThenSeesItsPlaceLost) {
  Ring ring;
  RingCursor lagging = Join(ring.get());
  RingCursor keeping_up = Join(ring.get());
  ElementSnapshot element;
  for (uint32_t i = 0; i < kLapBytes; ++i) {
    ASSERT_TRUE(Push(ring.get(), 1, i));
    ASSERT_EQ(PopElement(ring.get(), keeping_up, &element), PopResult::kElement);
  }
  ASSERT_FALSE(Push(ring.get(), 1, 256));
  testing::internal::CaptureStdout();
  ASSERT_TRUE(Push(ring.get(), 1, 256, true));
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(RingReceivers(ring.get()), keeping_up.bit);
  EXPECT_NE(RingEpoch(ring.get()), 0u);
  ASSERT_EQ(PopElement(ring.get(), keeping_up, &element), PopResult::kElement);
  EXPECT_EQ(element.msg_id, 256u);
  EXPECT_EQ(PopElement(ring.get(), lagging, &element), PopResult::kLost);
}

TEST(ShmRingTest, ReadSlotIsFreeForTheNextLap) {
  Ring ring;
  RingCursor reader = Join(ring.get());
  ElementSnapshot element;
  for (uint32_t i = 0; i < kLapBytes + 10; ++i) {
    ASSERT_TRUE(Push(ring.get(), 1, i)) << i;
    ASSERT_EQ(PopElement(ring.get(), reader, &element), PopResult::kElement);
    ASSERT_TRUE(Matches(element));
    ASSERT_EQ(element.msg_id, i);
    if (i == 0) {
      EXPECT_EQ(CommitOf(ring.get(), 0), 256u);
    }
  }
  EXPECT_EQ(PopElement(ring.get(), reader, &element), PopResult::kNothing);
}

TEST(ShmRingTest, ChangeCounterWrapsWithoutTouchingTheEpoch) {
  Ring ring;
  const uint64_t epoch = uint64_t{0xAB} << 56;
  ring.get()->epoch = epoch;
  ring.get()->elements[0].readers = epoch | (uint64_t{0xFFFFFF} << 32);
  RingCursor reader = Join(ring.get());
  ASSERT_TRUE(Push(ring.get(), 1, 0));
  EXPECT_EQ(ring.get()->elements[0].readers, epoch | reader.bit);
}

TEST(ShmRingTest, SlotClaimedByAnUnfinishedWriteIsWaitedForNotForced) {
  Ring ring;
  RingCursor reader = Join(ring.get());
  // Lap 0's writer has claimed slot 0 for the receiver but not published it
  // when the write index already stands a lap further.
  ring.get()->write_index = kLapBytes;
  ring.get()->elements[0].readers = reader.bit;
  std::atomic<bool> done{false};
  std::atomic<bool> pushed{false};
  testing::internal::CaptureStdout();
  std::thread forcing([&] {
    pushed = Push(ring.get(), 2, 256, true);
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(done.load());
  EXPECT_EQ(RingReceivers(ring.get()), reader.bit) << "a receiver was dropped for an element still being written";
  // The slow write finishes, and its element is read at once.
  std::atomic_ref<uint64_t>(ring.get()->elements[0].readers).store(0);
  std::atomic_ref<uint64_t>(ring.get()->elements[0].commit).store(kLapBytes);
  forcing.join();
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(pushed.load());
  EXPECT_EQ(out.find("force_push"), std::string::npos) << out;
  EXPECT_EQ(RingReceivers(ring.get()), reader.bit);
}

TEST(ShmRingTest, SlotOfAWriterThatDiedIsTakenOverAfterALongWait) {
  Ring ring;
  RingCursor reader = Join(ring.get());
  ring.get()->write_index = kLapBytes;
  ring.get()->elements[0].readers = reader.bit;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(Push(ring.get(), 2, 256));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kInFlightTakeoverMs - 100));
  EXPECT_EQ(CommitOf(ring.get(), 256), ~uint64_t{256});
  EXPECT_EQ(RingReceivers(ring.get()), reader.bit);
}

TEST(ShmRingTest, ElementClaimedBeforeJoiningIsSkipped) {
  Ring ring;
  RingCursor first = Join(ring.get());
  ASSERT_TRUE(Push(ring.get(), 1, 0));
  // The second receiver read the write index before that element's writer
  // moved it: the element at its joining index does not name it.
  RingCursor second;
  second.bit = ClaimReceiverBit(ring.get());
  second.next = second.joined = 0;
  ElementSnapshot element;
  EXPECT_EQ(PopElement(ring.get(), second, &element), PopResult::kSkipped);
  ASSERT_TRUE(Push(ring.get(), 1, 1));
  ASSERT_EQ(PopElement(ring.get(), second, &element), PopResult::kElement);
  EXPECT_EQ(element.msg_id, 1u);
  EXPECT_EQ(PopElement(ring.get(), first, &element), PopResult::kElement);
}

TEST(ShmRingTest, BitLeftBehindByADepartedReceiverDoesNotFillTheRing) {
  Ring ring;
  RingCursor departed = Join(ring.get());
  for (uint32_t i = 0; i < 10; ++i) ASSERT_TRUE(Push(ring.get(), 1, i));
  ReleaseReceiverBit(ring.get(), departed.bit);  // left without reading
  RingCursor next = Join(ring.get());
  ASSERT_EQ(next.bit, departed.bit);
  uint32_t accepted = 0;
  while (accepted < 300 && Push(ring.get(), 1, 10 + accepted)) ++accepted;
  EXPECT_EQ(accepted, kLapBytes);
}

TEST(ShmRingTest, LeavingReceiverGivesItsUnreadElementsBack) {
  Ring ring;
  RingCursor reader = Join(ring.get());
  RingCursor leaving = Join(ring.get());
  ElementSnapshot element;
  for (uint32_t i = 0; i < 10; ++i) {
    ASSERT_TRUE(Push(ring.get(), 1, i));
    ASSERT_EQ(PopElement(ring.get(), reader, &element), PopResult::kElement);
  }
  EXPECT_EQ(CommitOf(ring.get(), 0), ~uint64_t{0});
  ScrubReceiver(ring.get(), leaving.bit, false, 0);
  ReleaseReceiverBit(ring.get(), leaving.bit);
  for (uint32_t i = 0; i < 10; ++i) EXPECT_EQ(CommitOf(ring.get(), i), i + 256u) << i;
}

TEST(ShmRingTest, WriterStalledPastTheTakeoverCannotPublishOverTheTaker) {
  Ring ring;
  RingCursor reader = Join(ring.get());
  SlotClaim stalled;
  ASSERT_TRUE(ClaimSlot(ring.get(), false, &stalled));
  ASSERT_EQ(stalled.lap, 0u);
  // The rest of the lap goes in; the next write finds slot 0 still claimed
  // by the stalled writer and, after a while, takes it over.
  for (uint32_t i = 1; i < kLapBytes; ++i) ASSERT_TRUE(Push(ring.get(), 1, i)) << i;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(Push(ring.get(), 2, kLapBytes));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("taken over"), std::string::npos) << err;
  // The stalled writer wakes up and finishes its write.
  const Payload late = MakePayload(3, 0);
  EXPECT_FALSE(PublishSlot(ring.get(), stalled, FragmentContent(3, 0, 0, late.bytes, kElementDataSize)));
  const ShmRingElement& slot = ring.get()->elements[0];
  EXPECT_EQ(slot.commit, ~uint64_t{kLapBytes});
  ElementSnapshot taker;
  std::memcpy(&taker, &slot, sizeof(taker));
  EXPECT_EQ(taker.conn_id, 2u);
  EXPECT_EQ(taker.msg_id, kLapBytes);
  EXPECT_TRUE(Matches(taker)) << "the taker's element was overwritten";
  EXPECT_EQ(RingReceivers(ring.get()), reader.bit);
}

TEST(ShmRingTest, BitReusedWhileAnElementWasInFlightKeepsItsNewOwner) {
  Ring ring;
  RingCursor keeper = Join(ring.get());
  RingCursor leaving = Join(ring.get());
  // A write claimed while the leaving receiver was still there, published
  // only after its bit went to a newcomer.
  SlotClaim slow;
  ASSERT_TRUE(ClaimSlot(ring.get(), false, &slow));
  const uint32_t reused = leaving.bit;
  LeaveRing(ring.get(), leaving);
  RingCursor newcomer = Join(ring.get());
  ASSERT_EQ(newcomer.bit, reused);
  const Payload first = MakePayload(1, 0);
  ASSERT_TRUE(PublishSlot(ring.get(), slow, FragmentContent(1, 0, 0, first.bytes, kElementDataSize)));
  ElementSnapshot element;
  ASSERT_EQ(PopElement(ring.get(), keeper, &element), PopResult::kElement);
  for (uint32_t i = 1; i < kLapBytes; ++i) {
    ASSERT_TRUE(Push(ring.get(), 1, i)) << i;
    ASSERT_EQ(PopElement(ring.get(), keeper, &element), PopResult::kElement) << i;
    ASSERT_EQ(PopElement(ring.get(), newcomer, &element), PopResult::kElement) << i;
  }
  // Both receivers have read everything they could; a sender that never
  // waits writes the next lap.
  testing::internal::CaptureStdout();
  EXPECT_TRUE(Push(ring.get(), 1, kLapBytes, true));
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.find("force_push"), std::string::npos) << out;
  EXPECT_EQ(RingReceivers(ring.get()), keeper.bit | newcomer.bit);
  ASSERT_EQ(PopElement(ring.get(), newcomer, &element), PopResult::kElement);
  EXPECT_EQ(element.msg_id, kLapBytes);
}

TEST(ShmRingTest, AllReceiverBitsTaken) {
  Ring ring;
  for (uint32_t i = 0; i < kMaxReceivers; ++i) EXPECT_EQ(ClaimReceiverBit(ring.get()), 1u << i);
  EXPECT_EQ(ClaimReceiverBit(ring.get()), 0u);
  ReleaseReceiverBit(ring.get(), 1u << 5);
  EXPECT_EQ(ClaimReceiverBit(ring.get()), 1u << 5);
}

// Writers and readers at full speed: every reader gets every element, whole,
// once and in each writer's order.
TEST(ShmRingTest, ConcurrentWritersAndReadersLoseNothing) {
  Ring ring;
  constexpr uint32_t kWriters = 4;
  constexpr uint32_t kReaders = 3;
  constexpr uint32_t kPerWriter = 20000;
  std::vector<RingCursor> cursors;
  for (uint32_t r = 0; r < kReaders; ++r) cursors.push_back(Join(ring.get()));
  std::vector<std::string> failures(kReaders);
  std::vector<std::thread> threads;
  for (uint32_t r = 0; r < kReaders; ++r) {
    threads.emplace_back([&, r] {
      std::vector<int64_t> last(kWriters, -1);
      uint32_t got = 0;
      ElementSnapshot element;
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      while (got < kWriters * kPerWriter && std::chrono::steady_clock::now() < deadline) {
        const PopResult result = PopElement(ring.get(), cursors[r], &element);
        if (result == PopResult::kNothing) {
          std::this_thread::yield();
          continue;
        }
        if (result != PopResult::kElement) {
          failures[r] = "reader lost its place";
          return;
        }
        if (element.conn_id >= kWriters || !Matches(element) ||
            element.msg_id != static_cast<uint32_t>(last[element.conn_id] + 1)) {
          failures[r] = "bad element from " + std::to_string(element.conn_id) + " msg " +
                        std::to_string(element.msg_id);
          return;
        }
        last[element.conn_id] = element.msg_id;
        ++got;
      }
      if (got != kWriters * kPerWriter) failures[r] = "only " + std::to_string(got) + " elements";
    });
  }
  for (uint32_t w = 0; w < kWriters; ++w) {
    threads.emplace_back([&, w] {
      for (uint32_t i = 0; i < kPerWriter; ++i) {
        while (!Push(ring.get(), w, i)) std::this_thread::yield();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (uint32_t r = 0; r < kReaders; ++r) EXPECT_EQ(failures[r], "") << "reader " << r;
}

// With overwriting writers and one slow reader: readers may lose elements
// and rejoin, but never get a torn, repeated or out-of-order one, and every
// reader still gets the last element of each writer.
TEST(ShmRingTest, ForcedWritesNeverHandOutTornElements) {
  Ring ring;
  constexpr uint32_t kWriters = 3;
  constexpr uint32_t kReaders = 3;
  constexpr uint32_t kPerWriter = 20000;
  constexpr uint32_t kLast = kPerWriter;  // one more element, sent after a pause
  std::vector<RingCursor> cursors;
  for (uint32_t r = 0; r < kReaders; ++r) cursors.push_back(Join(ring.get()));
  std::atomic<uint32_t> writers_done{0};
  // Set once every writer has pushed (or given up on) its last element. The
  // readers wait for that, not for a fixed time: under load, writers stalled
  // past the takeover time lose a second each, and a reader that stopped
  // before the last elements were even sent would be called deaf.
  std::atomic<uint32_t> writers_ended{0};
  std::vector<std::string> failures(kReaders);
  std::vector<uint32_t> rejoins(kReaders, 0);
  std::vector<std::thread> threads;
  testing::internal::CaptureStdout();
  for (uint32_t r = 0; r < kReaders; ++r) {
    threads.emplace_back([&, r] {
      std::vector<int64_t> last(kWriters, -1);
      uint32_t finished = 0;
      uint64_t taken = 0;
      ElementSnapshot element;
      RingCursor& cursor = cursors[r];
      std::optional<std::chrono::steady_clock::time_point> deadline;
      while (finished < kWriters && (!deadline || std::chrono::steady_clock::now() < *deadline)) {
        if (!deadline && writers_ended.load() == kWriters) {
          deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        }
        const PopResult result = PopElement(ring.get(), cursor, &element);
        if (result == PopResult::kSkipped) continue;
        if (result == PopResult::kNothing && HoldsReceiverBit(ring.get(), cursor.bit)) {
          std::this_thread::yield();
          continue;
        }
        if (result != PopResult::kElement) {
          ++rejoins[r];
          RejoinRing(ring.get(), cursor);
          if (cursor.bit == 0) {
            failures[r] = "no receiver bit left";
            return;
          }
          continue;
        }
        if (element.conn_id >= kWriters || !Matches(element) ||
            static_cast<int64_t>(element.msg_id) <= last[element.conn_id]) {
          failures[r] = "bad element from " + std::to_string(element.conn_id) + " msg " +
                        std::to_string(element.msg_id) + " after " + std::to_string(last[element.conn_id]);
          return;
        }
        last[element.conn_id] = element.msg_id;
        if (element.msg_id == kLast) ++finished;
        // The first reader dawdles while the writers run.
        if (r == 0 && writers_done.load() < kWriters && ++taken % 64 == 0) {
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
      }
      if (failures[r].empty() && finished < kWriters) {
        const ShmRingElement& e = ring.get()->elements[cursor.next % 256];
        failures[r] = "deaf: last elements missing; cursor " + std::to_string(cursor.next) + " wi " +
                      std::to_string(RingWriteIndex(ring.get())) + " commit " + std::to_string(e.commit) +
                      " readers " + std::to_string(e.readers) + " bit " + std::to_string(cursor.bit) + " mask " +
                      std::to_string(RingReceivers(ring.get())) + " last " + std::to_string(last[0]) + "," +
                      std::to_string(last[1]) + "," + std::to_string(last[2]) + " finished " + std::to_string(finished);
      }
      LeaveRing(ring.get(), cursor);  // a reader that gave up must not hold the writers
    });
  }
  for (uint32_t w = 0; w < kWriters; ++w) {
    threads.emplace_back([&, w] {
      for (uint32_t i = 0; i < kPerWriter; ++i) {
        if (!Push(ring.get(), w, i)) Push(ring.get(), w, i, true);
      }
      writers_done.fetch_add(1);
      while (writers_done.load() < kWriters) std::this_thread::yield();
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
      while (!Push(ring.get(), w, kLast) && std::chrono::steady_clock::now() < give_up) std::this_thread::yield();
      writers_ended.fetch_add(1);
    });
  }
  for (auto& thread : threads) thread.join();
  testing::internal::GetCapturedStdout();
  for (uint32_t r = 0; r < kReaders; ++r) EXPECT_EQ(failures[r], "") << "reader " << r;
  EXPECT_GT(rejoins[0], 0u) << "the slow reader was never overtaken: the test did not test overwriting";
}

}  // namespace
}  // namespace ipc
