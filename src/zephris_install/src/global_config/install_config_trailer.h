// The 40 bytes at the very end of the installer that describe the stamped
// install record before them (L = the length of the JSON area):
//
//   end - 40 - L   L    the install record as UTF-8 JSON, NUL-padded to L
//   end - 40       2    magic 0x0EF4, little-endian (F4 0E)
//   end - 38       4    L, unsigned little-endian, never 0
//   end - 34       32   MD5 of the whole JSON area as hex digits, either case
//   end - 2        1    0x00, ends the digits
//   end - 1        1    not read
//
// Platform-free: only the layout, no file access.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::size_t kInstallConfigTrailerSize = 40;
inline constexpr uint16_t kInstallConfigMagic = 0x0EF4;

struct InstallConfigTrailer {
  uint32_t json_length = 0;  // L, padding included
  std::string md5_hex;       // the digits as stamped, up to their NUL
};

// Empty when the magic is wrong or L is 0.
std::optional<InstallConfigTrailer> ParseInstallConfigTrailer(
    const std::array<uint8_t, kInstallConfigTrailerSize>& bytes);

// The JSON area matches the trailer's digest (compared without regard to case).
bool InstallJsonMatches(const InstallConfigTrailer& trailer, std::string_view json_area);

// The record's text: the area up to its first NUL.
std::string InstallJsonText(std::string_view json_area);
