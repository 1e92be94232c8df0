// ql_child_exit <code> [<report file>]
// ql_child_exit crash-on-thread
// Exits with <code>, or ends through an access violation on a second thread. With a report file, first writes there (UTF-8, one fact
// per line) its working folder, its whole command line, and whether its token
// counts as a member of the Administrators group ("admin=1" / "admin=0").
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/scoped_handle.h"

namespace {

std::string Utf8(const wchar_t* text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
  if (size > 1) ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  return out;
}

bool IsAdminMember() {
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof(sid);
  BOOL member = FALSE;
  if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size)) return false;
  if (!::CheckTokenMembership(nullptr, sid, &member)) return false;
  return member != FALSE;
}

DWORD WINAPI WriteThroughNull(void*) {
  *static_cast<volatile int*>(nullptr) = 1;
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 1 && std::wstring(argv[1]) == L"crash-on-thread") {
    base::ScopedKernelHandle thread(::CreateThread(nullptr, 0, &WriteThroughNull, nullptr, 0, nullptr));
    if (thread) ::WaitForSingleObject(thread.Get(), INFINITE);
    return 0;
  }
  const int code = argc > 1 ? static_cast<int>(std::wcstol(argv[1], nullptr, 10)) : 0;
  if (argc > 2) {
    wchar_t folder[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, folder);
    const std::string report = "cwd=" + Utf8(folder) + "\ncmd=" + Utf8(::GetCommandLineW()) +
                               "\nadmin=" + (IsAdminMember() ? "1" : "0") + "\n";
    base::ScopedKernelHandle file(
        ::CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file) ::WriteFile(file.Get(), report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
  }
  return code;
}
