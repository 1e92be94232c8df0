#include "src/zephris_install/src/global_config/install_options.h"

#include <cstdint>
#include <string>

#include "base/product_log.h"
#include "base/text_conversion.h"
#include "src/zephris_install/src/global_config/global_config.h"

namespace {

using IntOption = int32_t;
using ChannelOption = uint64_t;
using TextOption = std::wstring;

// Runs `apply` with the option's value when the option was given (with a
// value of its type: a value that did not read counts as not given).
template <typename T, typename Apply>
void IfGiven(const cmdline::parser& parser, const wchar_t* name, Apply&& apply) {
  if (!parser.exist(name)) return;
  if (const std::optional<T> value = parser.get<T>(name)) apply(*value);
}

}  // namespace

void DeclareInstallOptions(cmdline::parser& parser) {
  parser.add<ChannelOption>(L"force-channel", L"");
  for (const wchar_t* name : {L"mode", L"pullup-type", L"show-install-tips", L"disable-self-update", L"full-install",
                              L"auto-start-market", L"client-type", L"create-desktop-link",
                              L"create-start-menu-link", L"show-tray-icon", L"engine-type", L"install-action",
                              L"install-ui", L"app-install-mode", L"auto-authorize"}) {
    parser.add<IntOption>(name, L"");
  }
  for (const wchar_t* name : {L"app-id", L"from-source", L"download-directory", L"pseudo-protocol", L"sdk-product"}) {
    parser.add<TextOption>(name, L"", L"");
  }
}

void ParseCmd(GlobalConfig& config) {
  const cmdline::parser& cmd = config.cmd;
  IfGiven<ChannelOption>(cmd, L"force-channel", [&](uint64_t channel) {
    const uint64_t origin = config.channel_id.value();
    config.channel_id = channel;
    PRODUCT_LOG("[ForceChannel][Origin]:{} [Force]: {}", origin, channel);
  });
  IfGiven<IntOption>(cmd, L"pullup-type", [&](int value) { config.pullup_type = value; });
  IfGiven<IntOption>(cmd, L"mode", [&](int value) { config.install_mode = value; });
  IfGiven<IntOption>(cmd, L"show-install-tips", [&](int value) { config.show_install_tips = value != 0; });
  IfGiven<IntOption>(cmd, L"disable-self-update", [&](int value) { config.disable_self_update = value != 0; });
  IfGiven<IntOption>(cmd, L"full-install", [&](int value) { config.full_install = value != 0; });
  IfGiven<IntOption>(cmd, L"auto-start-market", [&](int value) { config.auto_start_market = value; });
  IfGiven<IntOption>(cmd, L"client-type", [&](int value) { config.client_type = value; });
  IfGiven<IntOption>(cmd, L"create-desktop-link", [&](int value) { config.create_desktop_link = value; });
  IfGiven<IntOption>(cmd, L"create-start-menu-link", [&](int value) { config.create_start_menu_link = value; });
  IfGiven<IntOption>(cmd, L"show-tray-icon", [&](int value) { config.show_tray_icon = value; });
  IfGiven<TextOption>(cmd, L"app-id", [&](const std::wstring& value) { config.app_id = base::WideToUtf8(value); });
  IfGiven<IntOption>(cmd, L"app-install-mode", [&](int value) { config.install_priority = value; });
  IfGiven<TextOption>(cmd, L"pseudo-protocol",
                      [&](const std::wstring& value) { config.client_pseudo_protocol = base::WideToUtf8(value); });
  IfGiven<IntOption>(cmd, L"auto-authorize", [&](int value) { config.auto_authorize = value; });
  IfGiven<TextOption>(cmd, L"download-directory",
                      [&](const std::wstring& value) { config.component_dir = std::filesystem::path(value); });
  IfGiven<IntOption>(cmd, L"engine-type", [&](int value) { config.engine_type = value; });
  IfGiven<IntOption>(cmd, L"install-action", [&](int value) { config.install_action = value; });
  IfGiven<IntOption>(cmd, L"install-ui", [&](int value) { config.install_ui = value; });
  IfGiven<TextOption>(cmd, L"sdk-product",
                      [&](const std::wstring& value) { config.sdk_product = base::WideToUtf8(value); });

  PRODUCT_LOG("[PullupType]: {} [InstallMode]: {}", config.pullup_type.value_or(0), config.install_mode.value_or(0));
}
