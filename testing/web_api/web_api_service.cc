#include "testing/web_api/web_api_service.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "net/signing/request_signing.h"
#include "testing/web_api/component_catalog.h"

namespace web_api {
namespace {

using nlohmann::json;

constexpr const char* kJson = "application/json; charset=utf-8";

uint64_t NowMs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::system_clock::now().time_since_epoch())
                                   .count());
}

void Answer(httplib::Response& res, int status, const json& body) {
  res.status = status;
  res.set_content(body.dump(), kJson);
}

void Refuse(httplib::Response& res, int status, const std::string& message) {
  Answer(res, status, {{"code", status}, {"msg", message}, {"data", nullptr}});
}

json Success(json data) { return {{"code", 0}, {"msg", "SUCCESS"}, {"data", std::move(data)}}; }

}  // namespace

bool ParseTestMode(const std::string& text, TestMode& mode) {
  static const std::pair<const char*, TestMode> kModes[] = {
      {"none", TestMode::kNone},         {"server_error", TestMode::kServerError},
      {"not_json", TestMode::kNotJson},  {"error_code", TestMode::kErrorCode},
      {"empty_components", TestMode::kEmptyComponents},
      {"slow", TestMode::kSlow},         {"redirect", TestMode::kRedirect},
      {"server_error_once", TestMode::kServerErrorOnce},
  };
  for (const auto& [name, value] : kModes) {
    if (text == name) {
      mode = value;
      return true;
    }
  }
  return false;
}

WebApiService::WebApiService(ServiceOptions options) : options_(std::move(options)) {
  server_ = std::make_unique<httplib::SSLServer>(options_.cert_file.c_str(), options_.key_file.c_str());
  Install();
}

WebApiService::~WebApiService() = default;

bool WebApiService::Valid() const { return server_->is_valid(); }

int WebApiService::Bind(int port) {
  if (port == 0) return server_->bind_to_any_port("127.0.0.1");
  return server_->bind_to_port("127.0.0.1", port) ? port : -1;
}

void WebApiService::Serve() { server_->listen_after_bind(); }

void WebApiService::Stop() { server_->stop(); }

std::string WebApiService::NextUploadBase() {
  std::lock_guard lock(upload_mutex_);
  char name[16];
  std::snprintf(name, sizeof name, "%04d", ++upload_count_);
  return name;
}

namespace {

// Replaces the entry of `match` with `value`, or removes it when `value` is
// unset.
template <typename T>
void SetMatched(std::vector<std::pair<std::string, T>>& list, const std::string& match, std::optional<T> value) {
  std::erase_if(list, [&match](const auto& entry) { return entry.first == match; });
  if (value) list.emplace_back(match, std::move(*value));
}

template <typename T>
std::optional<T> FindMatched(const std::vector<std::pair<std::string, T>>& list, const std::string& body) {
  for (const auto& [match, value] : list) {
    if (body.find(match) != std::string::npos) return value;
  }
  return std::nullopt;
}

}  // namespace

std::optional<TestMode> WebApiService::MatchedMode(const std::string& body) {
  std::lock_guard lock(rig_mutex_);
  for (auto it = matched_modes_.begin(); it != matched_modes_.end(); ++it) {
    if (body.find(it->first) == std::string::npos) continue;
    const TestMode mode = it->second;
    if (mode == TestMode::kServerErrorOnce) matched_modes_.erase(it);
    return mode;
  }
  return std::nullopt;
}

std::optional<std::string> WebApiService::MatchedAnswer(const std::string& body) {
  std::lock_guard lock(rig_mutex_);
  return FindMatched(matched_answers_, body);
}

void WebApiService::RecordRequest(const std::string& path, const std::string& body) {
  std::lock_guard lock(rig_mutex_);
  received_.emplace_back(path, body);
}

void WebApiService::Install() {
  auto& server = *server_;

  // A signed endpoint: check the signature, apply the test mode, then let
  // `answer` build the data from the parsed body.
  auto signed_endpoint = [this](std::function<json(const json& body)> answer) {
    return [this, answer](const httplib::Request& req, httplib::Response& res) {
      const auto header = [&req](std::string_view name) -> std::optional<std::string> {
        const std::string key(name);
        if (!req.has_header(key)) return std::nullopt;
        return req.get_header_value(key);
      };
      const auto check = net::CheckSignedRequest(header, req.body, NowMs(), options_.max_skew_ms);
      if (check != net::SignatureCheck::kValid) {
        std::fprintf(stderr, "web_api: %s refused: %s\n", req.path.c_str(), net::SignatureCheckName(check));
        Refuse(res, 401, net::SignatureCheckName(check));
        return;
      }
      RecordRequest(req.path, req.body);
      TestMode mode = mode_.load();
      if (mode == TestMode::kServerErrorOnce) {
        TestMode once = TestMode::kServerErrorOnce;
        if (!mode_.compare_exchange_strong(once, TestMode::kNone)) mode = mode_.load();
      }
      if (const auto matched = MatchedMode(req.body)) mode = *matched;
      if (req.has_param("ql_mode") && !ParseTestMode(req.get_param_value("ql_mode"), mode)) {
        Refuse(res, 400, "unknown test mode");
        return;
      }
      switch (mode) {
        case TestMode::kServerError:
        case TestMode::kServerErrorOnce:
          Refuse(res, 503, "service unavailable (test mode)");
          return;
        case TestMode::kNotJson:
          res.status = 200;
          res.set_content("<html><body>maintenance</body></html>", "text/html");
          return;
        case TestMode::kErrorCode:
          Answer(res, 200, {{"code", 1001}, {"msg", "FAILED"}, {"data", nullptr}});
          return;
        case TestMode::kRedirect:
          res.status = 302;
          res.set_header("Location", req.path);
          return;
        case TestMode::kSlow:
          std::this_thread::sleep_for(std::chrono::milliseconds(options_.slow_ms));
          break;
        case TestMode::kNone:
        case TestMode::kEmptyComponents:
          break;
      }
      if (const auto scripted = MatchedAnswer(req.body)) {
        res.status = 200;
        res.set_content(*scripted, kJson);
        return;
      }
      json body = json::parse(req.body, nullptr, false);
      if (!body.is_object()) {
        Refuse(res, 400, "request body is not a JSON object");
        return;
      }
      try {
        json data = answer(body);
        if (mode == TestMode::kEmptyComponents && data.contains("components"))
          data["components"] = json::array();
        Answer(res, 200, data.contains("code") ? data : Success(std::move(data)));
      } catch (const std::exception& e) {
        Refuse(res, 400, e.what());
      }
    };
  };

  server.Post("/v3/tuvo_client_update", signed_endpoint([this](const json&) {
                return json{{"version", options_.version},
                            {"exp_id", ""},
                            {"components", CatalogToJson(ReadCatalog(options_.components,
                                                                     options_.component_url_base,
                                                                     options_.version))}};
              }));

  server.Post("/v3/tuvo_get_downloader_policy", signed_endpoint([this](const json& body) {
                const bool update = !options_.installer_url.empty();
                return json{{"need_update", update ? 1 : 0},
                            {"policy_id", 1},
                            {"supply_id", 1},
                            {"download_url", options_.installer_url}};
              }));

  server.Post("/v3/tuvo_recall", signed_endpoint([](const json& body) {
                const std::string cmd = body.at("reqHead").at("cmd").get<std::string>();
                json field;
                if (cmd == "RecallBbsFeedbackCfg") {
                  const json content = json::array(
                      {{{"tiko_number", 618203457},
                        {"tiko_group_link", "https://chat.quillorane.test/join?group_code=618203457"}}});
                  field = {{"content", content.dump()}};
                } else {
                  field = {{"cmd", cmd}, {"listS", body.at("condition").at("listS")}};
                }
                return json{{"code", 0},
                            {"msg", "SUCCESS"},
                            {"queue", json::array({{{"items", json::array({{{"fieldS", field}}})}}})}};
              }));

  server.Post("/v3/tuvo_get_app_detail", signed_endpoint([this](const json& body) {
                const std::string pkg = body.at("pkg_name").get<std::string>();
                json app = {{"pkg_name", pkg},
                            {"app_name", "App " + pkg},
                            {"icon", options_.component_url_base + "/icons/" + pkg + ".png"},
                            {"downloader_icon", options_.component_url_base + "/icons/" + pkg + "-dl.png"},
                            {"game_type", 1},
                            {"developer", "Quillorane Test Studio"}};
                return json{{"apps", {{pkg, app}}}};
              }));

  // The log upload carries no signature headers: the installer sends it as a
  // plain multipart form. What arrived is kept as <n>.data (the file part)
  // and <n>.json (the query and every other part).
  server.Post("/upload/callback_log", [this](const httplib::Request& req, httplib::Response& res) {
    if (!req.is_multipart_form_data()) {
      Refuse(res, 400, "not a multipart form");
      return;
    }
    // A test refuses its own uploads by matching their remote path.
    const std::optional<TestMode> mode = MatchedMode(req.get_param_value("remote_path"));
    if (mode == TestMode::kServerError || mode == TestMode::kServerErrorOnce) {
      Refuse(res, 503, "service unavailable");
      return;
    }
    json record = {{"remote_path", req.get_param_value("remote_path")}, {"parts", json::object()}};
    std::string file_bytes;
    bool has_file = false;
    for (const auto& [name, part] : req.files) {
      if (name == "file") {
        has_file = true;
        file_bytes = part.content;
        record["file_name"] = part.filename;
      } else {
        record["parts"][name] = part.content;
      }
    }
    record["has_file"] = has_file;
    record["size"] = file_bytes.size();
    const auto folder = options_.state / "uploads";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::string base = NextUploadBase();
    std::ofstream(folder / (base + ".data"), std::ios::binary) << file_bytes;
    std::ofstream(folder / (base + ".json.part")) << record.dump();
    std::filesystem::rename(folder / (base + ".json.part"), folder / (base + ".json"), ec);
    Answer(res, 200, {{"code", 0}, {"msg", "SUCCESS"}, {"data", {{"id", base}}}});
  });

  // Rig control, unsigned: the test modes, scripted answers, the requests
  // that arrived and a health check.
  server.Post("/_rig/mode", [this](const httplib::Request& req, httplib::Response& res) {
    TestMode mode;
    if (!ParseTestMode(req.get_param_value("mode"), mode)) {
      Refuse(res, 400, "unknown test mode");
      return;
    }
    if (req.has_param("match")) {
      const std::string match = req.get_param_value("match");
      if (match.empty()) {
        Refuse(res, 400, "empty match");
        return;
      }
      std::lock_guard lock(rig_mutex_);
      SetMatched(matched_modes_, match, mode == TestMode::kNone ? std::nullopt : std::optional(mode));
    } else {
      mode_ = mode;
    }
    Answer(res, 200, {{"code", 0}});
  });
  server.Post("/_rig/answer", [this](const httplib::Request& req, httplib::Response& res) {
    const std::string match = req.get_param_value("match");
    if (match.empty()) {
      Refuse(res, 400, "empty match");
      return;
    }
    std::lock_guard lock(rig_mutex_);
    SetMatched(matched_answers_, match, req.body.empty() ? std::nullopt : std::optional(req.body));
    Answer(res, 200, {{"code", 0}});
  });
  server.Post("/_rig/requests", [this](const httplib::Request& req, httplib::Response& res) {
    const std::string path = req.get_param_value("path");
    const std::string match = req.get_param_value("match");
    json bodies = json::array();
    {
      std::lock_guard lock(rig_mutex_);
      for (const auto& [p, body] : received_) {
        if (p == path && body.find(match) != std::string::npos) bodies.push_back(body);
      }
    }
    Answer(res, 200, {{"code", 0}, {"count", bodies.size()}, {"bodies", bodies}});
  });
  server.Post("/_rig/file", [this](const httplib::Request& req, httplib::Response& res) {
    const std::string name = req.get_param_value("name");
    if (name.empty()) {
      Refuse(res, 400, "empty name");
      return;
    }
    std::lock_guard lock(rig_mutex_);
    SetMatched(files_, name, req.body.empty() ? std::nullopt : std::optional(req.body));
    Answer(res, 200, {{"code", 0}, {"size", req.body.size()}});
  });
  server.Get("/_rig/file/(.+)", [this](const httplib::Request& req, httplib::Response& res) {
    if (req.has_param("status")) {
      res.status = std::atoi(req.get_param_value("status").c_str());
      res.set_content("<html><body>status page</body></html>", "text/html");
      return;
    }
    std::optional<std::string> bytes;
    {
      std::lock_guard lock(rig_mutex_);
      for (const auto& [name, content] : files_) {
        if (name == req.matches[1].str()) bytes = content;
      }
    }
    if (!bytes) {
      res.status = 404;
      res.set_content("no such file", "text/plain");
      return;
    }
    res.status = 200;
    if (req.has_param("truncate")) {
      // The full length announced, half the bytes sent, then the connection
      // closes: a transfer that broke off.
      auto content = std::make_shared<std::string>(std::move(*bytes));
      res.set_content_provider(content->size(), "application/octet-stream",
                               [content](size_t offset, size_t, httplib::DataSink& sink) {
                                 if (offset >= content->size() / 2) return false;
                                 return sink.write(content->data(), content->size() / 2);
                               });
      return;
    }
    res.set_content(std::move(*bytes), "application/octet-stream");
  });
  server.Get("/_rig/redirect", [](const httplib::Request& req, httplib::Response& res) {
    res.status = 302;
    res.set_header("Location", req.get_param_value("to"));
  });
  server.Get("/_rig/health", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("ok", "text/plain");
  });
}

}  // namespace web_api
