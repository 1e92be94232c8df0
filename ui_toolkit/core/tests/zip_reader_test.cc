#include "ui_toolkit/core/zip_reader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ui_toolkit/core/tests/zip_builder.h"

namespace SkinUI {
namespace {

using testing::BuildZip;
using testing::BuiltZip;
using testing::ZipEntrySpec;

struct ZipDeleter {
  void operator()(ZipHandleUI* zip) const { ZipClose(zip); }
};
using ScopedZip = std::unique_ptr<ZipHandleUI, ZipDeleter>;

// An archive in memory with the bytes it reads in place.
struct MemoryZip {
  std::unique_ptr<std::string> bytes;
  ScopedZip zip;
  ZipHandleUI* get() const { return zip.get(); }
  explicit operator bool() const { return zip != nullptr; }
};

MemoryZip OpenBytes(std::string bytes, const char* password = nullptr) {
  MemoryZip z{std::make_unique<std::string>(std::move(bytes)), nullptr};
  z.zip.reset(ZipOpenFromMemory(z.bytes->data(), static_cast<uint32_t>(z.bytes->size()), password));
  return z;
}

struct Found {
  uint32_t result;
  int index;
  ZipItemRecordUI item;
};

Found Find(ZipHandleUI* zip, const wchar_t* name, bool ignore_case = true) {
  Found f{};
  f.result = ZipFindItem(zip, name, ignore_case, &f.index, &f.item);
  return f;
}

// The whole item, as the toolkit's loaders read it.
uint32_t ReadItem(ZipHandleUI* zip, const wchar_t* name, std::string* out) {
  Found f = Find(zip, name);
  if (f.result != kZipOk) return f.result;
  out->assign(f.item.uncompressed_size, '\0');
  return ZipUnzipItem(zip, f.index, out->data(), f.item.uncompressed_size);
}

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  uint32_t x = 12345;
  for (auto& c : s) {
    x = x * 1103515245 + 12345;
    c = static_cast<char>('a' + (x >> 16) % 7);  // compressible, not trivially
  }
  return s;
}

TEST(ZipReaderTest, ReadsStoredAndDeflatedEntries) {
  const std::string big = Pattern(100000);
  BuiltZip zip = BuildZip({{.name = "skin/main.xml", .data = "<Window/>", .method = 0},
                           {.name = "skin/bg.png", .data = big, .method = 8},
                           {.name = "empty.txt", .data = "", .method = 0}});
  MemoryZip z = OpenBytes(zip.bytes);
  ASSERT_TRUE(z);
  std::string out;
  EXPECT_EQ(kZipOk, ReadItem(z.get(), L"skin/main.xml", &out));
  EXPECT_EQ("<Window/>", out);
  EXPECT_EQ(kZipOk, ReadItem(z.get(), L"skin/bg.png", &out));
  EXPECT_EQ(big, out);
  Found f = Find(z.get(), L"skin/bg.png");
  EXPECT_EQ(1, f.index);
  EXPECT_EQ(1, f.item.index);
  EXPECT_STREQ(L"skin/bg.png", f.item.name);
  EXPECT_EQ(100000u, f.item.uncompressed_size);
  EXPECT_EQ(zip.entries[1].data_size, f.item.compressed_size);
  // An item of 0 bytes delivers nothing, which the reader reports as failure.
  f = Find(z.get(), L"empty.txt");
  ASSERT_EQ(kZipOk, f.result);
  char byte;
  EXPECT_EQ(kZipFailed, ZipUnzipItem(z.get(), f.index, &byte, 1));
}

TEST(ZipReaderTest, NameMatching) {
  BuiltZip zip = BuildZip({{.name = "Skin/Bg.png", .data = "1"}, {.name = "\xC3\x84rger.png", .data = "2"}});
  MemoryZip z = OpenBytes(zip.bytes);
  ASSERT_TRUE(z);
  struct Case {
    const wchar_t* query;
    bool ignore_case;
    uint32_t want;
  } cases[] = {
      {L"Skin/Bg.png", false, kZipOk},
      {L"skin/bg.PNG", true, kZipOk},
      {L"skin/bg.PNG", false, kZipNotFound},
      {L"Skin\\Bg.png", true, kZipNotFound},  // separators are not normalised
      {L"\x00C4rger.png", false, kZipOk},
      {L"\x00E4rger.png", true, kZipNotFound},  // only ASCII letters fold
      {L"Skin/Bg", true, kZipNotFound},
      {L"", true, kZipNotFound},
  };
  for (const Case& c : cases) {
    Found f = Find(z.get(), c.query, c.ignore_case);
    EXPECT_EQ(c.want, f.result) << static_cast<int>(&c - cases);
    if (c.want != kZipOk) {
      EXPECT_EQ(-1, f.index);
      EXPECT_EQ(-1, f.item.index);
    }
  }
  const std::wstring too_long(256, L'a');
  EXPECT_EQ(kZipNotFound, Find(z.get(), too_long.c_str()).result);
}

TEST(ZipReaderTest, SmallBufferContinuesWhereItStopped) {
  const std::string data = Pattern(40000);
  for (uint16_t method : {0, 8}) {
    BuiltZip zip = BuildZip({{.name = "a.bin", .data = data, .method = method}});
    MemoryZip z = OpenBytes(zip.bytes);
    ASSERT_TRUE(z);
    Found f = Find(z.get(), L"a.bin");
    ASSERT_EQ(kZipOk, f.result);
    std::string out(15000, '\0'), all;
    EXPECT_EQ(kZipMore, ZipUnzipItem(z.get(), f.index, out.data(), 15000));
    all += out;
    EXPECT_EQ(kZipMore, ZipUnzipItem(z.get(), f.index, out.data(), 15000));
    all += out;
    EXPECT_EQ(kZipOk, ZipUnzipItem(z.get(), f.index, out.data(), 15000));
    all += out.substr(0, 10000);
    EXPECT_EQ(data, all) << "method " << method;
    // After the end there is nothing more to read.
    EXPECT_EQ(kZipFailed, ZipUnzipItem(z.get(), f.index, out.data(), 15000));
    // A fresh find starts the item again.
    EXPECT_EQ(kZipOk, ReadItem(z.get(), L"a.bin", &out));
    EXPECT_EQ(data, out);
  }
}

TEST(ZipReaderTest, UnknownMethodIsReportedByFindAndUnzip) {
  BuiltZip zip = BuildZip({{.name = "a.bin", .data = "xyz", .method = 12}, {.name = "b.bin", .data = "ok"}});
  MemoryZip z = OpenBytes(zip.bytes);
  ASSERT_TRUE(z);
  EXPECT_EQ(kZipBadEntry, Find(z.get(), L"a.bin").result);
  char buffer[8];
  EXPECT_EQ(kZipFailed, ZipUnzipItem(z.get(), 0, buffer, sizeof(buffer)));
  std::string out;
  EXPECT_EQ(kZipOk, ReadItem(z.get(), L"b.bin", &out));  // the archive stays usable
  EXPECT_EQ("ok", out);
}

TEST(ZipReaderTest, CommentOfMaximalLengthAndPrefixedArchives) {
  const std::string comment(65535, 'c');
  BuiltZip zip = BuildZip({{.name = "a.txt", .data = "alpha"}}, comment);
  std::string out;
  {
    MemoryZip z = OpenBytes(zip.bytes);
    ASSERT_TRUE(z) << "the end record lies 65,557 bytes before the end";
    EXPECT_EQ(kZipOk, ReadItem(z.get(), L"a.txt", &out));
    EXPECT_EQ("alpha", out);
  }
  // One byte more and the record lies farther back than any record can.
  EXPECT_FALSE(OpenBytes(zip.bytes + "x"));

  BuiltZip prefixed = BuildZip({{.name = "a.txt", .data = "alpha"}, {.name = "b.txt", .data = Pattern(5000)}}, "",
                               std::string(12345, '\x7F'));
  MemoryZip z = OpenBytes(prefixed.bytes);
  ASSERT_TRUE(z);
  EXPECT_EQ(kZipOk, ReadItem(z.get(), L"b.txt", &out));
  EXPECT_EQ(Pattern(5000), out);
}

TEST(ZipReaderTest, ReportedNamesAreCleaned) {
  struct Case {
    const char* stored;
    const wchar_t* reported;
  } cases[] = {
      {"C:\\a\\..\\b.png", L"b.png"},
      {"../x.png", L"../x.png"},
      {"/abs/p.png", L"abs/p.png"},
      {"x:/y:\\z.png", L"z.png"},
      {"a/../b/../c.png", L"c.png"},
      {"a/..\\b.png", L"b.png"},
  };
  std::vector<ZipEntrySpec> specs;
  for (const Case& c : cases) specs.push_back({.name = c.stored, .data = "d"});
  BuiltZip zip = BuildZip(specs);
  MemoryZip z = OpenBytes(zip.bytes);
  ASSERT_TRUE(z);
  for (const Case& c : cases) {
    std::wstring query(c.stored, c.stored + strlen(c.stored));
    Found f = Find(z.get(), query.c_str(), false);
    ASSERT_EQ(kZipOk, f.result) << c.stored;
    EXPECT_STREQ(c.reported, f.item.name) << c.stored;
  }
}

TEST(ZipReaderTest, AttributesFollowTheHostSystem) {
  struct Case {
    uint16_t made_by;
    uint32_t external;
    DWORD want;
  } cases[] = {
      {0x0014, 0x21, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY},            // MS-DOS
      {0x0B14, 0x16, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},  // NTFS
      {0x031E, 0100644u << 16, FILE_ATTRIBUTE_ARCHIVE},
      {0x031E, 0100444u << 16, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY},
      {0x031E, 040755u << 16, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_DIRECTORY},
  };
  std::vector<ZipEntrySpec> specs;
  for (size_t i = 0; i < std::size(cases); ++i) {
    specs.push_back({.name = "f" + std::to_string(i), .data = "d", .version_made_by = cases[i].made_by,
                     .external_attributes = cases[i].external});
  }
  MemoryZip z = OpenBytes(BuildZip(specs).bytes);
  ASSERT_TRUE(z);
  for (size_t i = 0; i < std::size(cases); ++i) {
    Found f = Find(z.get(), (L"f" + std::to_wstring(i)).c_str());
    ASSERT_EQ(kZipOk, f.result);
    EXPECT_EQ(cases[i].want, f.item.attributes) << i;
  }
}

uint64_t Ticks(const FILETIME& t) { return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

TEST(ZipReaderTest, TimesFromDosFieldsAndExtendedTimestamp) {
  std::string ut;  // "UT", length 9, flags: modification and access
  ut += "UT";
  ut += std::string("\x09\x00", 2);
  ut += '\x03';
  ut += std::string("\x00\xCA\x9A\x3B", 4);  // 1,000,000,000
  ut += std::string("\x01\x00\x00\x00", 4);  // 1
  std::string other("\x0A\x00\x04\x00zzzz", 8);  // an unrelated block first
  MemoryZip z = OpenBytes(BuildZip({{.name = "dos", .data = "d"}, {.name = "ut", .data = "d", .local_extra = other + ut}}).bytes);
  ASSERT_TRUE(z);

  Found dos = Find(z.get(), L"dos");
  ASSERT_EQ(kZipOk, dos.result);
  SYSTEMTIME local{};
  FILETIME as_utc{};
  ASSERT_TRUE(::FileTimeToLocalFileTime(&dos.item.modification_time, &as_utc));
  ASSERT_TRUE(::FileTimeToSystemTime(&as_utc, &local));
  EXPECT_EQ(2025, local.wYear);
  EXPECT_EQ(4, local.wMonth);
  EXPECT_EQ(11, local.wDay);
  EXPECT_EQ(12, local.wHour);
  EXPECT_EQ(0, local.wMinute);
  EXPECT_EQ(Ticks(dos.item.modification_time), Ticks(dos.item.creation_time));

  Found f = Find(z.get(), L"ut");
  ASSERT_EQ(kZipOk, f.result);
  EXPECT_EQ((1000000000ull + 11644473600ull) * 10000000ull, Ticks(f.item.modification_time));
  EXPECT_EQ((1ull + 11644473600ull) * 10000000ull, Ticks(f.item.access_time));
  EXPECT_EQ(Ticks(dos.item.creation_time), Ticks(f.item.creation_time));  // not given: DOS time stays
}

TEST(ZipReaderTest, ExtraFieldsThatRunPastTheirEndAreNotRead) {
  struct Case {
    std::string extra;
    bool modification_from_ut;
  } cases[] = {
      // A block that claims more bytes than the field holds ends the scan.
      {std::string("\x0A\x00\xE8\x03zzzz", 8) + std::string("UT\x05\x00\x01\x00\xCA\x9A\x3B", 9), false},
      // A timestamp block whose flags name three times but holds one.
      {std::string("UT\x05\x00\x07\x00\xCA\x9A\x3B", 9), true},
      // A timestamp block that claims more than the field holds.
      {std::string("UT\x0D\x00\x07\x00\xCA\x9A\x3B", 9), false},
      // A header cut in the middle.
      {std::string("UT\x05", 3), false},
  };
  for (const Case& c : cases) {
    MemoryZip z = OpenBytes(BuildZip({{.name = "a", .data = "d", .local_extra = c.extra}}).bytes);
    ASSERT_TRUE(z);
    Found f = Find(z.get(), L"a");
    ASSERT_EQ(kZipOk, f.result);
    const bool from_ut = Ticks(f.item.modification_time) == (1000000000ull + 11644473600ull) * 10000000ull;
    EXPECT_EQ(c.modification_from_ut, from_ut) << static_cast<int>(&c - cases);
    EXPECT_NE(Ticks(f.item.access_time), 11644473600ull * 10000000ull);
    std::string out;
    EXPECT_EQ(kZipOk, ReadItem(z.get(), L"a", &out));
    EXPECT_EQ("d", out);
  }
}

TEST(ZipReaderTest, EncryptedEntries) {
  const std::string secret = Pattern(20000);
  for (bool descriptor : {false, true}) {
    BuiltZip zip = BuildZip({{.name = "s.bin", .data = secret, .password = "pw", .data_descriptor = descriptor},
                             {.name = "t.bin", .data = "plain text", .method = 0, .password = "pw"}});
    std::string out;
    {
      MemoryZip z = OpenBytes(zip.bytes, "pw");
      ASSERT_TRUE(z);
      EXPECT_EQ(kZipOk, ReadItem(z.get(), L"s.bin", &out));
      EXPECT_EQ(secret, out);
      EXPECT_EQ(kZipOk, ReadItem(z.get(), L"t.bin", &out));
      EXPECT_EQ("plain text", out);
    }
    for (const char* wrong : {"px", "", static_cast<const char*>(nullptr)}) {
      MemoryZip z = OpenBytes(zip.bytes, wrong);
      ASSERT_TRUE(z);
      EXPECT_EQ(kZipPassword, ReadItem(z.get(), L"s.bin", &out));
    }
  }
}

std::wstring TestDataFolder() {
  const char* value = std::getenv("QL_UI_CORE_TEST_DATA");
  if (value == nullptr) return L"";
  std::string v(value);
  return L"Z:" + std::wstring(v.begin(), v.end());
}

TEST(ZipReaderTest, ReadsAnArchiveEncryptedByInfoZip) {
  const std::wstring folder = TestDataFolder();
  ASSERT_FALSE(folder.empty()) << "QL_UI_CORE_TEST_DATA is not set";
  ScopedZip z(ZipOpenFromFile((folder + L"\\info_zip_encrypted.zip").c_str(), "pass word"));
  ASSERT_TRUE(z);
  std::string out;
  EXPECT_EQ(kZipOk, ReadItem(z.get(), L"secret.txt", &out));
  EXPECT_EQ("The skin keeps its secrets.\n", out);
  EXPECT_EQ(kZipOk, ReadItem(z.get(), L"BIG.TXT", &out));
  EXPECT_EQ(std::string(3000, 'x'), out);
  ScopedZip wrong(ZipOpenFromFile((folder + L"\\info_zip_encrypted.zip").c_str(), "password"));
  ASSERT_TRUE(wrong);
  EXPECT_EQ(kZipPassword, ReadItem(wrong.get(), L"secret.txt", &out));
}

TEST(ZipReaderTest, OpensFromAFile) {
  wchar_t temp[MAX_PATH];
  ASSERT_GT(::GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring path = std::wstring(temp) + L"ui-zip-reader-" + std::to_wstring(::GetCurrentProcessId()) + L".zip";
  const std::string data = Pattern(70000);
  {
    std::ofstream f(std::filesystem::path(path), std::ios::binary);
    f << BuildZip({{.name = "x.bin", .data = data}}, "a comment", "SFX!").bytes;
  }
  {
    ScopedZip z(ZipOpenFromFile(path.c_str(), nullptr));
    ASSERT_TRUE(z);
    std::string out;
    EXPECT_EQ(kZipOk, ReadItem(z.get(), L"x.bin", &out));
    EXPECT_EQ(data, out);
  }
  ::DeleteFileW(path.c_str());
  EXPECT_EQ(nullptr, ZipOpenFromFile(path.c_str(), nullptr));
  EXPECT_EQ(nullptr, ZipOpenFromFile(nullptr, nullptr));
}

TEST(ZipReaderTest, HandleAndIndexErrors) {
  int index = 7;
  char buffer[4];
  EXPECT_EQ(kZipBadArgument, ZipFindItem(nullptr, L"a", true, &index, nullptr));
  EXPECT_EQ(-1, index);
  EXPECT_EQ(kZipBadArgument, ZipUnzipItem(nullptr, 0, buffer, 4));
  EXPECT_EQ(kZipBadArgument, ZipClose(nullptr));
  ZipHandleUI foreign;
  foreign.kind = 2;
  EXPECT_EQ(kZipNotOpen, ZipFindItem(&foreign, L"a", true, &index, nullptr));
  EXPECT_EQ(kZipNotOpen, ZipUnzipItem(&foreign, 0, buffer, 4));
  EXPECT_EQ(kZipNotOpen, ZipClose(&foreign));
  MemoryZip z = OpenBytes(BuildZip({{.name = "a", .data = "d"}}).bytes);
  ASSERT_TRUE(z);
  EXPECT_EQ(kZipBadArgument, ZipUnzipItem(z.get(), 1, buffer, 4));
  EXPECT_EQ(kZipBadArgument, ZipUnzipItem(z.get(), -1, buffer, 4));
  EXPECT_EQ(nullptr, ZipOpenFromMemory(nullptr, 10, nullptr));
  EXPECT_EQ(nullptr, ZipOpenFromMemory("PK\x05\x06", 4, nullptr));
  EXPECT_EQ(nullptr, ZipOpenFromMemory("", 0, nullptr));
}

// ---- Hostile archives: each one is refused with a clear result, no crash.

TEST(ZipReaderTest, BadCentralDirectoriesAreNotOpened) {
  const BuiltZip good = BuildZip({{.name = "a.txt", .data = "alpha"}, {.name = "b.txt", .data = "beta"}});
  const size_t end = good.end_record;
  const size_t second = good.entries[1].central_header;
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"directory entry signature", [&] { auto b = good.bytes; b[second] = 'X'; return b; }()},
      {"directory offset past the record", [&] { auto b = good.bytes; testing::PutU32(b, end + 16, 0x7FFFFFF0); return b; }()},
      {"directory size past the record", [&] { auto b = good.bytes; testing::PutU32(b, end + 12, 0x10000000); return b; }()},
      {"more entries than the directory holds", [&] { auto b = good.bytes; testing::PutU16(b, end + 8, 3); testing::PutU16(b, end + 10, 3); return b; }()},
      {"entry counts differ", [&] { auto b = good.bytes; testing::PutU16(b, end + 8, 1); return b; }()},
      {"name runs past the directory", [&] { auto b = good.bytes; testing::PutU16(b, second + 28, 0xFFFF); return b; }()},
      {"comment runs past the directory", [&] { auto b = good.bytes; testing::PutU16(b, second + 32, 200); return b; }()},
      {"non-zero disk", [&] { auto b = good.bytes; testing::PutU16(b, end + 4, 1); return b; }()},
  };
  ASSERT_TRUE(OpenBytes(good.bytes));
  for (const Case& c : cases) EXPECT_FALSE(OpenBytes(c.bytes)) << c.what;
}

TEST(ZipReaderTest, EntriesWhoseSizesLieAreRefused) {
  const std::string data = Pattern(3000);
  const BuiltZip stored = BuildZip({{.name = "a", .data = data, .method = 0}, {.name = "z", .data = "fine"}});
  const BuiltZip deflated = BuildZip({{.name = "a", .data = data, .method = 8}, {.name = "z", .data = "fine"}});
  // Sets a size in the directory and in the local header alike, so only the
  // size itself is wrong.
  auto with_sizes = [](const BuiltZip& zip, uint32_t compressed, uint32_t uncompressed) {
    std::string b = zip.bytes;
    testing::PutU32(b, zip.entries[0].central_header + 20, compressed);
    testing::PutU32(b, zip.entries[0].central_header + 24, uncompressed);
    testing::PutU32(b, zip.entries[0].local_header + 18, compressed);
    testing::PutU32(b, zip.entries[0].local_header + 22, uncompressed);
    return b;
  };
  const uint32_t deflated_size = static_cast<uint32_t>(deflated.entries[0].data_size);
  struct Case {
    const char* what;
    std::string bytes;
    uint32_t find;  // the unzip result is kZipFailed whenever find does not succeed
  } cases[] = {
      {"stored, 3 GB declared", with_sizes(stored, 3000000000u, 3000000000u), kZipBadEntry},
      {"deflated, 3 GB declared", with_sizes(deflated, deflated_size, 3000000000u), kZipBadEntry},
      {"deflated, ratio beyond deflate's", with_sizes(deflated, 10, 1000000), kZipBadEntry},
      {"compressed size past the source", with_sizes(deflated, 0x00FFFFFF, 3000), kZipBadEntry},
      {"stored, sizes disagree", with_sizes(stored, 3000, 2000), kZipBadEntry},
      {"stored, more declared than present", with_sizes(stored, 3100, 3100), kZipOk},
      {"deflated, less output than declared", with_sizes(deflated, deflated_size, 6000), kZipOk},
      {"deflated, more output than declared", with_sizes(deflated, deflated_size, 1000), kZipOk},
      {"deflated, input cut short", with_sizes(deflated, deflated_size / 2, 3000), kZipOk},
      {"local header disagrees", [&] { auto b = deflated.bytes; testing::PutU32(b, deflated.entries[0].local_header + 22, 2999); return b; }(), kZipBadEntry},
      {"local name length disagrees", [&] { auto b = deflated.bytes; testing::PutU16(b, deflated.entries[0].local_header + 26, 2); return b; }(), kZipBadEntry},
      {"local signature", [&] { auto b = deflated.bytes; b[deflated.entries[0].local_header] = 'Q'; return b; }(), kZipBadEntry},
      {"local header past the source", [&] { auto b = deflated.bytes; testing::PutU32(b, deflated.entries[0].central_header + 42, 0x7FFFFFFF); return b; }(), kZipBadEntry},
      {"corrupted data (CRC)", [&] { auto b = stored.bytes; b[stored.entries[0].data + 100] ^= 1; return b; }(), kZipOk},
      {"corrupted deflate stream", [&] { auto b = deflated.bytes; for (int i = 0; i < 8; ++i) b[deflated.entries[0].data + 2 + i] = '\xFF'; return b; }(), kZipOk},
  };
  for (const Case& c : cases) {
    MemoryZip z = OpenBytes(c.bytes);
    ASSERT_TRUE(z) << c.what;
    Found f = Find(z.get(), L"a");
    EXPECT_EQ(c.find, f.result) << c.what;
    std::vector<char> buffer(8000);
    EXPECT_EQ(kZipFailed, ZipUnzipItem(z.get(), 0, buffer.data(), static_cast<uint32_t>(buffer.size()))) << c.what;
    std::string out;
    EXPECT_EQ(kZipOk, ReadItem(z.get(), L"z", &out)) << c.what;  // the archive stays usable
    EXPECT_EQ("fine", out);
  }
}

TEST(ZipReaderTest, EncryptedEntryShorterThanItsHeaderIsRefused) {
  BuiltZip zip = BuildZip({{.name = "s", .data = "secret", .method = 0, .password = "pw"}});
  std::string b = zip.bytes;
  for (size_t at : {zip.entries[0].central_header + 20, zip.entries[0].local_header + 18}) testing::PutU32(b, at, 5);
  for (size_t at : {zip.entries[0].central_header + 24, zip.entries[0].local_header + 22}) testing::PutU32(b, at, 0);
  MemoryZip z = OpenBytes(b, "pw");
  ASSERT_TRUE(z);
  EXPECT_EQ(kZipBadEntry, Find(z.get(), L"s").result);
  char buffer[16];
  EXPECT_EQ(kZipFailed, ZipUnzipItem(z.get(), 0, buffer, sizeof(buffer)));
}

// Every cut of an archive and many random corruptions of it: whatever the
// reader makes of them, it must not read outside the bytes or crash, and
// what it reports as read must be the item.
TEST(ZipReaderTest, TruncatedAndCorruptedArchivesAreSafe) {
  const std::string data = Pattern(4000);
  const BuiltZip zip = BuildZip({{.name = "a", .data = data}, {.name = "b", .data = "bee", .method = 0}}, "note");
  auto exercise = [&](const std::string& bytes) {
    // A heap copy of exactly the archive's size, so reads past it are caught by the heap's checks.
    std::unique_ptr<char[]> exact(new char[bytes.size() + 1]);
    std::memcpy(exact.get(), bytes.data(), bytes.size());
    ScopedZip z(ZipOpenFromMemory(exact.get(), static_cast<uint32_t>(bytes.size()), nullptr));
    if (!z) return;
    for (const wchar_t* name : {L"a", L"b"}) {
      std::string out;
      if (ReadItem(z.get(), name, &out) == kZipOk) {
        EXPECT_EQ(name[0] == L'a' ? data : "bee", out);
      }
    }
  };
  for (size_t cut = 0; cut <= zip.bytes.size(); ++cut) exercise(zip.bytes.substr(0, cut));
  std::mt19937 random(42);
  for (int round = 0; round < 3000; ++round) {
    std::string bytes = zip.bytes;
    const int flips = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < flips; ++i) bytes[random() % bytes.size()] = static_cast<char>(random());
    exercise(bytes);
  }
}

}  // namespace
}  // namespace SkinUI
