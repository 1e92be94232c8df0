// Helpers of the archive tests: temporary folders, whole-file reads and
// writes, the paths of the engine library and the test data, and catching the
// failure an archive operation throws.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/archive_exception.h"

namespace arc::testing {

std::wstring Widen(const std::string& utf8);

// A fresh folder under the temporary folder, removed with its contents.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::wstring& Path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

void RemoveTree(const std::wstring& path);
bool Exists(const std::wstring& path);
bool IsFolder(const std::wstring& path);
std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
uint64_t FileTimeValue(const FILETIME& time);
FILETIME ModificationTime(const std::wstring& path);
// Every file and folder below `root`, as paths relative to it, sorted.
std::vector<std::wstring> ListTree(const std::wstring& root);

// "7za.dll" beside the test program.
std::wstring EnginePath();
// The folder named by an environment variable holding a Linux path, as the
// Windows path Wine shows it under (Z:).
std::wstring LinuxFolderFromEnv(const char* variable);

// Runs `body` and answers the ArchiveException it threw; a body that throws
// none fails the test.
ArchiveException Failure(const std::function<void()>& body);

}  // namespace arc::testing
