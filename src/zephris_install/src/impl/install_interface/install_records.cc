#include "src/zephris_install/src/impl/install_interface/install_records.h"

void InstallerAppInstallStateFromJson(const nlohmann::json& json, InstallerAppInstallState& state) {
  json.at("app_id").get_to(state.app_id);
  json.at("state").get_to(state.state);
  json.at("progress").get_to(state.progress);
  json.at("completed_size").get_to(state.completed_size);
  json.at("total_size").get_to(state.total_size);
  json.at("download_speed").get_to(state.download_speed);
  const nlohmann::json& engine = json.at("is_installing_engine");
  // The library would read a number as a boolean; the record takes only a boolean.
  if (!engine.is_boolean()) {
    throw nlohmann::json::type_error::create(302, "is_installing_engine must be a boolean", &engine);
  }
  state.is_installing_engine = engine.get<bool>();
  if (json.contains("app_type")) {
    const nlohmann::json& type = json.at("app_type");
    if (!type.is_number()) throw nlohmann::json::type_error::create(302, "app_type must be a number", &type);
    state.app_type = type.get<int32_t>();
  }
  if (json.contains("engine_name")) state.engine_name = json.at("engine_name").get<std::string>();
}

void InstallCtrlFromJson(const nlohmann::json& json, InstallCtrl& ctrl) {
  const nlohmann::json& code = json.at("code");
  if (!code.is_number()) throw nlohmann::json::type_error::create(302, "code must be a number", &code);
  ctrl.code = code.get<int32_t>();
  if (json.contains("app_id")) ctrl.app_id = json.at("app_id").get<std::string>();
  if (json.contains("source")) ctrl.source = json.at("source").get<std::string>();
}

void QueryStopDownloadFromJson(const nlohmann::json& json, QueryStopDownload& query) {
  if (!json.is_object() || !json.contains("channel_id")) return;
  const nlohmann::json& id = json.at("channel_id");
  if (!id.is_number()) throw nlohmann::json::type_error::create(302, "channel_id must be a number", &id);
  query.channel_id = id.get<uint64_t>();
}

nlohmann::json QueryStopDownloadToJson(const QueryStopDownload& query) {
  nlohmann::json json = nlohmann::json::object();
  if (query.channel_id) json["channel_id"] = *query.channel_id;
  return json;
}
