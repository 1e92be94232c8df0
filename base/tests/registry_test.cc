#include "base/registry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/tests/settings_test_util.h"

namespace {

using settings_test::GetRawValue;
using settings_test::KeyExists;
using settings_test::RawText;
using settings_test::SetRawValue;

class RegistryTest : public testing::Test {
 protected:
  void TearDown() override {
    base::DeleteRegTree(HKEY_CURRENT_USER, key_);
    base::DeleteRegTree(HKEY_LOCAL_MACHINE, key_);
  }
  const std::wstring key_ = L"SOFTWARE\\QlTest\\" + settings_test::UniqueName(L"Registry");
};

std::vector<BYTE> Bytes(const std::wstring& text, std::size_t units) {
  const auto* data = reinterpret_cast<const BYTE*>(text.data());
  return std::vector<BYTE>(data, data + units * sizeof(wchar_t));
}

TEST_F(RegistryTest, StringRoundTripsUtf16Text) {
  const std::wstring texts[] = {L"C:\\Program Files\\Orvalis", L"夸洛兰 安装器", L"emoji \U0001F600 and é",
                                L""};
  for (const std::wstring& text : texts) {
    ASSERT_TRUE(base::WriteRegString(HKEY_CURRENT_USER, key_, L"Text", text));
    const settings_test::RawValue raw = GetRawValue(HKEY_CURRENT_USER, key_, L"Text");
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw.bytes.size(), (text.size() + 1) * sizeof(wchar_t)) << "the terminating NUL is stored";
    EXPECT_EQ(base::ReadRegString(HKEY_CURRENT_USER, key_, L"Text", L"default"), text);
  }
}

TEST_F(RegistryTest, StringWriteCreatesTheWholeKeyPath) {
  const std::wstring deep = key_ + L"\\a\\b\\c";
  ASSERT_FALSE(KeyExists(HKEY_CURRENT_USER, key_));
  ASSERT_TRUE(base::WriteRegString(HKEY_CURRENT_USER, deep, L"InstallPath", L"D:\\Q"));
  EXPECT_EQ(RawText(GetRawValue(HKEY_CURRENT_USER, deep, L"InstallPath")), L"D:\\Q");
}

TEST_F(RegistryTest, EmptyNameAndValueOnlyCreateTheKey) {
  ASSERT_TRUE(base::WriteRegString(HKEY_CURRENT_USER, key_, L"", L""));
  ASSERT_TRUE(KeyExists(HKEY_CURRENT_USER, key_));
  base::ScopedRegKey handle;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_READ, handle.Receive()), ERROR_SUCCESS);
  DWORD values = 99;
  ::RegQueryInfoKeyW(handle.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
  EXPECT_EQ(values, 0u);
}

TEST_F(RegistryTest, EmptyNameWritesTheDefaultValue) {
  ASSERT_TRUE(base::WriteRegString(HKEY_CURRENT_USER, key_, L"", L"URL:Quillorane"));
  EXPECT_EQ(RawText(GetRawValue(HKEY_CURRENT_USER, key_, L"")), L"URL:Quillorane");
}

TEST_F(RegistryTest, WriteIntoSomethingThatIsNotAKeyFails) {
  const HKEY not_a_key = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x1234));
  EXPECT_FALSE(base::WriteRegString(not_a_key, L"x", L"v", L"text"));
  EXPECT_FALSE(base::WriteRegQword(not_a_key, L"x", L"v", 1));
}

TEST_F(RegistryTest, StringReadsOfStoredBytes) {
  const std::wstring with_nul = std::wstring(L"ab\0cd", 5) + L'\0';
  struct Case {
    const char* what;
    DWORD type;
    std::vector<BYTE> bytes;
    std::wstring expected;
  } cases[] = {
      {"plain REG_SZ", REG_SZ, Bytes(L"text", 5), L"text"},
      {"REG_EXPAND_SZ is not expanded", REG_EXPAND_SZ, Bytes(L"%TEMP%\\x", 9), L"%TEMP%\\x"},
      {"odd byte count", REG_SZ, {'a', 0, 'b', 0, 0}, L"default"},
      {"zero bytes", REG_SZ, {}, L"default"},
      {"only the NUL", REG_SZ, {0, 0}, L""},
      {"embedded NUL cuts the text", REG_SZ, Bytes(with_nul, 6), L"ab"},
      {"REG_DWORD", REG_DWORD, {1, 0, 0, 0}, L"default"},
      {"REG_BINARY", REG_BINARY, Bytes(L"text", 5), L"default"},
      {"REG_MULTI_SZ", REG_MULTI_SZ, Bytes(std::wstring(L"a\0\0", 3), 3), L"default"},
  };
  for (const Case& c : cases) {
    SetRawValue(HKEY_CURRENT_USER, key_, L"V", c.type, c.bytes.data(), static_cast<DWORD>(c.bytes.size()));
    EXPECT_EQ(base::ReadRegString(HKEY_CURRENT_USER, key_, L"V", L"default"), c.expected) << c.what;
  }
}

TEST_F(RegistryTest, StringStoredWithoutItsNul) {
  const std::wstring text = L"abc";
  SetRawValue(HKEY_CURRENT_USER, key_, L"V", REG_SZ, text.data(), 3 * sizeof(wchar_t));
  // Windows hands the bytes back as stored, and such a text is refused. Some
  // registry implementations add the missing NUL when they read; then the
  // text is whole and may be taken. Either way, never anything else.
  const bool platform_terminates = GetRawValue(HKEY_CURRENT_USER, key_, L"V").bytes.size() > 3 * sizeof(wchar_t);
  EXPECT_EQ(base::ReadRegString(HKEY_CURRENT_USER, key_, L"V", L"default"),
            platform_terminates ? L"abc" : L"default");
}

TEST_F(RegistryTest, MissingKeyOrValueGivesTheDefault) {
  EXPECT_EQ(base::ReadRegString(HKEY_CURRENT_USER, key_, L"V", L"fallback"), L"fallback");
  EXPECT_EQ(base::ReadRegQword(HKEY_CURRENT_USER, key_, L"V", 77), 77u);
  ASSERT_TRUE(base::WriteRegString(HKEY_CURRENT_USER, key_, L"Other", L"x"));
  EXPECT_EQ(base::ReadRegString(HKEY_CURRENT_USER, key_, L"V", L"fallback"), L"fallback");
  EXPECT_EQ(base::ReadRegQword(HKEY_CURRENT_USER, key_, L"V", 77), 77u);
}

TEST_F(RegistryTest, QwordReadsOnlyQwords) {
  const uint64_t big = 0xFEDCBA9876543210ull;
  const uint32_t small = 5;
  const std::wstring five = L"5";
  struct Case {
    const char* what;
    DWORD type;
    const void* data;
    DWORD size;
    uint64_t expected;
  } cases[] = {
      {"REG_QWORD", REG_QWORD, &big, 8, big},
      {"REG_DWORD", REG_DWORD, &small, 4, 42},
      {"REG_QWORD of only 4 bytes", REG_QWORD, &small, 4, 42},
      {"REG_SZ holding a number", REG_SZ, five.c_str(), 4, 42},
      {"REG_BINARY of 8 bytes", REG_BINARY, &big, 8, 42},
  };
  for (const Case& c : cases) {
    SetRawValue(HKEY_CURRENT_USER, key_, L"N", c.type, c.data, c.size);
    EXPECT_EQ(base::ReadRegQword(HKEY_CURRENT_USER, key_, L"N", 42), c.expected) << c.what;
  }
}

TEST_F(RegistryTest, QwordWriteStoresEightLittleEndianBytes) {
  ASSERT_TRUE(base::WriteRegQword(HKEY_CURRENT_USER, key_ + L"\\Sub", L"ChannelId", 0x0102030405060708ull));
  const settings_test::RawValue raw = GetRawValue(HKEY_CURRENT_USER, key_ + L"\\Sub", L"ChannelId");
  ASSERT_EQ(raw.type, static_cast<DWORD>(REG_QWORD));
  EXPECT_EQ(raw.bytes, (std::vector<BYTE>{8, 7, 6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(base::ReadRegQword(HKEY_CURRENT_USER, key_ + L"\\Sub", L"ChannelId", 0), 0x0102030405060708ull);
}

TEST_F(RegistryTest, HasHklmQwordLooksOnlyAtMachineQwords) {
  settings_test::SetQword(HKEY_CURRENT_USER, key_, L"OnlyUser", 1);
  settings_test::SetDword(HKEY_LOCAL_MACHINE, key_, L"Dword", 1);
  settings_test::SetQword(HKEY_LOCAL_MACHINE, key_, L"Machine", 0);
  EXPECT_FALSE(base::HasHklmQword(key_, L"OnlyUser"));
  EXPECT_FALSE(base::HasHklmQword(key_, L"Dword"));
  EXPECT_FALSE(base::HasHklmQword(key_, L"Missing"));
  EXPECT_TRUE(base::HasHklmQword(key_, L"Machine")) << "a stored 0 is still a value";
}

TEST_F(RegistryTest, DeleteTreeRemovesEveryLevel) {
  for (const wchar_t* a : {L"a1", L"a2", L"a3"}) {
    for (const wchar_t* b : {L"b1", L"b2"}) {
      for (const wchar_t* c : {L"c1", L"c2", L"c3"}) {
        const std::wstring leaf = key_ + L"\\" + a + L"\\" + b + L"\\" + c;
        ASSERT_TRUE(base::WriteRegString(HKEY_CURRENT_USER, leaf, L"v", L"x"));
      }
    }
  }
  ASSERT_TRUE(base::WriteRegQword(HKEY_CURRENT_USER, key_, L"top", 1));
  EXPECT_TRUE(base::DeleteRegTree(HKEY_CURRENT_USER, key_));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key_));
}

TEST_F(RegistryTest, DeleteTreeOfAMissingKeyIsDone) {
  EXPECT_TRUE(base::DeleteRegTree(HKEY_CURRENT_USER, key_ + L"\\never\\there"));
}

TEST_F(RegistryTest, DeleteTreeWithTrailingBackslash) {
  ASSERT_TRUE(base::WriteRegString(HKEY_CURRENT_USER, key_ + L"\\x\\y", L"v", L"1"));
  EXPECT_TRUE(base::DeleteRegTree(HKEY_CURRENT_USER, key_ + L"\\"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key_));
}

TEST_F(RegistryTest, DeleteTreeRefusesTheRootItself) {
  ASSERT_TRUE(base::WriteRegString(HKEY_CURRENT_USER, key_, L"v", L"1"));
  EXPECT_FALSE(base::DeleteRegTree(HKEY_CURRENT_USER, L""));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, key_));
}

TEST_F(RegistryTest, ViewsThatAreNotTerminatedAreReadUpToTheirEnd) {
  // A view into a longer text must name only its own characters.
  const std::wstring longer = key_ + L"\\Sub" + L"Extra";
  const std::wstring_view key_view(longer.data(), key_.size() + 4);
  const std::wstring names = L"ValueAndMore";
  ASSERT_TRUE(base::WriteRegString(HKEY_CURRENT_USER, key_view, std::wstring_view(names.data(), 5), L"x"));
  EXPECT_EQ(RawText(GetRawValue(HKEY_CURRENT_USER, key_ + L"\\Sub", L"Value")), L"x");
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, longer));
}

}  // namespace
