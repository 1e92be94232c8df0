// Helpers of the security-software tests: a registry key per test case, and
// the stored type read back.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "base/registry.h"

namespace security_test {

inline std::wstring CaseKey() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  return L"SOFTWARE\\QuilloraneProbeTests\\" + std::wstring(name.begin(), name.end());
}

// 0xFFFFFFFF'FFFFFFFF when nothing of type REG_QWORD is stored.
inline uint64_t StoredType(const std::wstring& key) {
  if (!base::HasHklmQword(key, L"SecuritySoftwareType")) return ~0ull;
  return base::ReadRegQword(HKEY_LOCAL_MACHINE, key, L"SecuritySoftwareType", 0);
}

// Waits (up to a generous bound, only so a broken build ends) for the
// value to become `expected`.
inline bool WaitForStoredType(const std::wstring& key, uint64_t expected) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < give_up) {
    if (StoredType(key) == expected) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace security_test
