#include "base/registry.h"

#include <vector>

#include "base/scoped_handle.h"

namespace base {
namespace {

// Callers hand in views; the registry wants NUL-terminated texts, and a view
// need not be one. The copy also cuts the text at an embedded NUL, as the
// registry would.
std::wstring Terminated(std::wstring_view text) { return std::wstring(text.substr(0, text.find(L'\0'))); }

ScopedRegKey OpenForRead(HKEY root, std::wstring_view key_path) {
  return OpenRegKey(root, key_path, KEY_READ | KEY_WOW64_64KEY);
}

// Open for writing; create the key when that fails; and when creating fails
// too (another writer may have just created it) try opening once more.
ScopedRegKey OpenOrCreateForWrite(HKEY root, std::wstring_view key_path) {
  if (ScopedRegKey key = OpenRegKey(root, key_path, KEY_WRITE)) return key;
  HKEY created = nullptr;
  if (::RegCreateKeyExW(root, Terminated(key_path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE, nullptr, &created, nullptr) == ERROR_SUCCESS) {
    return ScopedRegKey(created);
  }
  return OpenRegKey(root, key_path, KEY_WRITE);
}

// Reads a value that must be a REG_QWORD; anything longer than 8 bytes fails
// the query itself.
bool QueryQword(HKEY key, std::wstring_view value_name, uint64_t* out) {
  const std::wstring name = Terminated(value_name);
  uint64_t buffer = 0;
  DWORD type = REG_NONE;
  DWORD size = sizeof(buffer);
  if (::RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&buffer), &size) !=
      ERROR_SUCCESS) {
    return false;
  }
  if (type != REG_QWORD || size != sizeof(buffer)) return false;
  *out = buffer;
  return true;
}

}  // namespace

ScopedRegKey OpenRegKey(HKEY root, std::wstring_view key_path, REGSAM access) {
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(root, Terminated(key_path).c_str(), 0, access, &opened) != ERROR_SUCCESS) {
    return ScopedRegKey();
  }
  return ScopedRegKey(opened);
}

std::wstring ReadRegString(HKEY root, std::wstring_view key_path, std::wstring_view value_name,
                           std::wstring_view default_value) {
  const std::wstring fallback = Terminated(default_value);
  ScopedRegKey key = OpenForRead(root, key_path);
  if (!key) return fallback;

  const std::wstring name = Terminated(value_name);
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return fallback;
  if ((type != REG_SZ && type != REG_EXPAND_SZ) || size < sizeof(wchar_t)) return fallback;

  std::vector<wchar_t> buffer(size / sizeof(wchar_t), L'\0');
  DWORD read_size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  DWORD read_type = REG_NONE;
  if (::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &read_type, reinterpret_cast<BYTE*>(buffer.data()),
                         &read_size) != ERROR_SUCCESS) {
    return fallback;
  }
  if (read_type != REG_SZ && read_type != REG_EXPAND_SZ) return fallback;
  if (read_size % sizeof(wchar_t) != 0) return fallback;
  if (read_size == 0) return std::wstring();
  // A text stored without its terminator cannot be trusted to end where the
  // writer meant it to.
  if (buffer[read_size / sizeof(wchar_t) - 1] != L'\0') return fallback;
  return std::wstring(buffer.data());
}

uint64_t ReadRegQword(HKEY root, std::wstring_view key_path, std::wstring_view value_name, uint64_t default_value) {
  ScopedRegKey key = OpenForRead(root, key_path);
  if (!key) return default_value;
  uint64_t value = 0;
  return QueryQword(key.Get(), value_name, &value) ? value : default_value;
}

bool HasHklmQword(std::wstring_view key_path, std::wstring_view value_name) {
  ScopedRegKey key = OpenForRead(HKEY_LOCAL_MACHINE, key_path);
  uint64_t value = 0;
  return key && QueryQword(key.Get(), value_name, &value);
}

bool WriteRegString(HKEY root, std::wstring_view key_path, std::wstring_view value_name, std::wstring_view value) {
  ScopedRegKey key = OpenOrCreateForWrite(root, key_path);
  if (!key) return false;
  const std::wstring name = Terminated(value_name);
  const std::wstring text = Terminated(value);
  if (name.empty() && text.empty()) return true;
  const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  return ::RegSetValueExW(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes) ==
         ERROR_SUCCESS;
}

bool WriteRegQword(HKEY root, std::wstring_view key_path, std::wstring_view value_name, uint64_t value) {
  ScopedRegKey key = OpenOrCreateForWrite(root, key_path);
  if (!key) return false;
  const std::wstring name = Terminated(value_name);
  return ::RegSetValueExW(key.Get(), name.c_str(), 0, REG_QWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value)) == ERROR_SUCCESS;
}

bool DeleteRegTree(HKEY root, std::wstring_view key_path) {
  const std::wstring path = Terminated(key_path);
  if (path.empty()) return false;
  if (::RegDeleteKeyW(root, path.c_str()) == ERROR_SUCCESS) return true;

  HKEY raw = nullptr;
  const LONG opened = ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &raw);
  if (opened != ERROR_SUCCESS) return opened == ERROR_FILE_NOT_FOUND;
  ScopedRegKey key(raw);

  const std::wstring prefix = path.back() == L'\\' ? path : path + L'\\';
  // Always take the first subkey: each pass deletes it, so index 0 moves on.
  wchar_t name[MAX_PATH];
  for (;;) {
    DWORD length = MAX_PATH;
    if (::RegEnumKeyExW(key.Get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (!DeleteRegTree(root, prefix + std::wstring(name, length))) break;
  }
  key.Close();
  return ::RegDeleteKeyW(root, path.c_str()) == ERROR_SUCCESS;
}

}  // namespace base
