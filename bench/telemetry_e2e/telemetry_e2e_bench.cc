// Events per second through the telemetry client to a collector listening on
// the client's port: reports a burst of events, then waits until the store
// has none left (each row goes once its delivery is confirmed).
//   telemetry_e2e_bench <events> <store folder>
// Prints: "<events> <seconds to hand over> <seconds to deliver> <socket threads>"
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include <SQLiteCpp/Database.h>

#include "vireon_sdk/src/report/request_storage.h"
#include "vireon_sdk/src/report/transport_mgr.h"
#include "vireon_sdk/src/report/vireon_client.h"

namespace {

using Clock = std::chrono::steady_clock;

// Rows still in the store; -1 while it cannot be read.
long long RowsLeft(const std::string& file) {
  try {
    SQLite::Database db(file, SQLite::OPEN_READONLY, 2000);
    return db.execAndGet("SELECT COUNT(*) FROM vireon_events").getInt64();
  } catch (const std::exception&) {
    return -1;
  }
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: telemetry_e2e_bench <events> <store folder>\n");
    return 2;
  }
  const int events = std::atoi(argv[1]);
  vireon::VireonConfig config;
  config.app_key = "QLBENCHE2E" + std::to_string(::GetCurrentProcessId());
  config.db_path = argv[2];
  config.exit_wait_ms = 1000;
  VireonClient::InitSDK(config);
  VireonClient::set_common_params({{"channel", "2000"}, {"version", "1.0.0.0"}});
  const std::string store = vireon::GetStorageFilePath(config.db_path, config.app_key);

  const auto start = Clock::now();
  for (int i = 0; i < events; ++i) {
    VireonClient::Report("installer_download_start", {{"index", std::to_string(i)}, {"component", "client"}},
                         Vireon::kPriorityNormal);
  }
  const auto handed_over = Clock::now();
  // The worker records the whole burst in its next cycle.
  while (RowsLeft(store) < events && Clock::now() - start < std::chrono::seconds(10)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  while (RowsLeft(store) != 0 && Clock::now() - start < std::chrono::minutes(5)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const auto delivered = Clock::now();
  const long long left = RowsLeft(store);
  vireon::TransportMgr::Instance().Stop();
  std::printf("%d %.6f %.3f %d\n", events, Seconds(handed_over - start), Seconds(delivered - start),
              vireon::socket_thread_count);
  if (left != 0) {
    std::fprintf(stderr, "telemetry_e2e_bench: %lld events not delivered\n", left);
    return 1;
  }
  return 0;
}
