// Start-up configuration as a real installer process sees it: a copy of the
// probe program is stamped with an install record, run with options, and its
// configuration, product log and registry values are checked.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include <nlohmann/json.hpp>

#include "base/registry.h"
#include "base/scoped_handle.h"
#include "base/text_conversion.h"
#include "tools/stamp_install_record/install_record_stamp.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

fs::path ProbeProgram() {
  wchar_t self[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  return fs::path(std::wstring(self, length)).parent_path() / QL_GLOBAL_CONFIG_PROBE;
}

constexpr char kRecord[] =
    R"({"channel_id":1234,"version":"5.1.0.8","display_name":"\u5938\u6d1b\u5170","app_id":"com.game.x",)"
    R"("client_pseudo_protocol":"zph://open?app=x&rid=rec-42","carousel_image_url":["https://img/a.png"],)"
    R"("report_info":{"scene":"store"}})";

class GlobalConfigProcessTest : public testing::Test {
 protected:
  void SetUp() override {
    const std::wstring unique = std::wstring(L"QlTestGc") + std::to_wstring(::GetCurrentProcessId()) +
                                base::Utf8ToWide(testing::UnitTest::GetInstance()->current_test_info()->name());
    product_ = unique;
    key_ = L"SOFTWARE\\Orvalis\\" + product_;
    dir_ = fs::temp_directory_path() / unique;
    fs::create_directories(dir_);
    ASSERT_TRUE(base::WriteRegString(HKEY_LOCAL_MACHINE, key_, L"InstallPath", (dir_ / "install").wstring()));
  }

  void TearDown() override {
    base::DeleteRegTree(HKEY_LOCAL_MACHINE, key_);
    base::DeleteRegTree(HKEY_CURRENT_USER, key_);
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  // A copy of the probe program, stamped with `record` unless it is empty.
  fs::path Installer(const std::string& record) {
    std::string image = ReadFile(ProbeProgram());
    EXPECT_GT(image.size(), 1000u) << "probe program missing: " << ProbeProgram().string();
    if (!record.empty()) {
      EXPECT_EQ(stamp::StampImage(image, record), "");
    }
    const fs::path installer = dir_ / "QuilloraneInstaller.exe";
    std::ofstream(installer, std::ios::binary | std::ios::trunc) << image;
    return installer;
  }

  // Runs the installer copy with `options` and returns its configuration.
  nlohmann::json Run(const fs::path& installer, const std::wstring& options) {
    const fs::path dump = dir_ / "config.json";
    fs::remove(dump);
    ::SetEnvironmentVariableW(L"QL_TEST_PRODUCT", product_.c_str());
    ::SetEnvironmentVariableW(L"QL_TEST_LOG", L"probe");
    ::SetEnvironmentVariableW(L"QL_CONFIG_DUMP", dump.c_str());
    ::SetEnvironmentVariableW(L"TMP", dir_.c_str());
    ::SetEnvironmentVariableW(L"TEMP", dir_.c_str());

    std::wstring command_line = L"\"" + installer.wstring() + L"\" " + options;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(installer.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          dir_.c_str(), &startup, &process)) {
      ADD_FAILURE() << "cannot start the installer copy: " << ::GetLastError();
      return nullptr;
    }
    base::ScopedKernelHandle process_handle(process.hProcess);
    base::ScopedKernelHandle thread_handle(process.hThread);
    EXPECT_EQ(::WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    DWORD exit_code = 1;
    ::GetExitCodeProcess(process.hProcess, &exit_code);
    EXPECT_EQ(exit_code, 0u);
    log_ = ReadFile(dir_ / "Orvalis" / "Quillorane" / "probe.log");
    const std::string text = ReadFile(dump);
    if (text.empty()) {
      ADD_FAILURE() << "no configuration written; log:\n" << log_;
      return nullptr;
    }
    return nlohmann::json::parse(text);
  }

  uint64_t MachineQword(const wchar_t* name) { return base::ReadRegQword(HKEY_LOCAL_MACHINE, key_, name, 0xDEAD); }
  std::wstring MachineString(const wchar_t* name) {
    return base::ReadRegString(HKEY_LOCAL_MACHINE, key_, name, L"<absent>");
  }

  // Puts the client application's files in place, as an earlier install did.
  void InstallClient(uint64_t brand_code, bool with_store_ui) {
    const std::wstring client_key = key_ + L"\\QuilloraneEmulator";
    ASSERT_TRUE(base::WriteRegString(HKEY_LOCAL_MACHINE, client_key, L"Version", L"4.2.0.0"));
    ASSERT_TRUE(base::WriteRegQword(HKEY_CURRENT_USER, client_key, L"BrandCode", brand_code));
    const fs::path folder = dir_ / "install" / "Application" / "4.2.0.0";
    fs::create_directories(folder);
    std::ofstream(folder / "Quillorane.exe") << "MZ";
    std::ofstream(folder / "QuilloraneEmulator.exe") << "MZ";
    if (with_store_ui) std::ofstream(folder / "store_ui_dll.dll") << "MZ";
  }

  std::wstring product_;
  std::wstring key_;
  fs::path dir_;
  std::string log_;
};

TEST_F(GlobalConfigProcessTest, UnstampedInstallerKeepsTheDefaults) {
  const nlohmann::json config = Run(Installer(""), L"");
  ASSERT_TRUE(config.is_object());
  EXPECT_EQ(config["channel_id"], 2000);
  EXPECT_EQ(config["version"], "1.0.0.0");
  EXPECT_EQ(config["pullup_type"], 1);
  EXPECT_EQ(config["install_json"], "");
  EXPECT_EQ(config["client_installed"], false);
  EXPECT_NE(log_.find("compare magic failed."), std::string::npos) << log_;
  EXPECT_NE(log_.find("parse install json failed: "), std::string::npos) << log_;
  EXPECT_NE(log_.find("install version: 1.0.0.0"), std::string::npos) << log_;
  EXPECT_NE(log_.find("set channel id: 2000"), std::string::npos) << log_;
  EXPECT_EQ(MachineQword(L"ChannelId"), 2000u);
  EXPECT_EQ(MachineString(L"InstallSource"), L"");
}

TEST_F(GlobalConfigProcessTest, StampedRecordConfiguresTheInstaller) {
  const nlohmann::json config = Run(Installer(kRecord), L"");
  ASSERT_TRUE(config.is_object());
  EXPECT_EQ(config["channel_id"], 1234);
  EXPECT_EQ(config["version"], "5.1.0.8");
  EXPECT_EQ(config["display_name"], "\xE5\xA4\xB8\xE6\xB4\x9B\xE5\x85\xB0");
  EXPECT_EQ(config["app_id"], "com.game.x");
  EXPECT_EQ(config["rid"], "rec-42");
  EXPECT_EQ(config["carousel_images"], nlohmann::json::array({"https://img/a.png"}));
  EXPECT_EQ(config["report_info"], nlohmann::json({{"scene", "store"}}));

  std::string kept = kRecord;
  kept.erase(kept.find("zph://open?app=x&rid=rec-42"), std::string("zph://open?app=x&rid=rec-42").size());
  EXPECT_EQ(config["install_json"], kept) << "the pseudo-protocol URL is cut out";
  EXPECT_EQ(config["report_json"], kept);
  EXPECT_EQ(MachineQword(L"ChannelId"), 1234u);
  EXPECT_EQ(MachineString(L"InstallSource"), base::Utf8ToWide(kept)) << "UTF-8 record stored as UTF-16";
  EXPECT_EQ(log_.find("compare magic failed."), std::string::npos) << log_;
  EXPECT_NE(log_.find("install version: 5.1.0.8"), std::string::npos) << log_;
}

TEST_F(GlobalConfigProcessTest, CommandLineOverridesTheRecord) {
  const nlohmann::json config = Run(
      Installer(kRecord), L"--force-channel 99 --mode=2 --app-id \"com.other app\" --pseudo-protocol zph://x?rid=9");
  ASSERT_TRUE(config.is_object());
  EXPECT_EQ(config["channel_id"], 99);
  EXPECT_EQ(config["install_mode"], 2);
  EXPECT_EQ(config["app_id"], "com.other app");
  EXPECT_EQ(config["client_pseudo_protocol"], "zph://x?rid=9");
  EXPECT_EQ(config["rid"], "9") << "the query is read after the options";
  EXPECT_EQ(config["version"], "5.1.0.8") << "what no option names stays the record's";
  EXPECT_EQ(MachineQword(L"ChannelId"), 99u);
  EXPECT_NE(log_.find("[ForceChannel][Origin]:1234 [Force]: 99"), std::string::npos) << log_;
  EXPECT_NE(log_.find("[PullupType]: 1 [InstallMode]: 2"), std::string::npos) << log_;
}

TEST_F(GlobalConfigProcessTest, FromSourceReplacesTheStampedRecord) {
  const nlohmann::json config =
      Run(Installer(kRecord), L"--from-source \"{\\\"channel_id\\\":777,\\\"version\\\":\\\"7.7\\\"}\"");
  ASSERT_TRUE(config.is_object());
  EXPECT_EQ(config["channel_id"], 777);
  EXPECT_EQ(config["version"], "7.7");
  EXPECT_EQ(config["app_id"], "") << "nothing of the stamped record is taken";
  EXPECT_EQ(config["install_json"], R"({"channel_id":777,"version":"7.7"})");
  EXPECT_EQ(MachineString(L"InstallSource"), LR"({"channel_id":777,"version":"7.7"})");
}

TEST_F(GlobalConfigProcessTest, SupplyIdOfTheMakerWinsOnAFreshMachine) {
  {
    base::ScopedRegKey supply;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvalis\\Mobivane", 0, nullptr, 0,
                                KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, supply.Receive(), nullptr),
              ERROR_SUCCESS);
    const DWORD supply_id = 5150;
    ASSERT_EQ(::RegSetValueExW(supply.Get(), L"SupplyId", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&supply_id),
                               sizeof(supply_id)),
              ERROR_SUCCESS);
  }

  const nlohmann::json config = Run(Installer(kRecord), L"");
  ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvalis\\Mobivane", KEY_WOW64_32KEY, 0);

  ASSERT_TRUE(config.is_object());
  EXPECT_EQ(config["channel_id"], 1234) << "the configuration keeps the record's channel";
  EXPECT_EQ(MachineQword(L"ChannelId"), 5150u);
}

TEST_F(GlobalConfigProcessTest, InstalledClientLeavesTheRegistryAlone) {
  InstallClient(/*brand_code=*/0, /*with_store_ui=*/false);
  const nlohmann::json config = Run(Installer(kRecord), L"");
  ASSERT_TRUE(config.is_object());
  EXPECT_EQ(config["client_installed"], true);
  EXPECT_EQ(config["client_intact"], true);
  EXPECT_EQ(config["need_reinstall"], false);
  EXPECT_EQ(MachineQword(L"ChannelId"), 0xDEADu);
  EXPECT_EQ(MachineString(L"InstallSource"), L"<absent>");
  EXPECT_EQ(log_.find("set channel id"), std::string::npos) << log_;
}

TEST_F(GlobalConfigProcessTest, StoreUiClientWithoutItsLibraryNeedsReinstall) {
  InstallClient(/*brand_code=*/10, /*with_store_ui=*/false);
  const nlohmann::json config = Run(Installer(""), L"");
  ASSERT_TRUE(config.is_object());
  EXPECT_EQ(config["client_installed"], true);
  EXPECT_EQ(config["client_intact"], false);
  EXPECT_EQ(config["need_reinstall"], true);
}

TEST_F(GlobalConfigProcessTest, StoreUiClientWithItsLibraryIsIntact) {
  InstallClient(/*brand_code=*/10, /*with_store_ui=*/true);
  const nlohmann::json config = Run(Installer(""), L"");
  ASSERT_TRUE(config.is_object());
  EXPECT_EQ(config["client_intact"], true);
  EXPECT_EQ(config["need_reinstall"], false);
}

}  // namespace
