// A peer process of the shared-memory transport tests.
//   shm_peer send --channel N [--local] --sender I --count K --timeout MS --start EVENT [--final]
//   shm_peer recv --channel N [--local] --senders S --count K --ready EVENT [--lossy]
//                 [--slow-ms MS --slow-count C] [--deadline-ms MS] [--result FILE]
//   shm_peer cond-wait --name N --ready EVENT --timeout MS
//   shm_peer hold-lock --segment N --ready EVENT   (takes the spin lock at the
//                 start of segment N and keeps it until killed)
// Exit code 0 when the role was carried out; the receiver writes one line
// with its counts (or its failure) to the result file.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <thread>

#include "ipc/shm_channel.h"
#include "ipc/spin_lock.h"
#include "ipc/shm_sync.h"
#include "testing/ipc/child_process.h"
#include "testing/ipc/stress_message.h"

namespace {

using ipc_testing::NamedEvent;

struct Args {
  std::map<std::string, std::string> values;
  bool Has(const std::string& key) const { return values.count(key) != 0; }
  std::string Get(const std::string& key, const std::string& fallback = "") const {
    const auto found = values.find(key);
    return found == values.end() ? fallback : found->second;
  }
  uint64_t Number(const std::string& key, uint64_t fallback = 0) const {
    return Has(key) ? std::stoull(Get(key)) : fallback;
  }
};

Args Parse(int argc, char** argv) {
  Args args;
  for (int i = 2; i < argc; ++i) {
    std::string key = argv[i];
    if (key.rfind("--", 0) != 0) continue;
    key = key.substr(2);
    const bool has_value = i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0;
    args.values.emplace(key, std::string(has_value ? argv[++i] : "1"));
  }
  return args;
}

int Send(const Args& args) {
  ipc::ShmChannel channel;
  ipc::ShmChannel::Open(&channel, args.Get("channel"), !args.Has("local"));
  if (!channel.ConnectAsSender()) return 2;
  NamedEvent start(args.Get("start"));
  if (!start.Wait(30000)) return 3;
  const auto sender = static_cast<uint32_t>(args.Number("sender"));
  const auto count = static_cast<uint32_t>(args.Number("count"));
  const uint64_t timeout = args.Number("timeout");
  int failures = 0;
  int refused = 0;
  for (uint32_t seq = 0; seq < count; ++seq) {
    const auto message = ipc_testing::MakeStressMessage(sender, seq, ipc_testing::StressSize(sender, seq));
    if (!ipc::ShmChannel::Send(timeout, &channel, message.data(), message.size())) ++refused;
  }
  // Overwriting senders may find every receiver dropped for a moment; only
  // blocking senders must get every message out.
  if (!args.Has("final")) failures = refused;
  if (args.Has("final")) {
    // After a pause the receivers have caught up, so the markers go out
    // without overwriting anything. A receiver that was rejoining the ring
    // just then may miss one (it drops what it cannot prove whole), never
    // all three: every receiver that still listens gets one.
    // Receivers that have all the markers leave, so later ones may find
    // nobody; the first must get out.
    for (int i = 0; i < 3; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      const auto marker = ipc_testing::MakeStressMessage(sender, ipc_testing::kFinalSeq, 24);
      if (!ipc::ShmChannel::Send(5000, &channel, marker.data(), marker.size()) && i == 0) ++failures;
    }
  }
  std::printf("sender %u: %u messages, %d refused\n", sender, count, refused);
  return failures == 0 ? 0 : 1;
}

int Recv(const Args& args) {
  ipc::ShmChannel channel;
  ipc::ShmChannel::Open(&channel, args.Get("channel"), !args.Has("local"));
  if (!channel.ConnectAsReceiver()) return 2;
  NamedEvent ready(args.Get("ready"));
  ready.Set();
  const bool lossy = args.Has("lossy");
  ipc_testing::StressVerifier verifier(static_cast<uint32_t>(args.Number("senders")),
                                       static_cast<uint32_t>(args.Number("count")), !lossy);
  const uint64_t slow_ms = args.Number("slow-ms");
  const uint64_t slow_count = args.Number("slow-count");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(args.Number("deadline-ms", 60000));
  bool ok = true;
  uint64_t taken = 0;
  while (ok && !verifier.Done() && std::chrono::steady_clock::now() < deadline) {
    ipc::ShmBuffer buffer = ipc::ShmChannel::Recv(&channel, 200);
    if (buffer.empty()) continue;
    ok = verifier.Add(buffer.data(), buffer.size());
    buffer.Reset();
    if (++taken <= slow_count && slow_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(slow_ms));
  }
  const bool done = ok && verifier.Done();
  char line[512];
  std::snprintf(line, sizeof(line), "%s received=%llu lost=%llu resyncs=%u %s\n", done ? "ok" : "fail",
                static_cast<unsigned long long>(verifier.received()), static_cast<unsigned long long>(verifier.lost()),
                channel.resyncs(), ok ? (done ? "" : "deadline passed") : verifier.error().c_str());
  std::fputs(line, stdout);
  if (args.Has("result")) {
    if (FILE* file = std::fopen(args.Get("result").c_str(), "w")) {
      std::fputs(line, file);
      std::fclose(file);
    }
  }
  return done ? 0 : 1;
}

int CondWait(const Args& args) {
  ipc::NamedMutex mutex;
  if (!mutex.Open(args.Get("name") + "-mutex")) return 2;
  ipc::ShmCondition condition;
  if (!condition.Open(args.Get("name"), true)) return 2;
  if (!mutex.Lock()) return 2;
  NamedEvent ready(args.Get("ready"));
  // Counted before the ready signal, so the parent's broadcast finds this
  // process waiting.
  condition.Enlist();
  ready.Set();
  const bool woken = condition.WaitEnlisted(mutex, args.Number("timeout"));
  mutex.Unlock();
  return woken ? 0 : 1;
}

int HoldLock(const Args& args) {
  ipc::ShmHandle segment;
  if (!segment.Acquire(args.Get("segment"), 4, true)) return 2;
  ipc::SpinLock lock(segment.view());
  lock.Lock();
  NamedEvent ready(args.Get("ready"));
  ready.Set();
  ::Sleep(INFINITE);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 64;
  const std::string role = argv[1];
  const Args args = Parse(argc, argv);
  if (role == "send") return Send(args);
  if (role == "recv") return Recv(args);
  if (role == "cond-wait") return CondWait(args);
  if (role == "hold-lock") return HoldLock(args);
  return 64;
}
