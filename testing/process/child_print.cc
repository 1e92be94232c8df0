// Prints each of its arguments, as the platform splits them, on a line of
// its own to standard output (UTF-8), then "stderr:" and the argument count
// to standard error. Exit code 0.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

#include "base/scoped_handle.h"

int main() {
  int count = 0;
  wchar_t** args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  base::ScopedLocalMemory owned(args);
  for (int i = 1; i < count; ++i) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, args[i], -1, nullptr, 0, nullptr, nullptr);
    std::string line(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
    if (size > 1) ::WideCharToMultiByte(CP_UTF8, 0, args[i], -1, line.data(), size, nullptr, nullptr);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
  }
  std::fflush(stdout);
  std::fprintf(stderr, "stderr:%d\n", count - 1);
  std::fflush(stderr);
  return 0;
}
