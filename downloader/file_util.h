// File utilities of the downloader. Paths are UTF-8 everywhere in the
// downloader and become UTF-16 only at the Windows and stdio calls.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace courier {

struct FileCloser {
  void operator()(FILE* f) const noexcept { std::fclose(f); }
};
using UniqueFile = std::unique_ptr<FILE, FileCloser>;

// Conversions that give an empty string when the text does not convert.
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

// Refuses an empty file name or one holding " * : < > ? |; otherwise gives the
// absolute path (slashes turned into backslashes).
bool ValidateTargetFilePath(const std::string& path, std::string* full_path);

// Creates the file (and its folder) at the given size; an existing file keeps
// its bytes up to the new size.
bool CreateFixedSizeFile(const std::string& path, int64_t size);

UniqueFile OpenFileUtf8(const std::string& path, const std::string& mode);

// Everything before the last backslash; slashes do not count.
std::string GetParentDirectory(const std::string& path);

bool CreateDirectories(const std::string& path);

}  // namespace courier
