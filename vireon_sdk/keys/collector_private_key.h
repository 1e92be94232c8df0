// The private half of the collector's RSA key pair. Linked only into the
// collector and the tests; the client carries the public half alone.
#pragma once

#include <string_view>

namespace vireon {

extern const std::string_view kCollectorPrivateKeyPem;

}  // namespace vireon
