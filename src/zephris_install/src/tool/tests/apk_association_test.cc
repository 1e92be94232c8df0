#include "src/zephris_install/src/tool/apk_association.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "base/registry.h"
#include "base/tests/settings_test_util.h"
#include "src/zephris_install/src/tool/tests/shell_test_product.h"

namespace {

constexpr wchar_t kApkKey[] = L"Software\\Classes\\.apk";
constexpr wchar_t kProgIdKey[] = L"Software\\Classes\\Zephris.apk";
constexpr wchar_t kIconKey[] = L"Software\\Classes\\Zephris.apk\\DefaultIcon";
constexpr wchar_t kOpenKey[] = L"Software\\Classes\\Zephris.apk\\shell\\open\\command";
constexpr wchar_t kOpenWithKey[] = L"Software\\Classes\\Zephris.apk\\shell\\使用OrvalisVzt打开\\command";

std::optional<std::wstring> Default(HKEY root, const std::wstring& key) {
  const settings_test::RawValue raw = settings_test::GetRawValue(root, key, L"");
  if (!raw.found) return std::nullopt;
  EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
  return settings_test::RawText(raw);
}

class ApkAssociationTest : public ::testing::Test {
 protected:
  void SetUp() override { Clear(); }
  void TearDown() override { Clear(); }
  static void Clear() {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      base::DeleteRegTree(root, kApkKey);
      base::DeleteRegTree(root, kProgIdKey);
    }
  }
};

TEST_F(ApkAssociationTest, OnlyClientTypesZeroAndTwoRegisterTheLauncherInBothRoots) {
  struct Case {
    int32_t client_type;
    bool registered;
  } cases[] = {{-1, false}, {0, true}, {1, false}, {2, true}, {4, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.client_type);
    Clear();
    shell_test::ScopedShellProduct product;
    product.SetClientType(c.client_type);

    EXPECT_EQ(RegisterApkAssociation(), c.registered);

    const std::wstring launcher = product.client_dir() + L"\\QuilloraneLauncher.exe";
    // The install folder has blanks in it: the launcher must be quoted.
    const std::wstring command = L"\"" + launcher +
                                 L"\" --from \"13\" --launch-proc-name \"Quillorane.exe\" --local-install \"%1\" ";
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      SCOPED_TRACE(root == HKEY_CURRENT_USER ? "HKCU" : "HKLM");
      if (!c.registered) {
        EXPECT_FALSE(settings_test::KeyExists(root, kApkKey));
        EXPECT_FALSE(settings_test::KeyExists(root, kProgIdKey));
        continue;
      }
      EXPECT_EQ(Default(root, kApkKey), L"Zephris.apk");
      EXPECT_EQ(Default(root, kIconKey), product.client_dir() + L"\\apk.ico");
      EXPECT_EQ(Default(root, kOpenKey), command);
      EXPECT_EQ(Default(root, kOpenWithKey), command);
    }
  }
}

TEST_F(ApkAssociationTest, TheProgIdIsWrittenOnlyWhenItDiffers) {
  struct Case {
    const char* what;
    std::optional<std::wstring> before;
    bool written;
  } cases[] = {
      {"missing", std::nullopt, true},
      {"another program's", L"Other.apk", true},
      {"ours in other case", L"zephris.apk", true},
      {"ours with more after it", L"Zephris.apk2", true},
      {"ours", L"Zephris.apk", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Clear();
    if (c.before) settings_test::SetString(HKEY_CURRENT_USER, kApkKey, L"", *c.before);
    bool changed = false;
    EXPECT_TRUE(SetApkProgId(HKEY_CURRENT_USER, kApkProgId, changed));
    EXPECT_EQ(changed, c.written);
    EXPECT_EQ(Default(HKEY_CURRENT_USER, kApkKey), L"Zephris.apk");
    // A flag already set by the other root stays set.
    bool already = true;
    EXPECT_TRUE(SetApkProgId(HKEY_CURRENT_USER, kApkProgId, already));
    EXPECT_TRUE(already);
  }
}

TEST_F(ApkAssociationTest, AnUnchangedProgIdStillRewritesIconAndCommands) {
  shell_test::ScopedShellProduct product;
  product.SetClientType(0);
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    settings_test::SetString(root, kApkKey, L"", L"Zephris.apk");
    settings_test::SetString(root, kIconKey, L"", L"stale.ico");
  }
  EXPECT_TRUE(RegisterApkAssociation());
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    EXPECT_EQ(Default(root, kIconKey), product.client_dir() + L"\\apk.ico");
    EXPECT_TRUE(Default(root, kOpenKey).has_value());
    EXPECT_TRUE(Default(root, kOpenWithKey).has_value());
  }
}

}  // namespace
