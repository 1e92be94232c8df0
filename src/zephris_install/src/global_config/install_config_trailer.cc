#include "src/zephris_install/src/global_config/install_config_trailer.h"

#include <algorithm>
#include <cctype>

#include "base/md5.h"

std::optional<InstallConfigTrailer> ParseInstallConfigTrailer(
    const std::array<uint8_t, kInstallConfigTrailerSize>& bytes) {
  const uint16_t magic = static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
  const uint32_t length = static_cast<uint32_t>(bytes[2]) | (static_cast<uint32_t>(bytes[3]) << 8) |
                          (static_cast<uint32_t>(bytes[4]) << 16) | (static_cast<uint32_t>(bytes[5]) << 24);
  if (magic != kInstallConfigMagic || length == 0) return std::nullopt;
  // The digits end at the NUL at end - 2; without it they would run into the
  // last byte, and such a text can never match a digest.
  const auto digits_begin = bytes.begin() + 6;
  const auto digits_end = std::find(digits_begin, bytes.end() - 1, uint8_t{0});
  return InstallConfigTrailer{length, std::string(digits_begin, digits_end)};
}

bool InstallJsonMatches(const InstallConfigTrailer& trailer, std::string_view json_area) {
  const std::string digest = base::Md5Hex(json_area.data(), static_cast<uint32_t>(json_area.size()));
  return std::equal(digest.begin(), digest.end(), trailer.md5_hex.begin(), trailer.md5_hex.end(),
                    [](char a, char b) {
                      return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
                    });
}

std::string InstallJsonText(std::string_view json_area) { return std::string(json_area.substr(0, json_area.find('\0'))); }
