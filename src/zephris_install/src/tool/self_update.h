// Self update at start-up: the web API may name a newer installer, which is
// then downloaded and started in place of this one.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

struct SelfUpdatePolicy {
  int32_t need_update = 0;
  int32_t policy_id = 0;
  int32_t supply_id = 0;
  std::string download_url;
};

// Every key is required; a missing or mistyped one throws the JSON library's error.
void SelfUpdatePolicyFromJson(const nlohmann::json& json, SelfUpdatePolicy& policy);
std::string BuildSelfUpdateRequest();

// True when the web API asks for a newer installer; keeps its URL.
bool IsNeedSelfUpdate();
// Downloads the newer installer; true when it is complete on disk.
bool Update();
// Starts the downloaded installer with only the option that stops it from
// updating itself again.
bool StartNewInstaller();
