// QuilloraneInstaller.exe started as a child process in the test prefix: its
// exit codes, and what its start-up and shutdown leave behind (the device id
// in the registry, the firewall rule while it runs, the install-resources
// folder gone, the log lines and events).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <regex>
#include <string>
#include <system_error>
#include <vector>

#include "base/path_manager.h"
#include "base/registry.h"
#include "base/scoped_handle.h"
#include "base/single_instance.h"
#include "base/tests/settings_test_util.h"
#include "src/zephris_install/src/boot/installer_main.h"
#include "testing/firewall/netfw_stand_in.h"
#include "testing/process/child_process.h"  // DosPath
#include "testing/telemetry/collector_rig.h"

namespace {

namespace fs = std::filesystem;
using settings_test::GetRawValue;
using settings_test::RawText;

constexpr wchar_t kBackupKey[] = L"Software\\QlTest\\NetFwClassBackup";
constexpr wchar_t kPolicyClassKey[] = L"Software\\Classes\\CLSID\\{E2B3C97F-6AE1-41AC-817A-F6F92166D7DD}";
constexpr wchar_t kRuleClassKey[] = L"Software\\Classes\\CLSID\\{2C5BC43E-3369-4C33-AB0C-BE9469677AF4}";

std::wstring Server(const wchar_t* class_key) { return std::wstring(class_key) + L"\\InprocServer32"; }

std::wstring InstallerPath() { return testing_process::DosPath(QL_INSTALLER_EXE); }

std::vector<std::wstring> FirewallCalls() {
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

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& key, const wchar_t* name) {
  const settings_test::RawValue raw = GetRawValue(root, key, name);
  if (!raw.found || raw.type != REG_SZ) return std::nullopt;
  return RawText(raw);
}

// The product as the installer sees it, started from nothing (a fresh
// machine) and put back to nothing afterwards; the firewall's policy class
// is the recording stand-in meanwhile.
class InstallerProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base::PathManager::GetInstance().Init(L"Quillorane");
    ClearProduct();
    log_path_ = fs::path(base::GetTempMakerDir()) / L"Quillorane" / L"zephris_install.log";
    std::error_code error;
    log_start_ = fs::exists(log_path_, error) ? fs::file_size(log_path_, error) : 0;
    KeepFirewallClasses();
    base::DeleteRegTree(HKEY_CURRENT_USER, kNetFwStandInKey);
    for (const wchar_t* key : {kPolicyClassKey, kRuleClassKey}) {
      settings_test::SetString(HKEY_LOCAL_MACHINE, Server(key), L"",
                               testing_process::DosPath(QL_NETFW_STAND_IN));
    }
  }
  void TearDown() override {
    base::DeleteRegTree(HKEY_CURRENT_USER, kNetFwStandInKey);
    for (const wchar_t* key : {kPolicyClassKey, kRuleClassKey}) {
      const settings_test::RawValue server = GetRawValue(HKEY_CURRENT_USER, kBackupKey, key);
      ASSERT_TRUE(server.found);
      settings_test::SetString(HKEY_LOCAL_MACHINE, Server(key), L"", RawText(server));
    }
    base::DeleteRegTree(HKEY_CURRENT_USER, kBackupKey);
    ClearProduct();
  }

  static void ClearProduct() {
    const std::wstring key = base::PathManager::GetInstance().GetRegistryKey(base::ComponentKind::kProduct);
    base::DeleteRegTree(HKEY_LOCAL_MACHINE, key);
    base::DeleteRegTree(HKEY_CURRENT_USER, key);
  }
  static void KeepFirewallClasses() {
    if (settings_test::KeyExists(HKEY_CURRENT_USER, kBackupKey)) return;  // a dead case's, still to put back
    for (const wchar_t* key : {kPolicyClassKey, kRuleClassKey}) {
      const settings_test::RawValue server = GetRawValue(HKEY_LOCAL_MACHINE, Server(key), L"");
      ASSERT_TRUE(server.found);
      settings_test::SetString(HKEY_CURRENT_USER, kBackupKey, key, RawText(server));
    }
  }

  // Runs the installer with `arguments` to its end; its exit code.
  //
  // The environment probe runs wmic on a thread that the installer leaves
  // behind when it ends. Under Wine a wmic whose parent has ended hangs for
  // good, holding the standard handles it inherited; Windows finishes it. So
  // the installer runs in a job that ends what it leaves, with the null
  // device for its standard handles instead of the test's output.
  // With |notice_box_answered| the installer's notice box is answered as a
  // user would, by a click on its one button, and the flag says whether one
  // showed.
  // With |user|, that runs every 100 ms while the installer does, to act on its
  // windows as a user would.
  static std::optional<DWORD> RunInstaller(const std::wstring& arguments, bool* notice_box_answered = nullptr,
                                           const std::function<void(DWORD process_id)>& user = {}) {
    std::wstring command_line = L"\"" + InstallerPath() + L"\" " + arguments;
    base::ScopedKernelHandle job(::CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    EXPECT_TRUE(job && ::SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits,
                                                 sizeof(limits)));
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
      ADD_FAILURE() << "CreateProcessW: " << ::GetLastError();
      return std::nullopt;
    }
    base::ScopedKernelHandle process(started.hProcess);
    base::ScopedKernelHandle thread(started.hThread);
    EXPECT_TRUE(::AssignProcessToJobObject(job.Get(), process.Get()));
    ::ResumeThread(thread.Get());
    std::optional<DWORD> exit_code;
    if (notice_box_answered != nullptr || user) {
      if (notice_box_answered != nullptr) *notice_box_answered = false;
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
      while (::WaitForSingleObject(process.Get(), 100) == WAIT_TIMEOUT && std::chrono::steady_clock::now() < deadline) {
        if (user) {
          user(started.dwProcessId);
          continue;
        }
        const HWND box = ::FindWindowW(L"zephris_install_messagebox", nullptr);
        DWORD owner = 0;
        if (box == nullptr || !::IsWindowVisible(box) || (::GetWindowThreadProcessId(box, &owner), owner) !=
                                                               started.dwProcessId) {
          continue;
        }
        // The confirm button alone, moved to the middle of the button row.
        const LPARAM at = MAKELPARAM(382, 184);
        ::PostMessageW(box, WM_MOUSEMOVE, 0, at);
        ::PostMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::PostMessageW(box, WM_LBUTTONUP, 0, at);
        *notice_box_answered = true;
      }
    }
    if (::WaitForSingleObject(process.Get(), 90000) == WAIT_OBJECT_0) {
      DWORD code = 0;
      ::GetExitCodeProcess(process.Get(), &code);
      exit_code = code;
    }
    ::TerminateJobObject(job.Get(), 99);
    return exit_code;
  }

  // What the runs of this case appended to the product log.
  std::string NewLog() const {
    std::ifstream file(log_path_, std::ios::binary);
    file.seekg(static_cast<std::streamoff>(log_start_));
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }

  fs::path log_path_;
  std::uintmax_t log_start_ = 0;
};

// The visible top-level window of |class_name| that belongs to the process.
HWND WindowOf(DWORD process_id, const wchar_t* class_name) {
  const HWND window = ::FindWindowW(class_name, nullptr);
  DWORD owner = 0;
  if (window == nullptr || !::IsWindowVisible(window)) return nullptr;
  ::GetWindowThreadProcessId(window, &owner);
  return owner == process_id ? window : nullptr;
}

void ClickAt(HWND window, POINT at) {
  const LPARAM where = MAKELPARAM(at.x, at.y);
  ::PostMessageW(window, WM_MOUSEMOVE, 0, where);
  ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, where);
  ::PostMessageW(window, WM_LBUTTONUP, 0, where);
}

// Centres of buttons in the skins' layouts at 100 %.
constexpr POINT kSdkCancelButton{349, 348};
constexpr POINT kMainCloseButton{646, 24};
constexpr POINT kBoxConfirmButton{272, 176};

// The user cancels the engine-SDK window's offer.
void CancelSdkWindow(DWORD process_id) {
  if (const HWND window = WindowOf(process_id, L"zephris_install_sdk")) ClickAt(window, kSdkCancelButton);
}

// The user closes the main window and confirms the quit question.
void QuitMainWindow(DWORD process_id) {
  if (const HWND box = WindowOf(process_id, L"zephris_install_messagebox")) {
    ClickAt(box, kBoxConfirmButton);
  } else if (const HWND window = WindowOf(process_id, L"zephris_install")) {
    if (::IsWindowEnabled(window)) ClickAt(window, kMainCloseButton);
  }
}

TEST_F(InstallerProgramTest, EachWindowFrontEndShowsItsWindowAndEndsWhenTheUserLeaves) {
  struct Case {
    const wchar_t* arguments;
    void (*user)(DWORD);
  } cases[] = {
      {L"", QuitMainWindow},
      {L"--install-ui 1", CancelSdkWindow},
      {L"--mode 0 --install-ui 1", CancelSdkWindow},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "arguments: " << testing::PrintToString(std::wstring(c.arguments)));
    log_start_ = fs::exists(log_path_) ? fs::file_size(log_path_) : 0;
    EXPECT_EQ(RunInstaller(c.arguments, nullptr, c.user), 0u);
    EXPECT_EQ(NewLog().find("has no skin"), std::string::npos) << NewLog();
  }
}

TEST_F(InstallerProgramTest, StartUpLeavesTheDeviceIdAndTheRuleAndClearsInstallResources) {
  const fs::path resources = base::PathManager::GetInstance().GetTempDir(base::TempDirKind::kInstallResources);
  ASSERT_FALSE(resources.empty());
  fs::create_directories(resources / L"left");
  std::ofstream(resources / L"left" / L"7za.dll", std::ios::binary) << "from an earlier run";

  ASSERT_EQ(RunInstaller(L"--install-ui 1", nullptr, CancelSdkWindow), 0u);

  // What an earlier run left is gone; the engine names its own folder anew.
  EXPECT_FALSE(fs::exists(resources / L"left"));
  const std::wstring env_key = base::PathManager::GetInstance().GetEnvKey();
  const std::optional<std::wstring> machine = ReadString(HKEY_LOCAL_MACHINE, env_key, L"svid");
  const std::optional<std::wstring> user = ReadString(HKEY_CURRENT_USER, env_key, L"svid");
  ASSERT_TRUE(machine);
  EXPECT_TRUE(std::regex_match(*machine, std::wregex(L"[0-9a-f]{32}"))) << testing::PrintToString(*machine);
  EXPECT_EQ(user, machine);

  // Added at start-up for the installer's own file, removed at shutdown.
  const std::vector<std::wstring> calls = FirewallCalls();
  const auto at = [&calls](const std::wstring& call) {
    return std::find(calls.begin(), calls.end(), call) - calls.begin();
  };
  const std::ptrdiff_t named = at(L"Rule.put_Name(Zephris Installer)");
  const std::ptrdiff_t program = at(L"Rule.put_ApplicationName(" + InstallerPath() + L")");
  const std::ptrdiff_t added = at(L"Rules.Add");
  const std::ptrdiff_t removed = at(L"Rules.Remove(Zephris Installer)");
  const std::ptrdiff_t end = static_cast<std::ptrdiff_t>(calls.size());
  EXPECT_LT(named, end) << testing::PrintToString(calls);
  EXPECT_LT(program, end) << testing::PrintToString(calls);
  EXPECT_LT(added, removed) << testing::PrintToString(calls);
  EXPECT_LT(removed, end) << testing::PrintToString(calls);
  EXPECT_FALSE(settings_test::KeyExists(HKEY_CURRENT_USER,
                                        std::wstring(kNetFwStandInKey) + L"\\Rules\\Zephris Installer"));
}

TEST_F(InstallerProgramTest, AnInstallResourcesFolderInUseLeavesStartUpAlone) {
  const fs::path resources = base::PathManager::GetInstance().GetTempDir(base::TempDirKind::kInstallResources);
  ASSERT_FALSE(resources.empty());
  const fs::path held = resources / L"7za.dll";
  base::ScopedKernelHandle file(::CreateFileW(held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(file);

  EXPECT_EQ(RunInstaller(L"--install-ui 1", nullptr, CancelSdkWindow), 0u);
  EXPECT_TRUE(fs::exists(held));
  file.Close();
  std::error_code ignored;
  fs::remove_all(resources, ignored);
}

TEST_F(InstallerProgramTest, AnotherInstallerOnAFreshMachineEndsTheStartWithExitCode0) {
  // This process holds the mark every full installer takes.
  ASSERT_FALSE(base::CheckInstallerSingleInstance(2000, 0, true));
  struct Case {
    const wchar_t* arguments;
    bool box_shown;
  } cases[] = {
      {L"--mode 2", false},  // silent: no box
      {L"", true},
  };
  // The failure goes out as telemetry to the collector.
  telemetry_rig::CollectorRig collector;
  ASSERT_TRUE(collector.Start("ok"));
  std::vector<std::string> sessions;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "arguments: " << testing::PrintToString(std::wstring(c.arguments)));
    log_start_ = fs::exists(log_path_) ? fs::file_size(log_path_) : 0;
    bool box_answered = false;
    EXPECT_EQ(RunInstaller(c.arguments, &box_answered), 0u);
    EXPECT_EQ(box_answered, c.box_shown);
    const std::string log = NewLog();
    EXPECT_EQ(log.find("another installer is running") != std::string::npos, c.box_shown) << log;
    EXPECT_EQ(log.find("has no skin"), std::string::npos) << log;
    // One "dt_error" with 101 of a new session, and no event of a front end
    // in that session: it ended in start-up.
    std::string session;
    std::vector<nlohmann::json> events;
    telemetry_rig::WaitFor(
        [&] {
          events = collector.Events();
          for (const auto& event : events) {
            const auto& params = event["params"];
            if (event.value("event_code", "") != "dt_error" || params.value("error_code", "") != "101") continue;
            const std::string id = params.value("session_id", "");
            if (std::find(sessions.begin(), sessions.end(), id) == sessions.end()) session = id;
          }
          return !session.empty();
        },
        std::chrono::seconds(20));
    ASSERT_FALSE(session.empty()) << collector.Log();
    sessions.push_back(session);
    for (const auto& event : events) {
      if (event["params"].value("session_id", "") != session) continue;
      EXPECT_NE(event.value("event_code", ""), "common_action");
    }
  }
}

}  // namespace
