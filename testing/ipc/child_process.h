// Small helpers of the IPC test rig: start and watch peer processes, named
// events to line them up, and names that no other test uses.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/scoped_handle.h"

namespace ipc_testing {

// The build hands peer paths over as host paths; Wine shows the host's root
// as drive Z:.
inline std::wstring ToWindowsPath(const std::string& path) {
  std::wstring wide(path.begin(), path.end());
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  return (!path.empty() && path[0] == '/') ? L"Z:" + wide : wide;
}

// A name that no other process of the run uses: prefix, process id, a
// per-process counter and the tick count.
inline std::string UniqueName(const std::string& prefix) {
  static std::atomic<uint32_t> counter{0};
  return prefix + "-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(counter.fetch_add(1)) + "-" +
         std::to_string(::GetTickCount64());
}

inline std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

class ChildProcess {
 public:
  ChildProcess() = default;

  // Starts `exe` with the arguments (each quoted); false when it cannot run.
  bool Start(const std::wstring& exe, const std::vector<std::string>& args) {
    std::wstring command = L"\"" + exe + L"\"";
    for (const std::string& arg : args) command += L" \"" + Widen(arg) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info)) {
      return false;
    }
    process_.Reset(info.hProcess);
    base::ScopedKernelHandle thread(info.hThread);
    pid_ = info.dwProcessId;
    return true;
  }

  // The exit code, or nothing when the process still runs after `ms`.
  std::optional<DWORD> Wait(DWORD ms) {
    if (!process_.IsValid() || ::WaitForSingleObject(process_.Get(), ms) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    ::GetExitCodeProcess(process_.Get(), &code);
    return code;
  }

  void Kill() {
    if (process_.IsValid()) {
      ::TerminateProcess(process_.Get(), 99);
      ::WaitForSingleObject(process_.Get(), 5000);
    }
  }

  ~ChildProcess() {
    if (process_.IsValid() && ::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) Kill();
  }

  ChildProcess(ChildProcess&&) = default;
  ChildProcess& operator=(ChildProcess&&) = default;

  DWORD pid() const { return pid_; }

 private:
  base::ScopedKernelHandle process_;
  DWORD pid_ = 0;
};

class NamedEvent {
 public:
  // Manual-reset, initially clear; opens the event when it exists.
  explicit NamedEvent(const std::string& name)
      : handle_(::CreateEventW(nullptr, TRUE, FALSE, Widen(name).c_str())) {}
  bool Set() { return ::SetEvent(handle_.Get()) != FALSE; }
  bool Wait(DWORD ms) { return ::WaitForSingleObject(handle_.Get(), ms) == WAIT_OBJECT_0; }
  bool IsValid() const { return handle_.IsValid(); }

 private:
  base::ScopedKernelHandle handle_;
};

// Waits for every event; false when one is not set within `ms` in all.
inline bool WaitAll(std::vector<NamedEvent>& events, DWORD ms) {
  const ULONGLONG deadline = ::GetTickCount64() + ms;
  for (NamedEvent& event : events) {
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline || !event.Wait(static_cast<DWORD>(deadline - now))) return false;
  }
  return true;
}

}  // namespace ipc_testing
