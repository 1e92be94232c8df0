#include "vireon_sdk/src/utils/utf8_string.h"

#include <stdexcept>

namespace vireon::utils {
namespace {

bool IsContinuation(uint8_t byte) { return byte >= 0x80 && byte <= 0xBF; }

// How many bytes follow `lead`, and the range the first of them must lie in;
// 0 followers with `valid` false marks a byte that cannot lead.
struct LeadRule {
  bool valid;
  int followers;
  uint8_t first_low;
  uint8_t first_high;
};

LeadRule RuleFor(uint8_t lead) {
  if (lead <= 0x7F) return {true, 0, 0, 0};
  if (lead <= 0xBF) return {false, 0, 0, 0};
  if (lead <= 0xDF) return {true, 1, 0x80, 0xBF};
  if (lead == 0xE0) return {true, 2, 0xA0, 0xBF};
  if (lead == 0xED) return {true, 2, 0x80, 0x9F};
  if (lead <= 0xEF) return {true, 2, 0x80, 0xBF};
  if (lead == 0xF0) return {true, 3, 0x90, 0xBF};
  if (lead <= 0xF3) return {true, 3, 0x80, 0xBF};
  if (lead == 0xF4) return {true, 3, 0x80, 0x8F};
  return {false, 0, 0, 0};
}

uint64_t CountCodePoints(std::string_view text) {
  uint64_t count = 0;
  for (size_t i = 0; i < text.size(); ++count) {
    const uint8_t lead = static_cast<uint8_t>(text[i]);
    const size_t step = lead >= 0xF0 && lead <= 0xF7 ? 4 : lead >= 0xE0 && lead <= 0xEF ? 3 : lead >= 0xC0 && lead <= 0xDF ? 2 : 1;
    i += step;
  }
  return count;
}

}  // namespace

bool IsWellFormedUtf8(std::string_view text) noexcept {
  size_t i = 0;
  while (i < text.size()) {
    const LeadRule rule = RuleFor(static_cast<uint8_t>(text[i]));
    if (!rule.valid) return false;
    if (rule.followers > 0) {
      if (text.size() - i - 1 < static_cast<size_t>(rule.followers)) return false;
      const uint8_t first = static_cast<uint8_t>(text[i + 1]);
      if (first < rule.first_low || first > rule.first_high) return false;
      for (int k = 2; k <= rule.followers; ++k) {
        if (!IsContinuation(static_cast<uint8_t>(text[i + k]))) return false;
      }
    }
    i += 1 + static_cast<size_t>(rule.followers);
  }
  return true;
}

void Utf8String::Assign(std::string_view text) {
  if (!IsWellFormedUtf8(text)) throw std::invalid_argument("Invalid UTF-8 string\n");
  text_.assign(text);
  length_ = CountCodePoints(text_);
}

}  // namespace vireon::utils
