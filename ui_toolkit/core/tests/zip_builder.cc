#include "ui_toolkit/core/tests/zip_builder.h"

#include <zlib.h>

#include <stdexcept>

namespace SkinUI::testing {
namespace {

void AddU16(std::string& out, uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}

void AddU32(std::string& out, uint32_t v) {
  AddU16(out, static_cast<uint16_t>(v));
  AddU16(out, static_cast<uint16_t>(v >> 16));
}

class Encryptor {
 public:
  explicit Encryptor(const std::string& password) {
    for (char c : password) Update(static_cast<uint8_t>(c));
  }
  uint8_t Encrypt(uint8_t plain) {
    const uint32_t t = (keys_[2] & 0xFFFF) | 2;
    const uint8_t c = plain ^ static_cast<uint8_t>((t * (t ^ 1)) >> 8);
    Update(plain);
    return c;
  }

 private:
  void Update(uint8_t b) {
    keys_[0] = static_cast<uint32_t>(~crc32(~keys_[0], &b, 1));
    keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
    const uint8_t high = static_cast<uint8_t>(keys_[1] >> 24);
    keys_[2] = static_cast<uint32_t>(~crc32(~keys_[2], &high, 1));
  }
  uint32_t keys_[3] = {0x12345678, 0x23456789, 0x34567890};
};

}  // namespace

std::string Deflate(const std::string& data) {
  z_stream s{};
  if (deflateInit2(&s, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::runtime_error("deflate");
  std::string out(deflateBound(&s, data.size()) + 16, '\0');
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  s.avail_in = static_cast<uInt>(data.size());
  s.next_out = reinterpret_cast<Bytef*>(out.data());
  s.avail_out = static_cast<uInt>(out.size());
  if (deflate(&s, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

void PutU16(std::string& bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>(value >> 8);
}

void PutU32(std::string& bytes, size_t at, uint32_t value) {
  PutU16(bytes, at, static_cast<uint16_t>(value));
  PutU16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

uint32_t GetU32(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(bytes[at + i]);
  return v;
}

BuiltZip BuildZip(const std::vector<ZipEntrySpec>& entries, const std::string& comment, const std::string& prefix) {
  BuiltZip zip;
  std::string archive;
  std::string directory;
  for (const ZipEntrySpec& e : entries) {
    const uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size())));
    std::string payload = e.method == 8 ? Deflate(e.data) : e.data;
    uint16_t flags = e.data_descriptor ? 0x8 : 0;
    if (!e.password.empty()) {
      flags |= 0x1;
      Encryptor enc(e.password);
      std::string header = "0123456789a";
      header.push_back(static_cast<char>(e.data_descriptor ? (e.dos_time >> 8) & 0xFF : crc >> 24));
      std::string sealed;
      for (char c : header + payload) sealed.push_back(static_cast<char>(enc.Encrypt(static_cast<uint8_t>(c))));
      payload = sealed;
    }
    ZipEntryLayout layout;
    layout.local_header = prefix.size() + archive.size();
    const uint32_t local_offset = static_cast<uint32_t>(archive.size());
    AddU32(archive, 0x04034b50);
    AddU16(archive, 20);
    AddU16(archive, flags);
    AddU16(archive, e.method);
    AddU32(archive, e.dos_time);
    AddU32(archive, e.data_descriptor ? 0 : crc);
    AddU32(archive, e.data_descriptor ? 0 : static_cast<uint32_t>(payload.size()));
    AddU32(archive, e.data_descriptor ? 0 : static_cast<uint32_t>(e.data.size()));
    AddU16(archive, static_cast<uint16_t>(e.name.size()));
    AddU16(archive, static_cast<uint16_t>(e.local_extra.size()));
    archive += e.name + e.local_extra;
    layout.data = prefix.size() + archive.size();
    layout.data_size = payload.size();
    archive += payload;
    if (e.data_descriptor) {
      AddU32(archive, 0x08074b50);
      AddU32(archive, crc);
      AddU32(archive, static_cast<uint32_t>(payload.size()));
      AddU32(archive, static_cast<uint32_t>(e.data.size()));
    }

    layout.central_header = directory.size();  // made absolute below
    AddU32(directory, 0x02014b50);
    AddU16(directory, e.version_made_by);
    AddU16(directory, 20);
    AddU16(directory, flags);
    AddU16(directory, e.method);
    AddU32(directory, e.dos_time);
    AddU32(directory, crc);
    AddU32(directory, static_cast<uint32_t>(payload.size()));
    AddU32(directory, static_cast<uint32_t>(e.data.size()));
    AddU16(directory, static_cast<uint16_t>(e.name.size()));
    AddU16(directory, 0);  // extra
    AddU16(directory, 0);  // comment
    AddU16(directory, 0);  // disk
    AddU16(directory, 0);  // internal attributes
    AddU32(directory, e.external_attributes);
    AddU32(directory, local_offset);
    directory += e.name;
    zip.entries.push_back(layout);
  }
  const uint32_t directory_offset = static_cast<uint32_t>(archive.size());
  for (ZipEntryLayout& layout : zip.entries) layout.central_header += prefix.size() + directory_offset;
  archive += directory;
  zip.end_record = prefix.size() + archive.size();
  AddU32(archive, 0x06054b50);
  AddU16(archive, 0);
  AddU16(archive, 0);
  AddU16(archive, static_cast<uint16_t>(entries.size()));
  AddU16(archive, static_cast<uint16_t>(entries.size()));
  AddU32(archive, static_cast<uint32_t>(directory.size()));
  AddU32(archive, directory_offset);
  AddU16(archive, static_cast<uint16_t>(comment.size()));
  archive += comment;
  zip.bytes = prefix + archive;
  return zip;
}

}  // namespace SkinUI::testing
