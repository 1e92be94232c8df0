// The telemetry client in real reporting processes against the real
// collector on port 8081 (the host build's program): delivery, refusals
// with retries and the squared back-off, events kept across a killed
// process, the stop with its exit wait, rows that cannot be sent, and the
// SDK log. Every case holds the port, so "no collector" means nothing
// listens there.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/text_conversion.h"
#include "testing/process/child_process.h"
#include "testing/telemetry/collector_rig.h"
#include "testing/telemetry/store_file.h"
#include "vireon_sdk/src/report/collector_endpoint.h"
#include "vireon_sdk/src/report/vireon_config.h"

namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using telemetry_rig::CollectorRig;
using telemetry_rig::StoredRow;
using telemetry_rig::TempDir;
using telemetry_rig::WaitFor;
using testing_process::ChildProcess;

const std::string kDebugKey(vireon::kDebugAppKey);

int64_t NowSeconds() {
  using namespace std::chrono;
  return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

std::string Init(const std::string& app_key, const TempDir& db, bool debug, int exit_wait_ms = 1000,
                 bool storage = true) {
  return "init=" + app_key + "," + db.utf8() + "," + (debug ? "1" : "0") + "," + (storage ? "1" : "0") + "," +
         std::to_string(exit_wait_ms);
}

// The reporting process, run from `program` with the given steps.
std::unique_ptr<ChildProcess> Reporter(const std::wstring& program, const std::vector<std::string>& steps) {
  std::wstring line = L"\"" + program + L"\"";
  for (const auto& step : steps) line += L" \"" + base::Utf8ToWide(step) + L"\"";
  return std::make_unique<ChildProcess>(line);
}

std::unique_ptr<ChildProcess> Reporter(const std::vector<std::string>& steps) {
  return Reporter(telemetry_rig::RigProgram(L"ql_telemetry_reporter.exe"), steps);
}

// The next line of the reporter that starts with `prefix`; its other lines
// (the uploader's notes) are skipped, and kept in `skipped` when given.
std::optional<std::string> Step(ChildProcess& child, const std::string& prefix,
                                std::vector<std::string>* skipped = nullptr,
                                std::chrono::milliseconds timeout = 30s) {
  const auto until = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < until) {
    const auto line = child.ReadLine(std::chrono::duration_cast<std::chrono::milliseconds>(
        until - std::chrono::steady_clock::now()));
    if (!line) return std::nullopt;
    if (line->rfind(prefix, 0) == 0) return line;
    if (skipped != nullptr) skipped->push_back(*line);
  }
  return std::nullopt;
}

long long StepMs(const std::optional<std::string>& line) {
  if (!line) return -1;
  return std::stoll(line->substr(line->rfind(' ') + 1));
}

std::vector<json> EventsOf(CollectorRig& collector, const std::string& app_key) {
  std::vector<json> mine;
  for (auto& event : collector.Events()) {
    if (event.value("app_key", "") == app_key) mine.push_back(event);
  }
  return mine;
}

std::multiset<std::string> Codes(const std::vector<json>& events) {
  std::multiset<std::string> codes;
  for (const auto& event : events) codes.insert(event["event_code"].get<std::string>());
  return codes;
}

std::string ReadText(const std::wstring& path) { return testing_process::ReadFileText(path); }

// A copy of the reporter in a folder of its own, so its SDK log (beside the
// executable) is the test's alone.
class ReporterCopy {
 public:
  explicit ReporterCopy(const std::wstring& name) : program_(folder_.path() + L"\\" + name) {
    ::CopyFileW(telemetry_rig::RigProgram(L"ql_telemetry_reporter.exe").c_str(), program_.c_str(), FALSE);
  }
  const std::wstring& program() const { return program_; }
  std::wstring log() const { return folder_.path() + L"\\vireon_report.log"; }

 private:
  TempDir folder_;
  std::wstring program_;
};

class ClientProcessTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(telemetry_rig::CollectorProgramExists())
        << telemetry_rig::CollectorProgram() << " is missing: build vireon_collector in the host build that "
        << "QL_HOST_BUILD_DIR names";
    ASSERT_TRUE(telemetry_rig::CollectorHostIsLoopback())
        << vireon::kCollectorHost << " must resolve to 127.0.0.1: add \"127.0.0.1 report.quillorane.test\" to "
        << "the hosts file of the machine that runs the tests";
  }

  void TearDown() override {
    // The log-id files the reporters kept under the test keys.
    wchar_t app_data[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, app_data))) return;
    for (const auto& key : keys_) {
      ::DeleteFileW((std::wstring(app_data) + L"\\Orvalis\\VireonConfig\\" + base::Utf8ToWide(key) + L".ini").c_str());
    }
  }

  // An app key no other test uses.
  std::string UniqueKey(const char* tag) {
    keys_.push_back(std::string("QL") + tag + std::to_string(::GetCurrentProcessId()) + "T" +
                    std::to_string(::GetTickCount64() % 100000));
    return keys_.back();
  }

  std::string StoreOf(const std::string& app_key) const { return telemetry_rig::StoreFile(db_.utf8(), app_key); }
  std::vector<StoredRow> Rows(const std::string& app_key) const { return telemetry_rig::ReadStore(StoreOf(app_key)); }

  TempDir db_;
  std::vector<std::string> keys_;
};

TEST_F(ClientProcessTest, DeliversEventsAndEmptiesTheStore) {
  CollectorRig collector;
  ASSERT_TRUE(collector.Start("ok"));
  const std::string key = UniqueKey("OK");
  auto reporter = Reporter({Init(key, db_, false), "common=channel:2000", "report=installer_download_start,3",
                            "report=installer_install_start,2", "hold"});
  ASSERT_TRUE(Step(*reporter, "hold"));
  EXPECT_TRUE(WaitFor([&] { return EventsOf(collector, key).size() == 5 && Rows(key).empty(); }, 15s))
      << collector.Log();
  reporter->CloseInput();
  EXPECT_EQ(reporter->Wait(10s), 0u);

  const auto events = EventsOf(collector, key);
  EXPECT_EQ(Codes(events), (std::multiset<std::string>{"installer_download_start", "installer_download_start",
                                                       "installer_download_start", "installer_install_start",
                                                       "installer_install_start"}));
  std::set<std::string> seqs;
  for (const auto& event : events) {
    const json& params = event["params"];
    EXPECT_EQ(params["channel"], "2000");
    EXPECT_EQ(params["report_count"], "0");
    EXPECT_EQ(params["A67"], "ql_telemetry_reporter.exe");
    EXPECT_EQ(params["event_code"], event["event_code"]);
    EXPECT_EQ(event["deliveries"], 1);
    seqs.insert(params["seq"].get<std::string>());
  }
  EXPECT_EQ(seqs, (std::set<std::string>{"0", "1", "2", "3", "4"}));
  EXPECT_TRUE(Rows(key).empty());
}

TEST_F(ClientProcessTest, RefusedEventsAreRetriedAndDeliveredOnceTheCollectorAccepts) {
  const std::string key = UniqueKey("RJ");
  // Rows an earlier process left: one due at once (fewer than 10 tries), one
  // still waiting out its squared back-off ((11 - 2)^2 = 81 s after its last
  // failure).
  StoredRow due;
  due.event_code = "left_due";
  due.report_count = 5;
  due.event_time = 1700000000000;
  due.content = R"({"event_time":"1700000000000","log_id":"seeded-due","report_count":"5"})";
  due.last_upload_failed_time = NowSeconds();
  telemetry_rig::InsertStoreRow(StoreOf(key), due);
  StoredRow waiting = due;
  waiting.event_code = "left_waiting";
  waiting.report_count = 11;
  waiting.content = R"({"log_id":"seeded-waiting"})";
  const int64_t waiting_id = telemetry_rig::InsertStoreRow(StoreOf(key), waiting);

  CollectorRig collector;
  ASSERT_TRUE(collector.Start("reject"));
  auto reporter = Reporter({Init(key, db_, false), "report=refused_event,2", "hold"});
  ASSERT_TRUE(Step(*reporter, "hold"));
  // Three tries in a row, each refused; then the rows wait in the store.
  const auto refused = [&] {
    int count = 0;
    for (const auto& row : Rows(key)) {
      if (row.event_code == "refused_event" && row.report_count == 3 && row.running == 0 &&
          row.last_upload_failed_time > 0 && row.content.find(R"("report_count":"3")") != std::string::npos) {
        ++count;
      }
    }
    return count == 2;
  };
  ASSERT_TRUE(WaitFor(refused, 10s)) << collector.Log();
  EXPECT_TRUE(EventsOf(collector, key).empty());

  // The first reload comes at least 5 s after the worker started.
  ASSERT_TRUE(collector.Stop());
  ASSERT_TRUE(collector.Start("ok"));
  ASSERT_TRUE(WaitFor([&] { return Rows(key).size() == 1; }, 20s)) << collector.Log();
  const auto rows = Rows(key);
  EXPECT_EQ(rows[0].id, waiting_id);
  EXPECT_EQ(rows[0].running, 0);
  EXPECT_EQ(rows[0].report_count, 11);

  const auto events = EventsOf(collector, key);
  EXPECT_EQ(Codes(events), (std::multiset<std::string>{"left_due", "refused_event", "refused_event"}));
  for (const auto& event : events) {
    if (event["event_code"] == "refused_event") {
      EXPECT_EQ(event["params"]["report_count"], "3");
    } else {
      EXPECT_EQ(event["params"]["log_id"], "seeded-due");
    }
  }
  reporter->CloseInput();
  EXPECT_EQ(reporter->Wait(10s), 0u);
}

TEST_F(ClientProcessTest, EventsOfAKilledProcessAreSentByTheNextOne) {
  const std::string key = UniqueKey("KL");
  // No collector: every try is refused by the network.
  auto first = Reporter({Init(key, db_, false), "report=before_kill,3", "hold"});
  ASSERT_TRUE(Step(*first, "hold"));
  ASSERT_TRUE(WaitFor([&] { return Rows(key).size() == 3; }, 10s));
  first->Kill();
  EXPECT_EQ(first->Wait(5s), 99u);
  ASSERT_EQ(Rows(key).size(), 3u);

  CollectorRig collector;
  ASSERT_TRUE(collector.Start("ok"));
  auto second = Reporter({Init(key, db_, false), "hold"});
  ASSERT_TRUE(Step(*second, "hold"));
  EXPECT_TRUE(WaitFor([&] { return Rows(key).empty(); }, 20s)) << collector.Log();
  EXPECT_EQ(Codes(EventsOf(collector, key)),
            (std::multiset<std::string>{"before_kill", "before_kill", "before_kill"}));
  second->CloseInput();
  EXPECT_EQ(second->Wait(10s), 0u);
}

TEST_F(ClientProcessTest, StopWaitsForTheExchangeInFlightAtMostTheExitWaitAndKeepsItsRow) {
  CollectorRig collector;
  ASSERT_TRUE(collector.Start("hang", "--hang-ms 20000"));
  const std::string key = UniqueKey("HG");
  auto reporter = Reporter({Init(key, db_, false, 1000), "report=hung_event,1", "sleep=700", "stop"});
  std::vector<std::string> notes;
  const auto stopped = Step(*reporter, "stop", &notes);
  ASSERT_TRUE(stopped);
  EXPECT_NE(std::find(notes.begin(), notes.end(), "recv failed with error: 10060"), notes.end());
  // The worker gives up after the exit wait; the socket thread then ends with
  // its receive time-out (3 s from the start of the exchange).
  EXPECT_GE(StepMs(stopped), 900);
  EXPECT_LE(StepMs(stopped), 4500);
  EXPECT_EQ(reporter->Wait(10s), 0u);
  const auto rows = Rows(key);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].running, 1);  // cleared by the next first process of the key
}

TEST_F(ClientProcessTest, StopWithNothingInHandIsQuickAndAnEventReportedJustBeforeIsSent) {
  CollectorRig collector;
  ASSERT_TRUE(collector.Start("ok"));
  const std::string key = UniqueKey("QS");
  auto reporter = Reporter({Init(key, db_, false, 3000), "sleep=400", "stop", "stop"});
  EXPECT_LT(StepMs(Step(*reporter, "stop")), 500);
  EXPECT_LE(StepMs(Step(*reporter, "stop")), 20);  // the second returns at once
  EXPECT_EQ(reporter->Wait(10s), 0u);

  auto last_words = Reporter({Init(key, db_, false, 3000), "report=last_words,1", "stop"});
  const long long took = StepMs(Step(*last_words, "stop"));
  EXPECT_GE(took, 0);
  EXPECT_LT(took, 2500);
  EXPECT_EQ(last_words->Wait(10s), 0u);
  EXPECT_EQ(Codes(EventsOf(collector, key)), std::multiset<std::string>{"last_words"});
  EXPECT_TRUE(Rows(key).empty());
}

TEST_F(ClientProcessTest, AtMostOneExchangePerSocketThreadRunsAtOnce) {
  CollectorRig collector;
  ASSERT_TRUE(collector.Start("hang", "--hang-ms 20000"));
  const std::string key = UniqueKey("NF");
  auto reporter = Reporter({Init(key, db_, false), "report=queued_event,7", "hold"});
  ASSERT_TRUE(Step(*reporter, "hold"));
  // The hanging collector stores each event it reads; within the uploads'
  // 3 s receive time-out only the first N have been read.
  const size_t n = static_cast<size_t>(vireon::SocketThreadCountFor(std::thread::hardware_concurrency()));
  EXPECT_TRUE(WaitFor([&] { return EventsOf(collector, key).size() >= n; }, 2500ms)) << collector.Log();
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(EventsOf(collector, key).size(), n);
  const auto rows = Rows(key);
  EXPECT_EQ(rows.size(), 7u);
  for (const auto& row : rows) EXPECT_EQ(row.running, 1);
  reporter->Kill();
}

TEST_F(ClientProcessTest, AnAnswerThatIsEmptyOrUnreadableCountsAsDelivered) {
  for (const char* mode : {"close", "garbage"}) {
    CollectorRig collector;
    ASSERT_TRUE(collector.Start(mode));
    const std::string key = UniqueKey("AN");
    auto reporter = Reporter({Init(key, db_, false), std::string("report=answer_") + mode + ",2", "hold"});
    ASSERT_TRUE(Step(*reporter, "hold"));
    EXPECT_TRUE(WaitFor([&] { return EventsOf(collector, key).size() == 2 && Rows(key).empty(); }, 10s))
        << mode << "\n" << collector.Log();
    reporter->CloseInput();
    EXPECT_EQ(reporter->Wait(10s), 0u);
    // Delivered once each: nothing was tried again.
    for (const auto& event : EventsOf(collector, key)) EXPECT_EQ(event["deliveries"], 1) << mode;
  }
}

TEST_F(ClientProcessTest, AnEventReportedAfterTheStopIsStoredForTheNextProcess) {
  const std::string key = UniqueKey("LT");
  auto reporter = Reporter({Init(key, db_, false, 200), "stop", "report=too_late,2"});
  ASSERT_TRUE(Step(*reporter, "report"));
  EXPECT_EQ(reporter->Wait(10s), 0u);
  const auto rows = Rows(key);
  ASSERT_EQ(rows.size(), 2u);
  for (const auto& row : rows) {
    EXPECT_EQ(row.event_code, "too_late");
    EXPECT_EQ(row.running, 0);
    EXPECT_EQ(row.report_count, 0);
  }
}

TEST_F(ClientProcessTest, AProcessThatEndsWithoutStopStopsItsTransportAtExit) {
  const std::string key = UniqueKey("EX");
  // Returns from main right after reporting; the exit stops the transport,
  // which records the events first.
  auto reporter = Reporter({Init(key, db_, false, 1000), "report=at_exit,2"});
  ASSERT_TRUE(Step(*reporter, "report"));
  EXPECT_EQ(reporter->Wait(15s), 0u);
  const auto rows = Rows(key);
  ASSERT_EQ(rows.size(), 2u);
  for (const auto& row : rows) EXPECT_EQ(row.event_code, "at_exit");
}

TEST_F(ClientProcessTest, StorageOffSendsFromMemoryAndKeepsNoFile) {
  CollectorRig collector;
  ASSERT_TRUE(collector.Start("ok"));
  const std::string key = UniqueKey("NS");
  auto reporter = Reporter({Init(key, db_, false, 1000, false), "report=memory_only,2", "sleep=1500", "stop"});
  ASSERT_TRUE(Step(*reporter, "stop"));
  EXPECT_EQ(reporter->Wait(10s), 0u);
  EXPECT_EQ(Codes(EventsOf(collector, key)), (std::multiset<std::string>{"memory_only", "memory_only"}));
  EXPECT_FALSE(std::filesystem::exists(base::Utf8ToWide(StoreOf(key))));
}

TEST_F(ClientProcessTest, StoredRowsThatAreNotMapsOfStringsAreDroppedWithALogLine) {
  // Debug mode: the SDK log is on and the debug app key names the store.
  StoredRow good;
  good.event_code = "good_row";
  good.report_count = 3;
  good.content = R"({"log_id":"seeded-good"})";
  StoredRow broken = good;
  broken.event_code = "broken_row";
  broken.content = "{\"log_id\":";
  StoredRow numbers = good;
  numbers.event_code = "number_row";
  numbers.content = R"({"log_id":7})";
  telemetry_rig::InsertStoreRow(StoreOf(kDebugKey), broken);
  telemetry_rig::InsertStoreRow(StoreOf(kDebugKey), numbers);
  telemetry_rig::InsertStoreRow(StoreOf(kDebugKey), good);

  CollectorRig collector;
  ASSERT_TRUE(collector.Start("ok"));
  ReporterCopy copy(L"ql_reporter_rows.exe");
  auto reporter = Reporter(copy.program(), {Init("IGNORED", db_, true), "hold"});
  ASSERT_TRUE(Step(*reporter, "hold"));
  EXPECT_TRUE(WaitFor([&] { return Rows(kDebugKey).empty(); }, 20s)) << collector.Log();
  reporter->CloseInput();
  EXPECT_EQ(reporter->Wait(10s), 0u);

  const auto events = EventsOf(collector, kDebugKey);
  ASSERT_EQ(Codes(events), std::multiset<std::string>{"good_row"});
  EXPECT_EQ(events[0]["params"]["log_id"], "seeded-good");
  const std::string log = ReadText(copy.log());
  EXPECT_NE(log.find("[Error][request_storage.cc:RequestStorage::LoadPendingRequests@:"), std::string::npos) << log;
  EXPECT_NE(log.find("LoadPendingRequests json parse error, row dropped"), std::string::npos) << log;
  EXPECT_NE(log.find("LoadPendingRequests content is not a map of strings, row dropped"), std::string::npos) << log;
  EXPECT_NE(log.find("Request_Succeed, event_code=good_row, log_id=seeded-good"), std::string::npos) << log;
}

TEST_F(ClientProcessTest, DebugModeUsesTheDebugKeyAndKeepsItsLogBesideTheExecutable) {
  ReporterCopy copy(L"ql_reporter_debug_" + std::to_wstring(::GetCurrentProcessId()) + L".exe");
  auto reporter = Reporter(copy.program(), {Init("HOSTKEY", db_, true, 200), "config", "report=,1", "report=debug_event,1", "stop"});
  const auto config = Step(*reporter, "config");
  ASSERT_TRUE(config);
  EXPECT_EQ(*config, "config app_key=" + kDebugKey);
  ASSERT_TRUE(Step(*reporter, "stop"));
  EXPECT_EQ(reporter->Wait(10s), 0u);

  const std::string log = ReadText(copy.log());
  const auto first_line = log.substr(0, log.find('\n'));
  EXPECT_NE(first_line.find("[Info][sdk_log.cc:Vireon::Logger::Start@:"), std::string::npos) << log;
  EXPECT_NE(first_line.find("] Start...\r"), std::string::npos) << log;
  EXPECT_NE(log.find("[Info][vireon_client.cc:VireonClient::InitSDK@:"), std::string::npos) << log;
  EXPECT_NE(log.find("] sdk init debug:true, db path:" + db_.utf8() + "\r\n"), std::string::npos) << log;
  // The event without a code cannot be packed: one Error line, no row.
  EXPECT_NE(log.find("[Error][vireon_client.cc:VireonClient::Report@:"), std::string::npos) << log;
  EXPECT_NE(log.find("MakeVireonRequest FAILED. event_code: \r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Run_Request, event_code=debug_event"), std::string::npos) << log;
  EXPECT_NE(log.rfind(" End...\r\n"), std::string::npos) << log;
  const auto rows = Rows(kDebugKey);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].event_code, "debug_event");

  // The log-id file is named after the debug key and counts per executable
  // name; the event that could not be packed had its id too.
  wchar_t app_data[MAX_PATH] = {};
  ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, app_data)));
  const std::wstring ini = std::wstring(app_data) + L"\\Orvalis\\VireonConfig\\" +
                           base::Utf8ToWide(kDebugKey) + L".ini";
  const std::wstring section = copy.program().substr(copy.program().rfind(L'\\') + 1);
  wchar_t value[64] = {};
  ::GetPrivateProfileStringW(section.c_str(), L"logid", L"", value, 63, ini.c_str());
  EXPECT_STREQ(value, L"2");
  ::WritePrivateProfileStringW(section.c_str(), nullptr, nullptr, ini.c_str());
}

TEST_F(ClientProcessTest, WithoutDebugModeNoLogIsWritten) {
  ReporterCopy copy(L"ql_reporter_quiet.exe");
  const std::string key = UniqueKey("QT");
  auto reporter = Reporter(copy.program(), {Init(key, db_, false, 200), "report=,1", "report=quiet_event,1", "stop"});
  ASSERT_TRUE(Step(*reporter, "stop"));
  EXPECT_EQ(reporter->Wait(10s), 0u);
  EXPECT_FALSE(std::filesystem::exists(copy.log()));
  const auto rows = Rows(key);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].event_code, "quiet_event");
}

}  // namespace
