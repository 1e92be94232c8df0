#include "vireon_sdk/src/utils/base64.h"

#include <array>
#include <cstdint>

#include "vireon_sdk/src/utils/guarded.h"

namespace vireon::utils {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> BuildReverse() {
  std::array<int8_t, 256> r{};
  for (auto& v : r) v = -1;
  for (int i = 0; i < 64; ++i) r[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
  return r;
}
constexpr std::array<int8_t, 256> kReverse = BuildReverse();

}  // namespace

std::string Base64Encode(const void* bytes, size_t length) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  std::string out;
  if (p == nullptr || length == 0) return out;
  out.reserve((length + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= length; i += 3) {
    const uint32_t v = (uint32_t{p[i]} << 16) | (uint32_t{p[i + 1]} << 8) | p[i + 2];
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  const size_t rest = length - i;
  if (rest != 0) {
    const uint32_t v = (uint32_t{p[i]} << 16) | (rest == 2 ? uint32_t{p[i + 1]} << 8 : 0);
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::optional<std::string> Base64Decode(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  return Guarded(std::optional<std::string>{}, [&]() -> std::optional<std::string> {
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
      const bool last = i + 4 == text.size();
      int v[4];
      int pads = 0;
      for (int k = 0; k < 4; ++k) {
        const char c = text[i + k];
        if (c == '=' && last && k >= 2) {
          v[k] = 0;
          ++pads;
          continue;
        }
        if (pads != 0) return std::nullopt;  // data after padding
        v[k] = kReverse[static_cast<uint8_t>(c)];
        if (v[k] < 0) return std::nullopt;
      }
      const uint32_t w = (uint32_t(v[0]) << 18) | (uint32_t(v[1]) << 12) | (uint32_t(v[2]) << 6) | uint32_t(v[3]);
      out += static_cast<char>(w >> 16);
      if (pads < 2) out += static_cast<char>((w >> 8) & 0xFF);
      if (pads < 1) out += static_cast<char>(w & 0xFF);
    }
    return out;
  });
}

}  // namespace vireon::utils
