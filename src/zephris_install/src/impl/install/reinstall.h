// The engine that switches an installed client that lost its store-UI
// library back to normal mode. It downloads nothing and cannot be paused or
// stopped.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "src/zephris_install/src/impl/install_impl/install_impl.h"

// What the switch recreates and what the running client is asked to show.
struct ReinstallOptions {
  bool desktop_link = false;
  bool start_menu_link = false;
  std::optional<bool> show_main_window;
  std::optional<bool> show_tray;
};

// The data of the message that tells the client what to show.
struct ClientShowRequest {
  std::optional<bool> show_tray;
  std::optional<bool> show_main_window;
};
void to_json(nlohmann::json& json, const ClientShowRequest& request);

// The options of the configuration's link flags and pull-up type.
ReinstallOptions ReinstallOptionsFromConfig();

class Reinstall : public InstallImpl {
 public:
  explicit Reinstall(const std::shared_ptr<IInstallNotify>& notify);

  int32_t Run() override;
  void Stop() override {}
  void Pause() override {}
  void Resume() override {}
};

// Restores the store-UI library, recreates the shell integration and the
// uninstall entry, and tells the running client what to show. Only the
// library's restore decides the result.
bool SwitchToNormalMode(const std::wstring& main_version, const ReinstallOptions& options);
// Copies the backup over the client's store-UI library: 10 attempts, 1 s
// apart.
bool RestoreStoreUiDll();
// Both always true: the extensions' own results are not ours to judge.
bool RegisterContextMenus();
bool UnregisterContextMenus();
