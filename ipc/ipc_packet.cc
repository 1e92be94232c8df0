#include "ipc/ipc_packet.h"

#include <windows.h>

#include <atomic>
#include <map>

#include "base/guid_string.h"
#include "base/system_probe.h"

namespace ipc {
namespace {

// -1 unset, 0 not elevated, 1 elevated.
std::atomic<int> g_elevation_override{-1};

bool CachedElevation() {
  static const bool elevated = base::IsProcessElevated();
  return elevated;
}

template <typename T>
void ReadOptional(const nlohmann::json& json, const char* key, std::optional<T>& field) {
  if (json.contains(key)) field = json.at(key).get<T>();
}

}  // namespace

std::string ClientTypeName(int32_t client_type) {
  static const std::map<int32_t, std::string> names = {
      {0, "UNKNOWN"},
      {10001, "AppStore"},
      {10002, "TuvoEmulator"},
      {10003, "TuvoService"},
      {10004, "TuvoUpdate"},
      {10005, "TuvoUninstall"},
      {10006, "TuvoAssistant"},
      {10007, "UNKNOWN"},
      {10008, "TuvoInstaller"},
      {10009, "TuvoLauncher"},
      {10010, "TuvoVirtualFileSystem"},
      {10011, "TuvoInstallerDownloader"},
      {10013, "TuvoAboxCrashNotifyHelper"},
      {10014, "TuvoBoxHeadless"},
      {10016, "QuilloraneBridge"},
      {20001, "TuvoPcvztSdk"},
      {20002, "TuvoPcvztAssistant"},
      {30001, "VztpcgameSdk"},
      {40001, "TuvoAppstore"},
      {50001, "TuvoDornSdk"},
      {60001, "TuvoVivoSdk"},
      {70001, "TuvoNetbar"},
  };
  const auto found = names.find(client_type);
  return found == names.end() ? "UNKNOWN" : found->second;
}

uint64_t NowMicroseconds() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  const int64_t ticks =
      static_cast<int64_t>((static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime) - 116444736000000000LL;
  return static_cast<uint64_t>(ticks / 10);
}

bool IsElevatedForIpc() {
  const int forced = g_elevation_override.load();
  return forced < 0 ? CachedElevation() : forced == 1;
}

void SetElevationForTesting(std::optional<bool> elevated) {
  g_elevation_override.store(elevated.has_value() ? (*elevated ? 1 : 0) : -1);
}

IpcPacket::IpcPacket(int32_t from, int32_t to, int32_t msg_id, const nlohmann::json& data, bool handle_self_ipc)
    : from(from),
      to(to),
      msg_id(msg_id),
      data(data),
      uac(IsElevatedForIpc()),
      handle_self_ipc(handle_self_ipc),
      send_time_us(NowMicroseconds()),
      unique_id(base::NewGuidString()),
      from_process_id(::GetCurrentProcessId()),
      to_process_id(0) {}

void to_json(nlohmann::json& json, const IpcPacket& packet) {
  json = nlohmann::json::object();
  json["from"] = packet.from;
  json["to"] = packet.to;
  json["msg_id"] = packet.msg_id;
  json["data"] = packet.data;
  if (packet.uac) json["uac"] = *packet.uac;
  if (packet.handle_self_ipc) json["handle_self_ipc"] = *packet.handle_self_ipc;
  if (packet.send_time_us) json["send_time_us"] = *packet.send_time_us;
  if (packet.unique_id) json["unique_id"] = *packet.unique_id;
  if (packet.from_process_id) json["from_process_id"] = *packet.from_process_id;
  if (packet.to_process_id) json["to_process_id"] = *packet.to_process_id;
  if (packet.response_channel) json["response_channel"] = *packet.response_channel;
}

void from_json(const nlohmann::json& json, IpcPacket& packet) {
  packet.from = json.at("from").get<int32_t>();
  packet.to = json.at("to").get<int32_t>();
  packet.msg_id = json.at("msg_id").get<int32_t>();
  packet.data = json.at("data");
  ReadOptional(json, "uac", packet.uac);
  ReadOptional(json, "handle_self_ipc", packet.handle_self_ipc);
  ReadOptional(json, "send_time_us", packet.send_time_us);
  ReadOptional(json, "unique_id", packet.unique_id);
  ReadOptional(json, "from_process_id", packet.from_process_id);
  ReadOptional(json, "to_process_id", packet.to_process_id);
  ReadOptional(json, "response_channel", packet.response_channel);
}

std::string PacketText(const IpcPacket& packet) {
  return nlohmann::json(packet).dump(-1, ' ', false, nlohmann::json::error_handler_t::strict);
}

void to_json(nlohmann::json& json, const QueryPayload& payload) {
  json = nlohmann::json{{"query_id", payload.query_id}, {"data", payload.data}};
}

void from_json(const nlohmann::json& json, QueryPayload& payload) {
  payload.query_id = json.at("query_id").get<QueryId>();
  payload.data = json.at("data");
}

}  // namespace ipc
