#include "vireon_sdk/src/report/collector_public_key.h"

namespace vireon {

// A 1024-bit RSA key, SubjectPublicKeyInfo in PEM form.
const std::string_view kCollectorPublicKeyPem =
    "-----BEGIN PUBLIC KEY-----\n"
    "MIGfMA0GCSqGSIb3DQEBAQUAA4GNADCBiQKBgQDEDzZM/URAe691tFC8HibglBhW\n"
    "2qrpLgyZsA5m3oQhAIK/Xxt4jNs7PTiEO+T/PpchB2QKwjm2x3RvMzOg4qKkMytn\n"
    "rGok38rskiP5ir95OkrEgeLtFyA47em+vR5jkNZvnZSPb9RZYbInDgeZgcGaDe4I\n"
    "cLfJ4MzooLTf2Oam5QIDAQAB\n"
    "-----END PUBLIC KEY-----\n"
    ;

}  // namespace vireon
