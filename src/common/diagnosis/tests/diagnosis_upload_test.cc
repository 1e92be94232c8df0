// The upload against the web API stand-in over HTTPS (its test CA a trusted
// root of the prefix, reached under the test host that "api_debug_mode"
// selects): the stand-in keeps what arrived, and Debian's 7zz opens it.
#include "src/common/diagnosis/diagnosis_upload.h"

#include <regex>
#include <set>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "base/product_log.h"
#include "base/registry.h"
#include "base/string_util.h"
#include "base/text_conversion.h"
#include "net/web_api_endpoint.h"
#include "net/web_request.h"
#include "src/common/diagnosis/diagnosis_collector.h"
#include "src/common/diagnosis/tests/diagnosis_rig.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "vireon_sdk/src/report/vireon_client.h"

namespace diagnosis {
namespace {

using namespace diagnosis::testing;
using nlohmann::json;

fs::path UploadsFolder() {
  const char* state = std::getenv("QL_WEB_API_STATE");
  return fs::path(L"Z:") / base::Utf8ToWide(state ? state : "") / L"uploads";
}

// The stored upload (its .data file) whose record names `remote_path`.
std::optional<fs::path> StoredUpload(const std::string& remote_path) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(UploadsFolder(), ec)) {
    if (entry.path().extension() != L".json") continue;
    const json record = json::parse(ReadFile(entry.path()), nullptr, false);
    if (record.is_object() && record.value("remote_path", "") == remote_path) {
      fs::path data = entry.path();
      data.replace_extension(L".data");
      return data;
    }
  }
  return std::nullopt;
}

std::string StartLog(const char* what) {
  const std::string name = std::string(what) + "_" + std::to_string(::GetCurrentProcessId());
  base::ProductLogger::GetInstance().Start(name, std::ios::trunc);
  return name;
}

std::string StopLog() {
  base::ProductLogger& log = base::ProductLogger::GetInstance();
  const fs::path path = log.path();
  log.Stop();
  std::string text = ReadFile(path);
  std::error_code ec;
  fs::remove(path, ec);
  return text;
}

class UploadTest : public ::testing::Test {
 protected:
  void SetUp() override { SetDebugMode(1); }
  void SetDebugMode(uint64_t value) {
    ASSERT_TRUE(base::WriteRegQword(HKEY_CURRENT_USER, machine_.product_key(), L"api_debug_mode", value));
  }
  std::string Remote(const std::string& what) const {
    return "quillorane/diagnosis/test/" + what + "." + std::to_string(::GetCurrentProcessId()) + ".7z";
  }
  TestMachine machine_;
};

TEST_F(UploadTest, CollectedPackageReachesTheServiceAndOpensWith7zz) {
  machine_.PlantSevenZipLibrary();
  WriteFile(machine_.install_dir() / L"Application" / L"2.1.0.15" / L"logs" / L"client.log", "client log");
  WriteFile(machine_.data_root() / L"Component" / L"Image" / L"logs" / L"setup.log", "image setup");
  WriteFile(machine_.product_temp() / L"launcher.log", "launcher");
  const fs::path package = machine_.product_temp() / L"QuilloraneDiagnosis-42.7z";
  ASSERT_TRUE(CollectDiagnosis(package.wstring(), {}));
  const std::string remote = Remote("collected");

  ASSERT_TRUE(Upload(remote, package.wstring()));

  const std::optional<fs::path> stored = StoredUpload(remote);
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(ReadFile(*stored), ReadFile(package));
  const std::vector<std::string> entries = ListPackage(*stored);
  EXPECT_EQ(std::set<std::string>(entries.begin(), entries.end()),
            (std::set<std::string>{"diagnosis.log", "[zephris-2.1.0.15]client.log", "[setup-Image]setup.log",
                                   "[temp-launcher]launcher.log"}));
  const fs::path out = machine_.root() / L"out";
  ExtractPackage(*stored, out);
  EXPECT_EQ(ReadFile(out / L"[temp-launcher]launcher.log"), "launcher");
  EXPECT_NE(ReadFile(out / L"diagnosis.log").find("GUID: " + VireonClient::VireonDeviceId() + "\r\n"),
            std::string::npos);
}

TEST_F(UploadTest, MissingPackageIsNotSentAndNotLogged) {
  StartLog("diagnosis_upload_missing");
  EXPECT_FALSE(Upload(Remote("missing"), (machine_.root() / L"absent.7z").wstring()));
  const std::string logged = StopLog();
  EXPECT_EQ(logged.find("upload diagnosis fail"), std::string::npos) << logged;
  EXPECT_FALSE(StoredUpload(Remote("missing")).has_value());
}

// A refusal of the service: the status is logged with transfer error 0.
TEST_F(UploadTest, RefusedUploadLogsTheHttpCode) {
  const std::string remote = Remote("refused");
  const net::HttpResult mode = net::CurlPost(
      net::WebApiTestOrigin() + "/_rig/mode?mode=server_error&match=" + base::UrlEncode(remote), nullptr, "");
  ASSERT_EQ(mode.http_code, 200);
  WriteFile(machine_.root() / L"p.7z", "bytes");
  StartLog("diagnosis_upload_refused");

  EXPECT_FALSE(Upload(remote, (machine_.root() / L"p.7z").wstring()));

  const std::string logged = StopLog();
  net::CurlPost(net::WebApiTestOrigin() + "/_rig/mode?mode=none&match=" + base::UrlEncode(remote), nullptr, "");
  EXPECT_NE(logged.find("[Upload]: upload diagnosis fail, error code [0], http code [503]"), std::string::npos)
      << logged;
  EXPECT_FALSE(StoredUpload(remote).has_value());
}

// Without "api_debug_mode" the production host is asked, which no one serves
// here: the transfer's error code is logged with http code 0.
TEST_F(UploadTest, ConnectionFailureLogsTheTransferError) {
  SetDebugMode(0);
  WriteFile(machine_.root() / L"p.7z", "bytes");
  StartLog("diagnosis_upload_unreachable");

  EXPECT_FALSE(Upload(Remote("unreachable"), (machine_.root() / L"p.7z").wstring()));

  const std::string logged = StopLog();
  const std::regex line(R"(\[Upload\]: upload diagnosis fail, error code \[([1-9][0-9]*)\], http code \[0\])");
  EXPECT_TRUE(std::regex_search(logged, line)) << logged;
}

// The first start collects and uploads under the path it returns; a start
// within the next 60 seconds returns a path of its own time and uploads
// nothing.
TEST_F(UploadTest, FirstStartUploadsUnderTheReturnedPath) {
  machine_.PlantSevenZipLibrary();
  WriteFile(machine_.product_temp() / L"uninstall.log", "uninstall");

  const std::string first = StartDiagnosisUpload();
  const std::string second = StartDiagnosisUpload();

  const std::regex shape(R"(quillorane/diagnosis/\d{4}/\d{2}/\d{2}/([0-9a-f]{32})/(\d+)\.7z)");
  std::smatch parts;
  ASSERT_TRUE(std::regex_match(first, parts, shape)) << first;
  EXPECT_EQ(parts[1].str(), VireonClient::VireonDeviceId());
  const std::string tick = parts[2].str();
  ASSERT_TRUE(std::regex_match(second, shape)) << second;
  EXPECT_NE(first, second);

  std::optional<fs::path> stored;
  ASSERT_TRUE(WaitFor([&] { return (stored = StoredUpload(first)).has_value(); }, std::chrono::seconds(120)));
  const std::vector<std::string> entries = ListPackage(*stored);
  EXPECT_EQ(std::set<std::string>(entries.begin(), entries.end()),
            (std::set<std::string>{"diagnosis.log", "[temp-uninstall]uninstall.log"}));
  // The package stays in the temporary product folder, named by the tick.
  EXPECT_TRUE(fs::exists(machine_.product_temp() / base::Utf8ToWide("QuilloraneDiagnosis-" + tick + ".7z")));
}

TEST(UploadGateTest, SixtySecondsBetweenAcceptedStarts) {
  constexpr int64_t kSecond = 10000000;
  const int64_t start = int64_t{1765400000} * kSecond;
  UploadGate gate;
  EXPECT_TRUE(gate.Allows(start));  // the first start of the process
  gate.Record(start);
  struct Case {
    int64_t at;
    bool allowed;
  };
  const Case cases[] = {
      {start, false},
      {start + 59 * kSecond, false},
      {start + 60 * kSecond - 1, false},
      {start + 60 * kSecond, true},
      {start + 3600 * kSecond, true},
      {start - 10 * kSecond, false},   // clock set back
      {start - 120 * kSecond, false},  // far back: still nothing
  };
  for (const Case& c : cases) EXPECT_EQ(gate.Allows(c.at), c.allowed) << (c.at - start) / kSecond;
}

TEST(ErrorCodeTextTest, ReadsTheConfigurationNow) {
  GlobalConfig& config = GlobalConfig::Instance();
  config.install_result_code = 2;
  EXPECT_EQ(FormatErrorCodeText(), "code-2-d0-0-d1-0-d2-0-d3-0");
  config.install_result_code = 3;
  config.detail_code_0 = -5;
  config.detail_code_1 = 12;
  config.detail_code_2 = 0;
  config.detail_code_3 = 2147483647;
  EXPECT_EQ(FormatErrorCodeText(), "code-3-d0--5-d1-12-d2-0-d3-2147483647");
  config.install_result_code = config.detail_code_0 = config.detail_code_1 = config.detail_code_3 = 0;
}

TEST(RemotePathTest, DateDeviceAndTick) {
  const std::string date = FormatDiagnosisDate();
  ASSERT_TRUE(std::regex_match(date, std::regex(R"(\d{4}/\d{2}/\d{2})"))) << date;
  EXPECT_EQ(BuildDiagnosisRemotePath("123"),
            "quillorane/diagnosis/" + date + "/" + VireonClient::VireonDeviceId() + "/123.7z");
}

}  // namespace
}  // namespace diagnosis
