// The signature of requests to the product's web API, shared by the installer
// (which signs) and the loopback stand-in of the service (which checks). It
// holds no clock and no device identifier of its own: both come in as
// arguments, so the two sides compute the same headers from the same inputs.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace net {

// Header name (ending in ": ") to value, ordered by the names' bytes: the
// order in which the headers go out on both HTTP stacks.
using CgiSignedHeaders = std::map<std::string, std::string>;

inline constexpr std::string_view kHeaderContentType = "Content-Type: ";
inline constexpr std::string_view kHeaderBusinessId = "Ual-Access-Businessid: ";
inline constexpr std::string_view kHeaderGuid = "Ual-Access-Guid: ";
inline constexpr std::string_view kHeaderNonce = "Ual-Access-Nonce: ";
inline constexpr std::string_view kHeaderRequestId = "Ual-Access-Requestid: ";
inline constexpr std::string_view kHeaderSignature = "Ual-Access-Signature: ";
inline constexpr std::string_view kHeaderTimestamp = "Ual-Access-Timestamp: ";

// The shared secret of the web API (32 lower-case hex digits). It is put
// together from pieces at run time so that it never stands whole in the image.
std::string WebApiSigningKey();

// The nonce the product's other clients send for a given second: the first
// value of the C runtime's 15-bit generator seeded with it, folded into
// 100000..999999 (in practice 100000..132767).
uint32_t NonceForSecond(uint32_t seconds);

// Lower-case MD5 hex of body, time stamp, key and nonce, without separators.
std::string RequestSignature(std::string_view body, uint64_t timestamp_ms, uint32_t nonce);

// The seven headers for `body`, signed with the given time stamp and nonce.
CgiSignedHeaders BuildSignedHeaders(std::string_view body, std::string_view device_id,
                                    uint64_t timestamp_ms, uint32_t nonce);

// What the service makes of a request's signature headers.
enum class SignatureCheck {
  kValid,
  kMissingHeader,     // one of the six Ual-Access headers is absent
  kBadDeviceId,       // not 32 lower-case hex digits, or not the one in the request id
  kBadTimestamp,      // not a decimal number, or not the one in the request id
  kStaleTimestamp,    // further from the service's clock than the allowed skew
  kBadNonce,          // not six decimal digits
  kBadSignature,      // does not cover this body with this key
};

const char* SignatureCheckName(SignatureCheck check);

// Checks the headers of a received request. `header` returns a header's value
// by its bare name ("Ual-Access-Nonce"), or nothing when it is absent.
SignatureCheck CheckSignedRequest(const std::function<std::optional<std::string>(std::string_view)>& header,
                                  std::string_view body, uint64_t now_ms, uint64_t max_skew_ms);

}  // namespace net
