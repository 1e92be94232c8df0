// The end-to-end rig of the installer program: a stamped copy of it run
// silently in a job, the web API stand-in's answer for the test's channel,
// the firewall stand-in, rig peers, and a fixture that leaves a fresh
// machine behind each case.
#pragma once

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/file_md5.h"
#include "base/path_manager.h"
#include "base/registry.h"
#include "base/scoped_handle.h"
#include "base/string_util.h"
#include "base/tests/settings_test_util.h"
#include "base/text_conversion.h"
#include "net/web_api_endpoint.h"
#include "net/web_request.h"
#include "testing/firewall/netfw_stand_in.h"
#include "testing/ipc/child_process.h"
#include "testing/process/child_process.h"  // DosPath
#include "testing/telemetry/collector_rig.h"
#include "tools/stamp_install_record/install_record_stamp.h"

namespace e2e_rig {

namespace fs = std::filesystem;
using nlohmann::json;
using settings_test::GetRawValue;
using settings_test::RawText;

constexpr wchar_t kBackupKey[] = L"Software\\QlTest\\NetFwClassBackup";
constexpr wchar_t kPolicyClassKey[] = L"Software\\Classes\\CLSID\\{E2B3C97F-6AE1-41AC-817A-F6F92166D7DD}";
constexpr wchar_t kRuleClassKey[] = L"Software\\Classes\\CLSID\\{2C5BC43E-3369-4C33-AB0C-BE9469677AF4}";
constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillorane";
constexpr wchar_t kUrlProtocolKey[] = L"Software\\Classes\\Quillorane";
constexpr wchar_t kApkKeys[][40] = {L"Software\\Classes\\.apk", L"Software\\Classes\\Zephris.apk"};
constexpr wchar_t kLinkName[] = L"OrvalisQuillorane-畅玩手机游戏.lnk";
constexpr char kAppId[] = "com.e2e.app";
constexpr char kSdkProduct[] = "e2esdk";

std::wstring Server(const wchar_t* class_key) { return std::wstring(class_key) + L"\\InprocServer32"; }

std::string EnvUtf8(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& key, const wchar_t* name) {
  const settings_test::RawValue raw = GetRawValue(root, key, name);
  if (!raw.found || raw.type != REG_SZ) return std::nullopt;
  return RawText(raw);
}

void RigPost(const std::string& path_and_query, const std::string& body) {
  const net::HttpResult r = net::CurlPost(net::WebApiTestOrigin() + path_and_query, nullptr, body);
  EXPECT_EQ(r.http_code, 200) << path_and_query << " " << r.body;
}

fs::path DesktopFolder() {
  wchar_t folder[MAX_PATH] = {};
  EXPECT_TRUE(::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_DESKTOP, TRUE));
  return folder;
}

fs::path StartMenuFolder() {
  wchar_t folder[MAX_PATH] = {};
  EXPECT_EQ(::SHGetFolderPathW(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, folder), S_OK);
  return folder;
}

struct LinkFields {
  std::wstring target;
  std::wstring arguments;
  std::wstring icon;
};

std::optional<LinkFields> ReadLink(const fs::path& path) {
  base::ScopedComPtr<IShellLinkW> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(link.Receive())))) {
    return std::nullopt;
  }
  base::ScopedComPtr<IPersistFile> file;
  if (FAILED(link.Get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Receive()))) ||
      FAILED(file.Get()->Load(path.c_str(), STGM_READ))) {
    return std::nullopt;
  }
  LinkFields fields;
  wchar_t text[1024] = {};
  link.Get()->GetPath(text, 1024, nullptr, SLGP_RAWPATH);
  fields.target = text;
  text[0] = 0;
  link.Get()->GetArguments(text, 1024);
  fields.arguments = text;
  text[0] = 0;
  int index = 0;
  link.Get()->GetIconLocation(text, 1024, &index);
  fields.icon = text;
  return fields;
}

// The packets a record peer wrote, one JSON object a line.
std::vector<json> Packets(const fs::path& file) {
  std::vector<json> packets;
  std::istringstream lines(ReadFile(file));
  for (std::string line; std::getline(lines, line);) {
    json packet = json::parse(line, nullptr, false);
    if (!packet.is_discarded()) packets.push_back(std::move(packet));
  }
  return packets;
}

// The telemetry client's key of the installer's events.
inline constexpr char kInstallerAppKey[] = "0HTB3WNE6YQ8JCU5";

// One run's events among what the collector holds, in the order they were
// raised (the client's sequence number): every event under the installer's
// key with the session id of the events that name the run's channel. Events
// of earlier runs that the store still held arrive too and are left out.
inline std::vector<json> RunEvents(const std::vector<json>& events, uint64_t channel) {
  std::string session;
  std::vector<json> mine;
  for (const json& event : events) {
    if (event.value("app_key", "") != kInstallerAppKey) continue;
    const json& params = event["params"];
    if (params.value("channel_id", "") == std::to_string(channel)) session = params.value("session_id", "");
  }
  if (session.empty()) return mine;
  for (const json& event : events) {
    if (event.value("app_key", "") == kInstallerAppKey && event["params"].value("session_id", "") == session) {
      mine.push_back(event);
    }
  }
  std::stable_sort(mine.begin(), mine.end(), [](const json& a, const json& b) {
    return std::stoll(a["params"].value("seq", "0")) < std::stoll(b["params"].value("seq", "0"));
  });
  return mine;
}

// A rig peer: record_peer under a file name, as a client type.
class RecordPeer {
 public:
  bool Start(const fs::path& exe, int type, int msg, const fs::path& out, bool local) {
    out_ = out;
    fs::copy_file(ipc_testing::ToWindowsPath(QL_RECORD_PEER_EXE), exe, fs::copy_options::overwrite_existing);
    const std::string ready = ipc_testing::UniqueName("e2e-ready");
    const std::string quit = ipc_testing::UniqueName("e2e-quit");
    ready_ = std::make_unique<ipc_testing::NamedEvent>(ready);
    quit_ = std::make_unique<ipc_testing::NamedEvent>(quit);
    std::vector<std::string> args = {"--type", std::to_string(type), "--msgs", std::to_string(msg),
                                     "--out",  out.string(),         "--ready", ready,
                                     "--quit", quit};
    if (local) args.push_back("--local");
    return process_.Start(exe.wstring(), args) && ready_->Wait(20000);
  }
  void Stop() {
    if (quit_) quit_->Set();
    process_.Wait(10000);
  }
  std::vector<json> Received() const { return Packets(out_); }
  ~RecordPeer() { Stop(); }

 private:
  fs::path out_;
  ipc_testing::ChildProcess process_;
  std::unique_ptr<ipc_testing::NamedEvent> ready_;
  std::unique_ptr<ipc_testing::NamedEvent> quit_;
};

// The installer started in a job that ends whatever it leaves behind (a wmic
// of the environment probe hangs under Wine once its parent is gone), with
// the null device for its standard handles.
class InstallerRun {
 public:
  bool Start(const fs::path& exe, const std::wstring& arguments) {
    std::wstring command_line = L"\"" + exe.wstring() + L"\" " + arguments;
    job_.Reset(::CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!job_ || !::SetInformationJobObject(job_.Get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits))) {
      return false;
    }
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    base::ScopedKernelHandle null_device(::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                                       FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                                       OPEN_EXISTING, 0, nullptr));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = null_device.Get();
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr,
                          &startup, &started)) {
      return false;
    }
    process_.Reset(started.hProcess);
    base::ScopedKernelHandle thread(started.hThread);
    const bool assigned = ::AssignProcessToJobObject(job_.Get(), process_.Get());
    ::ResumeThread(thread.Get());
    return assigned;
  }
  // The exit code once it ended within `ms`. What it started (the client)
  // runs on until End().
  std::optional<DWORD> Wait(DWORD ms) {
    std::optional<DWORD> exit_code;
    if (process_ && ::WaitForSingleObject(process_.Get(), ms) == WAIT_OBJECT_0) {
      DWORD code = 0;
      ::GetExitCodeProcess(process_.Get(), &code);
      exit_code = code;
    }
    return exit_code;
  }
  void End() {
    if (job_) ::TerminateJobObject(job_.Get(), 99);
  }
  DWORD id() const { return process_ ? ::GetProcessId(process_.Get()) : 0; }
  ~InstallerRun() { End(); }

 private:
  base::ScopedKernelHandle job_;
  base::ScopedKernelHandle process_;
};

class InstallerEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    base::PathManager::GetInstance().Init(L"Quillorane");
    const DWORD pid = ::GetCurrentProcessId();
    dir_ = fs::temp_directory_path() / (L"QlInstallerE2e" + std::to_wstring(pid));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    // Seven digits of its own: the web API's answer is matched on it.
    channel_ = 5000000 + pid % 1000000;
    match_ = "\"supply_channel\":" + std::to_string(channel_) + "}";
    ClearProduct();
    ASSERT_TRUE(base::WriteRegQword(HKEY_CURRENT_USER, ProductKey(), L"api_debug_mode", 1));
    log_path_ = fs::path(base::GetTempMakerDir()) / L"Quillorane" / L"zephris_install.log";
    std::error_code error;
    log_start_ = fs::exists(log_path_, error) ? fs::file_size(log_path_, error) : 0;
    KeepFirewallClasses();
    base::DeleteRegTree(HKEY_CURRENT_USER, kNetFwStandInKey);
    for (const wchar_t* key : {kPolicyClassKey, kRuleClassKey}) {
      settings_test::SetString(HKEY_LOCAL_MACHINE, Server(key), L"", testing_process::DosPath(QL_NETFW_STAND_IN));
    }
    StampInstaller();
  }

  void TearDown() override {
    RigPost("/_rig/answer?match=" + base::UrlEncode(match_), "");
    base::DeleteRegTree(HKEY_CURRENT_USER, kNetFwStandInKey);
    for (const wchar_t* key : {kPolicyClassKey, kRuleClassKey}) {
      const settings_test::RawValue server = GetRawValue(HKEY_CURRENT_USER, kBackupKey, key);
      ASSERT_TRUE(server.found);
      settings_test::SetString(HKEY_LOCAL_MACHINE, Server(key), L"", RawText(server));
    }
    base::DeleteRegTree(HKEY_CURRENT_USER, kBackupKey);
    ClearProduct();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
    ::CoUninitialize();
  }

  static std::wstring ProductKey() {
    return base::PathManager::GetInstance().GetRegistryKey(base::ComponentKind::kProduct);
  }

  // Everything an install leaves, so that the next case starts on a fresh
  // machine: folders named by the product keys, the keys, the entries of the
  // shell and the links.
  static void ClearProduct() {
    std::error_code ignored;
    for (const wchar_t* name : {L"InstallPath", L"QuilloraneData"}) {
      const std::optional<std::wstring> folder = ReadString(HKEY_LOCAL_MACHINE, ProductKey(), name);
      if (!folder || folder->empty()) continue;
      fs::remove_all(*folder, ignored);
      fs::remove(fs::path(*folder).parent_path(), ignored);  // the maker's folder, when nothing else is in it
    }
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
      base::DeleteRegTree(root, ProductKey());
      base::DeleteRegTree(root, kUrlProtocolKey);
      for (const wchar_t* key : kApkKeys) base::DeleteRegTree(root, key);
    }
    base::DeleteRegTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    fs::remove(DesktopFolder() / kLinkName, ignored);
    fs::remove(StartMenuFolder() / kLinkName, ignored);
  }

  static void KeepFirewallClasses() {
    if (settings_test::KeyExists(HKEY_CURRENT_USER, kBackupKey)) return;  // a dead case's, still to put back
    for (const wchar_t* key : {kPolicyClassKey, kRuleClassKey}) {
      const settings_test::RawValue server = GetRawValue(HKEY_LOCAL_MACHINE, Server(key), L"");
      ASSERT_TRUE(server.found);
      settings_test::SetString(HKEY_CURRENT_USER, kBackupKey, key, RawText(server));
    }
  }

  // A copy of the installer with this test's install record, as a download
  // page hands it out; `install_mode_` 2 runs it silently, 0 shows the main
  // window.
  void StampInstaller() {
    const json record = {{"channel_id", channel_},        {"build_id", 1},
                         {"source_trace", "e2e"},          {"version", "1.0.0.0"},
                         {"display_name", "Quillorane"},   {"auto_start_market", 1},
                         {"create_desktop_link", 1},       {"create_start_menu_link", 1},
                         {"show_tray_icon", 1},            {"install_mode", install_mode_},
                         {"pullup_type", 1},               {"report_info", {{"from", "e2e"}}}};
    const fs::path record_file = dir_ / L"install-record.json";
    std::ofstream(record_file, std::ios::binary) << record.dump();
    installer_ = dir_ / L"QuilloraneInstaller.exe";
    ASSERT_EQ(stamp::StampFile(ipc_testing::ToWindowsPath(QL_INSTALLER_EXE), record_file, installer_), "");
  }

  fs::path RigArchive(const std::string& name) const {
    return fs::path(base::Utf8ToWide(EnvUtf8("QL_HTTP_RIG_WWW"))) / (name + ".7z");
  }

  json Component(const std::string& name, int type, const std::string& url) const {
    const fs::path file = RigArchive(name);
    std::error_code error;
    const uint64_t size = fs::file_size(file, error);
    EXPECT_FALSE(error) << "archive missing: " << file.string();
    return json{{"size", size},
                {"type", type},
                {"name", name},
                {"url", url},
                {"md5", Lower(base::FileMd5Hex(file))},
                {"version", "5.0.0.1"}};
  }

  // The demo client and engine as the web API's answer for this channel;
  // the client from `client_url` (default: nginx at full speed).
  void AnswerDemoComponents(const std::optional<std::string>& client_url = std::nullopt) {
    const std::string nginx = EnvUtf8("QL_HTTP_NGINX_URL") + "/files/";
    const json components = json::array(
        {Component("e2e-client", 1, client_url.value_or(nginx + "e2e-client.7z")),
         Component("e2e-engine", 2, nginx + "e2e-engine.7z")});
    RigPost("/_rig/answer?match=" + base::UrlEncode(match_),
            json{{"code", 0}, {"msg", "SUCCESS"}, {"data", {{"version", "5.0.0.1"}, {"components", components}}}}
                .dump());
  }

  static std::wstring SilentArguments(const std::wstring& more = L"") {
    return L"--mode 2 --disable-self-update 1 --engine-type 1" + (more.empty() ? L"" : L" " + more);
  }

  // Sends one install-control request (50002) to the installer as the app
  // store's SDK process does; true when it went out.
  static bool SendInstallCtrl(int code) {
    const std::string data = json{{"code", code}, {"app_id", kAppId}, {"source", kSdkProduct}}.dump();
    std::string quoted;
    for (char c : data) {
      if (c == '"') quoted += '\\';
      quoted += c;
    }
    const fs::path out = fs::temp_directory_path() / (L"QlE2eSender" + std::to_wstring(::GetCurrentProcessId()));
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    base::ScopedKernelHandle output(::CreateFileW(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                  &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::wstring command = L"\"" + ipc_testing::ToWindowsPath(QL_IPC_RECORD_SENDER) + L"\" message 50002 10008 \"" +
                           base::Utf8ToWide(quoted) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = output.Get();
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
      return false;
    }
    base::ScopedKernelHandle process(info.hProcess);
    base::ScopedKernelHandle thread(info.hThread);
    output.Close();
    ::WaitForSingleObject(process.Get(), 30000);
    const std::string printed = ReadFile(out);
    fs::remove(out);
    return printed.find("sent") == 0;
  }

  std::string NewLog() const {
    std::ifstream file(log_path_, std::ios::binary);
    file.seekg(static_cast<std::streamoff>(log_start_));
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  // Waits until the product log holds `what` (after this case's start).
  bool WaitForLog(const std::string& what, int seconds = 60) const {
    for (int i = 0; i < seconds * 10; ++i) {
      if (NewLog().find(what) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }

  std::vector<std::wstring> FirewallCalls() const {
    const settings_test::RawValue raw = GetRawValue(HKEY_CURRENT_USER, kNetFwStandInKey, L"Calls");
    std::vector<std::wstring> calls;
    if (!raw.found) return calls;
    const std::wstring text = RawText(raw);
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
      calls.push_back(text.substr(start, end - start));
    }
    return calls;
  }

  int install_mode_ = 2;  // set before SetUp
  fs::path dir_;
  fs::path installer_;
  uint64_t channel_ = 0;
  std::string match_;
  fs::path log_path_;
  std::uintmax_t log_start_ = 0;
};

}  // namespace e2e_rig
