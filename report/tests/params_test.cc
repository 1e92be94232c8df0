// The telemetry configuration, the common parameters and the volatile
// getters over the Wine registry of a product name of each case's own.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "base/path_manager.h"
#include "base/registry.h"
#include "base/text_conversion.h"
#include "base/tests/settings_test_util.h"
#include "report/init_report.h"
#include "report/volatile_params.h"

namespace {

using settings_test::GetRawValue;
using settings_test::ScopedTestProduct;

TEST(BuildVireonConfigTest, DebugOnlyForTheQwordOne) {
  struct Case {
    const char* name;
    std::function<void(const std::wstring& key)> set;
    bool debug;
  } cases[] = {
      {"absent", [](const std::wstring&) {}, false},
      {"1", [](const std::wstring& key) { settings_test::SetQword(HKEY_LOCAL_MACHINE, key, L"DEV_enable_vireon_debug", 1); }, true},
      {"2", [](const std::wstring& key) { settings_test::SetQword(HKEY_LOCAL_MACHINE, key, L"DEV_enable_vireon_debug", 2); }, false},
      {"dword 1", [](const std::wstring& key) { settings_test::SetDword(HKEY_LOCAL_MACHINE, key, L"DEV_enable_vireon_debug", 1); }, false},
      {"text 1", [](const std::wstring& key) { settings_test::SetString(HKEY_LOCAL_MACHINE, key, L"DEV_enable_vireon_debug", L"1"); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedTestProduct product;
    c.set(product.key());
    vireon::VireonConfig config;
    config.exit_wait_ms = 1234;
    BuildVireonConfig(config);
    EXPECT_EQ(config.debug, c.debug);
    EXPECT_EQ(config.app_key, "0HTB3WNE6YQ8JCU5");
    EXPECT_EQ(config.exit_wait_ms, 1234);  // left as the caller set it
    ASSERT_GE(config.db_path.size(), 3u);
    EXPECT_EQ(config.db_path.substr(config.db_path.size() - 3), "\\db") << config.db_path;
  }
}

TEST(CommonReportParamsTest, NineteenKeysWithTheirFixedValues) {
  ScopedTestProduct product;
  zephris_report::ReportParams params{{"biz_id", "stale"}};
  BuildCommonReportParams(params);
  EXPECT_EQ(params.size(), 19u);
  EXPECT_EQ(params.at("biz_id"), "Quillorane");
  EXPECT_EQ(params.at("system_type"), "windows");
  EXPECT_EQ(params.at("power_strategy"), "0");
  EXPECT_EQ(params.at("install_source"), "");  // no "InstallSource" value
  EXPECT_EQ(params.at("architecture"), "x64");
  EXPECT_EQ(params.at("session_id").size(), 36u);
  EXPECT_EQ(params.at("guid").size(), 32u);
  EXPECT_EQ(params.at("tuvo_guid").size(), 32u);
  EXPECT_NE(params.at("physical_memory"), "0");
  EXPECT_NE(params.at("logic_cpu_core_number"), "0");
  // The telemetry device id is where the product's other programs read it.
  EXPECT_EQ(base::WideToUtf8(base::ReadRegString(HKEY_LOCAL_MACHINE, base::PathManager::GetInstance().GetEnvKey(),
                                                 L"svid", L"")),
            params.at("guid"));

  settings_test::SetString(HKEY_LOCAL_MACHINE, product.key(), L"InstallSource", L"{\"from\":\"page\"}");
  zephris_report::ReportParams again;
  BuildCommonReportParams(again);
  EXPECT_EQ(again.at("install_source"), "{\"from\":\"page\"}");
  EXPECT_NE(again.at("session_id"), params.at("session_id"));
}

TEST(SaveVtStateTest, WritesTheStateSignExtended) {
  ScopedTestProduct product;
  ASSERT_TRUE(SaveVtState(-1));
  const auto raw = GetRawValue(HKEY_LOCAL_MACHINE, product.key(), L"VtState");
  ASSERT_TRUE(raw.found && raw.type == REG_QWORD && raw.bytes.size() == 8);
  uint64_t value = 0;
  std::memcpy(&value, raw.bytes.data(), 8);
  EXPECT_EQ(value, ~uint64_t{0});
}

TEST(VolatileParamsTest, ThirtyFiveKeysAndTheirValuesWithoutStoredValues) {
  ScopedTestProduct product;
  zephris_report::VolatileParamGetters getters;
  param::InitVolatileParams(getters);
  ASSERT_EQ(getters.size(), 35u);
  auto value = [&](const char* key) { return getters.at(key)(); };
  EXPECT_EQ(value("hyperv_enable"), "");
  EXPECT_EQ(value("vt_enable"), "");
  EXPECT_EQ(value("client_type"), "");
  EXPECT_EQ(value("media_channel"), "2000");
  EXPECT_EQ(value("main_version"), "1.0.0.0");
  EXPECT_EQ(value("abox_version"), "1.0.0.0");
  EXPECT_EQ(value("exp_id"), "0");
  EXPECT_EQ(value("region"), "CN");
  EXPECT_EQ(value("imei"), "");
  EXPECT_EQ(value("login_openid"), "");
  EXPECT_EQ(value("d36"), "");  // no device-id library in the prefix
  EXPECT_EQ(value("is_system_tray_mode"), "-1");
  EXPECT_EQ(value("image_boot_count"), "0");
  EXPECT_EQ(value("graphics_card_count"), "1");
  EXPECT_EQ(value("graphics_type"), "");
  const std::string memory = value("memory_avail_phys");
  EXPECT_EQ(memory.substr(memory.size() - 2), "MB");
  const std::string resolution = value("resolution");
  EXPECT_NE(resolution.find('x'), std::string::npos) << resolution;
}

TEST(VolatileParamsTest, StoredValuesAreRead) {
  ScopedTestProduct product;
  const std::wstring client_key = base::PathManager::GetInstance().GetRegistryKey(base::ComponentKind::kClient);
  settings_test::SetQword(HKEY_LOCAL_MACHINE, product.key(), L"HyperVState", 1);
  settings_test::SetQword(HKEY_LOCAL_MACHINE, product.key(), L"VtState", 0);
  settings_test::SetQword(HKEY_CURRENT_USER, product.key(), L"ClientType", 0);
  settings_test::SetQword(HKEY_LOCAL_MACHINE, product.key(), L"ChannelId", 4294967297ULL);
  settings_test::SetString(HKEY_CURRENT_USER, client_key, L"CurrentDpi", L"1.5");
  settings_test::SetString(HKEY_LOCAL_MACHINE, product.key(), L"ExperimentId", L"42");
  zephris_report::VolatileParamGetters getters;
  param::InitVolatileParams(getters);
  auto value = [&](const char* key) { return getters.at(key)(); };
  EXPECT_EQ(value("hyperv_enable"), "1");
  EXPECT_EQ(value("vt_enable"), "0");
  EXPECT_EQ(value("client_type"), "0");
  EXPECT_EQ(value("media_channel"), "1");
  EXPECT_EQ(value("dpi"), "1.5");
  EXPECT_EQ(value("exp_id"), "42");
  base::DeleteRegTree(HKEY_CURRENT_USER, client_key);
}

TEST(VolatileParamsTest, CpuSpecialInstructionCodes) {
  struct Case {
    uint32_t ecx;
    uint32_t ebx;
    unsigned code;
  } cases[] = {
      {0, 0, 0},
      {1u << 28, 0, 1},
      {0, 1u << 5, 10},
      {1u << 25, 0, 100},
      {1u << 22, 0, 1000},
      {(1u << 28) | (1u << 25), 0, 101},
      {(1u << 28) | (1u << 25) | (1u << 22), 1u << 5, 1111},
      {~((1u << 28) | (1u << 25) | (1u << 22)), ~(1u << 5), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(param::CpuSpecialInstructionCode(c.ecx, c.ebx), c.code) << c.code;
}

}  // namespace
