// Read-only access to the skin's zip archive (classic zip, entries stored or
// deflated, optionally with the traditional PKWARE encryption), from a file or
// from bytes held in memory. Everything in an archive is treated as hostile:
// every size, offset and length is checked against the source before use.
#pragma once

#include <windows.h>

#include <cstdint>

namespace SkinUI {

// Results of the operations below; 0 is success.
inline constexpr uint32_t kZipOk = 0;
inline constexpr uint32_t kZipNotFound = 0x500;
inline constexpr uint32_t kZipMore = 0x600;         // buffer filled, more data follows
inline constexpr uint32_t kZipBadEntry = 0x700;     // local header disagrees, or unknown method
inline constexpr uint32_t kZipBadExtra = 0x800;     // the local extra field cannot be read
inline constexpr uint32_t kZipPassword = 0x1000;    // wrong password
inline constexpr uint32_t kZipBadArgument = 0x10000;
inline constexpr uint32_t kZipNotOpen = 0x80000;
inline constexpr uint32_t kZipFailed = 0x5000000;   // the entry could not be opened or read

// Items above this size are refused: loaders allocate an item's whole size,
// and no skin file comes near it.
inline constexpr uint32_t kZipMaxItemSize = 64u << 20;

struct ZipArchiveUI;

struct ZipHandleUI {
  static constexpr uint32_t kOpenArchive = 1;
  uint32_t kind = kOpenArchive;
  ZipArchiveUI* archive = nullptr;
};

struct ZipItemRecordUI {
  int index = -1;
  wchar_t name[MAX_PATH] = {};
  DWORD attributes = 0;
  FILETIME access_time = {};
  FILETIME creation_time = {};
  FILETIME modification_time = {};
  uint32_t compressed_size = 0;
  uint32_t uncompressed_size = 0;
};

// Null when the archive cannot be opened. |password| may be null.
ZipHandleUI* ZipOpenFromFile(const wchar_t* path, const char* password);
// The bytes are read in place and must outlive the handle.
ZipHandleUI* ZipOpenFromMemory(const void* bytes, uint32_t length, const char* password);

// Looks up a stored name (UTF-8 of |name|, at most 255 bytes); with
// |ignore_case| ASCII letters match either case. On any failure |*index| is -1
// and |item| is cleared.
uint32_t ZipFindItem(ZipHandleUI* zip, const wchar_t* name, bool ignore_case, int* index,
                     ZipItemRecordUI* item);
// Decompresses entry |index| into |buffer|: kZipOk at the entry's end,
// kZipMore when the buffer filled first (the next call with the same index
// continues).
uint32_t ZipUnzipItem(ZipHandleUI* zip, int index, void* buffer, uint32_t length);
uint32_t ZipClose(ZipHandleUI* zip);

}  // namespace SkinUI
