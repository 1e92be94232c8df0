// The few records and entry points of NVIDIA's driver API library
// (nvapi64.dll) that the application profile needs, declared from their
// published layouts and interface ids. Every record starts with its version:
// its size in the low 16 bits, the record's revision above them.
#pragma once

#include <cstdint>

namespace nvapi {

using Status = int32_t;  // 0 is success
inline constexpr Status kOk = 0;

using SessionHandle = struct SessionTag*;
using ProfileHandle = struct ProfileTag*;

inline constexpr int kUnicodeStringMax = 2048;
inline constexpr int kBinaryDataMax = 4096;
using UnicodeString = char16_t[kUnicodeStringMax];

struct Profile {
  uint32_t version;
  UnicodeString profile_name;
  uint32_t gpu_support;
  uint32_t is_predefined;
  uint32_t num_of_apps;
  uint32_t num_of_settings;
};

struct ApplicationV4 {
  uint32_t version;
  uint32_t is_predefined;
  UnicodeString app_name;
  UnicodeString user_friendly_name;
  UnicodeString launcher;
  UnicodeString file_in_folder;
  uint32_t flags;  // isMetro, isCommandLine
  UnicodeString command_line;
};

struct BinarySetting {
  uint32_t value_length;
  uint8_t value_data[kBinaryDataMax];
};

union SettingValue {
  uint32_t u32;
  BinarySetting binary;
  UnicodeString text;
};

struct Setting {
  uint32_t version;
  UnicodeString setting_name;
  uint32_t setting_id;
  uint32_t setting_type;      // 0: DWORD
  uint32_t setting_location;  // 0: the current profile
  uint32_t is_current_predefined;
  uint32_t is_predefined_valid;
  SettingValue predefined;
  SettingValue current;
};

inline constexpr uint32_t kProfileVersion = 0x11014;
inline constexpr uint32_t kApplicationVersion = 0x4500C;
inline constexpr uint32_t kSettingVersion = 0x13020;
static_assert(sizeof(Profile) == (kProfileVersion & 0xFFFF));
static_assert(sizeof(ApplicationV4) == (kApplicationVersion & 0xFFFF));
static_assert(sizeof(Setting) == (kSettingVersion & 0xFFFF));

// The library's one export hands out every other entry by its id.
using QueryInterfaceFn = void*(__cdecl*)(uint32_t id);
inline constexpr char kQueryInterfaceExport[] = "nvapi_QueryInterface";

enum InterfaceId : uint32_t {
  kInitialize = 0x0150E828,
  kCreateSession = 0x0694D52E,
  kDestroySession = 0xDAD9CFF8,
  kUnload = 0xD22BDD7E,
  kLoadSettings = 0x375DBD6B,
  kCreateProfile = 0xCC176068,
  kCreateApplication = 0x4347A9DE,
  kSaveSettings = 0xFCBC7E14,
  kSetSetting = 0x577DD202,
  kFindProfileByName = 0x7E4A9A0B,
};

using InitializeFn = Status(__cdecl*)();
using CreateSessionFn = Status(__cdecl*)(SessionHandle* session);
using DestroySessionFn = Status(__cdecl*)(SessionHandle session);
using UnloadFn = Status(__cdecl*)();
using LoadSettingsFn = Status(__cdecl*)(SessionHandle session);
using CreateProfileFn = Status(__cdecl*)(SessionHandle session, Profile* profile, ProfileHandle* handle);
using CreateApplicationFn = Status(__cdecl*)(SessionHandle session, ProfileHandle profile, ApplicationV4* application);
using SaveSettingsFn = Status(__cdecl*)(SessionHandle session);
using SetSettingFn = Status(__cdecl*)(SessionHandle session, ProfileHandle profile, Setting* setting);
using FindProfileByNameFn = Status(__cdecl*)(SessionHandle session, const char16_t* profile_name,
                                             ProfileHandle* handle);

// The driver settings the product writes into its profile.
inline constexpr uint32_t kOglThreadControlId = 0x20C1221E;
inline constexpr uint32_t kShimMcCompatId = 0x10F9DC80;
inline constexpr uint32_t kShimRenderingModeId = 0x10F9DC81;
inline constexpr uint32_t kShimRenderingOptionsId = 0x10F9DC84;

}  // namespace nvapi
