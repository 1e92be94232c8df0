// Queries: a request to another process that expects one JSON answer
// within a time limit, on a private answer channel of its own.
#pragma once

#include <cstdint>
#include <future>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "ipc/ipc_packet.h"

namespace ipc {

constexpr int32_t kQueryAnswered = 0;
constexpr int32_t kQueryNotSent = 2;
constexpr int32_t kQueryTimedOut = 3;
constexpr int32_t kQueryStopping = 4;

struct QueryResult {
  int32_t status = kQueryNotSent;
  nlohmann::json answer;  // null unless answered
};

// The request of the installer's stop-download query: {"channel_id": n}, or
// null without a channel id.
struct QueryStopDownload {
  std::optional<uint64_t> channel_id;
};
void to_json(nlohmann::json& json, const QueryStopDownload& request);
void from_json(const nlohmann::json& json, QueryStopDownload& request);

// "<own executable's file name>-<new GUID>".
std::string MakeResponseChannelName();

class IpcQuerier {
 public:
  // Asks on an asynchronous task; the future's value is the answer as `R`,
  // or empty when the query was not sent, timed out, IPC stopped, or the
  // answer does not convert. Dropping the future waits for the task.
  template <typename R, typename Req>
  static std::future<std::optional<R>> Query(ClientType target, QueryId query_id, const Req& request,
                                             uint64_t timeout_ms, std::optional<bool> global = std::nullopt) {
    auto ask = [=, request = request]() -> std::optional<R> {
      try {
        const QueryResult result = DoQuery(target, query_id, nlohmann::json(request), timeout_ms, global);
        if (result.status != kQueryAnswered) return std::nullopt;
        return result.answer.template get<R>();
      } catch (const std::exception&) {
        return std::nullopt;
      }
    };
    try {
      return std::async(std::launch::async, std::move(ask));
    } catch (const std::exception&) {
      std::promise<std::optional<R>> failed;
      failed.set_value(std::nullopt);
      return failed.get_future();
    }
  }

  // One query, blocking for up to the timeout plus one 1000 ms receive.
  static QueryResult DoQuery(ClientType target, QueryId query_id, const nlohmann::json& request, uint64_t timeout_ms,
                             std::optional<bool> global);
};

}  // namespace ipc
