#include "base/url_protocol.h"

#include <gtest/gtest.h>

#include <string>

#include "base/registry.h"
#include "base/tests/settings_test_util.h"

namespace {

using settings_test::GetRawValue;
using settings_test::KeyExists;
using settings_test::RawText;

class UrlProtocolTest : public testing::Test {
 protected:
  void TearDown() override { base::DeleteRegTree(HKEY_CLASSES_ROOT, scheme_); }

  std::wstring Text(const std::wstring& key, const std::wstring& name) {
    const settings_test::RawValue raw = GetRawValue(HKEY_CLASSES_ROOT, key, name, 0);
    EXPECT_TRUE(raw.found) << "missing " << base::WideToUtf8(key) << " : " << base::WideToUtf8(name);
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
    return RawText(raw);
  }

  const std::wstring scheme_ = settings_test::UniqueName(L"qltest-scheme-");
};

TEST_F(UrlProtocolTest, RegistersTheSchemeWithItsOpenCommand) {
  const std::wstring launcher = L"C:\\Program Files\\Orvalis\\Quillorane\\QuilloraneLauncher.exe";
  ASSERT_TRUE(base::RegisterUrlProtocol(scheme_, L"URL:Quillorane Protocol", launcher));

  EXPECT_EQ(Text(scheme_, L""), L"URL:Quillorane Protocol");
  EXPECT_EQ(Text(scheme_, L"URL Protocol"), launcher);
  EXPECT_EQ(Text(scheme_ + L"\\DefaultIcon", L""), launcher + L",1");
  EXPECT_EQ(Text(scheme_ + L"\\shell\\open\\command", L""), L"\"" + launcher + L"\" \"%1\"");
  for (const std::wstring& key : {scheme_ + L"\\shell", scheme_ + L"\\shell\\open"}) {
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, key));
    EXPECT_FALSE(GetRawValue(HKEY_CLASSES_ROOT, key, L"", 0).found) << "only the key is made";
  }
}

TEST_F(UrlProtocolTest, SecondRegistrationReplacesTheData) {
  ASSERT_TRUE(base::RegisterUrlProtocol(scheme_, L"old", L"C:\\old\\launcher.exe"));
  ASSERT_TRUE(base::RegisterUrlProtocol(scheme_, L"new", L"D:\\new\\launcher.exe"));
  EXPECT_EQ(Text(scheme_, L""), L"new");
  EXPECT_EQ(Text(scheme_, L"URL Protocol"), L"D:\\new\\launcher.exe");
  EXPECT_EQ(Text(scheme_ + L"\\DefaultIcon", L""), L"D:\\new\\launcher.exe,1");
  EXPECT_EQ(Text(scheme_ + L"\\shell\\open\\command", L""), L"\"D:\\new\\launcher.exe\" \"%1\"");
}

}  // namespace
