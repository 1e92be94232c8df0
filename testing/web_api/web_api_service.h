// The loopback stand-in of the product's web API: the signed JSON endpoints
// of the installer (client update, downloader policy, recall, app detail) and
// the multipart log upload, over HTTPS. Every signed request is checked the
// way the installer signs it; a bad one gets 401 with a JSON error answer.
//
// Test modes turn a signed endpoint's answer into a failure the installer has
// to survive. A mode applies to one request when its URL carries
// "ql_mode=<mode>", or to every request after "POST /_rig/mode?mode=<mode>"
// ("none" switches back).
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

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

  ServiceOptions options_;
  std::unique_ptr<httplib::Server> server_;
  std::atomic<TestMode> mode_{TestMode::kNone};
  std::mutex upload_mutex_;
  int upload_count_ = 0;
};

}  // namespace web_api
