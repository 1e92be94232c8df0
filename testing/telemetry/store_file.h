// Test support: the telemetry request store's file read and seeded with
// plain SQL, the way another process of the same app key would see it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace telemetry_rig {

struct StoredRow {
  int64_t id = 0;
  std::string event_code;
  int64_t priority = 0;
  int64_t report_count = 0;
  int64_t event_time = 0;
  std::string content;
  int64_t last_upload_failed_time = 0;
  int64_t running = 0;
};

// "<folder>\vr_<app key>_0e.db"
std::string StoreFile(const std::string& folder, const std::string& app_key);

// Every row by id; empty when the file or table does not exist.
std::vector<StoredRow> ReadStore(const std::string& db_file);
// Inserts the row (its id is chosen by the store), making the table first
// when needed; the new id.
int64_t InsertStoreRow(const std::string& db_file, const StoredRow& row);

}  // namespace telemetry_rig
