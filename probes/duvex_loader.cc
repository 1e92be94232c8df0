#include "probes/duvex_loader.h"

#include <shlwapi.h>

#include <cstring>
#include <utility>

#include "base/failure_boundary.h"
#include "base/process_util.h"
#include "vireon_sdk/src/report/vireon_client.h"

namespace probes {
namespace {

constexpr size_t kFolderChars = 1024;

using InitFn = int(__cdecl*)(const char* app_key, int, const char*, const char* options_json, const char*, bool flag);
using RecordFn = int(__cdecl*)(const char* app_key, char* record, int size);

std::mutex g_once_mutex;
bool g_init_result = false;

std::mutex g_id_mutex;
std::string g_cached_id;

// The identifier goes into JSON bodies and telemetry texts: a library that
// hands back bytes that are not a printable ASCII identifier gives none.
bool IsUsableIdentifier(const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

}  // namespace

DuvexLoader& DuvexLoader::Instance() {
  // Never destroyed: the telemetry getters may ask while the process exits.
  static DuvexLoader* const instance = new DuvexLoader();
  return *instance;
}

HMODULE DuvexLoader::Load(const wchar_t* folder, int& code) {
  if (module_ != nullptr) {
    code = kDuvexOk;
    return module_;
  }
  if (folder == nullptr) {
    code = kDuvexNoFolder;
    return nullptr;
  }
  wchar_t path[kFolderChars] = {};
  if (*folder == L'\0') {
    const DWORD length = ::GetModuleFileNameW(nullptr, path, kFolderChars);
    if (length == 0) {
      code = kDuvexNoModuleName;
      return nullptr;
    }
    path[kFolderChars - 1] = L'\0';
    wchar_t* const last_backslash = std::wcsrchr(path, L'\\');
    if (last_backslash == nullptr) {
      code = kDuvexNoFolderInName;
      return nullptr;
    }
    *last_backslash = L'\0';
  } else {
    ::lstrcpynW(path, folder, kFolderChars);
  }
  if (!::PathAppendW(path, L"duvex.dll") || !::PathFileExistsW(path)) {
    code = kDuvexMissing;
    return nullptr;
  }
  module_ = ::LoadLibraryW(path);
  code = module_ != nullptr ? kDuvexOk : kDuvexLoadFailed;
  return module_;
}

int DuvexLoader::Init(std::map<std::string, std::string> options, bool flag, const wchar_t* folder) {
  const std::map<std::string, std::string> consumed = std::move(options);
  std::lock_guard lock(init_mutex_);
  if (initialised_) return kDuvexOk;
  int code = kDuvexOk;
  if (Load(folder, code) == nullptr) return code;
  const auto init = reinterpret_cast<InitFn>(reinterpret_cast<void (*)()>(::GetProcAddress(module_, "a1")));
  if (init == nullptr) return kDuvexNoInitExport;
  const std::string options_text = consumed.empty() ? std::string() : BuildDuvexOptionsJson(consumed);
  if (init(kDuvexAppKey, 0, "", options_text.c_str(), "", flag) != 0) return kDuvexInitRejected;
  app_key_ = kDuvexAppKey;
  initialised_ = true;
  return kDuvexOk;
}

DuvexRecord DuvexLoader::GetIdRecord() {
  std::lock_guard lock(record_mutex_);
  if (initialised_ && record_[0] == '\0' && module_ != nullptr) {
    const auto fetch = reinterpret_cast<RecordFn>(reinterpret_cast<void (*)()>(::GetProcAddress(module_, "b")));
    if (fetch != nullptr) {
      DuvexRecord buffer{};
      if (fetch(app_key_.c_str(), buffer.data(), static_cast<int>(buffer.size())) == 0) record_ = buffer;
    }
  }
  return record_;
}

bool InitDuvexOnce() {
  return base::NoThrowOr(false, [] {
    std::lock_guard lock(g_once_mutex);
    if (g_init_result) return true;
    DuvexLoader& loader = DuvexLoader::Instance();
    const std::wstring folder = base::GetCurrentModuleDir();
    bool result = loader.Init({{"GUID", VireonClient::VireonDeviceId()}}, true, folder.c_str()) == kDuvexOk;
    if (!result) result = loader.Init({}, false, L"") == kDuvexOk;
    g_init_result = result;
    return result;
  });
}

std::string GetDuvexId() {
  return base::NoThrowOr(std::string(), [] {
    {
      std::lock_guard lock(g_id_mutex);
      if (!g_cached_id.empty()) return g_cached_id;
    }
    if (!InitDuvexOnce()) return std::string();
    std::lock_guard lock(g_id_mutex);
    if (g_cached_id.empty()) {
      const DuvexRecord record = DuvexLoader::Instance().GetIdRecord();
      std::string text(record.data(), strnlen(record.data(), record.size()));
      if (IsUsableIdentifier(text)) g_cached_id = std::move(text);
    }
    return g_cached_id;
  });
}

std::string BuildDuvexOptionsJson(const std::map<std::string, std::string>& options) {
  std::string json = "{";
  bool first = true;
  for (const auto& [key, value] : options) {
    if (!first) json += ',';
    first = false;
    json += '"';
    json += key;
    json += "\":\"";
    json += EscapeJsonString(value);
    json += '"';
  }
  json += '}';
  return json;
}

std::string EscapeJsonString(const std::string& text) {
  if (text.empty()) return text;
  bool needs_escape = false;
  for (unsigned char c : text) {
    if (c == '"' || c == '\\' || (c >= 1 && c <= 31)) {
      needs_escape = true;
      break;
    }
  }
  if (!needs_escape) return text;
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() + 8);
  for (unsigned char c : text) {
    if (c == '\0') break;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 0xF];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out;
}

}  // namespace probes
