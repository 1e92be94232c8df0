// The per-call questions; the once-per-process ones are checked through
// separate processes (global_config_process_test).
#include "src/zephris_install/src/global_config/client_state.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "src/zephris_install/src/global_config/global_config.h"

namespace {

TEST(ClientStateTest, NeedInstallApp) {
  struct Case {
    std::string app_id;
    std::optional<int32_t> app_pullup_type;
    bool needed;
  } cases[] = {
      {"com.game.x", 0, true},
      {"com.game.x", std::nullopt, true},
      {"com.game.x", 2, false},
      {"com.game.x", 1, true},
      {"", 0, false},
      {"com.pcvztsdk.install.", 0, false},
      {"com.pcvztsdk.install.abc", 0, false},
      {"com.pcvztsdk", 0, true},
      {"com.pcvztsdk.instal", 0, true},
  };
  for (const Case& c : cases) {
    GlobalConfig config({L"QuilloraneInstaller.exe"});
    config.app_id = c.app_id;
    config.app_pullup_type = c.app_pullup_type;
    EXPECT_EQ(NeedInstallApp(config), c.needed) << c.app_id;
  }
}

TEST(ClientStateTest, VztSdkSourceIsAnExactName) {
  struct Case {
    std::string source;
    bool sdk;
  } cases[] = {{"PcvztSdk", true}, {"pcvztsdk", false}, {"PcvztSdk ", false}, {"", false}};
  for (const Case& c : cases) {
    GlobalConfig config({L"QuilloraneInstaller.exe"});
    config.source_trace = c.source;
    EXPECT_EQ(IsVztSdkSource(config), c.sdk) << c.source;
  }
}

}  // namespace
