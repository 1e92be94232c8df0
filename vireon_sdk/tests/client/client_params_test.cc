// The client's interface in one process: what it stores, and the full
// parameter map of an event with its precedence rules, counters and ini
// files. The transport runs without a store and never uploads (upload kind
// 2), so nothing here touches the network.
#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "vireon_sdk/src/report/event_params.h"
#include "vireon_sdk/src/report/vireon_client.h"
#include "vireon_sdk/src/utils/file_util.h"

namespace {

using vireon::ReportParams;

std::string AppKey() { return "QLPARAMS" + std::to_string(::GetCurrentProcessId()); }

class ClientEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    vireon::VireonConfig config;
    config.app_key = AppKey();
    config.upload_type = 2;
    config.enable_storage = false;
    config.exit_wait_ms = 0;
    config.text_option1 = "one";
    VireonClient::InitSDK(config);
  }
  void TearDown() override {
    VireonClient::UninitSDK();
    ::DeleteFileW(vireon::LogIdIniPath().c_str());
    ::DeleteFileW(vireon::SeqTimeIniPath().c_str());
  }
};
const auto* const kClient = testing::AddGlobalTestEnvironment(new ClientEnvironment);

// PrepareParams is the client's own step; a test reaches it as a subclass would.
class Client : public VireonClient {
 public:
  using VireonClient::PrepareParams;
};

bool IsDeviceId(const std::string& text) { return std::regex_match(text, std::regex("[0-9a-f]{32}")); }

std::wstring ProfileValue(const std::wstring& file, const std::wstring& section, const wchar_t* key) {
  wchar_t value[260] = {};
  ::GetPrivateProfileStringW(section.c_str(), key, L"<none>", value, 259, file.c_str());
  return value;
}

TEST(ClientConfigTest, KeepsTheHostsConfiguration) {
  EXPECT_EQ(VireonClient::config().app_key, AppKey());
  EXPECT_EQ(VireonClient::config().text_option1, "one");
  EXPECT_FALSE(VireonClient::config().debug);
  // A second InitSDK copies the configuration again; the ini paths stay.
  const std::wstring ini = vireon::LogIdIniPath();
  vireon::VireonConfig again = VireonClient::config();
  again.text_option2 = "two";
  VireonClient::InitSDK(again);
  VireonClient::InitSDK(VireonClient::config());
  EXPECT_EQ(VireonClient::config().text_option2, "two");
  EXPECT_EQ(vireon::LogIdIniPath(), ini);
}

TEST(ClientConfigTest, IniFilesAreNamedAfterTheAppKey) {
  const std::wstring app_data = vireon::utils::GetAppDataDir();
  const std::string narrow = AppKey();
  const std::wstring key(narrow.begin(), narrow.end());
  EXPECT_EQ(vireon::LogIdIniPath(), app_data + L"\\Orvalis\\VireonConfig\\" + key + L".ini");
  EXPECT_EQ(vireon::SeqTimeIniPath(), app_data + L"\\Orvalis\\RuConfig\\" + key + L".ini");
  EXPECT_NE(::GetFileAttributesW((app_data + L"\\Orvalis\\VireonConfig").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(CommonParamsTest, MergesAndAddsTheDeviceIdUnlessGiven) {
  VireonClient::set_common_params({{"first", "1"}, {"bad", "x\xFF"}});
  EXPECT_EQ(VireonClient::common_params().at("A3"), VireonClient::VireonDeviceId());
  EXPECT_NE(VireonClient::common_params().at("bad"), "x\xFF");
  VireonClient::set_common_params({{"second", "2"}, {"A3", "given"}});
  const ReportParams& common = VireonClient::common_params();
  EXPECT_EQ(common.at("first"), "1");
  EXPECT_EQ(common.at("second"), "2");
  EXPECT_EQ(common.at("A3"), "given");
  // Every event still carries the device identifier.
  const ReportParams full = Client::PrepareParams("e", {}, 1);
  EXPECT_EQ(full.at("A3"), VireonClient::VireonDeviceId());
}

TEST(CommonParamsTest, GettersAreReplacedByACopy) {
  vireon::VolatileParamGetters getters{{"g1", [] { return std::string("v1"); }}};
  VireonClient::set_common_param_getters(getters);
  getters["g2"] = [] { return std::string("v2"); };
  EXPECT_EQ(VireonClient::common_param_getters().size(), 1u);
  EXPECT_EQ(Client::PrepareParams("e", {}, 1).count("g2"), 0u);
  VireonClient::set_common_param_getters({});
  EXPECT_TRUE(VireonClient::common_param_getters().empty());
  EXPECT_EQ(Client::PrepareParams("e", {}, 1).count("g1"), 0u);
}

TEST(PrepareParamsTest, TheClientsKeysAndThePrecedenceOfEachSource) {
  VireonClient::set_common_params({{"shared", "common"}, {"platform", "common"}});
  VireonClient::set_common_param_getters({
      {"platform", [] { return std::string("getter"); }},
      {"volatile", [] { return std::string("bad\xFF"); }},
  });
  const ReportParams full = Client::PrepareParams(
      "installer_download_start",
      {{"seq", "caller"}, {"shared", "caller"}, {"mine", "v"}, {"event_code", "caller"}, {"odd", "\xC3"}},
      1700000000123);
  VireonClient::set_common_param_getters({});

  EXPECT_EQ(full.at("mine"), "v");
  EXPECT_EQ(full.at("shared"), "common");        // common over caller
  EXPECT_EQ(full.at("event_code"), "installer_download_start");  // the client's over everything given
  EXPECT_TRUE(std::regex_match(full.at("seq"), std::regex("[0-9]+")));
  EXPECT_EQ(full.at("platform"), "getter");      // a getter over the client's own key
  EXPECT_EQ(full.at("volatile"), vireon::CheckUtf8("bad\xFF"));
  EXPECT_EQ(full.at("odd"), vireon::CheckUtf8("\xC3"));
  EXPECT_EQ(full.at("event_time"), "1700000000123");
  EXPECT_EQ(full.at("A34"), "1700000000123");
  EXPECT_EQ(full.at("log_version"), "1.1.2.3");
  EXPECT_EQ(full.at("report_count"), "0");
  EXPECT_EQ(full.at("A99"), "Y");
  EXPECT_TRUE(IsDeviceId(full.at("A3"))) << full.at("A3");
  EXPECT_EQ(full.at("A50"), full.at("A3"));
  EXPECT_EQ(full.at("A67"), "vireon_client_params_test.exe");
  EXPECT_EQ(full.at("A88"), "0");
  EXPECT_TRUE(std::regex_match(full.at("log_id"), std::regex("[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}")));
}

TEST(PrepareParamsTest, LogIdsCountOnInTheIniFileAndTheSequenceInMemory) {
  const ReportParams first = Client::PrepareParams("e", {}, 1);
  const ReportParams second = Client::PrepareParams("e", {}, 2);
  EXPECT_EQ(std::stoll(second.at("A100")), std::stoll(first.at("A100")) + 1);
  EXPECT_EQ(std::stoll(second.at("seq")), std::stoll(first.at("seq")) + 1);
  EXPECT_NE(first.at("log_id"), second.at("log_id"));
  const std::wstring stored = ProfileValue(vireon::LogIdIniPath(), L"vireon_client_params_test.exe", L"logid");
  EXPECT_EQ(stored, std::wstring(second.at("A100").begin(), second.at("A100").end()));
  // Reading the sibling's time stamp never creates its file.
  EXPECT_EQ(::GetFileAttributesW(vireon::SeqTimeIniPath().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(PrepareParamsTest, ConcurrentEventsGetDistinctSequenceNumbersAndLogIds) {
  std::vector<ReportParams> got(40);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 10; ++i) got[t * 10 + i] = Client::PrepareParams("e", {}, 1);
    });
  }
  for (auto& thread : threads) thread.join();
  std::set<std::string> seqs, log_ids, ids;
  for (const auto& params : got) {
    seqs.insert(params.at("seq"));
    log_ids.insert(params.at("A100"));
    ids.insert(params.at("log_id"));
  }
  EXPECT_EQ(seqs.size(), got.size());
  EXPECT_EQ(log_ids.size(), got.size());
  EXPECT_EQ(ids.size(), got.size());
}

TEST(DeviceIdTest, IsTheSameTextForEveryThread) {
  std::vector<std::string> got(8);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) threads.emplace_back([&, t] { got[t] = VireonClient::VireonDeviceId(); });
  for (auto& thread : threads) thread.join();
  for (const auto& id : got) EXPECT_EQ(id, got[0]);
  EXPECT_TRUE(IsDeviceId(got[0]));
  EXPECT_EQ(&VireonClient::VireonDeviceId(), &VireonClient::VireonDeviceId());
}

TEST(ReportTest, AGetterThatThrowsDropsTheEventWithoutReachingTheCaller) {
  VireonClient::set_common_param_getters({{"boom", []() -> std::string { throw std::runtime_error("getter"); }}});
  EXPECT_NO_THROW(VireonClient::Report("e", {}, Vireon::kPriorityNormal));
  VireonClient::set_common_param_getters({});
  EXPECT_NO_THROW(VireonClient::Report("e", {{"a", "b"}}, Vireon::kPriorityNormal));
}

}  // namespace
