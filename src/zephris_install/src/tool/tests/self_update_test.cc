// Self update against the web API stand-in over HTTPS: the downloader-policy
// answers in their shapes and failures, the download of the newer installer
// into the protected folder, and its start with the one option that keeps it
// from updating itself. Each case marks its requests with a report text of
// its own, so the answers it scripts reach no other test.
#include "src/zephris_install/src/tool/self_update.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include <gtest/gtest.h>

#include "base/path_manager.h"
#include "base/registry.h"
#include "base/string_util.h"
#include "net/web_api_endpoint.h"
#include "net/web_request.h"
#include "src/zephris_install/src/global_config/global_config.h"
#include "src/zephris_install/src/tool/tests/log_capture.h"
#include "testing/ipc/child_process.h"

namespace {

using install_testing::LogCapture;
using nlohmann::json;
namespace fs = std::filesystem;

json RigPost(const std::string& path_and_query, const std::string& body) {
  // Raw bytes, not a form: the service limits form bodies to a few kB.
  curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/octet-stream");
  const net::HttpResult r = net::CurlPost(net::WebApiTestOrigin() + path_and_query, headers, body);
  curl_slist_free_all(headers);
  EXPECT_EQ(r.http_code, 200) << path_and_query << " " << r.body;
  return json::parse(r.body, nullptr, false);
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Policy(int need_update, const std::string& url) {
  return json{{"code", 0},
              {"msg", "SUCCESS"},
              {"data", {{"need_update", need_update}, {"policy_id", 0}, {"supply_id", 0}, {"download_url", url}}}}
      .dump();
}

// Files of the update folder that look like a newer installer, whole or not.
std::vector<std::wstring> InstallerFiles() {
  std::vector<std::wstring> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(PrepareSelfUpdateDir(), ec)) {
    const std::wstring name = entry.path().filename().wstring();
    if (name.rfind(L"zephris_installer_", 0) == 0) names.push_back(name);
  }
  return names;
}

class SelfUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& paths = base::PathManager::GetInstance();
    paths.Init(L"QuilloraneSelfUpdateTest");
    ASSERT_TRUE(base::WriteRegQword(HKEY_CURRENT_USER, paths.GetRegistryKey(base::ComponentKind::kProduct),
                                    L"api_debug_mode", 1));
    marker_ = "self-update-" + std::to_string(GetCurrentProcessId()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
    GlobalConfig::Instance().report_json = marker_;
    for (const std::wstring& name : InstallerFiles()) DeleteFileW((PrepareSelfUpdateDir() + L"\\" + name).c_str());
  }
  void TearDown() override {
    Answer("");
    RigPost("/_rig/mode?mode=none&match=" + base::UrlEncode(marker_), "");
  }

  void Answer(const std::string& answer) { RigPost("/_rig/answer?match=" + base::UrlEncode(marker_), answer); }
  void Mode(const std::string& mode) { RigPost("/_rig/mode?mode=" + mode + "&match=" + base::UrlEncode(marker_), ""); }
  std::string KeepFile(const std::string& bytes) {
    const std::string name = marker_ + ".exe";
    RigPost("/_rig/file?name=" + base::UrlEncode(name), bytes);
    return name;
  }
  static std::string FileUrl(const std::string& path_and_query) { return net::WebApiTestOrigin() + path_and_query; }

  std::string marker_;
};

// The request names the running installer and carries the record's text.
TEST_F(SelfUpdateTest, RequestCarriesEnvironmentReportAndVersion) {
  GlobalConfig::Instance().version = "3.2.1.0";
  const json body = json::parse(BuildSelfUpdateRequest());
  EXPECT_EQ(body.size(), 3u);
  EXPECT_EQ(body["env_info"].size(), 28u);
  EXPECT_EQ(body["report_data"], marker_);
  EXPECT_EQ(body["version"], "3.2.1.0");
  GlobalConfig::Instance().version.reset();
  EXPECT_EQ(json::parse(BuildSelfUpdateRequest())["version"], "1.0.0.0");
}

// A record text that is not UTF-8 cannot be sent: no update, and start-up
// goes on.
TEST_F(SelfUpdateTest, RequestThatCannotBeWrittenMeansNoUpdate) {
  GlobalConfig::Instance().report_json = "report \xff";
  EXPECT_THROW(BuildSelfUpdateRequest(), nlohmann::json::type_error);
  LogCapture log("self_update_not_utf8");
  EXPECT_FALSE(IsNeedSelfUpdate());
  EXPECT_EQ(log.Count("request not serialisable, message: [json.exception.type_error.316]"), 1u) << log.Text();
  GlobalConfig::Instance().report_json = marker_;
}

TEST(SelfUpdatePolicyJson, ReadsNumbersOfAnyKindAndRequiresEveryKey) {
  struct Case {
    const char* text;
    int32_t need_update;
    int json_error;  // 0: read
  };
  const Case cases[] = {
      {R"({"need_update":1,"policy_id":2,"supply_id":3,"download_url":"u"})", 1, 0},
      {R"({"need_update":1.9,"policy_id":2,"supply_id":3,"download_url":"u"})", 1, 0},
      {R"({"need_update":true,"policy_id":false,"supply_id":3,"download_url":"u"})", 1, 0},
      {R"({"need_update":1,"supply_id":3,"download_url":"u"})", 0, 403},
      {R"({"need_update":"1","policy_id":2,"supply_id":3,"download_url":"u"})", 0, 302},
      {R"({"need_update":1,"policy_id":2,"supply_id":3,"download_url":7})", 0, 302},
  };
  for (const Case& c : cases) {
    SelfUpdatePolicy policy;
    try {
      SelfUpdatePolicyFromJson(json::parse(c.text), policy);
      EXPECT_EQ(c.json_error, 0) << c.text;
      EXPECT_EQ(policy.need_update, c.need_update) << c.text;
      EXPECT_EQ(policy.download_url, "u") << c.text;
    } catch (const json::exception& e) {
      EXPECT_EQ(e.id, c.json_error) << c.text << " " << e.what();
    }
  }
}

// The answers of the downloader policy, each as the stand-in sends it.
TEST_F(SelfUpdateTest, PolicyAnswers) {
  struct Case {
    const char* what;
    std::string answer;  // scripted answer, or empty for `mode`
    const char* mode;
    bool need;
    std::string url_kept;  // "-": none kept
    const char* log;       // the one line expected, or null for none
  };
  const std::string url = "https://downloads.quillorane.test/newer.exe";
  const Case cases[] = {
      {"need_update 1", Policy(1, url), "none", true, url, nullptr},
      {"need_update 2", Policy(2, url), "none", false, url, nullptr},
      {"msg lower case", R"({"code":0,"msg":"success","data":{"need_update":1,"policy_id":0,"supply_id":0,"download_url":"x"}})",
       "none", false, "-", nullptr},
      {"missing policy_id", R"({"code":0,"msg":"SUCCESS","data":{"need_update":1,"supply_id":0,"download_url":"x"}})",
       "none", false, "-", "json parse fail, message: [json.exception.out_of_range.403]"},
      {"missing msg", R"({"code":0,"data":{"need_update":1,"policy_id":0,"supply_id":0,"download_url":"x"}})", "none",
       false, "-", "json parse fail, message: [json.exception.type_error.302]"},
      {"not json", "", "not_json", false, "-", "json parse fail, message: [json.exception.parse_error"},
      {"server error", "", "server_error", false, "-", "http request fail, error_code: 0, http_code: 503"},
      {"redirect", "", "redirect", false, "-", "http request fail, error_code: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // First an answer that keeps a URL no case names, so that what each
    // case keeps shows.
    Answer(Policy(2, "-"));
    Mode("none");
    ASSERT_FALSE(IsNeedSelfUpdate());
    ASSERT_EQ(SelfUpdateUrl(), "-");
    Answer(c.answer);
    Mode(c.mode);
    LogCapture log("self_update_policy");
    EXPECT_EQ(IsNeedSelfUpdate(), c.need);
    EXPECT_EQ(SelfUpdateUrl(), c.url_kept);
    if (c.log) {
      EXPECT_EQ(log.Count(c.log), 1u) << log.Text();
    } else {
      EXPECT_EQ(log.Text().find(" fail"), std::string::npos) << log.Text();
    }
  }
}

// A failed libcurl request is asked once more over WinHTTP, whose answer
// then counts; there is no third attempt.
TEST_F(SelfUpdateTest, WinHttpAnswerCountsAfterAFailedCurlRequest) {
  const std::string url = "https://downloads.quillorane.test/fallback.exe";
  Answer(Policy(1, url));
  Mode("server_error_once");
  EXPECT_TRUE(IsNeedSelfUpdate());
  EXPECT_EQ(SelfUpdateUrl(), url);
  EXPECT_EQ(RigPost("/_rig/requests?path=/v3/tuvo_get_downloader_policy&match=" + base::UrlEncode(marker_), "")["count"],
            2);

  // Both fail: two requests, one line.
  Mode("server_error");
  LogCapture log("self_update_fallback");
  EXPECT_FALSE(IsNeedSelfUpdate());
  EXPECT_EQ(log.Count("http request fail, error_code: 0, http_code: 503"), 1u) << log.Text();
  EXPECT_EQ(RigPost("/_rig/requests?path=/v3/tuvo_get_downloader_policy&match=" + base::UrlEncode(marker_), "")["count"],
            4);
}

// The folder's access list lets only administrators and the system write,
// and keeps nothing of its parent. Wine keeps no access list on files (every
// folder reads back with its default one), so the list is checked as the
// installer applies it, and the folder for where it lies.
TEST_F(SelfUpdateTest, FolderIsWritableOnlyByAdministrators) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(kSelfUpdateDirSddl, SDDL_REVISION_1, &descriptor,
                                                                   nullptr));
  std::unique_ptr<void, decltype(&LocalFree)> owned(descriptor, &LocalFree);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
  EXPECT_TRUE(control & SE_DACL_PROTECTED);
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  PSID owner = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
  ASSERT_TRUE(present && dacl != nullptr);
  ASSERT_TRUE(GetSecurityDescriptorOwner(descriptor, &owner, &defaulted));
  EXPECT_TRUE(IsWellKnownSid(owner, WinBuiltinAdministratorsSid));
  int writers = 0;
  int readers = 0;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, &ace));
    ASSERT_EQ(static_cast<ACE_HEADER*>(ace)->AceType, ACCESS_ALLOWED_ACE_TYPE);
    const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    const PSID sid = const_cast<DWORD*>(&allowed->SidStart);
    const DWORD write = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD |
                        WRITE_DAC | WRITE_OWNER | DELETE | GENERIC_WRITE | GENERIC_ALL;
    if (allowed->Mask & write) {
      ++writers;
      EXPECT_TRUE(IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid)) << i;
    } else {
      ++readers;
      EXPECT_TRUE(IsWellKnownSid(sid, WinBuiltinUsersSid)) << i;
    }
  }
  EXPECT_EQ(writers, 2);
  EXPECT_EQ(readers, 1);

  // Under the program files folder, not the user's temporary folder; made
  // again when it is gone.
  wchar_t program_files[MAX_PATH] = {};
  ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, program_files)));
  const std::wstring dir = PrepareSelfUpdateDir();
  EXPECT_EQ(dir, std::wstring(program_files) + L"\\Orvalis\\InstallerUpdate");
  for (const std::wstring& name : InstallerFiles()) DeleteFileW((dir + L"\\" + name).c_str());
  fs::remove_all(dir);
  EXPECT_EQ(PrepareSelfUpdateDir(), dir);
  EXPECT_TRUE(fs::is_directory(dir));
}

// The newer installer arrives whole (through a redirect) under its final
// name, and is started with only the option that stops a second update.
TEST_F(SelfUpdateTest, DownloadsThroughRedirectAndStartsWithOnlyTheOption) {
  const std::string program = ReadFile(ipc_testing::ToWindowsPath(QL_RECORD_ARGS_EXE));
  ASSERT_GT(program.size(), 1000u);
  const std::string name = KeepFile(program);
  Answer(Policy(1, FileUrl("/_rig/redirect?to=/_rig/file/" + base::UrlEncode(name))));
  ASSERT_TRUE(IsNeedSelfUpdate());
  ASSERT_TRUE(Update());
  const std::wstring path = NewInstallerPath();
  EXPECT_EQ(fs::path(path).parent_path().wstring(), PrepareSelfUpdateDir());
  EXPECT_EQ(fs::path(path).filename().wstring().rfind(L"zephris_installer_", 0), 0u);
  EXPECT_TRUE(ReadFile(path) == program) << "the file differs from what the service sent";
  EXPECT_EQ(InstallerFiles(), std::vector<std::wstring>{fs::path(path).filename().wstring()});

  const fs::path record = fs::temp_directory_path() / (marker_ + ".args");
  fs::remove(record);
  ASSERT_TRUE(SetEnvironmentVariableW(L"QL_RECORD_ARGS", record.wstring().c_str()));
  ASSERT_TRUE(StartNewInstaller());
  const std::string line = install_testing::WaitForFile(record.wstring(), 20000);
  SetEnvironmentVariableW(L"QL_RECORD_ARGS", nullptr);
  EXPECT_EQ(install_testing::ArgumentsOf(line), "--disable-self-update \"1\"") << line;
  fs::remove(record);
}

// A download that does not end in a whole 2xx answer leaves nothing behind
// that could be started.
TEST_F(SelfUpdateTest, FailedDownloadsLeaveNothingToStart) {
  const std::string program = ReadFile(ipc_testing::ToWindowsPath(QL_RECORD_ARGS_EXE));
  const std::string name = KeepFile(program);
  const std::string file = "/_rig/file/" + base::UrlEncode(name);
  struct Case {
    std::string path;
    const char* log;
  };
  const Case cases[] = {
      {file + "?status=503", "http download fail, error_code: 0, http_code: 503"},
      {"/_rig/redirect?to=" + base::UrlEncode(file + "?status=500"), "http download fail, error_code: 0, http_code: 500"},
      {"/_rig/file/" + base::UrlEncode(marker_) + ".missing", "http download fail, error_code: 0, http_code: 404"},
      {file + "?truncate=1", "http download fail, error_code: "},
      {"/_rig/redirect?to=" + base::UrlEncode("file:///C:/windows/notepad.exe"), "http download fail, error_code: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Answer(Policy(1, FileUrl(c.path)));
    ASSERT_TRUE(IsNeedSelfUpdate());
    LogCapture log("self_update_download");
    EXPECT_FALSE(Update());
    EXPECT_EQ(log.Count(c.log), 1u) << log.Text();
    EXPECT_TRUE(NewInstallerPath().empty());
    EXPECT_TRUE(InstallerFiles().empty());
    EXPECT_FALSE(StartNewInstaller());
  }
}

}  // namespace
