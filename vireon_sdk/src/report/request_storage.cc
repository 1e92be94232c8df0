#include "vireon_sdk/src/report/request_storage.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <sqlite3.h>

#include <nlohmann/json.hpp>

#include "base/scoped_handle.h"
#include "vireon_sdk/src/report/vireon_request.h"
#include "vireon_sdk/src/utils/log/sdk_log.h"
#include "vireon_sdk/src/utils/string_conv.h"

namespace vireon {
namespace {

using Json = nlohmann::json;

constexpr size_t kLoadLimit = 10;

int64_t NowSeconds() {
  using namespace std::chrono;
  return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

// Every store operation answers failure with a value: what SQLite (or a JSON
// or memory failure) throws is logged once here, under the operation's name.
template <typename T, typename Body>
T StoreBoundary(const char* function, const char* what, T failure, Body&& body) {
  try {
    return body();
  } catch (const std::exception& e) {
    VIREON_LOG(kLogError, function) << what << e.what();
  } catch (...) {
    VIREON_LOG(kLogError, function) << what << "unknown failure";
  }
  return failure;
}

// The app key's instance mutexes stay open until the process ends: while one
// is open, a later store of the same key knows its rows may be live.
void HoldUntilExit(HANDLE mutex) {
  static std::mutex* const guard = new std::mutex();
  static auto* const held = new std::vector<base::ScopedKernelHandle>();
  std::lock_guard<std::mutex> lock(*guard);
  held->emplace_back(mutex);
}

enum class Content { kOk, kNotJson, kNotStrings };

Content ReadContent(std::string_view text, ReportParams* params) {
  const Json parsed = Json::parse(text.begin(), text.end(), nullptr, false);
  if (parsed.is_discarded()) return Content::kNotJson;
  if (!parsed.is_object()) return Content::kNotStrings;
  ReportParams out;
  for (const auto& [key, value] : parsed.items()) {
    if (!value.is_string()) return Content::kNotStrings;
    out.emplace(key, value.get<std::string>());
  }
  *params = std::move(out);
  return Content::kOk;
}

}  // namespace

std::string GetStorageDir(const std::string& configured_folder) {
  if (!configured_folder.empty()) return configured_folder;
  wchar_t app_data[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, app_data))) {
    return configured_folder;
  }
  std::wstring folder = app_data;
  for (const wchar_t* level : {L"\\Orvalis", L"\\vireon"}) {
    folder += level;
    if (!::CreateDirectoryW(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
      return configured_folder;
    }
  }
  return utils::WideToUtf8(folder);
}

std::string GetStorageFilePath(const std::string& folder, const std::string& app_key) {
  std::string path = folder;
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path + "vr_" + app_key + "_0e.db";
}

std::string BuildBackoffCondition(int64_t now_seconds) {
  return "( " + std::to_string(now_seconds) +
         " - last_upload_failed_time )  >  POWER(  ( report_count - 3 + 1 ) ,  2  )";
}

std::string BuildPendingQuery(int64_t now_seconds) {
  return "SELECT * FROM vireon_events WHERE running = 0 AND  ( report_count < 10 OR  " +
         BuildBackoffCondition(now_seconds) +
         "  )  ORDER BY priority DESC  , id ASC  , report_count DESC  LIMIT " + std::to_string(kLoadLimit);
}

void SqlPower(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (argc != 2) {
    sqlite3_result_null(context);
    return;
  }
  sqlite3_result_double(context, std::pow(sqlite3_value_double(argv[0]), sqlite3_value_double(argv[1])));
}

std::string ParamsToJson(const ReportParams& params) {
  Json object = Json::object();
  for (const auto& [key, value] : params) object[key] = value;
  // Values passed the UTF-8 check; a key that did not is repaired, not fatal.
  return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<ReportParams> ParamsFromJson(std::string_view text) {
  ReportParams params;
  if (ReadContent(text, &params) != Content::kOk) return std::nullopt;
  return params;
}

RequestStorage::RequestStorage() = default;
RequestStorage::~RequestStorage() = default;

bool RequestStorage::Init(const std::string& configured_folder, const VireonConfig& config) {
  app_key_ = config.app_key;
  path_ = GetStorageFilePath(GetStorageDir(configured_folder), app_key_);
  try {
    db_ = std::make_shared<SQLite::Database>(path_, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE, kStoreBusyTimeoutMs);
  } catch (const std::exception& e) {
    db_.reset();
    VIREON_LOG(kLogError, "RequestStorage::Init") << "db init error:" << e.what() << ", path: " << path_;
    return false;
  }
  if (!CreateTableIfNotExist()) return false;
  return UpdateRequestState();
}

bool RequestStorage::CreateTableIfNotExist() {
  if (!db_) return false;
  return StoreBoundary("RequestStorage::CreateTableIfNotExist", "db query error:", false, [&] {
    sqlite3_create_function(db_->getHandle(), "POWER", 2, SQLITE_UTF8, nullptr, SqlPower, nullptr, nullptr);
    db_->exec(kCreateEventsTable);
    db_->exec("SELECT POWER(2, 2)");
    db_->exec("PRAGMA journal_mode=WAL;PRAGMA synchronous=FULL;");
    return true;
  });
}

bool RequestStorage::UpdateRequestState() {
  if (!db_) return false;
  const std::string name = "OVireonClient_" + app_key_;
  HANDLE mutex = ::CreateMutexA(nullptr, TRUE, name.c_str());
  const DWORD error = ::GetLastError();
  if (mutex != nullptr) HoldUntilExit(mutex);
  // Another process of this app key runs: its rows are live.
  if (mutex != nullptr && error == ERROR_ALREADY_EXISTS) return true;
  return StoreBoundary("RequestStorage::UpdateRequestState", "db query error:", false, [&] {
    db_->exec("UPDATE vireon_events SET running = 0");
    VIREON_LOG(kLogError, "RequestStorage::UpdateRequestState") << "update db state........";
    return true;
  });
}

bool RequestStorage::RecordRequest(const VireonRequest& request, bool running, int64_t* row_id) {
  if (!db_) return false;
  return StoreBoundary("RequestStorage::RecordRequest", "db query error:", false, [&] {
    const std::string content = ParamsToJson(request.params);
    SQLite::Statement insert(*db_,
                             "INSERT INTO vireon_events (event_code, priority, report_count, event_time, "
                             "event_content, last_upload_failed_time, running) VALUES (?, ?, ?, ?, ?, ?, ?)");
    insert.bind(1, request.event_code);
    insert.bind(2, static_cast<int>(request.priority));
    insert.bind(3, static_cast<int64_t>(request.attempts));
    insert.bind(4, static_cast<int64_t>(request.event_time));
    insert.bind(5, content.data(), static_cast<int>(content.size()));
    insert.bind(6, 0);
    insert.bind(7, running ? 1 : 0);
    insert.exec();
    SQLite::Statement last(*db_, "SELECT last_insert_rowid()");
    if (!last.executeStep()) return false;
    if (row_id != nullptr) *row_id = last.getColumn(0).getInt64();
    return true;
  });
}

bool RequestStorage::DeleteRequest(int64_t row_id) {
  if (!db_) return false;
  return StoreBoundary("RequestStorage::DeleteRequest", "db query error:", false, [&] {
    return db_->exec("DELETE FROM vireon_events WHERE id=" + std::to_string(row_id)) == 1;
  });
}

bool RequestStorage::UpdateRequest(const VireonRequest& request) {
  return Update("RequestStorage::UpdateRequest", request, false);
}

bool RequestStorage::UpdateFailedRequest(const VireonRequest& request) {
  return Update("RequestStorage::UpdateFailedRequest", request, true);
}

bool RequestStorage::Update(const char* function, const VireonRequest& request, bool release) {
  if (!db_) return false;
  return StoreBoundary(function, "db query error:", false, [&] {
    const std::string content = ParamsToJson(request.params);
    std::string sql = "UPDATE vireon_events SET event_content = ?, report_count = ?, last_upload_failed_time = ?";
    if (release) sql += ", running = ?";
    sql += " WHERE id=" + std::to_string(request.row_id);
    SQLite::Statement update(*db_, sql);
    update.bind(1, content.data(), static_cast<int>(content.size()));
    update.bind(2, static_cast<int64_t>(request.attempts));
    update.bind(3, NowSeconds());
    if (release) update.bind(4, 0);
    update.exec();
    return true;
  });
}

std::vector<std::shared_ptr<VireonRequest>> RequestStorage::LoadPendingRequests() {
  std::vector<std::shared_ptr<VireonRequest>> loaded;
  if (!db_) return loaded;
  constexpr const char* kFunction = "RequestStorage::LoadPendingRequests";
  StoreBoundary(kFunction, "LoadPendingRequests db error:", false, [&] {
    SQLite::Transaction transaction(*db_);
    struct Row {
      int64_t id;
      std::string event_code;
      int priority;
      int64_t attempts;
      int64_t event_time;
      std::string content;
    };
    // Read the due rows first, so the marks below never meet an open cursor
    // over the same table.
    std::vector<Row> rows;
    {
      SQLite::Statement query(*db_, BuildPendingQuery(NowSeconds()));
      while (query.executeStep()) {
        rows.push_back({query.getColumn(0).getInt64(), query.getColumn(1).getString(), query.getColumn(2).getInt(),
                        query.getColumn(3).getInt64(), query.getColumn(4).getInt64(), query.getColumn(5).getString()});
      }
    }
    SQLite::Statement mark(*db_, "UPDATE vireon_events SET running=1 WHERE id=?");
    for (const Row& row : rows) {
      ReportParams params;
      const Content content = ReadContent(row.content, &params);
      if (content != Content::kOk) {
        // A row that can never become a request would otherwise come back on
        // every load and stop the rows behind it.
        VIREON_LOG(kLogError, kFunction)
            << (content == Content::kNotJson ? "LoadPendingRequests json parse error"
                                             : "LoadPendingRequests content is not a map of strings")
            << ", row dropped, id=" << row.id;
        db_->exec("DELETE FROM vireon_events WHERE id=" + std::to_string(row.id));
        continue;
      }
      auto request = MakeVireonRequest(row.event_code, params);
      request->row_id = row.id;
      request->priority = static_cast<RequestPriority>(row.priority);
      // The count is the row's, not ours: one below 0 would wrap to billions
      // and, stored back after one failure, park the row beyond any back-off.
      request->attempts = static_cast<uint32_t>(std::clamp<int64_t>(row.attempts, 0, UINT32_MAX));
      request->event_time = row.event_time;
      loaded.push_back(request);
      mark.reset();
      mark.bind(1, row.id);
      mark.exec();
    }
    transaction.commit();
    return true;
  });
  return loaded;
}

}  // namespace vireon
