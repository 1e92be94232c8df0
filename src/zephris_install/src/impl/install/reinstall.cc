#include "src/zephris_install/src/impl/install/reinstall.h"

#include <windows.h>

#include <filesystem>
#include <future>

#include <fmt/xchar.h>

#include "base/path_manager.h"
#include "base/process_util.h"
#include "base/product_log.h"
#include "base/retry_until.h"
#include "base/system_probe.h"
#include "base/text_conversion.h"
#include "ipc/ipc_manager.h"
#include "ipc/ipc_packet.h"
#include "ipc/ipc_query.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/tool/apk_association.h"
#include "src/zephris_install/src/tool/shortcut.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRestoreAttempts = 10;
constexpr int kRestoreIntervalMs = 1000;
constexpr uint64_t kClientQueryTimeoutMs = 2000;

fs::path ClientDir() { return base::PathManager::GetInstance().GetComponentDir(base::ComponentKind::kClient); }

fs::path ContextMenuProgram() { return ClientDir() / L"win11_context_menu" / L"PCvztContextMenuApp.exe"; }
fs::path ContextMenuExtension() { return ClientDir() / L"context_menu_ext.dll"; }
fs::path AssistantContextMenu() { return ClientDir() / L"ZephrisAiAssistantContextMenu.dll"; }

void RunHiddenAndWait(const std::wstring& program, const std::wstring& parameters) {
  base::ShellRunAndWait(program, parameters, true, L"", SW_HIDE);
}

// An existence check that fails for another reason than absence (access
// denied, say) counts as absent: the library is then left alone.
bool AssistantContextMenuPresent() {
  std::error_code ec;
  return fs::exists(AssistantContextMenu(), ec) && !ec;
}

}  // namespace

void to_json(nlohmann::json& json, const ClientShowRequest& request) {
  json = nlohmann::json::object();
  if (request.show_tray) json["show_tray"] = *request.show_tray;
  if (request.show_main_window) json["show_main_window"] = *request.show_main_window;
}

ReinstallOptions ReinstallOptionsFromConfig() {
  const GlobalConfig& config = GlobalConfig::Instance();
  const int32_t pullup_type = config.pullup_type.value_or(0);
  ReinstallOptions options;
  options.desktop_link = config.create_desktop_link.value_or(0) == 1;
  options.start_menu_link = config.create_start_menu_link.value_or(0) == 1;
  options.show_main_window = pullup_type == 1;
  options.show_tray = pullup_type != 3;
  return options;
}

Reinstall::Reinstall(const std::shared_ptr<IInstallNotify>& notify) : InstallImpl(notify) {}

int32_t Reinstall::Run() {
  NotifyStart();
  NotifyInstallStart();
  const ReinstallOptions options = ReinstallOptionsFromConfig();
  const std::wstring main_version = base::Utf8ToWide(GlobalConfig::Instance().zephris_main_version.value_or(""));
  if (!SwitchToNormalMode(main_version, options)) return BadExit("switch to normal mode fail");
  NotifyInstallEnd();
  NotifyComplete();
  return 0;
}

bool SwitchToNormalMode(const std::wstring& main_version, const ReinstallOptions& options) {
  if (!RestoreStoreUiDll()) return false;
  if (options.desktop_link) CreateDesktopShortcut();
  if (options.start_menu_link) CreateShortcut(PlaceShortcutInStartMenu, kStartMenuLaunchCode);
  RegisterApkAssociation();
  RegisterContextMenus();
  WriteUninstallAndProtocol(main_version);

  const ClientShowRequest request{options.show_tray, options.show_main_window};
  try {
    auto packet = std::make_shared<ipc::IpcPacket>(ipc::IpcManager::Instance().own_type(), ipc::kClientAppstore,
                                                   ipc::kMsgShowTrayAndWindow, nlohmann::json(request), true);
    if (!ipc::Send(packet, true)) PRODUCT_LOG("client show request not sent");
  } catch (const std::exception& e) {
    PRODUCT_LOG("client show request fail, message: {}", e.what());
  }
  // Nobody is known to answer this query; it is asked and its end awaited,
  // the answer unused.
  ipc::IpcQuerier::Query<nlohmann::json>(ipc::kClientNoChannel10015, ipc::kQueryClient10015, nullptr,
                                         kClientQueryTimeoutMs)
      .wait();
  return true;
}

bool RestoreStoreUiDll() {
  const fs::path backup =
      fs::path(base::PathManager::GetInstance().GetAppDataDir(base::AppDataDirKind::kSelf)) / L"zephris.bak";
  const fs::path library = ClientDir() / L"store_ui_dll.dll";
  DWORD error = 0;
  const bool restored = base::RetryUntil(
      [&] {
        if (CopyFileW(backup.c_str(), library.c_str(), FALSE)) return true;
        error = GetLastError();
        return false;
      },
      kRestoreAttempts, kRestoreIntervalMs);
  if (!restored) PRODUCT_LOG("restore store ui dll fail, error: {}", error);
  return restored;
}

bool UnregisterContextMenus() {
  if (base::IsWindows11OrLater()) RunHiddenAndWait(ContextMenuProgram().wstring(), L"/u");
  if (base::IsWindows10OrLater()) {
    RunHiddenAndWait(L"regsvr32", fmt::format(L"/s /u \"{}\"", ContextMenuExtension().wstring()));
  }
  if (AssistantContextMenuPresent()) base::RegisterComDll(AssistantContextMenu().wstring(), true);
  return true;
}

bool RegisterContextMenus() {
  UnregisterContextMenus();
  if (base::IsWindows11OrLater()) {
    RunHiddenAndWait(ContextMenuProgram().wstring(), L"/i");
  } else if (base::IsWindows10OrLater()) {
    RunHiddenAndWait(L"regsvr32", fmt::format(L"/s \"{}\"", ContextMenuExtension().wstring()));
  }
  if (AssistantContextMenuPresent()) base::RegisterComDll(AssistantContextMenu().wstring(), false);
  return true;
}
