// The parts of the path manager that look at places shared by every product
// name: the maker's supply id in the 32-bit registry view, and fixed folders.
#include "base/path_manager.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <filesystem>
#include <system_error>

#include "base/scoped_handle.h"
#include "base/system_folders.h"
#include "base/tests/settings_test_util.h"

namespace {

namespace fs = std::filesystem;

constexpr wchar_t kSupplyKey[] = L"SOFTWARE\\Orvalis\\Mobivane";

// Writes under the maker's key in one registry view.
void SetSupplyValue(REGSAM view, DWORD type, const void* data, DWORD size) {
  base::ScopedRegKey key;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSupplyKey, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                              key.Receive(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(::RegSetValueExW(key.Get(), L"SupplyId", 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
}

void RemoveSupplyKey() {
  for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kSupplyKey, view, 0);
}

class SupplyIdTest : public testing::Test {
 protected:
  void SetUp() override { RemoveSupplyKey(); }
  void TearDown() override { RemoveSupplyKey(); }
};

TEST_F(SupplyIdTest, ReadsTheDwordOfThe32BitView) {
  EXPECT_FALSE(base::GetSupplyId().has_value()) << "no key";
  const DWORD supply = 4321;
  SetSupplyValue(KEY_WOW64_32KEY, REG_DWORD, &supply, sizeof(supply));
  ASSERT_TRUE(base::GetSupplyId().has_value());
  EXPECT_EQ(*base::GetSupplyId(), 4321u);
}

TEST_F(SupplyIdTest, OtherTypesAndTheOtherViewDoNotCount) {
  const uint64_t wide = 4321;
  SetSupplyValue(KEY_WOW64_32KEY, REG_QWORD, &wide, sizeof(wide));
  EXPECT_FALSE(base::GetSupplyId().has_value()) << "a QWORD";

  RemoveSupplyKey();
  const DWORD supply = 4321;
  SetSupplyValue(KEY_WOW64_64KEY, REG_DWORD, &supply, sizeof(supply));
  EXPECT_FALSE(base::GetSupplyId().has_value()) << "the 64-bit view";
}

TEST(PathManagerFixedFoldersTest, DataRootDefaultsToTheFixedFolder) {
  settings_test::ScopedTestProduct product;
  const bool existed = fs::exists(L"C:\\QuilloraneData");
  EXPECT_EQ(base::PathManager::GetInstance().GetDataRoot(), L"C:\\QuilloraneData");
  EXPECT_TRUE(fs::is_directory(L"C:\\QuilloraneData"));
  EXPECT_EQ(base::PathManager::GetInstance().GetDataAppDir(), L"C:\\QuilloraneData\\app");
  std::error_code ignored;
  if (!existed) fs::remove_all(L"C:\\QuilloraneData", ignored);
}

TEST(PathManagerFixedFoldersTest, BoxLiesDirectlyUnderProgramFiles) {
  settings_test::ScopedTestProduct product;
  const std::wstring program_files = base::GetFolderPath(CSIDL_PROGRAM_FILES).value();
  const std::wstring box = program_files + L"\\QuilloraneBox";
  const bool existed = fs::exists(box);
  EXPECT_EQ(base::PathManager::GetInstance().GetComponentInstallDir(base::ComponentKind::kBox), box);
  EXPECT_EQ(base::PathManager::GetInstance().GetComponentDir(base::ComponentKind::kBox), box);
  EXPECT_TRUE(fs::is_directory(box));
  EXPECT_FALSE(fs::exists(program_files + L"\\Orvalis\\" + product.name()))
      << "the box does not need the product's own install folder";
  std::error_code ignored;
  if (!existed) fs::remove_all(box, ignored);
}

}  // namespace
