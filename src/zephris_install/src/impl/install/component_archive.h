// Checks on a component archive on disk, shared by the download and the
// install stage.
#pragma once

#include <string>

#include "base/scoped_handle.h"

// Anything (a file, a folder) stands at the path.
bool PathExists(const std::wstring& path);

// The file's MD5 equals `expected` without regard to case; the computed text
// goes to `local` when given ("null" when the file cannot be read).
bool ArchiveMd5Matches(const std::wstring& path, const std::string& expected, std::string* local = nullptr);

// The same test on an MD5 text already computed over the file's bytes.
bool Md5TextMatches(const std::string& md5, const std::string& expected);

// The archive opened so that nobody can change, replace or delete it while
// the handle lives (others may still read it); empty when it cannot be opened
// that way. An archive checked while held is the archive later unpacked.
base::ScopedKernelHandle HoldArchive(const std::wstring& path);
