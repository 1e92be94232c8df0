// Several sender and receiver processes on one channel (a name of each
// case's own). Every message carries its sender, sequence number and bytes
// that follow from them, so a receiver can tell whole messages from torn,
// repeated, reordered or half-joined ones.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "testing/ipc/child_process.h"

namespace {

using ipc_testing::ChildProcess;
using ipc_testing::NamedEvent;
using ipc_testing::UniqueName;

struct StressRun {
  uint32_t senders = 3;
  uint32_t receivers = 3;
  uint32_t count = 1500;
  // Blocking senders force a full ring only after this wait; a live receiver
  // is dropped only when it stalls that long (a dead one always is).
  uint64_t send_timeout_ms = 2000;
  bool lossy = false;        // senders overwrite (timeout 0); receivers may miss messages
  uint32_t slow_receiver_ms = 0;  // the first receiver sleeps this long per message, for a while
  bool kill_one_receiver = false;
  // Processes that work the ring by the steps of the product's other
  // programs, next to the installer's own; their senders come after the
  // installer's in the numbering.
  uint32_t ring_peer_senders = 0;
  uint32_t ring_peer_receivers = 0;
};

struct Outcome {
  std::vector<std::string> receiver_lines;
  std::vector<DWORD> receiver_codes;
  std::vector<DWORD> sender_codes;
};

std::string ReadLine(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  return line;
}

Outcome Stress(const StressRun& run) {
  const std::wstring peer = ipc_testing::ToWindowsPath(QL_SHM_PEER_EXE);
  const std::wstring ring_peer = ipc_testing::ToWindowsPath(QL_RING_PEER_EXE);
  const uint32_t all_senders = run.senders + run.ring_peer_senders;
  const uint32_t all_receivers = run.receivers + run.ring_peer_receivers;
  const std::string channel = UniqueName("stress");
  const std::string start_name = channel + "-start";
  NamedEvent start(start_name);
  char temp[MAX_PATH];
  ::GetTempPathA(MAX_PATH, temp);

  std::vector<ChildProcess> receivers(all_receivers);
  std::vector<NamedEvent> ready;
  std::vector<std::string> results;
  for (uint32_t r = 0; r < all_receivers; ++r) {
    const bool ring_peer_role = r >= run.receivers;
    const std::string ready_name = channel + "-ready-" + std::to_string(r);
    ready.emplace_back(ready_name);
    results.push_back(std::string(temp) + channel + "-" + std::to_string(r) + ".txt");
    std::vector<std::string> args = {"recv", "--channel", channel, "--senders", std::to_string(all_senders), "--count",
                                     std::to_string(run.count), "--ready", ready_name, "--result", results.back(),
                                     "--deadline-ms", "60000"};
    if (run.lossy) args.push_back("--lossy");
    if (r == 0 && run.slow_receiver_ms > 0) {
      args.insert(args.end(), {"--slow-ms", std::to_string(run.slow_receiver_ms), "--slow-count", "200"});
    }
    EXPECT_TRUE(receivers[r].Start(ring_peer_role ? ring_peer : peer, args));
  }
  EXPECT_TRUE(ipc_testing::WaitAll(ready, 30000)) << "receivers did not start";

  std::vector<ChildProcess> senders(all_senders);
  for (uint32_t s = 0; s < all_senders; ++s) {
    const bool ring_peer_role = s >= run.senders;
    std::vector<std::string> args = {"send", "--channel", channel, "--sender", std::to_string(s), "--count",
                                     std::to_string(run.count), "--timeout",
                                     std::to_string(run.lossy ? 0 : run.send_timeout_ms), "--start", start_name};
    if (run.lossy) args.push_back("--final");
    EXPECT_TRUE(senders[s].Start(ring_peer_role ? ring_peer : peer, args));
  }
  start.Set();
  if (run.kill_one_receiver) {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    receivers[run.receivers - 1].Kill();
  }
  Outcome outcome;
  for (auto& sender : senders) outcome.sender_codes.push_back(sender.Wait(90000).value_or(9999));
  for (uint32_t r = 0; r < all_receivers; ++r) {
    if (run.kill_one_receiver && r == run.receivers - 1) continue;
    outcome.receiver_codes.push_back(receivers[r].Wait(90000).value_or(9999));
    outcome.receiver_lines.push_back(ReadLine(results[r]));
    std::remove(results[r].c_str());
  }
  return outcome;
}

void ExpectAllGood(const Outcome& outcome) {
  for (size_t s = 0; s < outcome.sender_codes.size(); ++s) EXPECT_EQ(outcome.sender_codes[s], 0u) << "sender " << s;
  for (size_t r = 0; r < outcome.receiver_codes.size(); ++r) {
    EXPECT_EQ(outcome.receiver_codes[r], 0u) << "receiver " << r << ": " << outcome.receiver_lines[r];
    std::printf("receiver %zu: %s\n", r, outcome.receiver_lines[r].c_str());
  }
}

TEST(ShmStressTest, BlockingSendersLoseNothing) {
  StressRun run;
  ExpectAllGood(Stress(run));
}

TEST(ShmStressTest, OverwritingSendersNeverTearAndNobodyStaysDeaf) {
  StressRun run;
  run.lossy = true;
  run.slow_receiver_ms = 2;
  const Outcome outcome = Stress(run);
  ExpectAllGood(outcome);
  EXPECT_NE(outcome.receiver_lines[0].find("resyncs="), std::string::npos);
}

// Writers of both kinds claim slots of one ring at full speed: a slot
// filled twice would tear or lose a message, a write index moved backwards
// would lose or repeat one, and a healthy receiver dropped would miss them.
TEST(ShmStressTest, InstallerAndOtherProgramsShareOneRing) {
  StressRun run;
  run.senders = 2;
  run.receivers = 2;
  run.ring_peer_senders = 2;
  run.ring_peer_receivers = 1;
  ExpectAllGood(Stress(run));
}

TEST(ShmStressTest, DyingReceiverDoesNotStopTheOthers) {
  StressRun run;
  run.senders = 2;
  run.kill_one_receiver = true;
  ExpectAllGood(Stress(run));
}

}  // namespace
