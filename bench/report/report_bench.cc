// The installer's reporter, measured beside yardsticks timed the same way in
// the same run:
//   report_bench burst <events> <store folder>
//     events per second from the first Report until the store holds the
//     burst, through the Reporter just after its Init (the start-up queue,
//     then direct mode), beside the same events reported straight to the
//     client. Both with the installer's volatile getters; uploads are off,
//     so every event stays in the store. Prints "<events> <reporter s>
//     <straight s> <reporter hand-over s> <straight hand-over s>".
//   report_bench init
//     the main thread's time in InitReport, the time until the Reporter's
//     worker has made the setup and started the client, and the main
//     thread's time until it holds the device id (which start-up's
//     self-update check asks for next), beside the bare client start
//     (InitSDK with the same configuration), in a process of its own:
//     "init <ms> <ready ms> <device id ms>" or, with "client", "client <ms>".
//   report_bench breakdown
//     what the telemetry start-up costs, step by step in InitReport's order
//     (the two device ids apart from the rest of the common parameters), in
//     a process of its own: "<step> <ms>" lines.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include <SQLiteCpp/Database.h>

#include "base/path_manager.h"
#include "device_id/tuvo_guid.h"
#include "report/init_report.h"
#include "report/reporter.h"
#include "report/volatile_params.h"
#include "vireon_sdk/src/report/request_storage.h"
#include "vireon_sdk/src/report/vireon_client.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

long long Rows(const std::string& file) {
  try {
    SQLite::Database db(file, SQLite::OPEN_READONLY, 2000);
    return db.execAndGet("SELECT COUNT(*) FROM vireon_events").getInt64();
  } catch (const std::exception&) {
    return -1;
  }
}

// Waits until the store holds `rows`; false after two minutes.
bool WaitRows(const std::string& file, long long rows) {
  const auto until = Clock::now() + std::chrono::minutes(2);
  while (Clock::now() < until) {
    if (Rows(file) >= rows) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

zephris_report::ReportParams Event(int index) {
  return {{"index", std::to_string(index)}, {"appid", "bench"}, {"channel_id", "2000"}, {"build_id", "1"}};
}

int Burst(int events, const std::string& folder) {
  vireon::VireonConfig config;
  config.app_key = "QLRB" + std::to_string(::GetCurrentProcessId());
  config.upload_type = 0;  // never uploads: the store is the end of the road
  config.db_path = folder;
  zephris_report::VolatileParamGetters getters;
  param::InitVolatileParams(getters);
  const std::string store = vireon::GetStorageFilePath(folder, config.app_key);

  // Yardstick: straight to the client.
  VireonClient::InitSDK(config);
  VireonClient::set_common_param_getters(getters);
  const auto straight_start = Clock::now();
  for (int i = 0; i < events; ++i) VireonClient::Report("installer_download_start", Event(i), Vireon::kPriorityNormal);
  const auto straight_handed = Clock::now();
  if (!WaitRows(store, events)) return 1;
  const auto straight_end = Clock::now();

  // The Reporter, burst right after its Init as at start-up.
  zephris_report::ReportClient client = zephris_report::ReportClient::Vireon();
  client.init_sdk = [](const vireon::VireonConfig&) {};  // started above
  zephris_report::Reporter reporter(client);
  reporter.Init(config, {}, getters);
  const auto start = Clock::now();
  for (int i = 0; i < events; ++i) reporter.Report("installer_download_start", Event(i));
  const auto handed = Clock::now();
  if (!WaitRows(store, 2LL * events)) return 1;
  const auto end = Clock::now();
  reporter.Uninit();
  std::printf("%d %.6f %.6f %.6f %.6f\n", events, Seconds(end - start), Seconds(straight_end - straight_start),
              Seconds(handed - start), Seconds(straight_handed - straight_start));
  return 0;
}

int Init(bool bare_client) {
  base::PathManager::GetInstance().Init(L"Quillorane");
  const auto start = Clock::now();
  if (bare_client) {
    vireon::VireonConfig config;
    BuildVireonConfig(config);
    VireonClient::InitSDK(config);
  } else {
    InitReport();
  }
  const double ms = Seconds(Clock::now() - start) * 1000;
  // What start-up's self-update check asks for next, on the main thread.
  VireonClient::VireonDeviceId();
  const double id_ms = Seconds(Clock::now() - start) * 1000;
  // Returns once the worker has made the setup and started the client.
  zephris_report::Reporter::Instance().Uninit();
  const double ready_ms = Seconds(Clock::now() - start) * 1000;
  if (bare_client) {
    std::printf("client %.3f\n", ms);
  } else {
    std::printf("init %.3f %.3f %.3f\n", ms, ready_ms, id_ms);
  }
  std::fflush(stdout);
  VireonClient::UninitSDK();
  ::ExitProcess(0);  // the probe thread is detached and nothing waits for it
}

int Breakdown() {
  base::PathManager::GetInstance().Init(L"Quillorane");
  auto step = [](const char* name, auto&& body) {
    const auto start = Clock::now();
    body();
    std::printf("%s %.3f\n", name, Seconds(Clock::now() - start) * 1000);
  };
  vireon::VireonConfig config;
  zephris_report::ReportParams common;
  zephris_report::VolatileParamGetters getters;
  step("config", [&] { BuildVireonConfig(config); });
  step("tuvo_id", [] { base::GetTuvoDeviceId(); });
  step("vireon_id", [] { VireonClient::VireonDeviceId(); });
  step("common_rest", [&] { BuildCommonReportParams(common); });
  step("getters", [&] { param::InitVolatileParams(getters); });
  step("init_sdk", [&] { VireonClient::InitSDK(config); });
  step("reporter_init", [&] { zephris_report::Reporter::Instance().Init(config, common, getters); });
  std::fflush(stdout);
  zephris_report::Reporter::Instance().Uninit();
  VireonClient::UninitSDK();
  ::ExitProcess(0);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "burst" && argc == 4) return Burst(std::atoi(argv[2]), argv[3]);
  if (mode == "breakdown") return Breakdown();
  if (mode == "init") return Init(argc > 2 && std::string(argv[2]) == "client");
  std::fprintf(stderr, "usage: report_bench burst <events> <store folder> | init [client]\n");
  return 2;
}
