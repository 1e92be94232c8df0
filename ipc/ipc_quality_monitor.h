// Delivery statistics: per sender, addressee and message number, how many
// packets were handed to the transport and how many it accepted, and how
// many were received with their average transit time. At shutdown they are
// added to the totals kept in two registry values, so the figures add up
// over runs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>

namespace ipc {

struct QualityKey {
  int32_t from = 0;
  int32_t to = 0;
  int32_t msg_id = 0;
  bool operator==(const QualityKey& other) const {
    return from == other.from && to == other.to && msg_id == other.msg_id;
  }
};

struct QualityKeyHash {
  size_t operator()(const QualityKey& key) const {
    return std::hash<int32_t>()(key.from) ^ std::hash<int32_t>()(key.to) ^ std::hash<int32_t>()(key.msg_id);
  }
};

struct SendStats {
  uint64_t total = 0;    // packets that reached the transport
  uint64_t success = 0;  // of these, accepted by it
};

struct RecvStats {
  uint64_t total = 0;    // packets read and parsed
  int64_t avg_cost = 0;  // average send-to-receive time, microseconds
};

using SendStatsMap = std::unordered_map<QualityKey, SendStats, QualityKeyHash>;
using RecvStatsMap = std::unordered_map<QualityKey, RecvStats, QualityKeyHash>;

// The registry texts: compact JSON arrays of [key, counters] pairs.
std::string SendStatsText(const SendStatsMap& stats);
std::string RecvStatsText(const RecvStatsMap& stats);
// Empty on any malformed text; the first of two equal keys counts.
SendStatsMap ParseSendStats(const std::string& text);
RecvStatsMap ParseRecvStats(const std::string& text);

// Adds `stored` into `current`: counts add up, averages are weighted by
// their counts.
void MergeSendStats(SendStatsMap& current, const SendStatsMap& stored);
void MergeRecvStats(RecvStatsMap& current, const RecvStatsMap& stored);
// One more received packet with the given transit time (negative when the
// sender's clock runs ahead).
void AddRecvSample(RecvStats& stats, int64_t cost_us);

class IpcQualityMonitor {
 public:
  // Keeps its values under HKEY_CURRENT_USER and the product's key.
  IpcQualityMonitor();
  // Keeps its values under the given key (tests).
  IpcQualityMonitor(HKEY root, std::wstring key_path);

  void CountSend(const QualityKey& key, bool accepted);
  void CountRecv(const QualityKey& key, int64_t cost_us);

  void SaveSendAnalysis();
  void SaveRecvAnalysis();
  // The stored statistics; the registry value is removed.
  SendStatsMap LoadSendAnalysis();
  RecvStatsMap LoadRecvAnalysis();

  SendStatsMap send_stats() const;
  RecvStatsMap recv_stats() const;

 private:
  std::wstring KeyPath() const;
  std::string Load(const wchar_t* value_name);
  void Store(const wchar_t* value_name, const std::string& text);

  HKEY root_ = HKEY_CURRENT_USER;
  std::wstring key_path_;  // empty: the product key
  mutable std::mutex send_lock_;
  mutable std::mutex recv_lock_;
  SendStatsMap send_;
  RecvStatsMap recv_;
};

}  // namespace ipc
