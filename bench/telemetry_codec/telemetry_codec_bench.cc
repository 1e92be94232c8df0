// Throughput of the telemetry wire format: the tagged codec alone (encode and
// decode of one typical event's request package), then the whole packing with
// gzip and AES, and the collector's unpacking with RSA.
//   telemetry_codec_bench [seconds per figure, default 1]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "vireon_sdk/keys/collector_private_key.h"
#include "vireon_sdk/src/report/package_records.h"
#include "vireon_sdk/src/report/request_packing.h"
#include "vireon_sdk/src/report/request_unpacking.h"

namespace {

using Clock = std::chrono::steady_clock;
using vireon::ReportParams;

// About what the installer sends: its common and volatile parameters.
ReportParams TypicalEvent() {
  ReportParams params;
  for (int i = 0; i < 48; ++i) {
    params[std::to_string(i).insert(0, 1, 'A')] = std::string(8 + i % 24, static_cast<char>('a' + i % 26));
  }
  params["event_time"] = "1700000000123";
  params["log_id"] = "5A0C63C1-8E3B-4C66-9F0A-1B2C3D4E5F60";
  params["A3"] = "0f1e2d3c4b5a69788796a5b4c3d2e1f0";
  params["url"] = "https://example.invalid/path?a=1&b=2|c+d";
  return params;
}

template <typename Step>
void Measure(const char* name, double seconds, size_t bytes_per_call, Step&& step) {
  long calls = 0;
  const auto start = Clock::now();
  const auto until = start + std::chrono::duration<double>(seconds);
  while (Clock::now() < until) {
    for (int i = 0; i < 64; ++i) {
      if (!step()) {
        std::fprintf(stderr, "%s: a step failed\n", name);
        std::exit(1);
      }
    }
    calls += 64;
  }
  const double took = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("%-24s %9.1f MB/s %10.0f packages/s (%zu bytes each)\n", name,
              static_cast<double>(bytes_per_call) * calls / took / 1e6, calls / took, bytes_per_call);
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 1.0;
  const ReportParams params = TypicalEvent();
  const std::string app_key = "QLBENCHAPPKEY001";

  const auto package = vireon::FillEventRecord("installer_download_start", params, app_key);
  const auto encoded = vireon::SerializeRequestPackage(*package);
  if (!package || !encoded) return 1;
  const std::string wire(encoded->view());

  Measure("codec encode", seconds, wire.size(), [&] {
    const auto p = vireon::FillEventRecord("installer_download_start", params, app_key);
    return p && vireon::SerializeRequestPackage(*p).has_value();
  });
  Measure("codec decode", seconds, wire.size(), [&] {
    vireon::TagStream in;
    vireon::RequestPackage request;
    if (in.SetContent(wire) != vireon::kTagOk || request.Read(in) != vireon::kTagOk) return false;
    vireon::TagStream element;
    vireon::EventRecord event;
    if (element.SetContent(request.events.element(0)) != vireon::kTagOk) return false;
    if (element.ReadStruct(&event) != vireon::kTagOk) return false;
    vireon::TextPairs pairs;
    return vireon::DecodeStringMap(event.params, &pairs) == vireon::kTagOk && pairs.size() == params.size();
  });

  std::string frame;
  if (!vireon::PackRequest("installer_download_start", params, app_key, &frame)) return 1;
  Measure("pack (gzip, AES, frame)", seconds, frame.size(), [&] {
    std::string out;
    return vireon::PackRequest("installer_download_start", params, app_key, &out);
  });
  Measure("collector unpack (RSA)", seconds, frame.size(), [&] {
    vireon::UnpackedRequest request;
    std::string error;
    return vireon::UnpackRequestFrame(frame, vireon::kCollectorPrivateKeyPem, &request, &error);
  });
  return 0;
}
