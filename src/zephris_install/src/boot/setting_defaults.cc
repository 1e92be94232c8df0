#include "src/zephris_install/src/boot/setting_defaults.h"

const std::unordered_map<std::string, int64_t>& SettingDefaults() {
  static const std::unordered_map<std::string, int64_t> defaults = {
      {"ZephrisUpgradeOption", 1},   {"NotificationOption", 1},         {"AppStoreCloseOption", 0},
      {"BossKey", 0},                {"AiHotKeyOption", 1},             {"BossKeyHideTaskbarTray", 0},
      {"CreateAppShortcut", 1},      {"AutoSilentUpdate", 1},           {"AppNotification", 1},
      {"DefaultReplaceLocalApk", 1}, {"PreDownloadSwitch", 1},          {"PermanentlyQuitAiAssistant", 0},
      {"EnableAiAssistant", 0},
  };
  return defaults;
}
