// The request store on real SQLite files: paths, rows, the due-rows query
// with its squared back-off, running marks across instances, and rows that
// cannot become requests.
#include <windows.h>

#include <gtest/gtest.h>

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Transaction.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <nlohmann/json.hpp>

#include "testing/telemetry/collector_rig.h"
#include "testing/telemetry/store_file.h"
#include "vireon_sdk/src/report/request_storage.h"
#include "vireon_sdk/src/report/vireon_request.h"
#include "vireon_sdk/src/utils/file_util.h"
#include "vireon_sdk/src/utils/string_conv.h"

namespace vireon {
namespace {

using telemetry_rig::StoredRow;

int64_t NowSeconds() {
  using namespace std::chrono;
  return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

// A store in a fresh folder under an app key no other test uses, so the
// per-key instance mutex of one test never meets another's.
class StoreTest : public testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    app_key_ = "QLSTORE" + std::to_string(::GetCurrentProcessId()) + "K" + std::to_string(counter++);
    config_.app_key = app_key_;
    file_ = telemetry_rig::StoreFile(dir_.utf8(), app_key_);
  }

  // Seeds rows before the store opens them.
  int64_t Seed(const std::string& code, int64_t report_count, int64_t last_failed, int64_t running,
               int64_t priority = 0, const std::string& content = R"({"k":"v"})") {
    StoredRow row;
    row.event_code = code;
    row.priority = priority;
    row.report_count = report_count;
    row.event_time = 1700000000000;
    row.content = content;
    row.last_upload_failed_time = last_failed;
    row.running = running;
    return telemetry_rig::InsertStoreRow(file_, row);
  }

  std::vector<std::string> LoadCodes(RequestStorage& store) {
    std::vector<std::string> codes;
    for (const auto& request : store.LoadPendingRequests()) codes.push_back(request->event_code);
    return codes;
  }

  telemetry_rig::TempDir dir_;
  std::string app_key_;
  VireonConfig config_;
  std::string file_;
};

TEST(StoragePathTest, JoinsFolderAndAppKey) {
  EXPECT_EQ(GetStorageFilePath("C:\\x", "KEY"), "C:\\x\\vr_KEY_0e.db");
  EXPECT_EQ(GetStorageFilePath("C:\\x\\", "KEY"), "C:\\x\\vr_KEY_0e.db");
  EXPECT_EQ(GetStorageFilePath("", "KEY"), "vr_KEY_0e.db");
  EXPECT_EQ(GetStorageDir("D:\\given"), "D:\\given");
}

TEST(StoragePathTest, DefaultsToTheMakersFolderUnderApplicationData) {
  const std::string folder = GetStorageDir("");
  EXPECT_EQ(folder, utils::WideToUtf8(utils::GetAppDataDir()) + "\\Orvalis\\vireon");
  const DWORD attributes = ::GetFileAttributesW(utils::Utf8ToWide(folder).c_str());
  EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
}

TEST(StoragePathTest, TheDueRowsQueryIsExact) {
  EXPECT_EQ(BuildPendingQuery(1700000000),
            "SELECT * FROM vireon_events WHERE running = 0 AND  ( report_count < 10 OR  ( 1700000000 - "
            "last_upload_failed_time )  >  POWER(  ( report_count - 3 + 1 ) ,  2  )  )  ORDER BY priority DESC  , id "
            "ASC  , report_count DESC  LIMIT 10");
}

TEST_F(StoreTest, RecordsARowWithItsContentAsCompactSortedJson) {
  RequestStorage store;
  ASSERT_TRUE(store.Init(dir_.utf8(), config_));
  EXPECT_EQ(store.path(), file_);
  auto request = MakeVireonRequest("installer_download_start", {{"b", "2"}, {"a", "\xE4\xB8\xAD"}, {"c", "x\"y"}});
  request->priority = static_cast<RequestPriority>(1);
  request->attempts = 2;
  request->event_time = 1700000000123;
  int64_t first = 0, second = 0;
  ASSERT_TRUE(store.RecordRequest(*request, true, &first));
  ASSERT_TRUE(store.RecordRequest(*request, false, &second));
  EXPECT_EQ(second, first + 1);

  const auto rows = telemetry_rig::ReadStore(file_);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].id, first);
  EXPECT_EQ(rows[0].event_code, "installer_download_start");
  EXPECT_EQ(rows[0].priority, 1);
  EXPECT_EQ(rows[0].report_count, 2);
  EXPECT_EQ(rows[0].event_time, 1700000000123);
  EXPECT_EQ(rows[0].content, "{\"a\":\"\xE4\xB8\xAD\",\"b\":\"2\",\"c\":\"x\\\"y\"}");
  EXPECT_EQ(rows[0].last_upload_failed_time, 0);
  EXPECT_EQ(rows[0].running, 1);
  EXPECT_EQ(rows[1].running, 0);
}

TEST_F(StoreTest, DeletesExactlyOneRow) {
  RequestStorage store;
  ASSERT_TRUE(store.Init(dir_.utf8(), config_));
  auto request = MakeVireonRequest("e", {});
  int64_t id = 0;
  ASSERT_TRUE(store.RecordRequest(*request, true, &id));
  EXPECT_TRUE(store.DeleteRequest(id));
  EXPECT_FALSE(store.DeleteRequest(id));
  EXPECT_FALSE(store.DeleteRequest(987654));
  EXPECT_TRUE(telemetry_rig::ReadStore(file_).empty());
}

TEST_F(StoreTest, UpdatesStoreTheTriesTheFailureTimeAndRelease) {
  RequestStorage store;
  ASSERT_TRUE(store.Init(dir_.utf8(), config_));
  auto request = MakeVireonRequest("e", {{"report_count", "0"}});
  ASSERT_TRUE(store.RecordRequest(*request, true, &request->row_id));
  request->attempts = 1;
  request->params["report_count"] = "1";
  const int64_t before = NowSeconds();
  ASSERT_TRUE(store.UpdateRequest(*request));
  auto rows = telemetry_rig::ReadStore(file_);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].report_count, 1);
  EXPECT_EQ(rows[0].content, R"({"report_count":"1"})");
  EXPECT_GE(rows[0].last_upload_failed_time, before);
  EXPECT_LE(rows[0].last_upload_failed_time, NowSeconds());
  EXPECT_EQ(rows[0].running, 1);

  request->attempts = 3;
  request->params["report_count"] = "3";
  ASSERT_TRUE(store.UpdateFailedRequest(*request));
  rows = telemetry_rig::ReadStore(file_);
  EXPECT_EQ(rows[0].report_count, 3);
  EXPECT_EQ(rows[0].content, R"({"report_count":"3"})");
  EXPECT_EQ(rows[0].running, 0);
}

TEST_F(StoreTest, DueRowsFollowTheSquaredBackOff) {
  const int64_t now = NowSeconds();
  // report_count 10 waits more than 64 s, 12 more than 100 s; a few seconds
  // of margin keep the test off the boundary.
  Seed("nine_now", 9, now, 0);
  Seed("ten_61s", 10, now - 61, 0);
  Seed("ten_68s", 10, now - 68, 0);
  Seed("twelve_97s", 12, now - 97, 0);
  Seed("twelve_104s", 12, now - 104, 0);
  Seed("running", 0, 0, 1);
  RequestStorage store;
  ASSERT_TRUE(store.Init(dir_.utf8(), config_));
  // The first store of the key clears the running marks left by a dead process.
  EXPECT_EQ(LoadCodes(store), (std::vector<std::string>{"nine_now", "ten_68s", "twelve_104s", "running"}));
  for (const auto& row : telemetry_rig::ReadStore(file_)) {
    const bool loaded = row.event_code != "ten_61s" && row.event_code != "twelve_97s";
    EXPECT_EQ(row.running, loaded ? 1 : 0) << row.event_code;
  }
  EXPECT_TRUE(LoadCodes(store).empty());
}

TEST_F(StoreTest, LoadsByPriorityThenAgeAtMostTenAtATime) {
  for (int i = 0; i < 11; ++i) Seed("low" + std::to_string(i), 3, 0, 0, 0);
  Seed("high", 3, 0, 0, 1);
  RequestStorage store;
  ASSERT_TRUE(store.Init(dir_.utf8(), config_));
  const auto first = store.LoadPendingRequests();
  ASSERT_EQ(first.size(), 10u);
  EXPECT_EQ(first[0]->event_code, "high");
  EXPECT_EQ(first[0]->priority, 1);
  for (int i = 1; i < 10; ++i) EXPECT_EQ(first[i]->event_code, "low" + std::to_string(i - 1));
  EXPECT_EQ(first[1]->attempts, 3u);
  EXPECT_EQ(first[1]->event_time, 1700000000000);
  EXPECT_GT(first[1]->row_id, 0);
  EXPECT_FALSE(first[1]->body.empty());
  EXPECT_EQ(first[1]->params, (ReportParams{{"k", "v"}}));
  EXPECT_EQ(LoadCodes(store), (std::vector<std::string>{"low9", "low10"}));
}

TEST_F(StoreTest, AStoredCountBelowZeroLoadsAsNoTries) {
  struct Case {
    int64_t stored;
    uint32_t attempts;
  } cases[] = {{-10, 0}, {-1, 0}, {INT64_MIN, 0}, {0, 0}, {3, 3}, {9, 9}};
  for (const auto& c : cases) Seed("count" + std::to_string(c.stored), c.stored, 0, 0);
  RequestStorage store;
  ASSERT_TRUE(store.Init(dir_.utf8(), config_));
  const auto loaded = store.LoadPendingRequests();
  ASSERT_EQ(loaded.size(), std::size(cases));
  for (size_t i = 0; i < loaded.size(); ++i) {
    SCOPED_TRACE(cases[i].stored);
    EXPECT_EQ(loaded[i]->event_code, "count" + std::to_string(cases[i].stored));
    EXPECT_EQ(loaded[i]->attempts, cases[i].attempts);
  }
}

TEST_F(StoreTest, AnEmptyObjectLoadsAsARequestWithoutParameters) {
  Seed("empty", 0, 0, 0, 0, "{}");
  RequestStorage store;
  ASSERT_TRUE(store.Init(dir_.utf8(), config_));
  const auto loaded = store.LoadPendingRequests();
  ASSERT_EQ(loaded.size(), 1u);
  EXPECT_TRUE(loaded[0]->params.empty());
  EXPECT_FALSE(loaded[0]->body.empty());
}

TEST_F(StoreTest, RowsThatCannotBecomeRequestsAreDroppedAndTheRestStillLoad) {
  Seed("first", 3, 0, 0);
  const int64_t not_json = Seed("not_json", 3, 0, 0, 0, "{broken");
  const int64_t not_strings = Seed("not_strings", 3, 0, 0, 0, R"({"a":1,"b":"x"})");
  const int64_t not_object = Seed("not_object", 3, 0, 0, 0, R"(["a","b"])");
  Seed("last", 3, 0, 0);
  RequestStorage store;
  ASSERT_TRUE(store.Init(dir_.utf8(), config_));
  EXPECT_EQ(LoadCodes(store), (std::vector<std::string>{"first", "last"}));
  for (const auto& row : telemetry_rig::ReadStore(file_)) {
    EXPECT_NE(row.id, not_json);
    EXPECT_NE(row.id, not_strings);
    EXPECT_NE(row.id, not_object);
    EXPECT_EQ(row.running, 1) << row.event_code;
  }
  EXPECT_EQ(telemetry_rig::ReadStore(file_).size(), 2u);
}

TEST_F(StoreTest, ALaterStoreOfTheSameKeyLeavesTheRunningMarksAlone) {
  Seed("held", 0, 0, 1);
  RequestStorage first;
  ASSERT_TRUE(first.Init(dir_.utf8(), config_));
  EXPECT_EQ(telemetry_rig::ReadStore(file_)[0].running, 0);
  ASSERT_EQ(LoadCodes(first), std::vector<std::string>{"held"});
  EXPECT_EQ(telemetry_rig::ReadStore(file_)[0].running, 1);

  // The first store's instance mutex is open (for the rest of this process),
  // just as it would be in another running process of the key.
  RequestStorage second;
  ASSERT_TRUE(second.Init(dir_.utf8(), config_));
  EXPECT_EQ(telemetry_rig::ReadStore(file_)[0].running, 1);
  EXPECT_TRUE(LoadCodes(second).empty());
}

TEST_F(StoreTest, WaitsForAnotherConnectionsWriteLockInsteadOfFailing) {
  RequestStorage store;
  ASSERT_TRUE(store.Init(dir_.utf8(), config_));
  SQLite::Database other(file_, SQLite::OPEN_READWRITE);
  std::atomic<bool> locked{false};
  std::thread holder([&] {
    SQLite::Transaction hold(other, SQLite::TransactionBehavior::IMMEDIATE);
    locked = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    hold.commit();
  });
  while (!locked) std::this_thread::yield();
  auto request = MakeVireonRequest("while_locked", {});
  int64_t id = 0;
  const auto start = std::chrono::steady_clock::now();
  const bool recorded = store.RecordRequest(*request, true, &id);
  const auto waited = std::chrono::steady_clock::now() - start;
  holder.join();
  EXPECT_TRUE(recorded);
  EXPECT_GE(waited, std::chrono::milliseconds(300));
  ASSERT_EQ(telemetry_rig::ReadStore(file_).size(), 1u);
}

TEST_F(StoreTest, InitFailsForAFolderThatDoesNotExist) {
  RequestStorage store;
  EXPECT_FALSE(store.Init(dir_.utf8() + "\\missing\\deeper", config_));
  EXPECT_FALSE(store.RecordRequest(*MakeVireonRequest("e", {}), true, nullptr));
  EXPECT_TRUE(store.LoadPendingRequests().empty());
}

TEST(ParamsJsonTest, RoundTripsAndRefusesWhatIsNotAMapOfStrings) {
  const ReportParams params{{"z", "1"}, {"a", "\xE4\xB8\xAD"}, {"q", "a\"b\\c"}};
  const std::string json = ParamsToJson(params);
  EXPECT_EQ(json, "{\"a\":\"\xE4\xB8\xAD\",\"q\":\"a\\\"b\\\\c\",\"z\":\"1\"}");
  EXPECT_EQ(ParamsFromJson(json), params);
  EXPECT_EQ(ParamsFromJson("{}"), ReportParams{});
  for (const char* bad : {"", "{", "[]", "\"text\"", "{\"a\":null}", "{\"a\":{\"b\":\"c\"}}", "{\"a\":true}"}) {
    EXPECT_FALSE(ParamsFromJson(bad).has_value()) << bad;
  }
}

}  // namespace
}  // namespace vireon
