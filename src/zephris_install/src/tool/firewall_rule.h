// The Windows Firewall rule that lets the running installer's own program
// through while it runs. Start-up adds it, shutdown removes it. A rule is
// known by its name alone, so two installers running at once share it.
// Nothing here reports a failure: without the firewall objects the installer
// simply runs without a rule.
#pragma once

#include <string>

#include "base/scoped_handle.h"
#include "src/zephris_install/src/tool/netfw.h"

inline constexpr wchar_t kFirewallRuleName[] = L"Zephris Installer";

// Makes sure an enabled allow rule `name` for `application_path` exists:
// an existing one is corrected in place, or replaced when it cannot be.
void AddFirewallRule(const std::wstring& name, const std::wstring& application_path);
// Removes the rule `name` when there is one.
void RemoveFirewallRule(const std::wstring& name);

// The steps of the two operations; they expect COM to be initialised.
base::ScopedComPtr<netfw::INetFwRules> GetFirewallRules();
base::ScopedComPtr<netfw::INetFwRule> FindFirewallRule(netfw::INetFwRules* rules, const std::wstring& name);
// Corrects the rule's program, action and enabled state; false when a
// correction (or a read it needs) failed.
bool CheckFirewallRule(netfw::INetFwRule* rule, const std::wstring& application_path);
void CreateFirewallRule(netfw::INetFwRules* rules, const std::wstring& name, const std::wstring& application_path);
void DeleteFirewallRule(netfw::INetFwRules* rules, const std::wstring& name);

