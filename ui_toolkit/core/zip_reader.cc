#include "ui_toolkit/core/zip_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "base/product_log.h"
#include "base/scoped_handle.h"

namespace SkinUI {
namespace {

constexpr uint32_t kEndRecordSignature = 0x06054b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kCentralEntrySize = 46;
constexpr size_t kLocalHeaderSize = 30;
// The end record is followed by a comment of at most 65,535 bytes.
constexpr uint64_t kEndRecordSearch = kEndRecordSize + 0xFFFF;
// Larger central directories would mean tens of thousands of long names: no skin.
constexpr uint32_t kMaxCentralDirectory = 16u << 20;
constexpr size_t kInputBlock = 16384;
constexpr int kEncryptionHeader = 12;
constexpr uint16_t kFlagEncrypted = 0x1;
constexpr uint16_t kFlagDataDescriptor = 0x8;
// Deflate cannot expand data by more than about 1032 to 1.
constexpr uint64_t kMaxInflateRatio = 1032;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

class ZipSource {
 public:
  virtual ~ZipSource() = default;
  virtual uint64_t Size() const = 0;
  // Bytes actually read: fewer than |n| only at the end or on a read error.
  virtual size_t ReadAt(uint64_t position, void* out, size_t n) = 0;

  bool ReadExact(uint64_t position, void* out, size_t n) { return ReadAt(position, out, n) == n; }
};

class MemorySource : public ZipSource {
 public:
  MemorySource(const uint8_t* bytes, uint64_t length) : bytes_(bytes), length_(length) {}
  uint64_t Size() const override { return length_; }
  size_t ReadAt(uint64_t position, void* out, size_t n) override {
    if (position >= length_) return 0;
    const size_t available = static_cast<size_t>(std::min<uint64_t>(n, length_ - position));
    std::memcpy(out, bytes_ + position, available);
    return available;
  }

 private:
  const uint8_t* bytes_;
  uint64_t length_;
};

class FileSource : public ZipSource {
 public:
  FileSource(base::ScopedKernelHandle file, uint64_t size) : file_(std::move(file)), size_(size) {}
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t position, void* out, size_t n) override {
    if (position >= size_) return 0;
    n = static_cast<size_t>(std::min<uint64_t>(n, size_ - position));
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(position);
    if (!::SetFilePointerEx(file_.Get(), to, nullptr, FILE_BEGIN)) return 0;
    size_t done = 0;
    while (done < n) {
      DWORD got = 0;
      const DWORD want = static_cast<DWORD>(std::min<size_t>(n - done, 1u << 30));
      if (!::ReadFile(file_.Get(), static_cast<uint8_t*>(out) + done, want, &got, nullptr) || got == 0) break;
      done += got;
    }
    return done;
  }

 private:
  base::ScopedKernelHandle file_;
  uint64_t size_;
};

struct CentralEntry {
  uint16_t version_made_by;
  uint16_t flags;
  uint16_t method;
  uint32_t dos_time;
  uint32_t crc;
  uint32_t compressed_size;
  uint32_t uncompressed_size;
  uint32_t external_attributes;
  uint32_t local_offset;
  std::string name;  // stored bytes, UTF-8
};

// Where an entry's data lies, once its local header has been checked.
struct EntryData {
  uint64_t start = 0;
  std::vector<uint8_t> local_extra;
};

// The traditional PKWARE stream cipher.
class ZipCipher {
 public:
  explicit ZipCipher(const std::string& password) {
    for (const char c : password) Update(static_cast<uint8_t>(c));
  }
  uint8_t Decrypt(uint8_t c) {
    const uint32_t t = (keys_[2] & 0xFFFF) | 2;
    const uint8_t plain = c ^ static_cast<uint8_t>((t * (t ^ 1)) >> 8);
    Update(plain);
    return plain;
  }

 private:
  static uint32_t Crc(uint32_t crc, uint8_t b) { return kTable[(crc ^ b) & 0xFF] ^ (crc >> 8); }
  void Update(uint8_t b) {
    keys_[0] = Crc(keys_[0], b);
    keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
    keys_[2] = Crc(keys_[2], static_cast<uint8_t>(keys_[1] >> 24));
  }
  static inline const z_crc_t* const kTable = get_crc_table();
  uint32_t keys_[3] = {0x12345678, 0x23456789, 0x34567890};
};

struct OpenEntry {
  OpenEntry() { std::memset(&stream, 0, sizeof(stream)); }
  ~OpenEntry() {
    if (inflating) inflateEnd(&stream);
  }
  OpenEntry(const OpenEntry&) = delete;
  OpenEntry& operator=(const OpenEntry&) = delete;

  std::unique_ptr<uint8_t[]> input{new uint8_t[kInputBlock]};
  size_t input_at = 0;
  size_t input_end = 0;
  z_stream stream;
  bool inflating = false;
  uint64_t next_position = 0;
  uint64_t compressed_left = 0;
  uint64_t uncompressed_left = 0;
  uint16_t method = 0;
  std::unique_ptr<ZipCipher> cipher;
  int header_left = 0;
  uint8_t check_byte = 0;
  uint32_t crc = 0;
  uint32_t expected_crc = 0;
};

}  // namespace

struct ZipArchiveUI {
  std::unique_ptr<ZipSource> source;
  uint64_t bytes_before = 0;
  std::vector<CentralEntry> entries;
  std::unique_ptr<OpenEntry> open;
  int open_index = -1;
  ZipItemRecordUI cached_record;
  int cached_index = -1;
  bool has_password = false;
  std::string password;
};

namespace {

// Finds the end record nearest the end of the source that describes a
// consistent directory, and reads the directory.
bool ReadDirectory(ZipArchiveUI& zip, const char** why) {
  ZipSource& source = *zip.source;
  const uint64_t size = source.Size();
  if (size < kEndRecordSize) {
    *why = "too short";
    return false;
  }
  const uint64_t tail_start = size - std::min(size, kEndRecordSearch);
  std::vector<uint8_t> tail(static_cast<size_t>(size - tail_start));
  if (!source.ReadExact(tail_start, tail.data(), tail.size())) {
    *why = "cannot read the end of the archive";
    return false;
  }
  *why = "no end record";
  for (size_t at = tail.size() - kEndRecordSize + 1; at-- > 0;) {
    const uint8_t* r = tail.data() + at;
    if (U32(r) != kEndRecordSignature) continue;
    const uint16_t disk = U16(r + 4), directory_disk = U16(r + 6);
    const uint16_t entries_here = U16(r + 8), entries_total = U16(r + 10);
    const uint32_t directory_size = U32(r + 12), directory_offset = U32(r + 16);
    const uint64_t record_position = tail_start + at;
    if (disk != 0 || directory_disk != 0 || entries_here != entries_total ||
        record_position < static_cast<uint64_t>(directory_offset) + directory_size) {
      *why = "inconsistent end record";
      continue;
    }
    if (directory_size > kMaxCentralDirectory) {
      *why = "central directory too large";
      return false;
    }
    zip.bytes_before = record_position - (static_cast<uint64_t>(directory_offset) + directory_size);
    std::vector<uint8_t> directory(directory_size);
    if (!source.ReadExact(zip.bytes_before + directory_offset, directory.data(), directory.size())) {
      *why = "cannot read the central directory";
      return false;
    }
    zip.entries.reserve(entries_total);
    size_t p = 0;
    for (int i = 0; i < entries_total; ++i) {
      if (directory.size() - p < kCentralEntrySize || U32(&directory[p]) != kCentralSignature) {
        *why = "bad central directory entry";
        return false;
      }
      const uint8_t* e = &directory[p];
      const size_t name_length = U16(e + 28), extra_length = U16(e + 30), comment_length = U16(e + 32);
      const size_t total = kCentralEntrySize + name_length + extra_length + comment_length;
      if (directory.size() - p < total) {
        *why = "central directory entry runs past the directory";
        return false;
      }
      CentralEntry entry;
      entry.version_made_by = U16(e + 4);
      entry.flags = U16(e + 8);
      entry.method = U16(e + 10);
      entry.dos_time = U32(e + 12);
      entry.crc = U32(e + 16);
      entry.compressed_size = U32(e + 20);
      entry.uncompressed_size = U32(e + 24);
      entry.external_attributes = U32(e + 38);
      entry.local_offset = U32(e + 42);
      entry.name.assign(reinterpret_cast<const char*>(e + kCentralEntrySize), name_length);
      zip.entries.push_back(std::move(entry));
      p += total;
    }
    return true;
  }
  return false;
}

ZipHandleUI* Open(std::unique_ptr<ZipSource> source, const char* password, const wchar_t* what) {
  try {
    auto zip = std::make_unique<ZipArchiveUI>();
    zip->source = std::move(source);
    if (password != nullptr) {
      zip->has_password = true;
      zip->password = password;
    }
    const char* why = "";
    if (!ReadDirectory(*zip, &why)) {
      PRODUCT_LOG("zip {} not opened: {}", what == nullptr ? "in memory" : "file", why);
      return nullptr;
    }
    auto* handle = new ZipHandleUI;
    handle->archive = zip.release();
    return handle;
  } catch (const std::bad_alloc&) {
    PRODUCT_LOG("zip not opened: out of memory");
    return nullptr;
  }
}

uint32_t CheckHandle(const ZipHandleUI* zip) {
  if (zip == nullptr) return kZipBadArgument;
  if (zip->kind != ZipHandleUI::kOpenArchive || zip->archive == nullptr) return kZipNotOpen;
  return kZipOk;
}

// Checks the entry's local header against the directory and the source,
// and finds where its data starts.
uint32_t CheckLocalHeader(ZipArchiveUI& zip, const CentralEntry& entry, EntryData* data) {
  uint8_t h[kLocalHeaderSize];
  const uint64_t at = zip.bytes_before + entry.local_offset;
  if (!zip.source->ReadExact(at, h, sizeof(h)) || U32(h) != kLocalSignature) return kZipBadEntry;
  const uint16_t flags = U16(h + 6), method = U16(h + 8);
  if (method != entry.method || (method != 0 && method != 8)) return kZipBadEntry;
  if ((flags & kFlagDataDescriptor) == 0 &&
      (U32(h + 14) != entry.crc || U32(h + 18) != entry.compressed_size || U32(h + 22) != entry.uncompressed_size)) {
    return kZipBadEntry;
  }
  const uint16_t name_length = U16(h + 26), extra_length = U16(h + 28);
  if (name_length != entry.name.size()) return kZipBadEntry;

  // Sizes the source cannot back are lies: refuse them before anyone
  // allocates or reads by them.
  const bool encrypted = (entry.flags & kFlagEncrypted) != 0;
  if (encrypted && entry.compressed_size < kEncryptionHeader) return kZipBadEntry;
  const uint64_t start = at + kLocalHeaderSize + name_length + extra_length;
  const uint64_t payload = entry.compressed_size - (encrypted ? kEncryptionHeader : 0);
  if (entry.uncompressed_size > kZipMaxItemSize) return kZipBadEntry;
  if (start > zip.source->Size() || zip.source->Size() - start < entry.compressed_size) return kZipBadEntry;
  if (method == 0 && payload != entry.uncompressed_size) return kZipBadEntry;
  if (method == 8 && entry.uncompressed_size > 0 && payload * kMaxInflateRatio < entry.uncompressed_size) {
    return kZipBadEntry;
  }

  data->start = start;
  data->local_extra.resize(extra_length);
  if (extra_length > 0 && !zip.source->ReadExact(at + kLocalHeaderSize + name_length, data->local_extra.data(),
                                                 extra_length)) {
    return kZipBadExtra;
  }
  return kZipOk;
}

// Drops drive prefixes, leading separators and everything up to a parent
// folder component, so a stored name never points outside its folder.
std::wstring CleanName(std::wstring name) {
  for (;;) {
    if (name.size() >= 2 && name[1] == L':') {
      name.erase(0, 2);
      continue;
    }
    if (!name.empty() && (name[0] == L'\\' || name[0] == L'/')) {
      name.erase(0, 1);
      continue;
    }
    size_t found = std::wstring::npos;
    for (const wchar_t* parent : {L"\\..\\", L"\\../", L"/../", L"/..\\"}) {
      found = name.find(parent);
      if (found != std::wstring::npos) break;
    }
    if (found == std::wstring::npos) return name;
    name.erase(0, found + 4);
  }
}

FILETIME UnixToFileTime(uint32_t seconds) {
  const uint64_t ticks = (static_cast<uint64_t>(seconds) + 11644473600ull) * 10000000ull;
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

void BuildRecord(const CentralEntry& entry, const EntryData& data, int index, ZipItemRecordUI* record) {
  *record = ZipItemRecordUI{};
  record->index = index;

  const std::string stored = entry.name.substr(0, MAX_PATH - 1);
  std::wstring name(stored.size() + 1, L'\0');
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, stored.data(), static_cast<int>(stored.size()), name.data(),
                                      static_cast<int>(name.size()));
  name.resize(n > 0 ? static_cast<size_t>(n) : 0);
  name = CleanName(name);
  const size_t copied = std::min(name.size(), static_cast<size_t>(MAX_PATH - 1));
  std::wmemcpy(record->name, name.data(), copied);
  record->name[copied] = L'\0';

  const uint8_t host = static_cast<uint8_t>(entry.version_made_by >> 8);
  if (host == 0 || host == 7 || host == 11 || host == 14) {
    record->attributes = entry.external_attributes & 0xFF;
  } else {
    record->attributes = FILE_ATTRIBUTE_ARCHIVE;
    if (entry.external_attributes & 0x40000000) record->attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if ((entry.external_attributes & 0x00800000) == 0) record->attributes |= FILE_ATTRIBUTE_READONLY;
  }

  FILETIME local{}, utc{};
  if (::DosDateTimeToFileTime(static_cast<WORD>(entry.dos_time >> 16), static_cast<WORD>(entry.dos_time), &local) &&
      ::LocalFileTimeToFileTime(&local, &utc)) {
    record->access_time = record->creation_time = record->modification_time = utc;
  }

  // Extended timestamps: every block and every time must lie inside the field.
  const std::vector<uint8_t>& extra = data.local_extra;
  for (size_t p = 0; extra.size() - p >= 4;) {
    const uint16_t tag = U16(&extra[p]);
    const size_t length = U16(&extra[p + 2]);
    if (extra.size() - p - 4 < length) break;
    if (tag == 0x5455 && length >= 1) {
      const uint8_t* block = &extra[p + 4];
      const uint8_t which = block[0];
      size_t q = 1;
      FILETIME* targets[] = {&record->modification_time, &record->access_time, &record->creation_time};
      for (int bit = 0; bit < 3; ++bit) {
        if ((which & (1 << bit)) == 0) continue;
        if (length - q < 4) break;
        *targets[bit] = UnixToFileTime(U32(block + q));
        q += 4;
      }
      break;
    }
    p += 4 + length;
  }

  record->compressed_size = entry.compressed_size;
  record->uncompressed_size = entry.uncompressed_size;
}

void CloseEntry(ZipArchiveUI& zip) {
  zip.open.reset();
  zip.open_index = -1;
}

uint32_t OpenEntryAt(ZipArchiveUI& zip, int index) {
  CloseEntry(zip);
  const CentralEntry& entry = zip.entries[index];
  EntryData data;
  if (CheckLocalHeader(zip, entry, &data) != kZipOk) return kZipFailed;
  auto open = std::make_unique<OpenEntry>();
  open->method = entry.method;
  open->next_position = data.start;
  open->compressed_left = entry.compressed_size;
  open->uncompressed_left = entry.uncompressed_size;
  open->expected_crc = entry.crc;
  if (entry.method == 8) {
    if (inflateInit2(&open->stream, -MAX_WBITS) != Z_OK) return kZipFailed;
    open->inflating = true;
  }
  if (entry.flags & kFlagEncrypted) {
    open->cipher = std::make_unique<ZipCipher>(zip.password);
    open->header_left = kEncryptionHeader;
    open->check_byte = (entry.flags & kFlagDataDescriptor) ? static_cast<uint8_t>(entry.dos_time >> 8)
                                                           : static_cast<uint8_t>(entry.crc >> 24);
  }
  zip.open = std::move(open);
  zip.open_index = index;
  return kZipOk;
}

enum class ReadResult { kEnd, kMore, kPassword, kFailed };

ReadResult ReadEntry(ZipArchiveUI& zip, uint8_t* out, uint32_t length, uint32_t* delivered) {
  OpenEntry& e = *zip.open;
  *delivered = 0;
  const uint32_t wanted = static_cast<uint32_t>(std::min<uint64_t>(length, e.uncompressed_left));
  if (wanted == 0) return ReadResult::kFailed;
  uint32_t done = 0;
  bool stream_end = false;
  while (done < wanted && !stream_end) {
    if (e.input_at == e.input_end && e.compressed_left > 0) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(kInputBlock, e.compressed_left));
      const size_t got = zip.source->ReadAt(e.next_position, e.input.get(), n);
      if (got == 0) return ReadResult::kFailed;
      e.next_position += got;
      e.compressed_left -= got;
      e.input_at = 0;
      e.input_end = got;
      if (e.cipher) {
        for (size_t i = 0; i < got; ++i) e.input[i] = e.cipher->Decrypt(e.input[i]);
      }
    }
    while (e.header_left > 0 && e.input_at < e.input_end) {
      const uint8_t b = e.input[e.input_at++];
      if (--e.header_left == 0 && b != e.check_byte) return ReadResult::kPassword;
    }
    const size_t available = e.input_end - e.input_at;
    if (available == 0 && e.compressed_left == 0 && e.method == 0) {
      return ReadResult::kFailed;  // stored data ends before its declared size
    }
    uint32_t produced = 0;
    if (e.method == 0) {
      produced = static_cast<uint32_t>(std::min<size_t>(available, wanted - done));
      std::memcpy(out + done, e.input.get() + e.input_at, produced);
      e.input_at += produced;
    } else {
      e.stream.next_in = e.input.get() + e.input_at;
      e.stream.avail_in = static_cast<uInt>(available);
      e.stream.next_out = out + done;
      e.stream.avail_out = wanted - done;
      const int rc = inflate(&e.stream, Z_SYNC_FLUSH);
      produced = (wanted - done) - e.stream.avail_out;
      e.input_at = e.input_end - e.stream.avail_in;
      if (rc == Z_STREAM_END) {
        stream_end = true;
      } else if (rc == Z_BUF_ERROR) {
        // No progress possible: the compressed data ran out mid-stream.
        if (e.compressed_left == 0 && e.input_at == e.input_end) return ReadResult::kFailed;
      } else if (rc != Z_OK) {
        return ReadResult::kFailed;
      }
    }
    e.crc = static_cast<uint32_t>(crc32(e.crc, out + done, produced));
    done += produced;
    e.uncompressed_left -= produced;
    *delivered = done;
  }
  if (stream_end && e.uncompressed_left != 0) return ReadResult::kFailed;  // shorter than declared
  if (e.uncompressed_left == 0) {
    return e.crc == e.expected_crc ? ReadResult::kEnd : ReadResult::kFailed;
  }
  return ReadResult::kMore;
}

bool MatchName(const std::string& stored, const std::string& wanted, bool ignore_case) {
  if (stored.size() != wanted.size()) return false;
  for (size_t i = 0; i < stored.size(); ++i) {
    char a = stored[i], b = wanted[i];
    if (ignore_case) {
      if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
      if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
    }
    if (a != b) return false;
  }
  return true;
}

}  // namespace

ZipHandleUI* ZipOpenFromFile(const wchar_t* path, const char* password) {
  if (path == nullptr) return nullptr;
  base::ScopedKernelHandle file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file.IsValid() || !::GetFileSizeEx(file.Get(), &size)) return nullptr;
  return Open(std::make_unique<FileSource>(std::move(file), static_cast<uint64_t>(size.QuadPart)), password, path);
}

ZipHandleUI* ZipOpenFromMemory(const void* bytes, uint32_t length, const char* password) {
  if (bytes == nullptr) return nullptr;
  return Open(std::make_unique<MemorySource>(static_cast<const uint8_t*>(bytes), length), password, nullptr);
}

uint32_t ZipFindItem(ZipHandleUI* handle, const wchar_t* name, bool ignore_case, int* index, ZipItemRecordUI* item) {
  if (index != nullptr) *index = -1;
  if (item != nullptr) *item = ZipItemRecordUI{};
  if (const uint32_t rc = CheckHandle(handle); rc != kZipOk) return rc;
  if (name == nullptr || index == nullptr) return kZipBadArgument;
  ZipArchiveUI& zip = *handle->archive;
  CloseEntry(zip);

  char wanted[256];
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, name, -1, wanted, sizeof(wanted), nullptr, nullptr);
  if (n <= 0) return kZipNotFound;  // longer than 255 bytes, or not convertible
  const std::string query(wanted, static_cast<size_t>(n - 1));

  for (size_t i = 0; i < zip.entries.size(); ++i) {
    if (!MatchName(zip.entries[i].name, query, ignore_case)) continue;
    const int found = static_cast<int>(i);
    if (zip.cached_index != found) {
      EntryData data;
      if (const uint32_t rc = CheckLocalHeader(zip, zip.entries[i], &data); rc != kZipOk) return rc;
      BuildRecord(zip.entries[i], data, found, &zip.cached_record);
      zip.cached_index = found;
    }
    *index = found;
    if (item != nullptr) *item = zip.cached_record;
    return kZipOk;
  }
  return kZipNotFound;
}

uint32_t ZipUnzipItem(ZipHandleUI* handle, int index, void* buffer, uint32_t length) {
  if (const uint32_t rc = CheckHandle(handle); rc != kZipOk) return rc;
  ZipArchiveUI& zip = *handle->archive;
  if (index < 0 || static_cast<size_t>(index) >= zip.entries.size() || (buffer == nullptr && length > 0)) {
    return kZipBadArgument;
  }
  try {
    if (zip.open_index != index) {
      if (OpenEntryAt(zip, index) != kZipOk) {
        CloseEntry(zip);
        return kZipFailed;
      }
    }
    uint32_t delivered = 0;
    switch (ReadEntry(zip, static_cast<uint8_t*>(buffer), length, &delivered)) {
      case ReadResult::kEnd:
        return kZipOk;
      case ReadResult::kMore:
        return kZipMore;
      case ReadResult::kPassword:
        CloseEntry(zip);
        return kZipPassword;
      case ReadResult::kFailed:
        break;
    }
  } catch (const std::bad_alloc&) {
  }
  CloseEntry(zip);
  return kZipFailed;
}

uint32_t ZipClose(ZipHandleUI* handle) {
  if (const uint32_t rc = CheckHandle(handle); rc != kZipOk) return rc;
  delete handle->archive;
  handle->archive = nullptr;
  delete handle;
  return kZipOk;
}

}  // namespace SkinUI
