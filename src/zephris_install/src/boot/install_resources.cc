#include "src/zephris_install/src/boot/install_resources.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "base/path_manager.h"

void RemoveInstallResources() {
  const std::wstring folder = base::PathManager::GetInstance().GetTempDir(base::TempDirKind::kInstallResources);
  if (folder.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}
