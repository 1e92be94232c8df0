// The telemetry start-up as the installer's start-up runs it, with events
// raised the moment InitReport returns (the client is then still being
// started on the reporter's worker), sent through the real client to the host
// build's collector and read back there.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/path_manager.h"
#include "base/registry.h"
#include "base/tests/settings_test_util.h"
#include "base/text_conversion.h"
#include "report/init_report.h"
#include "report/reporter.h"
#include "report/stage_events.h"
#include "report/volatile_params.h"
#include "testing/telemetry/collector_rig.h"
#include "vireon_sdk/src/report/vireon_client.h"

namespace {

using nlohmann::json;

constexpr const char* kCommonKeys[] = {
    "architecture", "biz_id",        "cpu_core_number", "logic_cpu_core_number", "windows_manufacturer",
    "tuvo_guid",    "guid",          "locale",          "system_type",           "system_version",
    "physical_memory", "session_id", "install_source",  "cpu_vendor",            "cpu_model",
    "laptop",       "ac_status",     "power_strategy",  "opengl_demo_enable"};

// This process's events at the collector (the installer's app key and this
// start-up's session), in the order they were handed to the client.
std::vector<json> SessionEvents(telemetry_rig::CollectorRig& collector, const std::string& session) {
  std::vector<json> mine;
  for (const json& event : collector.Events()) {
    if (event.value("app_key", "") == kInstallerAppKey && event["params"].value("session_id", "") == session) {
      mine.push_back(event);
    }
  }
  std::sort(mine.begin(), mine.end(), [](const json& a, const json& b) {
    return std::stoll(a["params"].value("seq", "0")) < std::stoll(b["params"].value("seq", "0"));
  });
  return mine;
}

std::vector<json> WaitForSession(telemetry_rig::CollectorRig& collector, const std::string& session, size_t count) {
  std::vector<json> events;
  telemetry_rig::WaitFor(
      [&] {
        events = SessionEvents(collector, session);
        return events.size() >= count;
      },
      std::chrono::seconds(30));
  return events;
}

TEST(InitReportTest, EventsRaisedRightAfterItArriveCompleteInOrderWithTheCommonParameters) {
  telemetry_rig::CollectorRig collector;
  ASSERT_TRUE(collector.Start("ok")) << "the collector did not start on port 8081: " << collector.Log();
  settings_test::ScopedTestProduct product;
  zephris_report::Reporter& reporter = zephris_report::Reporter::Instance();

  InitReport();
  // What start-up raises first (the self-update check), then a run of
  // events, all before the client can have been started.
  ReportInstallerUpdate(0, true);
  ReportInstallerUpdate(1, false);
  constexpr int kQueued = 20;
  for (int i = 0; i < kQueued; ++i) reporter.Report("init_report_queued", {{"index", std::to_string(i)}});

  ASSERT_TRUE(telemetry_rig::WaitFor([&] { return reporter.direct(); }, std::chrono::seconds(30)));
  // The worker has started the client and delivered: what it was started with.
  const zephris_report::ReportParams common = VireonClient::common_params();
  for (const char* key : kCommonKeys) ASSERT_TRUE(common.count(key)) << key;
  const std::string session = common.at("session_id");

  std::vector<json> events = WaitForSession(collector, session, kQueued + 2);
  ASSERT_EQ(events.size(), static_cast<size_t>(kQueued + 2)) << collector.Log();
  // Events raised after the switch go to the client on this thread.
  constexpr int kDirect = 3;
  for (int i = 0; i < kDirect; ++i) reporter.Report("init_report_direct", {{"index", std::to_string(i)}});
  events = WaitForSession(collector, session, kQueued + 2 + kDirect);
  ASSERT_EQ(events.size(), static_cast<size_t>(kQueued + 2 + kDirect)) << collector.Log();

  std::vector<std::string> expected_codes = {"installer_update", "installer_update"};
  for (int i = 0; i < kQueued; ++i) expected_codes.push_back("init_report_queued");
  for (int i = 0; i < kDirect; ++i) expected_codes.push_back("init_report_direct");
  std::vector<std::string> codes;
  for (const json& event : events) codes.push_back(event.value("event_code", ""));
  EXPECT_EQ(codes, expected_codes);
  EXPECT_EQ(events[0]["params"].value("update_step", ""), "0");
  EXPECT_EQ(events[0]["params"].value("result", ""), "1");
  EXPECT_EQ(events[1]["params"].value("update_step", ""), "1");
  EXPECT_EQ(events[1]["params"].value("result", ""), "0");

  zephris_report::VolatileParamGetters getters;
  param::InitVolatileParams(getters);
  const std::string device_id = base::WideToUtf8(
      base::ReadRegString(HKEY_LOCAL_MACHINE, base::PathManager::GetInstance().GetEnvKey(), L"svid", L""));
  const long long first_seq = std::stoll(events[0]["params"].value("seq", "-1"));
  for (size_t i = 0; i < events.size(); ++i) {
    const json& params = events[i]["params"];
    SCOPED_TRACE(testing::Message() << "event " << i << " " << events[i].value("event_code", ""));
    // Handed to the client one after the other, none lost or doubled.
    EXPECT_EQ(std::stoll(params.value("seq", "-1")), first_seq + static_cast<long long>(i));
    if (i >= 2) {
      const size_t index = i < kQueued + 2 ? i - 2 : i - 2 - kQueued;
      EXPECT_EQ(params.value("index", ""), std::to_string(index));
    }
    for (const char* key : kCommonKeys) EXPECT_EQ(params.value(key, "<absent>"), common.at(key)) << key;
    for (const auto& [key, getter] : getters) EXPECT_TRUE(params.contains(key)) << key;
    EXPECT_EQ(params.value("biz_id", ""), "Quillorane");
    EXPECT_EQ(params.value("guid", ""), device_id);
    EXPECT_EQ(params.value("A3", ""), device_id);
  }

  reporter.Uninit();
  VireonClient::UninitSDK();
}

}  // namespace
