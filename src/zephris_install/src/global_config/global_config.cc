#include "src/zephris_install/src/global_config/global_config.h"

#include <windows.h>

#include <shellapi.h>

#include "base/path_manager.h"
#include "base/product_log.h"
#include "base/registry.h"
#include "base/scoped_handle.h"
#include "base/text_conversion.h"
#include "src/zephris_install/src/global_config/client_state.h"
#include "src/zephris_install/src/global_config/install_options.h"
#include "src/zephris_install/src/global_config/install_paths.h"

namespace {

std::vector<std::wstring> ProcessArguments() {
  std::vector<std::wstring> arguments;
  int count = 0;
  base::ScopedLocalMemory argv(::CommandLineToArgvW(::GetCommandLineW(), &count));
  if (!argv) return arguments;
  const auto* items = static_cast<wchar_t* const*>(argv.Get());
  arguments.assign(items, items + count);
  return arguments;
}

// The instance exists before the entry point runs, whoever asks first.
[[maybe_unused]] GlobalConfig& g_built_before_entry = GlobalConfig::Instance();

}  // namespace

GlobalConfig& GlobalConfig::Instance() {
  static GlobalConfig instance(ProcessArguments());
  return instance;
}

GlobalConfig::GlobalConfig(const std::vector<std::wstring>& arguments) {
  InitConfigDefaults(*this);
  DeclareInstallOptions(cmd);
  std::vector<const wchar_t*> argv;
  argv.reserve(arguments.size());
  for (const std::wstring& argument : arguments) argv.push_back(argument.c_str());
  // Parse errors are kept in the parser; nothing acts on them.
  cmd.parse(static_cast<int>(argv.size()), argv.data());
}

void InitConfigDefaults(InstallRecord& record) {
  record.channel_id = 2000;
  record.build_id = 0;
  record.source_trace = "";
  record.version = "1.0.0.0";
  record.client_type = -1;
  record.zephris_main_version = "1.0.0.0";
  record.app_type = 0;
  record.app_id = "";
  record.display_name = "";
  record.auto_start_market = 1;
  record.create_desktop_link = 1;
  record.create_start_menu_link = 1;
  record.show_tray_icon = 1;
  record.auto_authorize = 0;
  record.client_pseudo_protocol = "";
  record.carousel_image_url = std::vector<std::string>();
  record.install_mode = 0;
  record.pullup_type = 1;
  record.app_pullup_type = 0;
  record.install_priority = 0;
  record.report_info.reset();
}

void GlobalConfig::Init() {
  InitInstallConfig(*this);
  InitInstallPaths(*this);
  ParseCmd(*this);
  ParsePseudoProtocol(*this);
  PRODUCT_LOG("install version: {}", version.value());

  if (IsClientInstalled()) return;
  // A fresh machine: remember where this install came from.
  PRODUCT_LOG("set channel id: {}", channel_id.value());
  const uint64_t channel = base::GetSupplyId().value_or(static_cast<uint32_t>(channel_id.value()));
  const std::wstring key = base::PathManager::GetInstance().GetRegistryKey(base::ComponentKind::kProduct);
  base::WriteRegQword(HKEY_LOCAL_MACHINE, key, L"ChannelId", channel);
  base::WriteRegString(HKEY_LOCAL_MACHINE, key, L"InstallSource", base::Utf8ToWide(install_json));
}
