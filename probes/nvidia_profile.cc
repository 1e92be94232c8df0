#include "probes/nvidia_profile.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <thread>

#include "base/failure_boundary.h"
#include "probes/nvapi_types.h"

namespace probes {
namespace {

struct NvApi {
  nvapi::InitializeFn initialize;
  nvapi::CreateSessionFn create_session;
  nvapi::DestroySessionFn destroy_session;
  nvapi::UnloadFn unload;
  nvapi::LoadSettingsFn load_settings;
  nvapi::CreateProfileFn create_profile;
  nvapi::CreateApplicationFn create_application;
  nvapi::SaveSettingsFn save_settings;
  nvapi::SetSettingFn set_setting;
  nvapi::FindProfileByNameFn find_profile_by_name;

  bool Complete() const {
    return initialize && create_session && destroy_session && unload && load_settings && create_profile &&
           create_application && save_settings && set_setting && find_profile_by_name;
  }
};

template <typename Fn>
void Resolve(nvapi::QueryInterfaceFn query, nvapi::InterfaceId id, Fn& fn) {
  fn = reinterpret_cast<Fn>(query(id));
}

std::wstring FileNameOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring StemOf(const std::wstring& file_name) {
  const size_t dot = file_name.rfind(L'.');
  return dot == std::wstring::npos ? file_name : file_name.substr(0, dot);
}

// Copies as much as fits, always NUL-terminated.
void CopyText(char16_t (&target)[nvapi::kUnicodeStringMax], const std::wstring& text) {
  const size_t n = std::min<size_t>(text.size(), nvapi::kUnicodeStringMax - 1);
  for (size_t i = 0; i < n; ++i) target[i] = static_cast<char16_t>(text[i]);
  target[n] = u'\0';
}

bool Apply(const std::wstring& executable_path) {
  // Never released: the driver library stays initialised for the process.
  const HMODULE library = ::LoadLibraryW(L"nvapi64.dll");
  if (library == nullptr) return false;
  const auto query =
      reinterpret_cast<nvapi::QueryInterfaceFn>(
      reinterpret_cast<void (*)()>(::GetProcAddress(library, nvapi::kQueryInterfaceExport)));
  if (query == nullptr) return false;

  NvApi api{};
  Resolve(query, nvapi::kInitialize, api.initialize);
  Resolve(query, nvapi::kCreateSession, api.create_session);
  Resolve(query, nvapi::kDestroySession, api.destroy_session);
  Resolve(query, nvapi::kUnload, api.unload);
  Resolve(query, nvapi::kLoadSettings, api.load_settings);
  Resolve(query, nvapi::kCreateProfile, api.create_profile);
  Resolve(query, nvapi::kCreateApplication, api.create_application);
  Resolve(query, nvapi::kSaveSettings, api.save_settings);
  Resolve(query, nvapi::kSetSetting, api.set_setting);
  Resolve(query, nvapi::kFindProfileByName, api.find_profile_by_name);
  if (!api.Complete() || api.initialize() != nvapi::kOk) return false;

  nvapi::SessionHandle session = nullptr;
  if (api.create_session(&session) != nvapi::kOk) {
    api.unload();
    return false;
  }
  const auto fail = [&] {
    api.destroy_session(session);
    api.unload();
    return false;
  };
  if (api.load_settings(session) != nvapi::kOk) return fail();

  const std::wstring file_name = FileNameOf(executable_path);
  const std::wstring stem = StemOf(file_name);
  // The records are large (tens of kilobytes together): off the stack.
  struct Name {
    nvapi::UnicodeString text;
  };
  auto profile_name = std::make_unique<Name>();
  CopyText(profile_name->text, stem + L" Nvidia Profile");

  nvapi::ProfileHandle profile = nullptr;
  if (api.find_profile_by_name(session, profile_name->text, &profile) != nvapi::kOk) {
    auto new_profile = std::make_unique<nvapi::Profile>();
    std::memset(new_profile.get(), 0, sizeof(nvapi::Profile));
    new_profile->version = nvapi::kProfileVersion;
    std::memcpy(new_profile->profile_name, profile_name->text, sizeof(nvapi::UnicodeString));
    if (api.create_profile(session, new_profile.get(), &profile) != nvapi::kOk) return fail();

    auto application = std::make_unique<nvapi::ApplicationV4>();
    std::memset(application.get(), 0, sizeof(nvapi::ApplicationV4));
    application->version = nvapi::kApplicationVersion;
    CopyText(application->app_name, file_name);
    CopyText(application->user_friendly_name, stem);
    if (api.create_application(session, profile, application.get()) != nvapi::kOk) return fail();
  }

  // Threaded optimisation hurts the check on small machines: off below 6
  // hardware threads, the driver's default otherwise.
  const uint32_t thread_control = std::thread::hardware_concurrency() < 6 ? 2 : 0;
  const std::pair<uint32_t, uint32_t> settings[] = {
      {nvapi::kOglThreadControlId, thread_control},
      {nvapi::kShimMcCompatId, 1},
      {nvapi::kShimRenderingModeId, 1},
      {nvapi::kShimRenderingOptionsId, 0},
  };
  auto setting = std::make_unique<nvapi::Setting>();
  for (const auto& [id, value] : settings) {
    std::memset(setting.get(), 0, sizeof(nvapi::Setting));
    setting->version = nvapi::kSettingVersion;
    setting->setting_id = id;
    setting->predefined.u32 = value;
    setting->current.u32 = value;
    api.set_setting(session, profile, setting.get());
  }

  if (api.save_settings(session) != nvapi::kOk) return fail();
  api.destroy_session(session);
  return true;
}

}  // namespace

std::wstring NvidiaProfileName(const std::wstring& executable_path) {
  return StemOf(FileNameOf(executable_path)) + L" Nvidia Profile";
}

bool ApplyNvidiaProfile(const std::wstring& executable_path) {
  return base::NoThrowOr(false, [&] { return Apply(executable_path); });
}

}  // namespace probes
