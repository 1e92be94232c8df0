// Typed access to the product's registry values. Reads never fail outward:
// whatever goes wrong, the caller's default comes back. Writes create the key
// when it is missing and report only success or failure.
//
// Reads go through the 64-bit registry view; writes use the process's own view,
// which for this 64-bit program is the same one.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "base/scoped_handle.h"

namespace base {

// Opens an existing key; the wrapper is empty when that fails.
ScopedRegKey OpenRegKey(HKEY root, std::wstring_view key_path, REGSAM access);

// REG_SZ or REG_EXPAND_SZ (never expanded), cut at the first NUL. A value of
// another type, a stored text without its terminating NUL or with an odd byte
// count, and any read error give `default_value`.
std::wstring ReadRegString(HKEY root, std::wstring_view key_path, std::wstring_view value_name,
                           std::wstring_view default_value);

// REG_QWORD only: a REG_DWORD or a text holding a number gives the default.
uint64_t ReadRegQword(HKEY root, std::wstring_view key_path, std::wstring_view value_name,
                      uint64_t default_value);

// Tells a missing value from a stored default: true only when HKLM holds a
// REG_QWORD of that name under that key.
bool HasHklmQword(std::wstring_view key_path, std::wstring_view value_name);

// Writes REG_SZ (up to the value's first NUL, plus the terminator). An empty
// name writes the key's default value; an empty name with an empty value only
// makes sure the key exists.
bool WriteRegString(HKEY root, std::wstring_view key_path, std::wstring_view value_name,
                    std::wstring_view value);

bool WriteRegQword(HKEY root, std::wstring_view key_path, std::wstring_view value_name,
                   uint64_t value);

// Removes the key with everything below it. A key that does not exist counts
// as removed. Stops at the first subkey that cannot be removed (what went
// before stays removed). An empty key path would name the root itself and is
// refused.
bool DeleteRegTree(HKEY root, std::wstring_view key_path);

}  // namespace base
