// The install-state database ("install_states.db" in the product's database
// folder): the latest app-install notice of each package, as JSON text, so
// that a process started later still finds the last state of an install.
#pragma once

#include <nlohmann/json.hpp>

#include "base/sqlite_database.h"

namespace base {

// The caller opens the database for each notice, saves, and lets it go.
SqliteHandle OpenInstallStateDb();

// Stores the notice's compact JSON text under its package name ("pkgname"),
// replacing that package's earlier state. False for an empty handle, a
// notice without a package name, or a failed write.
bool SaveInstallState(const SqliteHandle& db, const nlohmann::json& notice);

}  // namespace base
