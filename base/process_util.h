// Starting other programs and finding running ones: through the shell (with
// or without waiting), under a restricted token, hidden with the output
// captured, and regsvr32. Every function answers failure by its return value.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace base {

// Handles (all access) of every running process whose executable file name
// equals `exe_name` without regard to case, in snapshot order. The caller
// owns and closes them. Empty for an empty name or a failed snapshot.
std::vector<HANDLE> OpenProcessesByName(std::wstring_view exe_name);

// Id of the first running process with that executable name (case ignored);
// 0 when there is none.
DWORD IsProcessRunning(std::wstring_view exe_name);

// Folder of the module that holds this code, without a trailing backslash;
// empty when it cannot be told.
std::wstring GetCurrentModuleDir();
// Full path of the process executable.
std::wstring GetModulePath();
// File name of the process executable (what follows the last \ or /).
std::wstring GetExeFileName();

// ShellExecuteEx "open" without error dialogs. When waiting: the program's
// exit code once it ends. Otherwise 0. A failed launch gives GetLastError.
uint32_t ShellRunAndWait(const std::wstring& file, const std::wstring& parameters, bool wait,
                         const std::wstring& working_dir, int show_command);

// As ShellRunAndWait, shown normally and waiting at most 5000 ms: the exit
// code, STILL_ACTIVE (259) when the program still runs, 0 when the shell
// gave no process handle.
uint32_t ShellRunAndWaitBrief(const std::wstring& file, const std::wstring& parameters,
                              const std::wstring& working_dir);

// Runs "\"exe_path\" arguments" with a restricted copy of the process token
// (maximum privileges removed, the Administrators group deny-only) and waits
// at most 5000 ms. 0 when the program was started (its exit code, or 259 if
// it still runs, goes to *exit_code when given); 2 when exe_path does not
// exist; otherwise the system error of the step that failed.
DWORD RunRestricted(const std::wstring& exe_path, const std::wstring& arguments,
                    uint32_t* exit_code = nullptr);

// "regsvr32 /s [/u] \"dll\"", hidden, waited for: regsvr32's exit code, or
// 0xFFFFFFFF when it did not start.
uint32_t RegisterComDll(const std::wstring& dll_path, bool unregister);

// Runs the command line hidden, with standard output and standard error
// going to a pipe, and returns what it wrote once it has ended (each read is
// cut at a zero byte). Empty when the program did not start.
std::string RunAndCapture(const std::string& command_line);

}  // namespace base
