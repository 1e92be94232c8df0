// The silent front end's run with a fake engine: the wait for a final status,
// the stop hand-over from another thread, and the events of the product log.
#include "src/zephris_install/src/wrapper/install_wrapper/install_silent.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "base/product_log.h"
#include "testing/telemetry/collector_rig.h"
#include "vireon_sdk/src/report/vireon_client.h"
#include "base/text_conversion.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/tool/tests/shell_test_product.h"
#include "src/zephris_install/src/wrapper/install_wrapper/tests/fake_engine.h"

namespace {

namespace fs = std::filesystem;
using front_test::EngineProbe;
using front_test::FakeEngine;

constexpr wchar_t kLinkName[] = L"OrvalisQuillorane-畅玩手机游戏.lnk";

fs::path StartMenuLink() {
  wchar_t folder[MAX_PATH] = {};
  EXPECT_EQ(::SHGetFolderPathW(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, folder), S_OK);
  return fs::path(folder) / kLinkName;
}

// A product of its own (a fresh machine: no client installed), a log file of
// the case's own, and a configuration that asks only for the Start-menu link.
class InstallSilentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    const std::string name = std::string("install_silent_test_") + std::to_string(::GetCurrentProcessId()) + "_" +
                             testing::UnitTest::GetInstance()->current_test_info()->name();
    base::ProductLogger::GetInstance().Start(name, std::ios::out | std::ios::trunc);
    log_path_ = base::ProductLogger::GetInstance().path();
    std::error_code ignored;
    fs::remove(StartMenuLink(), ignored);
    GlobalConfig& config = GlobalConfig::Instance();
    config.install_result_code = 0;
    config.install_action = 0;
    config.pullup_type = 0;
    config.desktop_link_option_changed = false;
    config.create_desktop_link = 0;
    config.create_start_menu_link = 1;
    config.app_id = "app.one";
    config.sdk_product = "sdk.a";
    silent_->SetEngine(std::make_shared<FakeEngine>(silent_, probe_));
  }
  void TearDown() override {
    base::ProductLogger::GetInstance().Stop();
    std::error_code ignored;
    fs::remove(log_path_, ignored);
    fs::remove(StartMenuLink(), ignored);
    ::CoUninitialize();
  }

  // The events this process sent since the last call, in the order they were
  // raised, as "report <event> <parameters as JSON>", once the run's last
  // event (its completion or its failure) has reached the collector.
  std::vector<std::string> Reports() {
    std::vector<nlohmann::json> mine;
    telemetry_rig::WaitFor(
        [&] {
          mine.clear();
          const auto events = collector_->Events();
          for (size_t i = seen_; i < events.size(); ++i) {
            if (events[i].value("app_key", "") == app_key_) mine.push_back(events[i]);
          }
          for (const auto& event : mine) {
            const std::string code = event.value("event_code", "");
            if (code == "dt_error" || (code == "common_action" && event["params"].value("state", "") == "complete")) {
              return true;
            }
          }
          return false;
        },
        std::chrono::seconds(20));
    seen_ = collector_->Events().size();
    std::sort(mine.begin(), mine.end(), [](const nlohmann::json& a, const nlohmann::json& b) {
      return std::stoll(a["params"].value("seq", "0")) < std::stoll(b["params"].value("seq", "0"));
    });
    std::vector<std::string> reports;
    for (const auto& event : mine) {
      reports.push_back("report " + event.value("event_code", "") + " " + event["params"].dump());
    }
    return reports;
  }

  // The real telemetry client, sending to the host build's collector under
  // an app key of this process.
  static void SetUpTestSuite() {
    collector_ = new telemetry_rig::CollectorRig;
    ASSERT_TRUE(collector_->Start("ok"));
    db_ = new telemetry_rig::TempDir;
    vireon::VireonConfig config;
    config.app_key = app_key_ = "QLSILENT" + std::to_string(::GetCurrentProcessId());
    config.db_path = db_->utf8();
    VireonClient::InitSDK(config);
  }
  static void TearDownTestSuite() {
    delete collector_;
    delete db_;
  }

  static bool Has(const std::vector<std::string>& reports, const std::string& start) {
    for (const std::string& report : reports) {
      if (report.rfind(start, 0) == 0) return true;
    }
    return false;
  }

  shell_test::ScopedShellProduct product_;
  fs::path log_path_;
  std::shared_ptr<InstallSilent> silent_ = std::make_shared<InstallSilent>();
  std::shared_ptr<EngineProbe> probe_ = std::make_shared<EngineProbe>();
  size_t seen_ = 0;
  static inline telemetry_rig::CollectorRig* collector_ = nullptr;
  static inline telemetry_rig::TempDir* db_ = nullptr;
  static inline std::string app_key_;
};

TEST_F(InstallSilentTest, EndsWithTheEnginesFinalStatus) {
  struct Case {
    int32_t final_status;
    int32_t install_action;
    bool start_menu_link;
    bool complete_event, error_event;
  } cases[] = {
      {kStatusCompleted, 0, true, true, false},
      {kStatusFailed, 0, true, false, true},  // the shortcuts whatever the outcome
      {kStatusFailed, 1, false, false, true},  // but never after a download-only run
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "status " << c.final_status << " action " << c.install_action);
    auto silent = std::make_shared<InstallSilent>();
    auto probe = std::make_shared<EngineProbe>();
    silent->SetEngine(std::make_shared<FakeEngine>(silent, probe));
    GlobalConfig::Instance().install_action = c.install_action;
    std::error_code ignored;
    fs::remove(StartMenuLink(), ignored);
    base::ProductLogger::GetInstance().Stop();
    base::ProductLogger::GetInstance().Start("install_silent_test_" + std::to_string(::GetCurrentProcessId()) +
                                                 "_final_" + std::to_string(c.final_status) + "_" +
                                                 std::to_string(c.install_action),
                                             std::ios::out | std::ios::trunc);
    log_path_ = base::ProductLogger::GetInstance().path();

    std::thread finisher([&] {
      ASSERT_TRUE(probe->WaitRunning());
      probe->FinishWith(c.final_status);
    });
    silent->Exec();
    finisher.join();

    EXPECT_EQ(probe->runs, 1);
    EXPECT_TRUE(probe->run_returned);
    EXPECT_EQ(fs::exists(StartMenuLink()), c.start_menu_link);
    const std::vector<std::string> reports = Reports();
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.front().rfind("report common_action ", 0), 0u) << reports.front();
    EXPECT_NE(reports.front().find(R"("state":"start")"), std::string::npos) << reports.front();
    EXPECT_NE(reports.front().find(R"("appid":"app.one")"), std::string::npos) << reports.front();
    bool complete = false;
    for (const std::string& r : reports) complete |= r.find(R"("state":"complete")") != std::string::npos;
    EXPECT_EQ(complete, c.complete_event);
    EXPECT_EQ(Has(reports, "report dt_error "), c.error_event);
    fs::remove(log_path_, ignored);
  }
}

TEST_F(InstallSilentTest, AStopFromAnotherProcessEndsTheRunOnceTheEngineCancels) {
  std::thread stopper([&] {
    ASSERT_TRUE(probe_->WaitRunning());
    silent_->OnUserInstallCtrl({kCtrlStop, "app.one", "sdk.a"});
  });
  silent_->Exec();
  stopper.join();
  EXPECT_EQ(probe_->stops, 1);
  EXPECT_TRUE(probe_->run_returned);
  EXPECT_EQ(GlobalConfig::Instance().install_result_code, 0);
  EXPECT_TRUE(Has(Reports(), "report dt_error "));
}

TEST_F(InstallSilentTest, AnEngineSlowToStopEndsTheRunWith103OnceItCancels) {
  probe_->cancel_allowed = false;
  std::promise<void> stop_handed_over;
  std::thread stopper([&] {
    ASSERT_TRUE(probe_->WaitRunning());
    silent_->OnUserInstallCtrl({kCtrlStop, "app.one", "sdk.a"});
    stop_handed_over.set_value();
  });
  std::future<void> run = std::async(std::launch::async, [&] { silent_->Exec(); });
  stop_handed_over.get_future().wait();
  EXPECT_EQ(GlobalConfig::Instance().install_result_code, kResultTaskStillRunning);
  probe_->AllowCancel();
  run.get();
  stopper.join();
  EXPECT_TRUE(probe_->run_returned);
  EXPECT_EQ(GlobalConfig::Instance().install_result_code, kResultTaskStillRunning);
}

TEST_F(InstallSilentTest, AStopBeforeTheRunStartsNoTaskAndIsNoSuccess) {
  silent_->OnUserInstallCtrl({kCtrlStop, "app.one", "sdk.a"});
  silent_->Exec();
  EXPECT_EQ(probe_->runs, 0);
  EXPECT_EQ(GlobalConfig::Instance().install_result_code, kResultStoppedDuringDownload);
  EXPECT_FALSE(fs::exists(StartMenuLink()));
  EXPECT_TRUE(Has(Reports(), "report dt_error "));
}

}  // namespace
