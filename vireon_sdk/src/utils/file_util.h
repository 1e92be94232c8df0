// Folder and file-name helpers of the telemetry client (UTF-16 paths).
#pragma once

#include <string>

namespace vireon::utils {

// The user's roaming application-data folder, created when missing; empty
// when the shell cannot name it.
std::wstring GetAppDataDir();

// Creates every missing level of `path` (a drive-rooted path such as
// "C:\a\b"); true when all of them exist afterwards.
bool CreateDirectories(const std::wstring& path);
// The same for the folder that holds the file `file_path`.
bool CreateParentDirectories(const std::wstring& file_path);

// "/" becomes "\" and runs of backslashes collapse to one.
void NormalizePath(std::wstring& path);
// Adds a trailing backslash unless there is one.
void AppendBackslash(std::wstring& path);

// The running executable's file name without its folder; empty when unknown.
std::wstring GetExeFileName();

}  // namespace vireon::utils
