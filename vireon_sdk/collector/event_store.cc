#include "vireon_sdk/collector/event_store.h"

#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>

#include <nlohmann/json.hpp>
#include <ostream>

namespace vireon::collector {
namespace {

constexpr char kSchema[] =
    "CREATE TABLE IF NOT EXISTS events("
    "id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "log_id TEXT UNIQUE,"
    "app_key TEXT NOT NULL,"
    "event_code TEXT NOT NULL,"
    "event_time INTEGER NOT NULL,"
    "params TEXT NOT NULL,"
    "session_key TEXT NOT NULL,"
    "deliveries INTEGER NOT NULL DEFAULT 1,"
    "received_at INTEGER NOT NULL)";

// SQLiteCpp and nlohmann-json report failures by throwing; each store
// operation stops them here and answers false with the reason.
template <typename Body>
bool Boundary(std::string* error, Body&& body) {
  try {
    body();
    return true;
  } catch (const std::exception& e) {
    if (error != nullptr) *error = e.what();
  } catch (...) {
    if (error != nullptr) *error = "unknown failure";
  }
  return false;
}

std::string ParamsJson(const TextPairs& params) {
  nlohmann::json object = nlohmann::json::object();
  for (const auto& [key, value] : params) object[key] = value;
  return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

std::unique_ptr<EventStore> EventStore::Open(const std::string& path, std::string* error) {
  std::unique_ptr<EventStore> store;
  Boundary(error, [&] {
    auto db = std::make_unique<SQLite::Database>(path, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE, 5000);
    db->exec("PRAGMA journal_mode=WAL");
    db->exec(kSchema);
    store.reset(new EventStore(std::move(db)));
  });
  return store;
}

bool EventStore::Store(const UnpackedRequest& request, int64_t received_at_ms, int* added, int* repeated,
                       std::string* error) {
  *added = 0;
  *repeated = 0;
  std::lock_guard<std::mutex> lock(mutex_);
  int new_rows = 0, old_rows = 0;
  const bool ok = Boundary(error, [&] {
    SQLite::Transaction transaction(*db_);
    SQLite::Statement insert(*db_,
                             "INSERT OR IGNORE INTO events(log_id, app_key, event_code, event_time, params, "
                             "session_key, received_at) VALUES(?, ?, ?, ?, ?, ?, ?)");
    SQLite::Statement again(*db_, "UPDATE events SET deliveries = deliveries + 1 WHERE log_id = ?");
    for (const auto& event : request.events) {
      std::string log_id;
      for (const auto& [key, value] : event.params) {
        if (key == "log_id") log_id = value;
      }
      insert.reset();
      insert.clearBindings();
      if (log_id.empty()) {
        insert.bind(1);  // NULL: events without a log id are never merged
      } else {
        insert.bind(1, log_id);
      }
      insert.bind(2, request.app_key);
      insert.bind(3, event.event_code);
      insert.bind(4, event.event_time);
      insert.bind(5, ParamsJson(event.params));
      insert.bind(6, request.default_key ? "default" : "session");
      insert.bind(7, received_at_ms);
      if (insert.exec() == 1) {
        ++new_rows;
        continue;
      }
      again.reset();
      again.bind(1, log_id);
      again.exec();
      ++old_rows;
    }
    transaction.commit();
  });
  if (ok) {
    *added = new_rows;
    *repeated = old_rows;
  }
  return ok;
}

bool EventStore::Dump(const std::string& path, std::ostream& out, std::string* error) {
  return Boundary(error, [&] {
    SQLite::Database db(path, SQLite::OPEN_READONLY, 5000);
    SQLite::Statement rows(db,
                           "SELECT id, log_id, app_key, event_code, event_time, params, session_key, deliveries, "
                           "received_at FROM events ORDER BY id");
    while (rows.executeStep()) {
      nlohmann::json line = {
          {"id", rows.getColumn(0).getInt64()},
          {"log_id", rows.getColumn(1).isNull() ? nlohmann::json(nullptr) : nlohmann::json(rows.getColumn(1).getString())},
          {"app_key", rows.getColumn(2).getString()},
          {"event_code", rows.getColumn(3).getString()},
          {"event_time", rows.getColumn(4).getInt64()},
          {"params", nlohmann::json::parse(rows.getColumn(5).getString())},
          {"session_key", rows.getColumn(6).getString()},
          {"deliveries", rows.getColumn(7).getInt64()},
          {"received_at", rows.getColumn(8).getInt64()},
      };
      out << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    }
    out.flush();
  });
}

}  // namespace vireon::collector
