// A key/value table in a local SQLite file. One column, `json_data`, may be
// kept encrypted (XXTEA and Base64) under a key text; in memory it is always
// plain. The product's key text is the device identifier
// (`VireonClient::VireonDeviceId`), which the owner of the table passes in:
// the base library sits below the telemetry SDK that makes the identifier.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/sqlite_database.h"

namespace config_table {

struct ConfigTableRow {
  std::string key;
  std::string value;
  int32_t encrypt = 0;  // non-zero: json_data is stored encrypted
  std::string json_data;
};

class ConfigTable : public base::SqliteDatabase<ConfigTableRow> {
 public:
  // An empty `cipher_key` (or one whose first byte is zero) is refused for
  // encrypted data: such rows are not stored, and stored ones read back with
  // an empty json_data. Plain rows work as usual.
  ConfigTable(const std::wstring& path, std::string cipher_key);

  // Replaces the row of the same key (which then gets a new id).
  bool Set(const ConfigTableRow& row);
  std::optional<ConfigTableRow> Get(std::string_view key) const;
  void Remove(std::string_view key);

 protected:
  // A stored json_data that does not decrypt reads back as empty text; the
  // row itself is still returned.
  ConfigTableRow ReadRow(SQLite::Statement& statement) const override;

 private:
  std::string cipher_key_;
};

}  // namespace config_table
