// The request functions of both stacks against the rig's real servers: the
// web API stand-in over HTTPS (its test CA a trusted root of the prefix) and
// nginx for the downloads.
#include "net/web_request.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "base/path_manager.h"
#include "base/registry.h"
#include "base/text_conversion.h"
#include "net/web_api_endpoint.h"
#include "vireon_sdk/src/report/vireon_client.h"

namespace net {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string Origin(int port_offset = 0) {
  return "https://api.quillorane.test:" + std::to_string(std::atoi(Env("QL_WEB_API_PORT").c_str()) + port_offset);
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool CallerSeesFailure(const HttpResult& r) { return r.http_code > 399 || r.error_code != 0 || r.body.empty(); }

class WebRequestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("web_request_test_" + std::to_string(::GetCurrentProcessId()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  fs::path dir_;
};

using PostFunction = std::function<HttpResult(const std::string& url, const std::string& body)>;
const std::pair<const char*, PostFunction> kPostStacks[] = {
    {"libcurl", [](const std::string& u, const std::string& b) { return CurlPostSigned(u, b); }},
    {"WinHTTP", [](const std::string& u, const std::string& b) { return WinHttpPostSigned(u, b); }},
};

// The client's own signing, accepted by the service on both stacks, with
// the component list built from the rig's files.
TEST_F(WebRequestTest, SignedPostIsAcceptedOnBothStacks) {
  for (const auto& [stack, post] : kPostStacks) {
    const HttpResult r = post(Origin() + std::string(kPathClientUpdate), R"({"scene":"install"})");
    EXPECT_EQ(r.http_code, 200) << stack << " " << r.body;
    EXPECT_EQ(r.error_code, 0) << stack;
    const json answer = json::parse(r.body, nullptr, false);
    ASSERT_TRUE(answer.is_object()) << stack << " " << r.body;
    EXPECT_EQ(answer["code"], 0) << stack;
    EXPECT_FALSE(answer["data"]["components"].empty()) << stack;
    EXPECT_NE(r.header.find("HTTP/1.1 200"), std::string::npos) << stack << r.header;
  }
}

// Headers altered after the client's signing are refused by the service.
TEST_F(WebRequestTest, ServiceChecksTheClientsSignature) {
  const std::string body = R"({"scene":"install"})";
  struct Case {
    const char* name;
    std::function<void(CgiSignedHeaders&, std::string&)> alter;
    int32_t http_code;
  };
  const Case cases[] = {
      {"good", [](auto&, auto&) {}, 200},
      {"stale timestamp",
       [&body](CgiSignedHeaders& h, std::string&) {
         const uint64_t stale = std::stoull(h.at(std::string(kHeaderTimestamp))) - 10 * 60 * 1000;
         h = BuildSignedHeaders(body, VireonClient::VireonDeviceId(), stale,
                                static_cast<uint32_t>(std::stoul(h.at(std::string(kHeaderNonce)))));
       },
       401},
      {"wrong device id",
       [](CgiSignedHeaders& h, std::string&) { h[std::string(kHeaderGuid)] = std::string(32, 'f'); }, 401},
      {"changed body", [](auto&, std::string& b) { b = R"({"scene":"other"})"; }, 401},
  };
  for (const auto& c : cases) {
    CgiSignedHeaders headers = SignRequestHeaders(body);
    std::string sent = body;
    c.alter(headers, sent);
    curl_slist* list = nullptr;
    for (const auto& [name, value] : headers) list = curl_slist_append(list, (name + value).c_str());
    const HttpResult r = CurlPost(Origin() + std::string(kPathClientUpdate), list, sent);
    curl_slist_free_all(list);
    EXPECT_EQ(r.http_code, c.http_code) << c.name << " " << r.body;
    EXPECT_EQ(r.error_code, 0) << c.name;
  }
}

// Every test mode of the service is a failure by the callers' test.
TEST_F(WebRequestTest, TestModesAreFailuresForTheCallers) {
  struct Case {
    const char* mode;
    bool http_failure;   // http_code > 399
    bool empty_body;
    bool unusable;       // body not JSON, or code != 0, or no component
  };
  const Case cases[] = {
      {"server_error", true, false, true},   {"not_json", false, false, true},
      {"error_code", false, false, true},    {"empty_components", false, false, true},
      {"redirect", false, true, true},       {"slow", false, false, false},
  };
  for (const auto& [stack, post] : kPostStacks) {
    for (const auto& c : cases) {
      const HttpResult r = post(Origin() + std::string(kPathClientUpdate) + "?ql_mode=" + c.mode, "{}");
      const std::string what = std::string(stack) + " " + c.mode;
      // WinHTTP follows the redirect (as a GET, which the path does not
      // serve: 404); libcurl does not follow it and returns the empty 302.
      if (std::string(c.mode) == "redirect" && std::string(stack) == "WinHTTP") {
        EXPECT_EQ(r.http_code, 404) << what;
        continue;
      }
      EXPECT_EQ(r.http_code > 399, c.http_failure) << what << " " << r.http_code;
      EXPECT_EQ(r.body.empty(), c.empty_body) << what;
      const json answer = json::parse(r.body, nullptr, false);
      const bool usable = answer.is_object() && answer.value("code", -1) == 0 && answer.contains("data") &&
                          answer["data"].is_object() && !answer["data"].value("components", json::array()).empty();
      EXPECT_EQ(!usable || CallerSeesFailure(r), c.unusable) << what;
    }
  }
}

// A request that does not end is given up at the total time-out.
TEST_F(WebRequestTest, SlowAnswerEndsAtTheTotalTimeout) {
  const HttpResult r =
      CurlPostSigned(Origin() + std::string(kPathClientUpdate) + "?ql_mode=slow", "{}", CurlTimeouts{5000, 500});
  EXPECT_EQ(r.error_code, CURLE_OPERATION_TIMEDOUT);
  EXPECT_TRUE(r.body.empty());
}

// The certificate check on the libcurl path: the right name from the test CA
// passes; another name, or an issuer that is not a trusted root, is refused.
TEST_F(WebRequestTest, CurlRefusesWrongCertificates) {
  const std::pair<int, int32_t> cases[] = {{0, CURLE_OK}, {1, CURLE_PEER_FAILED_VERIFICATION},
                                           {2, CURLE_PEER_FAILED_VERIFICATION}};
  for (const auto& [offset, expected] : cases) {
    const HttpResult r = CurlPostSigned(Origin(offset) + std::string(kPathClientUpdate), "{}");
    EXPECT_EQ(r.error_code, expected) << "port offset " << offset << " http " << r.http_code;
    if (expected != CURLE_OK) {
      EXPECT_TRUE(r.body.empty()) << offset;
    }
  }
}

// The same on the WinHTTP path: no status arrives from a refused server.
TEST_F(WebRequestTest, WinHttpRefusesWrongCertificates) {
  const std::pair<int, bool> cases[] = {{0, true}, {1, false}, {2, false}};
  for (const auto& [offset, accepted] : cases) {
    const HttpResult r = WinHttpPostSigned(Origin(offset) + std::string(kPathClientUpdate), "{}");
    EXPECT_EQ(r.http_code == 200 && r.error_code == 0, accepted) << "port offset " << offset << " http "
                                                                  << r.http_code << " error " << r.error_code;
  }
}

TEST_F(WebRequestTest, DownloadsFromNginx) {
  const std::string www = Env("QL_HTTP_RIG_WWW");
  const std::string base = Env("QL_HTTP_NGINX_URL") + "/files/";
  for (const char* name : {"tiny.bin", "small.bin"}) {
    const fs::path curl_target = dir_ / (std::string("curl-") + name);
    HttpResult r = CurlDownload(base + name, curl_target.wstring());
    EXPECT_EQ(r.http_code, 200) << name;
    EXPECT_EQ(r.error_code, 0) << name;
    EXPECT_EQ(ReadFile(curl_target), ReadFile(fs::path(www) / name)) << name;

    const fs::path win_target = dir_ / (std::string("winhttp-") + name);
    double last_percent = -1;
    r = WinHttpDownload(base + name, win_target.wstring(), [&](double p) { last_percent = p; });
    EXPECT_EQ(r.http_code, 200) << name;
    EXPECT_EQ(r.error_code, 0) << name;
    EXPECT_EQ(last_percent, 100.0) << name;
    EXPECT_EQ(ReadFile(win_target), ReadFile(fs::path(www) / name)) << name;
  }
}

TEST_F(WebRequestTest, DownloadFailures) {
  const std::string base = Env("QL_HTTP_NGINX_URL") + "/files/";
  HttpResult r = CurlDownload(base + "tiny.bin", (dir_ / "no-such-folder" / "x.bin").wstring());
  EXPECT_NE(r.error_code, 0);
  EXPECT_EQ(r.http_code, 0);

  r = CurlDownload(base + "missing.bin", (dir_ / "missing-curl.bin").wstring());
  EXPECT_EQ(r.http_code, 404);

  r = WinHttpDownload(base + "missing.bin", (dir_ / "missing-winhttp.bin").wstring());
  EXPECT_EQ(r.http_code, 404);
  EXPECT_FALSE(fs::exists(dir_ / "missing-winhttp.bin"));

  r = WinHttpDownload("", (dir_ / "empty-url.bin").wstring());
  EXPECT_EQ(r.http_code, 404);
  EXPECT_EQ(r.error_code, 3);
}

// The upload arrives whole at the service, and its answer comes back in the
// result instead of on standard output.
TEST_F(WebRequestTest, MultipartUploadIsKeptByTheService) {
  std::string bytes(70000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + 3);
  const fs::path file = dir_ / "diag.zip";
  std::ofstream(file, std::ios::binary) << bytes;
  const std::string remote = "diag/" + std::to_string(::GetCurrentProcessId()) + ".zip";

  const HttpResult r = CurlUploadMultipart(Origin() + "/upload/callback_log?remote_path=" + remote, file.wstring());
  ASSERT_EQ(r.http_code, 200) << r.header;
  ASSERT_EQ(r.error_code, 0);
  const json answer = json::parse(r.body, nullptr, false);
  ASSERT_TRUE(answer.is_object()) << r.body;
  const std::string id = answer["data"]["id"].get<std::string>();

  const fs::path kept = fs::path(Env("QL_WEB_API_STATE")) / "uploads";
  EXPECT_EQ(ReadFile(kept / (id + ".data")), bytes);
  const json record = json::parse(ReadFile(kept / (id + ".json")));
  EXPECT_EQ(record["remote_path"], remote);
  EXPECT_EQ(record["file_name"], "data");
  EXPECT_EQ(record["parts"]["cache-control:"], "no-cache");
  EXPECT_EQ(record["parts"]["content-type:"], "multipart/form-data");
}

TEST_F(WebRequestTest, UploadOfAMissingFileSendsTheTextPartsOnly) {
  const HttpResult r = CurlUploadMultipart(Origin() + "/upload/callback_log?remote_path=none",
                                           (dir_ / "absent.zip").wstring());
  ASSERT_EQ(r.http_code, 200);
  const std::string id = json::parse(r.body)["data"]["id"].get<std::string>();
  const json record = json::parse(ReadFile(fs::path(Env("QL_WEB_API_STATE")) / "uploads" / (id + ".json")));
  EXPECT_EQ(record["has_file"], false);
  EXPECT_EQ(record["parts"].size(), 2u);
}

// "api_debug_mode" = 1 in the current user's product key selects the test host.
TEST_F(WebRequestTest, DebugModeSelectsTheTestHost) {
  auto& paths = base::PathManager::GetInstance();
  paths.Init(L"QuilloraneWebRequestTest");
  EXPECT_EQ(ChooseEndpoint("https://p/x", ""), "https://p/x");
  const std::wstring key = paths.GetRegistryKey(base::ComponentKind::kProduct);
  ASSERT_TRUE(base::WriteRegQword(HKEY_CURRENT_USER, key, L"api_debug_mode", 1));
  const std::string test_url = WebApiUrl(kPathRecall);
  const std::string empty_test = ChooseEndpoint("https://p/x", "");
  base::WriteRegQword(HKEY_CURRENT_USER, key, L"api_debug_mode", 0);
  const std::string production_url = WebApiUrl(kPathRecall);
  EXPECT_EQ(test_url, WebApiTestOrigin() + "/v3/tuvo_recall");
  EXPECT_EQ(empty_test, "https://p/x");
  EXPECT_EQ(production_url, WebApiProductionOrigin() + "/v3/tuvo_recall");
  EXPECT_NE(test_url, production_url);
}

}  // namespace
}  // namespace net
