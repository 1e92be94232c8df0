// RSA with PKCS#1 v1.5 padding through OpenSSL's libcrypto, keys given as PEM
// text in memory: the client encrypts with the collector's public key
// ("PUBLIC KEY", SubjectPublicKeyInfo), the collector decrypts with its
// private key ("PRIVATE KEY" or "RSA PRIVATE KEY").
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vireon::utils {

// The ciphertext (the key's modulus size, 128 bytes for a 1024-bit key), or
// none when the key cannot be read or the input is too long for the key.
std::optional<std::string> RsaPublicEncrypt(std::string_view public_key_pem, const void* bytes,
                                            size_t length);

// The plaintext, or none when the key cannot be read or the ciphertext does
// not decrypt to a well-padded block.
std::optional<std::string> RsaPrivateDecrypt(std::string_view private_key_pem, const void* bytes,
                                             size_t length);

}  // namespace vireon::utils
