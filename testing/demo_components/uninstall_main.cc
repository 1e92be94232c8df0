// Uninstall.exe of the demo client, what the uninstall entry starts:
//   Uninstall.exe --oem-uninstall=<product text>
// It removes what the client's setup and the installer left for the client:
// the client's install folder with everything in it (itself included), the
// client's version keys and the product's uninstall entry.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "base/path_manager.h"
#include "base/registry.h"
#include "base/text_conversion.h"
#include "testing/demo_components/demo_record.h"

namespace fs = std::filesystem;

namespace {

constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillorane";

// A running program's file cannot be deleted, but it can be renamed on its
// volume: move it to the temporary folder and let the next restart delete it.
void MoveSelfOutOf(const fs::path& folder) {
  const fs::path self = demo::OwnPath();
  const auto relative = self.lexically_relative(folder);
  if (relative.empty() || relative.begin()->wstring() == L"..") return;
  wchar_t temp[MAX_PATH + 1] = {};
  if (::GetTempPathW(MAX_PATH + 1, temp) == 0) return;
  const fs::path aside = fs::path(temp) / (L"Uninstall-" + std::to_wstring(::GetCurrentProcessId()) + L".exe");
  if (::MoveFileExW(self.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    ::MoveFileExW(aside.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
}

}  // namespace

int main() {
  if (!demo::OptionValue(demo::Arguments(), L"oem-uninstall")) {
    std::fprintf(stderr, "usage: Uninstall.exe --oem-uninstall=<product>\n");
    return 2;
  }
  auto& paths = base::PathManager::GetInstance();
  paths.Init(demo::ProductName());
  const fs::path client_dir = paths.GetComponentInstallDir(base::ComponentKind::kClient);
  // The folder cannot go while it is this process's working folder.
  wchar_t temp[MAX_PATH + 1] = {};
  if (::GetTempPathW(MAX_PATH + 1, temp) != 0) ::SetCurrentDirectoryW(temp);
  MoveSelfOutOf(client_dir);

  std::error_code error;
  fs::remove_all(client_dir, error);
  const std::wstring client_key = paths.GetRegistryKey(base::ComponentKind::kClient);
  const bool keys_removed = base::DeleteRegTree(HKEY_LOCAL_MACHINE, client_key) &&
                            base::DeleteRegTree(HKEY_CURRENT_USER, client_key) &&
                            base::DeleteRegTree(HKEY_LOCAL_MACHINE, kUninstallKey);
  if (error) {
    std::fprintf(stderr, "Uninstall: cannot remove %s: %s\n", base::WideToUtf8(client_dir.wstring()).c_str(),
                 error.message().c_str());
    return 1;
  }
  if (!keys_removed) {
    std::fprintf(stderr, "Uninstall: cannot remove the client's keys or the uninstall entry\n");
    return 1;
  }
  return 0;
}
