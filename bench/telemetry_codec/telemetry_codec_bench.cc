// Throughput of the telemetry wire format: the tagged codec alone (encode and
// decode of one typical event's request package), then the whole packing with
// gzip and AES, and the collector's unpacking with RSA. Each figure comes with
// a yardstick measured in the same run by the same loop: the same event as
// JSON (nlohmann-json), zlib's gzip of the same bytes alone, and the RSA
// recovery of the session key alone.
//
// Every result is checked against what was encoded: the program exits with 1
// when any step fails or gives something else than it should.
//   telemetry_codec_bench [seconds per figure, default 1]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>

#include "vireon_sdk/keys/collector_private_key.h"
#include "vireon_sdk/src/report/package_records.h"
#include "vireon_sdk/src/report/request_packing.h"
#include "vireon_sdk/src/report/request_unpacking.h"
#include "vireon_sdk/src/report/session_key.h"
#include "vireon_sdk/src/utils/gzip.h"

namespace {

using Clock = std::chrono::steady_clock;
using vireon::ReportParams;
using vireon::TextPairs;

constexpr char kEventCode[] = "installer_download_start";
constexpr char kAppKey[] = "QLBENCHAPPKEY001";
constexpr int64_t kEventTime = 1700000000123;

// About what the installer sends: its common and volatile parameters.
ReportParams TypicalEvent() {
  ReportParams params;
  for (int i = 0; i < 48; ++i) {
    params[std::to_string(i).insert(0, 1, 'A')] = std::string(8 + i % 24, static_cast<char>('a' + i % 26));
  }
  params["event_time"] = std::to_string(kEventTime);
  params["log_id"] = "5A0C63C1-8E3B-4C66-9F0A-1B2C3D4E5F60";
  params["A3"] = "0f1e2d3c4b5a69788796a5b4c3d2e1f0";
  params["url"] = "https://example.invalid/path?a=1&b=2|c+d";
  return params;
}

[[noreturn]] void Wrong(const char* what) {
  std::fprintf(stderr, "telemetry_codec_bench: %s\n", what);
  std::exit(1);
}

// What the collector must read back: every key with its escaped value, in
// the map's order.
TextPairs ExpectedPairs(const ReportParams& params) {
  TextPairs pairs;
  for (const auto& [key, value] : params) pairs.emplace_back(key, vireon::EscapeParamValue(value));
  return pairs;
}

struct Rate {
  double bytes_per_second = 0;
  double calls_per_second = 0;
  size_t bytes_per_call = 0;
};

// Runs `step` in batches of 64 for about `seconds`; a step that returns false
// ends the program.
template <typename Step>
Rate Measure(const char* name, double seconds, size_t bytes_per_call, Step&& step) {
  long calls = 0;
  const auto start = Clock::now();
  const auto until = start + std::chrono::duration<double>(seconds);
  while (Clock::now() < until) {
    for (int i = 0; i < 64; ++i) {
      if (!step()) Wrong((std::string(name) + ": a step failed or gave a wrong result").c_str());
    }
    calls += 64;
  }
  const double took = std::chrono::duration<double>(Clock::now() - start).count();
  return {static_cast<double>(bytes_per_call) * calls / took, calls / took, bytes_per_call};
}

void Print(const char* name, const Rate& rate, const char* yardstick_name, const Rate& yardstick) {
  std::printf("%-24s %8.1f MB/s %9.0f /s (%5zu B)  | yardstick %-26s %8.1f MB/s %9.0f /s (%5zu B)  ratio %.2f\n",
              name, rate.bytes_per_second / 1e6, rate.calls_per_second, rate.bytes_per_call, yardstick_name,
              yardstick.bytes_per_second / 1e6, yardstick.calls_per_second, yardstick.bytes_per_call,
              rate.calls_per_second / yardstick.calls_per_second);
}

// The encoded request package read back; none when it does not decode.
struct Decoded {
  int32_t version = 0;
  std::string app_key, sdk_version, platform, event_code;
  int64_t event_time = 0;
  int32_t events = 0;
  TextPairs pairs;
};

std::optional<Decoded> Decode(std::string_view wire) {
  vireon::TagStream in;
  vireon::RequestPackage request;
  if (in.SetContent(wire) != vireon::kTagOk || request.Read(in) != vireon::kTagOk) return std::nullopt;
  vireon::TagStream element;
  vireon::EventRecord event;
  if (element.SetContent(request.events.element(0)) != vireon::kTagOk) return std::nullopt;
  if (element.ReadStruct(&event) != vireon::kTagOk) return std::nullopt;
  Decoded out;
  if (vireon::DecodeStringMap(event.params, &out.pairs) != vireon::kTagOk) return std::nullopt;
  out.version = request.version;
  out.app_key = request.app_key.view();
  out.sdk_version = request.sdk_version.view();
  out.platform = request.platform.view();
  out.events = request.events.count();
  out.event_code = event.event_code.view();
  out.event_time = event.event_time;
  return out;
}

bool DecodedRight(const Decoded& d, const TextPairs& expected) {
  return d.version == 2 && d.app_key == kAppKey && d.sdk_version == vireon::kSdkVersion &&
         d.platform == vireon::kSdkPlatform && d.events == 1 && d.event_code == kEventCode &&
         d.event_time == kEventTime && d.pairs == expected;
}

bool UnpackedRight(const vireon::UnpackedRequest& r, const TextPairs& expected) {
  return r.version == 2 && r.app_key == kAppKey && r.sdk_version == vireon::kSdkVersion &&
         r.platform == vireon::kSdkPlatform && r.key_text == vireon::GetDefaultSessionKey().key() &&
         r.events.size() == 1 && r.events[0].event_code == kEventCode && r.events[0].event_time == kEventTime &&
         r.events[0].params == expected;
}

// The yardstick's form of the same event.
nlohmann::json EventJson(const ReportParams& params) {
  nlohmann::json params_json = nlohmann::json::object();
  for (const auto& [key, value] : params) params_json[key] = vireon::EscapeParamValue(value);
  return {{"version", 2},         {"app_key", kAppKey},       {"sdk_version", vireon::kSdkVersion},
          {"platform", "win"},    {"event_code", kEventCode}, {"event_time", kEventTime},
          {"params", params_json}};
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 1.0;
  if (!(seconds > 0)) Wrong("the time per figure must be above 0");
  const ReportParams params = TypicalEvent();
  const TextPairs expected = ExpectedPairs(params);

  const auto package = vireon::FillEventRecord(kEventCode, params, kAppKey);
  if (!package) Wrong("the event record cannot be filled");
  const auto encoded = vireon::SerializeRequestPackage(*package);
  if (!encoded) Wrong("the request package cannot be serialized");
  const std::string wire(encoded->view());
  const auto first = Decode(wire);
  if (!first || !DecodedRight(*first, expected)) Wrong("the decoded package differs from the encoded one");

  const nlohmann::json event_json = EventJson(params);
  const std::string json_text = event_json.dump();
  if (nlohmann::json::parse(json_text) != event_json) Wrong("the JSON yardstick does not read back");

  std::string last_wire;
  const Rate encode = Measure("codec encode", seconds, wire.size(), [&] {
    const auto p = vireon::FillEventRecord(kEventCode, params, kAppKey);
    if (!p) return false;
    auto out = vireon::SerializeRequestPackage(*p);
    if (!out || out->length() != wire.size()) return false;
    last_wire.assign(out->view());
    return true;
  });
  if (last_wire != wire) Wrong("codec encode: the last package differs from the first");
  std::string last_json;
  const Rate json_encode = Measure("JSON encode", seconds, json_text.size(), [&] {
    nlohmann::json params_json = nlohmann::json::object();
    for (const auto& [key, value] : params) params_json[key] = vireon::EscapeParamValue(value);
    nlohmann::json event = {{"version", 2},         {"app_key", kAppKey},       {"sdk_version", vireon::kSdkVersion},
                            {"platform", "win"},    {"event_code", kEventCode}, {"event_time", kEventTime},
                            {"params", std::move(params_json)}};
    last_json = event.dump();
    return last_json.size() == json_text.size();
  });
  if (last_json != json_text) Wrong("JSON encode: the last text differs from the first");
  Print("codec encode", encode, "JSON encode (nlohmann)", json_encode);

  std::optional<Decoded> last_decoded;
  const Rate decode = Measure("codec decode", seconds, wire.size(), [&] {
    last_decoded = Decode(wire);
    return last_decoded && last_decoded->pairs.size() == expected.size();
  });
  if (!last_decoded || !DecodedRight(*last_decoded, expected)) Wrong("codec decode: the last package read wrong");
  nlohmann::json last_parsed;
  const Rate json_decode = Measure("JSON decode", seconds, json_text.size(), [&] {
    last_parsed = nlohmann::json::parse(json_text, nullptr, false);
    return !last_parsed.is_discarded() && last_parsed["params"].size() == expected.size();
  });
  if (last_parsed != event_json) Wrong("JSON decode: the last text read wrong");
  Print("codec decode", decode, "JSON decode (nlohmann)", json_decode);

  std::string frame;
  if (!vireon::PackRequest(kEventCode, params, kAppKey, &frame)) Wrong("the request cannot be packed");
  vireon::UnpackedRequest unpacked;
  std::string error;
  if (!vireon::UnpackRequestFrame(frame, vireon::kCollectorPrivateKeyPem, &unpacked, &error))
    Wrong(("the packed request does not unpack: " + error).c_str());
  if (!UnpackedRight(unpacked, expected)) Wrong("the unpacked request differs from the packed one");

  std::string last_frame;
  const Rate pack = Measure("pack", seconds, frame.size(), [&] {
    last_frame.clear();
    return vireon::PackRequest(kEventCode, params, kAppKey, &last_frame) && last_frame.size() == frame.size();
  });
  if (last_frame != frame) Wrong("pack: the last frame differs from the first");
  std::string gzipped;
  if (vireon::utils::GzipCompress(wire.data(), wire.size(), &gzipped) != 1) Wrong("gzip fails");
  const Rate gzip = Measure("gzip", seconds, wire.size(), [&] {
    std::string out;
    return vireon::utils::GzipCompress(wire.data(), wire.size(), &out) == 1 && out == gzipped;
  });
  Print("pack (gzip, AES, frame)", pack, "zlib gzip of the package", gzip);

  const Rate unpack = Measure("collector unpack", seconds, frame.size(), [&] {
    return vireon::UnpackRequestFrame(frame, vireon::kCollectorPrivateKeyPem, &unpacked, &error) &&
           unpacked.events.size() == 1;
  });
  if (!UnpackedRight(unpacked, expected)) Wrong("collector unpack: the last request read wrong");
  const std::string vir_key(vireon::GetDefaultSessionKey().encrypted());
  const Rate rsa = Measure("RSA key recovery", seconds, vir_key.size(), [&] {
    return vireon::RecoverSessionKey(vir_key, vireon::kCollectorPrivateKeyPem) == vireon::GetDefaultSessionKey().key();
  });
  Print("collector unpack (RSA)", unpack, "RSA recovery of vir_key", rsa);
  return 0;
}
