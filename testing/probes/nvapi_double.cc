// A stand-in of NVIDIA's driver API library with an in-memory settings store.
// Every call through the ten interfaces is recorded as one line, with the
// record fields the caller filled; NvapiDoubleCalls returns the lines.
// QL_NVAPI_DOUBLE holds comma-separated words that change the behaviour:
//   "missing:<id hex>"  the interface with that id is not handed out
//   "fail:<name>"       that function returns an error (-1)
//   "existing"          the profile looked for already exists
#include <windows.h>

#include <cstdio>
#include <mutex>
#include <string>

#include "probes/nvapi_types.h"

namespace {

std::mutex g_lock;
std::string g_calls;

std::string Config() {
  char value[512] = {};
  const DWORD n = ::GetEnvironmentVariableA("QL_NVAPI_DOUBLE", value, sizeof(value));
  return (n == 0 || n >= sizeof(value)) ? std::string() : "," + std::string(value) + ",";
}

bool Configured(const std::string& word) { return Config().find("," + word + ",") != std::string::npos; }

std::string Narrow(const char16_t* text) {
  std::string out;
  for (int i = 0; i < nvapi::kUnicodeStringMax && text[i] != u'\0'; ++i) out += static_cast<char>(text[i]);
  return out;
}

std::string Hex(uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof(buffer), "0x%X", value);
  return buffer;
}

nvapi::Status Call(const char* name, const std::string& details = std::string()) {
  std::lock_guard lock(g_lock);
  g_calls += name;
  if (!details.empty()) g_calls += " " + details;
  g_calls += '\n';
  return Configured(std::string("fail:") + name) ? -1 : nvapi::kOk;
}

nvapi::SessionHandle const kSession = reinterpret_cast<nvapi::SessionHandle>(0x5E55);
nvapi::ProfileHandle const kFound = reinterpret_cast<nvapi::ProfileHandle>(0xF0F0);
nvapi::ProfileHandle const kCreated = reinterpret_cast<nvapi::ProfileHandle>(0xC0C0);

std::string ProfileTag(nvapi::ProfileHandle profile) {
  return profile == kFound ? "found" : profile == kCreated ? "created" : "unknown";
}

nvapi::Status Initialize() { return Call("Initialize"); }
nvapi::Status Unload() { return Call("Unload"); }
nvapi::Status CreateSession(nvapi::SessionHandle* session) {
  *session = kSession;
  return Call("CreateSession");
}
nvapi::Status DestroySession(nvapi::SessionHandle session) {
  return Call("DestroySession", session == kSession ? "session" : "unknown");
}
nvapi::Status LoadSettings(nvapi::SessionHandle session) {
  return Call("LoadSettings", session == kSession ? "session" : "unknown");
}
nvapi::Status SaveSettings(nvapi::SessionHandle session) {
  return Call("SaveSettings", session == kSession ? "session" : "unknown");
}
nvapi::Status FindProfileByName(nvapi::SessionHandle, const char16_t* name, nvapi::ProfileHandle* profile) {
  const bool exists = Configured("existing");
  *profile = exists ? kFound : nullptr;
  const nvapi::Status status = Call("FindProfileByName", "[" + Narrow(name) + "]");
  return status != nvapi::kOk || !exists ? -163 : nvapi::kOk;  // profile not found
}
nvapi::Status CreateProfile(nvapi::SessionHandle, nvapi::Profile* profile, nvapi::ProfileHandle* handle) {
  *handle = kCreated;
  return Call("CreateProfile", "version=" + Hex(profile->version) + " name=[" + Narrow(profile->profile_name) +
                                   "] gpu=" + std::to_string(profile->gpu_support) +
                                   " predefined=" + std::to_string(profile->is_predefined));
}
nvapi::Status CreateApplication(nvapi::SessionHandle, nvapi::ProfileHandle profile, nvapi::ApplicationV4* app) {
  return Call("CreateApplication", "profile=" + ProfileTag(profile) + " version=" + Hex(app->version) + " app=[" +
                                       Narrow(app->app_name) + "] friendly=[" + Narrow(app->user_friendly_name) +
                                       "] launcher=[" + Narrow(app->launcher) + "] predefined=" +
                                       std::to_string(app->is_predefined));
}
nvapi::Status SetSetting(nvapi::SessionHandle, nvapi::ProfileHandle profile, nvapi::Setting* setting) {
  return Call("SetSetting", "profile=" + ProfileTag(profile) + " version=" + Hex(setting->version) + " id=" +
                                Hex(setting->setting_id) + " type=" + std::to_string(setting->setting_type) +
                                " location=" + std::to_string(setting->setting_location) +
                                " predefined=" + std::to_string(setting->predefined.u32) +
                                " current=" + std::to_string(setting->current.u32) +
                                " name=[" + Narrow(setting->setting_name) + "]");
}

}  // namespace

extern "C" {

__declspec(dllexport) void* nvapi_QueryInterface(uint32_t id) {
  if (Configured("missing:" + Hex(id))) return nullptr;
  switch (id) {
    case nvapi::kInitialize: return reinterpret_cast<void*>(&Initialize);
    case nvapi::kCreateSession: return reinterpret_cast<void*>(&CreateSession);
    case nvapi::kDestroySession: return reinterpret_cast<void*>(&DestroySession);
    case nvapi::kUnload: return reinterpret_cast<void*>(&Unload);
    case nvapi::kLoadSettings: return reinterpret_cast<void*>(&LoadSettings);
    case nvapi::kCreateProfile: return reinterpret_cast<void*>(&CreateProfile);
    case nvapi::kCreateApplication: return reinterpret_cast<void*>(&CreateApplication);
    case nvapi::kSaveSettings: return reinterpret_cast<void*>(&SaveSettings);
    case nvapi::kSetSetting: return reinterpret_cast<void*>(&SetSetting);
    case nvapi::kFindProfileByName: return reinterpret_cast<void*>(&FindProfileByName);
    default: return nullptr;
  }
}

__declspec(dllexport) const char* NvapiDoubleCalls() {
  static thread_local std::string copy;
  std::lock_guard lock(g_lock);
  copy = g_calls;
  return copy.c_str();
}

}  // extern "C"
