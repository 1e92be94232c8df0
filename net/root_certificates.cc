#include "net/root_certificates.h"

#include <windows.h>
#include <wincrypt.h>

#include "base/base64.h"
#include "base/product_log.h"

namespace net {
namespace {

std::string ReadRootStore() {
  HCERTSTORE store = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                     CERT_SYSTEM_STORE_LOCAL_MACHINE | CERT_STORE_READONLY_FLAG, L"ROOT");
  if (!store) {
    PRODUCT_LOG("cannot open the ROOT certificate store, error {}", ::GetLastError());
    return {};
  }
  std::string pem;
  PCCERT_CONTEXT cert = nullptr;
  while ((cert = ::CertEnumCertificatesInStore(store, cert)) != nullptr) {
    const std::string der(reinterpret_cast<const char*>(cert->pbCertEncoded), cert->cbCertEncoded);
    const std::string text = base::Base64Encode(der);
    pem += "-----BEGIN CERTIFICATE-----\n";
    for (size_t i = 0; i < text.size(); i += 64) pem.append(text, i, 64).push_back('\n');
    pem += "-----END CERTIFICATE-----\n";
  }
  ::CertCloseStore(store, 0);
  return pem;
}

}  // namespace

const std::string& RootCertificatesPem() {
  static const std::string pem = ReadRootStore();
  return pem;
}

}  // namespace net
