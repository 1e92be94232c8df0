// The archive formats the engine can be asked for: its handler number, the
// file extension, the default method and the creation properties it accepts.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace arc {

// Bits 8 and 32 are also set in the format table; no operation tests them.
enum FormatFeature : int32_t {
  MultipleFiles = 1,
  SolidArchive = 2,
  CompressionLevel = 4,
  HeaderEncryption = 16,
  MultipleMethods = 64,
};

enum class CompressionMethod : int32_t {
  Copy = 0,
  Deflate = 1,
  Deflate64 = 2,
  BZip2 = 3,
  LZMA = 4,
  LZMA2 = 5,
  PPMd = 6,
};

// The name the engine knows a method by; empty for a value outside the table.
std::wstring CompressionMethodName(CompressionMethod method);

class ArchiveFormat {
 public:
  ArchiveFormat(uint8_t id, std::wstring extension, CompressionMethod default_method, int32_t features);

  uint8_t Id() const noexcept { return id_; }
  const std::wstring& Extension() const noexcept { return extension_; }
  CompressionMethod DefaultMethod() const noexcept { return default_method_; }
  bool HasFeature(int32_t bits) const noexcept { return (features_ & bits & 0x7F) != 0; }

  // {23170F69-40C1-278A-1000-000110xx0000}, xx = the handler number.
  GUID ClassId() const noexcept;

  bool operator==(const ArchiveFormat& other) const noexcept { return id_ == other.id_; }

 private:
  uint8_t id_;
  std::wstring extension_;
  CompressionMethod default_method_;
  int32_t features_;
};

namespace ArchiveFormats {
extern const ArchiveFormat ZipFormat;
extern const ArchiveFormat BZip2Format;
extern const ArchiveFormat SevenZipFormat;
extern const ArchiveFormat XzFormat;
extern const ArchiveFormat WimFormat;
extern const ArchiveFormat TarFormat;
extern const ArchiveFormat GZipFormat;
}  // namespace ArchiveFormats

}  // namespace arc
