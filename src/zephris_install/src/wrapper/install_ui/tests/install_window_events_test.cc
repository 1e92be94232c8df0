// The main window's card events as the telemetry collector receives them,
// for one run through the cards with clicks.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "base/path_manager.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/wrapper/install_ui/tests/window_rig.h"
#include "src/zephris_install/src/wrapper/install_wrapper/tests/fake_engine.h"
#include "testing/telemetry/collector_rig.h"
#include "vireon_sdk/src/report/vireon_client.h"

namespace {

using nlohmann::json;

class InstallWindowEventsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    base::PathManager::GetInstance().Init(L"Quillorane");
    window_rig::UseFixtureSkin();
    collector_ = new telemetry_rig::CollectorRig;
    ASSERT_TRUE(collector_->Start("ok"));
    db_ = new telemetry_rig::TempDir;
    vireon::VireonConfig config;
    config.app_key = key_ = "QLWIN" + std::to_string(::GetCurrentProcessId());
    config.db_path = db_->utf8();
    VireonClient::InitSDK(config);
  }
  static void TearDownTestSuite() {
    delete collector_;
    delete db_;
  }

  // This process's events once `last` (event code, card, element) arrived,
  // in the order they were raised.
  std::vector<json> EventsUntil(const std::string& code, const std::string& card, const std::string& element) {
    std::vector<json> mine;
    telemetry_rig::WaitFor(
        [&] {
          mine.clear();
          for (const json& event : collector_->Events()) {
            if (event.value("app_key", "") == key_) mine.push_back(event);
          }
          return std::any_of(mine.begin(), mine.end(), [&](const json& e) { return Is(e, code, card, element); });
        },
        std::chrono::seconds(30));
    std::sort(mine.begin(), mine.end(), [](const json& a, const json& b) {
      return std::stoll(a["params"].value("seq", "0")) < std::stoll(b["params"].value("seq", "0"));
    });
    return mine;
  }
  static bool Is(const json& e, const std::string& code, const std::string& card, const std::string& element) {
    return e.value("event_code", "") == code && e["params"].value("card_id", "") == card &&
           e["params"].value("element_id", "") == element;
  }
  // Index of the first matching event, or -1.
  static long Find(const std::vector<json>& events, const std::string& code, const std::string& card,
                   const std::string& element) {
    for (size_t i = 0; i < events.size(); ++i) {
      if (Is(events[i], code, card, element)) return static_cast<long>(i);
    }
    return -1;
  }

  static inline telemetry_rig::CollectorRig* collector_ = nullptr;
  static inline telemetry_rig::TempDir* db_ = nullptr;
  static inline std::string key_;
};

TEST_F(InstallWindowEventsTest, ACardRunReportsEveryCardAndClick) {
  GlobalConfig& config = GlobalConfig::Instance();
  config.install_mode = 0;
  config.install_ui = 0;
  config.pullup_type = 0;
  config.display_name = "";
  config.app_id = "";
  config.source_trace = "";
  config.create_desktop_link = 0;
  config.create_start_menu_link = 0;
  config.auto_start_market = 1;
  config.carousel_images.clear();

  auto probe = std::make_shared<front_test::EngineProbe>();
  auto window = InstallUI::Make<window_rig::TestWindow>();
  window->SetEngine(std::make_shared<front_test::FakeEngine>(window, probe));
  window->SetBoxes(std::make_shared<window_rig::FakeBoxes>());
  window_rig::WindowRun run(window);
  ASSERT_TRUE(run.Start());
  ASSERT_TRUE(run.Click(L"authorize_option"));
  ASSERT_TRUE(run.Click(L"expand_btn"));
  ASSERT_TRUE(run.Click(L"start_menu_option"));
  ASSERT_TRUE(run.Click(L"install_btn"));
  ASSERT_TRUE(probe->WaitRunning());
  probe->FinishWith(8);
  ASSERT_TRUE(run.WaitExit());

  const std::vector<json> events = EventsUntil("dt_clck", "install_complete_card", "complete_btn");
  const long start_shown = Find(events, "dt_imp", "install_start_card", "install_btn");
  const long authorize = Find(events, "dt_clck", "install_start_card", "authorize_option");
  const long expand = Find(events, "dt_clck", "install_start_card", "expand_btn");
  const long custom_shown = Find(events, "dt_imp", "custom_install_card", "browse_btn");
  const long start_menu = Find(events, "dt_clck", "custom_install_card", "start_menu_option");
  const long install = Find(events, "dt_clck", "install_start_card", "install_btn");
  const long start_hidden = Find(events, "dt_imp_end", "install_start_card", "install_btn");
  const long installing_shown = Find(events, "dt_imp", "installing_card", "feedback_icon");
  const long installing_hidden = Find(events, "dt_imp_end", "installing_card", "feedback_icon");
  const long complete_shown = Find(events, "dt_imp", "install_complete_card", "complete_btn");
  const long complete = Find(events, "dt_clck", "install_complete_card", "complete_btn");
  for (long at : {start_shown, authorize, expand, custom_shown, start_menu, install, start_hidden, installing_shown,
                  installing_hidden, complete_shown, complete}) {
    ASSERT_GE(at, 0) << events.size() << " events";
  }
  EXPECT_LT(start_shown, authorize);
  EXPECT_LT(authorize, expand);
  EXPECT_LT(expand, custom_shown);
  EXPECT_LT(start_menu, install);
  EXPECT_LT(start_hidden, installing_shown);
  EXPECT_LT(installing_hidden, complete_shown);
  EXPECT_LT(complete_shown, complete);
  EXPECT_EQ(events[authorize]["params"].value("setup", ""), "enable");
  EXPECT_EQ(events[start_menu]["params"].value("setup", ""), "enable");
  EXPECT_EQ(events[install]["params"].value("setup_create_start_menu_link", ""), "enable");
  EXPECT_EQ(events[install]["params"].value("setup_create_desktop_link", ""), "disable");
  EXPECT_EQ(events[install]["params"].value("setup_auto_start_market", ""), "enable");
  EXPECT_EQ(events[complete]["params"].value("legacy", ""), "1");
}

}  // namespace
