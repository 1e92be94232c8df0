#include "vireon_sdk/src/utils/ini_cache.h"

#include <windows.h>

namespace vireon {

IniCache& IniCache::Instance() {
  // Never destroyed: reporting threads may still use it while the process exits.
  static IniCache* const instance = new IniCache();
  return *instance;
}

std::wstring IniCache::Read(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                            const std::wstring& default_value) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Keys& keys = files_[file][section];
  if (const auto it = keys.find(key); it != keys.end()) return it->second.value;
  wchar_t buffer[260] = {};
  ::GetPrivateProfileStringW(section.c_str(), key.c_str(), default_value.c_str(), buffer, 259, file.c_str());
  Entry& entry = keys[key];
  entry.value = buffer;
  return entry.value;
}

void IniCache::Write(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                     const std::wstring& value) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Entry& entry = files_[file][section][key];
  entry.value = value;
  entry.changed = true;
}

void IniCache::Flush() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  for (auto& [file, sections] : files_) {
    for (auto& [section, keys] : sections) {
      for (auto& [key, entry] : keys) {
        if (!entry.changed) continue;
        ::WritePrivateProfileStringW(section.c_str(), key.c_str(), entry.value.c_str(), file.c_str());
        entry.changed = false;
      }
    }
  }
}

}  // namespace vireon
