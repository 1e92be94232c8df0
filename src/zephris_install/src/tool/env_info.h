// The environment record (machine, installation and product facts) that
// travels as "env_info" in the client-update, self-update and app-detail
// requests.
#pragma once

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
