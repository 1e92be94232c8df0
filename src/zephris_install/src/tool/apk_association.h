// Opens Android package files (".apk") with the product's launcher, for the
// current user and for the machine.
#pragma once

#include <windows.h>

#include <string>

inline constexpr wchar_t kApkProgId[] = L"Zephris.apk";

// The shell's open command for a package: the launcher (quoted) and its
// options, with %1 standing for the package's path.
std::wstring BuildApkOpenCommand(const std::wstring& launcher_path);

// Only for client types 0 and 2; false (and nothing written) for the others.
// Every value is attempted; true only when all were written. Tells the shell
// when the ProgId of ".apk" changed.
bool RegisterApkAssociation();

// Points Software\Classes\.apk under `root` at `prog_id` unless it already
// does; sets `changed` when it wrote.
bool SetApkProgId(HKEY root, const std::wstring& prog_id, bool& changed);
