// The Reporter's modes over a recording client: events before Init go
// straight through; after Init they queue on the worker, in order, until its
// first delivery; Uninit delivers everything queued, also under load from
// several threads and far beyond any fixed wake-up count. Started on the
// worker, the client gets its settings there before any queued event.
#include "report/reporter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using zephris_report::ReportClient;
using zephris_report::Reporter;
using zephris_report::ReportParams;

struct Delivered {
  std::string event;
  ReportParams params;
  std::thread::id thread;
};

// Records every call; the first delivery can be held until released, so a
// test can queue behind it.
class RecordingClient {
 public:
  ReportClient Client() {
    return ReportClient{[this](const vireon::VireonConfig& config) {
                          app_key = config.app_key;
                          Call("init " + config.app_key);
                        },
                        [this](const ReportParams& params) {
                          common = params;
                          Call("common");
                        },
                        [this](const zephris_report::VolatileParamGetters& g) {
                          getters = g.size();
                          Call("getters");
                        },
                        [this](const std::string& event, const ReportParams& params) {
                          std::unique_lock lock(mutex_);
                          released_.wait(lock, [this] { return !hold_; });
                          delivered_.push_back({event, params, std::this_thread::get_id()});
                          calls_.push_back("report " + event);
                        }};
  }
  // Every client call in the order it came: "init <app key>", "common",
  // "getters", "report <event>".
  std::vector<std::string> calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  void Hold() {
    std::lock_guard lock(mutex_);
    hold_ = true;
  }
  void Release() {
    {
      std::lock_guard lock(mutex_);
      hold_ = false;
    }
    released_.notify_all();
  }
  std::vector<Delivered> delivered() {
    std::lock_guard lock(mutex_);
    return delivered_;
  }
  std::vector<std::string> events() {
    std::vector<std::string> names;
    for (const auto& d : delivered()) names.push_back(d.event);
    return names;
  }

  std::string app_key;
  ReportParams common;
  size_t getters = 0;

 private:
  void Call(const std::string& call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(call);
  }

  std::mutex mutex_;
  std::vector<std::string> calls_;
  std::condition_variable released_;
  bool hold_ = false;
  std::vector<Delivered> delivered_;
};

vireon::VireonConfig Config() {
  vireon::VireonConfig config;
  config.app_key = "TESTKEY";
  return config;
}

// A gate the setup waits at, so that a test can raise events while the
// start-up is still being made on the worker.
class Gate {
 public:
  void Open() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    opened_.notify_all();
  }
  void Wait() {
    std::unique_lock lock(mutex_);
    opened_.wait(lock, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

zephris_report::ReportSetup ClientSetup(const std::string& app_key) {
  zephris_report::ReportSetup setup;
  setup.config.app_key = app_key;
  setup.common = {{"biz_id", "Quillorane"}};
  setup.getters = {{"a", [] { return std::string("1"); }}};
  return setup;
}

bool WaitUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 1000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

TEST(ReporterTest, BeforeInitEventsGoStraightToTheClientOnTheCallersThread) {
  RecordingClient client;
  Reporter reporter(client.Client());
  reporter.Report("early", {{"k", "v"}});
  const auto delivered = client.delivered();
  ASSERT_EQ(delivered.size(), 1u);
  EXPECT_EQ(delivered[0].event, "early");
  EXPECT_EQ(delivered[0].params.at("k"), "v");
  EXPECT_EQ(delivered[0].thread, std::this_thread::get_id());
  EXPECT_FALSE(reporter.direct());
}

TEST(ReporterTest, InitHandsTheClientItsSettings) {
  RecordingClient client;
  Reporter reporter(client.Client());
  zephris_report::VolatileParamGetters getters{{"a", [] { return std::string("1"); }}};
  reporter.Init(Config(), {{"biz_id", "Quillorane"}}, getters);
  EXPECT_EQ(client.app_key, "TESTKEY");
  EXPECT_EQ(client.common.at("biz_id"), "Quillorane");
  EXPECT_EQ(client.getters, 1u);
  reporter.Uninit();
}

TEST(ReporterTest, QueuedEventsArriveInOrderOnTheWorkerThenReportsGoDirect) {
  RecordingClient client;
  Reporter reporter(client.Client());
  client.Hold();
  reporter.Init(Config(), {}, {});
  ReportParams reused{{"n", "0"}};
  reporter.Report("first", reused);
  reused["n"] = "changed";  // the queued copy is not touched
  reporter.Report("second", reused);
  client.Release();
  ASSERT_TRUE(WaitUntil([&] { return reporter.direct() && client.delivered().size() == 2; }));
  reporter.Report("third", {});
  const auto delivered = client.delivered();
  ASSERT_EQ(delivered.size(), 3u);
  EXPECT_EQ(client.events(), (std::vector<std::string>{"first", "second", "third"}));
  EXPECT_EQ(delivered[0].params.at("n"), "0");
  EXPECT_EQ(delivered[1].params.at("n"), "changed");
  EXPECT_NE(delivered[0].thread, std::this_thread::get_id());
  EXPECT_EQ(delivered[2].thread, std::this_thread::get_id());
  reporter.Uninit();
}

TEST(ReporterTest, UninitReturnsOnlyAfterEveryQueuedEventWasHandedOn) {
  RecordingClient client;
  Reporter reporter(client.Client());
  client.Hold();
  reporter.Init(Config(), {}, {});
  for (int i = 0; i < 50; ++i) reporter.Report("e" + std::to_string(i), {});
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    client.Release();
  });
  reporter.Uninit();
  EXPECT_EQ(client.delivered().size(), 50u);
  release.join();
  reporter.Report("after", {});
  EXPECT_EQ(client.events().back(), "after");
  EXPECT_EQ(client.delivered().back().thread, std::this_thread::get_id());
}

TEST(ReporterTest, UninitWithoutAWorkerDoesNothing) {
  RecordingClient client;
  Reporter reporter(client.Client());
  reporter.Uninit();
  reporter.Uninit();
  EXPECT_TRUE(client.delivered().empty());
}

TEST(ReporterTest, SecondInitDrainsTheFirstWorkerAndKeepsTheDirectFlag) {
  RecordingClient client;
  Reporter reporter(client.Client());
  client.Hold();
  reporter.Init(Config(), {}, {});
  reporter.Report("queued", {});
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    client.Release();
  });
  reporter.Init(Config(), {}, {});
  release.join();
  EXPECT_EQ(client.events(), (std::vector<std::string>{"queued"}));
  EXPECT_TRUE(reporter.direct());
  reporter.Report("direct", {});
  EXPECT_EQ(client.delivered().back().thread, std::this_thread::get_id());
  reporter.Uninit();
}

// More events than a counting semaphore with a 32767 ceiling could announce,
// raised from several threads while the first delivery is held, and Uninit
// racing the last of them: none is lost, and each thread's own events keep
// their order.
TEST(ReporterTest, NoEventIsLostUnderABurstFromSeveralThreads) {
  RecordingClient client;
  Reporter reporter(client.Client());
  client.Hold();
  reporter.Init(Config(), {}, {});
  constexpr int kThreads = 4;
  constexpr int kEach = 10000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) reporter.Report("t" + std::to_string(t), {{"i", std::to_string(i)}});
    });
  }
  for (auto& thread : threads) thread.join();
  client.Release();
  reporter.Uninit();
  const auto delivered = client.delivered();
  ASSERT_EQ(delivered.size(), static_cast<size_t>(kThreads * kEach));
  std::vector<int> next(kThreads, 0);
  for (const auto& d : delivered) {
    const int t = d.event[1] - '0';
    EXPECT_EQ(std::stoi(d.params.at("i")), next[t]) << d.event;
    next[t] = std::stoi(d.params.at("i")) + 1;
  }
}

TEST(ReporterTest, ReportsRacingUninitAreEachDeliveredOnce) {
  for (int round = 0; round < 20; ++round) {
    RecordingClient client;
    Reporter reporter(client.Client());
    reporter.Init(Config(), {}, {});
    std::atomic<bool> go{false};
    std::thread reporting([&] {
      while (!go.load()) std::this_thread::yield();
      for (int i = 0; i < 200; ++i) reporter.Report("r", {});
    });
    go = true;
    reporter.Uninit();
    reporting.join();
    EXPECT_EQ(client.delivered().size(), 200u);
  }
}

// The start-up made on the worker: InitOnWorker returns while the setup is
// still held, and the events raised meanwhile reach the client after its
// settings, in the order they were raised, from the worker; then direct.
TEST(ReporterOnWorkerTest, EventsRaisedDuringTheStartUpWaitForItAndKeepTheirOrder) {
  RecordingClient client;
  Reporter reporter(client.Client());
  Gate gate;
  std::atomic<bool> setup_on_caller{false};
  const std::thread::id caller = std::this_thread::get_id();
  reporter.InitOnWorker([&] {
    setup_on_caller = std::this_thread::get_id() == caller;
    gate.Wait();
    return ClientSetup("WORKERKEY");
  });
  ReportParams reused{{"n", "0"}};
  reporter.Report("first", reused);
  reused["n"] = "1";
  reporter.Report("second", reused);
  EXPECT_TRUE(client.calls().empty());  // the setup is still held
  gate.Open();
  ASSERT_TRUE(WaitUntil([&] { return reporter.direct() && client.delivered().size() == 2; }));
  reporter.Report("third", {});
  EXPECT_FALSE(setup_on_caller.load());
  EXPECT_EQ(client.calls(), (std::vector<std::string>{"init WORKERKEY", "common", "getters", "report first",
                                                      "report second", "report third"}));
  EXPECT_EQ(client.common.at("biz_id"), "Quillorane");
  EXPECT_EQ(client.getters, 1u);
  const auto delivered = client.delivered();
  EXPECT_EQ(delivered[0].params.at("n"), "0");
  EXPECT_EQ(delivered[1].params.at("n"), "1");
  EXPECT_NE(delivered[0].thread, caller);
  EXPECT_EQ(delivered[2].thread, caller);
  reporter.Uninit();
}

// Shutdown before the worker has even made the setup: Uninit waits for it,
// then hands every queued event to the started client.
TEST(ReporterOnWorkerTest, UninitDuringTheStartUpStartsTheClientThenDeliversTheQueue) {
  RecordingClient client;
  Reporter reporter(client.Client());
  Gate gate;
  reporter.InitOnWorker([&] {
    gate.Wait();
    return ClientSetup("LATEKEY");
  });
  for (int i = 0; i < 5; ++i) reporter.Report("e" + std::to_string(i), {});
  std::thread open([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    gate.Open();
  });
  reporter.Uninit();
  open.join();
  EXPECT_EQ(client.calls(), (std::vector<std::string>{"init LATEKEY", "common", "getters", "report e0", "report e1",
                                                      "report e2", "report e3", "report e4"}));
  reporter.Report("after", {});
  EXPECT_EQ(client.events().back(), "after");
}

// A setup that fails leaves the client without settings, but the events
// raised meanwhile still reach it, in order, and the reporter goes direct.
TEST(ReporterOnWorkerTest, AFailedSetupLosesNoEvent) {
  RecordingClient client;
  Reporter reporter(client.Client());
  Gate gate;
  reporter.InitOnWorker([&]() -> zephris_report::ReportSetup {
    gate.Wait();
    throw std::runtime_error("no setup");
  });
  reporter.Report("a", {});
  reporter.Report("b", {});
  gate.Open();
  ASSERT_TRUE(WaitUntil([&] { return reporter.direct() && client.delivered().size() == 2; }));
  EXPECT_EQ(client.calls(), (std::vector<std::string>{"report a", "report b"}));
  reporter.Uninit();
}

// A second start-up while the first is still being made: the first setup,
// then its events, then the second setup, then the events raised after it;
// the two setups never run at once.
TEST(ReporterOnWorkerTest, ASecondStartUpWaitsForTheFirstAndItsQueue) {
  RecordingClient client;
  Reporter reporter(client.Client());
  Gate first_gate;
  std::atomic<int> running{0};
  std::atomic<bool> overlapped{false};
  auto setup = [&](const char* key, Gate* gate) {
    return [&, key, gate] {
      if (running.fetch_add(1) != 0) overlapped = true;
      if (gate) gate->Wait();
      running.fetch_sub(1);
      return ClientSetup(key);
    };
  };
  reporter.InitOnWorker(setup("ONE", &first_gate));
  reporter.Report("under one", {});
  reporter.InitOnWorker(setup("TWO", nullptr));
  reporter.Report("under two", {});
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // room for a wrong early start of TWO
  first_gate.Open();
  ASSERT_TRUE(WaitUntil([&] { return client.delivered().size() == 2; }));
  reporter.Uninit();
  EXPECT_FALSE(overlapped.load());
  EXPECT_EQ(client.calls(), (std::vector<std::string>{"init ONE", "common", "getters", "report under one",
                                                      "init TWO", "common", "getters", "report under two"}));
}

}  // namespace
