#include "device_id/seq_id_generator.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "base/text_conversion.h"
#include "testing/process/child_process.h"

namespace device_id {
namespace {

constexpr char kVendor[] = "vireon";

std::string Md5Text(const std::string& text) { return DigestHex(text).hex; }

// Each case keeps its application-data folder in a temporary folder.
class SeqIdGeneratorTest : public ::testing::Test {
 protected:
  SeqIdGeneratorTest() : app_data_(base::WideToAnsi(folder_.path())) {}

  std::string ProfilePath(const char* vendor = kVendor) const {
    return app_data_ + "\\Orvalis\\" + vendor + "\\GlobalMgr.db";
  }
  std::string ProfileText(const char* vendor = kVendor) const {
    return testing_process::ReadFileText(base::Utf8ToWide(ProfilePath(vendor)));
  }
  void WriteProfile(const std::string& text, const char* vendor = kVendor) const {
    std::filesystem::create_directories(std::filesystem::path(ProfilePath(vendor)).parent_path());
    std::ofstream(ProfilePath(vendor), std::ios::binary) << text;
  }
  void AppendToProfile(const std::string& text) const {
    std::ofstream(ProfilePath(), std::ios::binary | std::ios::app) << text;
  }
  std::string Generate(const HardwareFacts& facts, const char* vendor = kVendor) const {
    DeviceIdBytes id{};
    GenerateDeviceId(facts, app_data_, vendor, id);
    return FormatDeviceId(id);
  }
  static std::string Profile(const std::string& id, const std::string& mac, const std::string& disk,
                             const std::string& cpu, const char* config5 = "1") {
    std::string text = "[Profile]\r\nconfig1=" + id + "\r\nconfig2=" + mac + "\r\nconfig3=" + disk +
                       "\r\nconfig4=" + cpu + "\r\n";
    if (config5 != nullptr) text += std::string("config5=") + config5 + "\r\n";
    return text;
  }

  testing_process::TempFolder folder_;
  std::string app_data_;

  const HardwareFacts full_ = {"001122334455", std::string("SERIAL123MODEL X\0FW1", 20), "Intel(R) Core(TM) i5"};
  const std::string stored_ = "0123456789abcdef0123456789abcdef";
};

TEST(DeviceIdDigestTest, Md5OfTheBytes) {
  const Digest digest = DigestHex("abc");
  EXPECT_EQ(digest.hex, "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(digest.bytes[0], 0x90);
  EXPECT_EQ(DigestHex(std::string("a\0b", 3)).hex, DigestHex(std::string("a\0b", 3)).hex);
  EXPECT_NE(DigestHex(std::string("a\0b", 3)).hex, DigestHex("ab").hex);  // NUL bytes count
}

TEST_F(SeqIdGeneratorTest, FirstRunHashesMacAndDiskAndWritesTheProfile) {
  const std::string id = Generate(full_);
  EXPECT_EQ(id, Md5Text(full_.mac_text + *full_.disk_text));  // no CPU brand on a first run
  EXPECT_EQ(ProfileText(), Profile(id, Md5Text(full_.mac_text), Md5Text(*full_.disk_text), Md5Text(*full_.cpu_brand)));
}

TEST_F(SeqIdGeneratorTest, UnchangedHardwareReusesWithoutWriting) {
  const std::string id = Generate(full_);
  AppendToProfile("; untouched\r\n");
  EXPECT_EQ(Generate(full_), id);
  EXPECT_NE(ProfileText().find("; untouched"), std::string::npos);
}

TEST_F(SeqIdGeneratorTest, ANewNetworkCardKeepsTheIdentifier) {
  const std::string id = Generate(full_);
  const std::string before = ProfileText();
  HardwareFacts new_card = full_;
  new_card.mac_text = "66778899aabb";
  EXPECT_EQ(Generate(new_card), id);
  EXPECT_EQ(ProfileText(), before);  // config2 keeps the old MAC digest
}

TEST_F(SeqIdGeneratorTest, ADiskReadableAtLastMakesANewIdentifier) {
  HardwareFacts no_disk = full_;
  no_disk.disk_text.reset();
  const std::string first = Generate(no_disk);
  EXPECT_EQ(first, Md5Text(no_disk.mac_text));
  const std::string second = Generate(full_);
  EXPECT_EQ(second, Md5Text(full_.mac_text + *full_.disk_text));
  EXPECT_EQ(ProfileText(), Profile(second, Md5Text(full_.mac_text), Md5Text(*full_.disk_text), Md5Text(*full_.cpu_brand)));
}

TEST_F(SeqIdGeneratorTest, AnOldProfileWithoutConfig5HashesTheCpuBrandOnce) {
  HardwareFacts facts = full_;
  facts.disk_text.reset();
  WriteProfile(Profile(stored_, Md5Text(facts.mac_text), "", Md5Text(*facts.cpu_brand), nullptr));
  const std::string id = Generate(facts);
  EXPECT_EQ(id, Md5Text(facts.mac_text + *facts.cpu_brand));
  EXPECT_EQ(ProfileText(), Profile(id, Md5Text(facts.mac_text), "", Md5Text(*facts.cpu_brand)));
  EXPECT_EQ(Generate(facts), id);  // config5 is 1 now: reused
}

TEST_F(SeqIdGeneratorTest, AnotherProcessorPreventsReuse) {
  WriteProfile(Profile(stored_, Md5Text(full_.mac_text), Md5Text(*full_.disk_text), Md5Text("Another CPU")));
  EXPECT_EQ(Generate(full_), Md5Text(full_.mac_text + *full_.disk_text));
}

TEST_F(SeqIdGeneratorTest, StoredDigestsMatchWithoutRegardToCase) {
  std::string upper_mac = Md5Text(full_.mac_text);
  for (char& c : upper_mac) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  WriteProfile(Profile("0123456789ABCDEF0123456789ABCDEF", upper_mac, "", Md5Text(*full_.cpu_brand)));
  HardwareFacts facts = full_;
  facts.disk_text.reset();
  EXPECT_EQ(Generate(facts), stored_);  // read in either case, shown in lower case
}

TEST_F(SeqIdGeneratorTest, AStoredIdentifierIsReadAsItsFirst32Characters) {
  WriteProfile(Profile(stored_ + "ffff", Md5Text(full_.mac_text), Md5Text(*full_.disk_text), Md5Text(*full_.cpu_brand)));
  EXPECT_EQ(Generate(full_), stored_);
}

TEST_F(SeqIdGeneratorTest, AShortStoredIdentifierIsReplaced) {
  WriteProfile(Profile(stored_.substr(1), Md5Text(full_.mac_text), Md5Text(*full_.disk_text), Md5Text(*full_.cpu_brand)));
  const std::string id = Generate(full_);
  EXPECT_EQ(id, Md5Text(full_.mac_text + *full_.disk_text));
  EXPECT_NE(ProfileText().find("config1=" + id), std::string::npos);
}

TEST_F(SeqIdGeneratorTest, PairsThatDoNotStartWithAHexDigitRepeatThePairBefore) {
  const std::string odd_id = "zz1g0a" + std::string(26, '0');
  WriteProfile(Profile(odd_id, Md5Text(full_.mac_text), Md5Text(*full_.disk_text), Md5Text(*full_.cpu_brand)));
  EXPECT_EQ(Generate(full_).substr(0, 6), "00010a");
}

TEST_F(SeqIdGeneratorTest, NoAddressAndNoDiskHashTheFallbackMacAlone) {
  const HardwareFacts bare = {"1a2b3c4d5e6f", std::nullopt, std::nullopt};
  EXPECT_EQ(Generate(bare), Md5Text("1a2b3c4d5e6f"));
  EXPECT_EQ(ProfileText(), Profile(Md5Text("1a2b3c4d5e6f"), Md5Text("1a2b3c4d5e6f"), "", ""));
}

TEST_F(SeqIdGeneratorTest, WithoutAProfileTheIdentifierIsStillMade) {
  DeviceIdBytes id{};
  GenerateDeviceId(full_, std::nullopt, kVendor, id);
  EXPECT_EQ(FormatDeviceId(id), Md5Text(full_.mac_text + *full_.disk_text));
  GenerateDeviceId(full_, app_data_ + "\\missing\\folder", kVendor, id);
  EXPECT_EQ(FormatDeviceId(id), Md5Text(full_.mac_text + *full_.disk_text));
  EXPECT_FALSE(std::filesystem::exists(app_data_ + "\\missing"));
}

TEST_F(SeqIdGeneratorTest, TheTwoProfilesAreKeptApart) {
  EXPECT_EQ(Generate(full_, "vireon"), Generate(full_, "Pellgrave"));  // same facts, fresh profiles
  WriteProfile(Profile(stored_, Md5Text(full_.mac_text), Md5Text(*full_.disk_text), Md5Text(*full_.cpu_brand)),
               "Pellgrave");
  EXPECT_EQ(Generate(full_, "Pellgrave"), stored_);
  EXPECT_EQ(Generate(full_, "vireon"), Md5Text(full_.mac_text + *full_.disk_text));
  std::filesystem::remove(ProfilePath("Pellgrave"));
  EXPECT_EQ(Generate(full_, "vireon"), Md5Text(full_.mac_text + *full_.disk_text));
}

TEST_F(SeqIdGeneratorTest, OpenProfileFileReportsWhatItFound) {
  {
    ProfileFile fresh = OpenProfileFile(app_data_, kVendor);
    EXPECT_EQ(fresh.code, kProfileCreated);
    EXPECT_TRUE(fresh.file.IsValid());
    EXPECT_EQ(fresh.path, ProfilePath());
  }
  {
    ProfileFile existing = OpenProfileFile(app_data_, kVendor);
    EXPECT_EQ(existing.code, kProfileExisted);
    EXPECT_TRUE(existing.file.IsValid());
  }
  ProfileFile no_folder = OpenProfileFile(app_data_ + "\\missing", kVendor);
  EXPECT_EQ(no_folder.code, kProfileNoFolder);
  EXPECT_FALSE(no_folder.file.IsValid());
  EXPECT_EQ(OpenProfileFile(std::nullopt, kVendor).code, kProfileNoFolder);

  std::filesystem::remove(ProfilePath());
  std::filesystem::create_directory(ProfilePath());  // a folder where the file belongs
  ProfileFile blocked = OpenProfileFile(app_data_, kVendor);
  EXPECT_EQ(blocked.code, kProfileUnavailable);
  EXPECT_FALSE(blocked.file.IsValid());
}

TEST_F(SeqIdGeneratorTest, RewritingAProfileThroughAnOpenHandleReplacesItWhole) {
  WriteProfile(std::string(4000, ';') + "\r\n");
  ProfileFile profile = OpenProfileFile(app_data_, kVendor);
  ASSERT_EQ(profile.code, kProfileExisted);
  const ProfileDigests digests = {"aa", "", "cc"};
  const DeviceIdBytes id = DigestHex("x").bytes;
  device_id::WriteProfile(profile.file.Get(), profile.path, digests, id);
  EXPECT_EQ(ProfileText(), device_id::ProfileText(digests, id));
  EXPECT_EQ(ProfileText(), "[Profile]\r\nconfig1=" + DigestHex("x").hex + "\r\nconfig2=aa\r\nconfig3=\r\nconfig4=cc\r\nconfig5=1\r\n");
}

}  // namespace
}  // namespace device_id
