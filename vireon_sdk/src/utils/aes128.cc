#include "vireon_sdk/src/utils/aes128.h"

#include <array>
#include <cstring>

namespace vireon::utils {
namespace {

// The tables are derived from the field arithmetic at compile time rather than
// typed in, so a mistyped entry cannot hide in a 256-entry literal.
constexpr uint8_t Mul(uint8_t a, uint8_t b) {
  uint8_t product = 0;
  while (b != 0) {
    if (b & 1) product ^= a;
    a = static_cast<uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1B : 0x00));
    b >>= 1;
  }
  return product;
}

constexpr uint8_t Rotl8(uint8_t v, int n) { return static_cast<uint8_t>((v << n) | (v >> (8 - n))); }

struct Tables {
  std::array<uint8_t, 256> sbox{};
  std::array<uint8_t, 256> inv_sbox{};
  std::array<uint32_t, 256> te[4]{};
  std::array<uint32_t, 256> td[4]{};
};

constexpr uint32_t Ror8(uint32_t w) { return (w >> 8) | (w << 24); }

constexpr Tables BuildTables() {
  Tables t;
  std::array<uint8_t, 256> inverse{};
  for (int x = 1; x < 256; ++x) {
    for (int y = 1; y < 256; ++y) {
      if (Mul(static_cast<uint8_t>(x), static_cast<uint8_t>(y)) == 1) {
        inverse[x] = static_cast<uint8_t>(y);
        break;
      }
    }
  }
  for (int x = 0; x < 256; ++x) {
    const uint8_t b = inverse[x];
    const uint8_t s = static_cast<uint8_t>(b ^ Rotl8(b, 1) ^ Rotl8(b, 2) ^ Rotl8(b, 3) ^ Rotl8(b, 4) ^ 0x63);
    t.sbox[x] = s;
    t.inv_sbox[s] = static_cast<uint8_t>(x);
  }
  for (int x = 0; x < 256; ++x) {
    const uint8_t s = t.sbox[x];
    const uint32_t e = (uint32_t{Mul(s, 2)} << 24) | (uint32_t{s} << 16) | (uint32_t{s} << 8) | Mul(s, 3);
    const uint8_t i = t.inv_sbox[x];
    const uint32_t d = (uint32_t{Mul(i, 0x0E)} << 24) | (uint32_t{Mul(i, 0x09)} << 16) |
                       (uint32_t{Mul(i, 0x0D)} << 8) | Mul(i, 0x0B);
    t.te[0][x] = e;
    t.td[0][x] = d;
    for (int k = 1; k < 4; ++k) {
      t.te[k][x] = Ror8(t.te[k - 1][x]);
      t.td[k][x] = Ror8(t.td[k - 1][x]);
    }
  }
  return t;
}

constexpr Tables kT = BuildTables();
constexpr uint32_t kRcon[10] = {0x01000000, 0x02000000, 0x04000000, 0x08000000, 0x10000000,
                                0x20000000, 0x40000000, 0x80000000, 0x1B000000, 0x36000000};

inline uint32_t Load(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
inline void Store(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}
inline uint32_t SubWord(uint32_t w) {
  return (uint32_t{kT.sbox[w >> 24]} << 24) | (uint32_t{kT.sbox[(w >> 16) & 0xFF]} << 16) |
         (uint32_t{kT.sbox[(w >> 8) & 0xFF]} << 8) | kT.sbox[w & 0xFF];
}
inline uint32_t InvMixColumn(uint32_t w) {
  return kT.td[0][kT.sbox[w >> 24]] ^ kT.td[1][kT.sbox[(w >> 16) & 0xFF]] ^
         kT.td[2][kT.sbox[(w >> 8) & 0xFF]] ^ kT.td[3][kT.sbox[w & 0xFF]];
}

}  // namespace

void AesExpandKey(const uint8_t key[kAesKeySize], AesKeySchedule* schedule) {
  uint32_t* rk = schedule->encrypt;
  for (int i = 0; i < 4; ++i) rk[i] = Load(key + 4 * i);
  for (int i = 4; i < 44; ++i) {
    uint32_t temp = rk[i - 1];
    if (i % 4 == 0) temp = SubWord((temp << 8) | (temp >> 24)) ^ kRcon[i / 4 - 1];
    rk[i] = rk[i - 4] ^ temp;
  }
  // Decryption walks the rounds backwards with InvMixColumns folded into the
  // middle round keys (the equivalent inverse cipher).
  uint32_t* dk = schedule->decrypt;
  for (int round = 0; round <= 10; ++round) {
    for (int c = 0; c < 4; ++c) {
      const uint32_t w = rk[4 * (10 - round) + c];
      dk[4 * round + c] = (round == 0 || round == 10) ? w : InvMixColumn(w);
    }
  }
}

void AesEncryptBlock(const AesKeySchedule& schedule, uint8_t block[kAesBlockSize]) {
  const uint32_t* rk = schedule.encrypt;
  uint32_t s0 = Load(block) ^ rk[0], s1 = Load(block + 4) ^ rk[1];
  uint32_t s2 = Load(block + 8) ^ rk[2], s3 = Load(block + 12) ^ rk[3];
  const auto& te = kT.te;
  for (int r = 1; r < 10; ++r) {
    const uint32_t* k = rk + 4 * r;
    const uint32_t t0 = te[0][s0 >> 24] ^ te[1][(s1 >> 16) & 0xFF] ^ te[2][(s2 >> 8) & 0xFF] ^ te[3][s3 & 0xFF] ^ k[0];
    const uint32_t t1 = te[0][s1 >> 24] ^ te[1][(s2 >> 16) & 0xFF] ^ te[2][(s3 >> 8) & 0xFF] ^ te[3][s0 & 0xFF] ^ k[1];
    const uint32_t t2 = te[0][s2 >> 24] ^ te[1][(s3 >> 16) & 0xFF] ^ te[2][(s0 >> 8) & 0xFF] ^ te[3][s1 & 0xFF] ^ k[2];
    const uint32_t t3 = te[0][s3 >> 24] ^ te[1][(s0 >> 16) & 0xFF] ^ te[2][(s1 >> 8) & 0xFF] ^ te[3][s2 & 0xFF] ^ k[3];
    s0 = t0, s1 = t1, s2 = t2, s3 = t3;
  }
  const auto& s = kT.sbox;
  const uint32_t* k = rk + 40;
  auto last = [&](uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t key) {
    return ((uint32_t{s[a >> 24]} << 24) | (uint32_t{s[(b >> 16) & 0xFF]} << 16) |
            (uint32_t{s[(c >> 8) & 0xFF]} << 8) | s[d & 0xFF]) ^ key;
  };
  Store(block, last(s0, s1, s2, s3, k[0]));
  Store(block + 4, last(s1, s2, s3, s0, k[1]));
  Store(block + 8, last(s2, s3, s0, s1, k[2]));
  Store(block + 12, last(s3, s0, s1, s2, k[3]));
}

void AesDecryptBlock(const AesKeySchedule& schedule, uint8_t block[kAesBlockSize]) {
  const uint32_t* dk = schedule.decrypt;
  uint32_t s0 = Load(block) ^ dk[0], s1 = Load(block + 4) ^ dk[1];
  uint32_t s2 = Load(block + 8) ^ dk[2], s3 = Load(block + 12) ^ dk[3];
  const auto& td = kT.td;
  for (int r = 1; r < 10; ++r) {
    const uint32_t* k = dk + 4 * r;
    const uint32_t t0 = td[0][s0 >> 24] ^ td[1][(s3 >> 16) & 0xFF] ^ td[2][(s2 >> 8) & 0xFF] ^ td[3][s1 & 0xFF] ^ k[0];
    const uint32_t t1 = td[0][s1 >> 24] ^ td[1][(s0 >> 16) & 0xFF] ^ td[2][(s3 >> 8) & 0xFF] ^ td[3][s2 & 0xFF] ^ k[1];
    const uint32_t t2 = td[0][s2 >> 24] ^ td[1][(s1 >> 16) & 0xFF] ^ td[2][(s0 >> 8) & 0xFF] ^ td[3][s3 & 0xFF] ^ k[2];
    const uint32_t t3 = td[0][s3 >> 24] ^ td[1][(s2 >> 16) & 0xFF] ^ td[2][(s1 >> 8) & 0xFF] ^ td[3][s0 & 0xFF] ^ k[3];
    s0 = t0, s1 = t1, s2 = t2, s3 = t3;
  }
  const auto& is = kT.inv_sbox;
  const uint32_t* k = dk + 40;
  auto last = [&](uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t key) {
    return ((uint32_t{is[a >> 24]} << 24) | (uint32_t{is[(b >> 16) & 0xFF]} << 16) |
            (uint32_t{is[(c >> 8) & 0xFF]} << 8) | is[d & 0xFF]) ^ key;
  };
  Store(block, last(s0, s3, s2, s1, k[0]));
  Store(block + 4, last(s1, s0, s3, s2, k[1]));
  Store(block + 8, last(s2, s1, s0, s3, k[2]));
  Store(block + 12, last(s3, s2, s1, s0, k[3]));
}

bool AesCbcEncrypt(const uint8_t key[kAesKeySize], const uint8_t iv[kAesBlockSize], uint8_t* data,
                   size_t length) {
  if (length % kAesBlockSize != 0 || (length != 0 && data == nullptr)) return false;
  AesKeySchedule schedule;
  AesExpandKey(key, &schedule);
  const uint8_t* chain = iv;
  for (size_t off = 0; off < length; off += kAesBlockSize) {
    uint8_t* block = data + off;
    for (size_t i = 0; i < kAesBlockSize; ++i) block[i] ^= chain[i];
    AesEncryptBlock(schedule, block);
    chain = block;
  }
  return true;
}

bool AesCbcDecrypt(const uint8_t key[kAesKeySize], const uint8_t iv[kAesBlockSize], uint8_t* data,
                   size_t length) {
  if (length % kAesBlockSize != 0 || (length != 0 && data == nullptr)) return false;
  AesKeySchedule schedule;
  AesExpandKey(key, &schedule);
  uint8_t previous[kAesBlockSize];
  uint8_t current[kAesBlockSize];
  std::memcpy(previous, iv, kAesBlockSize);
  for (size_t off = 0; off < length; off += kAesBlockSize) {
    uint8_t* block = data + off;
    std::memcpy(current, block, kAesBlockSize);
    AesDecryptBlock(schedule, block);
    for (size_t i = 0; i < kAesBlockSize; ++i) block[i] ^= previous[i];
    std::memcpy(previous, current, kAesBlockSize);
  }
  return true;
}

}  // namespace vireon::utils
