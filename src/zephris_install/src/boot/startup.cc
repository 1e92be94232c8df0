#include "src/zephris_install/src/boot/startup.h"

#include <objbase.h>

#include <ios>
#include <mutex>

#include "base/path_manager.h"
#include "base/product_log.h"
#include "base/single_instance.h"
#include "base/system_probe.h"
#include "base/text_conversion.h"
#include "ipc/ipc_manager.h"
#include "report/install_report.h"
#include "src/common/data/tiko_group_config.h"
#include "src/common/diagnosis/crash_handler.h"
#include "src/zephris_install/src/boot/install_resources.h"
#include "src/zephris_install/src/boot/skin_resources.h"
#include "src/zephris_install/src/global_config/client_state.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/impl/install_impl/install_impl.h"
#include "src/zephris_install/src/tool/firewall_rule.h"
#include "src/zephris_install/src/tool/self_update.h"
#include "src/zephris_install/src/wrapper/message_box/tiny_message_box.h"
#include "vireon_sdk/src/report/vireon_client.h"

namespace {

constexpr uint64_t kDefaultChannelId = 2000;

std::wstring ModulePath() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

// One entry: the installer's own program.
void AddFirewallRules() { AddFirewallRule(kInstallerFirewallRule, ModulePath()); }
void RemoveFirewallRules() { RemoveFirewallRule(kInstallerFirewallRule); }

// True when a newer installer was started in place of this one.
bool HandOverToNewerInstaller() {
  if (!IsNeedSelfUpdate()) return false;
  ReportInstallerUpdate(0, true);
  if (Update() && StartNewInstaller()) {
    ReportInstallerUpdate(1, true);
    PRODUCT_LOG("self update, exit...");
    return true;
  }
  ReportInstallerUpdate(1, false);
  return false;
}

// True when another installer runs; only asked on a fresh machine.
bool AnotherInstallerRuns() {
  GlobalConfig& config = GlobalConfig::Instance();
  if (IsClientInstalled()) return false;
  if (!base::CheckInstallerSingleInstance(config.channel_id.value_or(kDefaultChannelId), config.install_action,
                                          base::IsProcessElevated())) {
    return false;
  }
  config.install_result_code = kResultAnotherInstaller;
  if (config.install_mode.value_or(0) != 2) {
    PRODUCT_LOG("another installer is running");
    TinyMessageBox::Show(nullptr, "quit_install_card", "none_card", L"下载提示", L"检测到有另一安装进程运行中。",
                         data::DefaultTikoGroupConfig(), L"确认", L"");
    if (const HWND other = ::FindWindowW(L"zephris_install", nullptr)) ::ShowWindow(other, SW_SHOWNORMAL);
  }
  ReportInstallError({});
  return true;
}

bool g_com_initialized = false;

}  // namespace

bool Initialize(HINSTANCE instance) {
  static std::once_flag log_once;
  std::call_once(log_once, [] { base::ProductLogger::GetInstance().Start("zephris_install", std::ios::app); });
  PRODUCT_LOG("[cmd]: {}", base::WideToUtf8(::GetCommandLineW()));
  base::PathManager::GetInstance().Init(L"Quillorane");
  GlobalConfig& config = GlobalConfig::Instance();
  config.Init();
  AddFirewallRules();
  InitReport();
  if (!config.disable_self_update && HandOverToNewerInstaller()) return false;
  ::AddVectoredExceptionHandler(0, diagnosis::ExceptionHandler);
  InitSkinResources(instance);
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    PRODUCT_LOG("fatal: CoInitializeEx fail");
  } else {
    g_com_initialized = true;
  }
  ipc::IpcManager::Instance().Init(config.install_action == 1 ? ipc::kClientInstallerDownloader
                                                              : ipc::kClientInstaller);
  if (AnotherInstallerRuns()) return false;
  RemoveInstallResources();
  return true;
}

void Shutdown() {
  static std::once_flag ipc_once;
  std::call_once(ipc_once, [] { ipc::IpcManager::Instance().Uninit(); });
  if (g_com_initialized) {
    ::CoUninitialize();
    g_com_initialized = false;
  }
  RemoveFirewallRules();
  // The worker hands what it still holds to the client, whose transport
  // then sends it within its exit wait or keeps it in the store.
  zephris_report::Reporter::Instance().Uninit();
  VireonClient::UninitSDK();
  base::ProductLogger::GetInstance().Stop();
}
