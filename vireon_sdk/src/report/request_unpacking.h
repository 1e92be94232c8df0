// The collector's side of a request: one received frame back to its events.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vireon {

// A request holds one event with a few dozen short parameters, a few
// kilobytes once decompressed; more than this is not a request.
inline constexpr size_t kMaxRequestPlainBytes = 1u << 20;

using TextPairs = std::vector<std::pair<std::string, std::string>>;

struct UnpackedEvent {
  std::string event_code;
  int64_t event_time = 0;
  TextPairs params;  // values as sent (escaped)
};

struct UnpackedRequest {
  std::string key_text;      // the session key the answer must use
  bool default_key = false;  // the client sent the built-in default key
  TextPairs headers;
  int32_t version = 0;
  std::string app_key;
  std::string sdk_version;
  std::string platform;
  std::vector<UnpackedEvent> events;
};

// Checks the frame (length field, CR LF trailer), recovers the session key
// from "vir_key" with the collector's private key, decrypts the body and
// decodes the request and its one event. False with a reason in `error` when
// any of it fails, when the plain request would exceed kMaxRequestPlainBytes,
// or when it does not hold exactly one event (the client sends one per
// request; more would let one frame fill the store); safe on any bytes.
bool UnpackRequestFrame(std::string_view frame, std::string_view private_key_pem, UnpackedRequest* out,
                        std::string* error);

}  // namespace vireon
