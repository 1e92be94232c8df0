#include "src/common/data/tiko_group_config.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "base/json_number.h"
#include "base/product_log.h"
#include "src/common/data/vzt_recall.h"

namespace data {
namespace {

using nlohmann::json;

constexpr char kDefaultTikoNumber[] = "604218397";
constexpr char kDefaultGroupLink[] =
    "http://tiko.quillorane.test/group/join"
    "?_wv=1027&k=T4mQ-ZxwPa8nLrVe2KsYd6HjBo0cUgFi"
    "&authKey=Q2WNRXKB8HZDPLE%2FTrs%2BUfmvYcqBeA07P3MD5CyWtLhk%2B8RNJZAsbGmPXdhCzTqV"
    "&noverify=0&group_code=604218397";

// A group number cannot be negative: a negative integer is refused like a
// mistyped one instead of wrapping into a huge unsigned number.
uint64_t ReadTikoNumber(const json& value) {
  if (value.is_number_integer() && !value.is_number_unsigned() && value.get<int64_t>() < 0) {
    throw std::invalid_argument("tiko_number is negative");
  }
  return base::JsonNumber<uint64_t>(value);
}

bool IsWebLink(const std::string& link) {
  const auto starts = [&link](std::string_view scheme) {
    return link.size() > scheme.size() &&
           std::equal(scheme.begin(), scheme.end(), link.begin(), [](char s, char c) {
             return s == ((c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c);
           });
  };
  return starts("http://") || starts("https://");
}

}  // namespace

TikoGroupConfig DefaultTikoGroupConfig() { return {kDefaultTikoNumber, kDefaultGroupLink}; }

TikoGroupConfig FetchTikoGroupCfg(const std::string& scene) noexcept {
  TikoGroupConfig config = DefaultTikoGroupConfig();
  try {
    const json list = {
        {"scene", {{"repStr", json::array({scene.empty() ? std::string("unknown") : scene})}}},
        {"error_code", {{"repStr", json::array({"0"})}}},
    };
    const std::optional<json> value = FetchVztRecall("RecallBbsFeedbackCfg", "tuvo", list);
    if (!value) return config;
    try {
      // "content" is a JSON array in text whose first element is the
      // configuration object.
      const json content = json::parse(value->at("content").get<std::string>());
      const json& group = content.at(0);
      config.tiko_number = std::to_string(ReadTikoNumber(group.at("tiko_number")));
      std::string link = group.at("tiko_group_link").get<std::string>();
      if (!IsWebLink(link)) throw std::invalid_argument("tiko_group_link is not an http or https URL");
      config.group_link = std::move(link);
    } catch (const std::exception& e) {
      PRODUCT_LOG("FetchTikoGroupCfg json parse error, {}", e.what());
    }
  } catch (...) {
  }
  return config;
}

}  // namespace data
