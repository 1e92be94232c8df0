#include "base/install_state_store.h"

#include <string>

#include "base/failure_boundary.h"
#include "base/path_manager.h"

namespace base {

SqliteHandle OpenInstallStateDb() {
  SqliteHandle db;
  OpenSqliteDatabase(db, PathManager::GetInstance().GetAppDataDir(AppDataDirKind::kDb) + L"\\install_states.db",
                     "CREATE TABLE IF NOT EXISTS install_states(id INTEGER PRIMARY KEY AUTOINCREMENT,package_name "
                     "varchar(256) unique,install_state TEXT)");
  return db;
}

bool SaveInstallState(const SqliteHandle& db, const nlohmann::json& notice) {
  if (!db) return false;
  return NoThrowOr(false, [&] {
    SQLite::Statement statement(*db, "REPLACE INTO install_states (package_name,install_state) VALUES (?,?)");
    statement.bind(1, notice.at("pkgname").get<std::string>());
    statement.bind(2, notice.dump());
    statement.exec();
    return true;
  });
}

}  // namespace base
