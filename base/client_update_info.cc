#include "base/client_update_info.h"

#include "base/json_number.h"

namespace data {

void ComponentFromJson(const nlohmann::json& json, Component& component) {
  component.size = base::JsonNumber<uint64_t>(json.at("size"));
  component.type = static_cast<ComponentType>(base::JsonNumber<int32_t>(json.at("type")));
  component.name = json.at("name").get<std::string>();
  component.url = json.at("url").get<std::string>();
  component.md5 = json.at("md5").get<std::string>();
  component.version = json.at("version").get<std::string>();
}

void ComponentListFromJson(const nlohmann::json& json, std::vector<Component>& components) {
  if (!json.is_array()) {
    throw nlohmann::json::type_error::create(302, std::string("type must be array, but is ") + json.type_name(),
                                             &json);
  }
  for (const nlohmann::json& element : json) {
    Component component;
    ComponentFromJson(element, component);
    components.push_back(std::move(component));
  }
}

void ClientUpdateInfoFromJson(const nlohmann::json& json, ClientUpdateInfo& info) {
  info.version = json.at("version").get<std::string>();
  if (json.contains("exp_id")) info.exp_id = json.at("exp_id").get<std::string>();
  ComponentListFromJson(json.at("components"), info.components);
}

nlohmann::json ClientUpdateInfoToJson(const ClientUpdateInfo& info) {
  nlohmann::json json = nlohmann::json::object();
  json["version"] = info.version;
  if (info.exp_id) json["exp_id"] = *info.exp_id;
  nlohmann::json components = nlohmann::json::array();
  for (const Component& component : info.components) {
    components.push_back({{"size", component.size},
                          {"type", static_cast<int32_t>(component.type)},
                          {"name", component.name},
                          {"url", component.url},
                          {"md5", component.md5},
                          {"version", component.version}});
  }
  json["components"] = std::move(components);
  return json;
}

}  // namespace data
