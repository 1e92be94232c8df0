// The common ground of the local SQLite stores: one routine that opens a
// database the way every store wants it, and the base class that holds the
// shared connection.
#pragma once

#include <memory>
#include <string>

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace base {

using SqliteHandle = std::shared_ptr<SQLite::Database>;

// How long a statement waits for another connection's lock before it gives
// up. Installer, store and client processes share these files; without a wait
// a write that meets a reader's lock would be lost silently.
inline constexpr int kSqliteBusyTimeoutMs = 5000;

// Opens (creating it and its folder when missing) the database at `path`,
// runs `create_statement`, and sets WAL journaling with full synchronous
// writes. `db` is left empty when any of this fails.
void OpenSqliteDatabase(SqliteHandle& db, const std::wstring& path, const std::string& create_statement);

// Registers the SQL function POWER(x, y): x raised to y, both taken as doubles.
void RegisterSqlPower(SQLite::Database& db);

// A table kept in one SQLite file. The connection is shared, so it closes
// with its last holder; it is empty when the file could not be opened, and
// every operation then answers with its failure value.
template <typename Row>
class SqliteDatabase {
 public:
  virtual ~SqliteDatabase() = default;

  const SqliteHandle& handle() const { return db_; }

 protected:
  SqliteDatabase() = default;

  // The table's row record from the statement's current row.
  virtual Row ReadRow(SQLite::Statement& statement) const = 0;

  SqliteHandle db_;
};

}  // namespace base
