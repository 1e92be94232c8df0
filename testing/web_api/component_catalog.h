// The component list of the web API stand-in, read from a folder of component
// archives: every "*.7z" or "*.bin" file is one component, with its size and
// MD5 computed from the file and its URL under a base URL (the rig's nginx).
// An optional "components.txt" in the folder gives "file type version" per
// line; files it does not name get type 1 (client) and the default version.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace web_api {

struct CatalogEntry {
  std::string name;  // the file name without its extension
  int type = 1;
  uint64_t size = 0;
  std::string url;
  std::string md5;  // lower-case hex
  std::string version;
};

std::vector<CatalogEntry> ReadCatalog(const std::filesystem::path& folder, const std::string& url_base,
                                      const std::string& default_version);

nlohmann::json CatalogToJson(const std::vector<CatalogEntry>& entries);

}  // namespace web_api
