#include "base/oem_table.h"

#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include "base/failure_boundary.h"
#include "base/path_manager.h"

namespace oem {
namespace {

std::wstring OemTablePath() {
  return base::PathManager::GetInstance().GetAppDataDir(base::AppDataDirKind::kDb) + L"\\OTable.db";
}

std::string RowKey(uint64_t channel_id) { return fmt::format("oem.channel.client_update_info.{}", channel_id); }

}  // namespace

OemTable::OemTable(std::string cipher_key) : ConfigTable(OemTablePath(), std::move(cipher_key)) {}

std::optional<data::ClientUpdateInfo> OemTable::GetClientUpdateInfo(uint64_t channel_id) const {
  const std::optional<config_table::ConfigTableRow> row = Get(RowKey(channel_id));
  if (!row) return std::nullopt;
  return base::NoThrowOr(std::optional<data::ClientUpdateInfo>(), [&] {
    data::ClientUpdateInfo info;
    data::ClientUpdateInfoFromJson(nlohmann::json::parse(row->value), info);
    return std::optional<data::ClientUpdateInfo>(std::move(info));
  });
}

void OemTable::SetClientUpdateInfo(uint64_t channel_id, const data::ClientUpdateInfo& info) {
  base::NoThrowOr(false, [&] {
    return Set({RowKey(channel_id), data::ClientUpdateInfoToJson(info).dump(), 0, std::string()});
  });
}

}  // namespace oem
