// Events per second through the telemetry client to a collector listening on
// the client's port, each figure beside a yardstick timed the same way in the
// same run:
//   - hand-over: the burst of VireonClient::Report calls, beside packing the
//     same number of events of the same parameters with PackRequest alone
//     (Report prepares and packs each event, then queues it);
//   - delivery: from the first Report until the store has no row left (a row
//     goes once its delivery is confirmed), beside the same number of events
//     packed and uploaded straight with TcpUploader on as many threads as the
//     client has socket threads, until the last answer is read as accepted.
//   telemetry_e2e_bench <events> <store folder>
// Prints one line: "<events> <client app key> <yardstick app key> <hand-over s>
// <packing s> <delivery s> <direct s> <socket threads>". Exits with 1 when an
// event is not delivered or not accepted, so the caller's figures are never
// those of a broken run; the caller checks the collector's rows as well.
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <SQLiteCpp/Database.h>

#include "vireon_sdk/src/report/collector_endpoint.h"
#include "vireon_sdk/src/report/request_packing.h"
#include "vireon_sdk/src/report/request_storage.h"
#include "vireon_sdk/src/report/response_parsing.h"
#include "vireon_sdk/src/report/session_key.h"
#include "vireon_sdk/src/report/tcp_uploader.h"
#include "vireon_sdk/src/report/transport_mgr.h"
#include "vireon_sdk/src/report/vireon_client.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kEventCode[] = "installer_download_start";

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

// The parameters of event `index` as the bench reports it.
vireon::ReportParams EventParams(int index) { return {{"index", std::to_string(index)}, {"component", "client"}}; }

// The parameters Report sends for an event, so the yardsticks pack and send
// packages of the same size.
struct PreparedParams : VireonClient {
  static vireon::ReportParams Of(int index) {
    return PrepareParams(kEventCode, EventParams(index), 1700000000123);
  }
};

// Event `index` of the yardsticks: the prepared parameters with a log id of
// their own, so the collector keeps every one as a row.
vireon::ReportParams DirectParams(const vireon::ReportParams& prepared, int index, const std::string& tag) {
  vireon::ReportParams params = prepared;
  params["index"] = std::to_string(index);
  params["log_id"] = tag + "-" + std::to_string(index);
  return params;
}

// One event packed and uploaded straight to the collector; true when its
// answer reads as accepted.
bool SendDirect(const vireon::ReportParams& prepared, int index, const std::string& app_key) {
  std::string frame;
  if (!vireon::PackRequest(kEventCode, DirectParams(prepared, index, app_key), app_key, &frame)) return false;
  vireon::TcpUploader uploader;
  std::string answer;
  if (!uploader.Upload(vireon::kCollectorHost, vireon::kCollectorPort, frame, &answer)) return false;
  const auto package = vireon::ParseSocketResponsePackage(answer.data(), answer.size());
  const auto response = package ? vireon::ParseResponse(package->body) : nullptr;
  return response && response->result == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || std::atoi(argv[1]) <= 0) {
    std::fprintf(stderr, "usage: telemetry_e2e_bench <events> <store folder>\n");
    return 2;
  }
  const int events = std::atoi(argv[1]);
  WSADATA wsa;
  if (::WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
    std::fprintf(stderr, "telemetry_e2e_bench: WinSock does not start\n");
    return 1;
  }
  const std::string tag = std::to_string(::GetCurrentProcessId());
  vireon::VireonConfig config;
  config.app_key = "QLBENCHE2E" + tag;
  config.db_path = argv[2];
  config.exit_wait_ms = 1000;
  const std::string direct_key = "QLBENCHDIRECT" + tag;
  VireonClient::InitSDK(config);
  VireonClient::set_common_params({{"channel", "2000"}, {"version", "1.0.0.0"}});
  const std::string store = vireon::GetStorageFilePath(config.db_path, config.app_key);
  // Both sides use the process's session key; made here, before any clock runs.
  vireon::GetDefaultSessionKey();
  const vireon::ReportParams prepared = PreparedParams::Of(0);

  // Packing alone, the same number of events, timed like the hand-over.
  const auto pack_start = Clock::now();
  for (int i = 0; i < events; ++i) {
    std::string frame;
    if (!vireon::PackRequest(kEventCode, DirectParams(prepared, i, direct_key), config.app_key, &frame)) {
      std::fprintf(stderr, "telemetry_e2e_bench: event %d does not pack\n", i);
      return 1;
    }
  }
  const auto packed = Clock::now();

  const auto start = Clock::now();
  for (int i = 0; i < events; ++i) VireonClient::Report(kEventCode, EventParams(i), Vireon::kPriorityNormal);
  const auto handed_over = Clock::now();
  // Until the worker has recorded the burst the store is empty; rows go only
  // after their delivery, which takes at least one worker cycle.
  while (RowsLeft(store) <= 0 && Clock::now() - start < std::chrono::seconds(10)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  while (RowsLeft(store) != 0 && Clock::now() - start < std::chrono::minutes(5)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const auto delivered = Clock::now();
  const long long left = RowsLeft(store);
  if (left != 0) {
    std::fprintf(stderr, "telemetry_e2e_bench: %lld events not delivered by the client\n", left);
    return 1;
  }

  // Straight uploads on as many threads as the client's socket pool, while
  // the transport still runs, so they get the same time-outs as its uploads.
  std::atomic<int> next{0}, refused{0};
  const auto direct_start = Clock::now();
  std::vector<std::thread> threads;
  for (int t = 0; t < vireon::socket_thread_count; ++t) {
    threads.emplace_back([&] {
      for (int i = next++; i < events; i = next++) {
        if (!SendDirect(prepared, i, direct_key)) ++refused;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  const auto direct_done = Clock::now();
  vireon::TransportMgr::Instance().Stop();
  if (refused != 0) {
    std::fprintf(stderr, "telemetry_e2e_bench: %d direct uploads not accepted\n", refused.load());
    return 1;
  }

  std::printf("%d %s %s %.6f %.6f %.3f %.3f %d\n", events, config.app_key.c_str(), direct_key.c_str(),
              Seconds(handed_over - start), Seconds(packed - pack_start), Seconds(delivered - start),
              Seconds(direct_done - direct_start), vireon::socket_thread_count);
  ::WSACleanup();
  return 0;
}
