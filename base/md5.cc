#include "base/md5.h"

#include <bit>
#include <cstring>

namespace base {
namespace {

inline std::uint32_t LoadLe32(const std::uint8_t* p) noexcept {
  std::uint32_t v;
  std::memcpy(&v, p, sizeof(v));
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
  return v;
}

inline void StoreLe32(std::uint8_t* p, std::uint32_t v) noexcept {
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
  std::memcpy(p, &v, sizeof(v));
}

// The four auxiliary functions of RFC 1321, F and G in their cheaper
// equivalent forms.
inline std::uint32_t F(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return z ^ (x & (y ^ z)); }
inline std::uint32_t G(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return y ^ (z & (x ^ y)); }
inline std::uint32_t H(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return x ^ y ^ z; }
inline std::uint32_t I(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return y ^ (x | ~z); }

#define MD5_STEP(f, a, b, c, d, x, t, s) \
  (a) += f((b), (c), (d)) + (x) + (t);   \
  (a) = std::rotl((a), (s)) + (b)

}  // namespace

void Md5Context::Reset() noexcept {
  state_[0] = 0x67452301;
  state_[1] = 0xefcdab89;
  state_[2] = 0x98badcfe;
  state_[3] = 0x10325476;
  length_ = 0;
  std::memset(buffer_, 0, sizeof(buffer_));
}

void Md5Context::Transform(const std::uint8_t* blocks, std::size_t count) noexcept {
  std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  for (; count > 0; --count, blocks += 64) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = LoadLe32(blocks + 4 * i);
    const std::uint32_t aa = a, bb = b, cc = c, dd = d;

    MD5_STEP(F, a, b, c, d, x[0], 0xd76aa478, 7);
    MD5_STEP(F, d, a, b, c, x[1], 0xe8c7b756, 12);
    MD5_STEP(F, c, d, a, b, x[2], 0x242070db, 17);
    MD5_STEP(F, b, c, d, a, x[3], 0xc1bdceee, 22);
    MD5_STEP(F, a, b, c, d, x[4], 0xf57c0faf, 7);
    MD5_STEP(F, d, a, b, c, x[5], 0x4787c62a, 12);
    MD5_STEP(F, c, d, a, b, x[6], 0xa8304613, 17);
    MD5_STEP(F, b, c, d, a, x[7], 0xfd469501, 22);
    MD5_STEP(F, a, b, c, d, x[8], 0x698098d8, 7);
    MD5_STEP(F, d, a, b, c, x[9], 0x8b44f7af, 12);
    MD5_STEP(F, c, d, a, b, x[10], 0xffff5bb1, 17);
    MD5_STEP(F, b, c, d, a, x[11], 0x895cd7be, 22);
    MD5_STEP(F, a, b, c, d, x[12], 0x6b901122, 7);
    MD5_STEP(F, d, a, b, c, x[13], 0xfd987193, 12);
    MD5_STEP(F, c, d, a, b, x[14], 0xa679438e, 17);
    MD5_STEP(F, b, c, d, a, x[15], 0x49b40821, 22);

    MD5_STEP(G, a, b, c, d, x[1], 0xf61e2562, 5);
    MD5_STEP(G, d, a, b, c, x[6], 0xc040b340, 9);
    MD5_STEP(G, c, d, a, b, x[11], 0x265e5a51, 14);
    MD5_STEP(G, b, c, d, a, x[0], 0xe9b6c7aa, 20);
    MD5_STEP(G, a, b, c, d, x[5], 0xd62f105d, 5);
    MD5_STEP(G, d, a, b, c, x[10], 0x02441453, 9);
    MD5_STEP(G, c, d, a, b, x[15], 0xd8a1e681, 14);
    MD5_STEP(G, b, c, d, a, x[4], 0xe7d3fbc8, 20);
    MD5_STEP(G, a, b, c, d, x[9], 0x21e1cde6, 5);
    MD5_STEP(G, d, a, b, c, x[14], 0xc33707d6, 9);
    MD5_STEP(G, c, d, a, b, x[3], 0xf4d50d87, 14);
    MD5_STEP(G, b, c, d, a, x[8], 0x455a14ed, 20);
    MD5_STEP(G, a, b, c, d, x[13], 0xa9e3e905, 5);
    MD5_STEP(G, d, a, b, c, x[2], 0xfcefa3f8, 9);
    MD5_STEP(G, c, d, a, b, x[7], 0x676f02d9, 14);
    MD5_STEP(G, b, c, d, a, x[12], 0x8d2a4c8a, 20);

    MD5_STEP(H, a, b, c, d, x[5], 0xfffa3942, 4);
    MD5_STEP(H, d, a, b, c, x[8], 0x8771f681, 11);
    MD5_STEP(H, c, d, a, b, x[11], 0x6d9d6122, 16);
    MD5_STEP(H, b, c, d, a, x[14], 0xfde5380c, 23);
    MD5_STEP(H, a, b, c, d, x[1], 0xa4beea44, 4);
    MD5_STEP(H, d, a, b, c, x[4], 0x4bdecfa9, 11);
    MD5_STEP(H, c, d, a, b, x[7], 0xf6bb4b60, 16);
    MD5_STEP(H, b, c, d, a, x[10], 0xbebfbc70, 23);
    MD5_STEP(H, a, b, c, d, x[13], 0x289b7ec6, 4);
    MD5_STEP(H, d, a, b, c, x[0], 0xeaa127fa, 11);
    MD5_STEP(H, c, d, a, b, x[3], 0xd4ef3085, 16);
    MD5_STEP(H, b, c, d, a, x[6], 0x04881d05, 23);
    MD5_STEP(H, a, b, c, d, x[9], 0xd9d4d039, 4);
    MD5_STEP(H, d, a, b, c, x[12], 0xe6db99e5, 11);
    MD5_STEP(H, c, d, a, b, x[15], 0x1fa27cf8, 16);
    MD5_STEP(H, b, c, d, a, x[2], 0xc4ac5665, 23);

    MD5_STEP(I, a, b, c, d, x[0], 0xf4292244, 6);
    MD5_STEP(I, d, a, b, c, x[7], 0x432aff97, 10);
    MD5_STEP(I, c, d, a, b, x[14], 0xab9423a7, 15);
    MD5_STEP(I, b, c, d, a, x[5], 0xfc93a039, 21);
    MD5_STEP(I, a, b, c, d, x[12], 0x655b59c3, 6);
    MD5_STEP(I, d, a, b, c, x[3], 0x8f0ccc92, 10);
    MD5_STEP(I, c, d, a, b, x[10], 0xffeff47d, 15);
    MD5_STEP(I, b, c, d, a, x[1], 0x85845dd1, 21);
    MD5_STEP(I, a, b, c, d, x[8], 0x6fa87e4f, 6);
    MD5_STEP(I, d, a, b, c, x[15], 0xfe2ce6e0, 10);
    MD5_STEP(I, c, d, a, b, x[6], 0xa3014314, 15);
    MD5_STEP(I, b, c, d, a, x[13], 0x4e0811a1, 21);
    MD5_STEP(I, a, b, c, d, x[4], 0xf7537e82, 6);
    MD5_STEP(I, d, a, b, c, x[11], 0xbd3af235, 10);
    MD5_STEP(I, c, d, a, b, x[2], 0x2ad7d2bb, 15);
    MD5_STEP(I, b, c, d, a, x[9], 0xeb86d391, 21);

    a += aa;
    b += bb;
    c += cc;
    d += dd;
  }
  state_[0] = a;
  state_[1] = b;
  state_[2] = c;
  state_[3] = d;
}

#undef MD5_STEP

void Md5Context::Update(const void* data, std::size_t length) noexcept {
  if (length == 0) return;
  auto* in = static_cast<const std::uint8_t*>(data);
  std::size_t used = static_cast<std::size_t>(length_ % 64);
  length_ += length;

  if (used != 0) {
    const std::size_t take = length < 64 - used ? length : 64 - used;
    std::memcpy(buffer_ + used, in, take);
    in += take;
    length -= take;
    used += take;
    if (used < 64) return;
    Transform(buffer_, 1);
  }
  // Whole blocks straight from the caller's memory.
  if (const std::size_t blocks = length / 64; blocks > 0) {
    Transform(in, blocks);
    in += blocks * 64;
    length -= blocks * 64;
  }
  if (length > 0) std::memcpy(buffer_, in, length);
}

Md5Context::Digest Md5Context::Final() noexcept {
  const std::uint64_t bit_length = length_ * 8;
  std::size_t used = static_cast<std::size_t>(length_ % 64);
  buffer_[used++] = 0x80;
  if (used > 56) {
    std::memset(buffer_ + used, 0, 64 - used);
    Transform(buffer_, 1);
    used = 0;
  }
  std::memset(buffer_ + used, 0, 56 - used);
  StoreLe32(buffer_ + 56, static_cast<std::uint32_t>(bit_length));
  StoreLe32(buffer_ + 60, static_cast<std::uint32_t>(bit_length >> 32));
  Transform(buffer_, 1);

  Digest digest;
  for (int i = 0; i < 4; ++i) StoreLe32(digest.data() + 4 * i, state_[i]);
  Reset();
  return digest;
}

std::string Md5Hex(const void* data, std::uint32_t length) {
  Md5Context context;
  context.Update(data, length);
  const Md5Context::Digest digest = context.Final();
  return BytesToHex(digest.data(), digest.size());
}

std::string BytesToHex(const void* data, std::size_t length) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  auto* bytes = static_cast<const std::uint8_t*>(data);
  std::string hex(length * 2, '0');
  for (std::size_t i = 0; i < length; ++i) {
    hex[2 * i] = kDigits[bytes[i] >> 4];
    hex[2 * i + 1] = kDigits[bytes[i] & 0x0F];
  }
  return hex;
}

}  // namespace base
