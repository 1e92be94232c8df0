#include "ipc/ipc_quality_monitor.h"

#include <nlohmann/json.hpp>

#include "base/path_manager.h"
#include "base/registry.h"
#include "base/scoped_handle.h"
#include "base/text_conversion.h"

namespace ipc {
namespace {

constexpr wchar_t kSendValue[] = L"ipc_send_analysis";
constexpr wchar_t kRecvValue[] = L"ipc_recv_analysis";
constexpr wchar_t kMissing[] = L"DEFAULT_VALUE";

nlohmann::json KeyJson(const QualityKey& key) {
  return nlohmann::json{{"from", key.from}, {"to", key.to}, {"msg_id", key.msg_id}};
}

QualityKey KeyFrom(const nlohmann::json& json) {
  return QualityKey{json.at("from").get<int32_t>(), json.at("to").get<int32_t>(), json.at("msg_id").get<int32_t>()};
}

// Every entry must be a [key, counters] array; anything else throws.
template <typename Counters, typename Read>
std::unordered_map<QualityKey, Counters, QualityKeyHash> ParseStats(const std::string& text, Read read) {
  std::unordered_map<QualityKey, Counters, QualityKeyHash> stats;
  try {
    const nlohmann::json parsed = nlohmann::json::parse(text);
    if (!parsed.is_array()) return {};
    for (const nlohmann::json& entry : parsed) {
      if (!entry.is_array()) return {};
      stats.emplace(KeyFrom(entry.at(0)), read(entry.at(1)));
    }
  } catch (const nlohmann::json::exception&) {
    return {};
  }
  return stats;
}

// (a * x + b * y) / (a + b) without overflow or unsigned wrap.
int64_t WeightedAverage(uint64_t a, int64_t x, uint64_t b, int64_t y) {
  const unsigned __int128 count = static_cast<unsigned __int128>(a) + b;
  if (count == 0) return 0;
  const __int128 sum = static_cast<__int128>(a) * x + static_cast<__int128>(b) * y;
  return static_cast<int64_t>(sum / static_cast<__int128>(count));
}

}  // namespace

std::string SendStatsText(const SendStatsMap& stats) {
  nlohmann::json array = nlohmann::json::array();
  for (const auto& [key, counters] : stats) {
    array.push_back({KeyJson(key), {{"success", counters.success}, {"total", counters.total}}});
  }
  return array.dump();
}

std::string RecvStatsText(const RecvStatsMap& stats) {
  nlohmann::json array = nlohmann::json::array();
  for (const auto& [key, counters] : stats) {
    array.push_back({KeyJson(key), {{"avg_cost", counters.avg_cost}, {"total", counters.total}}});
  }
  return array.dump();
}

SendStatsMap ParseSendStats(const std::string& text) {
  return ParseStats<SendStats>(text, [](const nlohmann::json& json) {
    return SendStats{json.at("total").get<uint64_t>(), json.at("success").get<uint64_t>()};
  });
}

RecvStatsMap ParseRecvStats(const std::string& text) {
  return ParseStats<RecvStats>(text, [](const nlohmann::json& json) {
    return RecvStats{json.at("total").get<uint64_t>(), json.at("avg_cost").get<int64_t>()};
  });
}

void MergeSendStats(SendStatsMap& current, const SendStatsMap& stored) {
  for (const auto& [key, counters] : stored) {
    SendStats& mine = current[key];
    mine.total += counters.total;
    mine.success += counters.success;
  }
}

void MergeRecvStats(RecvStatsMap& current, const RecvStatsMap& stored) {
  for (const auto& [key, counters] : stored) {
    RecvStats& mine = current[key];
    mine.avg_cost = WeightedAverage(mine.total, mine.avg_cost, counters.total, counters.avg_cost);
    mine.total += counters.total;
  }
}

void AddRecvSample(RecvStats& stats, int64_t cost_us) {
  stats.avg_cost = WeightedAverage(stats.total, stats.avg_cost, 1, cost_us);
  stats.total += 1;
}

IpcQualityMonitor::IpcQualityMonitor() = default;

IpcQualityMonitor::IpcQualityMonitor(HKEY root, std::wstring key_path) : root_(root), key_path_(std::move(key_path)) {}

void IpcQualityMonitor::CountSend(const QualityKey& key, bool accepted) {
  std::lock_guard<std::mutex> lock(send_lock_);
  SendStats& stats = send_[key];
  stats.total += 1;
  if (accepted) stats.success += 1;
}

void IpcQualityMonitor::CountRecv(const QualityKey& key, int64_t cost_us) {
  std::lock_guard<std::mutex> lock(recv_lock_);
  AddRecvSample(recv_[key], cost_us);
}

SendStatsMap IpcQualityMonitor::send_stats() const {
  std::lock_guard<std::mutex> lock(send_lock_);
  return send_;
}

RecvStatsMap IpcQualityMonitor::recv_stats() const {
  std::lock_guard<std::mutex> lock(recv_lock_);
  return recv_;
}

std::wstring IpcQualityMonitor::KeyPath() const {
  if (!key_path_.empty()) return key_path_;
  return base::PathManager::GetInstance().GetRegistryKey(base::ComponentKind::kProduct);
}

std::string IpcQualityMonitor::Load(const wchar_t* value_name) {
  const std::wstring key_path = KeyPath();
  if (key_path.empty()) return std::string();
  const std::wstring text = base::ReadRegString(root_, key_path, value_name, kMissing);
  if (base::ScopedRegKey key = base::OpenRegKey(root_, key_path, KEY_ALL_ACCESS)) {
    ::RegDeleteValueW(key.Get(), value_name);
  }
  return base::WideToUtf8(text);
}

void IpcQualityMonitor::Store(const wchar_t* value_name, const std::string& text) {
  // Before the path manager knows the product there is no key to keep the
  // figures under; writing them to the root of the hive would be worse.
  const std::wstring key_path = KeyPath();
  if (key_path.empty()) return;
  base::WriteRegString(root_, key_path, value_name, base::Utf8ToWide(text));
}

SendStatsMap IpcQualityMonitor::LoadSendAnalysis() { return ParseSendStats(Load(kSendValue)); }

RecvStatsMap IpcQualityMonitor::LoadRecvAnalysis() { return ParseRecvStats(Load(kRecvValue)); }

void IpcQualityMonitor::SaveSendAnalysis() {
  const SendStatsMap stored = LoadSendAnalysis();
  std::string text;
  {
    std::lock_guard<std::mutex> lock(send_lock_);
    MergeSendStats(send_, stored);
    text = SendStatsText(send_);
  }
  Store(kSendValue, text);
}

void IpcQualityMonitor::SaveRecvAnalysis() {
  const RecvStatsMap stored = LoadRecvAnalysis();
  std::string text;
  {
    std::lock_guard<std::mutex> lock(recv_lock_);
    MergeRecvStats(recv_, stored);
    text = RecvStatsText(recv_);
  }
  Store(kRecvValue, text);
}

}  // namespace ipc
