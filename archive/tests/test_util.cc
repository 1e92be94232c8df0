#include "archive/tests/test_util.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include <gtest/gtest.h>

#include "base/scoped_handle.h"

namespace arc::testing {

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), size);
  return out;
}

TempDir::TempDir() {
  wchar_t temp[MAX_PATH + 1];
  const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
  std::wstring base(temp, n);
  static unsigned counter = 0;
  for (;;) {
    path_ = base + L"arc-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    if (::CreateDirectoryW(path_.c_str(), nullptr)) return;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create a temporary folder");
  }
}

TempDir::~TempDir() { RemoveTree(path_); }

void RemoveTree(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  ::SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    ::DeleteFileW(path.c_str());
    return;
  }
  WIN32_FIND_DATAW entry{};
  {
    base::ScopedFindHandle find(::FindFirstFileW((path + L"\\*").c_str(), &entry));
    if (find.IsValid()) {
      do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") RemoveTree(path + L"\\" + name);
      } while (::FindNextFileW(find.Get(), &entry));
    }
  }
  ::RemoveDirectoryW(path.c_str());
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string ReadFileBytes(const std::wstring& path) {
  base::ScopedKernelHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) throw std::runtime_error("cannot open a file to read");
  LARGE_INTEGER size{};
  ::GetFileSizeEx(file.Get(), &size);
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD read = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
    if (!::ReadFile(file.Get(), bytes.data() + done, chunk, &read, nullptr) || read == 0) break;
    done += read;
  }
  bytes.resize(done);
  return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  base::ScopedKernelHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) throw std::runtime_error("cannot create a file");
  DWORD written = 0;
  if (!bytes.empty() && !::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
    throw std::runtime_error("cannot write a file");
}

uint64_t FileTimeValue(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME ModificationTime(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

namespace {
void ListInto(const std::wstring& root, const std::wstring& relative, std::vector<std::wstring>& out) {
  WIN32_FIND_DATAW entry{};
  const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
  base::ScopedFindHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (!find.IsValid()) return;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring child = relative.empty() ? name : relative + L"\\" + name;
    out.push_back(child);
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ListInto(root, child, out);
  } while (::FindNextFileW(find.Get(), &entry));
}
}  // namespace

std::vector<std::wstring> ListTree(const std::wstring& root) {
  std::vector<std::wstring> out;
  ListInto(root, L"", out);
  std::sort(out.begin(), out.end());
  return out;
}

std::wstring EnginePath() {
  wchar_t module[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring path(module, n);
  return path.substr(0, path.find_last_of(L"\\/")) + L"\\7za.dll";
}

std::wstring LinuxFolderFromEnv(const char* variable) {
  const char* value = std::getenv(variable);
  if (value == nullptr || *value == '\0') return {};
  std::wstring path = L"Z:" + Widen(value);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

ArchiveException Failure(const std::function<void()>& body) {
  try {
    body();
  } catch (const ArchiveException& e) {
    return e;
  }
  ADD_FAILURE() << "no ArchiveException";
  return ArchiveException("none", 0);
}

}  // namespace arc::testing
