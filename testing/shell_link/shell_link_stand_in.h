// The rig's shell link with an AppUserModel id: Wine's own link takes the id
// through its property store and keeps nothing. A test registers this DLL
// in the test prefix as the ShellLink class while a case runs; every call
// goes to Wine's real link object, except the property store, which keeps
// System.AppUserModel.ID per link file under
//   HKCU\Software\QlTest\ShellLinkStandIn   REG_SZ <link path> = <id>
// (written when the link is saved, read when it is loaded), so a test can
// read a link's id back or plant a different one.
#pragma once

inline constexpr wchar_t kShellLinkStandInKey[] = L"Software\\QlTest\\ShellLinkStandIn";
inline constexpr wchar_t kShellLinkClassKey[] = L"Software\\Classes\\CLSID\\{00021401-0000-0000-C000-000000000046}";
