#include "src/zephris_install/src/boot/setting_defaults.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

namespace {

TEST(SettingDefaultsTest, HoldsTheThirteenSettingsAndRefusesOthers) {
  const std::map<std::string, int64_t> expected = {
      {"ZephrisUpgradeOption", 1}, {"NotificationOption", 1},         {"AppStoreCloseOption", 0},
      {"BossKey", 0},              {"AiHotKeyOption", 1},             {"BossKeyHideTaskbarTray", 0},
      {"CreateAppShortcut", 1},    {"AutoSilentUpdate", 1},           {"AppNotification", 1},
      {"DefaultReplaceLocalApk", 1}, {"PreDownloadSwitch", 1},        {"PermanentlyQuitAiAssistant", 0},
      {"EnableAiAssistant", 0},
  };
  const std::map<std::string, int64_t> table(SettingDefaults().begin(), SettingDefaults().end());
  EXPECT_EQ(table, expected);
  EXPECT_THROW(SettingDefaults().at("UnknownSetting"), std::out_of_range);
}

}  // namespace
