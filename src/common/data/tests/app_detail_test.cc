// App details: the record's JSON form, and the fetch against the web API
// stand-in with its memory cache and its copy in "Configs.db".
#include "src/common/data/app_detail.h"

#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "base/config_table.h"
#include "base/path_manager.h"
#include "net/web_api_endpoint.h"
#include "report/install_report.h"
#include "src/common/data/tests/web_api_rig.h"
#include "src/zephris_install/src/tool/env_info.h"
#include "vireon_sdk/src/report/vireon_client.h"

namespace data {
namespace {

using nlohmann::json;

const json kRecord = {{"pkg_name", "com.example.game"}, {"app_name", "Game"},
                      {"icon", "https://i/1.png"},      {"downloader_icon", "https://i/2.png"},
                      {"game_type", 2},                 {"developer", "Studio"}};

json Without(json record, const char* member) {
  record.erase(member);
  return record;
}

json With(json record, const char* member, json value) {
  record[member] = std::move(value);
  return record;
}

TEST(AppDetailJson, ReadsTheRecord) {
  struct Case {
    const char* name;
    json record;
    bool ok;
    int32_t game_type;
    std::optional<std::string> developer;
  };
  const Case cases[] = {
      {"whole", kRecord, true, 2, "Studio"},
      {"no developer", Without(kRecord, "developer"), true, 2, std::nullopt},
      {"fractional game_type", With(kRecord, "game_type", 3.9), true, 3, "Studio"},
      {"developer not a string", With(kRecord, "developer", 1), false, 0, std::nullopt},
      {"developer null", With(kRecord, "developer", nullptr), false, 0, std::nullopt},
      {"no icon", Without(kRecord, "icon"), false, 0, std::nullopt},
      {"no downloader_icon", Without(kRecord, "downloader_icon"), false, 0, std::nullopt},
      {"app_name a number", With(kRecord, "app_name", 5), false, 0, std::nullopt},
      {"no game_type", Without(kRecord, "game_type"), false, 0, std::nullopt},
      {"game_type a string", With(kRecord, "game_type", "2"), false, 0, std::nullopt},
      {"null", json(), false, 0, std::nullopt},
      {"array", json::array({kRecord}), false, 0, std::nullopt},
  };
  for (const auto& c : cases) {
    AppDetail detail;
    ASSERT_EQ(AppDetailFromJson(c.record, detail), c.ok) << c.name;
    if (!c.ok) continue;
    EXPECT_EQ(detail.pkg_name, "com.example.game") << c.name;
    EXPECT_EQ(detail.app_name, "Game") << c.name;
    EXPECT_EQ(detail.icon, "https://i/1.png") << c.name;
    EXPECT_EQ(detail.downloader_icon, "https://i/2.png") << c.name;
    EXPECT_EQ(detail.game_type, c.game_type) << c.name;
    EXPECT_EQ(detail.developer, c.developer) << c.name;
  }
}

TEST(AppDetailJson, WritesTheDeveloperOnlyWhenSet) {
  AppDetail detail;
  ASSERT_TRUE(AppDetailFromJson(kRecord, detail));
  EXPECT_EQ(AppDetailToJson(detail), kRecord);
  EXPECT_EQ(AppDetailToJson(detail).dump(),
            R"({"app_name":"Game","developer":"Studio","downloader_icon":"https://i/2.png","game_type":2,)"
            R"("icon":"https://i/1.png","pkg_name":"com.example.game"})");
  detail.developer.reset();
  EXPECT_EQ(AppDetailToJson(detail), Without(kRecord, "developer"));
}

TEST(AppDetailJson, RequestCarriesTheEnvironmentAndThePackage) {
  const json body = json::parse(BuildAppDetailRequest("com.example.game"));
  EXPECT_EQ(body["pkg_name"], "com.example.game");
  json env_info;
  EnvInfoToJson(env_info, GetEnvInfo());
  EXPECT_EQ(body["env_info"], env_info);
  EXPECT_EQ(body["env_info"].size(), 28u);
  EXPECT_EQ(body.size(), 2u);
}

class AppDetailTest : public testing::WebApiTest {
 protected:
  static config_table::ConfigTable Table() {
    return config_table::ConfigTable(
        base::PathManager::GetInstance().GetAppDataDir(base::AppDataDirKind::kDb) + L"\\Configs.db",
        VireonClient::VireonDeviceId());
  }
  static std::string RowKey(const std::string& pkg) { return "zephris." + pkg + ".fetcher.cache.app_detail"; }
  static size_t RequestCount(const std::string& pkg) {
    return Requests(std::string(net::kPathAppDetail), "\"" + pkg + "\"").size();
  }
  // A package name no other process asks for.
  static std::string Package(const std::string& what) { return Marker("com.quillorane.rig." + what); }
  // The stored copy an unusable answer falls back to.
  static json StoredRecord(const std::string& pkg) {
    return {{"pkg_name", pkg}, {"app_name", "Stored"}, {"icon", "i"}, {"downloader_icon", "d"}, {"game_type", 9}};
  }
};

// The service's record: "App <package>", game type 1, its test developer.
TEST_F(AppDetailTest, FreshDetailFillsBothCaches) {
  const std::string pkg = Package("fresh");
  const std::optional<AppDetail> detail = FetchAppDetail(pkg);
  ASSERT_TRUE(detail.has_value());
  EXPECT_EQ(detail->pkg_name, pkg);
  EXPECT_EQ(detail->app_name, "App " + pkg);
  EXPECT_EQ(detail->game_type, 1);
  EXPECT_EQ(detail->developer, "Quillorane Test Studio");
  EXPECT_NE(detail->icon.find(pkg + ".png"), std::string::npos);

  const json bodies = Requests(std::string(net::kPathAppDetail), pkg);
  ASSERT_EQ(bodies.size(), 1u);
  const json sent = json::parse(bodies[0].get<std::string>());
  EXPECT_EQ(sent["pkg_name"], pkg);
  EXPECT_EQ(sent["env_info"].size(), 28u);

  const auto row = Table().Get(RowKey(pkg));
  ASSERT_TRUE(row.has_value());
  EXPECT_EQ(row->value, AppDetailToJson(*detail).dump());
  EXPECT_EQ(row->encrypt, 0);
  EXPECT_EQ(row->json_data, "");

  // The second fetch is served from memory: no request, even with the
  // service failing for this package.
  SetMode("server_error", pkg);
  const std::optional<AppDetail> again = FetchAppDetail(pkg);
  SetMode("none", pkg);
  ASSERT_TRUE(again.has_value());
  EXPECT_EQ(AppDetailToJson(*again), AppDetailToJson(*detail));
  EXPECT_EQ(RequestCount(pkg), 1u);
}

// A failed request gives nothing, even with a copy in "Configs.db"; an
// answer without a usable record gives that copy (or nothing without one)
// and leaves the memory cache empty. A slow answer is a fresh one.
TEST_F(AppDetailTest, ServiceModesAndAnswers) {
  struct Case {
    const char* name;
    const char* mode;      // or nullptr
    std::string answer;    // scripted answer, or empty
    bool stored;           // "Configs.db" holds a copy
    const char* expected;  // "fresh", "stored" or "none"
  };
  const std::string other_apps = R"({"code":0,"msg":"SUCCESS","data":{"apps":{"com.other":{}}}})";
  const Case cases[] = {
      {"server_error", "server_error", "", true, "none"},
      {"redirect", "redirect", "", true, "none"},
      {"not_json stored", "not_json", "", true, "stored"},
      {"not_json", "not_json", "", false, "none"},
      {"error_code stored", "error_code", "", true, "stored"},
      {"error_code", "error_code", "", false, "none"},
      {"package missing stored", nullptr, other_apps, true, "stored"},
      {"package missing", nullptr, other_apps, false, "none"},
      {"apps is a string stored", nullptr, R"({"data":{"apps":"none"}})", true, "stored"},
      {"slow", "slow", "", true, "fresh"},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string pkg = Package("case" + std::to_string(n++));
    if (c.stored) {
      ASSERT_TRUE(Table().Set({RowKey(pkg), StoredRecord(pkg).dump(), 0, ""})) << c.name;
    }
    if (c.mode) SetMode(c.mode, pkg);
    if (!c.answer.empty()) SetAnswer(pkg, c.answer);
    const std::optional<AppDetail> detail = FetchAppDetail(pkg);
    SetMode("none", pkg);
    SetAnswer(pkg, "");

    const std::string expected = c.expected;
    ASSERT_EQ(detail.has_value(), expected != "none") << c.name;
    if (detail) {
      EXPECT_EQ(detail->app_name, expected == "fresh" ? "App " + pkg : "Stored") << c.name;
    }
    if (expected == "stored") {
      // Nothing went into the memory cache: the next fetch asks again.
      const size_t before = RequestCount(pkg);
      const std::optional<AppDetail> next = FetchAppDetail(pkg);
      ASSERT_TRUE(next.has_value()) << c.name;
      EXPECT_EQ(next->app_name, "App " + pkg) << c.name;
      EXPECT_EQ(RequestCount(pkg), before + 1) << c.name;
      // ... and that fresh answer replaced the stored copy.
      EXPECT_EQ(Table().Get(RowKey(pkg))->value, AppDetailToJson(*next).dump()) << c.name;
    }
  }
}

TEST_F(AppDetailTest, StoredCopyThatDoesNotParseGivesNothing) {
  const std::string pkg = Package("badrow");
  ASSERT_TRUE(Table().Set({RowKey(pkg), R"({"pkg_name":1})", 0, ""}));
  SetMode("not_json", pkg);
  EXPECT_FALSE(FetchAppDetail(pkg).has_value());
  SetMode("none", pkg);
}

TEST_F(AppDetailTest, RecordWithoutDeveloperIsStoredWithoutIt) {
  const std::string pkg = Package("nodev");
  const json record = Without(With(kRecord, "pkg_name", pkg), "developer");
  SetAnswer(pkg, json{{"code", 0}, {"data", {{"apps", {{pkg, record}}}}}}.dump());
  const std::optional<AppDetail> detail = FetchAppDetail(pkg);
  SetAnswer(pkg, "");
  ASSERT_TRUE(detail.has_value());
  EXPECT_FALSE(detail->developer.has_value());
  const json stored = json::parse(Table().Get(RowKey(pkg))->value);
  EXPECT_FALSE(stored.contains("developer"));
  EXPECT_EQ(stored, record);
}

// Threads fetching the same new package all get its detail.
TEST_F(AppDetailTest, ConcurrentFetchesOfOnePackage) {
  const std::string pkg = Package("threads");
  std::vector<std::optional<AppDetail>> results(6);
  std::vector<std::thread> threads;
  for (auto& result : results) threads.emplace_back([&result, &pkg] { result = FetchAppDetail(pkg); });
  for (auto& t : threads) t.join();
  for (const auto& result : results) {
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->app_name, "App " + pkg);
  }
  const size_t asked = RequestCount(pkg);
  EXPECT_GE(asked, 1u);
  EXPECT_LE(asked, results.size());
  EXPECT_TRUE(FetchAppDetail(pkg).has_value());
  EXPECT_EQ(RequestCount(pkg), asked);
}

TEST_F(AppDetailTest, PackageNameThatIsNotUtf8GivesNothing) {
  EXPECT_FALSE(FetchAppDetail("com.example.\xff").has_value());
}

}  // namespace
}  // namespace data
