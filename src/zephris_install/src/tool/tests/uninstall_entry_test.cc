#include "src/zephris_install/src/tool/uninstall_entry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/registry.h"
#include "base/scoped_handle.h"
#include "base/tests/settings_test_util.h"
#include "src/zephris_install/src/tool/tests/shell_test_product.h"

namespace {

constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillorane";

// The key's values in the order the registry keeps them, with their texts.
std::vector<std::pair<std::wstring, std::wstring>> Values(const std::wstring& key_path) {
  std::vector<std::pair<std::wstring, std::wstring>> values;
  base::ScopedRegKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_path.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) {
    return values;
  }
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD name_size = 256;
    DWORD type = 0;
    if (::RegEnumValueW(key.Get(), index, name, &name_size, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS) break;
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << name;
    values.emplace_back(name, settings_test::RawText(settings_test::GetRawValue(HKEY_LOCAL_MACHINE, key_path, name)));
  }
  return values;
}

class UninstallEntryTest : public ::testing::Test {
 protected:
  void SetUp() override { base::DeleteRegTree(HKEY_LOCAL_MACHINE, kUninstallKey); }
  void TearDown() override { base::DeleteRegTree(HKEY_LOCAL_MACHINE, kUninstallKey); }
};

TEST_F(UninstallEntryTest, WritesTheFiveValuesInOrder) {
  shell_test::ScopedShellProduct product;
  const std::wstring uninstaller = product.client_dir() + L"\\Uninstall.exe";
  const std::wstring command = BuildUninstallCommand(uninstaller);
  EXPECT_EQ(command, L"\"" + uninstaller + L"\" --oem-uninstall=OrvalisQuillorane-畅玩手机游戏");

  ASSERT_TRUE(WriteUninstallEntry(kUninstallKeyName, command, uninstaller, kUninstallDisplayName, L"3.2.1.45",
                                  kProductPublisher));

  const std::vector<std::pair<std::wstring, std::wstring>> expected = {
      {L"DisplayIcon", uninstaller},   {L"DisplayName", L"OrvalisQuillorane"}, {L"DisplayVersion", L"3.2.1.45"},
      {L"Publisher", L"Orvalis"}, {L"UninstallString", command},
  };
  EXPECT_EQ(Values(kUninstallKey), expected);
}

TEST_F(UninstallEntryTest, RewritesAnExistingEntry) {
  ASSERT_TRUE(WriteUninstallEntry(kUninstallKeyName, L"old", L"old.exe", L"Old", L"1.0", L"Old"));
  ASSERT_TRUE(WriteUninstallEntry(kUninstallKeyName, L"new", L"new.exe", L"New", L"2.0", L"New"));
  const std::vector<std::pair<std::wstring, std::wstring>> expected = {
      {L"DisplayIcon", L"new.exe"}, {L"DisplayName", L"New"}, {L"DisplayVersion", L"2.0"},
      {L"Publisher", L"New"},       {L"UninstallString", L"new"},
  };
  EXPECT_EQ(Values(kUninstallKey), expected);
}

}  // namespace
