#include "src/zephris_install/src/tool/shortcut.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <filesystem>
#include <map>
#include <string_view>
#include <system_error>

#include "base/command_line.h"
#include "base/path_manager.h"
#include "base/registry.h"
#include "base/registry_stamp.h"
#include "base/scoped_handle.h"
#include "src/zephris_install/src/tool/uninstall_entry.h"

namespace {

constexpr wchar_t kLinkExtension[] = L".lnk";

// The reinstall engine saves links from its install task thread, which has no
// apartment of its own; a thread that already has one keeps it.
class ShellComScope {
 public:
  ShellComScope() : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ShellComScope(const ShellComScope&) = delete;
  ShellComScope& operator=(const ShellComScope&) = delete;
  ~ShellComScope() {
    if (initialised_) ::CoUninitialize();
  }

 private:
  bool initialised_;
};

bool PlaceShortcutIn(const std::wstring& folder, ShortcutSpec& shortcut, bool only_if_present) {
  if (folder.empty()) return false;
  shortcut.link_path = (std::filesystem::path(folder) / shortcut.link_path).wstring();
  std::error_code error;
  if (std::filesystem::exists(shortcut.link_path, error)) {
    std::filesystem::remove(shortcut.link_path, error);
  } else if (only_if_present) {
    return true;
  }
  return SaveShellLink(shortcut);
}

}  // namespace

bool PlaceShortcutOnDesktop(ShortcutSpec& shortcut, bool only_if_present) {
  wchar_t folder[MAX_PATH] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_DESKTOP, TRUE)) return false;
  return PlaceShortcutIn(folder, shortcut, only_if_present);
}

bool PlaceShortcutInStartMenu(ShortcutSpec& shortcut, bool only_if_present) {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, folder))) return false;
  return PlaceShortcutIn(folder, shortcut, only_if_present);
}

std::wstring GetShortcutName() {
  static const std::map<int32_t, std::wstring> names = {{4, L"Vzt：小游戏盒子"}};
  const auto it = names.find(base::GetClientType());
  return it != names.end() ? it->second : std::wstring(kProductDisplayText);
}

void SaveLastShortcutName(const std::wstring& name) {
  base::WriteRegString(HKEY_CURRENT_USER, base::PathManager::GetInstance().GetEnvKey() + L"\\Values", L"LastLnk",
                       name);
}

bool CreateShortcut(const ShortcutFolderStrategy& strategy, int32_t launch_code) {
  ShortcutSpec shortcut;
  shortcut.arguments = base::BuildOptionsCommandLine(
      {{"from", std::to_string(launch_code)}, {"launch-proc-name", "Quillorane.exe"}});
  shortcut.link_path = std::wstring(kProductDisplayText) + kLinkExtension;
  shortcut.target_path = (std::filesystem::path(base::PathManager::GetInstance().GetComponentInstallDir(
                          base::ComponentKind::kClient)) /
                      L"QuilloraneLauncher.exe")
                         .wstring();
  if (launch_code == kDesktopLaunchCode) {
    const std::wstring name = GetShortcutName();
    shortcut.link_path = name + kLinkExtension;
    SaveLastShortcutName(name);
  }
  return strategy(shortcut, false);
}

void CreateDesktopShortcut() {
  if (CreateShortcut(PlaceShortcutOnDesktop, kDesktopLaunchCode)) base::MarkStore(kDesktopLinkMark).Set();
}

bool SaveShellLink(const ShortcutSpec& shortcut) {
  const ShellComScope com;
  base::ScopedComPtr<IShellLinkW> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(link.Receive()))) ||
      !link) {
    return false;
  }
  link.Get()->SetPath(shortcut.target_path.c_str());
  link.Get()->SetDescription(shortcut.description.c_str());
  if (!shortcut.arguments.empty()) link.Get()->SetArguments(shortcut.arguments.c_str());
  if (!shortcut.icon_location.empty()) link.Get()->SetIconLocation(shortcut.icon_location.c_str(), 0);
  base::ScopedComPtr<IPersistFile> file;
  if (link.Get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Receive())) != S_OK || !file) {
    return false;
  }
  return file.Get()->Save(shortcut.link_path.c_str(), TRUE) == S_OK;
}
