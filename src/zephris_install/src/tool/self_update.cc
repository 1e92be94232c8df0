#include "src/zephris_install/src/tool/self_update.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <map>
#include <memory>
#include <optional>
#include <string_view>

#include <curl/curl.h>
#include <fmt/format.h>

#include "base/command_line.h"
#include "base/json_number.h"
#include "base/process_util.h"
#include "base/product_log.h"
#include "base/system_folders.h"
#include "net/web_api_endpoint.h"
#include "net/web_request.h"
#include "report/install_report.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/tool/env_info.h"

namespace {

using nlohmann::json;

std::string g_self_update_url;
std::wstring g_new_installer_path;

// A redirect chain longer than this is not a download location.
constexpr int kMaxRedirects = 5;

struct LocalDeleter {
  void operator()(void* memory) const { LocalFree(memory); }
};

int32_t PolicyNumber(const json& data, const char* key) {
  const json& value = data.at(key);
  if (value.is_boolean()) return value.get<bool>() ? 1 : 0;
  return base::JsonNumber<int32_t>(value);
}

// The request-failure test of the web API answers.
bool AnswerFailed(const net::HttpResult& result) { return net::RequestFailed(result) || result.body.empty(); }

// A download counts only when the transfer ended cleanly with a 2xx answer:
// a 3xx that was not followed or a 1xx leave a page, not the installer.
bool DownloadSucceeded(const net::HttpResult& result) {
  return result.error_code == 0 && result.http_code >= 200 && result.http_code <= 299;
}

std::optional<std::string> HeaderValue(const std::string& header_block, std::string_view name) {
  size_t start = 0;
  while (start < header_block.size()) {
    size_t end = header_block.find('\n', start);
    if (end == std::string::npos) end = header_block.size();
    std::string_view line(header_block.data() + start, end - start);
    start = end + 1;
    if (line.size() <= name.size() || line[name.size()] != ':') continue;
    if (_strnicmp(line.data(), name.data(), name.size()) != 0) continue;
    line.remove_prefix(name.size() + 1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    return std::string(line);
  }
  return std::nullopt;
}

// The absolute URL a redirect from `from` to `location` leads to. Only web
// locations are followed, and never from https down to plain http.
std::optional<std::string> ResolveRedirect(const std::string& from, const std::string& location) {
  struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
  };
  std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
  if (!url || curl_url_set(url.get(), CURLUPART_URL, from.c_str(), 0) != CURLUE_OK ||
      curl_url_set(url.get(), CURLUPART_URL, location.c_str(), 0) != CURLUE_OK) {
    return std::nullopt;
  }
  char* scheme = nullptr;
  char* full = nullptr;
  std::optional<std::string> target;
  if (curl_url_get(url.get(), CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
      curl_url_get(url.get(), CURLUPART_URL, &full, 0) == CURLUE_OK) {
    const std::string_view s(scheme);
    const bool from_https = _strnicmp(from.c_str(), "https:", 6) == 0;
    if (s == "https" || (s == "http" && !from_https)) target = full;
  }
  curl_free(scheme);
  curl_free(full);
  return target;
}

// libcurl's download, following the redirects of a download location (a
// mirror or a content network) itself.
net::HttpResult CurlDownloadFollowing(const std::string& url, const std::wstring& path) {
  std::string current = url;
  net::HttpResult result;
  for (int hop = 0; hop <= kMaxRedirects; ++hop) {
    result = net::CurlDownload(current, path);
    if (result.error_code != 0 || result.http_code < 300 || result.http_code > 399) return result;
    const std::optional<std::string> location = HeaderValue(result.header, "Location");
    const std::optional<std::string> next = location ? ResolveRedirect(current, *location) : std::nullopt;
    if (!next) {
      PRODUCT_LOG("redirect not followed, http_code: {}", result.http_code);
      return result;
    }
    current = *next;
  }
  PRODUCT_LOG("too many redirects");
  return result;
}

bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A leftover file of that name goes before the download; when the
// check itself fails for another reason than absence, nothing is deleted.
void DeleteLeftover(const std::wstring& path) {
  if (PathExists(path)) {
    DeleteFileW(path.c_str());
  }
}

}  // namespace

// Administrators and the system own and write the folder; users may only
// read and run what is in it. Protected, so nothing of the parent leaks in.
extern const wchar_t kSelfUpdateDirSddl[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

void SelfUpdatePolicyFromJson(const json& json, SelfUpdatePolicy& policy) {
  policy.need_update = PolicyNumber(json, "need_update");
  policy.policy_id = PolicyNumber(json, "policy_id");
  policy.supply_id = PolicyNumber(json, "supply_id");
  policy.download_url = json.at("download_url").get<std::string>();
}

std::string BuildSelfUpdateRequest() {
  const GlobalConfig& config = GlobalConfig::Instance();
  json env_info;
  EnvInfoToJson(env_info, GetEnvInfo());
  const json body = {{"env_info", std::move(env_info)},
                     {"report_data", config.report_json},
                     {"version", config.version.value_or("1.0.0.0")}};
  return body.dump();
}

bool IsNeedSelfUpdate() {
  std::string body;
  try {
    body = BuildSelfUpdateRequest();
  } catch (const json::exception& e) {
    // Start-up goes on with this installer; there is nothing to ask with.
    PRODUCT_LOG("request not serialisable, message: {}", e.what());
    return false;
  }
  const std::string url = net::WebApiUrl(net::kPathDownloaderPolicy);
  net::HttpResult result = net::CurlPostSigned(url, body);
  if (AnswerFailed(result)) result = net::WinHttpPostSigned(url, body);
  if (AnswerFailed(result)) {
    PRODUCT_LOG("http request fail, error_code: {}, http_code: {}", result.error_code, result.http_code);
    return false;
  }
  try {
    const json answer = json::parse(result.body);
    const json msg = answer.is_object() && answer.contains("msg") ? answer.at("msg") : json();
    if (msg.get<std::string>() != "SUCCESS") return false;
    const json data = answer.contains("data") ? answer.at("data") : json();
    SelfUpdatePolicy policy;
    SelfUpdatePolicyFromJson(data, policy);
    g_self_update_url = policy.download_url;
    return policy.need_update == 1;
  } catch (const json::exception& e) {
    PRODUCT_LOG("json parse fail, message: {}", e.what());
    return false;
  }
}

std::wstring PrepareSelfUpdateDir() {
  const std::optional<std::wstring> program_files = base::GetFolderPath(CSIDL_PROGRAM_FILES);
  if (!program_files) {
    PRODUCT_LOG("no program files folder");
    return {};
  }
  const std::wstring maker = *program_files + L"\\Orvalis";
  const std::wstring dir = maker + L"\\InstallerUpdate";
  // The maker's folder inherits the program files folder's access list,
  // which lets only administrators write.
  base::EnsureDirectory(maker);

  PSECURITY_DESCRIPTOR raw = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kSelfUpdateDirSddl, SDDL_REVISION_1, &raw, nullptr)) {
    PRODUCT_LOG("security descriptor fail, error: {}", GetLastError());
    return {};
  }
  std::unique_ptr<void, LocalDeleter> descriptor(raw);
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.get(), FALSE};
  if (CreateDirectoryW(dir.c_str(), &attributes)) return dir;
  if (GetLastError() != ERROR_ALREADY_EXISTS) {
    PRODUCT_LOG("create update folder fail, error: {}", GetLastError());
    return {};
  }
  // Someone made it before: it must be a plain folder, and it gets our owner
  // and access list again, whatever it had.
  const DWORD found = GetFileAttributesW(dir.c_str());
  if (found == INVALID_FILE_ATTRIBUTES || !(found & FILE_ATTRIBUTE_DIRECTORY) ||
      (found & FILE_ATTRIBUTE_REPARSE_POINT)) {
    PRODUCT_LOG("update folder refused, attributes: {:#x}", found);
    return {};
  }
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  PSID owner = nullptr;
  if (!GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted) ||
      !GetSecurityDescriptorOwner(descriptor.get(), &owner, &defaulted)) {
    PRODUCT_LOG("security descriptor fail, error: {}", GetLastError());
    return {};
  }
  std::wstring name = dir;
  const DWORD error =
      SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT,
                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                            owner, nullptr, dacl, nullptr);
  if (error != ERROR_SUCCESS) {
    PRODUCT_LOG("update folder access fail, error: {}", error);
    return {};
  }
  return dir;
}

bool Update() {
  g_new_installer_path.clear();
  const std::wstring dir = PrepareSelfUpdateDir();
  if (dir.empty()) return false;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  // 100-nanosecond units since 1970 (the file time counts from 1601).
  const uint64_t since_1601 = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  const uint64_t since_1970 = since_1601 - 116444736000000000ull;
  const std::wstring path = dir + L"\\zephris_installer_" + std::to_wstring(since_1970 % 10000) + L".exe";
  // The file grows under another name: a transfer that breaks off leaves
  // nothing that could be started as the installer.
  const std::wstring partial = path + L".part";
  DeleteLeftover(path);
  DeleteLeftover(partial);

  net::HttpResult result = CurlDownloadFollowing(g_self_update_url, partial);
  if (!DownloadSucceeded(result)) {
    DeleteLeftover(partial);
    result = net::WinHttpDownload(g_self_update_url, partial);
  }
  if (!DownloadSucceeded(result)) {
    DeleteLeftover(partial);
    PRODUCT_LOG("http download fail, error_code: {}, http_code: {}", result.error_code, result.http_code);
    return false;
  }
  if (!MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    PRODUCT_LOG("move of the download fail, error: {}", GetLastError());
    DeleteLeftover(partial);
    return false;
  }
  g_new_installer_path = path;
  return true;
}

bool StartNewInstaller() {
  if (g_new_installer_path.empty()) return false;
  const std::map<std::string, std::string> options = {{"disable-self-update", "1"}};
  return base::ShellRunAndWait(g_new_installer_path, base::BuildOptionsCommandLine(options), false, L"",
                               SW_SHOWNORMAL) == 0;
}

const std::string& SelfUpdateUrl() { return g_self_update_url; }
const std::wstring& NewInstallerPath() { return g_new_installer_path; }
