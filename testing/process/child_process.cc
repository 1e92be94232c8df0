#include "testing/process/child_process.h"

#include <atomic>
#include <filesystem>
#include <system_error>
#include <thread>

#include <fmt/format.h>
#include <fmt/xchar.h>

#include "base/text_conversion.h"

namespace testing_process {

std::wstring DosPath(const std::string& unix_path) {
  using WineGetDosFileName = LPWSTR(CDECL*)(LPCSTR);
  auto convert = reinterpret_cast<WineGetDosFileName>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
  if (convert == nullptr) return base::Utf8ToWide(unix_path);
  LPWSTR converted = convert(unix_path.c_str());
  if (converted == nullptr) return base::Utf8ToWide(unix_path);
  std::wstring result(converted);
  ::HeapFree(::GetProcessHeap(), 0, converted);
  return result;
}

namespace {

std::wstring NewTempFolder() {
  static std::atomic<int> counter{0};
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  for (;;) {
    const std::wstring path = fmt::format(L"{}ql_test_{}_{}_{}", temp, ::GetCurrentProcessId(), counter++,
                                          ::GetTickCount64());
    if (::CreateDirectoryW(path.c_str(), nullptr)) return path;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) return path;
  }
}

void RemoveTree(const std::wstring& path) {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

}  // namespace

std::wstring HelperPath(const std::wstring& file_name) {
  static const std::wstring folder = DosPath(QL_TESTING_PROCESS_DIR);
  return folder + L"\\" + file_name;
}

TempFolder::TempFolder() : path_(NewTempFolder()) {}
TempFolder::~TempFolder() { RemoveTree(path_); }

HelperCopy::HelperCopy(const std::wstring& helper_name, const std::wstring& copy_name)
    : folder_(NewTempFolder()), path_(folder_ + L"\\" + copy_name) {
  ::CopyFileW(HelperPath(helper_name).c_str(), path_.c_str(), FALSE);
}

HelperCopy::~HelperCopy() {
  // The copy may still be mapped by a process that is ending.
  for (int i = 0; i < 50 && std::filesystem::exists(folder_); ++i) {
    RemoveTree(folder_);
    if (std::filesystem::exists(folder_)) ::Sleep(100);
  }
}

ChildProcess::ChildProcess(const std::wstring& command_line) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  base::ScopedKernelHandle stdin_read;
  base::ScopedKernelHandle stdout_write;
  if (!::CreatePipe(stdin_read.Receive(), stdin_write_.Receive(), &inheritable, 0) ||
      !::CreatePipe(stdout_read_.Receive(), stdout_write.Receive(), &inheritable, 0)) {
    return;
  }
  // Our ends stay ours, so the child sees its input end when we close it.
  ::SetHandleInformation(stdin_write_.Get(), HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(stdout_read_.Get(), HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = stdin_read.Get();
  startup.hStdOutput = stdout_write.Get();
  startup.hStdError = stdout_write.Get();
  PROCESS_INFORMATION started{};
  std::wstring mutable_line = command_line;
  if (!::CreateProcessW(nullptr, mutable_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &started)) {
    return;
  }
  process_.Reset(started.hProcess);
  base::ScopedKernelHandle thread(started.hThread);
  id_ = started.dwProcessId;
}

ChildProcess::~ChildProcess() {
  if (!process_) return;
  CloseInput();
  if (!Wait(std::chrono::seconds(5))) Kill();
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const std::size_t end = pending_.find('\n');
    if (end != std::string::npos) {
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    DWORD available = 0;
    if (!::PeekNamedPipe(stdout_read_.Get(), nullptr, 0, nullptr, &available, nullptr)) {
      if (pending_.empty()) return std::nullopt;  // the child ended and everything was read
      std::string rest = std::move(pending_);
      pending_.clear();
      return rest;
    }
    if (available > 0) {
      char buffer[512];
      DWORD read = 0;
      if (::ReadFile(stdout_read_.Get(), buffer, sizeof(buffer), &read, nullptr)) pending_.append(buffer, read);
      continue;
    }
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    ::Sleep(10);
  }
}

void ChildProcess::CloseInput() { stdin_write_.Close(); }

std::optional<DWORD> ChildProcess::Wait(std::chrono::milliseconds timeout) {
  if (!process_) return std::nullopt;
  if (::WaitForSingleObject(process_.Get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD code = 0;
  ::GetExitCodeProcess(process_.Get(), &code);
  return code;
}

void ChildProcess::Kill() {
  if (!process_) return;
  ::TerminateProcess(process_.Get(), 99);
  ::WaitForSingleObject(process_.Get(), 5000);
}

std::string ReadFileText(const std::wstring& path) {
  base::ScopedKernelHandle file(
      ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, 0, nullptr));
  if (!file) return {};
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) text.append(buffer, read);
  return text;
}

}  // namespace testing_process
