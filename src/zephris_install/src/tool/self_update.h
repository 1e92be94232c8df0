// Self update at start-up: the web API may name a newer installer, which is
// then downloaded and started in place of this one.
//
// This installer runs elevated, so whatever it downloads and starts must be
// out of reach of unprivileged processes: the newer installer is fetched into
// a folder that only administrators and the system can write, under a
// temporary name, and takes its final name only once it arrived whole with a
// 2xx answer.
#pragma once

#include <cstdint>
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
// Throws the JSON library's type error when a text of the record is not UTF-8.
std::string BuildSelfUpdateRequest();

// True when the web API asks for a newer installer; keeps its URL.
bool IsNeedSelfUpdate();
// Downloads the newer installer; true when it is complete on disk.
bool Update();
// Starts the downloaded installer with only the option that stops it from
// updating itself again.
bool StartNewInstaller();

// The URL `IsNeedSelfUpdate` kept, and the file `Update` completed (empty
// until an update arrived whole).
const std::string& SelfUpdateUrl();
const std::wstring& NewInstallerPath();

// The folder that receives the newer installer ("InstallerUpdate" in the
// maker's Program Files folder), with a protected access list that lets only
// administrators and the system write (users may read and run). A folder
// found there already gets that owner and access list again; a reparse point
// there is refused. Empty when the folder cannot be made safe.
std::wstring PrepareSelfUpdateDir();
// That access list, as security descriptor text.
extern const wchar_t kSelfUpdateDirSddl[];
