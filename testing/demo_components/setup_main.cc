// Setup.exe of a demo component: the program the installer runs in the
// component's unpacked folder with
//   --install "1" --no-create-desktop-link "1" [--no-create-service ""] --no-create-start-menu-link "1"
// It records that command line beside itself. The client's setup then does
// what the product's own does: it takes the client's files from its folder
// into the client's install folder, the client program itself into the
// working folder named after the client's version (with the emulator: an
// installed client has both), and stores that version in the client's keys,
// where the installer looks for an installed client.
// The shortcuts are the installer's business (the command line says so).
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "base/path_manager.h"
#include "base/registry.h"
#include "base/text_conversion.h"
#include "testing/demo_components/demo_record.h"

namespace fs = std::filesystem;

namespace {

#if QL_DEMO_CLIENT
constexpr wchar_t kClientVersion[] = L"" QL_DEMO_CLIENT_VERSION;

int InstallClient(const fs::path& own_dir) {
  auto& paths = base::PathManager::GetInstance();
  paths.Init(demo::ProductName());
  const std::wstring key = paths.GetRegistryKey(base::ComponentKind::kClient);
  if (!base::WriteRegString(HKEY_LOCAL_MACHINE, key, L"Version", kClientVersion) ||
      !base::WriteRegString(HKEY_CURRENT_USER, key, L"Version", kClientVersion)) {
    std::fprintf(stderr, "Setup: cannot store the client's version\n");
    return 1;
  }
  const fs::path install_dir = paths.GetComponentInstallDir(base::ComponentKind::kClient);
  const fs::path working_dir = paths.GetComponentDir(base::ComponentKind::kClient);
  const struct {
    fs::path from;
    fs::path to;
  } copies[] = {
      {own_dir / L"QuilloraneLauncher.exe", install_dir / L"QuilloraneLauncher.exe"},
      {own_dir / L"Uninstall.exe", install_dir / L"Uninstall.exe"},
      {own_dir / L"resources" / L"icon" / L"apk.ico", install_dir / L"resources" / L"icon" / L"apk.ico"},
      {own_dir / L"Quillorane.exe", working_dir / L"Quillorane.exe"},
      {own_dir / L"QuilloraneEmulator.exe", working_dir / L"QuilloraneEmulator.exe"},
  };
  for (const auto& copy : copies) {
    std::error_code error;
    fs::create_directories(copy.to.parent_path(), error);
    // Not fs::copy_file: this C++ library sees every pair of files on Windows
    // as the same file (no inode numbers) and refuses to overwrite, so a
    // second install over the first would fail.
    if (!::CopyFileW(copy.from.c_str(), copy.to.c_str(), FALSE)) {
      std::fprintf(stderr, "Setup: cannot copy %s to %s: error %lu\n", base::WideToUtf8(copy.from.wstring()).c_str(),
                   base::WideToUtf8(copy.to.wstring()).c_str(), ::GetLastError());
      return 1;
    }
  }
  return 0;
}
#endif

}  // namespace

int main() {
  demo::AppendCommandLineRecord();
  const auto args = demo::Arguments();
  if (demo::OptionValue(args, L"install") != L"1") {
    std::fprintf(stderr, "usage: Setup.exe --install \"1\" [--no-create-desktop-link \"1\"] "
                         "[--no-create-service \"\"] [--no-create-start-menu-link \"1\"]\n");
    return 2;
  }
#if QL_DEMO_CLIENT
  return InstallClient(demo::OwnPath().parent_path());
#else
  return 0;
#endif
}
