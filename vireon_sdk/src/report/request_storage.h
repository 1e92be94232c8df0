// The telemetry client's store of events not yet delivered: one SQLite file
// per app key with one table, so events survive failed uploads and restarts.
// Only the transport manager's worker uses a store, so it takes no lock.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vireon_sdk/src/report/report_params.h"
#include "vireon_sdk/src/report/vireon_config.h"

namespace SQLite {
class Database;
}
struct sqlite3_context;
struct sqlite3_value;

namespace vireon {

class VireonRequest;

inline constexpr char kCreateEventsTable[] =
    "CREATE TABLE IF NOT EXISTS vireon_events(id INTEGER PRIMARY KEY AUTOINCREMENT,event_code TEXT,priority "
    "INTEGER,report_count INTEGER,event_time BIGINT,event_content BLOB,last_upload_failed_time INTEGER,running "
    "INTEGER)";

// How long a statement waits for another process's lock on the file.
inline constexpr int kStoreBusyTimeoutMs = 3000;

// The configured folder, or "<app data>\Orvalis\vireon" (created) when it is
// empty; empty when that folder cannot be had. UTF-8, as SQLite takes paths.
std::string GetStorageDir(const std::string& configured_folder);
// "<folder>\vr_<app key>_0e.db" (no separator for an empty folder or one that
// already ends in a backslash).
std::string GetStorageFilePath(const std::string& folder, const std::string& app_key);

// "( <now> - last_upload_failed_time )  >  POWER(  ( report_count - 3 + 1 ) ,  2  )"
std::string BuildBackoffCondition(int64_t now_seconds);
// The due-rows query at `now_seconds`.
std::string BuildPendingQuery(int64_t now_seconds);

// POWER(x, y) for the back-off: x raised to y as doubles.
void SqlPower(sqlite3_context* context, int argc, sqlite3_value** argv);

// The parameters as compact JSON (keys in byte order, values as strings,
// UTF-8 kept), and back. None when the text is not a JSON object whose
// values are all strings.
std::string ParamsToJson(const ReportParams& params);
std::optional<ReportParams> ParamsFromJson(std::string_view text);

class RequestStorage {
 public:
  RequestStorage();
  ~RequestStorage();
  RequestStorage(const RequestStorage&) = delete;
  RequestStorage& operator=(const RequestStorage&) = delete;

  // Opens (creating) the app key's file in `configured_folder`, makes the
  // table, and clears the running marks when this is the app key's first
  // process on the machine.
  bool Init(const std::string& configured_folder, const VireonConfig& config);
  bool CreateTableIfNotExist();
  bool UpdateRequestState();

  bool RecordRequest(const VireonRequest& request, bool running, int64_t* row_id);
  // True when exactly one row went.
  bool DeleteRequest(int64_t row_id);
  // Stores the current parameters, the tries and now as the failure time.
  bool UpdateRequest(const VireonRequest& request);
  // The same, and the row is no longer held (running 0).
  bool UpdateFailedRequest(const VireonRequest& request);
  // At most 10 due rows as requests, marked running. A row whose content is
  // not a JSON object of strings is deleted with a log line.
  std::vector<std::shared_ptr<VireonRequest>> LoadPendingRequests();

  const std::string& path() const { return path_; }

 private:
  bool Update(const char* function, const VireonRequest& request, bool release);

  std::shared_ptr<SQLite::Database> db_;
  std::string app_key_;
  std::string path_;
};

}  // namespace vireon
