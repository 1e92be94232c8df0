// A stand-in for a program the installer starts (a newer installer, the
// client): it writes its own command line, as UTF-8, to the file that the
// environment variable QL_RECORD_ARGS names, and exits 0.
#include <windows.h>

#include <string>

int main() {
  wchar_t target[MAX_PATH * 2];
  const DWORD length = GetEnvironmentVariableW(L"QL_RECORD_ARGS", target, MAX_PATH * 2);
  if (length == 0 || length >= MAX_PATH * 2) return 2;
  const std::wstring line = GetCommandLineW();
  const int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0, nullptr,
                                       nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8.data(), size, nullptr, nullptr);
  // Written under another name and moved into place, so a reader never sees
  // half a line.
  const std::wstring partial = std::wstring(target) + L".part";
  HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  CloseHandle(file);
  if (!ok || !MoveFileExW(partial.c_str(), target, MOVEFILE_REPLACE_EXISTING)) return 4;
  return 0;
}
