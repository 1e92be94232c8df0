// The environment record (machine, installation and product facts) that
// travels as "env_info" in the client-update, self-update and app-detail
// requests.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

struct EnvInfo {
  int32_t client_type = -1;
  int32_t oem_type = 0;
  int32_t cpu_core_number = 0;
  int32_t physical_memory = 0;  // GiB
  int32_t is_auto_pre_download = 0;
  int32_t is_open_market = 0;
  int32_t vt_state = -2;
  int32_t hyperv_state = -2;
  std::string abox_version;
  std::string zephris_version;
  std::string architecture;
  std::string cpu_vendor;
  std::string cpu_model;
  std::string graphics_model;
  std::string graphics_vendor;
  std::string guid;
  std::string image_version;
  std::string locale;
  std::string login_openid;
  std::string login_type;
  std::string main_version;
  std::string media_channel;
  std::string duvex;
  std::string region;
  std::string system_version;
  uint64_t max_disk_size = 0;
  uint64_t vzt_install_time = 0;  // seconds since 1970 (UTC)
  uint64_t vzt_open_time = 0;
};

// Makes `json` an object holding the record's 28 keys.
void EnvInfoToJson(nlohmann::json& json, const EnvInfo& info);

// A fresh record for one web request. Machine facts that cannot change while
// the process runs are gathered once (the first call waits for the GPU
// detection and can take seconds); the rest is read anew on every call.
// Safe from any thread.
EnvInfo GetEnvInfo();

// The once-per-process part, and its copy into a record.
void FillStaticEnvInfo();
void CopyStaticEnvInfo(EnvInfo& info);

// "PreDownloadSwitch" of the user's settings (default 1), low 32 bits.
int32_t ReadPreDownloadSwitch();
// "AppStoreAutoStartSwitch" under the product settings key in HKLM; a failed
// write is not reported.
void SetAppStoreAutoStartSwitch(int32_t value);

// Creation time of the product's install folder in seconds since 1970 (UTC),
// 0 when it cannot be read.
uint64_t ReadInstallFolderTime();
// A file time as seconds since 1970; 0 for times before 1970.
uint64_t FileTimeToUnixSeconds(const FILETIME& time);
