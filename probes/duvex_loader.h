// The maker's device-identifier library "duvex.dll": a second machine
// identifier, looked for beside the installer at run time. When the library
// is missing or fails, the identifier is empty and is asked for again later.
#pragma once

#include <windows.h>

#include <array>
#include <map>
#include <mutex>
#include <string>

namespace probes {

// The key this product passes to the library (not the telemetry app key).
inline constexpr char kDuvexAppKey[] = "0KRD7XPQ4LZ2VMT9";
inline constexpr size_t kDuvexRecordSize = 70;

// Result codes of loading and initialising the library.
enum DuvexCode : int {
  kDuvexOk = 0,
  kDuvexNoModuleName = 1,
  kDuvexNoFolderInName = 2,
  kDuvexMissing = 3,
  kDuvexLoadFailed = 4,
  kDuvexNoInitExport = 5,
  kDuvexInitRejected = 6,
  kDuvexNoFolder = 7,
};

using DuvexRecord = std::array<char, kDuvexRecordSize>;

class DuvexLoader {
 public:
  // The process-wide holder; never destroyed, the library stays loaded.
  static DuvexLoader& Instance();

  DuvexLoader() = default;
  DuvexLoader(const DuvexLoader&) = delete;
  DuvexLoader& operator=(const DuvexLoader&) = delete;

  // Loads "duvex.dll" from `folder` (empty: the installer's own folder; null:
  // kDuvexNoFolder). A library already loaded gives kDuvexOk.
  HMODULE Load(const wchar_t* folder, int& code);
  // Loads and initialises the library once ("a1"); a DuvexCode.
  int Init(std::map<std::string, std::string> options, bool flag, const wchar_t* folder);
  // The identifier record from "b", fetched once; all zeros until then.
  DuvexRecord GetIdRecord();

 private:
  bool initialised_ = false;
  std::mutex init_mutex_;
  std::mutex record_mutex_;
  HMODULE module_ = nullptr;
  DuvexRecord record_{};
  std::string app_key_;
};

// True once an initialisation succeeded in this process; a failure is tried
// again on the next call.
bool InitDuvexOnce();
// The library's identifier; empty when the library is unavailable or gave no
// usable identifier. Kept once it is known.
std::string GetDuvexId();

// {"key":"escaped value",...} in key order, without blanks.
std::string BuildDuvexOptionsJson(const std::map<std::string, std::string>& options);
// The text escaped for the inside of a JSON string.
std::string EscapeJsonString(const std::string& text);

}  // namespace probes
