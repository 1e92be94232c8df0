#include "src/zephris_install/src/wrapper/install_ui/store_ui_brand.h"

#include <cstdint>
#include <filesystem>
#include <system_error>

#include "base/path_manager.h"
#include "base/registry.h"
#include "src/zephris_install/src/global_config/client_state.h"

namespace {

constexpr uint64_t kStoreUiBrandCode = 10;

bool ComputeStoreUiBrand() {
  if (!IsClientInstalled()) return false;
  const base::PathManager& paths = base::PathManager::GetInstance();
  const uint64_t brand =
      base::ReadRegQword(HKEY_CURRENT_USER, paths.GetRegistryKey(base::ComponentKind::kClient), L"BrandCode", 0);
  if (brand != kStoreUiBrandCode) return false;
  std::error_code ec;
  const std::filesystem::path library =
      std::filesystem::path(paths.GetComponentDir(base::ComponentKind::kClient)) / L"store_ui_dll.dll";
  return std::filesystem::exists(library, ec) && !ec;
}

}  // namespace

bool IsStoreUiBrand() {
  static const bool store_ui = ComputeStoreUiBrand();
  return store_ui;
}
