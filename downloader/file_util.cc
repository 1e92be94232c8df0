#include "downloader/file_util.h"

#include <windows.h>

#include <filesystem>
#include <system_error>

#include "base/scoped_handle.h"

namespace courier {

std::wstring Utf8ToWide(const std::string& text) {
  if (text.empty()) return {};
  const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string WideToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string narrow(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), narrow.data(), n,
                        nullptr, nullptr);
  return narrow;
}

bool ValidateTargetFilePath(const std::string& path, std::string* full_path) {
  std::string normalized = path;
  for (char& c : normalized) {
    if (c == '/') c = '\\';
  }
  const size_t slash = normalized.rfind('\\');
  const std::string name = slash == std::string::npos ? normalized : normalized.substr(slash + 1);
  if (name.empty() || name.find_first_of("\"*:<>?|") != std::string::npos) return false;

  const std::wstring wide = Utf8ToWide(normalized);
  if (wide.empty()) return false;
  const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return false;
  std::wstring full(needed, L'\0');
  const DWORD written = ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (written == 0 || written >= needed) return false;
  full.resize(written);
  if (full_path != nullptr) *full_path = WideToUtf8(full);
  return true;
}

bool CreateFixedSizeFile(const std::string& path, int64_t size) {
  const std::string folder = GetParentDirectory(path);
  if (!folder.empty() && !CreateDirectories(folder)) return false;

  const std::wstring wide = Utf8ToWide(path);
  base::ScopedKernelHandle file(::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.IsValid()) {
    LARGE_INTEGER distance;
    distance.QuadPart = size;
    if (::SetFilePointerEx(file.Get(), distance, nullptr, FILE_BEGIN) && ::SetEndOfFile(file.Get())) return true;
    file.Close();
  }

  // The Windows calls failed: stdio, which empties the file first.
  UniqueFile stream = OpenFileUtf8(path, "wb+");
  if (!stream) return false;
  if (size == 0) return std::fflush(stream.get()) == 0;
  if (_fseeki64(stream.get(), size - 1, SEEK_SET) != 0) return false;
  const char zero = 0;
  if (std::fwrite(&zero, 1, 1, stream.get()) != 1) return false;
  std::fflush(stream.get());
  if (_fseeki64(stream.get(), 0, SEEK_END) != 0) return false;
  return _ftelli64(stream.get()) == size;
}

UniqueFile OpenFileUtf8(const std::string& path, const std::string& mode) {
  if (path.empty() || mode.empty()) return nullptr;
  const std::wstring wide_path = Utf8ToWide(path);
  const std::wstring wide_mode = Utf8ToWide(mode);
  if (wide_path.empty() || wide_mode.empty()) return nullptr;
  FILE* stream = nullptr;
  if (_wfopen_s(&stream, wide_path.c_str(), wide_mode.c_str()) != 0) return nullptr;
  return UniqueFile(stream);
}

std::string GetParentDirectory(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool CreateDirectories(const std::string& path) {
  if (path.empty()) return true;
  std::wstring wide = Utf8ToWide(path);
  if (wide.empty()) return false;
  // Long-path prefixes become their plain forms: "\\?\UNC\server" is "\\server".
  if (wide.rfind(L"\\\\?\\UNC\\", 0) == 0) {
    wide = L"\\\\" + wide.substr(8);
  } else if (wide.rfind(L"\\\\?\\", 0) == 0) {
    wide = wide.substr(4);
  }
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(wide).lexically_normal(), error);
  return !error;
}

}  // namespace courier
