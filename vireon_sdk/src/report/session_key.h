// The telemetry session key: 16 characters whose ASCII bytes are both the
// AES-128 key and the CBC initialisation vector of every body the process
// sends and receives. It travels RSA-encrypted (Base64, 172 characters) in the
// "vir_key" header of each request. One key per process, made on first use;
// when no fresh key can be made, the built-in default pair is used throughout.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vireon {

struct SessionKeyPair {
  char encrypted_key[173] = {};  // Base64 of the RSA ciphertext of key_text
  char key_text[17] = {};        // 16 hexadecimal characters

  std::string_view encrypted() const noexcept { return encrypted_key; }
  std::string_view key() const noexcept { return key_text; }
};

inline constexpr std::string_view kDefaultSessionKeyText = "3e91c07d5fa2b468";
// Not a real ciphertext: the collector recognises it by its text and then
// uses the default key text.
inline constexpr std::string_view kDefaultEncryptedSessionKey =
    "Jq8Wm3Zr5TbN2xLc7Vh4Pk9Ds1Gf6YaE0uRo3Hi8Ql5Sw2Ct7MnB4vXe9Kj1Fz6Ud0Ag3OyI8rTp5Lm2Hs7Wq4Nc9ExV1kGb6Dz3Ja0"
    "Rf8Mt5PuY2oSh7Ci4Lw9Ne1Kq6BgZ3vXm8Td0Aj5Hr2Ou7FsP4cWl9Ey1Ik6Qb3Gn8Vz=";
inline constexpr size_t kEncryptedSessionKeyLength = 172;

using RandomSource = bool (*)(void* out, size_t length);

// The process's key pair, made on the first call (concurrent first callers
// wait for it) and the same for every later call.
const SessionKeyPair& GetDefaultSessionKey();

// Fills `pair` with the defaults, then tries to replace them with a fresh key:
// 8 random bytes as 16 upper-case hex digits, RSA-encrypted under the given
// public key. True when the fresh key was taken.
bool GenerateSessionKey(SessionKeyPair* pair, std::string_view public_key_pem, RandomSource random);

// Base64 of the bytes' RSA (PKCS#1 v1.5) encryption under the collector's
// public key; empty on failure.
std::string RsaEncryptPublic(std::string_view bytes);
std::string RsaEncryptPublic(std::string_view bytes, std::string_view public_key_pem);

// The collector's side: the key text a "vir_key" value stands for, or an empty
// text when it cannot be recovered. The default encrypted key gives the
// default key text without touching RSA.
std::string RecoverSessionKey(std::string_view vir_key, std::string_view private_key_pem);

}  // namespace vireon
