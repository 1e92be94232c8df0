// The collector's SQLite file of received events, one row per event,
// deduplicated by the event's "log_id" parameter (a retry of a delivered
// event only raises the row's delivery count).
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>

#include <SQLiteCpp/Database.h>

#include "vireon_sdk/src/report/request_unpacking.h"

namespace vireon::collector {

class EventStore {
 public:
  static std::unique_ptr<EventStore> Open(const std::string& path, std::string* error);

  // Stores every event of the request. `added` counts new rows, `repeated`
  // events whose log id was already there. Safe from several threads.
  bool Store(const UnpackedRequest& request, int64_t received_at_ms, int* added, int* repeated,
             std::string* error);

  // Writes each stored event as one JSON object per line, in arrival order.
  static bool Dump(const std::string& path, std::ostream& out, std::string* error);

 private:
  explicit EventStore(std::unique_ptr<SQLite::Database> db) : db_(std::move(db)) {}

  std::mutex mutex_;
  std::unique_ptr<SQLite::Database> db_;
};

}  // namespace vireon::collector
