// The firewall rule against the rig's recording stand-in of the policy
// objects (testing/firewall), registered over the test prefix's own policy
// and rule classes while each case runs. Wine's activation reads only the
// machine's classes, so the prefix's registration is kept aside under a key
// of the test and put back afterwards (also by the next run, should a case
// die first).
#include "src/zephris_install/src/tool/firewall_rule.h"

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// gcc 12 takes the optional member of a designated initializer in a table of
// cases for uninitialised (its bug 80635): a false warning, not a fault.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include "base/registry.h"
#include "base/tests/settings_test_util.h"
#include "testing/firewall/netfw_stand_in.h"
#include "testing/process/child_process.h"

namespace {

using settings_test::GetRawValue;
using settings_test::KeyExists;
using settings_test::RawText;

constexpr wchar_t kBackupKey[] = L"Software\\QlTest\\NetFwClassBackup";
constexpr wchar_t kPolicyClassKey[] = L"Software\\Classes\\CLSID\\{E2B3C97F-6AE1-41AC-817A-F6F92166D7DD}";
constexpr wchar_t kRuleClassKey[] = L"Software\\Classes\\CLSID\\{2C5BC43E-3369-4C33-AB0C-BE9469677AF4}";
constexpr wchar_t kPath[] = L"C:\\Program Files\\Orvalis\\Setup\\zephris_install.exe";
constexpr wchar_t kOtherPath[] = L"D:\\old\\zephris_install.exe";

// A stored rule as the stand-in keeps it.
struct StoredRule {
  std::optional<std::wstring> application{};
  DWORD action = 1;
  DWORD profiles = 0x7FFFFFFF;
  DWORD enabled = 1;
  DWORD direction = 1;
  DWORD protocol = 256;
  bool operator==(const StoredRule&) const = default;
};

void PrintTo(const StoredRule& r, std::ostream* os) {
  *os << "{application=" << (r.application ? testing::PrintToString(*r.application) : "none")
      << " action=" << r.action << " profiles=" << r.profiles << " enabled=" << r.enabled
      << " direction=" << r.direction << " protocol=" << r.protocol << "}";
}

std::wstring RuleKey() { return std::wstring(kNetFwStandInKey) + L"\\Rules\\" + kFirewallRuleName; }

DWORD Dword(const std::wstring& key, const wchar_t* name) {
  const settings_test::RawValue raw = GetRawValue(HKEY_CURRENT_USER, key, name);
  DWORD value = 0xDEAD;
  if (raw.found && raw.type == REG_DWORD && raw.bytes.size() == sizeof(value)) {
    std::memcpy(&value, raw.bytes.data(), sizeof(value));
  }
  return value;
}

std::optional<StoredRule> ReadRule() {
  const std::wstring key = RuleKey();
  if (!KeyExists(HKEY_CURRENT_USER, key)) return std::nullopt;
  StoredRule rule;
  const settings_test::RawValue app = GetRawValue(HKEY_CURRENT_USER, key, L"ApplicationName");
  if (app.found) rule.application = RawText(app);
  rule.action = Dword(key, L"Action");
  rule.profiles = Dword(key, L"Profiles");
  rule.enabled = Dword(key, L"Enabled");
  rule.direction = Dword(key, L"Direction");
  rule.protocol = Dword(key, L"Protocol");
  return rule;
}

void StoreRule(const StoredRule& rule) {
  const std::wstring key = RuleKey();
  if (rule.application) settings_test::SetString(HKEY_CURRENT_USER, key, L"ApplicationName", *rule.application);
  settings_test::SetDword(HKEY_CURRENT_USER, key, L"Action", rule.action);
  settings_test::SetDword(HKEY_CURRENT_USER, key, L"Profiles", rule.profiles);
  settings_test::SetDword(HKEY_CURRENT_USER, key, L"Enabled", rule.enabled);
  settings_test::SetDword(HKEY_CURRENT_USER, key, L"Direction", rule.direction);
  settings_test::SetDword(HKEY_CURRENT_USER, key, L"Protocol", rule.protocol);
}

std::vector<std::wstring> Calls() {
  const settings_test::RawValue raw = GetRawValue(HKEY_CURRENT_USER, kNetFwStandInKey, L"Calls");
  std::vector<std::wstring> calls;
  if (!raw.found) return calls;
  const std::wstring text = RawText(raw);
  std::size_t start = 0;
  for (std::size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
    calls.push_back(text.substr(start, end - start));
  }
  return calls;
}

// The calls that create the installer's rule from nothing.
std::vector<std::wstring> CreationCalls() {
  return {L"Factory.NetFwRule",
          L"Rule.put_Name(Zephris Installer)",
          std::wstring(L"Rule.put_ApplicationName(") + kPath + L")",
          L"Rule.put_Action(1)",
          L"Rule.put_Profiles(2147483647)",
          L"Rule.put_Enabled(-1)",
          L"Rules.Add"};
}

std::vector<std::wstring> Join(std::vector<std::wstring> a, const std::vector<std::wstring>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::vector<std::wstring> kLookup = {L"Factory.NetFwPolicy2", L"Policy.get_Rules",
                                           L"Rules.Item(Zephris Installer)"};

class FirewallRuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KeepSystemServers();
    ClearAll();
    Register(testing_process::DosPath(QL_NETFW_STAND_IN));
  }
  void TearDown() override {
    ClearAll();
    RestoreSystemServers();
  }

  static std::wstring Server(const wchar_t* class_key) { return std::wstring(class_key) + L"\\InprocServer32"; }
  static void KeepSystemServers() {
    if (settings_test::KeyExists(HKEY_CURRENT_USER, kBackupKey)) return;  // a dead case's, still to put back
    for (const wchar_t* key : {kPolicyClassKey, kRuleClassKey}) {
      const settings_test::RawValue server = GetRawValue(HKEY_LOCAL_MACHINE, Server(key), L"");
      ASSERT_TRUE(server.found);
      settings_test::SetString(HKEY_CURRENT_USER, kBackupKey, key, RawText(server));
    }
  }
  static void RestoreSystemServers() {
    for (const wchar_t* key : {kPolicyClassKey, kRuleClassKey}) {
      const settings_test::RawValue server = GetRawValue(HKEY_CURRENT_USER, kBackupKey, key);
      ASSERT_TRUE(server.found);
      settings_test::SetString(HKEY_LOCAL_MACHINE, Server(key), L"", RawText(server));
    }
    base::DeleteRegTree(HKEY_CURRENT_USER, kBackupKey);
  }
  static void Register(const std::wstring& dll) {
    for (const wchar_t* key : {kPolicyClassKey, kRuleClassKey}) {
      settings_test::SetString(HKEY_LOCAL_MACHINE, Server(key), L"", dll);
    }
  }
  static void Fail(const std::wstring& methods) {
    settings_test::SetString(HKEY_CURRENT_USER, kNetFwStandInKey, L"Fail", methods);
  }
  static void ClearCalls() { ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kNetFwStandInKey, L"Calls"); }
  static void ClearAll() { base::DeleteRegTree(HKEY_CURRENT_USER, kNetFwStandInKey); }
};

TEST_F(FirewallRuleTest, AddsAnEnabledAllowRuleForEveryProfile) {
  AddFirewallRule(kFirewallRuleName, kPath);

  EXPECT_EQ(ReadRule(), StoredRule{.application = kPath});
  // Direction, protocol and the rest keep the new rule's defaults: no call sets them.
  EXPECT_EQ(Calls(), Join(kLookup, CreationCalls()));
}

TEST_F(FirewallRuleTest, RemoveDeletesTheRuleAndLeavesAMissingOneAlone) {
  AddFirewallRule(kFirewallRuleName, kPath);
  ASSERT_TRUE(ReadRule());
  ClearCalls();

  RemoveFirewallRule(kFirewallRuleName);
  EXPECT_FALSE(ReadRule());
  EXPECT_EQ(Calls(), Join(kLookup, {L"Rules.Remove(Zephris Installer)"}));

  ClearCalls();
  RemoveFirewallRule(kFirewallRuleName);
  EXPECT_EQ(Calls(), kLookup);
}

TEST_F(FirewallRuleTest, AnExistingRuleIsCorrectedOrReplaced) {
  const std::wstring set_path = std::wstring(L"StoredRule.put_ApplicationName(") + kPath + L")";
  const std::vector<std::wstring> replace = Join({L"Rules.Remove(Zephris Installer)"}, CreationCalls());
  struct Case {
    const char* what;
    StoredRule before;
    std::wstring fail;
    std::vector<std::wstring> calls;  // after the lookup
  } cases[] = {
      {"same path, allowed and enabled: untouched",
       {.application = kPath},
       L"",
       {L"StoredRule.get_ApplicationName", L"StoredRule.get_Action", L"StoredRule.get_Enabled"}},
      {"another path gets ours",
       {.application = kOtherPath},
       L"",
       {L"StoredRule.get_ApplicationName", set_path, L"StoredRule.get_Action", L"StoredRule.get_Enabled"}},
      {"no program at all gets ours",
       {.application = std::nullopt},
       L"",
       {L"StoredRule.get_ApplicationName", set_path, L"StoredRule.get_Action", L"StoredRule.get_Enabled"}},
      {"a program differing in case only gets ours",
       {.application = L"c:\\program files\\orvalis\\setup\\zephris_install.exe"},
       L"",
       {L"StoredRule.get_ApplicationName", set_path, L"StoredRule.get_Action", L"StoredRule.get_Enabled"}},
      {"disabled is enabled",
       {.application = kPath, .enabled = 0},
       L"",
       {L"StoredRule.get_ApplicationName", L"StoredRule.get_Action", L"StoredRule.get_Enabled", L"StoredRule.put_Enabled(-1)"}},
      {"a blocking rule of our name is made to allow",
       {.application = kPath, .action = 0},
       L"",
       {L"StoredRule.get_ApplicationName", L"StoredRule.get_Action", L"StoredRule.put_Action(1)", L"StoredRule.get_Enabled"}},
      {"the program cannot be changed: replaced",
       {.application = kOtherPath},
       L"StoredRule.put_ApplicationName",
       Join({L"StoredRule.get_ApplicationName", set_path}, replace)},
      {"the enabled state cannot be read: replaced",
       {.application = kPath},
       L"StoredRule.get_Enabled",
       Join({L"StoredRule.get_ApplicationName", L"StoredRule.get_Action", L"StoredRule.get_Enabled"}, replace)},
      {"it cannot be enabled: replaced",
       {.application = kPath, .enabled = 0},
       L"StoredRule.put_Enabled",
       Join({L"StoredRule.get_ApplicationName", L"StoredRule.get_Action", L"StoredRule.get_Enabled", L"StoredRule.put_Enabled(-1)"},
            replace)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ClearAll();
    Register(testing_process::DosPath(QL_NETFW_STAND_IN));
    StoreRule(c.before);
    Fail(c.fail);

    AddFirewallRule(kFirewallRuleName, kPath);

    EXPECT_EQ(ReadRule(), StoredRule{.application = kPath});
    EXPECT_EQ(Calls(), Join(kLookup, c.calls));
  }
}

TEST_F(FirewallRuleTest, FailuresOfTheFirewallObjectsLeaveTheFirewallAsItWas) {
  struct Case {
    const char* what;
    bool class_missing;
    std::wstring fail;
    std::vector<std::wstring> calls;
    bool rule_added;
  } cases[] = {
      {"policy class missing", true, L"", {}, false},
      {"policy not created", false, L"Factory.NetFwPolicy2", {L"Factory.NetFwPolicy2"}, false},
      {"no rule collection", false, L"Policy.get_Rules", {L"Factory.NetFwPolicy2", L"Policy.get_Rules"}, false},
      {"rule not created", false, L"Factory.NetFwRule", Join(kLookup, {L"Factory.NetFwRule"}), false},
      {"Add fails", false, L"Rules.Add", Join(kLookup, CreationCalls()), false},
      {"Item fails: looked on as missing", false, L"Rules.Item", Join(kLookup, CreationCalls()), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ClearAll();
    Register(c.class_missing ? L"C:\\windows\\system32\\ql_no_such_netfw.dll"
                             : testing_process::DosPath(QL_NETFW_STAND_IN));
    Fail(c.fail);

    AddFirewallRule(kFirewallRuleName, kPath);
    EXPECT_EQ(Calls(), c.calls);
    EXPECT_EQ(ReadRule().has_value(), c.rule_added);

    // Removing after a failed start must not fail either.
    RemoveFirewallRule(kFirewallRuleName);
  }
}

TEST_F(FirewallRuleTest, TwoInstallersShareOneRuleAndTheFirstToEndRemovesIt) {
  AddFirewallRule(kFirewallRuleName, kOtherPath);
  AddFirewallRule(kFirewallRuleName, kPath);
  EXPECT_EQ(ReadRule(), StoredRule{.application = kPath});

  RemoveFirewallRule(kFirewallRuleName);
  EXPECT_FALSE(ReadRule());
}

// Start-up adds the rule before the main thread's own apartment exists, but a
// caller already in a single-threaded apartment must keep it.
TEST_F(FirewallRuleTest, WorksOnAThreadWithAnotherApartmentAndLeavesItOpen) {
  std::thread thread([] {
    ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    AddFirewallRule(kFirewallRuleName, kPath);
    EXPECT_EQ(ReadRule(), StoredRule{.application = kPath});
    RemoveFirewallRule(kFirewallRuleName);
    EXPECT_FALSE(ReadRule());
    // Still this thread's apartment: a second initialisation only counts up.
    EXPECT_EQ(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    ::CoUninitialize();
    ::CoUninitialize();
  });
  thread.join();
}

}  // namespace
