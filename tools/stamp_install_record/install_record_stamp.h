// Stamps an install record onto a copy of the installer: the record's JSON,
// NUL-padded, followed by a 40-byte trailer (magic F4 0E, the padded length,
// the MD5 of the padded JSON as 32 upper-case hex digits, 00 01). The
// installer reads it back from the end of its own file at start-up.
//
// When the installer is signed, its attribute-certificate table must reach
// the end of the file; it is grown to take the record in, so the signature
// stays valid. Platform-free.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace stamp {

inline constexpr std::size_t kTrailerSize = 40;

// The record as it is appended: the JSON, at least one NUL, padded so that the
// whole record is a multiple of 8 bytes (certificate-table entries are
// 8-byte aligned).
std::string BuildInstallRecord(std::string_view json);

// True when `image` already ends in a record whose length and MD5 check out.
bool HasInstallRecord(std::string_view image);

// Appends the record to `image`, growing the certificate table when the image
// is signed. Returns an error text, empty on success; a signed image whose
// certificate table cannot be grown is an error and stays as it was.
std::string StampImage(std::string& image, std::string_view json);

// Reads `installer` and `json_file`, writes the stamped copy to `output`.
// Refuses a record that is not a JSON object and an installer that already
// carries a record. Returns an error text, empty on success.
std::string StampFile(const std::filesystem::path& installer, const std::filesystem::path& json_file,
                      const std::filesystem::path& output);

}  // namespace stamp
