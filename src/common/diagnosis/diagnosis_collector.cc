#include "src/common/diagnosis/diagnosis_collector.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <regex>
#include <utility>

#include "archive/archive_compressor.h"
#include "archive/archive_exception.h"
#include "archive/archive_format.h"
#include "archive/seven_zip_library.h"
#include "base/named_mutex.h"
#include "base/path_manager.h"
#include "base/product_log.h"
#include "base/scoped_handle.h"
#include "base/text_conversion.h"
#include "src/common/diagnosis/event_log_export.h"

namespace diagnosis {
namespace {

namespace fs = std::filesystem;

constexpr wchar_t kWorkFolderName[] = L"QuilloraneDiagnosis";

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string AnsiName(const fs::path& path) { return base::WideToAnsi(path.filename().wstring()); }

// One entry of a folder listing, with the attributes the walk decides on.
struct FolderEntry {
  fs::path path;
  DWORD attributes = 0;
  bool IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  // Links and junctions are reparse points; a walk never enters them.
  bool IsLink() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
  bool IsRegularFile() const { return !IsFolder() && (attributes & FILE_ATTRIBUTE_DEVICE) == 0; }
};

// Lists `folder` (and, when `recursive`, every folder below it that is not a
// link) and hands each entry to `visit`, a folder before its content. A
// folder that cannot be listed is left out and logged; the walk goes on with
// the rest, so one unreadable folder never ends a collection.
void WalkFolder(const fs::path& folder, bool recursive, const std::function<void(const FolderEntry&)>& visit) {
  // A relative path would list the current folder instead.
  if (!folder.is_absolute()) return;
  WIN32_FIND_DATAW data;
  base::ScopedFindHandle find(::FindFirstFileExW((folder / L"*").c_str(), FindExInfoBasic, &data,
                                                 FindExSearchNameMatch, nullptr, 0));
  if (!find.IsValid()) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      PRODUCT_LOG("cannot list {}: error {}", base::WideToUtf8(folder.wstring()), error);
    }
    return;
  }
  do {
    const std::wstring_view name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    FolderEntry entry{folder / data.cFileName, data.dwFileAttributes};
    visit(entry);
    if (recursive && entry.IsFolder() && !entry.IsLink()) WalkFolder(entry.path, true, visit);
  } while (::FindNextFileW(find.Get(), &data));
  const DWORD error = ::GetLastError();
  if (error != ERROR_NO_MORE_FILES) {
    PRODUCT_LOG("listing of {} stopped: error {}", base::WideToUtf8(folder.wstring()), error);
  }
}

// The attributes of `path` with links followed; empty when it does not exist
// or cannot be asked.
std::optional<DWORD> Attributes(const fs::path& path) {
  base::ScopedKernelHandle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.IsValid()) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(file.Get(), &info)) return std::nullopt;
  return info.dwFileAttributes;
}

bool Exists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

void RemoveAll(const fs::path& path) {
  std::error_code ec;
  fs::remove_all(path, ec);
  if (ec && ec != std::errc::no_such_file_or_directory) {
    PRODUCT_LOG("cannot remove {}: {}", base::WideToUtf8(path.wstring()), ec.message());
  }
}

// The standard copy: a file only when the target does not exist yet, a
// folder with all its content. Failures are ignored.
void CopyEntry(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::copy(from, to, fs::copy_options::recursive, ec);
}

// The entry's name with the tag in front; the name is taken in UTF-16 for the
// copy (a name outside the ANSI code page would otherwise become "?", which
// no file name may hold) and in the ANSI code page for the filter.
void CopyLogFileIfMatching(const fs::path& entry, std::string_view tag, const fs::path& work_dir) {
  if (!IsLogFileName(AnsiName(entry))) return;
  CopyEntry(entry, work_dir / (base::Utf8ToWide(tag) + entry.filename().wstring()));
}

// "[<prefix>-<folder name>]".
std::string FolderTag(std::string_view prefix, const fs::path& folder) {
  return "[" + std::string(prefix) + "-" + base::WideToUtf8(folder.filename().wstring()) + "]";
}

// The application folder's entries that are version folders, or files.
void ForEachVersionEntry(const fs::path& app_dir, const std::function<void(const FolderEntry&)>& visit) {
  WalkFolder(app_dir, false, [&](const FolderEntry& entry) {
    if (entry.IsFolder() && !IsVersionString(AnsiName(entry.path))) return;
    visit(entry);
  });
}

// The system temporary folder; empty when it is unknown (a relative name
// would then point into the current folder).
fs::path UserTempFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH) return {};
  return fs::path(std::wstring(temp, length));
}

// The 7-Zip library: the client's copy, else the one the installer writes
// from its resources.
fs::path SevenZipLibraryPath() {
  auto& paths = base::PathManager::GetInstance();
  const fs::path client_copy = fs::path(paths.GetComponentDir(base::ComponentKind::kClient)) / L"7za.dll";
  if (Exists(client_copy)) return client_copy;
  const std::wstring resources = paths.GetTempDir(base::TempDirKind::kInstallResources);
  if (resources.empty()) return {};
  return fs::path(resources) / L"7za.dll";
}

bool PackWorkFolder(const fs::path& work_dir, const fs::path& package) {
  const fs::path library_path = SevenZipLibraryPath();
  // Loading a bare or missing name would let the loader search the system
  // for some other 7za.dll: without our own copy there is no package.
  if (library_path.empty() || !Exists(library_path)) {
    PRODUCT_LOG("diagnosis package not written: no 7-Zip library at {}", base::WideToUtf8(library_path.wstring()));
    return false;
  }
  try {
    arc::SevenZipLibrary library(library_path.wstring());
    arc::ArchiveCompressor compressor(library, arc::ArchiveFormats::SevenZipFormat);
    std::vector<std::wstring> files;
    WalkFolder(work_dir, false, [&files](const FolderEntry& entry) {
      if (entry.IsRegularFile()) files.push_back(entry.path.wstring());
    });
    compressor.CompressFileList(files, package.wstring());
    return true;
  } catch (const arc::ArchiveException& e) {
    PRODUCT_LOG("diagnosis package not written: {} ({:#x})", e.what(), static_cast<uint32_t>(e.ErrorCode()));
    return false;
  }
}

void CopyExtraFiles(const std::vector<std::wstring>& extra_files, const fs::path& work_dir) {
  for (const std::wstring& extra : extra_files) {
    std::error_code ec;
    const fs::path path(extra);
    if (!fs::is_regular_file(path, ec)) continue;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec || size >= kMaxExtraFileBytes) continue;
    fs::copy_file(path, work_dir / path.filename(), ec);
  }
}

// Two collections share the work folder's name: each would remove the other's
// folder while it is being filled. The second one waits for the first.
class WorkFolderLock {
 public:
  WorkFolderLock()
      : mutex_(::CreateMutexW(base::GetNullDaclSecurityAttributes(), FALSE, L"Local\\QuilloraneDiagnosisWorkFolder")) {
    // An abandoned mutex (its holder died) is owned all the same.
    if (mutex_.IsValid()) owned_ = ::WaitForSingleObject(mutex_.Get(), INFINITE) != WAIT_FAILED;
  }
  ~WorkFolderLock() {
    if (owned_) ::ReleaseMutex(mutex_.Get());
  }
  WorkFolderLock(const WorkFolderLock&) = delete;
  WorkFolderLock& operator=(const WorkFolderLock&) = delete;

 private:
  base::ScopedKernelHandle mutex_;
  bool owned_ = false;
};

bool Collect(const fs::path& package, const std::vector<std::wstring>& extra_files) {
  auto& paths = base::PathManager::GetInstance();
  RemoveAll(package);
  const fs::path work_dir = package.parent_path() / kWorkFolderName;
  WorkFolderLock lock;
  RemoveAll(work_dir);
  std::error_code ec;
  fs::create_directories(work_dir, ec);
  if (ec) PRODUCT_LOG("cannot create {}: {}", base::WideToUtf8(work_dir.wstring()), ec.message());

  bool written = false;
  try {
    WriteDiagnosisLog(work_dir);
    ExportEventLogs(work_dir);
    CollectSetupLogs(work_dir);
    const fs::path app_dir = paths.GetComponentInstallDir(base::ComponentKind::kClient);
    CollectZephrisLogs(app_dir, work_dir);
    CollectEngineLogs(app_dir, work_dir);
    CopyLogFolder("[abox]", fs::path(paths.GetComponentDir(base::ComponentKind::kBox)) / L"logs", work_dir);
    CopyLogFolder("[image]", fs::path(paths.GetComponentDir(base::ComponentKind::kImage)) / L"logs", work_dir);
    CopyLogFolder("[kesmo]", fs::path(paths.GetDataAppDir()) / L"logs", work_dir);
    CollectTempLogs(work_dir);
    const fs::path temp = UserTempFolder();
    if (!temp.empty()) CopyLogFolder("[render]", temp / L"AndroidEmulator", work_dir);
    CopyLogFolder("[minaro]", fs::path(paths.GetDataRoot()) / L"minaro_data" / L"log", work_dir);
    if (!temp.empty()) CopyLogFolder("[cloud_sdk]", temp / L"tarvenul", work_dir);
    CopyLogFolder("[context_menu]", paths.GetAppDataDir(base::AppDataDirKind::kContextMenu), work_dir);
    CopyExtraFiles(extra_files, work_dir);
    written = PackWorkFolder(work_dir, package);
  } catch (const std::exception& e) {
    // The collection runs on a detached thread: nothing may escape it.
    PRODUCT_LOG("diagnosis collection stopped: {}", e.what());
  }
  RemoveAll(work_dir);
  return written;
}

}  // namespace

bool IsLogFileName(std::string_view name) {
  return EndsWith(name, ".log") || EndsWith(name, ".xlog") || StartsWith(name, "logcatd") ||
         StartsWith(name, "tombstone") || StartsWith(name, "context_menu");
}

bool IsVersionString(std::string_view name) {
  static const std::optional<std::regex> pattern = []() -> std::optional<std::regex> {
    try {
      return std::regex(R"(\d+(\.\d+){3})");
    } catch (const std::regex_error&) {
      return std::nullopt;
    }
  }();
  if (!pattern) return false;
  try {
    return std::regex_match(name.begin(), name.end(), *pattern);
  } catch (const std::regex_error&) {
    return false;
  }
}

void CopyLogFolder(std::string_view tag, const fs::path& source, const fs::path& work_dir) {
  if (!source.is_absolute()) return;  // a folder the path manager does not know
  const std::optional<DWORD> attributes = Attributes(source);
  if (!attributes) return;
  if ((*attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    CopyLogFileIfMatching(source, tag, work_dir);
    return;
  }
  WalkFolder(source, true, [&](const FolderEntry& entry) { CopyLogFileIfMatching(entry.path, tag, work_dir); });
}

void CollectSetupLogs(const fs::path& work_dir) {
  const fs::path root = fs::path(base::PathManager::GetInstance().GetDataRoot()) / L"Component";
  WalkFolder(root, true, [&](const FolderEntry& entry) {
    if (!entry.IsFolder() || entry.IsLink()) return;
    CopyLogFolder(FolderTag("setup", entry.path), entry.path / L"logs", work_dir);
  });
}

void CollectZephrisLogs(const fs::path& app_dir, const fs::path& work_dir) {
  ForEachVersionEntry(app_dir, [&](const FolderEntry& entry) {
    const fs::path logs = entry.path / L"logs";
    if (Exists(logs)) CopyLogFolder(FolderTag("zephris", entry.path), logs, work_dir);
  });
}

void CollectEngineLogs(const fs::path& app_dir, const fs::path& work_dir) {
  ForEachVersionEntry(app_dir, [&](const FolderEntry& version) {
    const std::string tag = FolderTag("kesmo", version.path);
    CopyLogFolder(tag, version.path / L"render", work_dir);
    WalkFolder(version.path, false, [&](const FolderEntry& entry) {
      if (!entry.IsRegularFile()) return;
      const std::string name = AnsiName(entry.path);
      if ((StartsWith(name, "kesmo") || StartsWith(name, "zephris_drv")) && EndsWith(name, ".log")) {
        CopyLogFolder(tag, entry.path, work_dir);
      }
    });
  });
  WalkFolder(base::PathManager::GetInstance().GetDataAppDir(), false, [&](const FolderEntry& entry) {
    if (entry.IsRegularFile() && StartsWith(AnsiName(entry.path), "logcatd")) {
      CopyLogFolder("[kesmo_android]", entry.path, work_dir);
    }
  });
}

void CollectTempLogs(const fs::path& work_dir) {
  static constexpr std::pair<const wchar_t*, const char*> kTempLogs[] = {
      {L"uninstall.log", "[temp-uninstall]"},
      {L"launcher.log", "[temp-launcher]"},
      {L"zephris_install.log", "[temp-install]"},
      {L"ZephrisStore_dxdiag.log", "[temp-dxdiag]"},
      {L"PC_VZT_SDK.log", "[temp-PC_VZT_SDK]"},
      {L"ZephrisVfs.exe.log", "[temp-vfs]"},
      {L"context_menu_ext.dll.log", "[temp-win10menu]"},
      {L"PCvztContextMenu.dll.log", "[temp-win11menu]"},
      {L"silent_process.log", "[temp-silent_process]"},
      {L"CEF_Zephris.log", "[temp-cef]"},
      {L"CEF_ZephrisStore.log", "[temp-cef]"},
      {L"CEF_ZephrisAiAssistant.log", "[temp-cef]"},
      {L"ZephrisAiAssistant.log", "[temp-aiassistant]"},
  };
  const std::wstring temp = base::PathManager::GetInstance().GetTempDir(base::TempDirKind::kRoot);
  if (temp.empty()) return;
  for (const auto& [file, tag] : kTempLogs) CopyLogFolder(tag, fs::path(temp) / file, work_dir);
}

void ExportEventLogs(const fs::path& work_dir) {
  for (const wchar_t* channel : {L"Application", L"System"}) {
    const DWORD error = ExportEventLogChannel(channel, work_dir / (std::wstring(channel) + L".evtx"));
    if (error != ERROR_SUCCESS) {
      std::printf("EvtExportLog failed for initial export with %lu.\n", static_cast<unsigned long>(error));
      std::fflush(stdout);
    }
  }
}

bool CollectDiagnosis(const std::wstring& package_path, const std::vector<std::wstring>& extra_files) {
  try {
    return Collect(fs::path(package_path), extra_files);
  } catch (const std::exception& e) {
    PRODUCT_LOG("diagnosis collection failed: {}", e.what());
    return false;
  }
}

}  // namespace diagnosis
