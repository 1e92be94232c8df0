// ql_child_wait [<milliseconds> [spin]]
// Waits the given time (forever without one), then exits with 7. With
// "spin" it keeps one processor busy instead of sleeping.
#include <windows.h>

#include <cstdlib>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  const DWORD wait = argc > 1 ? static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10)) : INFINITE;
  if (argc > 2 && std::wcscmp(argv[2], L"spin") == 0) {
    const ULONGLONG end = ::GetTickCount64() + wait;
    volatile unsigned long long sink = 0;
    while (::GetTickCount64() < end) {
      for (int i = 0; i < 100000; ++i) sink = sink + i;
    }
  } else {
    ::Sleep(wait);
  }
  return 7;
}
