#include "base/xxtea.h"

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

#include "base/base64.h"
#include "base/failure_boundary.h"

namespace base {
namespace {

constexpr std::uint32_t kDelta = 0x9e3779b9;

using Key = std::array<std::uint32_t, 4>;

// Reads no further than the key text reaches: a short key is zero-padded.
Key MakeKey(std::string_view text) {
  std::uint8_t bytes[16] = {};
  for (std::size_t i = 0; i < 16 && i < text.size() && text[i] != '\0'; ++i) {
    bytes[i] = static_cast<std::uint8_t>(text[i]);
  }
  Key key;
  for (int i = 0; i < 4; ++i) {
    key[i] = static_cast<std::uint32_t>(bytes[4 * i]) | static_cast<std::uint32_t>(bytes[4 * i + 1]) << 8 |
             static_cast<std::uint32_t>(bytes[4 * i + 2]) << 16 |
             static_cast<std::uint32_t>(bytes[4 * i + 3]) << 24;
  }
  return key;
}

std::vector<std::uint32_t> ToWords(std::string_view bytes) {
  std::vector<std::uint32_t> words((bytes.size() + 3) / 4, 0);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    words[i / 4] |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * (i % 4));
  }
  return words;
}

std::string ToBytes(const std::vector<std::uint32_t>& words, std::size_t length) {
  std::string bytes(length, '\0');
  for (std::size_t i = 0; i < length; ++i) {
    bytes[i] = static_cast<char>(words[i / 4] >> (8 * (i % 4)) & 0xFF);
  }
  return bytes;
}

inline std::uint32_t Mix(std::uint32_t y, std::uint32_t z, std::uint32_t sum, std::size_t p,
                         std::uint32_t e, const Key& key) {
  return (((z >> 5) ^ (y << 2)) + ((y >> 3) ^ (z << 4))) ^ ((sum ^ y) + (key[(p & 3) ^ e] ^ z));
}

void EncryptWords(std::vector<std::uint32_t>& v, const Key& key) {
  const std::size_t n = v.size();
  std::uint32_t rounds = 6 + static_cast<std::uint32_t>(52 / n);
  std::uint32_t sum = 0;
  std::uint32_t z = v[n - 1];
  while (rounds-- > 0) {
    sum += kDelta;
    const std::uint32_t e = (sum >> 2) & 3;
    std::size_t p = 0;
    for (; p < n - 1; ++p) z = v[p] += Mix(v[p + 1], z, sum, p, e, key);
    z = v[n - 1] += Mix(v[0], z, sum, p, e, key);
  }
}

void DecryptWords(std::vector<std::uint32_t>& v, const Key& key) {
  const std::size_t n = v.size();
  const std::uint32_t rounds = 6 + static_cast<std::uint32_t>(52 / n);
  std::uint32_t sum = rounds * kDelta;
  std::uint32_t y = v[0];
  while (sum != 0) {
    const std::uint32_t e = (sum >> 2) & 3;
    std::size_t p = n - 1;
    for (; p > 0; --p) y = v[p] -= Mix(y, v[p - 1], sum, p, e, key);
    y = v[0] -= Mix(y, v[n - 1], sum, p, e, key);
    sum -= kDelta;
  }
}

std::optional<std::string> Encrypt(std::string_view data, std::string_view key) {
  if (data.empty() || data.size() > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  std::vector<std::uint32_t> words = ToWords(data);
  words.push_back(static_cast<std::uint32_t>(data.size()));
  EncryptWords(words, MakeKey(key));
  return ToBytes(words, words.size() * 4);
}

std::optional<std::string> Decrypt(std::string_view data, std::string_view key) {
  if (data.empty()) return std::nullopt;
  std::vector<std::uint32_t> words = ToWords(data);
  if (words.size() < 2) return std::nullopt;
  DecryptWords(words, MakeKey(key));
  const std::size_t capacity = 4 * (words.size() - 1);
  const std::size_t length = words.back();
  if (length + 3 < capacity || length > capacity) return std::nullopt;
  return ToBytes(words, length);
}

}  // namespace

std::optional<std::string> XxteaEncrypt(std::string_view data, std::string_view key) {
  return NoThrowOr(std::optional<std::string>(), [&] { return Encrypt(data, key); });
}

std::optional<std::string> XxteaDecrypt(std::string_view data, std::string_view key) {
  return NoThrowOr(std::optional<std::string>(), [&] { return Decrypt(data, key); });
}

std::string XxteaBase64Encrypt(std::string_view key, std::string_view data) {
  return NoThrowOr(std::string(), [&] {
    const std::optional<std::string> cipher = Encrypt(data, key);
    return cipher ? Base64Encode(*cipher) : std::string();
  });
}

std::string XxteaBase64Decrypt(std::string_view key, std::string_view text) {
  return NoThrowOr(std::string(), [&] {
    const std::optional<std::string> cipher = Base64Decode(text);
    if (!cipher || cipher->empty()) return std::string();
    return Decrypt(*cipher, key).value_or(std::string());
  });
}

}  // namespace base
