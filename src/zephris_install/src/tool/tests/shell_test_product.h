// The product of a shell-integration case: a product name of its own whose
// install folder lies in a temporary folder with a blank in its name, and
// the client type the case needs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "base/path_manager.h"
#include "base/tests/settings_test_util.h"

namespace shell_test {

class ScopedShellProduct {
 public:
  ScopedShellProduct() {
    settings_test::SetString(HKEY_LOCAL_MACHINE, product_.key(), L"InstallPath", install_path().wstring());
  }
  // -1 leaves the client type unset.
  void SetClientType(int32_t client_type) {
    if (client_type == -1) return;
    settings_test::SetQword(HKEY_CURRENT_USER, product_.key(), L"ClientType",
                            static_cast<uint64_t>(static_cast<int64_t>(client_type)));
  }
  std::filesystem::path install_path() const { return temp_.path() / L"Program Files" / L"Orvalis"; }
  std::wstring client_dir() const {
    return base::PathManager::GetInstance().GetComponentInstallDir(base::ComponentKind::kClient);
  }
  const settings_test::ScopedTestProduct& product() const { return product_; }

 private:
  settings_test::ScopedTempDir temp_;
  settings_test::ScopedTestProduct product_;
};

}  // namespace shell_test
