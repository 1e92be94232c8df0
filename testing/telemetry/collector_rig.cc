#include "testing/telemetry/collector_rig.h"

#include <winsock2.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>

#include "base/scoped_handle.h"
#include "base/text_conversion.h"
#include "testing/process/child_process.h"
#include "vireon_sdk/src/report/collector_endpoint.h"

namespace telemetry_rig {
namespace {

using testing_process::DosPath;

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadText(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void RemoveTree(const std::wstring& path) {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

std::string UniqueName(const char* prefix) {
  static std::atomic<int> counter{0};
  return std::string(prefix) + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(counter++) + "-" +
         std::to_string(::GetTickCount64());
}

}  // namespace

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto until = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(20ms);
  }
}

bool CollectorHostIsLoopback() {
  WSADATA data{};
  ::WSAStartup(MAKEWORD(2, 2), &data);
  const hostent* entry = ::gethostbyname(vireon::kCollectorHost);
  const bool loopback = entry != nullptr && entry->h_length == 4 && entry->h_addr_list[0] != nullptr &&
                        static_cast<uint8_t>(entry->h_addr_list[0][0]) == 127;
  ::WSACleanup();
  return loopback;
}

bool CollectorProgramExists() { return Exists(DosPath(QL_COLLECTOR_UNIX_PATH)); }

std::string CollectorProgram() { return QL_COLLECTOR_UNIX_PATH; }

CollectorRig::CollectorRig() : unix_folder_("/tmp/" + UniqueName("ql-telemetry-rig-")) {
  dos_folder_ = DosPath(unix_folder_);
  ::CreateDirectoryW(dos_folder_.c_str(), nullptr);
}

CollectorRig::~CollectorRig() {
  if (running_) Stop();
  RemoveTree(dos_folder_);
}

std::wstring CollectorRig::Dos(const std::string& name) const { return dos_folder_ + L"\\" + base::Utf8ToWide(name); }

bool CollectorRig::RunShell(const std::string& script) {
  // The script is one double-quoted argument of sh, so it holds single quotes
  // only. The shell first lets go of the standard handles it inherits from
  // this process: ctest waits for those to close, and the collector's shell
  // lives as long as the collector.
  std::wstring command =
      L"Z:\\bin\\sh -c \"exec </dev/null >/dev/null 2>&1; " + base::Utf8ToWide(script) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return false;
  }
  // A native program comes back without real handles: the values Wine hands
  // back can be those of handles this process holds (an installer the test
  // waits for), so only handles that name the started process are closed.
  if (process.hProcess != nullptr && ::GetProcessId(process.hProcess) == process.dwProcessId &&
      process.dwProcessId != 0) {
    base::ScopedKernelHandle thread(process.hThread);
    base::ScopedKernelHandle handle(process.hProcess);
  }
  return true;
}

bool CollectorRig::Start(const std::string& mode, const std::string& extra_options) {
  if (running_) return false;
  const std::string run = std::to_string(++runs_);
  // --exit-after-ms bounds the collector's life (beyond any test's time-out)
  // should a test die before Stop.
  const std::string script = "cd " + unix_folder_ + " && { '" QL_COLLECTOR_UNIX_PATH "' --db " +
                             Unix("collector.db") + " --port 8081 --mode " + mode + " --port-file " +
                             Unix("port." + run) + " --exit-after-ms 120000 " + extra_options + " </dev/null >>" +
                             Unix("collector.log") + " 2>&1 & echo $! >" + Unix("pid." + run) + "; wait $!; echo $? >" +
                             Unix("exit." + run) + "; }";
  if (!RunShell(script)) return false;
  const std::wstring port_file = Dos("port." + run);
  const std::wstring exit_file = Dos("exit." + run);
  WaitFor([&] { return Exists(port_file) || Exists(exit_file); }, 20s);
  running_ = Exists(port_file) && !Exists(exit_file);
  // The pid is written just after the start; Stop needs it.
  if (running_) WaitFor([&] { return !ReadText(Dos("pid." + run)).empty(); }, 5s);
  return running_;
}

bool CollectorRig::Stop() {
  if (!running_) return true;
  const std::string run = std::to_string(runs_);
  RunShell("kill -TERM $(cat " + Unix("pid." + run) + ")");
  const std::wstring exit_file = Dos("exit." + run);
  const bool ended = WaitFor([&] { return !ReadText(exit_file).empty(); }, 20s);
  running_ = !ended;
  return ended;
}

std::vector<nlohmann::json> CollectorRig::Events() {
  const std::string run = UniqueName("dump-");
  RunShell("'" QL_COLLECTOR_UNIX_PATH "' --dump --db " + Unix("collector.db") + " >" + Unix(run) + " 2>&1; echo $? >" +
           Unix(run + ".rc"));
  const std::wstring rc_file = Dos(run + ".rc");
  std::vector<nlohmann::json> events;
  if (!WaitFor([&] { return !ReadText(rc_file).empty(); }, 20s)) return events;
  std::stringstream lines(ReadText(Dos(run)));
  std::string line;
  while (std::getline(lines, line)) {
    const auto event = nlohmann::json::parse(line, nullptr, false);
    if (!event.is_discarded()) events.push_back(event);
  }
  return events;
}

std::string CollectorRig::Log() const { return ReadText(Dos("collector.log")); }

TempDir::TempDir() {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  path_ = std::wstring(temp) + base::Utf8ToWide(UniqueName("ql-telemetry-"));
  ::CreateDirectoryW(path_.c_str(), nullptr);
}

TempDir::~TempDir() {
  // Files may still be open in a process that is ending.
  for (int i = 0; i < 50 && Exists(path_); ++i) {
    RemoveTree(path_);
    if (Exists(path_)) ::Sleep(100);
  }
}

std::string TempDir::utf8() const { return base::WideToUtf8(path_); }

std::wstring RigProgram(const std::wstring& file_name) {
  static const std::wstring folder = DosPath(QL_TELEMETRY_RIG_DIR);
  return folder + L"\\" + file_name;
}

}  // namespace telemetry_rig
