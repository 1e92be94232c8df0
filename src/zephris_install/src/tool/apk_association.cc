#include "src/zephris_install/src/tool/apk_association.h"

#include <shlobj.h>

#include <array>
#include <filesystem>

#include "base/command_line.h"
#include "base/path_manager.h"
#include "base/registry.h"

namespace {

constexpr wchar_t kApkKey[] = L"Software\\Classes\\.apk";
constexpr wchar_t kIconKey[] = L"Software\\Classes\\Zephris.apk\\DefaultIcon";
constexpr wchar_t kOpenKey[] = L"Software\\Classes\\Zephris.apk\\shell\\open\\command";
constexpr wchar_t kOpenWithKey[] = L"Software\\Classes\\Zephris.apk\\shell\\使用OrvalisVzt打开\\command";

}  // namespace

std::wstring BuildApkOpenCommand(const std::wstring& launcher_path) {
  // Quoted: the install folder usually lies under "Program Files", and an
  // unquoted path with blanks would let the shell try "C:\Program.exe" first.
  return base::QuoteArgumentW(launcher_path) +
         base::BuildOptionsCommandLine(
             {{"from", "13"}, {"launch-proc-name", "Quillorane.exe"}, {"local-install", "%1"}});
}

bool SetApkProgId(HKEY root, const std::wstring& prog_id, bool& changed) {
  if (base::ReadRegString(root, kApkKey, L"", L"DEFAULT_VALUE") == prog_id) return true;
  changed = true;
  return base::WriteRegString(root, kApkKey, L"", prog_id);
}

bool RegisterApkAssociation() {
  const int32_t client_type = base::GetClientType();
  if (client_type != 0 && client_type != 2) return false;

  const std::filesystem::path client_dir =
      base::PathManager::GetInstance().GetComponentInstallDir(base::ComponentKind::kClient);
  const std::wstring icon = (client_dir / L"apk.ico").wstring();
  const std::wstring command = BuildApkOpenCommand((client_dir / L"QuilloraneLauncher.exe").wstring());

  bool changed = false;
  bool all_written = SetApkProgId(HKEY_CURRENT_USER, kApkProgId, changed);
  all_written = SetApkProgId(HKEY_LOCAL_MACHINE, kApkProgId, changed) && all_written;
  const std::array<std::pair<const wchar_t*, const std::wstring*>, 3> values = {{
      {kIconKey, &icon},
      {kOpenKey, &command},
      {kOpenWithKey, &command},
  }};
  for (const auto& [key, value] : values) {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      all_written = base::WriteRegString(root, key, L"", *value) && all_written;
    }
  }
  if (changed) ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_DWORD | SHCNF_FLUSH, nullptr, nullptr);
  return all_written;
}
