#include "archive/archive_format.h"

#include <utility>

namespace arc {

std::wstring CompressionMethodName(CompressionMethod method) {
  switch (method) {
    case CompressionMethod::Copy: return L"Copy";
    case CompressionMethod::Deflate: return L"Deflate";
    case CompressionMethod::Deflate64: return L"Deflate64";
    case CompressionMethod::BZip2: return L"BZip2";
    case CompressionMethod::LZMA: return L"LZMA";
    case CompressionMethod::LZMA2: return L"LZMA2";
    case CompressionMethod::PPMd: return L"PPMd";
  }
  return {};
}

ArchiveFormat::ArchiveFormat(uint8_t id, std::wstring extension, CompressionMethod default_method,
                             int32_t features)
    : id_(id), extension_(std::move(extension)), default_method_(default_method), features_(features) {}

GUID ArchiveFormat::ClassId() const noexcept {
  return GUID{0x23170F69, 0x40C1, 0x278A, {0x10, 0x00, 0x00, 0x01, 0x10, id_, 0x00, 0x00}};
}

namespace ArchiveFormats {
const ArchiveFormat ZipFormat(1, L".zip", CompressionMethod::Deflate, 77);
const ArchiveFormat BZip2Format(2, L".bz2", CompressionMethod::BZip2, 36);
const ArchiveFormat SevenZipFormat(7, L".7z", CompressionMethod::LZMA2, 95);
const ArchiveFormat XzFormat(12, L".xz", CompressionMethod::LZMA2, 60);
const ArchiveFormat WimFormat(230, L".wim", CompressionMethod::Copy, 1);
const ArchiveFormat TarFormat(238, L".tar", CompressionMethod::Copy, 33);
const ArchiveFormat GZipFormat(239, L".gz", CompressionMethod::Deflate, 36);
}  // namespace ArchiveFormats

}  // namespace arc
