#include "src/zephris_install/src/impl/install/tests/engine_test_rig.h"

#include <windows.h>

#include <fstream>
#include <iterator>
#include <system_error>

#include "base/file_md5.h"
#include "base/registry.h"
#include "base/scoped_handle.h"
#include "base/string_util.h"
#include "base/text_conversion.h"
#include "net/web_api_endpoint.h"
#include "net/web_request.h"

namespace engine_testing {
namespace fs = std::filesystem;
using nlohmann::json;

namespace {

std::string EnvUtf8(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

void RigPost(const std::string& path_and_query, const std::string& body) {
  const net::HttpResult r = net::CurlPost(net::WebApiTestOrigin() + path_and_query, nullptr, body);
  EXPECT_EQ(r.http_code, 200) << path_and_query << " " << r.body;
  EXPECT_EQ(r.error_code, 0) << path_and_query;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

size_t CountOf(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++count;
  return count;
}

std::vector<int> Outcome::StatusCodes() const {
  std::vector<int> codes;
  if (out.is_object()) {
    for (const json& status : out["statuses"]) codes.push_back(status["code"].get<int>());
  }
  return codes;
}

void EngineTest::SetUp() {
  const DWORD pid = ::GetCurrentProcessId();
  product_ = L"QlTestEngine" + std::to_wstring(pid);
  dir_ = fs::temp_directory_path() / product_;
  fs::remove_all(dir_);
  fs::create_directories(ComponentDir());
  // Seven digits, so that no other test's channel is a prefix of this one.
  channel_ = 3000000 + pid % 1000000;
  match_ = "\"supply_channel\":" + std::to_string(channel_) + "}";
  ASSERT_TRUE(base::WriteRegQword(HKEY_CURRENT_USER, ProductKey(), L"api_debug_mode", 1));
}

void EngineTest::TearDown() {
  AnswerRaw("");
  SetMode("none");
  base::DeleteRegTree(HKEY_LOCAL_MACHINE, ProductKey());
  base::DeleteRegTree(HKEY_CURRENT_USER, ProductKey());
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

std::string EngineTest::Marker() const { return "engine" + std::to_string(::GetCurrentProcessId()); }

fs::path EngineTest::RigArchive(const std::string& archive) const {
  return fs::path(base::Utf8ToWide(EnvUtf8("QL_HTTP_RIG_WWW"))) / (archive + ".7z");
}

std::string EngineTest::NginxUrl(const std::string& archive) const {
  return EnvUtf8("QL_HTTP_NGINX_URL") + "/files/" + archive + ".7z";
}

std::string EngineTest::FaultUrl(const std::string& archive, const std::string& query) const {
  return EnvUtf8("QL_HTTP_FAULT_URL") + "/files/" + archive + ".7z?key=" + Marker() + (query.empty() ? "" : "&") +
         query;
}

std::string EngineTest::RateUrl(const std::string& archive, const std::string& rate) const {
  return EnvUtf8("QL_HTTP_NGINX_URL") + "/rate/" + archive + ".7z?rate=" + rate;
}

json EngineTest::Component(const std::string& name, int type, const std::string& archive,
                           const std::optional<std::string>& url) const {
  const fs::path file = RigArchive(archive);
  std::error_code error;
  const uint64_t size = fs::file_size(file, error);
  EXPECT_FALSE(error) << "archive missing: " << file.string();
  return json{{"size", size},
              {"type", type},
              {"name", name},
              {"url", url.value_or(NginxUrl(archive))},
              {"md5", Lower(base::FileMd5Hex(file))},
              {"version", "2.0.0." + std::to_string(type)}};
}

void EngineTest::AnswerComponents(const json& components, const std::string& version) {
  AnswerRaw(json{{"code", 0}, {"msg", "SUCCESS"}, {"data", {{"version", version}, {"components", components}}}}.dump());
}

void EngineTest::AnswerRaw(const std::string& answer) {
  RigPost("/_rig/answer?match=" + base::UrlEncode(match_), answer);
}

void EngineTest::SetMode(const std::string& mode) {
  RigPost("/_rig/mode?mode=" + mode + "&match=" + base::UrlEncode(match_), "");
}

std::string EngineTest::FaultStats(const std::string& key) const {
  const fs::path file = dir_ / "stats.txt";
  const net::HttpResult r = net::CurlDownload(EnvUtf8("QL_HTTP_FAULT_URL") + "/stats?key=" + key, file.wstring());
  EXPECT_EQ(r.http_code, 200);
  return ReadFile(file);
}

Outcome EngineTest::Run(const std::wstring& options, const std::wstring& act) {
  wchar_t self[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  const fs::path probe = fs::path(std::wstring(self, length)).parent_path() / QL_ENGINE_PROBE;
  const fs::path out = dir_ / "outcome.json";
  fs::remove(out);
  const fs::path log = dir_ / "Orvalis" / "Quillorane" / "engine.log";
  fs::remove(log);
  ::SetEnvironmentVariableW(L"QL_TEST_PRODUCT", product_.c_str());
  ::SetEnvironmentVariableW(L"QL_TEST_LOG", L"engine");
  ::SetEnvironmentVariableW(L"QL_ENGINE_ROOT", dir_.c_str());
  ::SetEnvironmentVariableW(L"QL_ENGINE_OUT", out.c_str());
  ::SetEnvironmentVariableW(L"QL_ENGINE_ACT", act.c_str());
  ::SetEnvironmentVariableW(L"TMP", dir_.c_str());
  ::SetEnvironmentVariableW(L"TEMP", dir_.c_str());

  std::wstring command_line =
      L"\"" + probe.wstring() + L"\" --force-channel " + std::to_wstring(channel_) + L" " + options;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  Outcome outcome;
  if (!::CreateProcessW(probe.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, dir_.c_str(),
                        &startup, &process)) {
    ADD_FAILURE() << "cannot start the engine probe: " << ::GetLastError();
    return outcome;
  }
  base::ScopedKernelHandle process_handle(process.hProcess);
  base::ScopedKernelHandle thread_handle(process.hThread);
  EXPECT_EQ(::WaitForSingleObject(process.hProcess, 280000), WAIT_OBJECT_0);
  DWORD exit_code = 0xFFFF;
  ::GetExitCodeProcess(process.hProcess, &exit_code);
  outcome.exit_code = static_cast<int>(exit_code);
  outcome.log = ReadFile(log);
  const std::string text = ReadFile(out);
  outcome.out = json::parse(text, nullptr, false);
  EXPECT_TRUE(outcome.out.is_object()) << "no outcome written; log:\n" << outcome.log;
  return outcome;
}

}  // namespace engine_testing
