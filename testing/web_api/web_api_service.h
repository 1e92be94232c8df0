// The loopback stand-in of the product's web API: the signed JSON endpoints
// of the installer (client update, downloader policy, recall, app detail) and
// the multipart log upload, over HTTPS. Every signed request is checked the
// way the installer signs it; a bad one gets 401 with a JSON error answer.
//
// Test modes turn a signed endpoint's answer into a failure the installer has
// to survive. A mode applies to one request when its URL carries
// "ql_mode=<mode>", or to every request after "POST /_rig/mode?mode=<mode>"
// ("none" switches back). "POST /_rig/mode?mode=<mode>&match=<text>" applies
// the mode only to requests whose body holds <text>: a test that marks its
// requests (a package name, a scene) then changes nothing for the tests that
// share the service with it.
//
// The log upload is matched on its remote path: "server_error" (or
// "server_error_once") refuses it with 503 and keeps nothing.
//
// Also for tests, and matched the same way: "POST /_rig/answer?match=<text>"
// makes its own body the answer (HTTP 200) to such requests, so a client's
// handling of odd answer shapes can be shown over the wire (an empty body
// ends it); "POST /_rig/requests?path=<path>&match=<text>" tells how many
// signed requests of that path holding <text> arrived, with their bodies.
//
// Files to download (a newer installer, say), unsigned like any download:
// "POST /_rig/file?name=<name>" keeps its body under that name (an empty body
// removes it), "GET /_rig/file/<name>" serves it, with "?status=<code>" that
// status and a short text page instead, with "?truncate=1" its full length
// announced and only half of it sent; "GET /_rig/redirect?to=<path>"
// answers 302 with <path> as the location.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace httplib {
class Server;
}

namespace web_api {

enum class TestMode {
  kNone,
  kServerError,      // 503 with a JSON body
  kNotJson,          // 200 with an HTML page
  kErrorCode,        // 200, "code" 1001
  kEmptyComponents,  // the client update lists no component
  kSlow,             // the normal answer after `slow_ms`
  kRedirect,         // 302 to the same path, empty body
  kServerErrorOnce,  // 503 once, then the mode ends (a client's fallback then gets through)
};

bool ParseTestMode(const std::string& text, TestMode& mode);

struct ServiceOptions {
  std::string cert_file;
  std::string key_file;
  std::filesystem::path components;  // folder of component archives
  std::string component_url_base;    // where nginx serves that folder
  std::string version = "1.0.0.1";
  std::filesystem::path state;       // uploads are kept under state/uploads
  uint64_t max_skew_ms = 5 * 60 * 1000;
  int slow_ms = 3000;
  std::string installer_url;  // the downloader policy's "download_url"; none: no update
};

class WebApiService {
 public:
  explicit WebApiService(ServiceOptions options);
  ~WebApiService();
  WebApiService(const WebApiService&) = delete;
  WebApiService& operator=(const WebApiService&) = delete;

  // False when the certificate or key cannot be loaded.
  bool Valid() const;
  // Binds to the port on 127.0.0.1; 0 picks a free one. Returns the port or -1.
  int Bind(int port);
  // Serves until Stop().
  void Serve();
  void Stop();

 private:
  void Install();
  std::string NextUploadBase();
  // What the rig set for a request body: the matched test mode and answer.
  // A "server_error_once" mode ends with the request that met it.
  std::optional<TestMode> MatchedMode(const std::string& body);
  std::optional<std::string> MatchedAnswer(const std::string& body);
  void RecordRequest(const std::string& path, const std::string& body);

  ServiceOptions options_;
  std::unique_ptr<httplib::Server> server_;
  std::atomic<TestMode> mode_{TestMode::kNone};
  std::mutex upload_mutex_;
  int upload_count_ = 0;
  std::mutex rig_mutex_;  // guards the three lists below
  std::vector<std::pair<std::string, TestMode>> matched_modes_;
  std::vector<std::pair<std::string, std::string>> matched_answers_;
  std::vector<std::pair<std::string, std::string>> received_;  // path, body of accepted signed requests
  std::vector<std::pair<std::string, std::string>> files_;     // name, bytes
};

}  // namespace web_api
