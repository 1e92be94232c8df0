#include "src/zephris_install/src/global_config/client_state.h"

#include <windows.h>

#include <fmt/format.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "base/path_manager.h"
#include "base/registry.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/tool/uninstall_entry.h"

namespace {

constexpr uint64_t kStoreUiBrand = 10;
// What the path manager answers for a version value that was never written.
constexpr wchar_t kUnsetVersion[] = L"1.0.0.0";

bool ComputeClientIntact() {
  if (!IsClientInstalled()) return false;
  const base::PathManager& paths = base::PathManager::GetInstance();
  const uint64_t brand =
      base::ReadRegQword(HKEY_CURRENT_USER, paths.GetRegistryKey(base::ComponentKind::kClient), L"BrandCode", 0);
  if (brand != kStoreUiBrand) return true;
  std::error_code ec;
  const std::filesystem::path library =
      std::filesystem::path(paths.GetComponentDir(base::ComponentKind::kClient)) / L"store_ui_dll.dll";
  return std::filesystem::exists(library, ec) && !ec;
}

}  // namespace

bool IsClientInstalled() {
  static const bool installed = base::PathManager::GetInstance().HasClientFiles();
  return installed;
}

bool IsClientIntact() {
  static const bool intact = ComputeClientIntact();
  return intact;
}

bool NeedReinstall() {
  static const bool needed = IsClientInstalled() && !IsClientIntact();
  return needed;
}

bool IsProductRegistered() {
  const base::PathManager& paths = base::PathManager::GetInstance();
  if (paths.GetProductVersion() == kUnsetVersion) return false;
  const std::wstring uninstall_key = std::wstring(kUninstallKeyRoot) + kUninstallKeyName;
  return static_cast<bool>(base::OpenRegKey(HKEY_LOCAL_MACHINE, uninstall_key, KEY_READ));
}

bool NeedInstallApp(const GlobalConfig& config) {
  static const std::string kPlaceholderPrefix = fmt::format("com.pcvztsdk.install.{}", "");
  const std::string& app_id = config.app_id.value();
  if (app_id.empty() || app_id.starts_with(kPlaceholderPrefix)) return false;
  return !config.app_pullup_type.has_value() || *config.app_pullup_type != 2;
}

bool NeedInstallApp() { return NeedInstallApp(GlobalConfig::Instance()); }

bool IsVztSdkSource(const GlobalConfig& config) { return config.source_trace.value() == "PcvztSdk"; }

bool IsVztSdkSource() { return IsVztSdkSource(GlobalConfig::Instance()); }
