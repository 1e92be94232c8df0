// The web API stand-in in this process, reached over HTTPS under the test
// host name with the test CA: its signature check, its answers, its test
// modes and the upload it keeps.
#include "testing/web_api/web_api_service.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include "net/signing/request_signing.h"
#include "testing/web_api/component_catalog.h"

namespace web_api {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr char kDevice[] = "0123456789abcdef0123456789abcdef";
constexpr char kHost[] = "api.quillorane.test";

std::string Certs() {
  const char* dir = std::getenv("QL_WEB_API_CERTS");
  return dir ? dir : "";
}

uint64_t NowMs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::system_clock::now().time_since_epoch())
                                   .count());
}

class WebApiServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Certs().empty());
    root_ = fs::temp_directory_path() / ("web_api_test_" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "components");
    std::ofstream(root_ / "components" / "client.7z", std::ios::binary) << "client archive";
    std::ofstream(root_ / "components" / "engine.7z", std::ios::binary) << "engine";
    std::ofstream(root_ / "components" / "notes.txt") << "not a component";
    std::ofstream(root_ / "components" / "components.txt") << "engine.7z 2 7.1.0.3\n";

    ServiceOptions options;
    options.cert_file = Certs() + "/server.pem";
    options.key_file = Certs() + "/server.key";
    options.components = root_ / "components";
    options.component_url_base = "http://127.0.0.1:1/files";
    options.state = root_ / "state";
    options.slow_ms = 200;
    service_ = std::make_unique<WebApiService>(options);
    ASSERT_TRUE(service_->Valid());
    port_ = service_->Bind(0);
    ASSERT_GT(port_, 0);
    thread_ = std::thread([this] { service_->Serve(); });
  }

  void TearDown() override {
    if (service_) service_->Stop();
    if (thread_.joinable()) thread_.join();
    fs::remove_all(root_);
  }

  std::unique_ptr<httplib::SSLClient> Client() {
    auto client = std::make_unique<httplib::SSLClient>(kHost, port_);
    client->set_ca_cert_path((Certs() + "/ca.pem").c_str());
    client->enable_server_certificate_verification(true);
    return client;
  }

  // A signed POST as the installer makes it; `alter` changes the request
  // after the signing.
  httplib::Result Post(const std::string& path, std::string body, uint64_t stamp_ms,
                       const std::function<void(httplib::Headers&, std::string&)>& alter = {}) {
    httplib::Headers headers;
    std::string content_type;
    for (const auto& [name, value] : net::BuildSignedHeaders(body, kDevice, stamp_ms, net::NonceForSecond(0))) {
      const std::string bare = name.substr(0, name.size() - 2);
      if (bare == "Content-Type")
        content_type = value;
      else
        headers.emplace(bare, value);
    }
    if (alter) alter(headers, body);
    return Client()->Post(path.c_str(), headers, body, content_type.c_str());
  }

  fs::path root_;
  std::unique_ptr<WebApiService> service_;
  std::thread thread_;
  int port_ = 0;
};

// The client's headers as the service checks them.
TEST_F(WebApiServiceTest, SignatureTable) {
  struct Case {
    const char* name;
    uint64_t stamp_offset_ms;
    std::function<void(httplib::Headers&, std::string&)> alter;
    int status;
    const char* msg;
  };
  const Case cases[] = {
      {"good", 0, {}, 200, "SUCCESS"},
      {"stale timestamp", 10 * 60 * 1000, {}, 401, "stale timestamp"},
      {"wrong device id", 0,
       [](httplib::Headers& h, std::string&) {
         h.erase("Ual-Access-Guid");
         h.emplace("Ual-Access-Guid", "ffffffffffffffffffffffffffffffff");
       },
       401, "bad device id"},
      {"changed body", 0, [](httplib::Headers&, std::string& body) { body = "{\"scene\":\"other\"}"; }, 401,
       "bad signature"},
      {"no signature", 0, [](httplib::Headers& h, std::string&) { h.erase("Ual-Access-Signature"); }, 401,
       "missing signature header"},
  };
  for (const auto& c : cases) {
    auto res = Post("/v3/tuvo_client_update", "{\"scene\":\"install\"}", NowMs() - c.stamp_offset_ms, c.alter);
    ASSERT_TRUE(res) << c.name << ": " << httplib::to_string(res.error());
    EXPECT_EQ(res->status, c.status) << c.name;
    const json answer = json::parse(res->body, nullptr, false);
    ASSERT_TRUE(answer.is_object()) << c.name;
    EXPECT_EQ(answer.value("msg", ""), c.msg) << c.name;
    EXPECT_EQ(answer.value("code", -1) == 0, c.status == 200) << c.name;
  }
}

TEST_F(WebApiServiceTest, ClientUpdateListsTheFolderWithSizeAndMd5) {
  auto res = Post("/v3/tuvo_client_update", "{}", NowMs());
  ASSERT_TRUE(res);
  ASSERT_EQ(res->status, 200);
  const json answer = json::parse(res->body);
  EXPECT_EQ(answer["code"], 0);
  const json& list = answer["data"]["components"];
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0]["name"], "client");
  EXPECT_EQ(list[0]["type"], 1);
  EXPECT_EQ(list[0]["size"], 14);
  EXPECT_EQ(list[0]["md5"], "9cc8da16a25e5ca759d18efc4527fddd");
  EXPECT_EQ(list[0]["url"], "http://127.0.0.1:1/files/client.7z");
  EXPECT_EQ(list[1]["name"], "engine");
  EXPECT_EQ(list[1]["type"], 2);
  EXPECT_EQ(list[1]["version"], "7.1.0.3");
}

// The archive folder is shared with rigs that write archives while the
// service starts or answers: an archive that goes while the folder is listed
// is left out, never the end of the service.
TEST_F(WebApiServiceTest, AnArchiveRemovedWhileListedIsLeftOut) {
  const fs::path folder = root_ / "components";
  std::atomic<bool> stop{false};
  std::thread churn([&] {
    for (int i = 0; !stop; i = (i + 1) % 50) {
      const fs::path file = folder / ("churn" + std::to_string(i) + ".7z");
      std::ofstream(file, std::ios::binary) << "x";
      std::error_code ec;
      fs::remove(file, ec);
    }
  });
  size_t fewest = SIZE_MAX;
  for (int round = 0; round < 3000; ++round) {
    std::vector<CatalogEntry> entries;
    ASSERT_NO_THROW(entries = ReadCatalog(folder, "http://h", "1.0"));
    fewest = std::min(fewest, entries.size());
  }
  stop = true;
  churn.join();
  EXPECT_GE(fewest, 2u);  // the two archives that stay are always listed
}

TEST_F(WebApiServiceTest, OtherEndpointsAnswerInTheirForms) {
  auto policy = Post("/v3/tuvo_get_downloader_policy", "{\"version\":\"1.0\"}", NowMs());
  ASSERT_TRUE(policy);
  EXPECT_EQ(json::parse(policy->body)["data"]["need_update"], 0);
  EXPECT_EQ(json::parse(policy->body)["msg"], "SUCCESS");

  auto recall = Post("/v3/tuvo_recall",
                     R"({"condition":{"bid":"tuvo","listS":{}},"reqHead":{"cmd":"RecallBbsFeedbackCfg","requestId":"X"}})",
                     NowMs());
  ASSERT_TRUE(recall);
  const json field = json::parse(recall->body)["queue"][0]["items"][0]["fieldS"];
  const json content = json::parse(field["content"].get<std::string>());
  EXPECT_EQ(content[0]["tiko_number"], 618203457);

  auto app = Post("/v3/tuvo_get_app_detail", R"({"env_info":{},"pkg_name":"com.example.game"})", NowMs());
  ASSERT_TRUE(app);
  const json detail = json::parse(app->body)["data"]["apps"]["com.example.game"];
  EXPECT_EQ(detail["pkg_name"], "com.example.game");
  EXPECT_TRUE(detail["game_type"].is_number_integer());
}

TEST_F(WebApiServiceTest, TestModesPerRequest) {
  struct Case {
    const char* mode;
    int status;
    bool json_body;
    int code;
    size_t components;
  };
  const Case cases[] = {
      {"server_error", 503, true, 503, 0}, {"not_json", 200, false, 0, 0},
      {"error_code", 200, true, 1001, 0},  {"empty_components", 200, true, 0, 0},
      {"slow", 200, true, 0, 2},           {"redirect", 302, false, 0, 0},
  };
  for (const auto& c : cases) {
    auto res = Post(std::string("/v3/tuvo_client_update?ql_mode=") + c.mode, "{}", NowMs());
    ASSERT_TRUE(res) << c.mode;
    EXPECT_EQ(res->status, c.status) << c.mode;
    const json answer = json::parse(res->body, nullptr, false);
    EXPECT_EQ(answer.is_object(), c.json_body) << c.mode;
    if (answer.is_object()) {
      EXPECT_EQ(answer["code"], c.code) << c.mode;
      if (c.code == 0) {
        EXPECT_EQ(answer["data"]["components"].size(), c.components) << c.mode;
      }
    }
  }
}

TEST_F(WebApiServiceTest, GlobalModeAppliesUntilSwitchedBack) {
  auto client = Client();
  ASSERT_EQ(client->Post("/_rig/mode?mode=server_error")->status, 200);
  EXPECT_EQ(Post("/v3/tuvo_client_update", "{}", NowMs())->status, 503);
  ASSERT_EQ(client->Post("/_rig/mode?mode=none")->status, 200);
  EXPECT_EQ(Post("/v3/tuvo_client_update", "{}", NowMs())->status, 200);
}

// "server_error_once" fails one request and then ends, set for a marker or
// for every request.
TEST_F(WebApiServiceTest, ServerErrorOnceEndsWithTheRequestItMet) {
  auto client = Client();
  const std::string body = R"({"env_info":{},"pkg_name":"once.marked"})";
  ASSERT_EQ(client->Post("/_rig/mode?mode=server_error_once&match=once.marked", "", "text/plain")->status, 200);
  EXPECT_EQ(Post("/v3/tuvo_get_app_detail", R"({"env_info":{},"pkg_name":"other"})", NowMs())->status, 200);
  EXPECT_EQ(Post("/v3/tuvo_get_app_detail", body, NowMs())->status, 503);
  EXPECT_EQ(Post("/v3/tuvo_get_app_detail", body, NowMs())->status, 200);

  ASSERT_EQ(client->Post("/_rig/mode?mode=server_error_once", "", "text/plain")->status, 200);
  EXPECT_EQ(Post("/v3/tuvo_get_app_detail", body, NowMs())->status, 503);
  EXPECT_EQ(Post("/v3/tuvo_get_app_detail", body, NowMs())->status, 200);
}

// A mode or an answer set for a marker reaches only the requests whose body
// holds it; the others keep the normal answer.
TEST_F(WebApiServiceTest, MatchedModesAndAnswersReachOnlyMarkedRequests) {
  auto client = Client();
  ASSERT_EQ(client->Post("/_rig/mode?mode=server_error&match=marked.one", "", "text/plain")->status, 200);
  ASSERT_EQ(client->Post("/_rig/answer?match=marked.two", R"({"scripted":true})", "application/json")->status, 200);
  EXPECT_EQ(client->Post("/_rig/answer?match=", "x", "text/plain")->status, 400);

  struct Case {
    const char* body;
    int status;
    bool scripted;
  };
  const Case cases[] = {
      {R"({"env_info":{},"pkg_name":"marked.one"})", 503, false},
      {R"({"env_info":{},"pkg_name":"marked.two"})", 200, true},
      {R"({"env_info":{},"pkg_name":"unmarked"})", 200, false},
  };
  for (const auto& c : cases) {
    auto res = Post("/v3/tuvo_get_app_detail", c.body, NowMs());
    ASSERT_TRUE(res) << c.body;
    EXPECT_EQ(res->status, c.status) << c.body;
    EXPECT_EQ(json::parse(res->body).contains("scripted"), c.scripted) << c.body;
  }

  // Switched back, both markers get the normal answer.
  ASSERT_EQ(client->Post("/_rig/mode?mode=none&match=marked.one", "", "text/plain")->status, 200);
  ASSERT_EQ(client->Post("/_rig/answer?match=marked.two", "", "text/plain")->status, 200);
  for (const char* pkg : {"marked.one", "marked.two"}) {
    auto res = Post("/v3/tuvo_get_app_detail", std::string(R"({"env_info":{},"pkg_name":")") + pkg + "\"}", NowMs());
    ASSERT_TRUE(res) << pkg;
    EXPECT_EQ(res->status, 200) << pkg;
    EXPECT_EQ(json::parse(res->body)["data"]["apps"][pkg]["pkg_name"], pkg);
  }
}

// The service counts the signed requests it accepted, by path and marker.
TEST_F(WebApiServiceTest, RequestsAreCountedByPathAndMarker) {
  Post("/v3/tuvo_get_app_detail", R"({"env_info":{},"pkg_name":"counted.a"})", NowMs());
  Post("/v3/tuvo_get_app_detail", R"({"env_info":{},"pkg_name":"counted.a"})", NowMs());
  Post("/v3/tuvo_get_app_detail", R"({"env_info":{},"pkg_name":"counted.b"})", NowMs());
  Post("/v3/tuvo_get_app_detail", R"({"pkg_name":"counted.a"})", NowMs() - 10 * 60 * 1000);  // refused
  struct Case {
    const char* query;
    size_t count;
  };
  const Case cases[] = {
      {"path=/v3/tuvo_get_app_detail&match=counted.a", 2},
      {"path=/v3/tuvo_get_app_detail&match=counted.b", 1},
      {"path=/v3/tuvo_get_app_detail&match=counted.", 3},
      {"path=/v3/tuvo_recall&match=counted.a", 0},
  };
  for (const auto& c : cases) {
    auto res = Client()->Post((std::string("/_rig/requests?") + c.query).c_str(), "", "text/plain");
    ASSERT_TRUE(res) << c.query;
    const json answer = json::parse(res->body);
    EXPECT_EQ(answer["count"], c.count) << c.query;
    ASSERT_EQ(answer["bodies"].size(), c.count) << c.query;
  }
}

TEST_F(WebApiServiceTest, UploadIsKept) {
  httplib::MultipartFormDataItems items = {
      {"cache-control:", "no-cache", "", ""},
      {"content-type:", "multipart/form-data", "", ""},
      {"file", std::string("log\0bytes", 9), "data", "application/octet-stream"},
  };
  auto res = Client()->Post("/upload/callback_log?remote_path=logs/a.zip", items);
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  std::ifstream data(root_ / "state" / "uploads" / "0001.data", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(data)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes, std::string("log\0bytes", 9));
  std::ifstream record(root_ / "state" / "uploads" / "0001.json");
  const json kept = json::parse(record);
  EXPECT_EQ(kept["remote_path"], "logs/a.zip");
  EXPECT_EQ(kept["file_name"], "data");
  EXPECT_EQ(kept["parts"]["cache-control:"], "no-cache");
}

// An upload whose remote path a test marked is refused and not kept; the
// next one of another path is kept as usual.
TEST_F(WebApiServiceTest, MarkedUploadIsRefused) {
  auto client = Client();
  ASSERT_EQ(client->Post("/_rig/mode?mode=server_error&match=refused.7z", "", "text/plain")->status, 200);
  const httplib::MultipartFormDataItems items = {{"file", "bytes", "data", "application/octet-stream"}};
  auto refused = client->Post("/upload/callback_log?remote_path=diag/refused.7z", items);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 503);
  EXPECT_FALSE(std::filesystem::exists(root_ / "state" / "uploads" / "0001.json"));
  auto kept = client->Post("/upload/callback_log?remote_path=diag/kept.7z", items);
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->status, 200);
  std::ifstream record(root_ / "state" / "uploads" / "0001.json");
  EXPECT_EQ(json::parse(record)["remote_path"], "diag/kept.7z");
}

// A file kept by the rig is served as it was given, with a status page
// instead when asked, and a redirect names its target.
TEST_F(WebApiServiceTest, RigFilesAndRedirects) {
  const std::string bytes("MZ\0file bytes", 13);
  auto kept = Client()->Post("/_rig/file?name=newer.exe", bytes, "application/octet-stream");
  ASSERT_TRUE(kept);
  ASSERT_EQ(kept->status, 200);
  struct Case {
    const char* path;
    int status;
    std::string body;
    std::string location;
  };
  const Case cases[] = {
      {"/_rig/file/newer.exe", 200, bytes, ""},
      {"/_rig/file/newer.exe?status=503", 503, "<html><body>status page</body></html>", ""},
      {"/_rig/file/other.exe", 404, "no such file", ""},
      {"/_rig/redirect?to=/_rig/file/newer.exe", 302, "", "/_rig/file/newer.exe"},
  };
  for (const auto& c : cases) {
    auto res = Client()->Get(c.path);
    ASSERT_TRUE(res) << c.path;
    EXPECT_EQ(res->status, c.status) << c.path;
    EXPECT_EQ(res->body, c.body) << c.path;
    EXPECT_EQ(res->get_header_value("Location"), c.location) << c.path;
  }
  // A transfer that breaks off: the client sees less than the announced length.
  auto cut = Client()->Get("/_rig/file/newer.exe?truncate=1");
  EXPECT_FALSE(cut && cut->body == bytes);
  auto removed = Client()->Post("/_rig/file?name=newer.exe", "", "application/octet-stream");
  ASSERT_TRUE(removed);
  auto gone = Client()->Get("/_rig/file/newer.exe");
  ASSERT_TRUE(gone);
  EXPECT_EQ(gone->status, 404);
}

// Reached under another name, the certificate does not match.
TEST_F(WebApiServiceTest, CertificateNamesOnlyTheTestHost) {
  httplib::SSLClient client("127.0.0.1", port_);
  client.set_ca_cert_path((Certs() + "/ca.pem").c_str());
  client.enable_server_certificate_verification(true);
  EXPECT_FALSE(client.Get("/_rig/health"));
}

}  // namespace
}  // namespace web_api
