#include "base/process_util.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <fmt/format.h>
#include <fmt/xchar.h>

#include "base/failure_boundary.h"
#include "base/scoped_handle.h"

namespace base {
namespace {

constexpr DWORD kBriefWaitMs = 5000;

bool SameNameIgnoringCase(std::wstring_view a, const wchar_t* b) {
  const int b_length = static_cast<int>(wcsnlen(b, MAX_PATH));
  return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b, b_length, TRUE) == CSTR_EQUAL;
}

// Calls `visit` for every process of a fresh snapshot until it returns false.
template <typename Visit>
void ForEachProcess(Visit&& visit) {
  ScopedKernelHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
       more = ::Process32NextW(snapshot.Get(), &entry)) {
    if (!visit(entry)) return;
  }
}

std::wstring FileNameOf(const std::wstring& path) {
  const std::size_t cut = path.find_last_of(L"\\/");
  return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

const wchar_t* NullIfEmpty(const std::wstring& text) { return text.empty() ? nullptr : text.c_str(); }

uint32_t ExitCodeOf(HANDLE process) {
  DWORD code = 0;
  ::GetExitCodeProcess(process, &code);
  return code;
}

}  // namespace

std::vector<HANDLE> OpenProcessesByName(std::wstring_view exe_name) {
  std::vector<HANDLE> handles;
  if (exe_name.empty()) return handles;
  try {
    ForEachProcess([&](const PROCESSENTRY32W& entry) {
      if (SameNameIgnoringCase(exe_name, entry.szExeFile)) {
        ScopedKernelHandle process(::OpenProcess(PROCESS_ALL_ACCESS, FALSE, entry.th32ProcessID));
        if (process) {
          handles.push_back(process.Get());
          (void)process.Take();  // owned by the vector now, and so by the caller
        }
      }
      return true;
    });
  } catch (...) {
    // The caller cannot close what it never received.
    for (HANDLE h : handles) ScopedKernelHandle closing(h);
    handles.clear();
  }
  return handles;
}

DWORD IsProcessRunning(std::wstring_view exe_name) {
  DWORD found = 0;
  if (exe_name.empty()) return found;
  ForEachProcess([&](const PROCESSENTRY32W& entry) {
    if (!SameNameIgnoringCase(exe_name, entry.szExeFile)) return true;
    found = entry.th32ProcessID;
    return false;
  });
  return found;
}

std::wstring GetCurrentModuleDir() {
  return NoThrowOr(std::wstring(), [] {
    HMODULE module = nullptr;
    // No reference is taken, so nothing needs releasing.
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(&GetCurrentModuleDir), &module)) {
      return std::wstring();
    }
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
    if (length == 0) return std::wstring();
    std::wstring full(path, length);
    const std::size_t cut = full.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : full.substr(0, cut);
  });
}

std::wstring GetModulePath() {
  return NoThrowOr(std::wstring(), [] {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length);
  });
}

std::wstring GetExeFileName() {
  return NoThrowOr(std::wstring(), [] { return FileNameOf(GetModulePath()); });
}

uint32_t ShellRunAndWait(const std::wstring& file, const std::wstring& parameters, bool wait,
                         const std::wstring& working_dir, int show_command) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_FLAG_NO_UI | (wait ? SEE_MASK_NOCLOSEPROCESS : 0);
  info.lpVerb = L"open";
  info.lpFile = file.c_str();
  info.lpParameters = NullIfEmpty(parameters);
  info.lpDirectory = NullIfEmpty(working_dir);
  info.nShow = show_command;
  if (!::ShellExecuteExW(&info)) return ::GetLastError();
  if (!wait || info.hProcess == nullptr) return 0;
  ScopedKernelHandle process(info.hProcess);
  ::WaitForSingleObject(process.Get(), INFINITE);
  return ExitCodeOf(process.Get());
}

uint32_t ShellRunAndWaitBrief(const std::wstring& file, const std::wstring& parameters,
                              const std::wstring& working_dir) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = L"open";
  info.lpFile = file.c_str();
  info.lpParameters = NullIfEmpty(parameters);
  info.lpDirectory = NullIfEmpty(working_dir);
  info.nShow = SW_SHOWNORMAL;
  if (!::ShellExecuteExW(&info)) return ::GetLastError();
  if (info.hProcess == nullptr) return 0;
  ScopedKernelHandle process(info.hProcess);
  ::WaitForSingleObject(process.Get(), kBriefWaitMs);
  return ExitCodeOf(process.Get());
}

DWORD RunRestricted(const std::wstring& exe_path, const std::wstring& arguments, uint32_t* exit_code) {
  if (::GetFileAttributesW(exe_path.c_str()) == INVALID_FILE_ATTRIBUTES) return ERROR_FILE_NOT_FOUND;

  ScopedKernelHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ASSIGN_PRIMARY | TOKEN_DUPLICATE | TOKEN_QUERY | READ_CONTROL,
                          token.Receive())) {
    return ::GetLastError();
  }

  // S-1-5-32-544, the built-in Administrators group: the child keeps it only
  // as a deny-only group.
  alignas(SID) BYTE admins_sid[SECURITY_MAX_SID_SIZE] = {};
  DWORD sid_size = sizeof(admins_sid);
  if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins_sid, &sid_size)) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  SID_AND_ATTRIBUTES disabled{};
  disabled.Sid = admins_sid;

  ScopedKernelHandle restricted;
  if (!::CreateRestrictedToken(token.Get(), DISABLE_MAX_PRIVILEGE, 1, &disabled, 0, nullptr, 0, nullptr,
                               restricted.Receive())) {
    return ::GetLastError();
  }

  std::wstring command_line;
  try {
    command_line = fmt::format(L"\"{}\" {}", exe_path, arguments);
  } catch (...) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  if (!::CreateProcessAsUserW(restricted.Get(), nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &started)) {
    return ::GetLastError();
  }
  ScopedKernelHandle process(started.hProcess);
  ScopedKernelHandle thread(started.hThread);
  ::WaitForSingleObject(process.Get(), kBriefWaitMs);
  if (exit_code != nullptr) *exit_code = ExitCodeOf(process.Get());
  return 0;
}

uint32_t RegisterComDll(const std::wstring& dll_path, bool unregister) {
  constexpr uint32_t kNotStarted = 0xFFFFFFFF;
  std::wstring command_line;
  try {
    command_line = fmt::format(L"regsvr32 /s {}\"{}\"", unregister ? L"/u " : L"", dll_path);
  } catch (...) {
    return kNotStarted;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started)) {
    return kNotStarted;
  }
  ScopedKernelHandle process(started.hProcess);
  ScopedKernelHandle thread(started.hThread);
  ::WaitForSingleObject(process.Get(), INFINITE);
  return ExitCodeOf(process.Get());
}

std::string RunAndCapture(const std::string& command_line) {
  return NoThrowOr(std::string(), [&] {
    std::string output;
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    ScopedKernelHandle read_end;
    ScopedKernelHandle write_end;
    if (!::CreatePipe(read_end.Receive(), write_end.Receive(), &inheritable, 0)) return output;

    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = write_end.Get();
    startup.hStdError = write_end.Get();
    // Only the pipe goes to the child: a command that outlives this process
    // must not hold this process's other handles (its standard output, say,
    // which its own parent may be reading to the end).
    SIZE_T list_size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &list_size);
    std::vector<char> list_storage(list_size);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list_storage.data());
    if (!::InitializeProcThreadAttributeList(attributes, 1, 0, &list_size)) return output;
    HANDLE inherited[] = {write_end.Get()};
    const bool listed = ::UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                                    sizeof(inherited), nullptr, nullptr) != FALSE;
    STARTUPINFOEXA startup_ex{};
    startup_ex.StartupInfo = startup;
    startup_ex.StartupInfo.cb = sizeof(startup_ex);
    startup_ex.lpAttributeList = listed ? attributes : nullptr;
    PROCESS_INFORMATION started{};
    std::string mutable_line = command_line;
    const BOOL created =
        ::CreateProcessA(nullptr, mutable_line.data(), nullptr, nullptr, TRUE,
                         CREATE_NEW_CONSOLE | (listed ? EXTENDED_STARTUPINFO_PRESENT : 0), nullptr, nullptr,
                         &startup_ex.StartupInfo, &started);
    ::DeleteProcThreadAttributeList(attributes);
    if (!created) return output;
    ScopedKernelHandle process(started.hProcess);
    ScopedKernelHandle thread(started.hThread);

    char buffer[1024];
    for (;;) {
      const DWORD waited = ::WaitForSingleObject(process.Get(), 50);
      DWORD available = 0;
      while (::PeekNamedPipe(read_end.Get(), nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        DWORD read = 0;
        if (!::ReadFile(read_end.Get(), buffer, sizeof(buffer) - 1, &read, nullptr) || read == 0) break;
        output.append(buffer, strnlen(buffer, read));
      }
      if (waited != WAIT_TIMEOUT) break;  // ended (or cannot be waited for): drained once more above
    }
    return output;
  });
}

}  // namespace base
