// Test support: the helper programs of this folder, started as real child
// processes whose standard input and output are pipes to the test.
#pragma once

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>

#include "base/scoped_handle.h"

namespace testing_process {

// Under Wine, the Windows path of a Unix path of the build tree (a folder the
// build baked in); elsewhere the path as it stands.
std::wstring DosPath(const std::string& unix_path);

// Full Windows path of a helper program built beside this library.
std::wstring HelperPath(const std::wstring& file_name);

// A copy of a helper under a name of the caller's choosing, in a fresh
// temporary folder (for tests that find processes by name, or that give one
// executable its own Wine settings). The folder goes with the object.
class HelperCopy {
 public:
  HelperCopy(const std::wstring& helper_name, const std::wstring& copy_name);
  ~HelperCopy();
  HelperCopy(const HelperCopy&) = delete;
  HelperCopy& operator=(const HelperCopy&) = delete;

  const std::wstring& path() const { return path_; }
  const std::wstring& folder() const { return folder_; }

 private:
  std::wstring folder_;
  std::wstring path_;
};

// A fresh, empty temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

class ChildProcess {
 public:
  // Starts `command_line` (its first token names the program).
  explicit ChildProcess(const std::wstring& command_line);
  // Closes the child's standard input, gives it a moment to end, and ends it
  // when it does not.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return process_.IsValid(); }
  DWORD id() const { return id_; }
  HANDLE handle() const { return process_.Get(); }

  // The next line of its standard output, without the line break; empty
  // optional when none came within `timeout`.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout = std::chrono::seconds(20));
  // Closes its standard input (helpers that hold end then).
  void CloseInput();
  // The exit code once it has ended; empty when it still runs after `timeout`.
  std::optional<DWORD> Wait(std::chrono::milliseconds timeout = std::chrono::seconds(20));
  void Kill();

 private:
  base::ScopedKernelHandle process_;
  base::ScopedKernelHandle stdin_write_;
  base::ScopedKernelHandle stdout_read_;
  std::string pending_;
  DWORD id_ = 0;
};

// A file's bytes as text; empty when it cannot be read.
std::string ReadFileText(const std::wstring& path);

}  // namespace testing_process
