#include "src/zephris_install/src/global_config/install_paths.h"

#include <gtest/gtest.h>

#include <string>

#include "base/system_probe.h"
#include "src/zephris_install/src/global_config/global_config.h"

namespace {

GlobalConfig Config() { return GlobalConfig({L"QuilloraneInstaller.exe"}); }

TEST(InstallPathsTest, SolidStateVolumeNeedsMoreThan20GiB) {
  struct Case {
    const char* what;
    InstallDriveFacts facts;
    wchar_t install_drive;
    std::wstring install_dir;
    std::wstring data_dir;
  } cases[] = {
      {"fast and roomy", {true, L'E', 21, L'D'}, L'E', L"E:\\Program Files\\Orvalis\\Quillorane", L"D:\\QuilloraneData"},
      {"exactly 20 GiB", {true, L'E', 20, L'D'}, 0, L"D:\\Program Files\\Orvalis\\Quillorane", L"D:\\QuilloraneData"},
      {"no solid-state volume", {false, 0, 0, L'F'}, 0, L"F:\\Program Files\\Orvalis\\Quillorane",
       L"F:\\QuilloraneData"},
      {"nothing qualifies", {false, 0, 0, L'C'}, 0, L"C:\\Program Files\\Orvalis\\Quillorane", L"C:\\QuilloraneData"},
  };
  for (const Case& c : cases) {
    GlobalConfig config = Config();
    ApplyInstallDrives(config, c.facts);
    EXPECT_EQ(config.install_drive, c.install_drive) << c.what;
    EXPECT_EQ(config.install_dir, c.install_dir) << c.what;
    EXPECT_EQ(config.data_dir, c.data_dir) << c.what;
    EXPECT_EQ(config.component_dir, std::filesystem::path(c.data_dir + L"\\Component")) << c.what;
  }
}

TEST(InstallPathsTest, ThisMachinesDrives) {
  GlobalConfig config = Config();
  InitInstallPaths(config);
  const wchar_t largest = base::ChooseLargestFixedDrive().letter;
  const wchar_t install = config.install_drive != 0 ? config.install_drive : largest;
  EXPECT_EQ(config.install_dir, std::wstring(1, install) + L":\\Program Files\\Orvalis\\Quillorane");
  EXPECT_EQ(config.data_dir, std::wstring(1, largest) + L":\\QuilloraneData");
  EXPECT_EQ(config.component_dir, std::filesystem::path(config.data_dir + L"\\Component"));
  for (const wchar_t letter : config.candidate_install_drives) {
    EXPECT_TRUE(base::IsNtfsOrRefsVolume(letter)) << static_cast<char>(letter);
  }
}

}  // namespace
