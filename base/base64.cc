#include "base/base64.h"

#include <array>
#include <cstdint>

namespace base {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::int8_t, 256> MakeDecodeTable() {
  std::array<std::int8_t, 256> table{};
  for (auto& value : table) value = -1;
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
  return table;
}

constexpr std::array<std::int8_t, 256> kDecode = MakeDecodeTable();

}  // namespace

std::string Base64Encode(std::string_view bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  auto byte = [&](std::size_t at) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])); };
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t triple = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
    text.push_back(kAlphabet[triple >> 18 & 63]);
    text.push_back(kAlphabet[triple >> 12 & 63]);
    text.push_back(kAlphabet[triple >> 6 & 63]);
    text.push_back(kAlphabet[triple & 63]);
  }
  if (const std::size_t rest = bytes.size() - i; rest > 0) {
    const std::uint32_t triple = byte(i) << 16 | (rest == 2 ? byte(i + 1) << 8 : 0);
    text.push_back(kAlphabet[triple >> 18 & 63]);
    text.push_back(kAlphabet[triple >> 12 & 63]);
    text.push_back(rest == 2 ? kAlphabet[triple >> 6 & 63] : '=');
    text.push_back('=');
  }
  return text;
}

std::optional<std::string> Base64Decode(std::string_view text) {
  if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos) {
    text = text.substr(0, nul);
  }
  if (text.size() % 4 != 0) return std::nullopt;
  std::size_t padding = 0;
  if (!text.empty() && text.back() == '=') padding = text[text.size() - 2] == '=' ? 2 : 1;

  std::string bytes;
  bytes.reserve(text.size() / 4 * 3);
  const std::size_t significant = text.size() - padding;
  std::uint32_t bits = 0;
  int bit_count = 0;
  for (std::size_t i = 0; i < significant; ++i) {
    const std::int8_t value = kDecode[static_cast<unsigned char>(text[i])];
    if (value < 0) return std::nullopt;
    bits = bits << 6 | static_cast<std::uint32_t>(value);
    bit_count += 6;
    if (bit_count >= 8) {
      bit_count -= 8;
      bytes.push_back(static_cast<char>(bits >> bit_count & 0xFF));
    }
  }
  return bytes;
}

}  // namespace base
