#include "src/zephris_install/src/tool/env_info.h"

#include <mutex>
#include <string>
#include <thread>

#include "base/path_manager.h"
#include "base/process_util.h"
#include "base/registry.h"
#include "base/system_probe.h"
#include "base/text_conversion.h"
#include "probes/duvex_loader.h"
#include "probes/graphic_info.h"
#include "probes/virtualization_probe.h"
#include "report/init_report.h"
#include "src/zephris_install/src/boot/setting_defaults.h"
#include "vireon_sdk/src/report/vireon_client.h"

void EnvInfoToJson(nlohmann::json& json, const EnvInfo& info) {
  json = nlohmann::json::object();
  json["client_type"] = info.client_type;
  json["oem_type"] = info.oem_type;
  json["cpu_core_number"] = info.cpu_core_number;
  json["physical_memory"] = info.physical_memory;
  json["is_auto_pre_download"] = info.is_auto_pre_download;
  json["is_open_market"] = info.is_open_market;
  json["vt_state"] = info.vt_state;
  json["hyperv_state"] = info.hyperv_state;
  json["abox_version"] = info.abox_version;
  json["zephris_version"] = info.zephris_version;
  json["architecture"] = info.architecture;
  json["cpu_vendor"] = info.cpu_vendor;
  json["cpu_model"] = info.cpu_model;
  json["graphics_model"] = info.graphics_model;
  json["graphics_vendor"] = info.graphics_vendor;
  json["guid"] = info.guid;
  json["image_version"] = info.image_version;
  json["locale"] = info.locale;
  json["login_openid"] = info.login_openid;
  json["login_type"] = info.login_type;
  json["main_version"] = info.main_version;
  json["media_channel"] = info.media_channel;
  json["duvex"] = info.duvex;
  json["region"] = info.region;
  json["system_version"] = info.system_version;
  json["max_disk_size"] = info.max_disk_size;
  json["vzt_install_time"] = info.vzt_install_time;
  json["vzt_open_time"] = info.vzt_open_time;
}

namespace {

using base::ComponentKind;
using base::PathManager;

EnvInfo& StaticEnvInfo() {
  static EnvInfo* const info = new EnvInfo;  // read by request threads while the process exits
  return *info;
}

std::string CpuVendorName(int code) {
  switch (code) {
    case base::kCpuVendorIntel:
      return "Intel";
    case base::kCpuVendorAmd:
      return "AMD";
    case base::kCpuVendorOther:
      return "Other";
    default:
      return "Unknown";
  }
}

std::string ComponentVersion(ComponentKind kind) {
  return base::WideToUtf8(PathManager::GetInstance().GetComponentVersion(kind));
}

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// The graphics facts as they stand: those stored by an earlier run, or those
// of a detection the start-up probe thread has finished. A record never waits
// for the client's OpenGL check, whose two brief runs can take ten seconds
// when the check hangs; every web request of the install would wait behind it.
void FillGraphicsEnvInfo(EnvInfo& info) {
  const probes::GraphicInfo facts = probes::GraphicInfoDetector::Instance().Snapshot();
  info.graphics_vendor = facts.vendor_class;
  info.graphics_model = facts.opengl_renderer;
}

}  // namespace

uint64_t FileTimeToUnixSeconds(const FILETIME& time) {
  constexpr uint64_t kUnixEpoch = 116444736000000000ULL;  // 1970-01-01 in 100 ns units since 1601
  const uint64_t ticks = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return ticks < kUnixEpoch ? 0 : (ticks - kUnixEpoch) / 10000000ULL;
}

// The file time is UTC already; turning it into calendar fields and back
// through the local zone would shift it by an hour across a daylight-saving
// change, so it is converted directly.
uint64_t ReadInstallFolderTime() {
  const std::wstring path = PathManager::GetInstance().GetInstallPath();
  if (path.empty()) return 0;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return FileTimeToUnixSeconds(data.ftCreationTime);
}

void FillStaticEnvInfo() {
  EnvInfo& info = StaticEnvInfo();
  info.architecture = base::GetCpuArchitecture();
  info.cpu_core_number = static_cast<int32_t>(std::thread::hardware_concurrency());
  info.locale = base::WideToUtf8(base::GetUserLanguageCode());
  info.physical_memory = static_cast<int32_t>(InstalledMemoryGiB());
  info.system_version = base::GetOsVersionString();
  info.max_disk_size = base::ChooseLargestFixedDrive().free_bytes;
  int vendor = base::kCpuVendorNone;
  std::string brand;
  base::GetCpuBrand(vendor, brand);
  info.cpu_model = brand;
  info.cpu_vendor = CpuVendorName(vendor);
  info.guid = VireonClient::VireonDeviceId();
}

void CopyStaticEnvInfo(EnvInfo& info) { info = StaticEnvInfo(); }

EnvInfo GetEnvInfo() {
  static std::once_flag filled;
  std::call_once(filled, FillStaticEnvInfo);
  EnvInfo info;
  CopyStaticEnvInfo(info);
  FillGraphicsEnvInfo(info);
  PathManager& paths = PathManager::GetInstance();
  info.abox_version = ComponentVersion(ComponentKind::kBox);
  info.zephris_version = ComponentVersion(ComponentKind::kClient);
  info.client_type = base::GetClientType();
  info.oem_type = 0;
  info.hyperv_state = base::ProbeMicrosoftHypervisor();
  info.image_version = ComponentVersion(ComponentKind::kImage);
  info.main_version = base::WideToUtf8(paths.GetProductVersion());
  info.media_channel = std::to_string(static_cast<uint32_t>(paths.GetChannelId()));
  info.vt_state = probes::GetVtState();
  info.login_openid.clear();
  info.login_type.clear();
  info.duvex = probes::GetDuvexId();
  info.region = UpperAscii(base::WideToUtf8(base::GetUserCountryCode()));
  info.is_auto_pre_download = ReadPreDownloadSwitch();
  info.is_open_market = base::IsProcessRunning(L"Quillorane.exe") != 0 ? 1 : 0;
  info.vzt_install_time = ReadInstallFolderTime();
  info.vzt_open_time = base::GetStoreLaunchTime();
  return info;
}

int32_t ReadPreDownloadSwitch() {
  const int64_t fallback = SettingDefaults().at("PreDownloadSwitch");
  return static_cast<int32_t>(base::ReadRegQword(HKEY_CURRENT_USER, PathManager::GetInstance().GetSettingsKey(),
                                                 L"PreDownloadSwitch", static_cast<uint64_t>(fallback)));
}

void SetAppStoreAutoStartSwitch(int32_t value) {
  base::WriteRegQword(HKEY_LOCAL_MACHINE, PathManager::GetInstance().GetSettingsKey(), L"AppStoreAutoStartSwitch",
                      static_cast<uint64_t>(static_cast<int64_t>(value)));
}
