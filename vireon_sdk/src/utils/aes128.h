// AES-128 (FIPS-197), table-driven, and CBC over whole 16-byte blocks.
// The telemetry body cipher uses it with the session key text as both key and
// initialisation vector; the collector uses the same code to answer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vireon::utils {

inline constexpr size_t kAesBlockSize = 16;
inline constexpr size_t kAesKeySize = 16;

// The 11 round keys of one AES-128 key, for encryption and (in the
// equivalent-inverse-cipher form) for decryption. Each caller keeps its own.
struct AesKeySchedule {
  uint32_t encrypt[44];
  uint32_t decrypt[44];
};

void AesExpandKey(const uint8_t key[kAesKeySize], AesKeySchedule* schedule);
void AesEncryptBlock(const AesKeySchedule& schedule, uint8_t block[kAesBlockSize]);
void AesDecryptBlock(const AesKeySchedule& schedule, uint8_t block[kAesBlockSize]);

// CBC in place; `length` must be a multiple of 16 (false otherwise, data untouched).
bool AesCbcEncrypt(const uint8_t key[kAesKeySize], const uint8_t iv[kAesBlockSize], uint8_t* data,
                   size_t length);
bool AesCbcDecrypt(const uint8_t key[kAesKeySize], const uint8_t iv[kAesBlockSize], uint8_t* data,
                   size_t length);

}  // namespace vireon::utils
