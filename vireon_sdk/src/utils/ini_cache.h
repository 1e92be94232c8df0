// The telemetry client's cache of its two small ini files (the per-executable
// log-id counter and the sibling component's time stamp). Values are read
// from disk once and then served from memory; only what this process wrote
// goes back to disk, so a value another component keeps in the same files is
// never overwritten with the copy read earlier.
#pragma once

#include <map>
#include <mutex>
#include <string>

namespace vireon {

class IniCache {
 public:
  // The process-wide cache, made on first use and kept until exit.
  static IniCache& Instance();

  IniCache() = default;
  IniCache(const IniCache&) = delete;
  IniCache& operator=(const IniCache&) = delete;

  // The cached value, else the profile value (at most 258 characters) or
  // `default_value`, which is then cached.
  std::wstring Read(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                    const std::wstring& default_value);
  // Caches the value and marks it for the next Flush; nothing touches disk.
  void Write(const std::wstring& file, const std::wstring& section, const std::wstring& key,
             const std::wstring& value);
  // Writes every value changed since the last Flush with the profile
  // functions. Results of the writes are ignored.
  void Flush();

  // Holds the cache for a read-modify-write; Read, Write and Flush may be
  // called while it is held (the lock is re-entrant).
  std::unique_lock<std::recursive_mutex> Lock() { return std::unique_lock<std::recursive_mutex>(mutex_); }

 private:
  struct Entry {
    std::wstring value;
    bool changed = false;
  };
  using Keys = std::map<std::wstring, Entry>;
  using Sections = std::map<std::wstring, Keys>;

  std::recursive_mutex mutex_;
  std::map<std::wstring, Sections> files_;
};

}  // namespace vireon
