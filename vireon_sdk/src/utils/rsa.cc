#include "vireon_sdk/src/utils/rsa.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <climits>
#include <memory>

#include "vireon_sdk/src/utils/guarded.h"

namespace vireon::utils {
namespace {

struct BioFree {
  void operator()(BIO* b) const { BIO_free_all(b); }
};
struct PkeyFree {
  void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct PkeyCtxFree {
  void operator()(EVP_PKEY_CTX* c) const { EVP_PKEY_CTX_free(c); }
};
using BioPtr = std::unique_ptr<BIO, BioFree>;
using PkeyPtr = std::unique_ptr<EVP_PKEY, PkeyFree>;
using PkeyCtxPtr = std::unique_ptr<EVP_PKEY_CTX, PkeyCtxFree>;

PkeyPtr ReadKey(std::string_view pem, bool is_private) {
  if (pem.empty() || pem.size() > INT_MAX) return nullptr;
  BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  if (!bio) return nullptr;
  EVP_PKEY* key = is_private ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr)
                             : PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr);
  PkeyPtr owned(key);
  if (owned && EVP_PKEY_base_id(owned.get()) != EVP_PKEY_RSA) return nullptr;
  return owned;
}

using Init = int (*)(EVP_PKEY_CTX*);
using Run = int (*)(EVP_PKEY_CTX*, unsigned char*, size_t*, const unsigned char*, size_t);

std::optional<std::string> Transform(std::string_view pem, bool is_private, Init init, Run run,
                                     const void* bytes, size_t length) {
  if (bytes == nullptr && length != 0) return std::nullopt;
  return Guarded(std::optional<std::string>{}, [&]() -> std::optional<std::string> {
    PkeyPtr key = ReadKey(pem, is_private);
    if (!key) return std::nullopt;
    PkeyCtxPtr ctx(EVP_PKEY_CTX_new(key.get(), nullptr));
    if (!ctx || init(ctx.get()) <= 0 || EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) <= 0)
      return std::nullopt;
    const auto* in = static_cast<const unsigned char*>(bytes);
    size_t out_len = 0;
    if (run(ctx.get(), nullptr, &out_len, in, length) <= 0) return std::nullopt;
    std::string out(out_len, '\0');
    if (run(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &out_len, in, length) <= 0)
      return std::nullopt;
    out.resize(out_len);
    return out;
  });
}

}  // namespace

std::optional<std::string> RsaPublicEncrypt(std::string_view public_key_pem, const void* bytes,
                                            size_t length) {
  return Transform(public_key_pem, false, EVP_PKEY_encrypt_init, EVP_PKEY_encrypt, bytes, length);
}

std::optional<std::string> RsaPrivateDecrypt(std::string_view private_key_pem, const void* bytes,
                                             size_t length) {
  return Transform(private_key_pem, true, EVP_PKEY_decrypt_init, EVP_PKEY_decrypt, bytes, length);
}

}  // namespace vireon::utils
