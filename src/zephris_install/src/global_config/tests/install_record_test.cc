#include <windows.h>

#include <gtest/gtest.h>
#include <psapi.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/md5.h"
#include "base/text_conversion.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/global_config/tests/log_capture.h"
#include "tools/stamp_install_record/install_record_stamp.h"

namespace {

namespace fs = std::filesystem;
using global_config_test::LogCapture;

// A trailer built by hand, byte by byte, so the reader is checked against the
// layout itself and not only against the stamping tool.
std::string Trailer(uint16_t magic, uint32_t length, const std::string& digits, char end = '\0') {
  std::string trailer(40, '\0');
  trailer[0] = static_cast<char>(magic & 0xFF);
  trailer[1] = static_cast<char>(magic >> 8);
  for (int i = 0; i < 4; ++i) trailer[2 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
  trailer.replace(6, digits.size(), digits);
  trailer[38] = end;
  trailer[39] = '\x01';
  return trailer;
}

std::string Md5(const std::string& bytes) { return base::Md5Hex(bytes.data(), static_cast<uint32_t>(bytes.size())); }

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

constexpr char kJson[] = R"({"channel_id":1234,"version":"5.1.0.8"})";
const std::string kImage = "MZ" + std::string(200, '\x90');

class InstallRecordTest : public testing::Test {
 protected:
  InstallRecordTest() : dir_(fs::temp_directory_path() / ("ql_gc_record_" + std::to_string(::GetCurrentProcessId()))) {
    fs::create_directories(dir_);
  }
  ~InstallRecordTest() override { fs::remove_all(dir_); }

  fs::path WriteInstaller(const std::string& bytes) {
    const fs::path path = dir_ / "installer.exe";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return path;
  }

  // A configuration parsed from `arguments` (the program path comes first).
  static GlobalConfig Config(std::vector<std::wstring> arguments = {}) {
    arguments.insert(arguments.begin(), L"QuilloraneInstaller.exe");
    return GlobalConfig(arguments);
  }

  fs::path dir_;
  LogCapture log_;
};

TEST_F(InstallRecordTest, TrailersOfEveryKind) {
  const std::string area = std::string(kJson) + std::string(7, '\0');
  const std::string padded_area = std::string(kJson) + '\0' + "after the NUL";
  const uint32_t area_size = static_cast<uint32_t>(area.size());
  struct Case {
    const char* what;
    std::string bytes;
    std::string expected_json;
    const char* log_line;
  } cases[] = {
      {"stamped by the tool", kImage + stamp::BuildInstallRecord(kJson), kJson, nullptr},
      {"built by hand", kImage + area + Trailer(0x0EF4, area_size, Md5(area)), kJson, nullptr},
      {"lower-case digits", kImage + area + Trailer(0x0EF4, area_size, Lower(Md5(area))), kJson, nullptr},
      {"text ends at the first NUL; the digest covers the rest",
       kImage + padded_area + Trailer(0x0EF4, static_cast<uint32_t>(padded_area.size()), Md5(padded_area)), kJson,
       nullptr},
      {"the area is the whole file before the trailer", area + Trailer(0x0EF4, area_size, Md5(area)), kJson,
       nullptr},
      {"no trailer", kImage + std::string(kJson), "", "compare magic failed."},
      {"wrong magic", kImage + area + Trailer(0x0EF5, area_size, Md5(area)), "", "compare magic failed."},
      {"zero length", kImage + area + Trailer(0x0EF4, 0, Md5(area)), "", "compare magic failed."},
      {"digest of other bytes", kImage + area + Trailer(0x0EF4, area_size, Md5(area + "x")), "",
       "install json md5 mismatch"},
      {"digits not ended by a NUL", kImage + area + Trailer(0x0EF4, area_size, Md5(area), '7'), "",
       "install json md5 mismatch"},
      {"length one past the start of the file", area + Trailer(0x0EF4, area_size + 1, Md5(area)), "",
       "ReadFile failed."},
      {"length of nearly 4 GiB", kImage + area + Trailer(0x0EF4, 0xFFFFFFF0u, Md5(area)), "", "ReadFile failed."},
      {"shorter than a trailer", "MZ\x90\x90", "", "ReadFile read magic block failed."},
      {"empty file", "", "", "ReadFile read magic block failed."},
  };
  for (const Case& c : cases) {
    LogCapture log;
    GlobalConfig config = Config();
    ReadInstallConfig(config, WriteInstaller(c.bytes));
    EXPECT_EQ(config.install_json, c.expected_json) << c.what;
    EXPECT_EQ(config.report_json, c.expected_json) << c.what;
    const std::string lines = log.Lines();
    if (c.log_line) {
      EXPECT_NE(lines.find(c.log_line), std::string::npos) << c.what << "\n" << lines;
    } else {
      EXPECT_EQ(lines.find("failed"), std::string::npos) << c.what << "\n" << lines;
      EXPECT_EQ(lines.find("mismatch"), std::string::npos) << c.what << "\n" << lines;
    }
  }
}

TEST_F(InstallRecordTest, MissingInstallerFile) {
  GlobalConfig config = Config();
  ReadInstallConfig(config, dir_ / "not-there.exe");
  EXPECT_EQ(config.install_json, "");
  EXPECT_TRUE(log_.Contains("GetFileSizeEx failed."));
}

// A damaged length must be refused before anything is allocated for it: a
// buffer of the stated size would be committed and zeroed in full.
TEST_F(InstallRecordTest, DamagedLengthAllocatesNothing) {
  const fs::path installer = WriteInstaller(kImage + Trailer(0x0EF4, 512u << 20, std::string(32, 'A')));
  PROCESS_MEMORY_COUNTERS before = {};
  ASSERT_TRUE(::GetProcessMemoryInfo(::GetCurrentProcess(), &before, sizeof(before)));
  GlobalConfig config = Config();
  ReadInstallConfig(config, installer);
  PROCESS_MEMORY_COUNTERS after = {};
  ASSERT_TRUE(::GetProcessMemoryInfo(::GetCurrentProcess(), &after, sizeof(after)));
  constexpr SIZE_T kSlack = SIZE_T{128} << 20;
  EXPECT_LT(after.PeakWorkingSetSize, before.PeakWorkingSetSize + kSlack)
      << "peak working set grew from " << before.PeakWorkingSetSize << " to " << after.PeakWorkingSetSize;
  EXPECT_LT(after.PeakPagefileUsage, before.PeakPagefileUsage + kSlack)
      << "peak commit grew from " << before.PeakPagefileUsage << " to " << after.PeakPagefileUsage;
  EXPECT_EQ(config.install_json, "");
  EXPECT_TRUE(log_.Contains("ReadFile failed."));
}

TEST_F(InstallRecordTest, RecordKeysFillTheirFields) {
  GlobalConfig config = Config({L"--from-source", LR"({
      "channel_id": 1234, "build_id": 98765432101, "source_trace": "PcvztSdk", "version": "5.1.0.8",
      "client_type": 40001, "zephris_main_version": "9.0.0.1", "app_type": 3, "app_id": "com.game.x",
      "display_name": "\u5938\u6d1b\u5170", "auto_start_market": 0, "create_desktop_link": true,
      "create_start_menu_link": false, "show_tray_icon": 2, "client_pseudo_protocol": "",
      "carousel_image_url": ["https://img/1.png", "https://img/2.png"], "install_mode": 2, "pullup_type": 0,
      "app_pullup_type": 2, "install_priority": 1, "report_info": {"from": "store", "pos": 3},
      "unknown_key": [1, 2, 3]})"});
  InitInstallConfig(config);
  EXPECT_EQ(config.channel_id, 1234u);
  EXPECT_EQ(config.build_id, 98765432101u);
  EXPECT_EQ(config.source_trace, "PcvztSdk");
  EXPECT_EQ(config.version, "5.1.0.8");
  EXPECT_EQ(config.client_type, 40001);
  EXPECT_EQ(config.zephris_main_version, "9.0.0.1");
  EXPECT_EQ(config.app_type, 3);
  EXPECT_EQ(config.app_id, "com.game.x");
  EXPECT_EQ(config.display_name, "\xE5\xA4\xB8\xE6\xB4\x9B\xE5\x85\xB0");
  EXPECT_EQ(config.auto_start_market, 0);
  EXPECT_EQ(config.create_desktop_link, 1) << "true counts as 1";
  EXPECT_EQ(config.create_start_menu_link, 0);
  EXPECT_EQ(config.show_tray_icon, 2);
  EXPECT_EQ(config.install_mode, 2);
  EXPECT_EQ(config.pullup_type, 0);
  EXPECT_EQ(config.app_pullup_type, 2);
  EXPECT_EQ(config.install_priority, 1);
  ASSERT_TRUE(config.report_info.has_value());
  EXPECT_EQ(*config.report_info, nlohmann::json({{"from", "store"}, {"pos", 3}}));
  ASSERT_EQ(config.carousel_images.size(), 2u);
  EXPECT_EQ(config.carousel_images[1].url, "https://img/2.png");
  EXPECT_EQ(config.carousel_images[1].local_path, L"");
  EXPECT_EQ(config.auto_authorize, 0) << "not a record key";
  EXPECT_EQ(log_.Lines().find("compare magic"), std::string::npos) << "the trailer is not read";
}

TEST_F(InstallRecordTest, RecordsThatAreIgnoredWhole) {
  struct Case {
    const char* what;
    std::wstring text;
    bool logs_error;
  } cases[] = {
      {"a number key given a boolean", LR"({"channel_id": 7, "install_mode": true})", true},
      {"a number given as text", LR"({"channel_id": "7"})", true},
      {"a text given a number", LR"({"channel_id": 7, "version": 5})", true},
      {"a list holding a number", LR"({"channel_id": 7, "carousel_image_url": ["a", 1]})", true},
      {"a number its field cannot hold", LR"({"channel_id": 1e30})", true},
      {"not JSON", LR"({"channel_id": 7,)", true},
      {"empty text", L"", true},
      {"not an object", LR"([{"channel_id": 7}])", false},
  };
  for (const Case& c : cases) {
    LogCapture log;
    GlobalConfig config = Config({L"--from-source=" + c.text});
    InitInstallConfig(config);
    EXPECT_EQ(config.channel_id, 2000u) << c.what;
    EXPECT_EQ(config.version, "1.0.0.0") << c.what;
    EXPECT_EQ(config.install_mode, 0) << c.what;
    EXPECT_EQ(config.carousel_images.size(), 0u) << c.what;
    EXPECT_EQ(config.install_json, base::WideToUtf8(c.text)) << c.what;
    const std::string lines = log.Lines();
    EXPECT_EQ(lines.find("parse install json failed: ") != std::string::npos, c.logs_error) << c.what << lines;
    EXPECT_EQ(lines.find("compare magic"), std::string::npos) << c.what;
  }
}

TEST_F(InstallRecordTest, FloatingNumbersAreCutTowardZero) {
  GlobalConfig config = Config({L"--from-source", LR"({"channel_id": 12.9, "client_type": -3.7})"});
  InitInstallConfig(config);
  EXPECT_EQ(config.channel_id, 12u);
  EXPECT_EQ(config.client_type, -3);
}

TEST_F(InstallRecordTest, WithoutRecordTheDefaultsStay) {
  // This test program carries no record at its end.
  GlobalConfig config = Config();
  InitInstallConfig(config);
  EXPECT_EQ(config.install_json, "");
  EXPECT_EQ(config.channel_id, 2000u);
  EXPECT_EQ(config.build_id, 0u);
  EXPECT_EQ(config.version, "1.0.0.0");
  EXPECT_EQ(config.client_type, -1);
  EXPECT_EQ(config.zephris_main_version, "1.0.0.0");
  EXPECT_EQ(config.auto_start_market, 1);
  EXPECT_EQ(config.create_desktop_link, 1);
  EXPECT_EQ(config.create_start_menu_link, 1);
  EXPECT_EQ(config.show_tray_icon, 1);
  EXPECT_EQ(config.pullup_type, 1);
  EXPECT_EQ(config.install_mode, 0);
  EXPECT_FALSE(config.report_info.has_value());
  const std::string lines = log_.Lines();
  const std::size_t magic = lines.find("compare magic failed.");
  ASSERT_NE(magic, std::string::npos) << lines;
  EXPECT_NE(lines.find("parse install json failed: ", magic), std::string::npos) << lines;
  EXPECT_NE(lines.find(" raw: \n", magic), std::string::npos) << "an empty raw text\n" << lines;
}

TEST_F(InstallRecordTest, PseudoProtocolIsCutOutOfTheKeptText) {
  const std::wstring record =
      LR"({"client_pseudo_protocol":"zph://open?rid=77&app=x","display_name":"zph://open?rid=77&app=x"})";
  GlobalConfig config = Config({L"--from-source", record});
  InitInstallConfig(config);
  const std::string expected = R"({"client_pseudo_protocol":"","display_name":"zph://open?rid=77&app=x"})";
  EXPECT_EQ(config.install_json, expected) << "only the first occurrence goes";
  EXPECT_EQ(config.report_json, expected);
  EXPECT_EQ(config.client_pseudo_protocol, "zph://open?rid=77&app=x");
  EXPECT_EQ(config.display_name, "zph://open?rid=77&app=x");
}

TEST_F(InstallRecordTest, RidComesFromThePseudoProtocolQuery) {
  struct Case {
    std::string protocol;
    std::string rid;
  } cases[] = {
      {"zph://launch/app?app_id=com.x&rid=rec-9", "rec-9"},
      {"zph://launch/app?rid=1&rid=2", "2"},
      {"zph://launch/app?app_id=com.x", ""},
      {"", "kept"},
  };
  for (const Case& c : cases) {
    GlobalConfig config = Config();
    config.rid = "kept";
    config.client_pseudo_protocol = c.protocol;
    ParsePseudoProtocol(config);
    EXPECT_EQ(config.rid, c.rid) << c.protocol;
  }
}

}  // namespace
