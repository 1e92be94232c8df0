#include "ipc/ipc_query.h"

#include <windows.h>

#include <cstring>

#include "base/guid_string.h"
#include "base/process_util.h"
#include "base/text_conversion.h"
#include "ipc/ipc_channel.h"
#include "ipc/ipc_manager.h"

namespace ipc {
namespace {

constexpr uint64_t kAnswerSliceMs = 1000;

uint64_t NowMilliseconds() { return NowMicroseconds() / 1000; }

}  // namespace

void to_json(nlohmann::json& json, const QueryStopDownload& request) {
  json = request.channel_id ? nlohmann::json{{"channel_id", *request.channel_id}} : nlohmann::json(nullptr);
}

void from_json(const nlohmann::json& json, QueryStopDownload& request) {
  request.channel_id.reset();
  if (json.is_object() && json.contains("channel_id")) request.channel_id = json.at("channel_id").get<uint64_t>();
}

std::string MakeResponseChannelName() { return base::WideToUtf8(base::GetExeFileName()) + "-" + base::NewGuidString(); }

QueryResult IpcQuerier::DoQuery(ClientType target, QueryId query_id, const nlohmann::json& request,
                                uint64_t timeout_ms, std::optional<bool> global) {
  IpcManager& manager = IpcManager::Instance();
  auto packet = std::make_shared<IpcPacket>(manager.own_type(), target, kQueryMsgId,
                                            nlohmann::json(QueryPayload{query_id, request}), false);
  packet->response_channel = MakeResponseChannelName();
  packet->uac = IsElevatedForIpc();
  if (manager.stopping()) return {kQueryStopping, nullptr};

  // Listening before the question leaves, so an early answer is not missed.
  IpcChannel answers(*packet->response_channel, *packet->uac, true);
  if (!Send(packet, global)) return {kQueryNotSent, nullptr};

  const uint64_t start = NowMilliseconds();
  const uint64_t deadline = timeout_ms > UINT64_MAX - start ? UINT64_MAX : start + timeout_ms;
  for (;;) {
    ShmBuffer buffer = ShmChannel::Recv(answers.channel(), kAnswerSliceMs);
    if (manager.stopping()) return {kQueryStopping, nullptr};
    if (!buffer.empty()) {
      const auto* begin = static_cast<const char*>(buffer.data());
      const auto* nul = static_cast<const char*>(std::memchr(begin, '\0', buffer.size()));
      nlohmann::json answer = nlohmann::json::parse(begin, nul != nullptr ? nul : begin + buffer.size(), nullptr, false);
      if (!answer.is_discarded()) return {kQueryAnswered, std::move(answer)};
    }
    // Also after an answer that is not JSON, so a stream of them cannot hold
    // the query past its deadline.
    if (deadline < NowMilliseconds()) return {kQueryTimedOut, nullptr};
  }
}

}  // namespace ipc
