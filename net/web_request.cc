#include <chrono>
#include <ctime>

#include "net/web_request.h"
#include "vireon_sdk/src/report/vireon_client.h"

namespace net {

CgiSignedHeaders SignRequestHeaders(const std::string& body) {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const uint64_t timestamp_ms =
      static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
  // The nonce is the runtime generator's first value after seeding it with
  // the current second; it is computed here without touching the generator
  // that the rest of the process may use.
  const uint32_t nonce = NonceForSecond(static_cast<uint32_t>(std::time(nullptr)));
  return BuildSignedHeaders(body, VireonClient::VireonDeviceId(), timestamp_ms, nonce);
}

}  // namespace net
