#include "base/process_rights.h"

#include <windows.h>

#include <vector>

#include <gtest/gtest.h>

#include "base/scoped_handle.h"

namespace base {
namespace {

// The attributes of a privilege in this process's token; empty when absent.
std::optional<DWORD> PrivilegeAttributes(const wchar_t* name) {
  LUID luid{};
  if (!::LookupPrivilegeValueW(nullptr, name, &luid)) return std::nullopt;
  ScopedKernelHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return std::nullopt;
  DWORD size = 0;
  ::GetTokenInformation(token.Get(), TokenPrivileges, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (!::GetTokenInformation(token.Get(), TokenPrivileges, buffer.data(), size, &size)) return std::nullopt;
  const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
  for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
    const LUID& each = privileges->Privileges[i].Luid;
    if (each.LowPart == luid.LowPart && each.HighPart == luid.HighPart) return privileges->Privileges[i].Attributes;
  }
  return std::nullopt;
}

TEST(PrivilegeTest, SwitchesAPrivilegeOnAndOff) {
  ASSERT_TRUE(PrivilegeAttributes(L"SeDebugPrivilege").has_value());
  SetProcessPrivilege(true, L"SeDebugPrivilege");
  EXPECT_NE(*PrivilegeAttributes(L"SeDebugPrivilege") & SE_PRIVILEGE_ENABLED, 0u);
  DisablePrivilege(L"SeDebugPrivilege");
  EXPECT_EQ(*PrivilegeAttributes(L"SeDebugPrivilege") & SE_PRIVILEGE_ENABLED, 0u);
  SetProcessPrivilege(true, L"SeDebugPrivilege");
  EXPECT_NE(*PrivilegeAttributes(L"SeDebugPrivilege") & SE_PRIVILEGE_ENABLED, 0u);
}

TEST(PrivilegeTest, AnUnknownPrivilegeChangesNothing) {
  const auto before = PrivilegeAttributes(L"SeDebugPrivilege");
  SetProcessPrivilege(true, L"SeNoSuchPrivilegeQl");
  DisablePrivilege(L"");
  EXPECT_EQ(PrivilegeAttributes(L"SeDebugPrivilege"), before);
}

// The service name is machine-wide: this program holds the lock named after it.
class GetVtServiceTest : public ::testing::Test {
 protected:
  void SetUp() override { manager_.Reset(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)); }
  void TearDown() override {
    ScopedServiceHandle service(::OpenServiceW(manager_.Get(), L"GET_VT", SERVICE_ALL_ACCESS));
    if (service) ::DeleteService(service.Get());
  }
  bool ServiceExists() {
    ScopedServiceHandle service(::OpenServiceW(manager_.Get(), L"GET_VT", SERVICE_QUERY_STATUS));
    return service.IsValid();
  }

  ScopedServiceHandle manager_;
};

TEST_F(GetVtServiceTest, NoServiceNoRemoval) {
  ASSERT_TRUE(manager_.IsValid());
  ASSERT_FALSE(ServiceExists());
  EXPECT_FALSE(RemoveGetVtService());
}

TEST_F(GetVtServiceTest, RemovesTheProbesDriverService) {
  ASSERT_TRUE(manager_.IsValid());
  ScopedServiceHandle created(::CreateServiceW(
      manager_.Get(), L"GET_VT", L"GET_VT", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
      SERVICE_ERROR_IGNORE, L"C:\\windows\\system32\\drivers\\ql_get_vt_test.sys", nullptr, nullptr, nullptr,
      nullptr, nullptr));
  ASSERT_TRUE(created.IsValid());
  created.Close();
  ASSERT_TRUE(ServiceExists());
  EXPECT_TRUE(RemoveGetVtService());
  EXPECT_FALSE(ServiceExists());
  EXPECT_FALSE(RemoveGetVtService());
}

}  // namespace
}  // namespace base
