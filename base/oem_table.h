// The OEM channels' cache of component lists: a configuration table in its
// own file ("OTable.db" in the product's database folder), one row per channel.
#pragma once

#include <cstdint>
#include <optional>

#include "base/client_update_info.h"
#include "base/config_table.h"

namespace oem {

class OemTable : public config_table::ConfigTable {
 public:
  // `cipher_key`: the device identifier, as for every configuration table.
  explicit OemTable(std::string cipher_key);

  // Empty when the channel has no row or its text is not a valid list.
  std::optional<data::ClientUpdateInfo> GetClientUpdateInfo(uint64_t channel_id) const;
  void SetClientUpdateInfo(uint64_t channel_id, const data::ClientUpdateInfo& info);
};

}  // namespace oem
