#include "src/zephris_install/src/global_config/install_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/global_config/tests/log_capture.h"

namespace {

using global_config_test::LogCapture;

GlobalConfig Config(std::vector<std::wstring> arguments) {
  arguments.insert(arguments.begin(), L"QuilloraneInstaller.exe");
  return GlobalConfig(arguments);
}

TEST(InstallOptionsTest, EveryOptionReachesItsField) {
  GlobalConfig config = Config({
      L"--force-channel=8000000000", L"--mode", L"2", L"--pullup-type=0", L"--show-install-tips=5",
      L"--disable-self-update=1", L"--full-install=1", L"--auto-start-market=0", L"--client-type=-1",
      L"--create-desktop-link=0", L"--create-start-menu-link=0", L"--show-tray-icon=0", L"--engine-type=3",
      L"--install-action=1", L"--install-ui=1", L"--app-install-mode=4", L"--auto-authorize=1",
      L"--app-id=com.game.\u00e9", L"--download-directory", L"Z:\\no\\such\\folder", L"--pseudo-protocol",
      L"zph://open?rid=5", L"--sdk-product=abc"});
  ParseCmd(config);
  EXPECT_EQ(config.channel_id, 8000000000u);
  EXPECT_EQ(config.install_mode, 2);
  EXPECT_EQ(config.pullup_type, 0);
  EXPECT_TRUE(config.show_install_tips);
  EXPECT_TRUE(config.disable_self_update);
  EXPECT_TRUE(config.full_install);
  EXPECT_EQ(config.auto_start_market, 0);
  EXPECT_EQ(config.client_type, -1) << "negative values are taken as they are";
  EXPECT_EQ(config.create_desktop_link, 0);
  EXPECT_EQ(config.create_start_menu_link, 0);
  EXPECT_EQ(config.show_tray_icon, 0);
  EXPECT_EQ(config.engine_type, 3);
  EXPECT_EQ(config.install_action, 1);
  EXPECT_EQ(config.install_ui, 1);
  EXPECT_EQ(config.install_priority, 4);
  EXPECT_EQ(config.auto_authorize, 1);
  EXPECT_EQ(config.app_id, "com.game.\xC3\xA9") << "UTF-8";
  EXPECT_EQ(config.component_dir, std::filesystem::path(L"Z:\\no\\such\\folder")) << "applied though missing";
  EXPECT_EQ(config.client_pseudo_protocol, "zph://open?rid=5");
  EXPECT_EQ(config.sdk_product, "abc");
}

TEST(InstallOptionsTest, OptionsOverrideTheRecord) {
  GlobalConfig config = Config({L"--from-source", LR"({"channel_id": 1234, "install_mode": 2, "app_id": "rec"})",
                                L"--app-id", L"cmd", L"--force-channel", L"99"});
  config.show_install_tips = true;
  LogCapture log;
  InitInstallConfig(config);
  ParseCmd(config);
  EXPECT_EQ(config.channel_id, 99u);
  EXPECT_EQ(config.app_id, "cmd");
  EXPECT_EQ(config.install_mode, 2) << "not given: the record's value stays";
  EXPECT_TRUE(config.show_install_tips) << "not given: unchanged";
  const std::string lines = log.Lines();
  EXPECT_NE(lines.find("[ForceChannel][Origin]:1234 [Force]: 99"), std::string::npos) << lines;
  EXPECT_NE(lines.find("[PullupType]: 1 [InstallMode]: 2"), std::string::npos) << lines;
}

TEST(InstallOptionsTest, ZeroSwitchesAFlagOff) {
  GlobalConfig config = Config({L"--show-install-tips=0"});
  config.show_install_tips = true;
  ParseCmd(config);
  EXPECT_FALSE(config.show_install_tips);
}

TEST(InstallOptionsTest, ValuesThatDoNotReadCountAsNotGiven) {
  GlobalConfig config = Config({L"--mode=abc", L"--client-type", L"5x", L"--force-channel=-1", L"--install-ui="});
  ParseCmd(config);
  EXPECT_EQ(config.install_mode, 0);
  EXPECT_EQ(config.client_type, -1);
  EXPECT_EQ(config.channel_id, 2000u);
  EXPECT_EQ(config.install_ui, 0);
  EXPECT_FALSE(config.cmd.errors().empty()) << "the parser keeps its complaints";
}

TEST(InstallOptionsTest, NoOptionsChangeNothing) {
  GlobalConfig config = Config({});
  const std::filesystem::path component_dir = config.component_dir;
  LogCapture log;
  ParseCmd(config);
  EXPECT_EQ(config.channel_id, 2000u);
  EXPECT_EQ(config.pullup_type, 1);
  EXPECT_EQ(config.install_action, 0);
  EXPECT_EQ(config.component_dir, component_dir);
  const std::string lines = log.Lines();
  EXPECT_NE(lines.find("[PullupType]: 1 [InstallMode]: 0"), std::string::npos) << lines;
  EXPECT_EQ(lines.find("ForceChannel"), std::string::npos) << lines;
}

TEST(InstallOptionsTest, FromSourceIsNotACopiedOption) {
  GlobalConfig config = Config({L"--from-source", LR"({"app_id":"x"})"});
  ParseCmd(config);
  EXPECT_EQ(config.install_json, "") << "the record reader takes it, not the option copier";
  EXPECT_EQ(config.app_id, "");
}

}  // namespace
