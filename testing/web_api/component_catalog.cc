#include "testing/web_api/component_catalog.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "base/md5.h"

namespace web_api {
namespace {

std::string FileMd5(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  base::Md5Context md5;
  std::vector<char> buffer(1 << 20);
  while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0)
    md5.Update(buffer.data(), static_cast<size_t>(in.gcount()));
  const auto digest = md5.Final();
  std::string hex = base::BytesToHex(digest.data(), digest.size());
  std::transform(hex.begin(), hex.end(), hex.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return hex;
}

}  // namespace

// A real service knows its archives' digests; hashing every archive on every
// request would make the stand-in, not the client, the slow side of an
// install. A digest is kept while the file keeps its size and time.
std::string CachedFileMd5(const std::filesystem::path& path, uint64_t size) {
  struct Known {
    uint64_t size;
    std::filesystem::file_time_type time;
    std::string md5;
  };
  static std::mutex mutex;
  static std::map<std::string, Known> known;
  std::error_code ec;
  const auto time = std::filesystem::last_write_time(path, ec);
  {
    std::lock_guard lock(mutex);
    auto it = known.find(path.string());
    if (!ec && it != known.end() && it->second.size == size && it->second.time == time) return it->second.md5;
  }
  std::string md5 = FileMd5(path);
  if (!ec) {
    std::lock_guard lock(mutex);
    known[path.string()] = {size, time, md5};
  }
  return md5;
}

std::vector<CatalogEntry> ReadCatalog(const std::filesystem::path& folder, const std::string& url_base,
                                      const std::string& default_version) {
  std::map<std::string, std::pair<int, std::string>> listed;  // file -> type, version
  if (std::ifstream list(folder / "components.txt"); list) {
    std::string line;
    while (std::getline(list, line)) {
      std::istringstream fields(line);
      std::string file, version;
      int type = 1;
      if (fields >> file >> type >> version) listed[file] = {type, version};
    }
  }

  std::vector<CatalogEntry> entries;
  std::error_code ec;
  // The folder is shared with the rigs that make archives: a file may be
  // replaced or removed while it is listed, and is then left out of this list.
  for (const auto& item : std::filesystem::directory_iterator(folder, ec)) {
    const auto ext = item.path().extension().string();
    std::error_code file_ec;
    if (!item.is_regular_file(file_ec) || (ext != ".7z" && ext != ".bin")) continue;
    const uint64_t size = item.file_size(file_ec);
    if (file_ec) continue;
    const std::string file = item.path().filename().string();
    CatalogEntry entry;
    entry.name = item.path().stem().string();
    entry.size = size;
    entry.url = url_base + "/" + file;
    entry.md5 = CachedFileMd5(item.path(), entry.size);
    entry.version = default_version;
    if (auto it = listed.find(file); it != listed.end()) {
      entry.type = it->second.first;
      entry.version = it->second.second;
    }
    entries.push_back(std::move(entry));
  }
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  return entries;
}

nlohmann::json CatalogToJson(const std::vector<CatalogEntry>& entries) {
  nlohmann::json list = nlohmann::json::array();
  for (const auto& e : entries)
    list.push_back({{"size", e.size}, {"type", e.type}, {"name", e.name}, {"url", e.url}, {"md5", e.md5},
                    {"version", e.version}});
  return list;
}

}  // namespace web_api
