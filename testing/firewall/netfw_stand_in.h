// What the firewall stand-in keeps, and where: everything lives under one
// HKCU key so that a test (or another process) reads it back.
//   Calls  REG_SZ  every call made on the stand-in's objects, one per line,
//                  as "<Object>.<method>" or "<Object>.<method>(<argument>)"
//   Fail   REG_SZ  "<Object>.<method>" names, ";"-separated, that return E_FAIL
//   Rules\<name>   one key per rule: "ApplicationName" (REG_SZ, absent when
//                  the rule has none), "Action", "Profiles", "Enabled",
//                  "Direction", "Protocol" (REG_DWORD)
// Objects: "Factory.NetFwPolicy2" and "Factory.NetFwRule" (creation),
// "Policy", "Rules", "Rule" (a new rule), "StoredRule" (one that Rules.Item
// handed out).
#pragma once

inline constexpr wchar_t kNetFwStandInKey[] = L"Software\\QlTest\\NetFwStandIn";
