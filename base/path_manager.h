// Where the product keeps things: the registry key of each component, install
// and working folders, per-user and temporary folders, and the product's
// settings values. Every other part asks here instead of building a key or a
// folder itself.
//
// Every operation that returns a folder also creates it (with its parents)
// when nothing stands at that path yet; creation errors are ignored and the
// path is returned anyway. Registry reads fall back to their defaults.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace base {

// A product component. 8 to 11 are reserved: they have no names.
enum class ComponentKind : int {
  kProduct = 0,
  kClient = 1,  // the client application
  kBox = 2,
  kImage = 3,
  kMinaroRuntime = 4,
  kLudrix = 5,
  kTikoApplet = 6,
  kNimbrelRuntime = 7,
  kReserved8 = 8,
  kReserved9 = 9,
  kReserved10 = 10,
  kReserved11 = 11,
  kKesmoEngine = 12,
};

// Folders under the product's application-data folder.
enum class AppDataDirKind : int {
  kParent = 0,  // ".."
  kSelf = 1,    // "."
  kApps = 2,
  kConfig = 3,
  kDb = 4,  // the local SQLite files
  kOfflinePage = 5,
  kWebEngineCache = 6,
  kMinaro = 7,
  kResources = 8,
  kContextMenu = 9,
  kCef = 10,
};

// Folders under the product's temporary folder.
enum class TempDirKind : int {
  kRoot = 0,  // the product's temporary folder itself
  kTips = 1,
  kInstallResources = 2,  // receives the archive engine during an install
  kModeMaps = 3,
  kCache = 4,
  kBootAnimation = 5,
  kCaton = 6,
};

class PathManager {
 public:
  // Never destroyed: threads that outlive main may still use it during exit.
  static PathManager& GetInstance();

  // Sets the keys and folders from the product name. Runs once at start-up,
  // before anything else asks; it reads no registry value and creates nothing.
  void Init(std::wstring_view product_name);

  // Key paths without root.
  std::wstring GetRegistryKey(ComponentKind kind) const;
  std::wstring GetEnvKey() const;
  std::wstring GetSettingsKey() const;

  // Folders read from the registry (HKLM, product key), created.
  std::wstring GetInstallPath() const;  // "InstallPath"; the product's Program Files folder by default
  std::wstring GetDataRoot() const;     // "QuilloraneData"; C:\QuilloraneData by default
  std::wstring GetDataAppDir() const;   // the data root + \app

  std::wstring GetComponentInstallDir(ComponentKind kind) const;
  // The folder a component works in: versioned for some kinds, the install
  // folder for others, empty (and nothing created) for the rest.
  std::wstring GetComponentDir(ComponentKind kind) const;

  std::wstring GetAppDataDir(AppDataDirKind kind) const;
  // Empty (and nothing created) when the temporary folder is unknown.
  std::wstring GetTempDir(TempDirKind kind) const;

  std::wstring GetProductVersion() const;
  // HKCU first; only when that holds no version of its own, HKLM.
  std::wstring GetComponentVersion(ComponentKind kind) const;
  int32_t GetChannelId() const;  // low 32 bits of the stored QWORD
  bool IsApiDebugMode() const;   // the QWORD "api_debug_mode" is exactly 1 in HKCU or HKLM
  bool SetExperimentId(std::string_view experiment_id_utf8) const;

  // The client application is installed in its versioned folder.
  bool HasClientFiles() const;

  const std::wstring& product_name() const { return product_name_; }

 private:
  PathManager() = default;

  std::wstring product_key_;
  std::wstring product_name_;
  std::wstring box_key_;
  std::wstring program_files_dir_;
  std::wstring app_data_dir_;
};

// The system temporary folder with "Orvalis" appended, created. Empty (and
// nothing created) when the temporary folder is unknown.
std::wstring GetTempMakerDir();

// "ClientType" of the product key: HKCU first, then HKLM; -1 when neither has one.
int32_t GetClientType();
// Writes HKLM, and HKCU only after HKLM took it; true when both did.
bool SetClientType(int32_t client_type);

// "AppStoreLaunchTime" of the client application's key in HKCU, 0 when absent.
uint64_t GetStoreLaunchTime();

// The DWORD "SupplyId" that the maker's Mobivane product leaves in the 32-bit
// registry view; empty when there is none.
std::optional<uint32_t> GetSupplyId();

}  // namespace base
