#include "base/config_table.h"

#include <gtest/gtest.h>

#include <SQLiteCpp/SQLiteCpp.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "base/tests/settings_test_util.h"
#include "base/text_conversion.h"
#include "base/xxtea.h"

namespace {

namespace fs = std::filesystem;
using config_table::ConfigTable;
using config_table::ConfigTableRow;

constexpr char kDeviceId[] = "0123456789abcdef0123456789abcdef";
constexpr char kOtherDeviceId[] = "fedcba9876543210fedcba9876543210";

class ConfigTableTest : public testing::Test {
 protected:
  std::wstring path() const { return (temp_.path() / "db" / "Configs.db").wstring(); }
  std::string path_utf8() const { return base::WideToUtf8(path()); }

  // A second connection that sees the file as stored, past the table.
  SQLite::Database Raw() const { return SQLite::Database(path_utf8(), SQLite::OPEN_READWRITE); }

  settings_test::ScopedTempDir temp_;
};

TEST_F(ConfigTableTest, RowsSurviveReopening) {
  {
    ConfigTable table(path(), kDeviceId);
    ASSERT_TRUE(table.handle());
    ASSERT_TRUE(table.Set({"recall.cache", "{\"list\":[1,2]}", 0, "plain \xE5\xA4\xB8"}));
  }
  ConfigTable reopened(path(), kDeviceId);
  const std::optional<ConfigTableRow> row = reopened.Get("recall.cache");
  ASSERT_TRUE(row.has_value());
  EXPECT_EQ(row->key, "recall.cache");
  EXPECT_EQ(row->value, "{\"list\":[1,2]}");
  EXPECT_EQ(row->encrypt, 0);
  EXPECT_EQ(row->json_data, "plain \xE5\xA4\xB8");
}

TEST_F(ConfigTableTest, EncryptedColumnIsStoredSealed) {
  const std::string secret = R"({"token":"abc","n":1})";
  {
    ConfigTable table(path(), kDeviceId);
    ASSERT_TRUE(table.Set({"group.config", "v", 7, secret}));
  }
  SQLite::Database raw = Raw();
  const std::string stored = raw.execAndGet("SELECT json_data FROM configs WHERE key='group.config'").getString();
  EXPECT_EQ(stored, base::XxteaBase64Encrypt(kDeviceId, secret));
  EXPECT_EQ(stored.find("token"), std::string::npos);
  EXPECT_EQ(raw.execAndGet("SELECT encrypt FROM configs WHERE key='group.config'").getInt(), 7);

  ConfigTable reopened(path(), kDeviceId);
  const std::optional<ConfigTableRow> row = reopened.Get("group.config");
  ASSERT_TRUE(row.has_value());
  EXPECT_EQ(row->encrypt, 1) << "any non-zero flag reads back as 1";
  EXPECT_EQ(row->json_data, secret);
}

TEST_F(ConfigTableTest, ColumnThatDoesNotDecryptReadsEmpty) {
  ConfigTable table(path(), kDeviceId);
  ASSERT_TRUE(ConfigTable(path(), kOtherDeviceId).Set({"other.device", "kept", 1, "written elsewhere"}));
  ASSERT_TRUE(table.Set({"not.base64", "kept", 0, ""}));
  Raw().exec("UPDATE configs SET encrypt=1, json_data='abcde' WHERE key='not.base64'");

  for (const char* key : {"other.device", "not.base64"}) {
    const std::optional<ConfigTableRow> row = table.Get(key);
    ASSERT_TRUE(row.has_value()) << key;
    EXPECT_EQ(row->value, "kept") << key;
    EXPECT_EQ(row->json_data, "") << key;
  }
}

TEST_F(ConfigTableTest, EmptyEncryptedColumnStaysEmpty) {
  ConfigTable table(path(), kDeviceId);
  ASSERT_TRUE(table.Set({"k", "v", 1, ""}));
  EXPECT_EQ(Raw().execAndGet("SELECT json_data FROM configs WHERE key='k'").getString(), "");
  EXPECT_EQ(table.Get("k")->json_data, "");
}

TEST_F(ConfigTableTest, AnEmptyCipherKeyIsRefusedForEncryptedData) {
  // A row stored under an all-zero key, as an empty key text would give.
  ASSERT_TRUE(ConfigTable(path(), kDeviceId).Set({"zero.key", "kept", 0, ""}));
  Raw().exec("UPDATE configs SET encrypt=1, json_data='" + base::XxteaBase64Encrypt(std::string(16, '\0'), "under zeros") +
             "' WHERE key='zero.key'");

  for (const std::string& key : {std::string(), std::string("\0abc", 4)}) {
    ConfigTable table(path(), key);
    EXPECT_FALSE(table.Set({"sealed", "v", 1, "secret"}));
    EXPECT_FALSE(table.Get("sealed").has_value());
    const std::optional<ConfigTableRow> row = table.Get("zero.key");
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->value, "kept");
    EXPECT_EQ(row->json_data, "");
    // Plain rows do not need the key.
    EXPECT_TRUE(table.Set({"plain", "v", 0, "open"}));
    EXPECT_EQ(table.Get("plain")->json_data, "open");
  }
}

TEST_F(ConfigTableTest, SameKeyKeepsOneRowWithTheLastFields) {
  ConfigTable table(path(), kDeviceId);
  ASSERT_TRUE(table.Set({"k", "first", 1, "one"}));
  const int first_id = Raw().execAndGet("SELECT id FROM configs WHERE key='k'").getInt();
  ASSERT_TRUE(table.Set({"k", "second", 0, "two"}));

  SQLite::Database raw = Raw();
  EXPECT_EQ(raw.execAndGet("SELECT COUNT(*) FROM configs").getInt(), 1);
  EXPECT_GT(raw.execAndGet("SELECT id FROM configs WHERE key='k'").getInt(), first_id) << "a new id";
  const std::optional<ConfigTableRow> row = table.Get("k");
  ASSERT_TRUE(row.has_value());
  EXPECT_EQ(row->value, "second");
  EXPECT_EQ(row->encrypt, 0);
  EXPECT_EQ(row->json_data, "two");
}

TEST_F(ConfigTableTest, GetAndRemoveOfKeysThatAreNotThere) {
  ConfigTable table(path(), kDeviceId);
  ASSERT_TRUE(table.Set({"k", "v", 0, ""}));
  EXPECT_FALSE(table.Get("").has_value());
  EXPECT_FALSE(table.Get("missing").has_value());
  table.Remove("");
  table.Remove("missing");
  EXPECT_TRUE(table.Get("k").has_value());
  table.Remove("k");
  EXPECT_FALSE(table.Get("k").has_value());
}

TEST_F(ConfigTableTest, NullColumnsReadAsEmptyText) {
  ConfigTable table(path(), kDeviceId);
  Raw().exec("INSERT INTO configs (key) VALUES ('bare')");
  const std::optional<ConfigTableRow> row = table.Get("bare");
  ASSERT_TRUE(row.has_value());
  EXPECT_EQ(row->value, "");
  EXPECT_EQ(row->encrypt, 0);
  EXPECT_EQ(row->json_data, "");
}

TEST_F(ConfigTableTest, FileThatCannotBeOpenedLeavesAnEmptyTable) {
  fs::create_directories(path());  // a folder where the file belongs
  ConfigTable table(path(), kDeviceId);
  EXPECT_FALSE(table.handle());
  EXPECT_FALSE(table.Set({"k", "v", 0, ""}));
  EXPECT_FALSE(table.Get("k").has_value());
  table.Remove("k");
}

TEST_F(ConfigTableTest, ConnectionUsesWalFullSyncAndPower) {
  ConfigTable table(path(), kDeviceId);
  ASSERT_TRUE(table.handle());
  SQLite::Database& db = *table.handle();
  EXPECT_EQ(db.execAndGet("PRAGMA journal_mode").getString(), "wal");
  EXPECT_EQ(db.execAndGet("PRAGMA synchronous").getInt(), 2) << "FULL";
  EXPECT_DOUBLE_EQ(db.execAndGet("SELECT POWER(2, 10)").getDouble(), 1024.0);
  EXPECT_DOUBLE_EQ(db.execAndGet("SELECT POWER(9, 0.5)").getDouble(), 3.0);
  EXPECT_DOUBLE_EQ(db.execAndGet("SELECT POWER('2', '3')").getDouble(), 8.0);
  ASSERT_TRUE(table.Set({"k", "v", 0, ""}));
  EXPECT_TRUE(fs::exists(path() + L"-wal"));
  EXPECT_EQ(Raw().execAndGet("PRAGMA journal_mode").getString(), "wal") << "the journal mode is kept in the file";
}

TEST_F(ConfigTableTest, DeletedFileIsRecreatedOnTheNextOpen) {
  { ASSERT_TRUE(ConfigTable(path(), kDeviceId).Set({"k", "v", 0, ""})); }
  fs::remove(path());
  fs::remove(path() + L"-wal");
  fs::remove(path() + L"-shm");
  ConfigTable table(path(), kDeviceId);
  EXPECT_FALSE(table.Get("k").has_value());
  EXPECT_TRUE(table.Set({"k2", "v", 0, ""}));
}

// Another process (here: another connection) holding the write lock must
// delay a write, not swallow it.
TEST_F(ConfigTableTest, WriteWaitsForAnotherConnectionsLock) {
  ConfigTable table(path(), kDeviceId);
  ASSERT_TRUE(table.handle());
  SQLite::Database other(path_utf8(), SQLite::OPEN_READWRITE);
  other.exec("BEGIN IMMEDIATE");
  other.exec("INSERT INTO configs (key,value,encrypt,json_data) VALUES ('other','x',0,'')");
  std::thread release([&other] {
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    other.exec("COMMIT");
  });

  const auto start = std::chrono::steady_clock::now();
  const bool written = table.Set({"mine", "y", 0, ""});
  const auto waited = std::chrono::steady_clock::now() - start;
  release.join();

  EXPECT_TRUE(written);
  EXPECT_GE(waited, std::chrono::milliseconds(500)) << "the write should have waited for the lock";
  EXPECT_TRUE(table.Get("mine").has_value());
  EXPECT_TRUE(table.Get("other").has_value());
}

}  // namespace
