#include "base/oem_table.h"

#include <gtest/gtest.h>

#include <SQLiteCpp/SQLiteCpp.h>

#include <filesystem>

#include "base/path_manager.h"
#include "base/tests/settings_test_util.h"
#include "base/text_conversion.h"

namespace {

namespace fs = std::filesystem;

constexpr char kDeviceId[] = "00112233445566778899aabbccddeeff";

class OemTableTest : public testing::Test {
 protected:
  std::wstring path() const {
    return base::PathManager::GetInstance().GetAppDataDir(base::AppDataDirKind::kDb) + L"\\OTable.db";
  }
  SQLite::Database Raw() const { return SQLite::Database(base::WideToUtf8(path()), SQLite::OPEN_READWRITE); }

  settings_test::ScopedTestProduct product_;
};

data::ClientUpdateInfo SampleInfo() {
  data::ClientUpdateInfo info;
  info.version = "5.2.0.100";
  info.exp_id = "exp-7";
  info.components = {
      {123456789012ull, data::ComponentType::kClient, "client", "https://cdn/x/client.7z", "ABCDEF0123", "5.2.0.1"},
      {42, data::ComponentType::kKesmoEngine, "kesmo", "https://cdn/x/k.7z", "00ff", "1.0"},
  };
  return info;
}

TEST_F(OemTableTest, ListRoundTripsThroughTheFile) {
  {
    oem::OemTable table(kDeviceId);
    table.SetClientUpdateInfo(18446744073709551615ull, SampleInfo());
  }
  EXPECT_TRUE(fs::exists(path()));
  oem::OemTable reopened(kDeviceId);
  const std::optional<data::ClientUpdateInfo> info = reopened.GetClientUpdateInfo(18446744073709551615ull);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->version, "5.2.0.100");
  EXPECT_EQ(info->exp_id, "exp-7");
  ASSERT_EQ(info->components.size(), 2u);
  EXPECT_EQ(info->components[0].size, 123456789012ull);
  EXPECT_EQ(info->components[0].type, data::ComponentType::kClient);
  EXPECT_EQ(info->components[0].url, "https://cdn/x/client.7z");
  EXPECT_EQ(info->components[1].type, data::ComponentType::kKesmoEngine);
  EXPECT_EQ(info->components[1].md5, "00ff");
  EXPECT_FALSE(reopened.GetClientUpdateInfo(7).has_value()) << "another channel";
}

TEST_F(OemTableTest, RowHoldsThePlainJsonUnderTheChannelKey) {
  data::ClientUpdateInfo info = SampleInfo();
  info.exp_id.reset();
  info.components.resize(1);
  oem::OemTable(kDeviceId).SetClientUpdateInfo(2001, info);

  SQLite::Database raw = Raw();
  SQLite::Statement row(raw, "SELECT key, value, encrypt, json_data FROM configs");
  ASSERT_TRUE(row.executeStep());
  EXPECT_EQ(row.getColumn(0).getString(), "oem.channel.client_update_info.2001");
  EXPECT_EQ(row.getColumn(2).getInt(), 0);
  EXPECT_EQ(row.getColumn(3).getString(), "");
  const nlohmann::json stored = nlohmann::json::parse(row.getColumn(1).getString());
  EXPECT_EQ(stored, nlohmann::json::parse(R"({"version":"5.2.0.100","components":[
      {"size":123456789012,"type":1,"name":"client","url":"https://cdn/x/client.7z","md5":"ABCDEF0123",
       "version":"5.2.0.1"}]})"))
      << "no exp_id when there is none";
  EXPECT_FALSE(row.executeStep());
}

TEST_F(OemTableTest, DamagedRowsGiveNothing) {
  oem::OemTable table(kDeviceId);
  const char* values[] = {
      "not json",
      R"({"version":"1","components":[{"size":1,"type":1,"name":"n","url":"u","version":"v"}]})",  // no md5
      R"({"version":"1","exp_id":null,"components":[]})",
      R"({"version":"1","components":{}})",
      R"([1,2,3])",
  };
  for (const char* value : values) {
    ASSERT_TRUE(table.Set({"oem.channel.client_update_info.9", value, 0, ""}));
    EXPECT_FALSE(table.GetClientUpdateInfo(9).has_value()) << value;
  }
}

}  // namespace
