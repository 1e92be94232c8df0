// Helpers of the settings tests: names of their own for keys, products and
// folders (so cases running side by side never meet), and raw registry
// writes that bypass the code under test.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "base/path_manager.h"
#include "base/registry.h"
#include "base/scoped_handle.h"
#include "base/text_conversion.h"

namespace settings_test {

// "<prefix><TestName><pid>": unique across the cases that ctest runs at once.
inline std::wstring UniqueName(const std::wstring& prefix) {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info != nullptr ? info->name() : "NoTest";
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  return prefix + base::Utf8ToWide(name) + std::to_wstring(::GetCurrentProcessId());
}

// Writes a value exactly as given, whatever its type and bytes.
inline void SetRawValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type,
                        const void* data, DWORD size) {
  base::ScopedRegKey handle;
  ASSERT_EQ(::RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, handle.Receive(), nullptr),
            ERROR_SUCCESS);
  const LONG set = ::RegSetValueExW(handle.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  ASSERT_EQ(set, ERROR_SUCCESS);
}

inline void SetQword(HKEY root, const std::wstring& key, const std::wstring& name, uint64_t value) {
  SetRawValue(root, key, name, REG_QWORD, &value, sizeof(value));
}

inline void SetDword(HKEY root, const std::wstring& key, const std::wstring& name, uint32_t value) {
  SetRawValue(root, key, name, REG_DWORD, &value, sizeof(value));
}

inline void SetString(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& value) {
  SetRawValue(root, key, name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

struct RawValue {
  bool found = false;
  DWORD type = REG_NONE;
  std::vector<BYTE> bytes;
};

// Reads a value without the code under test.
inline RawValue GetRawValue(HKEY root, const std::wstring& key, const std::wstring& name,
                            REGSAM view = KEY_WOW64_64KEY) {
  RawValue value;
  base::ScopedRegKey handle;
  if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, handle.Receive()) != ERROR_SUCCESS) return value;
  DWORD size = 0;
  if (::RegQueryValueExW(handle.Get(), name.c_str(), nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
    value.bytes.resize(size);
    value.found = ::RegQueryValueExW(handle.Get(), name.c_str(), nullptr, &value.type, value.bytes.data(),
                                     &size) == ERROR_SUCCESS;
    value.bytes.resize(size);
  }
  return value;
}

inline bool KeyExists(HKEY root, const std::wstring& key) {
  base::ScopedRegKey handle;
  return ::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, handle.Receive()) == ERROR_SUCCESS;
}

// A REG_SZ's text as stored (without its terminating NUL).
inline std::wstring RawText(const RawValue& value) {
  std::wstring text(reinterpret_cast<const wchar_t*>(value.bytes.data()), value.bytes.size() / sizeof(wchar_t));
  if (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

// A temporary folder of the case's own, removed with everything in it.
class ScopedTempDir {
 public:
  ScopedTempDir() : path_(std::filesystem::temp_directory_path() / UniqueName(L"ql_settings_")) {
    std::filesystem::create_directories(path_);
  }
  ~ScopedTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Points the path manager at a product name of the case's own, and removes
// that product's keys in both hives and its application-data folder again.
class ScopedTestProduct {
 public:
  ScopedTestProduct() : name_(UniqueName(L"QlTest")) {
    base::PathManager::GetInstance().Init(name_);
    key_ = base::PathManager::GetInstance().GetRegistryKey(base::ComponentKind::kProduct);
  }
  ~ScopedTestProduct() {
    base::DeleteRegTree(HKEY_LOCAL_MACHINE, key_);
    base::DeleteRegTree(HKEY_CURRENT_USER, key_);
    std::error_code ignored;
    std::filesystem::remove_all(base::PathManager::GetInstance().GetAppDataDir(base::AppDataDirKind::kSelf), ignored);
  }
  const std::wstring& name() const { return name_; }
  const std::wstring& key() const { return key_; }

 private:
  std::wstring name_;
  std::wstring key_;
};

}  // namespace settings_test
