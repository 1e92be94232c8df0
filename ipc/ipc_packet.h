// Packets: the JSON messages the product's processes send each other, each
// process addressed by its client type (which also names its channel).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace ipc {

// The numeric identity of a product process.
enum ClientType : int32_t {
  kClientUnknown = 0,
  kClientAppStore = 10001,
  kClientEmulator = 10002,
  kClientService = 10003,
  kClientUpdate = 10004,
  kClientUninstall = 10005,
  kClientAssistant = 10006,
  kClientInstaller = 10008,
  kClientLauncher = 10009,
  kClientVirtualFileSystem = 10010,
  kClientInstallerDownloader = 10011,
  kClientCrashNotifyHelper = 10013,
  kClientBoxHeadless = 10014,
  kClientNoChannel10015 = 10015,
  kClientBridge = 10016,
  kClientPcvztSdk = 20001,
  kClientPcvztAssistant = 20002,
  kClientVztpcgameSdk = 30001,
  kClientAppstore = 40001,
  kClientDornSdk = 50001,
  kClientVivoSdk = 60001,
  kClientNetbar = 70001,
};

using MsgId = int32_t;
using QueryId = int32_t;

// Message 9999 carries a query; the layer reserves no other number.
constexpr MsgId kQueryMsgId = 9999;

// Numbers the installer uses.
constexpr MsgId kMsgAppInstallNotice = 80001;    // to 20001
constexpr MsgId kMsgPseudoProtocol = 10003;      // to 40001
constexpr MsgId kMsgShowTrayAndWindow = 10011;   // to 40001
constexpr MsgId kMsgAppInstallState = 50001;     // received
constexpr MsgId kMsgInstallCtrl = 50002;         // received
constexpr QueryId kQueryStopDownload = 50001;    // to 10011, and answered by 10011
constexpr QueryId kQueryClient10015 = 70001;     // to 10015

// The channel name of a client type; "UNKNOWN" for ids without one.
std::string ClientTypeName(int32_t client_type);

struct IpcPacket {
  // A packet read from JSON starts from these defaults.
  IpcPacket() = default;
  // A new packet, stamped: elevation, send time, a new unique id and this
  // process's id.
  IpcPacket(int32_t from, int32_t to, int32_t msg_id, const nlohmann::json& data, bool handle_self_ipc = false);

  int32_t from = 0;
  int32_t to = 0;
  int32_t msg_id = 0;
  nlohmann::json data;
  std::optional<bool> uac = true;
  std::optional<bool> handle_self_ipc = false;
  std::optional<uint64_t> send_time_us;
  std::optional<std::string> unique_id;
  std::optional<uint64_t> from_process_id = 0;
  std::optional<uint64_t> to_process_id = 0;
  std::optional<std::string> response_channel;
};

void to_json(nlohmann::json& json, const IpcPacket& packet);
void from_json(const nlohmann::json& json, IpcPacket& packet);

// Compact JSON text (strict UTF-8: invalid text throws the JSON library's
// type error 316).
std::string PacketText(const IpcPacket& packet);

// The data of a query packet.
struct QueryPayload {
  QueryId query_id = 0;
  nlohmann::json data;
};

void to_json(nlohmann::json& json, const QueryPayload& payload);
void from_json(const nlohmann::json& json, QueryPayload& payload);

// Microseconds since 1970-01-01 UTC by the system clock.
uint64_t NowMicroseconds();

// Whether this process counts as elevated for the IPC layer. Wine reports
// every process as elevated, so tests choose the Local namespace through
// SetElevationForTesting; otherwise the process token decides.
bool IsElevatedForIpc();
void SetElevationForTesting(std::optional<bool> elevated);

}  // namespace ipc
