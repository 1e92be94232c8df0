// The component list that the product's web API answers with, and that the
// OEM table caches per channel, with its JSON form.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace data {

enum class ComponentType : int32_t {
  kOther = 0,
  kClient = 1,          // the product component (the client application)
  kVirtualization = 2,  // the engine
  kAndroidSubsystem = 3,
  kParlioApplet = 4,
  kCloudGame = 5,
  kTikoApplet = 6,
  kKesmoEngine = 12,
};

struct Component {
  uint64_t size = 0;  // archive bytes
  ComponentType type = ComponentType::kOther;
  std::string name;
  std::string url;
  std::string md5;  // hexadecimal, either case
  std::string version;
};

struct ClientUpdateInfo {
  std::string version;
  std::optional<std::string> exp_id;
  std::vector<Component> components;
};

// Readers: every key is required. A missing key or a wrongly typed value
// throws the JSON library's error; callers catch it.
void ComponentFromJson(const nlohmann::json& json, Component& component);
void ComponentListFromJson(const nlohmann::json& json, std::vector<Component>& components);
void ClientUpdateInfoFromJson(const nlohmann::json& json, ClientUpdateInfo& info);

// "exp_id" is written only when present.
nlohmann::json ClientUpdateInfoToJson(const ClientUpdateInfo& info);

}  // namespace data
