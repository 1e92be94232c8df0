#include "downloader/digests.h"

#include <algorithm>
#include <cstring>

namespace courier {
namespace {

inline uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }
inline uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

// Appends `data` to a 64-byte block that holds `fill` bytes, handing every
// block it completes to `transform`; answers how many bytes the block holds.
template <typename Transform>
size_t AppendToBlock(uint8_t* block, size_t fill, const void* data, size_t length, Transform&& transform) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (length > 0) {
    const size_t take = std::min(length, 64 - fill);
    std::memcpy(block + fill, p, take);
    fill += take;
    p += take;
    length -= take;
    if (fill == 64) {
      transform(block);
      fill = 0;
    }
  }
  return fill;
}

// The message padding all three hashes use: 0x80, zeros up to 56 bytes into
// a block, then the message length in bits as 8 bytes, fed through `update`.
template <typename Update>
void AppendPadding(uint64_t bits, bool big_endian_length, Update&& update) {
  static constexpr uint8_t kPad[64] = {0x80};
  const size_t fill = static_cast<size_t>((bits / 8) % 64);
  update(kPad, fill < 56 ? 56 - fill : 120 - fill);
  uint8_t length_bytes[8];
  for (int i = 0; i < 8; ++i) length_bytes[i] = static_cast<uint8_t>(bits >> (big_endian_length ? 56 - 8 * i : 8 * i));
  update(length_bytes, 8);
}

inline uint32_t LoadBigEndian(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

void Md5Transform(uint32_t state[4], const uint8_t block[64]) {
  static constexpr uint32_t kK[64] = {
      0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
      0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
      0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
      0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
      0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
      0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
      0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
      0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
  static constexpr int kS[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
  uint32_t m[16];
  for (int i = 0; i < 16; ++i) {
    m[i] = uint32_t(block[i * 4]) | (uint32_t(block[i * 4 + 1]) << 8) | (uint32_t(block[i * 4 + 2]) << 16) |
           (uint32_t(block[i * 4 + 3]) << 24);
  }
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  for (int i = 0; i < 64; ++i) {
    uint32_t f;
    int g;
    if (i < 16) {
      f = (b & c) | (~b & d);
      g = i;
    } else if (i < 32) {
      f = (d & b) | (~d & c);
      g = (5 * i + 1) % 16;
    } else if (i < 48) {
      f = b ^ c ^ d;
      g = (3 * i + 5) % 16;
    } else {
      f = c ^ (b | ~d);
      g = (7 * i) % 16;
    }
    const uint32_t tmp = d;
    d = c;
    c = b;
    b = b + Rotl(a + f + kK[i] + m[g], kS[i]);
    a = tmp;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

void Sha256Transform(uint32_t state[8], const uint8_t block[64]) {
  static constexpr uint32_t kK[64] = {
      0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
      0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
      0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
      0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
      0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
      0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
      0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
      0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
  uint32_t w[64];
  for (int i = 0; i < 16; ++i) w[i] = LoadBigEndian(block + i * 4);
  for (int i = 16; i < 64; ++i) {
    const uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
  for (int i = 0; i < 64; ++i) {
    const uint32_t s1 = Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25);
    const uint32_t ch = (e & f) ^ (~e & g);
    const uint32_t t1 = h + s1 + ch + kK[i] + w[i];
    const uint32_t s0 = Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22);
    const uint32_t maj = (a & b) ^ (a & c) ^ (b & c);
    const uint32_t t2 = s0 + maj;
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
  state[5] += f;
  state[6] += g;
  state[7] += h;
}

}  // namespace

void Md5Init(Md5Context* ctx) {
  ctx->state[0] = 0x67452301;
  ctx->state[1] = 0xefcdab89;
  ctx->state[2] = 0x98badcfe;
  ctx->state[3] = 0x10325476;
  ctx->bit_count = 0;
}

void Md5Update(Md5Context* ctx, const void* data, size_t length) {
  const size_t fill = static_cast<size_t>((ctx->bit_count / 8) % 64);
  ctx->bit_count += static_cast<uint64_t>(length) * 8;
  AppendToBlock(ctx->block, fill, data, length, [ctx](const uint8_t* block) { Md5Transform(ctx->state, block); });
}

std::array<uint8_t, 16> Md5Final(Md5Context* ctx) {
  AppendPadding(ctx->bit_count, false, [ctx](const void* data, size_t length) { Md5Update(ctx, data, length); });
  std::array<uint8_t, 16> digest{};
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) digest[i * 4 + j] = static_cast<uint8_t>(ctx->state[i] >> (8 * j));
  }
  return digest;
}

void Sha256Init(Sha256Context* ctx) {
  static constexpr uint32_t kInit[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                        0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::memcpy(ctx->state, kInit, sizeof(kInit));
  ctx->block_count = 0;
  ctx->fill = 0;
}

void Sha256Update(Sha256Context* ctx, const void* data, size_t length) {
  ctx->fill = AppendToBlock(ctx->block, ctx->fill, data, length, [ctx](const uint8_t* block) {
    Sha256Transform(ctx->state, block);
    ++ctx->block_count;
  });
}

std::array<uint8_t, 32> Sha256Final(Sha256Context* ctx) {
  const uint64_t bits = (ctx->block_count * 64 + ctx->fill) * 8;
  AppendPadding(bits, true, [ctx](const void* data, size_t length) { Sha256Update(ctx, data, length); });
  std::array<uint8_t, 32> digest{};
  for (int i = 0; i < 8; ++i) {
    for (int j = 0; j < 4; ++j) digest[i * 4 + j] = static_cast<uint8_t>(ctx->state[i] >> (24 - 8 * j));
  }
  return digest;
}

uint32_t Crc32Update(uint32_t crc, const void* data, size_t length) {
  static const auto kTable = [] {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
    return table;
  }();
  const auto* p = static_cast<const uint8_t*>(data);
  crc = ~crc;
  for (size_t i = 0; i < length; ++i) crc = kTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void CSHA1::Reset() {
  state_[0] = 0x67452301;
  state_[1] = 0xEFCDAB89;
  state_[2] = 0x98BADCFE;
  state_[3] = 0x10325476;
  state_[4] = 0xC3D2E1F0;
  count_[0] = count_[1] = 0;
}

void CSHA1::Transform(const uint8_t* block) {
  uint32_t w[80];
  for (int i = 0; i < 16; ++i) w[i] = LoadBigEndian(block + i * 4);
  for (int i = 16; i < 80; ++i) w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3], e = state_[4];
  for (int i = 0; i < 80; ++i) {
    uint32_t f, k;
    if (i < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999;
    } else if (i < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1;
    } else if (i < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDC;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6;
    }
    const uint32_t t = Rotl(a, 5) + f + e + k + w[i];
    e = d;
    d = c;
    c = Rotl(b, 30);
    b = a;
    a = t;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
  state_[4] += e;
}

void CSHA1::Update(const void* data, size_t length) {
  const size_t fill = (count_[0] >> 3) & 63;
  const uint64_t bits = (uint64_t(count_[1]) << 32 | count_[0]) + uint64_t(length) * 8;
  count_[0] = static_cast<uint32_t>(bits);
  count_[1] = static_cast<uint32_t>(bits >> 32);
  AppendToBlock(buffer_, fill, data, length, [this](const uint8_t* block) { Transform(block); });
}

void CSHA1::Final() {
  const uint64_t bits = uint64_t(count_[1]) << 32 | count_[0];
  AppendPadding(bits, true, [this](const void* data, size_t length) { Update(data, length); });
  for (int i = 0; i < 20; ++i) digest_[i] = static_cast<uint8_t>(state_[i / 4] >> (24 - 8 * (i % 4)));
}

std::string ToLowerHex(const uint8_t* bytes, size_t length) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(length * 2);
  for (size_t i = 0; i < length; ++i) {
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 0x0F]);
  }
  return text;
}

}  // namespace courier
