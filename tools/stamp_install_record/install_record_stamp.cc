#include "tools/stamp_install_record/install_record_stamp.h"

#include <cstdint>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>

#include <nlohmann/json.hpp>

#include "base/md5.h"

namespace stamp {
namespace {

constexpr uint16_t kMagic = 0x0EF4;
constexpr std::size_t kCertificateTableIndex = 4;

uint32_t ReadU32(std::string_view bytes, std::size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

uint16_t ReadU16(std::string_view bytes, std::size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | (static_cast<uint8_t>(bytes[at + 1]) << 8));
}

void WriteU32(std::string& bytes, std::size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// Offset of the certificate table's entry in the PE data directory, when the
// image is a PE file that has one.
std::optional<std::size_t> CertificateDirectoryEntry(std::string_view image) {
  if (image.size() < 0x40 || image.substr(0, 2) != "MZ") return std::nullopt;
  const std::size_t pe = ReadU32(image, 0x3C);
  if (pe > image.size() || image.size() - pe < 24 + 2 || image.substr(pe, 4) != std::string_view("PE\0\0", 4)) {
    return std::nullopt;
  }
  const std::size_t optional_header = pe + 24;
  std::size_t count_at = 0;
  std::size_t directories_at = 0;
  switch (ReadU16(image, optional_header)) {
    case 0x10B:  // PE32
      count_at = optional_header + 92;
      directories_at = optional_header + 96;
      break;
    case 0x20B:  // PE32+
      count_at = optional_header + 108;
      directories_at = optional_header + 112;
      break;
    default:
      return std::nullopt;
  }
  const std::size_t entry = directories_at + kCertificateTableIndex * 8;
  if (entry + 8 > image.size() || ReadU32(image, count_at) <= kCertificateTableIndex) return std::nullopt;
  return entry;
}

// Grows a certificate table that ends where the file ends by `extra` bytes:
// the directory's size and the length of the table's last entry both take the
// record in. An unsigned image needs nothing. A signed image whose table
// cannot take the record is an error (the image is left as it was): appending
// anyway would leave bytes outside the signature and break it.
std::string GrowCertificateTable(std::string& image, std::size_t extra) {
  const std::optional<std::size_t> entry = CertificateDirectoryEntry(image);
  if (!entry) return std::string();
  const uint64_t table = ReadU32(image, *entry);
  const uint64_t size = ReadU32(image, *entry + 4);
  if (table == 0 && size == 0) return std::string();  // not signed
  const std::string cannot = "cannot extend the installer's certificate table to take the record in (";
  const std::string broken = "); the stamped copy's signature would be broken";
  if (table == 0 || size == 0 || table + size != image.size()) return cannot + "it does not end the file" + broken;

  // Walk the 8-byte aligned entries to the last one.
  uint64_t last = table;
  for (uint64_t at = table; at + 8 <= table + size;) {
    const uint32_t length = ReadU32(image, at);
    if (length < 8) return cannot + "an entry of " + std::to_string(length) + " bytes" + broken;
    last = at;
    at += (static_cast<uint64_t>(length) + 7) & ~uint64_t{7};
  }
  const uint64_t new_end = image.size() + extra;
  if (new_end - table > UINT32_MAX) return cannot + "it would exceed 4 GiB" + broken;
  WriteU32(image, *entry + 4, static_cast<uint32_t>(new_end - table));
  WriteU32(image, last, static_cast<uint32_t>(new_end - last));
  return std::string();
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

}  // namespace

std::string BuildInstallRecord(std::string_view json) {
  std::size_t area = json.size() + 1;
  area += (8 - (area + kTrailerSize) % 8) % 8;
  std::string record(json);
  record.resize(area, '\0');

  const std::string md5 = base::Md5Hex(record.data(), static_cast<uint32_t>(area));
  std::string trailer(kTrailerSize, '\0');
  trailer[0] = static_cast<char>(kMagic & 0xFF);
  trailer[1] = static_cast<char>(kMagic >> 8);
  WriteU32(trailer, 2, static_cast<uint32_t>(area));
  std::memcpy(trailer.data() + 6, md5.data(), 32);
  trailer[38] = '\0';
  trailer[39] = '\x01';
  return record + trailer;
}

bool HasInstallRecord(std::string_view image) {
  if (image.size() < kTrailerSize) return false;
  const std::string_view trailer = image.substr(image.size() - kTrailerSize);
  const uint32_t area = ReadU32(trailer, 2);
  if (ReadU16(trailer, 0) != kMagic || area == 0 || area > image.size() - kTrailerSize) return false;
  const std::string_view json = image.substr(image.size() - kTrailerSize - area, area);
  std::string digits(trailer.substr(6, 32));
  for (char& c : digits) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return trailer[38] == '\0' && digits == base::Md5Hex(json.data(), area);
}

std::string StampImage(std::string& image, std::string_view json) {
  const std::string record = BuildInstallRecord(json);
  if (record.size() > UINT32_MAX) return "the install record is too large";
  if (std::string error = GrowCertificateTable(image, record.size()); !error.empty()) return error;
  image += record;
  return std::string();
}

std::string StampFile(const std::filesystem::path& installer, const std::filesystem::path& json_file,
                      const std::filesystem::path& output) {
  std::optional<std::string> image = ReadWholeFile(installer);
  if (!image) return "cannot read " + installer.string();
  const std::optional<std::string> json = ReadWholeFile(json_file);
  if (!json) return "cannot read " + json_file.string();

  const nlohmann::json parsed = nlohmann::json::parse(*json, nullptr, /*allow_exceptions=*/false);
  if (!parsed.is_object()) return "the install record is not a JSON object: " + json_file.string();
  if (HasInstallRecord(*image)) return "the installer already carries an install record: " + installer.string();

  if (std::string error = StampImage(*image, *json); !error.empty()) return error;

  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  out.write(image->data(), static_cast<std::streamsize>(image->size()));
  out.close();
  if (!out) return "cannot write " + output.string();
  return std::string();
}

}  // namespace stamp
