// The trusted roots of the machine (the Windows "ROOT" store) as one PEM
// text, for libcurl's certificate check. libcurl's Schannel back end checks
// the chain and the host name itself only when it is given the roots; left
// to Schannel's automatic check, Wine accepts any certificate.
#pragma once

#include <string>

namespace net {

// Read once per process; empty when the store cannot be opened.
const std::string& RootCertificatesPem();

}  // namespace net
