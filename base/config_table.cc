#include "base/config_table.h"

#include <string>
#include <utility>

#include "base/failure_boundary.h"
#include "base/product_log.h"
#include "base/xxtea.h"

namespace config_table {
namespace {

constexpr char kCreateStatement[] =
    "CREATE TABLE IF NOT EXISTS configs(id INTEGER PRIMARY KEY AUTOINCREMENT,key varchar(256) unique,value "
    "TEXT,encrypt int,json_data TEXT)";

// The cipher stretches a key text with zeros, so an empty one would encrypt
// under an all-zero key that anyone can read back.
bool IsUsableKey(const std::string& key) { return !key.empty() && key[0] != '\0'; }

}  // namespace

ConfigTable::ConfigTable(const std::wstring& path, std::string cipher_key) : cipher_key_(std::move(cipher_key)) {
  base::OpenSqliteDatabase(db_, path, kCreateStatement);
}

bool ConfigTable::Set(const ConfigTableRow& row) {
  if (!db_) return false;
  if (row.encrypt != 0 && !IsUsableKey(cipher_key_)) {
    PRODUCT_LOG("refused to store {}: no cipher key for its encrypted data", row.key);
    return false;
  }
  return base::NoThrowOr(false, [&] {
    SQLite::Statement statement(*db_, "REPLACE INTO configs (key,value,encrypt,json_data) VALUES (?,?,?,?)");
    statement.bind(1, row.key);
    statement.bind(2, row.value);
    statement.bind(3, row.encrypt);
    // The cipher refuses empty input, so an empty json_data is stored empty.
    statement.bind(4, row.encrypt != 0 ? base::XxteaBase64Encrypt(cipher_key_, row.json_data) : row.json_data);
    statement.exec();
    return true;
  });
}

std::optional<ConfigTableRow> ConfigTable::Get(std::string_view key) const {
  if (!db_ || key.empty()) return std::nullopt;
  return base::NoThrowOr(std::optional<ConfigTableRow>(), [&]() -> std::optional<ConfigTableRow> {
    SQLite::Statement statement(*db_, "SELECT * FROM configs where key=?");
    statement.bind(1, std::string(key));
    if (!statement.executeStep()) return std::nullopt;
    return ReadRow(statement);
  });
}

void ConfigTable::Remove(std::string_view key) {
  if (!db_ || key.empty()) return;
  base::NoThrowOr(0, [&] {
    SQLite::Statement statement(*db_, "DELETE FROM configs where key=?");
    statement.bind(1, std::string(key));
    return statement.exec();
  });
}

ConfigTableRow ConfigTable::ReadRow(SQLite::Statement& statement) const {
  ConfigTableRow row;
  row.key = statement.getColumn(1).getString();
  row.value = statement.getColumn(2).getString();
  row.encrypt = statement.getColumn(3).getInt() != 0 ? 1 : 0;
  row.json_data = statement.getColumn(4).getString();
  if (row.encrypt == 1) {
    row.json_data = IsUsableKey(cipher_key_) ? base::XxteaBase64Decrypt(cipher_key_, row.json_data) : std::string();
  }
  return row;
}

}  // namespace config_table
