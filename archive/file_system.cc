#include "archive/file_system.h"

#include <cwctype>
#include <utility>

#include "base/scoped_handle.h"

namespace arc {

namespace path_prefix {

bool IsSeparator(wchar_t c) noexcept { return c == L'\\' || c == L'/'; }

bool IsDrive(const std::wstring& path, size_t pos) noexcept {
  if (path.size() < pos + 2) return false;
  const wchar_t c = path[pos];
  return ((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z')) && path[pos + 1] == L':';
}

bool IsDrivePath(const std::wstring& path, size_t pos) noexcept {
  return IsDrive(path, pos) && path.size() > pos + 2 && IsSeparator(path[pos + 2]);
}

bool HasLongPathPrefix(const std::wstring& path) noexcept {
  return path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && path[2] == L'?' &&
         IsSeparator(path[3]);
}

bool HasLongUncPrefix(const std::wstring& path) noexcept {
  return HasLongPathPrefix(path) && path.size() >= 8 && std::towupper(path[4]) == L'U' &&
         std::towupper(path[5]) == L'N' && std::towupper(path[6]) == L'C' && IsSeparator(path[7]);
}

size_t FindSeparator(const std::wstring& path, size_t from) noexcept {
  for (size_t i = from; i < path.size(); ++i) {
    if (IsSeparator(path[i])) return i;
  }
  return std::wstring::npos;
}

size_t ServerPrefixLength(const std::wstring& path) noexcept {
  size_t start = 2;
  if (HasLongUncPrefix(path)) {
    start = 8;
  } else if (path.size() > 2 && (path[2] == L'.' || path[2] == L'?')) {
    return 0;
  }
  const size_t sep = FindSeparator(path, start);
  return sep == std::wstring::npos ? 0 : sep + 1 - start;
}

namespace {
// Length of "server\share\" starting at `start`, 0 when either is missing.
size_t ServerAndShareLength(const std::wstring& path, size_t start) noexcept {
  const size_t server_end = FindSeparator(path, start);
  if (server_end == std::wstring::npos) return 0;
  const size_t share_end = FindSeparator(path, server_end + 1);
  if (share_end == std::wstring::npos) return 0;
  return share_end + 1 - start;
}
}  // namespace

size_t RootPrefixLength(const std::wstring& path) noexcept {
  if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && path[2] == L'.' && IsSeparator(path[3]))
    return 4;
  if (HasLongPathPrefix(path)) {
    if (HasLongUncPrefix(path)) {
      const size_t n = ServerAndShareLength(path, 8);
      return n == 0 ? 0 : 8 + n;
    }
    const size_t sep = FindSeparator(path, 4);
    return sep == std::wstring::npos ? 0 : sep + 1;
  }
  if (IsDrivePath(path)) return 3;
  if (path.empty() || !IsSeparator(path[0])) return 0;
  if (path.size() < 2 || !IsSeparator(path[1])) return 1;
  const size_t n = ServerAndShareLength(path, 2);
  return n == 0 ? 0 : 2 + n;
}

bool IsDriveRootPath(const std::wstring& path) noexcept {
  const size_t pos = HasLongPathPrefix(path) ? 4 : 0;
  return IsDrivePath(path, pos) && path.size() == pos + 3;
}

}  // namespace path_prefix

using namespace path_prefix;

std::wstring NameWithoutExtension(const std::wstring& path) {
  const size_t sep = path.find_last_of(L"\\/");
  std::wstring name = sep == std::wstring::npos ? path : path.substr(sep + 1);
  const size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos) name.resize(dot);
  return name;
}

namespace {

using FindFirstStreamWFunc = HANDLE(WINAPI*)(LPCWSTR, STREAM_INFO_LEVELS, LPVOID, DWORD);
using FindNextStreamWFunc = BOOL(WINAPI*)(HANDLE, LPVOID);

struct StreamFunctions {
  FindFirstStreamWFunc first = nullptr;
  FindNextStreamWFunc next = nullptr;
};

// Older systems lack the stream functions; only stream lookups fail there.
const StreamFunctions& Streams() {
  static const StreamFunctions functions = [] {
    StreamFunctions f;
    if (HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll")) {
      f.first = reinterpret_cast<FindFirstStreamWFunc>(
          reinterpret_cast<void (*)()>(::GetProcAddress(kernel, "FindFirstStreamW")));
      f.next = reinterpret_cast<FindNextStreamWFunc>(
          reinterpret_cast<void (*)()>(::GetProcAddress(kernel, "FindNextStreamW")));
    }
    return f;
  }();
  return functions;
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

bool EndsWithDataSuffix(const std::wstring& s) {
  static const std::wstring kSuffix = L":$DATA";
  return s.size() >= kSuffix.size() && EqualsNoCase(s.substr(s.size() - kSuffix.size()), kSuffix);
}

void FillFromFindData(const WIN32_FIND_DATAW& data, FileInfo& info) {
  info = FileInfo{};
  info.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  info.creation_time = data.ftCreationTime;
  info.access_time = data.ftLastAccessTime;
  info.modification_time = data.ftLastWriteTime;
  info.attributes = data.dwFileAttributes;
  info.name = data.cFileName;
}

bool IsFolderAttributes(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FindPlain(const std::wstring& path, FileInfo& info);

// "file:stream" names an alternate data stream of "file". `handled` stays
// false when the path names no stream or its file part is missing: the caller
// then goes on with the ordinary lookups of the whole path.
bool FindAltStream(const std::wstring& path, FileInfo& info, bool& handled) {
  handled = false;
  size_t last_sep = std::wstring::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsSeparator(path[i])) last_sep = i;
  }
  const size_t start = last_sep == std::wstring::npos ? 0 : last_sep + 1;
  size_t colon = path.find(L':', start);
  if (colon == 1 && IsDrive(path)) colon = path.find(L':', 2);
  if (colon == std::wstring::npos || colon + 1 >= path.size()) return false;

  std::wstring stream_part = path.substr(colon);
  if (!(EndsWithDataSuffix(stream_part) && stream_part.size() >= 7)) stream_part += L":$DATA";
  const std::wstring file_part = path.substr(0, colon);

  if (IsDrive(file_part) && (colon == 2 || (colon == 3 && IsDrivePath(path)))) {
    info = FileInfo{};
    if (colon == 2) info.name = file_part;
  } else if (!FindPlain(file_part, info)) {
    return false;
  }
  handled = true;

  info.attributes &= ~static_cast<uint32_t>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
  info.size = 0;
  AltStreamEnumerator streams(file_part);
  for (;;) {
    std::wstring name;
    uint64_t size = 0;
    bool found = false;
    if (!streams.Next(name, size, found)) return false;
    if (!found) {
      ::SetLastError(ERROR_FILE_NOT_FOUND);
      return false;
    }
    if (EqualsNoCase(name, stream_part)) {
      info.size = size;
      if (name.size() > 7 && EndsWithDataSuffix(name)) name.resize(name.size() - 6);
      info.name += name;
      info.is_alt_stream = true;
      return true;
    }
  }
}

bool FindShareRoot(const std::wstring& path, FileInfo& info, bool& handled) {
  handled = false;
  if (path.size() < 2 || !IsSeparator(path[0]) || !IsSeparator(path[1])) return false;
  size_t server_start = 2;
  if (HasLongUncPrefix(path)) {
    server_start = 8;
  } else if (path.size() > 2 && (path[2] == L'.' || path[2] == L'?')) {
    return false;
  }
  const size_t server_end = FindSeparator(path, server_start);
  if (server_end == std::wstring::npos || server_end == server_start) return false;
  const size_t share_end = FindSeparator(path, server_end + 1);
  if (share_end != std::wstring::npos && share_end + 1 != path.size()) return false;
  const std::wstring share =
      path.substr(server_end + 1, (share_end == std::wstring::npos ? path.size() : share_end) - server_end - 1);
  if (share.empty()) return false;

  std::wstring pattern = path;
  if (!IsSeparator(pattern.back())) pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW data{};
  base::ScopedFindHandle find(::FindFirstFileW(pattern.c_str(), &data));
  bool any = find.IsValid();
  if (find.IsValid()) {
    do {
      if (std::wstring(data.cFileName) == L".") {
        FillFromFindData(data, info);
        info.name = share;
        handled = true;
        return true;
      }
    } while (::FindNextFileW(find.Get(), &data));
  }
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (any || IsFolderAttributes(attributes)) {
    info = FileInfo{};
    info.attributes = attributes == INVALID_FILE_ATTRIBUTES ? FILE_ATTRIBUTE_DIRECTORY : attributes;
    info.name = share;
    handled = true;
    return true;
  }
  return false;
}

// The lookups of a path that names no alternate stream.
bool FindPlain(const std::wstring& path, FileInfo& info) {
  if (IsDriveRootPath(path)) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (IsFolderAttributes(attributes)) {
      info = FileInfo{};
      info.attributes = attributes;
      info.name = path.substr(HasLongPathPrefix(path) ? 4 : 0, 2);
      return true;
    }
  }
  bool handled = false;
  if (FindShareRoot(path, info, handled) || handled) return true;
  if (path.size() == 1 && IsSeparator(path[0])) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (IsFolderAttributes(attributes)) {
      info = FileInfo{};
      info.attributes = attributes;
      return true;
    }
  }
  WIN32_FIND_DATAW data{};
  base::ScopedFindHandle find(::FindFirstFileW(path.c_str(), &data));
  if (!find.IsValid()) return false;
  FillFromFindData(data, info);
  return true;
}

}  // namespace

AltStreamEnumerator::AltStreamEnumerator(std::wstring file_path) : file_path_(std::move(file_path)) {}

AltStreamEnumerator::~AltStreamEnumerator() {
  // A stream search handle is closed like any other search handle.
  base::ScopedFindHandle close(find_);
}

bool AltStreamEnumerator::Next(std::wstring& name, uint64_t& size, bool& found) {
  found = false;
  const StreamFunctions& f = Streams();
  if (f.first == nullptr || f.next == nullptr) {
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
  }
  WIN32_FIND_STREAM_DATA data{};
  bool ok;
  if (find_ == INVALID_HANDLE_VALUE) {
    find_ = f.first(file_path_.c_str(), FindStreamInfoStandard, &data, 0);
    ok = find_ != INVALID_HANDLE_VALUE;
  } else {
    ok = f.next(find_, &data) != FALSE;
  }
  if (!ok) return ::GetLastError() == ERROR_HANDLE_EOF;
  name = data.cStreamName;
  size = static_cast<uint64_t>(data.StreamSize.QuadPart);
  found = true;
  return true;
}

bool FindFileInfo(const std::wstring& path, FileInfo& info) {
  bool handled = false;
  const bool found = FindAltStream(path, info, handled);
  if (handled) return found;
  return FindPlain(path, info);
}

bool CreateDirectoryTree(const std::wstring& path) {
  if (IsFolderAttributes(::GetFileAttributesW(path.c_str()))) return true;
  if (IsDriveRootPath(path)) return false;
  const size_t root_length = RootPrefixLength(path);

  std::wstring full = path;
  if (!full.empty() && IsSeparator(full.back())) {
    if (full.size() == 1) return true;
    full.pop_back();
  }

  // Going up: find the deepest part of the path that exists or can be made.
  std::wstring current = full;
  for (;;) {
    if (::CreateDirectoryW(current.c_str(), nullptr)) break;
    const DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS) {
      FileInfo info;
      if (FindFileInfo(current, info) && info.IsDir()) break;
      return false;  // a file stands in the way
    }
    const size_t pos = current.find_last_of(L"\\/");
    if (pos == std::wstring::npos || pos == 0 || (pos == 1 && IsSeparator(current[0])) || root_length >= pos + 1)
      return false;
    current.resize(pos);
  }

  // Going down: create each further component.
  while (current.size() < full.size()) {
    const size_t next = FindSeparator(full, current.size() + 1);
    current = full.substr(0, next == std::wstring::npos ? full.size() : next);
    if (!::CreateDirectoryW(current.c_str(), nullptr)) return false;
  }
  return true;
}

bool DeleteFileForce(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
      (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    if (!::SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)))
      return false;
  }
  return ::DeleteFileW(path.c_str()) != FALSE;
}

bool SetFileAttrib(const std::wstring& path, uint32_t attributes) {
  // Archives made on Unix carry the file mode in the high 16 bits (flagged by
  // 0x8000); Windows refuses attribute words with bits it does not know, so
  // only the bits SetFileAttributesW accepts are passed on.
  constexpr uint32_t kSettable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                 FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_TEMPORARY |
                                 FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  return ::SetFileAttributesW(path.c_str(), attributes & kSettable) != FALSE;
}

}  // namespace arc
