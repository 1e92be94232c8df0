// XXTEA (Corrected Block TEA) with a byte interface, and the XXTEA + Base64
// pair that protects an encrypted database column. The 16-byte key comes from
// a key text: its first 16 bytes up to the first zero byte, zero-padded.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace base {

// The data is followed by its length (a 32-bit word) before encryption, so
// the ciphertext is 4 * (ceil(size / 4) + 1) bytes. Empty data fails.
std::optional<std::string> XxteaEncrypt(std::string_view data, std::string_view key);

// Fails on empty or too short input, and when the decrypted length word does
// not fit the ciphertext (which rejects almost every wrong key).
std::optional<std::string> XxteaDecrypt(std::string_view data, std::string_view key);

// Encrypt, then Base64. Empty text on failure.
std::string XxteaBase64Encrypt(std::string_view key, std::string_view data);

// Decode, then decrypt. Empty on failure; the plaintext may hold zero bytes.
std::string XxteaBase64Decrypt(std::string_view key, std::string_view text);

}  // namespace base
