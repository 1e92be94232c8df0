// The install-stage and window-card event builders, sent through the real
// telemetry client to the host build's collector and read back: event names,
// the builders' keys and the install context as the configuration holds it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/tests/settings_test_util.h"
#include "report/card_events.h"
#include "report/stage_events.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "testing/telemetry/collector_rig.h"
#include "testing/telemetry/store_file.h"
#include "vireon_sdk/src/report/vireon_client.h"

namespace {

using nlohmann::json;
using zephris_report::ReportParams;

class EventsTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    collector_ = new telemetry_rig::CollectorRig;
    ASSERT_TRUE(collector_->Start("ok"));
    db_ = new telemetry_rig::TempDir;
    vireon::VireonConfig config;
    config.app_key = key_ = "QLEV" + std::to_string(::GetCurrentProcessId());
    config.db_path = db_->utf8();
    VireonClient::InitSDK(config);
  }
  static void TearDownTestSuite() {
    delete collector_;
    delete db_;
  }

  void SetUp() override {
    ASSERT_TRUE(collector_->running());
    GlobalConfig& config = GlobalConfig::Instance();
    saved_ = {config.app_id, config.app_type, config.build_id, config.install_ui, config.install_result_code};
    config.app_id = "com.test.app";
    config.app_type = 3;
    config.build_id = 77;
    config.install_ui = 0;
    seen_ = collector_->Events().size();
  }
  void TearDown() override {
    GlobalConfig& config = GlobalConfig::Instance();
    config.app_id = saved_.app_id;
    config.app_type = saved_.app_type;
    config.build_id = saved_.build_id;
    config.install_ui = saved_.install_ui;
    config.install_result_code = saved_.result;
    config.duration_time = 0;
  }

  // The next `count` events of this process, in the order they were raised.
  std::vector<json> Next(size_t count) {
    std::vector<json> mine;
    telemetry_rig::WaitFor(
        [&] {
          mine.clear();
          const auto events = collector_->Events();
          for (size_t i = seen_; i < events.size(); ++i) {
            if (events[i].value("app_key", "") == key_) mine.push_back(events[i]);
          }
          return mine.size() >= count;
        },
        std::chrono::seconds(20));
    std::sort(mine.begin(), mine.end(), [](const json& a, const json& b) {
      return std::stoll(a["params"].value("seq", "0")) < std::stoll(b["params"].value("seq", "0"));
    });
    seen_ = collector_->Events().size();
    return mine;
  }

  static std::string Code(const json& event) { return event.value("event_code", ""); }
  static std::string Param(const json& event, const char* key) { return event["params"].value(key, "<absent>"); }

  struct Saved {
    std::optional<std::string> app_id;
    std::optional<int32_t> app_type;
    std::optional<uint64_t> build_id;
    int32_t install_ui;
    int32_t result;
  } saved_;
  size_t seen_ = 0;
  settings_test::ScopedTestProduct product_;
  static inline telemetry_rig::CollectorRig* collector_ = nullptr;
  static inline telemetry_rig::TempDir* db_ = nullptr;
  static inline std::string key_;
};

TEST(AddCommonReportParamsTest, AbsentRecordFieldsGiveEmptyTextsNotACrash) {
  settings_test::ScopedTestProduct product;
  GlobalConfig& config = GlobalConfig::Instance();
  const auto app_id = config.app_id;
  const auto app_type = config.app_type;
  const auto channel_id = config.channel_id;
  const auto build_id = config.build_id;
  const auto version = config.version;
  config.app_id.reset();
  config.app_type.reset();
  config.channel_id.reset();
  config.build_id.reset();
  config.version.reset();
  ReportParams params{{"appid", "stale"}};
  AddCommonReportParams(params);
  for (const char* key : {"appid", "apptype", "channel_id", "build_id", "installer_version", "from_source",
                          "sdk_product"}) {
    EXPECT_EQ(params.at(key), "") << key;
  }
  EXPECT_EQ(params.at("brand_code"), "0");
  EXPECT_EQ(params.at("new_install"), "1");
  EXPECT_EQ(params.size(), 10u);
  config.app_id = app_id;
  config.app_type = app_type;
  config.channel_id = channel_id;
  config.build_id = build_id;
  config.version = version;
}

TEST(AddCommonReportParamsTest, RecordFieldsAreWrittenAsUnsignedDecimals) {
  settings_test::ScopedTestProduct product;
  GlobalConfig& config = GlobalConfig::Instance();
  const auto saved_type = config.app_type;
  const auto saved_engine = config.engine_type;
  config.app_type = -1;
  config.engine_type = -2;
  ReportParams params;
  AddCommonReportParams(params);
  EXPECT_EQ(params.at("apptype"), "4294967295");
  EXPECT_EQ(params.at("engine_type"), "4294967294");
  config.app_type = saved_type;
  config.engine_type = saved_engine;
}

TEST_F(EventsTest, StageResultsGoToTheDownloadOrTheInstallEvent) {
  struct Case {
    int32_t status;
    bool cancel;
    const char* event;
    const char* result;
  } cases[] = {
      {2, false, "installer_download_complete", "-1"}, {3, false, "installer_download_complete", "-1"},
      {4, true, "installer_download_complete", "-2"},  {1, false, "installer_install_complete", "-1"},
      {5, false, "installer_install_complete", "-1"},  {8, true, "installer_install_complete", "-2"},
  };
  GlobalConfig::Instance().install_result_code = 7;
  for (const Case& c : cases) c.cancel ? ReportStageCancel(c.status) : ReportStageError(c.status);
  ReportDownloadComplete();
  ReportInstallComplete();
  const auto events = Next(std::size(cases) + 2);
  ASSERT_EQ(events.size(), std::size(cases) + 2);
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].status);
    EXPECT_EQ(Code(events[i]), cases[i].event);
    EXPECT_EQ(Param(events[i], "result"), cases[i].result);
    EXPECT_EQ(Param(events[i], "error_code"), "7");
    EXPECT_EQ(Param(events[i], "appid"), "com.test.app");
    EXPECT_EQ(Param(events[i], "apptype"), "3");
    EXPECT_EQ(Param(events[i], "build_id"), "77");
  }
  EXPECT_EQ(Code(events[6]), "installer_download_complete");
  EXPECT_EQ(Param(events[6], "result"), "0");
  EXPECT_EQ(Code(events[7]), "installer_install_complete");
  EXPECT_EQ(Param(events[7], "result"), "0");
}

TEST_F(EventsTest, InstallErrorCarriesTheConfigurationsFailureAndPage) {
  GlobalConfig& config = GlobalConfig::Instance();
  config.install_result_code = 101;
  config.duration_time = 123450000;  // 100 ns units
  ReportInstallError({});
  config.install_ui = 1;
  ReportInstallError({{"extra", "x"}});
  const auto events = Next(2);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(Code(events[0]), "dt_error");
  EXPECT_EQ(Param(events[0], "page_id"), "popup_install");
  EXPECT_EQ(Param(events[0], "card_id"), "installing_card");
  EXPECT_EQ(Param(events[0], "error_code"), "101");
  EXPECT_EQ(Param(events[0], "duration_time"), "12345");
  EXPECT_EQ(Param(events[0], "detail_code_3"), "0");
  EXPECT_EQ(Param(events[1], "page_id"), "popup_sdk_install");
  EXPECT_EQ(Param(events[1], "extra"), "x");
}

TEST_F(EventsTest, EngineFailureUpdateAndLaunchEvents) {
  ReportEngineInstallFailed("extract error");
  ReportInstallerUpdate(1, false);
  ReportLaunchStore(true, "Quillorane://open");
  const auto events = Next(3);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(Code(events[0]), "engine_install_failed");
  EXPECT_EQ(Param(events[0], "msg"), "extract error");
  EXPECT_EQ(Code(events[1]), "installer_update");
  EXPECT_EQ(Param(events[1], "update_step"), "1");
  EXPECT_EQ(Param(events[1], "result"), "0");
  EXPECT_EQ(Code(events[2]), "installer_launch_store");
  EXPECT_EQ(Param(events[2], "result"), "1");
  EXPECT_EQ(Param(events[2], "protocol"), "Quillorane://open");
  for (const json& event : events) EXPECT_EQ(Param(event, "brand_code"), "0");
}

// Each card reporter: its events in order, as (event, card, element).
TEST_F(EventsTest, CardReportersExposeTheirElementsInOrder) {
  struct Case {
    const char* name;
    std::function<void()> call;
    std::vector<std::string> elements;
  } cases[] = {
      {"start shown", [] { ReportInstallStartCardExposure(true, true); },
       {"close_btn", "mini_btn", "install_btn", "authorize_option", "terms_label", "expand_btn"}},
      {"custom hidden", [] { ReportCustomInstallCardExposure(false); },
       {"browse_btn", "start_menu_option", "desktop_link_option", "auto_start_option"}},
      {"installing hidden", [] { ReportInstallingCardExposure(false); },
       {"close_btn", "mini_btn", "feedback_icon", "feedback_label"}},
      {"complete shown", [] { ReportInstallCompleteCardExposure(true, false); },
       {"close_btn", "mini_btn", "complete_btn"}},
      {"feedback tip", [] { ReportDialogExposure(true, "install_feedback_tip_card", "installing_card"); },
       {"close_btn", "jointiko_btn", "forum_btn"}},
      {"quit box", [] { ReportDialogExposure(false, "quit_install_card", "installing_card"); },
       {"close_btn", "confirm_btn", "cancel_btn"}},
      {"end of unknown card", [] { ReportCardsExposureEnd({"no_such_card", false}); }, {}},
      {"end of complete card", [] { ReportCardsExposureEnd({"install_complete_card", true}); },
       {"close_btn", "mini_btn", "complete_btn"}},
  };
  GlobalConfig::Instance().install_result_code = 3;
  GlobalConfig::Instance().duration_time = 20000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.call();
    const auto events = Next(c.elements.size());
    std::vector<std::string> elements;
    for (const json& e : events) elements.push_back(Param(e, "element_id"));
    EXPECT_EQ(elements, c.elements);
    for (const json& e : events) {
      EXPECT_EQ(Param(e, "page_id"), "popup_install");
      const bool hidden = Code(e) == "dt_imp_end";
      const bool installing = Param(e, "card_id") == "installing_card";
      // Only hiding the installing card adds the failure and duration.
      EXPECT_EQ(e["params"].contains("duration_time"), hidden && installing);
      if (hidden && installing) EXPECT_EQ(Param(e, "duration_time"), "2");
      EXPECT_EQ(Param(e, "channel_id").empty(), false);
    }
  }
}

TEST_F(EventsTest, ClicksCarryTheirKeysAndTheQuitConfirmationItsDuration) {
  GlobalConfig::Instance().install_ui = 1;
  GlobalConfig::Instance().duration_time = 50000;
  ReportParams confirm;
  ReportDialogClick("quit_install_card", "installing_card", "confirm_btn", confirm);
  ReportParams cancel;
  ReportDialogClick("quit_install_card", "installing_card", "cancel_btn", cancel);
  ReportParams complete;
  ReportCardClickWithLegacy("install_complete_card", "complete_btn", true, complete);
  const auto events = Next(3);
  ASSERT_EQ(events.size(), 3u);
  for (const json& e : events) {
    EXPECT_EQ(Code(e), "dt_clck");
    EXPECT_EQ(Param(e, "page_id"), "popup_sdk_install");
  }
  EXPECT_EQ(Param(events[0], "duration_time"), "5");
  EXPECT_EQ(Param(events[0], "source_card_id"), "installing_card");
  EXPECT_FALSE(events[1]["params"].contains("duration_time"));
  EXPECT_EQ(Param(events[2], "legacy"), "1");
}

// Shutdown as the installer runs it: the reporter hands its queue to the
// client, the transport stops; an event a detached thread raises after that
// is kept in the store for the next process, not dropped.
TEST_F(EventsTest, EventsRaisedAfterShutdownAreKeptInTheStore) {
  vireon::VireonConfig config = VireonClient::config();
  zephris_report::Reporter& reporter = zephris_report::Reporter::Instance();
  reporter.Init(config, {}, {});
  reporter.Report("queued_at_start", {});
  reporter.Uninit();
  VireonClient::UninitSDK();
  reporter.Report("raised_after_shutdown", {});
  const auto events = Next(1);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(Code(events[0]), "queued_at_start");
  bool stored = false;
  for (const auto& row : telemetry_rig::ReadStore(telemetry_rig::StoreFile(db_->utf8(), key_))) {
    stored = stored || row.event_code == "raised_after_shutdown";
  }
  EXPECT_TRUE(stored);
}

}  // namespace
