// Runs one program to its end and prints its exit code, its wall time and its
// peak working set, the figures of the install bench. The time is taken
// around the child's whole life, the way the yardstick's commands are timed
// by the script.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "base/scoped_handle.h"

namespace {

std::wstring Quote(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fwprintf(stderr, L"usage: peak_run <program> [arguments...]\n");
    return 2;
  }
  std::wstring command_line = Quote(argv[1]);
  for (int i = 2; i < argc; ++i) command_line += L" " + Quote(argv[i]);

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  const auto start = std::chrono::steady_clock::now();
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    std::fwprintf(stderr, L"cannot start %ls: error %lu\n", argv[1], GetLastError());
    return 2;
  }
  base::ScopedKernelHandle process(info.hProcess);
  base::ScopedKernelHandle thread(info.hThread);
  // The system keeps no memory figures of a process that has ended (Wine
  // gives zeros then), so the peak is read while it runs; the last reading
  // before the end holds the peak of its whole life.
  SIZE_T peak = 0;
  for (;;) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (GetProcessMemoryInfo(process.Get(), &counters, sizeof(counters))) {
      peak = std::max({peak, counters.PeakWorkingSetSize, counters.WorkingSetSize});
    }
    if (WaitForSingleObject(process.Get(), 20) != WAIT_TIMEOUT) break;
  }
  const auto wall = std::chrono::steady_clock::now() - start;

  DWORD exit_code = 0;
  GetExitCodeProcess(process.Get(), &exit_code);
  std::printf("exit=%lu wall_ms=%lld peak_working_set=%llu\n", exit_code,
              static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(wall).count()),
              static_cast<unsigned long long>(peak));
  return 0;
}
