// The web API's generic "recall" query: a command, a business id and a list
// of conditions in, one JSON value of the answer out.
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace data {

// {"condition": {"bid", "listS"}, "reqHead": {"cmd", "requestId"}} as compact
// JSON, with a new GUID as the request id. Throws the JSON library's
// type_error for text that is not UTF-8.
std::string BuildRecallRequest(const std::string& command, const std::string& business_id,
                               const nlohmann::json& list);

// The value at "queue"[0]."items"[0]."fieldS" of the answer; a member missing
// on the way gives a present null. Empty after a failed request, an answer
// that is not JSON or a step that meets a value of the wrong kind (each is
// logged). Synchronous; never throws.
std::optional<nlohmann::json> FetchVztRecall(const std::string& command, const std::string& business_id,
                                             const nlohmann::json& list) noexcept;

}  // namespace data
