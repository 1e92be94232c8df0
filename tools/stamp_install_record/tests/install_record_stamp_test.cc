#include "tools/stamp_install_record/install_record_stamp.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "base/md5.h"

namespace {

namespace fs = std::filesystem;

uint32_t U32(const std::string& bytes, std::size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

void PutU32(std::string& bytes, std::size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

void PutU16(std::string& bytes, std::size_t at, uint16_t value) {
  bytes[at] = static_cast<char>(value);
  bytes[at + 1] = static_cast<char>(value >> 8);
}

// A PE32+ header that is just enough for the stamp to find the data
// directory: MZ, e_lfanew, "PE\0\0", the optional header's magic and the
// number of directories.
constexpr std::size_t kPe = 0x80;
constexpr std::size_t kOptionalHeader = kPe + 24;
constexpr std::size_t kCertificateEntry = kOptionalHeader + 112 + 4 * 8;

std::string MinimalPe(std::size_t size) {
  std::string image(size, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  PutU32(image, 0x3C, kPe);
  image.replace(kPe, 4, std::string("PE\0\0", 4));
  PutU16(image, kOptionalHeader, 0x20B);
  PutU32(image, kOptionalHeader + 108, 16);
  return image;
}

// Appends one WIN_CERTIFICATE of `length` bytes (padded to 8) as the image's
// certificate table.
void AddCertificateTable(std::string& image, uint32_t length) {
  const std::size_t table = image.size();
  std::string entry((length + 7) & ~7u, '\x5A');
  PutU32(entry, 0, length);
  PutU16(entry, 4, 0x0200);
  PutU16(entry, 6, 0x0002);
  image += entry;
  PutU32(image, kCertificateEntry, static_cast<uint32_t>(table));
  PutU32(image, kCertificateEntry + 4, static_cast<uint32_t>(entry.size()));
}

TEST(InstallRecordStampTest, RecordHasTheTrailerLayout) {
  const std::string json = R"({"channel_id":1234})";
  const std::string record = stamp::BuildInstallRecord(json);

  ASSERT_GE(record.size(), json.size() + 1 + stamp::kTrailerSize);
  EXPECT_EQ(record.size() % 8, 0u);
  const std::string trailer = record.substr(record.size() - stamp::kTrailerSize);
  const uint32_t area = U32(trailer, 2);
  EXPECT_EQ(area, record.size() - stamp::kTrailerSize);
  EXPECT_EQ(static_cast<uint8_t>(trailer[0]), 0xF4);
  EXPECT_EQ(static_cast<uint8_t>(trailer[1]), 0x0E);
  EXPECT_EQ(trailer[38], '\0');
  EXPECT_EQ(trailer[39], '\x01');

  const std::string json_area = record.substr(0, area);
  EXPECT_EQ(json_area.substr(0, json.size()), json);
  EXPECT_EQ(json_area.find_first_not_of('\0', json.size()), std::string::npos) << "padding must be NUL bytes";
  // The digest covers the padding and is written in upper case.
  EXPECT_EQ(trailer.substr(6, 32), base::Md5Hex(json_area.data(), area));
  EXPECT_EQ(trailer.substr(6, 32).find_first_of("abcdef"), std::string::npos);
}

TEST(InstallRecordStampTest, PaddingKeepsTheRecordAlignedForEveryLength) {
  for (std::size_t length = 0; length < 24; ++length) {
    const std::string record = stamp::BuildInstallRecord(std::string(length, 'x'));
    EXPECT_EQ(record.size() % 8, 0u) << length;
    EXPECT_EQ(record[length], '\0') << "the JSON must be followed by a NUL, length " << length;
    EXPECT_TRUE(stamp::HasInstallRecord("prefix" + record)) << length;
  }
}

TEST(InstallRecordStampTest, RecognisesOnlyIntactRecords) {
  const std::string image = "MZ-not-really" + stamp::BuildInstallRecord(R"({"a":1})");
  EXPECT_TRUE(stamp::HasInstallRecord(image));

  std::string damaged_json = image;
  damaged_json[15] ^= 1;
  EXPECT_FALSE(stamp::HasInstallRecord(damaged_json));

  std::string too_long = image;
  PutU32(too_long, too_long.size() - 38, 0x7FFFFFFF);
  EXPECT_FALSE(stamp::HasInstallRecord(too_long));

  EXPECT_FALSE(stamp::HasInstallRecord("short"));
  EXPECT_FALSE(stamp::HasInstallRecord(std::string(100, '\0')));
}

TEST(InstallRecordStampTest, UnsignedImageIsOnlyAppendedTo) {
  const std::string original = MinimalPe(0x400);
  std::string image = original;
  ASSERT_EQ(stamp::StampImage(image, R"({"a":1})"), "");
  EXPECT_EQ(image.substr(0, original.size()), original);
  EXPECT_EQ(image.substr(original.size()), stamp::BuildInstallRecord(R"({"a":1})"));
}

TEST(InstallRecordStampTest, SignedImageCertificateTableTakesTheRecordIn) {
  std::string image = MinimalPe(0x400);
  AddCertificateTable(image, 0x123);  // 0x123 bytes, padded to 0x128
  const uint32_t table = U32(image, kCertificateEntry);
  const std::size_t unstamped = image.size();

  ASSERT_EQ(stamp::StampImage(image, R"({"channel_id":7})"), "");

  EXPECT_EQ(U32(image, kCertificateEntry), table);
  EXPECT_EQ(table + U32(image, kCertificateEntry + 4), image.size()) << "the table must reach the new end of file";
  EXPECT_EQ(table + U32(image, table), image.size()) << "the last certificate must cover the record";
  EXPECT_TRUE(stamp::HasInstallRecord(image));
  EXPECT_EQ(image.size() - unstamped, stamp::BuildInstallRecord(R"({"channel_id":7})").size());
}

TEST(InstallRecordStampTest, SignedImageWhoseTableCannotTakeTheRecordIsRefused) {
  struct Case {
    const char* what;
    void (*spoil)(std::string& image);
  };
  const Case cases[] = {
      {"something after the table", [](std::string& image) { image += std::string(16, '\x77'); }},
      {"a table reaching past the file",
       [](std::string& image) { PutU32(image, kCertificateEntry + 4, U32(image, kCertificateEntry + 4) + 8); }},
      {"an entry shorter than its own header", [](std::string& image) { PutU32(image, U32(image, kCertificateEntry), 4); }},
      {"a table without an offset", [](std::string& image) { PutU32(image, kCertificateEntry, 0); }},
  };
  for (const Case& c : cases) {
    std::string image = MinimalPe(0x400);
    AddCertificateTable(image, 0x40);
    c.spoil(image);
    const std::string before = image;
    const std::string error = stamp::StampImage(image, "{}");
    EXPECT_NE(error.find("certificate table"), std::string::npos) << c.what << " gave: " << error;
    EXPECT_NE(error.find("signature would be broken"), std::string::npos) << c.what;
    EXPECT_EQ(image, before) << c.what;
  }
}

class StampFileTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           (std::string("ql_stamp_test_") + testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    Write("installer.exe", MinimalPe(0x200));
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return dir_ / name;
  }
  std::string Read(const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  fs::path dir_;
};

TEST_F(StampFileTest, WritesAStampedCopyAndLeavesTheInstallerAlone) {
  const std::string record = R"({"channel_id": 42, "version": "3.1.0.0"})";
  const fs::path json = Write("record.json", record);
  ASSERT_EQ(stamp::StampFile(dir_ / "installer.exe", json, dir_ / "out.exe"), "");
  EXPECT_EQ(Read("installer.exe"), MinimalPe(0x200));
  const std::string stamped = Read("out.exe");
  EXPECT_TRUE(stamp::HasInstallRecord(stamped));
  EXPECT_EQ(stamped.substr(0x200, record.size() + 1), record + '\0') << "the record follows the image as written";
}

TEST_F(StampFileTest, RefusesWhatTheInstallerCouldNotUse) {
  struct Case {
    const char* json;
    const char* installer;
    const char* error_part;
  } cases[] = {
      {"{not json", "installer.exe", "not a JSON object"},
      {"[1,2]", "installer.exe", "not a JSON object"},
      {"", "installer.exe", "not a JSON object"},
      {"{}", "missing.exe", "cannot read"},
  };
  for (const Case& c : cases) {
    const fs::path json = Write("record.json", c.json);
    const std::string error = stamp::StampFile(dir_ / c.installer, json, dir_ / "out.exe");
    EXPECT_NE(error.find(c.error_part), std::string::npos) << c.json << " gave: " << error;
    EXPECT_FALSE(fs::exists(dir_ / "out.exe")) << c.json;
  }
}

TEST_F(StampFileTest, RefusesToStampTwice) {
  const fs::path json = Write("record.json", "{}");
  ASSERT_EQ(stamp::StampFile(dir_ / "installer.exe", json, dir_ / "once.exe"), "");
  const std::string error = stamp::StampFile(dir_ / "once.exe", json, dir_ / "twice.exe");
  EXPECT_NE(error.find("already carries"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(dir_ / "twice.exe"));
}

}  // namespace
