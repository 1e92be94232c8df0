// The stamped install record: reading it from the end of the installer, and
// mapping its JSON keys onto the configuration.
#include <windows.h>

#include <array>
#include <string>
#include <type_traits>

#include "base/json_number.h"
#include "base/product_log.h"
#include "base/scoped_handle.h"
#include "base/string_util.h"
#include "base/text_conversion.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/global_config/install_config_trailer.h"

namespace {

using nlohmann::json;

[[noreturn]] void ThrowType(const json& value, const char* expected) {
  throw json::type_error::create(302, std::string("type must be ") + expected + ", but is " + value.type_name(),
                                 &value);
}

// A number of any kind; a floating one is cut toward zero, and one that the
// field cannot hold is refused like a wrong type.
template <typename T>
T ToNumber(const json& value) {
  return base::JsonNumber<T>(value);
}

template <typename T>
void ReadNumber(const json& record, const char* key, std::optional<T>& field) {
  if (const auto it = record.find(key); it != record.end()) field = ToNumber<T>(*it);
}

void ReadNumberOrBool(const json& record, const char* key, std::optional<int>& field) {
  const auto it = record.find(key);
  if (it == record.end()) return;
  field = it->is_boolean() ? static_cast<int>(it->get<bool>()) : ToNumber<int>(*it);
}

void ReadText(const json& record, const char* key, std::optional<std::string>& field) {
  const auto it = record.find(key);
  if (it == record.end()) return;
  if (!it->is_string()) ThrowType(*it, "string");
  field = it->get<std::string>();
}

void ReadTextList(const json& record, const char* key, std::optional<std::vector<std::string>>& field) {
  const auto it = record.find(key);
  if (it == record.end()) return;
  if (!it->is_array()) ThrowType(*it, "array");
  std::vector<std::string> texts;
  for (const json& item : *it) {
    if (!item.is_string()) ThrowType(item, "string");
    texts.push_back(item.get<std::string>());
  }
  field = std::move(texts);
}

std::wstring OwnModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::wstring();
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    // Truncated: the installer may sit deeper than MAX_PATH.
    if (path.size() >= 32768) return std::wstring();
    path.resize(path.size() * 2);
  }
}

bool ReadAt(HANDLE file, uint64_t offset, void* buffer, DWORD size) {
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD read = 0;
  return ::ReadFile(file, buffer, size, &read, &at) && read == size;
}

}  // namespace

void ReadInstallConfig(GlobalConfig& config, const std::filesystem::path& installer) {
  base::ScopedKernelHandle file(::CreateFileW(installer.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER file_size = {};
  if (!file || !::GetFileSizeEx(file.Get(), &file_size)) {
    PRODUCT_LOG("GetFileSizeEx failed.");
    return;
  }
  const uint64_t size = static_cast<uint64_t>(file_size.QuadPart);

  std::array<uint8_t, kInstallConfigTrailerSize> trailer_bytes = {};
  if (size < kInstallConfigTrailerSize ||
      !ReadAt(file.Get(), size - kInstallConfigTrailerSize, trailer_bytes.data(), kInstallConfigTrailerSize)) {
    PRODUCT_LOG("ReadFile read magic block failed.");
    return;
  }
  const std::optional<InstallConfigTrailer> trailer = ParseInstallConfigTrailer(trailer_bytes);
  if (!trailer) {
    PRODUCT_LOG("compare magic failed.");
    return;
  }

  // The stated length is checked against the file before anything is
  // allocated: a damaged trailer must not ask for gigabytes.
  const uint64_t length = trailer->json_length;
  if (length > size - kInstallConfigTrailerSize) {
    PRODUCT_LOG("ReadFile failed.");
    return;
  }
  std::string area(length, '\0');
  if (!ReadAt(file.Get(), size - kInstallConfigTrailerSize - length, area.data(), static_cast<DWORD>(length))) {
    PRODUCT_LOG("ReadFile failed.");
    return;
  }
  if (!InstallJsonMatches(*trailer, area)) {
    PRODUCT_LOG("install json md5 mismatch");
    return;
  }
  config.install_json = InstallJsonText(area);
  config.report_json = config.install_json;
}

void ReadInstallConfig(GlobalConfig& config) { ReadInstallConfig(config, OwnModulePath()); }

void ParseInstallJson(const json& record, InstallRecord& fields) {
  if (!record.is_object()) return;
  ReadNumber(record, "channel_id", fields.channel_id);
  ReadNumber(record, "build_id", fields.build_id);
  ReadText(record, "source_trace", fields.source_trace);
  ReadText(record, "version", fields.version);
  ReadNumber(record, "client_type", fields.client_type);
  ReadText(record, "zephris_main_version", fields.zephris_main_version);
  ReadNumber(record, "app_type", fields.app_type);
  ReadText(record, "app_id", fields.app_id);
  ReadText(record, "display_name", fields.display_name);
  ReadNumberOrBool(record, "auto_start_market", fields.auto_start_market);
  ReadNumberOrBool(record, "create_desktop_link", fields.create_desktop_link);
  ReadNumberOrBool(record, "create_start_menu_link", fields.create_start_menu_link);
  ReadNumberOrBool(record, "show_tray_icon", fields.show_tray_icon);
  ReadText(record, "client_pseudo_protocol", fields.client_pseudo_protocol);
  ReadTextList(record, "carousel_image_url", fields.carousel_image_url);
  ReadNumber(record, "install_mode", fields.install_mode);
  ReadNumber(record, "pullup_type", fields.pullup_type);
  ReadNumber(record, "app_pullup_type", fields.app_pullup_type);
  ReadNumber(record, "install_priority", fields.install_priority);
  if (const auto it = record.find("report_info"); it != record.end()) fields.report_info = *it;
}

void InitInstallConfig(GlobalConfig& config) {
  if (config.cmd.exist(L"from-source")) {
    config.install_json = base::WideToUtf8(config.cmd.get<std::wstring>(L"from-source").value_or(L""));
    config.report_json = config.install_json;
  } else {
    ReadInstallConfig(config);
  }
  PRODUCT_LOG("install source: {}", config.install_json);

  try {
    InstallRecord record;
    InitConfigDefaults(record);
    ParseInstallJson(json::parse(config.install_json), record);
    static_cast<InstallRecord&>(config) = std::move(record);
  } catch (const std::exception& error) {
    PRODUCT_LOG("parse install json failed: {} raw: {}", error.what(), config.install_json);
  }

  for (const std::string& url : config.carousel_image_url.value()) config.carousel_images.push_back({url, L""});

  // The pseudo-protocol URL is the client's business: it is cut out of the
  // text that is kept in the registry and sent with web requests.
  const std::string& protocol = config.client_pseudo_protocol.value();
  if (!protocol.empty()) {
    if (const std::size_t at = config.install_json.find(protocol); at != std::string::npos) {
      config.install_json.erase(at, protocol.size());
      config.report_json = config.install_json;
    }
  }
}

void ParsePseudoProtocol(GlobalConfig& config) {
  const std::string& protocol = config.client_pseudo_protocol.value();
  if (protocol.empty()) return;
  const base::UrlQuery query = base::ParseUrlQuery(protocol);
  const auto rid = query.params.find("rid");
  config.rid = rid != query.params.end() ? rid->second : std::string();
}
