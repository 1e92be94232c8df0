#include "src/zephris_install/src/tool/env_info.h"

void EnvInfoToJson(nlohmann::json& json, const EnvInfo& info) {
  json = nlohmann::json::object();
  json["client_type"] = info.client_type;
  json["oem_type"] = info.oem_type;
  json["cpu_core_number"] = info.cpu_core_number;
  json["physical_memory"] = info.physical_memory;
  json["is_auto_pre_download"] = info.is_auto_pre_download;
  json["is_open_market"] = info.is_open_market;
  json["vt_state"] = info.vt_state;
  json["hyperv_state"] = info.hyperv_state;
  json["abox_version"] = info.abox_version;
  json["zephris_version"] = info.zephris_version;
  json["architecture"] = info.architecture;
  json["cpu_vendor"] = info.cpu_vendor;
  json["cpu_model"] = info.cpu_model;
  json["graphics_model"] = info.graphics_model;
  json["graphics_vendor"] = info.graphics_vendor;
  json["guid"] = info.guid;
  json["image_version"] = info.image_version;
  json["locale"] = info.locale;
  json["login_openid"] = info.login_openid;
  json["login_type"] = info.login_type;
  json["main_version"] = info.main_version;
  json["media_channel"] = info.media_channel;
  json["duvex"] = info.duvex;
  json["region"] = info.region;
  json["system_version"] = info.system_version;
  json["max_disk_size"] = info.max_disk_size;
  json["vzt_install_time"] = info.vzt_install_time;
  json["vzt_open_time"] = info.vzt_open_time;
}
