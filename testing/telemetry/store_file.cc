#include "testing/telemetry/store_file.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

#include "vireon_sdk/src/report/request_storage.h"

namespace telemetry_rig {

std::string StoreFile(const std::string& folder, const std::string& app_key) {
  return vireon::GetStorageFilePath(folder, app_key);
}

std::vector<StoredRow> ReadStore(const std::string& db_file) {
  std::vector<StoredRow> rows;
  try {
    SQLite::Database db(db_file, SQLite::OPEN_READONLY, 5000);
    if (!db.tableExists("vireon_events")) return rows;
    SQLite::Statement query(db,
                            "SELECT id, event_code, priority, report_count, event_time, event_content, "
                            "last_upload_failed_time, running FROM vireon_events ORDER BY id");
    while (query.executeStep()) {
      StoredRow row;
      row.id = query.getColumn(0).getInt64();
      row.event_code = query.getColumn(1).getString();
      row.priority = query.getColumn(2).getInt64();
      row.report_count = query.getColumn(3).getInt64();
      row.event_time = query.getColumn(4).getInt64();
      row.content = query.getColumn(5).getString();
      row.last_upload_failed_time = query.getColumn(6).getInt64();
      row.running = query.getColumn(7).getInt64();
      rows.push_back(std::move(row));
    }
  } catch (const std::exception&) {
    rows.clear();
  }
  return rows;
}

int64_t InsertStoreRow(const std::string& db_file, const StoredRow& row) {
  SQLite::Database db(db_file, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE, 5000);
  db.exec(vireon::kCreateEventsTable);
  db.exec("PRAGMA journal_mode=WAL");
  SQLite::Statement insert(db,
                           "INSERT INTO vireon_events (event_code, priority, report_count, event_time, "
                           "event_content, last_upload_failed_time, running) VALUES (?, ?, ?, ?, ?, ?, ?)");
  insert.bind(1, row.event_code);
  insert.bind(2, row.priority);
  insert.bind(3, row.report_count);
  insert.bind(4, row.event_time);
  insert.bind(5, row.content.data(), static_cast<int>(row.content.size()));
  insert.bind(6, row.last_upload_failed_time);
  insert.bind(7, row.running);
  insert.exec();
  return db.getLastInsertRowid();
}

}  // namespace telemetry_rig
