// The install folder a folder choice leads to, and the checks on names that
// come from outside and end up in paths.
#pragma once

#include <string>
#include <string_view>

inline constexpr wchar_t kProductFolderName[] = L"Quillorane";

// The chosen folder with the product folder appended: "D:\Games" gives
// "D:\Games\Quillorane", a drive root "D:\" gives "D:\Quillorane".
std::wstring InstallFolderFor(std::wstring_view chosen);

// The drive letter of a path, upper case ("d:\x" gives 'D'); 0 when the path
// does not start with a drive letter (UNC paths, relative paths).
wchar_t DriveLetterOf(std::wstring_view path);

// The place a path lies on, for the advice texts: the drive letter, or the
// "\\server\share" of a UNC path.
std::wstring VolumeNameOf(std::wstring_view path);

// A name the server hands us that goes into a folder or file name: only
// letters, digits, '.', '_' and '-', not "." or "..", at most 128 characters.
bool IsPlainFileName(std::string_view name);
