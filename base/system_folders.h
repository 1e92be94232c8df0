// The three file-system helpers that sit beside the registry functions: the
// query of a shell folder, the writing of an embedded resource to a file, and
// the creation of a folder when nothing stands at its path yet.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace base {

// The current location of a shell folder (a CSIDL number); empty when the
// shell cannot tell. The folder is not created.
std::optional<std::wstring> GetFolderPath(int csidl);

// Writes the resource `name` of type `type` held by `module` to `path`,
// replacing any file there and creating the missing parent folders. Returns 0
// on success and also when there is nothing to write (no module, no such
// resource, an empty one); otherwise the Win32 error of the step that failed.
DWORD WriteResourceToFile(HMODULE module, const wchar_t* name, const std::wstring& path, const std::wstring& type);

// Creates the folder with all missing parents when nothing exists at `path`.
// True when something (a folder, or even a file) stands there afterwards.
bool EnsureDirectory(const std::wstring& path);

}  // namespace base
