#include "src/zephris_install/src/tool/firewall_rule.h"

#include <objbase.h>

#include <string_view>

namespace {

// The calls run on the main thread before its own apartment exists (start-up)
// or after it is gone (shutdown), so each opens a multithreaded scope of its
// own; a thread that already lives in another apartment keeps it.
class FirewallComScope {
 public:
  FirewallComScope() {
    const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    initialised_ = SUCCEEDED(hr);
    usable_ = initialised_ || hr == RPC_E_CHANGED_MODE;
  }
  FirewallComScope(const FirewallComScope&) = delete;
  FirewallComScope& operator=(const FirewallComScope&) = delete;
  ~FirewallComScope() {
    if (initialised_) ::CoUninitialize();
  }
  bool usable() const { return usable_; }

 private:
  bool initialised_ = false;
  bool usable_ = false;
};

// COM [in] texts are BSTRs: the callee may ask for their length prefix.
base::ScopedBstr MakeBstr(const std::wstring& text) {
  return base::ScopedBstr(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

// A missing text (NULL BSTR) reads as empty.
std::wstring_view BstrView(BSTR text) {
  return text == nullptr ? std::wstring_view() : std::wstring_view(text, ::SysStringLen(text));
}

}  // namespace

base::ScopedComPtr<netfw::INetFwRules> GetFirewallRules() {
  base::ScopedComPtr<netfw::INetFwPolicy2> policy;
  if (FAILED(::CoCreateInstance(netfw::kClsidNetFwPolicy2, nullptr, CLSCTX_INPROC_SERVER, netfw::kIidINetFwPolicy2,
                                reinterpret_cast<void**>(policy.Receive()))) ||
      !policy) {
    return {};
  }
  base::ScopedComPtr<netfw::INetFwRules> rules;
  if (FAILED(policy.Get()->get_Rules(rules.Receive()))) rules.Reset();
  return rules;
}

base::ScopedComPtr<netfw::INetFwRule> FindFirewallRule(netfw::INetFwRules* rules, const std::wstring& name) {
  const base::ScopedBstr bstr_name = MakeBstr(name);
  base::ScopedComPtr<netfw::INetFwRule> rule;
  if (!bstr_name || FAILED(rules->Item(bstr_name.Get(), rule.Receive()))) rule.Reset();
  return rule;
}

bool CheckFirewallRule(netfw::INetFwRule* rule, const std::wstring& application_path) {
  base::ScopedBstr current;
  // A failed read or a rule without a program counts as another program.
  if (FAILED(rule->get_ApplicationName(current.Receive()))) current.Reset();
  if (!current || BstrView(current.Get()) != application_path) {
    const base::ScopedBstr path = MakeBstr(application_path);
    if (!path || FAILED(rule->put_ApplicationName(path.Get()))) return false;
  }
  // A rule of this name that blocks the program would stop the installer's
  // own downloads; it must allow.
  LONG action = netfw::NET_FW_ACTION_BLOCK;
  if (FAILED(rule->get_Action(&action))) return false;
  if (action != netfw::NET_FW_ACTION_ALLOW && FAILED(rule->put_Action(netfw::NET_FW_ACTION_ALLOW))) return false;
  VARIANT_BOOL enabled = VARIANT_FALSE;
  if (FAILED(rule->get_Enabled(&enabled))) return false;
  if (enabled == VARIANT_FALSE && FAILED(rule->put_Enabled(VARIANT_TRUE))) return false;
  return true;
}

void CreateFirewallRule(netfw::INetFwRules* rules, const std::wstring& name, const std::wstring& application_path) {
  base::ScopedComPtr<netfw::INetFwRule> rule;
  if (FAILED(::CoCreateInstance(netfw::kClsidNetFwRule, nullptr, CLSCTX_INPROC_SERVER, netfw::kIidINetFwRule,
                                reinterpret_cast<void**>(rule.Receive()))) ||
      !rule) {
    return;
  }
  const base::ScopedBstr bstr_name = MakeBstr(name);
  const base::ScopedBstr bstr_path = MakeBstr(application_path);
  // Direction, protocol, ports and addresses keep a new rule's defaults.
  rule.Get()->put_Name(bstr_name.Get());
  rule.Get()->put_ApplicationName(bstr_path.Get());
  rule.Get()->put_Action(netfw::NET_FW_ACTION_ALLOW);
  rule.Get()->put_Profiles(netfw::NET_FW_PROFILE2_ALL);
  rule.Get()->put_Enabled(VARIANT_TRUE);
  rules->Add(rule.Get());
}

void DeleteFirewallRule(netfw::INetFwRules* rules, const std::wstring& name) {
  const base::ScopedBstr bstr_name = MakeBstr(name);
  if (bstr_name) rules->Remove(bstr_name.Get());
}

void AddFirewallRule(const std::wstring& name, const std::wstring& application_path) {
  const FirewallComScope com;
  if (!com.usable()) return;
  const base::ScopedComPtr<netfw::INetFwRules> rules = GetFirewallRules();
  if (!rules) return;
  if (const base::ScopedComPtr<netfw::INetFwRule> rule = FindFirewallRule(rules.Get(), name)) {
    if (CheckFirewallRule(rule.Get(), application_path)) return;
    DeleteFirewallRule(rules.Get(), name);
  }
  CreateFirewallRule(rules.Get(), name, application_path);
}

void RemoveFirewallRule(const std::wstring& name) {
  const FirewallComScope com;
  if (!com.usable()) return;
  const base::ScopedComPtr<netfw::INetFwRules> rules = GetFirewallRules();
  if (!rules) return;
  if (FindFirewallRule(rules.Get(), name)) DeleteFirewallRule(rules.Get(), name);
}

