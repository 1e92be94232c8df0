#include "base/path_manager.h"

#include <windows.h>

#include <shlobj.h>

#include <array>
#include <filesystem>
#include <string>

#include "base/registry.h"
#include "base/scoped_handle.h"
#include "base/system_folders.h"
#include "base/text_conversion.h"

namespace base {
namespace {

namespace fs = std::filesystem;

constexpr wchar_t kMakerName[] = L"Orvalis";
constexpr wchar_t kBoxKey[] = L"SOFTWARE\\QuilloraneBox";
constexpr wchar_t kTempProductFolder[] = L"Quillorane";
constexpr wchar_t kDefaultVersion[] = L"1.0.0.0";
constexpr wchar_t kDefaultDataRoot[] = L"C:\\QuilloraneData";
constexpr wchar_t kDefaultProgramFiles[] = L"C:\\Program Files";
constexpr wchar_t kDefaultAppData[] = L"C:\\Program Files\\Appdata";
constexpr wchar_t kSupplyKey[] = L"SOFTWARE\\Orvalis\\Mobivane";
constexpr uint64_t kDefaultChannelId = 2000;

struct ComponentNames {
  const wchar_t* registry;
  const wchar_t* folder;
};

constexpr std::array<ComponentNames, 13> kComponentNames = {{
    {L"", L"Data"},
    {L"QuilloraneEmulator", L"Application"},
    {L"QuilloraneBox", L"QuilloraneBox"},
    {L"Image", L"Image"},
    {L"MinaroRuntime", L"MinaroRuntime"},
    {L"Ludrix", L"LUdrix"},
    {L"TikoApplet", L"TikoApplet"},
    {L"NimbrelRuntime", L"OskanLaunch"},
    {L"", L""},
    {L"", L""},
    {L"", L""},
    {L"", L""},
    {L"KesmoEngine", L"KesmoEngine"},
}};

constexpr std::array<const wchar_t*, 11> kAppDataNames = {
    L"..", L".", L"apps", L"config", L"db", L"offline-page", L"web-engine-cache", L"minaro", L"resources",
    L"context_menu", L"cef"};

constexpr std::array<const wchar_t*, 7> kTempNames = {
    L"", L"resources\\tips", L"install-resources", L"mode-maps", L"cache", L"boot-animation", L"caton"};

bool IsValidKind(ComponentKind kind) {
  const int index = static_cast<int>(kind);
  return index >= 0 && index < static_cast<int>(kComponentNames.size());
}

std::wstring Join(std::wstring_view left, std::wstring_view right) {
  std::wstring joined(left);
  joined += L'\\';
  joined += right;
  return joined;
}

// Every folder getter hands out a folder that exists (when it can be made).
std::wstring Created(std::wstring folder) {
  if (!folder.empty()) EnsureDirectory(folder);
  return folder;
}

std::wstring ProgramFilesFolder() { return GetFolderPath(CSIDL_PROGRAM_FILES).value_or(kDefaultProgramFiles); }

}  // namespace

PathManager& PathManager::GetInstance() {
  // Never destroyed: detached threads (the system probes, IPC handlers) may
  // still ask for keys and folders while the process exits.
  static PathManager* const instance = new PathManager();
  return *instance;
}

void PathManager::Init(std::wstring_view product_name) {
  product_name_ = std::wstring(product_name);
  box_key_ = kBoxKey;
  product_key_ = Join(Join(L"SOFTWARE", kMakerName), product_name_);
  program_files_dir_ = Join(Join(ProgramFilesFolder(), kMakerName), product_name_);
  app_data_dir_ = Join(Join(GetFolderPath(CSIDL_APPDATA).value_or(kDefaultAppData), kMakerName), product_name_);
}

std::wstring PathManager::GetRegistryKey(ComponentKind kind) const {
  if (kind == ComponentKind::kProduct) return product_key_;
  if (kind == ComponentKind::kBox) return box_key_;
  if (!IsValidKind(kind)) return std::wstring();
  return Join(product_key_, kComponentNames[static_cast<int>(kind)].registry);
}

std::wstring PathManager::GetEnvKey() const { return Join(product_key_, L"Env"); }

std::wstring PathManager::GetSettingsKey() const { return Join(product_key_, L"Settings\\QuilloraneSettings"); }

std::wstring PathManager::GetInstallPath() const {
  return Created(ReadRegString(HKEY_LOCAL_MACHINE, product_key_, L"InstallPath", program_files_dir_));
}

std::wstring PathManager::GetDataRoot() const {
  return Created(ReadRegString(HKEY_LOCAL_MACHINE, product_key_, L"QuilloraneData", kDefaultDataRoot));
}

std::wstring PathManager::GetDataAppDir() const {
  return Created(Join(ReadRegString(HKEY_LOCAL_MACHINE, product_key_, L"QuilloraneData", kDefaultDataRoot), L"app"));
}

std::wstring PathManager::GetComponentInstallDir(ComponentKind kind) const {
  if (!IsValidKind(kind)) return std::wstring();
  if (kind == ComponentKind::kBox) return Created(Join(ProgramFilesFolder(), L"QuilloraneBox"));
  return Created(Join(GetInstallPath(), kComponentNames[static_cast<int>(kind)].folder));
}

std::wstring PathManager::GetComponentDir(ComponentKind kind) const {
  switch (kind) {
    case ComponentKind::kClient:
    case ComponentKind::kMinaroRuntime:
    case ComponentKind::kTikoApplet:
      return Created(Join(GetComponentInstallDir(kind), GetComponentVersion(kind)));
    case ComponentKind::kBox:
    case ComponentKind::kImage:
    case ComponentKind::kLudrix:
    case ComponentKind::kKesmoEngine:
      return GetComponentInstallDir(kind);
    default:
      return std::wstring();
  }
}

std::wstring PathManager::GetAppDataDir(AppDataDirKind kind) const {
  const int index = static_cast<int>(kind);
  if (index < 0 || index >= static_cast<int>(kAppDataNames.size())) return std::wstring();
  std::wstring folder = Join(app_data_dir_, kAppDataNames[index]);
  // "." names the folder itself; ".." is handed out as written.
  if (kind == AppDataDirKind::kSelf) folder = fs::path(folder).lexically_normal().wstring();
  return Created(std::move(folder));
}

std::wstring PathManager::GetTempDir(TempDirKind kind) const {
  const int index = static_cast<int>(kind);
  if (index < 0 || index >= static_cast<int>(kTempNames.size())) return std::wstring();
  const std::wstring maker = GetTempMakerDir();
  if (maker.empty()) return std::wstring();
  return Created((fs::path(maker) / kTempProductFolder / kTempNames[index]).wstring());
}

std::wstring PathManager::GetProductVersion() const {
  return ReadRegString(HKEY_LOCAL_MACHINE, product_key_, L"Version", kDefaultVersion);
}

std::wstring PathManager::GetComponentVersion(ComponentKind kind) const {
  const std::wstring key = GetRegistryKey(kind);
  std::wstring version = ReadRegString(HKEY_CURRENT_USER, key, L"Version", kDefaultVersion);
  if (version == kDefaultVersion) version = ReadRegString(HKEY_LOCAL_MACHINE, key, L"Version", kDefaultVersion);
  return version;
}

int32_t PathManager::GetChannelId() const {
  return static_cast<int32_t>(
      static_cast<uint32_t>(ReadRegQword(HKEY_LOCAL_MACHINE, product_key_, L"ChannelId", kDefaultChannelId)));
}

bool PathManager::IsApiDebugMode() const {
  return ReadRegQword(HKEY_CURRENT_USER, product_key_, L"api_debug_mode", 0) == 1 ||
         ReadRegQword(HKEY_LOCAL_MACHINE, product_key_, L"api_debug_mode", 0) == 1;
}

bool PathManager::SetExperimentId(std::string_view experiment_id_utf8) const {
  return WriteRegString(HKEY_LOCAL_MACHINE, product_key_, L"ExperimentId",
                        Utf8ToWide(experiment_id_utf8.data(), static_cast<int>(experiment_id_utf8.size())));
}

bool PathManager::HasClientFiles() const {
  if (GetComponentVersion(ComponentKind::kClient) == kDefaultVersion) return false;
  const std::wstring folder = GetComponentDir(ComponentKind::kClient);
  WIN32_FILE_ATTRIBUTE_DATA data;
  for (const wchar_t* file : {L"Quillorane.exe", L"QuilloraneEmulator.exe"}) {
    if (!::GetFileAttributesExW(Join(folder, file).c_str(), GetFileExInfoStandard, &data)) return false;
  }
  return true;
}

std::wstring GetTempMakerDir() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
  // Without the temporary folder there is no maker folder: a bare "Orvalis"
  // would be made in the current folder (System32 for an elevated process).
  if (length == 0 || length > MAX_PATH) return std::wstring();
  return Created((fs::path(std::wstring(buffer, length)) / kMakerName).wstring());
}

int32_t GetClientType() {
  const std::wstring key = PathManager::GetInstance().GetRegistryKey(ComponentKind::kProduct);
  constexpr uint64_t kNone = ~uint64_t{0};
  uint64_t value = ReadRegQword(HKEY_CURRENT_USER, key, L"ClientType", kNone);
  if (static_cast<int32_t>(static_cast<uint32_t>(value)) == -1) {
    value = ReadRegQword(HKEY_LOCAL_MACHINE, key, L"ClientType", kNone);
  }
  return static_cast<int32_t>(static_cast<uint32_t>(value));
}

bool SetClientType(int32_t client_type) {
  const std::wstring key = PathManager::GetInstance().GetRegistryKey(ComponentKind::kProduct);
  const uint64_t value = static_cast<uint64_t>(static_cast<int64_t>(client_type));
  if (!WriteRegQword(HKEY_LOCAL_MACHINE, key, L"ClientType", value)) return false;
  return WriteRegQword(HKEY_CURRENT_USER, key, L"ClientType", value);
}

uint64_t GetStoreLaunchTime() {
  return ReadRegQword(HKEY_CURRENT_USER, PathManager::GetInstance().GetRegistryKey(ComponentKind::kClient),
                      L"AppStoreLaunchTime", 0);
}

std::optional<uint32_t> GetSupplyId() {
  ScopedRegKey key = OpenRegKey(HKEY_LOCAL_MACHINE, kSupplyKey, KEY_READ | KEY_WOW64_32KEY);
  if (!key) return std::nullopt;
  DWORD value = 0;
  DWORD type = REG_NONE;
  DWORD size = sizeof(value);
  if (::RegQueryValueExW(key.Get(), L"SupplyId", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof(value)) {
    return std::nullopt;
  }
  return value;
}

}  // namespace base
