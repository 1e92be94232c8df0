// The environment record of the web requests over the Wine registry and
// file system, with a product name of each case's own.
#include "src/zephris_install/src/tool/env_info.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "base/path_manager.h"
#include "base/scoped_handle.h"
#include "base/tests/settings_test_util.h"
#include "base/text_conversion.h"

namespace {

using settings_test::ScopedTestProduct;

TEST(EnvInfoTest, FileTimesAsUnixSeconds) {
  struct Case {
    uint64_t ticks;
    uint64_t seconds;
  } cases[] = {
      {0, 0},                                     // 1601: before 1970
      {116444736000000000ULL, 0},                 // 1970-01-01
      {116444736000000000ULL + 9999999, 0},       // under a second
      {116444736000000000ULL + 17198352000000000ULL, 1719835200},  // 2024-07-01 12:00 UTC
  };
  for (const Case& c : cases) {
    const FILETIME time{static_cast<DWORD>(c.ticks), static_cast<DWORD>(c.ticks >> 32)};
    EXPECT_EQ(FileTimeToUnixSeconds(time), c.seconds) << c.ticks;
  }
}

// A folder made just now gives the current time in UTC seconds: no time-zone
// bias or daylight-saving hour on the way. (Wine keeps no creation time
// that could be set, so the folder is a fresh one.)
TEST(EnvInfoTest, InstallTimeIsTheFoldersCreationTimeInUtc) {
  ScopedTestProduct product;
  settings_test::ScopedTempDir folder;
  const std::filesystem::path install = folder.path() / L"Quillorane";
  std::filesystem::create_directories(install);
  settings_test::SetString(HKEY_LOCAL_MACHINE, product.key(), L"InstallPath", install.wstring());
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  const uint64_t expected = FileTimeToUnixSeconds(now);
  const uint64_t read = ReadInstallFolderTime();
  EXPECT_LE(read, expected + 1);
  EXPECT_GE(read + 60, expected);
  EXPECT_EQ(GetEnvInfo().vzt_install_time, read);
}

TEST(EnvInfoTest, PerCallFieldsFollowTheRegistry) {
  ScopedTestProduct product;
  const std::wstring settings = base::PathManager::GetInstance().GetSettingsKey();
  EnvInfo info = GetEnvInfo();
  EXPECT_EQ(info.is_auto_pre_download, 1);  // the settings default
  EXPECT_EQ(info.client_type, -1);
  EXPECT_EQ(info.media_channel, "2000");
  EXPECT_EQ(info.main_version, "1.0.0.0");
  EXPECT_EQ(info.oem_type, 0);
  EXPECT_EQ(info.login_openid, "");
  EXPECT_EQ(info.guid.size(), 32u);
  EXPECT_FALSE(info.region.empty());
  for (char c : info.region) EXPECT_FALSE(c >= 'a' && c <= 'z') << info.region;

  settings_test::SetQword(HKEY_CURRENT_USER, settings, L"PreDownloadSwitch", 0x100000000ULL);
  settings_test::SetQword(HKEY_CURRENT_USER, product.key(), L"ClientType", ~uint64_t{0});
  settings_test::SetQword(HKEY_LOCAL_MACHINE, product.key(), L"ClientType", 20001);
  settings_test::SetQword(HKEY_LOCAL_MACHINE, product.key(), L"ChannelId", 4294967297ULL);
  info = GetEnvInfo();
  EXPECT_EQ(info.is_auto_pre_download, 0);  // low 32 bits
  EXPECT_EQ(info.client_type, 20001);
  EXPECT_EQ(info.media_channel, "1");
}

TEST(EnvInfoTest, ConcurrentFirstCallsShareOneStaticPart) {
  EnvInfo a;
  EnvInfo b;
  std::thread first([&] { a = GetEnvInfo(); });
  std::thread second([&] { b = GetEnvInfo(); });
  first.join();
  second.join();
  EXPECT_EQ(a.guid, b.guid);
  EXPECT_EQ(a.cpu_model, b.cpu_model);
  EXPECT_EQ(a.max_disk_size, b.max_disk_size);
  EXPECT_EQ(a.physical_memory, b.physical_memory);
  EXPECT_GT(a.physical_memory, 0);
  EXPECT_FALSE(a.architecture.empty());
}

TEST(EnvInfoTest, AutoStartSwitchIsWrittenSignExtended) {
  ScopedTestProduct product;
  SetAppStoreAutoStartSwitch(-1);
  const auto raw = settings_test::GetRawValue(HKEY_LOCAL_MACHINE, base::PathManager::GetInstance().GetSettingsKey(),
                                              L"AppStoreAutoStartSwitch");
  ASSERT_TRUE(raw.found && raw.type == REG_QWORD && raw.bytes.size() == 8);
  uint64_t value = 0;
  std::memcpy(&value, raw.bytes.data(), 8);
  EXPECT_EQ(value, ~uint64_t{0});
}

}  // namespace
