// The digests the downloader can check a finished file against: MD5, CRC-32,
// SHA-1 and SHA-256, fed block by block.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace courier {

struct Md5Context {
  uint32_t state[4];
  uint64_t bit_count;
  uint8_t block[64];
};
void Md5Init(Md5Context* ctx);
void Md5Update(Md5Context* ctx, const void* data, size_t length);
std::array<uint8_t, 16> Md5Final(Md5Context* ctx);

struct Sha256Context {
  uint32_t state[8];
  uint64_t block_count;
  uint8_t block[64];
  size_t fill;
};
void Sha256Init(Sha256Context* ctx);
void Sha256Update(Sha256Context* ctx, const void* data, size_t length);
std::array<uint8_t, 32> Sha256Final(Sha256Context* ctx);

// CRC-32 of IEEE 802.3 in its reflected form (as zlib computes it); start with
// 0 and feed the previous value back in.
uint32_t Crc32Update(uint32_t crc, const void* data, size_t length);

class CSHA1 {
 public:
  CSHA1() { Reset(); }
  ~CSHA1() { Reset(); }
  void Reset();
  void Update(const void* data, size_t length);
  void Final();
  const uint8_t* Digest() const { return digest_; }

 private:
  void Transform(const uint8_t* block);

  uint32_t state_[5];
  uint32_t count_[2];  // bit count, low word first
  uint8_t buffer_[64];
  uint8_t digest_[20];
};

std::string ToLowerHex(const uint8_t* bytes, size_t length);

}  // namespace courier
