// The public half of the telemetry collector's RSA key pair, as the client
// carries it. The private half stays with the collector (vireon_sdk/keys).
#pragma once

#include <string_view>

namespace vireon {

extern const std::string_view kCollectorPublicKeyPem;

}  // namespace vireon
