// App-install notices: their JSON form, the mapping of their states for the
// install-state database and what is stored there (in a product of the
// case's own), and their delivery to the app store's SDK process, for which
// two rig peers stand: one listening in the Global namespace, one in Local.
#include "src/zephris_install/src/impl/install_impl/app_install_notice.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <SQLiteCpp/SQLiteCpp.h>
#include <gtest/gtest.h>

#include "base/install_state_store.h"
#include "base/tests/settings_test_util.h"
#include "ipc/ipc_packet.h"
#include "src/zephris_install/src/tool/tests/log_capture.h"
#include "testing/ipc/child_process.h"

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

// The state stored for a package, or nothing.
std::optional<json> StoredState(const std::string& package) {
  const base::SqliteHandle db = base::OpenInstallStateDb();
  if (!db) return std::nullopt;
  SQLite::Statement query(*db, "SELECT install_state FROM install_states WHERE package_name = ?");
  query.bind(1, package);
  if (!query.executeStep()) return std::nullopt;
  return json::parse(query.getColumn(0).getString());
}

TEST(AppInstallNoticeJson, EngineNoticeCarriesItsFixedFields) {
  AppInstallNotice notice;
  notice.pkgname = "com.example.game";
  notice.status = "active";
  notice.percent = "0.500000";
  notice.completed_length = "5";
  notice.total_length = "10";
  notice.installing_market = true;
  notice.notify_source = 2;
  notice.source = "abc";
  notice.recommend_id = "rid";
  EXPECT_EQ(AppInstallNoticeToJson(notice),
            json({{"pkgname", "com.example.game"}, {"actualPkgname", ""}, {"percent", "0.500000"},
                  {"status", "active"}, {"completedLength", "5"}, {"totalLength", "10"}, {"downloadSpeed", ""},
                  {"engineProgress", false}, {"gameType", 0}, {"installing_market", true}, {"source", "abc"},
                  {"notify_source", 2}, {"recommend_id", "rid"}}));
}

TEST(AppInstallNoticeJson, OptionalRecordsOnlyWhenSet) {
  AppInstallNotice notice;
  notice.game_type.reset();
  notice.installing_market.reset();
  EXPECT_EQ(AppInstallNoticeToJson(notice).size(), 8u);
  notice.engine_name = "e";
  notice.last_modify_utc_ms = 18446744073709551615ull;
  notice.code = -3;
  notice.first_launch = false;
  notice.progress_info = ProgressInfo{0.25f, 1, 4, 7};
  notice.applet_report_info = AppletReportInfo{};
  notice.applet_report_info->is_zvgamead = 1;
  notice.applet_report_info->appname = "n";
  const json written = AppInstallNoticeToJson(notice);
  EXPECT_EQ(written.size(), 14u);
  EXPECT_EQ(written["last_modify_utc_ms"].get<uint64_t>(), 18446744073709551615ull);
  EXPECT_TRUE(written["last_modify_utc_ms"].is_number_unsigned());
  EXPECT_EQ(written["code"], -3);
  EXPECT_EQ(written["progress_info"],
            json({{"percent", 0.25}, {"completed_length", 1}, {"total_length", 4}, {"download_speed", 7}}));
  EXPECT_TRUE(written["progress_info"]["percent"].is_number_float());
  EXPECT_EQ(written["applet_report_info"], json({{"is_zvgamead", 1}, {"appname", "n"}}));
}

TEST(AppInstallNoticeStore, NormalizeTable) {
  struct Case {
    const char* status;
    const char* stored;  // null: not stored
  };
  const Case cases[] = {
      {"Installed", "Installed"},     {"paused", "paused"},         {"NeedUpdate", "Installed"},
      {"BeginLaunch", "Installed"},   {"CompleteLaunch", "Installed"}, {"LaunchError", "Installed"},
      {"BeginInstall", "paused"},     {"InstallError", "paused"},   {"Installing", "paused"},
      {"BeginUninstall", "paused"},   {"UnInstalling", "paused"},   {"UnInstallError", "paused"},
      {"active", "paused"},           {"error", "paused"},          {"complete", "paused"},
      {"INIT", nullptr},              {"EndUninstall", nullptr},    {"waiting", nullptr},
      {"removed", nullptr},           {"installed", nullptr},       {"Active", nullptr},
      {"", nullptr},                  {"paused ", nullptr},
  };
  for (const Case& c : cases) {
    AppInstallNotice notice;
    notice.pkgname = "p";
    notice.status = c.status;
    notice.percent = "0.100000";
    const std::optional<AppInstallNotice> stored = NormalizeNoticeForStore(notice);
    ASSERT_EQ(stored.has_value(), c.stored != nullptr) << c.status;
    if (!stored) continue;
    EXPECT_EQ(stored->status, c.stored) << c.status;
    // Only the status may change.
    AppInstallNotice expected = notice;
    expected.status = c.stored;
    EXPECT_EQ(AppInstallNoticeToJson(*stored), AppInstallNoticeToJson(expected)) << c.status;
  }
}

// The database keeps the last stored state of each package; states that are
// not kept leave it as it was.
TEST(AppInstallNoticeStore, StoredStateFollowsTheNotices) {
  settings_test::ScopedTestProduct product;
  const std::string app = "com.quillorane.notice." + std::to_string(GetCurrentProcessId());
  struct Step {
    const char* status;
    const char* stored;  // the state afterwards, or null for none yet
  };
  const Step steps[] = {
      {"INIT", nullptr}, {"active", "paused"},   {"removed", "paused"}, {"complete", "paused"},
      {"Installed", "Installed"}, {"waiting", "Installed"}, {"BeginInstall", "paused"},
  };
  for (const Step& step : steps) {
    SendAppInstallNotice(step.status, false, "sdk", app, "rid", 0, "", "");
    const std::optional<json> stored = StoredState(app);
    ASSERT_EQ(stored.has_value(), step.stored != nullptr) << step.status;
    if (stored) {
      EXPECT_EQ((*stored)["status"], step.stored) << step.status;
      EXPECT_EQ((*stored)["pkgname"], app);
      EXPECT_EQ((*stored)["source"], "sdk");
    }
  }
  // A download-only install is kept under the SDK product's package name.
  SendAppInstallNotice("complete", true, "abc" + std::to_string(GetCurrentProcessId()), app, "", 0, "", "");
  const std::optional<json> sdk = StoredState("com.pcvztsdk.install.abc" + std::to_string(GetCurrentProcessId()));
  ASSERT_TRUE(sdk.has_value());
  EXPECT_EQ((*sdk)["status"], "paused");
}

// Two peers of the app store's SDK process, one per namespace.
class AppInstallNoticeDeliveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (bool local : {false, true}) {
      Peer& peer = local ? local_ : global_;
      peer.out = temp_.path() / (local ? L"local.jsonl" : L"global.jsonl");
      const std::string ready = ipc_testing::UniqueName("notice-ready");
      const std::string quit = ipc_testing::UniqueName("notice-quit");
      peer.quit = std::make_unique<ipc_testing::NamedEvent>(quit);
      ipc_testing::NamedEvent ready_event(ready);
      std::vector<std::string> args = {"--type", std::to_string(kClientAppStoreSdk), "--msgs",
                                       std::to_string(kMsgAppInstallNotice), "--out", peer.out.string(),
                                       "--ready", ready, "--quit", quit};
      if (local) args.push_back("--local");
      ASSERT_TRUE(peer.process.Start(ipc_testing::ToWindowsPath(QL_RECORD_PEER_EXE), args));
      ASSERT_TRUE(ready_event.Wait(20000));
    }
  }
  void TearDown() override {
    for (Peer* peer : {&global_, &local_}) {
      if (peer->quit) peer->quit->Set();
      peer->process.Wait(10000);
    }
  }

  struct Peer {
    fs::path out;
    std::unique_ptr<ipc_testing::NamedEvent> quit;
    ipc_testing::ChildProcess process;
  };

  // The first notice of this process the peer received.
  static json Received(const Peer& peer) {
    const std::vector<json> packets = install_testing::WaitForOwnPackets(peer.out.wstring(), 1, 20000);
    return packets.empty() ? json() : packets.front();
  }

  settings_test::ScopedTestProduct product_;
  settings_test::ScopedTempDir temp_;
  Peer global_;
  Peer local_;
};

TEST_F(AppInstallNoticeDeliveryTest, ReachesTheSdkProcessInBothNamespacesAsBuilt) {
  SendAppInstallNotice("active", false, "abc", "com.example.game", "rid7", 0.5f, "5", "10");
  const json expected = {{"pkgname", "com.example.game"}, {"actualPkgname", ""}, {"percent", "0.500000"},
                         {"status", "active"}, {"completedLength", "5"}, {"totalLength", "10"},
                         {"downloadSpeed", ""}, {"engineProgress", false}, {"gameType", 0},
                         {"installing_market", true}, {"source", "abc"}, {"notify_source", 2},
                         {"recommend_id", "rid7"}};
  const json global = Received(global_);
  const json local = Received(local_);
  ASSERT_FALSE(global.is_null());
  ASSERT_FALSE(local.is_null());
  for (const json& packet : {global, local}) {
    EXPECT_EQ(packet["to"], kClientAppStoreSdk);
    EXPECT_EQ(packet["msg_id"], kMsgAppInstallNotice);
    // Sent as built: the stored copy says "paused", the packet "active".
    EXPECT_EQ(packet["data"], expected);
  }
  // Global first, then Local: the second packet was made after the first.
  EXPECT_LE(global["send_time_us"].get<uint64_t>(), local["send_time_us"].get<uint64_t>());
  EXPECT_NE(global["unique_id"], local["unique_id"]);
}

// A notice whose state is not kept is still sent; a fraction of 0 leaves the
// percent empty, and a download-only install names the SDK product.
TEST_F(AppInstallNoticeDeliveryTest, UnkeptStatesAreSentToo) {
  SendAppInstallNotice("INIT", true, "abc", "com.example.game", "", 0, "", "");
  for (const Peer* peer : {&global_, &local_}) {
    const json packet = Received(*peer);
    ASSERT_FALSE(packet.is_null());
    EXPECT_EQ(packet["data"]["status"], "INIT");
    EXPECT_EQ(packet["data"]["pkgname"], "com.pcvztsdk.install.abc");
    EXPECT_EQ(packet["data"]["percent"], "");
  }
}

}  // namespace
