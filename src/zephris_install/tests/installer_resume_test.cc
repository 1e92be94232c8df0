// QuilloraneInstaller.exe, stamped with an install record of this test's own
// channel, installing a large client component from the fault server:
// - killed (TerminateProcess) at a point of the download or of the install
//   stage and started again, the second run ends with exit code 0 and the
//   files it left are the component's files byte for byte, and no byte range
//   that the downloader's resume index held at the kill is fetched again;
// - with the archives on a drive too small for them, the run fails with the
//   download's result code and leaves no product registered.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "base/file_md5.h"
#include "base/path_manager.h"
#include "base/registry.h"
#include "base/scoped_handle.h"
#include "base/string_util.h"
#include "base/text_conversion.h"
#include "net/web_api_endpoint.h"
#include "net/web_request.h"
#include "testing/process/child_process.h"  // DosPath
#include "tools/stamp_install_record/install_record_stamp.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr char kComponent[] = "resume-client";
constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillorane";
// Result codes of the installer program (its exit code in silent mode).
constexpr DWORD kResultSuccess = 0;
constexpr DWORD kResultDownloadFailed = 2;

std::string Env(const char* name) {
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
  wchar_t buffer[1024];
  DWORD size = sizeof(buffer);
  if (::RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::wstring(buffer);
}

bool KeyExists(HKEY root, const std::wstring& key) {
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  ::RegCloseKey(opened);
  return true;
}

// The .lnk files of the shell folders where the installer puts its links.
std::set<fs::path> Links() {
  std::set<fs::path> links;
  for (const KNOWNFOLDERID* id : {&FOLDERID_Desktop, &FOLDERID_PublicDesktop, &FOLDERID_Programs,
                                  &FOLDERID_CommonPrograms}) {
    PWSTR folder = nullptr;
    if (SUCCEEDED(::SHGetKnownFolderPath(*id, 0, nullptr, &folder))) {
      std::error_code error;
      for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->path().extension() == L".lnk") links.insert(it->path());
      }
    }
    ::CoTaskMemFree(folder);
  }
  return links;
}

// A byte range [first, last] of the archive.
struct Range {
  int64_t first;
  int64_t last;
};

// The fault server's GET lines ("GET bytes=A-B STATUS BYTES") as ranges.
std::vector<Range> GetRanges(const std::string& stats, int64_t file_size) {
  std::vector<Range> ranges;
  const std::regex line(R"(GET (\S+) (\d+) \d+)");
  for (std::sregex_iterator it(stats.begin(), stats.end(), line), end; it != end; ++it) {
    const std::string range = (*it)[1];
    std::smatch m;
    if (range == "-") {
      ranges.push_back({0, file_size - 1});
    } else if (std::regex_match(range, m, std::regex(R"(bytes=(\d+)-(\d*))"))) {
      ranges.push_back({std::stoll(m[1]), m[2].length() ? std::stoll(m[2]) : file_size - 1});
    } else {
      ADD_FAILURE() << "unexpected range in " << it->str();
    }
  }
  return ranges;
}

// The bytes that a resume index vouches for: each slice's first `capacity`
// bytes. Empty when there is no index or it does not read.
std::vector<Range> IndexedRanges(const fs::path& index) {
  std::vector<Range> held;
  const std::string bytes = ReadFile(index);
  constexpr char kMagic[] = "COURIER:SEGMENT-DOWNLOAD(2.0)";
  if (bytes.rfind(kMagic, 0) != 0) return held;
  const json root = json::parse(bytes.substr(sizeof(kMagic) - 1), nullptr, false);
  if (!root.is_object() || !root.contains("slices")) return held;
  for (const json& slice : root["slices"]) {
    const int64_t begin = slice.value("begin", int64_t{0});
    const int64_t capacity = slice.value("capacity", int64_t{0});
    if (capacity > 0) held.push_back({begin, begin + capacity - 1});
  }
  return held;
}

enum class Trigger {
  kDownloaded,  // the fault server has sent at least `fraction` of the archive
  kLogLine,     // the run's product log holds `line`
};

struct KillPoint {
  const char* name;
  Trigger trigger;
  double fraction;
  const char* line;
};

const KillPoint kKillPoints[] = {
    {"DownloadStarted", Trigger::kDownloaded, 0.0, nullptr},
    {"Downloaded15Percent", Trigger::kDownloaded, 0.15, nullptr},
    {"Downloaded30Percent", Trigger::kDownloaded, 0.30, nullptr},
    {"Downloaded50Percent", Trigger::kDownloaded, 0.50, nullptr},
    {"Downloaded70Percent", Trigger::kDownloaded, 0.70, nullptr},
    // The downloader saves its resume index ten seconds into a download,
    // about four fifths into this one: these kills find one to resume from.
    {"Downloaded88Percent", Trigger::kDownloaded, 0.88, nullptr},
    {"Downloaded97Percent", Trigger::kDownloaded, 0.97, nullptr},
    // The archive is whole: its check before unpacking, then the unpacking.
    {"InstallStageStarted", Trigger::kLogLine, 0, "start install resume-client"},
    // Unpacked: the component's files are checked and its setup runs.
    {"Unpacked", Trigger::kLogLine, 0, "extract file success"},
    // The setup has run: the client's files stand, the product's version
    // value and uninstall entry do not. The rerun must not take the files for
    // an installed product.
    {"SetupDone", Trigger::kLogLine, 0, "execute setup success"},
    // The product is registered: only its links and the client's start are
    // left.
    {"Registered", Trigger::kLogLine, 0, "NotifyInstallEnd"},
};

class InstallerResumeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base::PathManager::GetInstance().Init(L"Quillorane");
    product_key_ = base::PathManager::GetInstance().GetRegistryKey(base::ComponentKind::kProduct);
    client_key_ = base::PathManager::GetInstance().GetRegistryKey(base::ComponentKind::kClient);
    links_before_ = Links();
    ClearProduct();
    // The web API's test endpoint.
    ASSERT_TRUE(base::WriteRegQword(HKEY_CURRENT_USER, product_key_, L"api_debug_mode", 1));
    const DWORD pid = ::GetCurrentProcessId();
    dir_ = fs::temp_directory_path() / (L"QlResume" + std::to_wstring(pid));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / L"archives");
    // Seven digits from 4, apart from the engine tests' channels.
    channel_ = 4000000 + pid % 1000000;
    match_ = "\"supply_channel\":" + std::to_string(channel_) + "}";
    const json record = {{"channel_id", channel_},   {"build_id", 1},
                         {"source_trace", "resume"}, {"version", "1.0.0.0"},
                         {"display_name", "Quillorane"}, {"auto_start_market", 1},
                         {"create_desktop_link", 1}, {"create_start_menu_link", 1},
                         {"show_tray_icon", 1},      {"install_mode", 2},
                         {"pullup_type", 1}};
    std::ofstream(dir_ / L"record.json") << record.dump();
    installer_ = dir_ / L"QuilloraneInstaller.exe";
    ASSERT_EQ(stamp::StampFile(fs::path(testing_process::DosPath(QL_INSTALLER_EXE)), dir_ / L"record.json",
                               installer_),
              "");
    archive_ = fs::path(base::Utf8ToWide(Env("QL_HTTP_RIG_WWW"))) / (std::string(kComponent) + ".7z");
    ASSERT_TRUE(fs::exists(archive_)) << archive_.string();
    archive_size_ = static_cast<int64_t>(fs::file_size(archive_));
    log_path_ = fs::path(base::GetTempMakerDir()) / L"Quillorane" / L"zephris_install.log";
  }

  void TearDown() override {
    RigPost("/_rig/answer?match=" + base::UrlEncode(match_), "");
    ClearProduct();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  // The product's folders as its keys name them now; a failed run deletes
  // the keys, so each run's are noted when it ends.
  void NoteFolders() {
    for (const wchar_t* value : {L"InstallPath", L"QuilloraneData"}) {
      const std::optional<std::wstring> folder = ReadString(HKEY_LOCAL_MACHINE, product_key_, value);
      if (folder && fs::path(*folder).filename().wstring().find(L"Quillorane") == 0) folders_.insert(*folder);
    }
  }

  // Nothing of the product left: its folders, keys, links and associations.
  void ClearProduct() {
    std::error_code ignored;
    NoteFolders();
    for (const fs::path& folder : folders_) fs::remove_all(folder, ignored);
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
      for (const wchar_t* key : {L"Software\\Classes\\Quillorane", L"Software\\Classes\\Zephris.apk",
                                 L"Software\\Classes\\.apk"}) {
        base::DeleteRegTree(root, key);
      }
      base::DeleteRegTree(root, product_key_);
    }
    base::DeleteRegTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    for (const fs::path& link : Links()) {
      if (!links_before_.count(link)) fs::remove(link, ignored);
    }
  }

  static void RigPost(const std::string& path_and_query, const std::string& body) {
    const net::HttpResult r = net::CurlPost(net::WebApiTestOrigin() + path_and_query, nullptr, body);
    EXPECT_EQ(r.http_code, 200) << path_and_query << " " << r.body;
  }

  // The web API lists the one client component, served by the fault server
  // under `key` with `query`.
  void AnswerClient(const std::string& key, const std::string& query) {
    const json component = {{"size", archive_size_},
                            {"type", 1},
                            {"name", kComponent},
                            {"url", Env("QL_HTTP_FAULT_URL") + "/files/" + kComponent + ".7z?key=" + key + query},
                            {"md5", Lower(base::FileMd5Hex(archive_.wstring()))},
                            {"version", "5.0.0.1"}};
    const json answer = {{"code", 0},
                         {"msg", "SUCCESS"},
                         {"data", {{"version", "2.0.0.1"}, {"components", json::array({component})}}}};
    RigPost("/_rig/answer?match=" + base::UrlEncode(match_), answer.dump());
  }

  std::string FaultStats(const std::string& key) const {
    const fs::path file = dir_ / L"stats.txt";
    const net::HttpResult r = net::CurlDownload(Env("QL_HTTP_FAULT_URL") + "/stats?key=" + key, file.wstring());
    EXPECT_EQ(r.http_code, 200);
    return ReadFile(file);
  }

  // Runs the installer silently with its archives in `archives`. When `kill`
  // says so while it runs, terminates it there and returns nullopt; otherwise
  // its exit code. The installer runs in a job that ends whatever it leaves
  // behind (the environment probe's wmic, the client it starts), with the
  // null device for its standard handles.
  std::optional<DWORD> RunInstaller(const fs::path& archives, const std::function<bool()>& kill, bool* killed) {
    std::wstring command_line = L"\"" + installer_.wstring() +
                                L"\" --mode 2 --disable-self-update 1 --download-directory \"" +
                                archives.wstring() + L"\"";
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
    *killed = false;
    if (!::CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                          dir_.c_str(), &startup, &started)) {
      ADD_FAILURE() << "CreateProcessW: " << ::GetLastError();
      return std::nullopt;
    }
    base::ScopedKernelHandle process(started.hProcess);
    base::ScopedKernelHandle thread(started.hThread);
    EXPECT_TRUE(::AssignProcessToJobObject(job.Get(), process.Get()));
    ::ResumeThread(thread.Get());
    std::optional<DWORD> exit_code;
    // Bounded only so that a hung installer fails the case instead of ctest.
    for (int turn = 0; turn < 20000; ++turn) {
      if (::WaitForSingleObject(process.Get(), 10) == WAIT_OBJECT_0) {
        DWORD code = 0;
        ::GetExitCodeProcess(process.Get(), &code);
        exit_code = code;
        break;
      }
      if (kill && kill()) {
        ::TerminateProcess(process.Get(), 99);
        ::WaitForSingleObject(process.Get(), 30000);
        *killed = true;
        break;
      }
    }
    ::TerminateJobObject(job.Get(), 99);
    NoteFolders();
    EXPECT_TRUE(exit_code || *killed) << "the installer did not end";
    return exit_code;
  }

  fs::path ComponentFolder() const {
    const std::optional<std::wstring> data = ReadString(HKEY_LOCAL_MACHINE, product_key_, L"QuilloraneData");
    return data ? fs::path(*data) / L"Component" / kComponent : fs::path();
  }

  // True once `point` is reached by the run whose log starts at `log_start`.
  // A download's point is read off the bytes the fault server has sent for
  // `key`, counted as they go out: the installer's own file tells too little,
  // since its slices hold megabytes in memory and write them in a few large
  // steps, which a look every few milliseconds can miss altogether.
  bool Reached(const KillPoint& point, std::uintmax_t log_start, const std::string& key) const {
    if (point.trigger == Trigger::kDownloaded) {
      const std::string stats = FaultStats(key);
      int64_t sent = 0;
      const std::regex get(R"(GET \S+ \d+ (\d+))");
      for (std::sregex_iterator it(stats.begin(), stats.end(), get), end; it != end; ++it) {
        sent += std::stoll((*it)[1]);
      }
      return sent > 0 && static_cast<double>(sent) >= point.fraction * static_cast<double>(archive_size_);
    }
    return NewLog(log_start).find(point.line) != std::string::npos;
  }

  // The installed files are the sources' bytes: the unpacked component, and
  // what its setup copied into the install folder.
  void ExpectByteExactInstall() const {
    const fs::path source(base::Utf8ToWide(Env("QL_RESUME_SOURCE")));
    const fs::path unpacked = ComponentFolder();
    ASSERT_FALSE(unpacked.empty()) << "no QuilloraneData";
    size_t files = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(source)) {
      if (!entry.is_regular_file()) continue;
      const fs::path relative = fs::relative(entry.path(), source);
      EXPECT_TRUE(ReadFile(unpacked / relative) == ReadFile(entry.path())) << relative.string();
      ++files;
    }
    EXPECT_GE(files, 14u);
    EXPECT_TRUE(ReadFile(dir_ / L"archives" / (std::string(kComponent) + ".7z")) == ReadFile(archive_));
    const std::optional<std::wstring> install = ReadString(HKEY_LOCAL_MACHINE, product_key_, L"InstallPath");
    const std::optional<std::wstring> version = ReadString(HKEY_CURRENT_USER, client_key_, L"Version");
    ASSERT_TRUE(install && version);
    const fs::path application = fs::path(*install) / L"Application";
    const struct {
      fs::path installed;
      const wchar_t* source;
    } copies[] = {
        {application / L"QuilloraneLauncher.exe", L"QuilloraneLauncher.exe"},
        {application / L"Uninstall.exe", L"Uninstall.exe"},
        {application / L"resources" / L"icon" / L"apk.ico", L"resources\\icon\\apk.ico"},
        {application / *version / L"Quillorane.exe", L"Quillorane.exe"},
        {application / *version / L"QuilloraneEmulator.exe", L"QuilloraneEmulator.exe"},
    };
    for (const auto& copy : copies) {
      const std::string bytes = ReadFile(copy.installed);
      EXPECT_FALSE(bytes.empty()) << copy.installed.string();
      EXPECT_TRUE(bytes == ReadFile(source / copy.source)) << copy.installed.string();
    }
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  }

  std::string NewLog(std::uintmax_t from) const {
    std::ifstream file(log_path_, std::ios::binary);
    file.seekg(static_cast<std::streamoff>(from));
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  std::uintmax_t LogSize() const {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(log_path_, error);
    return error ? 0 : size;
  }

  std::wstring product_key_;
  std::wstring client_key_;
  std::set<fs::path> links_before_;
  std::set<fs::path> folders_;
  fs::path dir_;
  fs::path installer_;
  fs::path archive_;
  int64_t archive_size_ = 0;
  fs::path log_path_;
  uint64_t channel_ = 0;
  std::string match_;
};

class KillAndResumeTest : public InstallerResumeTest, public ::testing::WithParamInterface<KillPoint> {};

TEST_P(KillAndResumeTest, TheRunAfterTheKillCompletesTheInstallWithoutFetchingHeldBytesAgain) {
  const KillPoint& point = GetParam();
  const std::string key = "resume" + std::to_string(::GetCurrentProcessId()) + point.name;
  // Each GET at most 384 KiB a second: the download takes over ten seconds,
  // long enough for the downloader to save its resume index on the way.
  AnswerClient(key, "&rate=393216");
  const std::uintmax_t log_start = LogSize();

  bool killed = false;
  const std::optional<DWORD> first =
      RunInstaller(dir_ / L"archives", [&] { return Reached(point, log_start, key); }, &killed);
  ASSERT_TRUE(killed) << "the run ended with " << first.value_or(-1) << " before the kill point; log:\n"
                      << NewLog(log_start);
  const fs::path index = dir_ / L"archives" / (std::string(kComponent) + ".7z.dlindex");
  const std::vector<Range> held = IndexedRanges(index);
  const size_t requests_before = GetRanges(FaultStats(key), archive_size_).size();
  int64_t held_bytes = 0;
  for (const Range& r : held) held_bytes += r.last - r.first + 1;
  std::cout << "killed at " << point.name << "; the resume index holds " << held_bytes << " of " << archive_size_
            << " bytes in " << held.size() << " slice(s)\n";

  const std::uintmax_t rerun_start = LogSize();
  const std::optional<DWORD> second = RunInstaller(dir_ / L"archives", nullptr, &killed);
  const std::string log = NewLog(rerun_start);
  ASSERT_EQ(second, std::optional<DWORD>(kResultSuccess)) << log;
  ExpectByteExactInstall();

  const std::vector<Range> requests = GetRanges(FaultStats(key), archive_size_);
  ASSERT_GE(requests.size(), requests_before);
  for (size_t i = requests_before; i < requests.size(); ++i) {
    for (const Range& h : held) {
      EXPECT_TRUE(requests[i].last < h.first || requests[i].first > h.last)
          << "bytes " << requests[i].first << "-" << requests[i].last << " fetched again, held " << h.first << "-"
          << h.last;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(KillPoints, KillAndResumeTest, ::testing::ValuesIn(kKillPoints),
                         [](const ::testing::TestParamInfo<KillPoint>& info) { return info.param.name; });

TEST_F(InstallerResumeTest, ArchivesOnAFullDiskFailTheDownloadAndRegisterNothing) {
  const fs::path state(base::Utf8ToWide(Env("QL_RESUME_DISK_STATE")));
  if (fs::exists(state / L"REFUSED")) {
    GTEST_SKIP() << "no small disk: the machine refused the tmpfs mount: " << ReadFile(state / L"REFUSED");
  }
  ULARGE_INTEGER free_bytes{}, total{};
  ASSERT_TRUE(::GetDiskFreeSpaceExW(L"R:\\", &free_bytes, &total, nullptr)) << "drive R: is not the small disk";
  ASSERT_LT(total.QuadPart, static_cast<uint64_t>(archive_size_)) << "the archive fits on R:";
  const fs::path archives = L"R:\\QlResumeArchives";
  std::error_code ignored;
  fs::remove_all(archives, ignored);
  fs::create_directories(archives);
  AnswerClient("disk" + std::to_string(::GetCurrentProcessId()), "");
  const std::uintmax_t log_start = LogSize();

  bool killed = false;
  const std::optional<DWORD> code = RunInstaller(archives, nullptr, &killed);
  const std::string log = NewLog(log_start);
  fs::remove_all(archives, ignored);
  EXPECT_EQ(code, std::optional<DWORD>(kResultDownloadFailed)) << log;
  EXPECT_NE(log.find("BadExit download"), std::string::npos) << log;
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    EXPECT_FALSE(ReadString(root, client_key_, L"Version"));
    EXPECT_FALSE(ReadString(root, product_key_, L"InstallPath"));
  }
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

}  // namespace
