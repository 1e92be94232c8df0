// A stand-in of the client's executable for its OpenGL check. Each start is
// appended to the file QL_QUILLORANIX_LOG as "<pid>|<command line>".
// QL_QUILLORANIX_DOUBLE says what it does:
//   "answer:<exit>:<vendor>|<renderer>|<version>|<major>|<minor>"
//        writes the five values under HKCU\<QL_QUILLORANIX_KEY>, exits <exit>
//   "silent:<exit>"  writes nothing, exits <exit>
//   "hang"           never answers (ends by itself after two minutes)
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::wstring Env(const wchar_t* name) {
  wchar_t value[4096] = {};
  const DWORD n = ::GetEnvironmentVariableW(name, value, 4096);
  return (n == 0 || n >= 4096) ? std::wstring() : std::wstring(value, n);
}

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  while (true) {
    const size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
    if (end == std::wstring::npos) return parts;
    start = end + 1;
  }
}

void Log() {
  const std::wstring path = Env(L"QL_QUILLORANIX_LOG");
  if (path.empty()) return;
  const HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::wstring line = std::to_wstring(::GetCurrentProcessId()) + L"|" + ::GetCommandLineW() + L"\n";
  const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0,
                                          nullptr, nullptr);
  std::string utf8(bytes, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8.data(), bytes, nullptr,
                        nullptr);
  DWORD written = 0;
  ::WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  ::CloseHandle(file);
}

void WriteValues(const std::vector<std::wstring>& values) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, Env(L"QL_QUILLORANIX_KEY").c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  const wchar_t* const text_names[] = {L"OpenglVendor", L"OpenglRenderer", L"OpenglVersion"};
  for (int i = 0; i < 3 && i < static_cast<int>(values.size()); ++i) {
    ::RegSetValueExW(key, text_names[i], 0, REG_SZ, reinterpret_cast<const BYTE*>(values[i].c_str()),
                     static_cast<DWORD>((values[i].size() + 1) * sizeof(wchar_t)));
  }
  const wchar_t* const number_names[] = {L"OpenglMajorVersion", L"OpenglMinorVersion"};
  for (int i = 0; i < 2 && 3 + i < static_cast<int>(values.size()); ++i) {
    const unsigned long long number = std::wcstoull(values[3 + i].c_str(), nullptr, 10);
    ::RegSetValueExW(key, number_names[i], 0, REG_QWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
  }
  ::RegCloseKey(key);
}

}  // namespace

int wmain() {
  Log();
  const std::wstring mode = Env(L"QL_QUILLORANIX_DOUBLE");
  if (mode == L"hang") {
    ::Sleep(120000);
    return 0;
  }
  const std::vector<std::wstring> parts = Split(mode, L':');
  if (parts.size() >= 2 && parts[0] == L"silent") return static_cast<int>(std::wcstol(parts[1].c_str(), nullptr, 10));
  if (parts.size() >= 3 && parts[0] == L"answer") {
    // The values may hold colons themselves: everything after the second one.
    const size_t values_start = mode.find(L':', mode.find(L':') + 1) + 1;
    WriteValues(Split(mode.substr(values_start), L'|'));
    return static_cast<int>(std::wcstol(parts[1].c_str(), nullptr, 10));
  }
  return 1;
}
