// Builds zip archives byte by byte for the reader's tests, with every field
// under the test's control so that hostile variants are one edit away.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace SkinUI::testing {

struct ZipEntrySpec {
  std::string name{};
  std::string data{};
  uint16_t method = 8;               // 0 stored, 8 deflated; others are stored as given
  std::string password{};            // non-empty: traditional PKWARE encryption
  bool data_descriptor = false;      // flag bit 3 (sizes and CRC only in the directory)
  std::string local_extra{};         // the local header's extra field
  uint16_t version_made_by = 0x031E; // Unix, 3.0
  uint32_t external_attributes = 0100644u << 16;
  uint32_t dos_time = 0x5A8B6000;    // 2025-04-11 12:00:00
};

// Offsets of the pieces of one built entry, for tests that corrupt them.
struct ZipEntryLayout {
  size_t local_header = 0;
  size_t data = 0;
  size_t data_size = 0;
  size_t central_header = 0;
};

struct BuiltZip {
  std::string bytes;
  std::vector<ZipEntryLayout> entries;
  size_t end_record = 0;
};

BuiltZip BuildZip(const std::vector<ZipEntrySpec>& entries, const std::string& comment = "",
                  const std::string& prefix = "");

std::string Deflate(const std::string& data);
void PutU16(std::string& bytes, size_t at, uint16_t value);
void PutU32(std::string& bytes, size_t at, uint32_t value);
uint32_t GetU32(const std::string& bytes, size_t at);

}  // namespace SkinUI::testing
