#include "base/sqlite_database.h"

#include <sqlite3.h>

#include <cmath>
#include <filesystem>
#include <system_error>

#include "base/text_conversion.h"

namespace base {
namespace {

void SqlPower(sqlite3_context* context, int argc, sqlite3_value** argv) {
  sqlite3_result_double(context, std::pow(sqlite3_value_double(argv[0]), sqlite3_value_double(argv[1])));
}

}  // namespace

void RegisterSqlPower(SQLite::Database& db) {
  sqlite3_create_function(db.getHandle(), "POWER", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, &SqlPower,
                          nullptr, nullptr);
}

void OpenSqliteDatabase(SqliteHandle& db, const std::wstring& path, const std::string& create_statement) {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  db.reset();
  try {
    db = std::make_shared<SQLite::Database>(WideToUtf8(path), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE,
                                            kSqliteBusyTimeoutMs);
    RegisterSqlPower(*db);
    db->exec(create_statement);
    db->exec("PRAGMA journal_mode=WAL;PRAGMA synchronous=FULL;");
  } catch (...) {
    db.reset();
  }
}

}  // namespace base
