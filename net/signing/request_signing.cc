#include "net/signing/request_signing.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "base/md5.h"

namespace net {
namespace {

bool IsLowerHex(std::string_view text, size_t length) {
  return text.size() == length && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

bool IsDecimal(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string BareName(std::string_view name) {
  // "Ual-Access-Nonce: " -> "Ual-Access-Nonce"
  return std::string(name.substr(0, name.size() - 2));
}

}  // namespace

std::string WebApiSigningKey() {
  // Four pieces, joined in an order that differs from their declaration.
  static constexpr char kA[] = "5c1e9a07";
  static constexpr char kB[] = "d3f48b26";
  static constexpr char kC[] = "a9047ce1";
  static constexpr char kD[] = "6b2f0d93";
  std::string key;
  key.reserve(32);
  key.append(kC).append(kA).append(kD).append(kB);
  return key;
}

uint32_t NonceForSecond(uint32_t seconds) {
  const uint32_t state = seconds * 214013u + 2531011u;
  const uint32_t r = (state >> 16) & 0x7FFFu;
  return 100000u + r % 900000u;
}

std::string RequestSignature(std::string_view body, uint64_t timestamp_ms, uint32_t nonce) {
  std::string input(body);
  input += std::to_string(timestamp_ms);
  input += WebApiSigningKey();
  input += std::to_string(nonce);
  std::string hex = base::Md5Hex(input.data(), static_cast<uint32_t>(input.size()));
  std::transform(hex.begin(), hex.end(), hex.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return hex;
}

CgiSignedHeaders BuildSignedHeaders(std::string_view body, std::string_view device_id,
                                    uint64_t timestamp_ms, uint32_t nonce) {
  const std::string stamp = std::to_string(timestamp_ms);
  CgiSignedHeaders headers;
  headers.emplace(kHeaderContentType, "application/json");
  headers.emplace(kHeaderBusinessId, "tuvo");
  headers.emplace(kHeaderGuid, device_id);
  headers.emplace(kHeaderNonce, std::to_string(nonce));
  headers.emplace(kHeaderRequestId, std::string(device_id) + "-" + stamp);
  headers.emplace(kHeaderSignature, RequestSignature(body, timestamp_ms, nonce));
  headers.emplace(kHeaderTimestamp, stamp);
  return headers;
}

const char* SignatureCheckName(SignatureCheck check) {
  switch (check) {
    case SignatureCheck::kValid: return "valid";
    case SignatureCheck::kMissingHeader: return "missing signature header";
    case SignatureCheck::kBadDeviceId: return "bad device id";
    case SignatureCheck::kBadTimestamp: return "bad timestamp";
    case SignatureCheck::kStaleTimestamp: return "stale timestamp";
    case SignatureCheck::kBadNonce: return "bad nonce";
    case SignatureCheck::kBadSignature: return "bad signature";
  }
  return "unknown";
}

SignatureCheck CheckSignedRequest(const std::function<std::optional<std::string>(std::string_view)>& header,
                                  std::string_view body, uint64_t now_ms, uint64_t max_skew_ms) {
  const auto guid = header(BareName(kHeaderGuid));
  const auto nonce = header(BareName(kHeaderNonce));
  const auto request_id = header(BareName(kHeaderRequestId));
  const auto signature = header(BareName(kHeaderSignature));
  const auto stamp = header(BareName(kHeaderTimestamp));
  const auto business = header(BareName(kHeaderBusinessId));
  if (!guid || !nonce || !request_id || !signature || !stamp || !business) return SignatureCheck::kMissingHeader;

  if (!IsLowerHex(*guid, 32)) return SignatureCheck::kBadDeviceId;
  uint64_t timestamp_ms = 0;
  if (!IsDecimal(*stamp) ||
      std::from_chars(stamp->data(), stamp->data() + stamp->size(), timestamp_ms).ec != std::errc{})
    return SignatureCheck::kBadTimestamp;
  // The request id repeats the device id and the time stamp; a request whose
  // parts disagree was not made by one signing.
  const size_t dash = request_id->rfind('-');
  if (dash == std::string::npos || request_id->substr(0, dash) != *guid) return SignatureCheck::kBadDeviceId;
  if (request_id->substr(dash + 1) != *stamp) return SignatureCheck::kBadTimestamp;

  const uint64_t skew = now_ms > timestamp_ms ? now_ms - timestamp_ms : timestamp_ms - now_ms;
  if (skew > max_skew_ms) return SignatureCheck::kStaleTimestamp;

  uint32_t nonce_value = 0;
  if (nonce->size() != 6 || !IsDecimal(*nonce) ||
      std::from_chars(nonce->data(), nonce->data() + nonce->size(), nonce_value).ec != std::errc{})
    return SignatureCheck::kBadNonce;

  if (*signature != RequestSignature(body, timestamp_ms, nonce_value)) return SignatureCheck::kBadSignature;
  return SignatureCheck::kValid;
}

}  // namespace net
