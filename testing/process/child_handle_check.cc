// ql_child_handle_check <handle value>
// Prints "open" when the value names a handle of this process (one it
// inherited), else "closed".
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const auto value = static_cast<uintptr_t>(std::strtoull(argv[1], nullptr, 10));
  DWORD flags = 0;
  std::puts(::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? "open" : "closed");
  return 0;
}
