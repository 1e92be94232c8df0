#include "report/volatile_params.h"

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <mutex>
#include <string>

#include <fmt/format.h>

#include "base/path_manager.h"
#include "base/registry.h"
#include "base/system_probe.h"
#include "base/text_conversion.h"
#include "probes/duvex_loader.h"
#include "probes/graphic_info.h"
#include "probes/security_software.h"

namespace param {

namespace {

using base::ComponentKind;
using base::PathManager;

std::wstring ProductKey() { return PathManager::GetInstance().GetRegistryKey(ComponentKind::kProduct); }
std::wstring ClientKey() { return PathManager::GetInstance().GetRegistryKey(ComponentKind::kClient); }

std::string ComponentVersion(ComponentKind kind) {
  return base::WideToUtf8(PathManager::GetInstance().GetComponentVersion(kind));
}

// -2 stands for "never written": an empty text, not a made-up 0.
std::string ProbeState(const wchar_t* name) {
  const auto value = static_cast<int64_t>(
      base::ReadRegQword(HKEY_LOCAL_MACHINE, ProductKey(), name, static_cast<uint64_t>(int64_t{-2})));
  if (value == -2) return {};
  return std::to_string(static_cast<int32_t>(static_cast<uint32_t>(value)));
}

// The screen's device context for one reading, released afterwards.
template <typename Read>
bool WithScreenDc(Read&& read) {
  HDC dc = ::GetDC(nullptr);
  if (dc == nullptr) return false;
  read(dc);
  ::ReleaseDC(nullptr, dc);
  return true;
}

std::string Empty() { return {}; }

std::string DeviceIdLibraryId() { return probes::GetDuvexId(); }

std::string SecuritySoftwareType() {
  return std::to_string(static_cast<int32_t>(probes::GetSecuritySoftwareType()));
}

// The detector's facts as they stand: a consistent copy taken under its lock,
// without waiting for a detection that may be running.
template <typename Field>
zephris_report::VolatileParamGetters::mapped_type GraphicField(Field field) {
  return [field] { return field(probes::GraphicInfoDetector::Instance().Snapshot()); };
}

void AddGraphicsGetters(zephris_report::VolatileParamGetters& getters) {
  using probes::GraphicInfo;
  getters["graphics_type"] = GraphicField([](const GraphicInfo& g) { return g.opengl_renderer; });
  getters["graphics_vendor"] = GraphicField([](const GraphicInfo& g) { return g.vendor_class; });
  getters["opengl_version"] = GraphicField([](const GraphicInfo& g) { return g.opengl_version; });
  getters["graphics_driver_version"] = GraphicField([](const GraphicInfo& g) { return g.opengl_driver_version; });
  getters["graphics_driver_publish_date"] = GraphicField([](const GraphicInfo& g) { return g.opengl_driver_date; });
  getters["graphics_card_count"] = GraphicField([](const GraphicInfo& g) { return std::to_string(g.card_count); });
  getters["second_graphics_type"] = GraphicField([](const GraphicInfo& g) { return g.second_renderer; });
  getters["second_graphics_vendor"] = GraphicField([](const GraphicInfo& g) { return g.second_vendor; });
  getters["second_graphics_driver_version"] =
      GraphicField([](const GraphicInfo& g) { return g.second_driver_version; });
  getters["second_graphics_driver_publish_date"] =
      GraphicField([](const GraphicInfo& g) { return g.second_driver_date; });
}

std::string CpuSpecialInstruction() {
  static const unsigned code =
      CpuSpecialInstructionCode(base::ReadCpuid(1).ecx, base::ReadCpuid(0).eax >= 7 ? base::ReadCpuid(7).ebx : 0);
  return std::to_string(code);
}

std::string VdiDiskBusType() {
  static const int32_t bus_type = base::QueryImageVolumeBusType();
  return std::to_string(bus_type);
}

std::string QwordText(HKEY root, const std::wstring& key, const wchar_t* name, int64_t default_value) {
  return std::to_string(
      static_cast<int64_t>(base::ReadRegQword(root, key, name, static_cast<uint64_t>(default_value))));
}

}  // namespace

unsigned CpuSpecialInstructionCode(uint32_t leaf1_ecx, uint32_t leaf7_ebx) {
  unsigned code = 0;
  if (leaf1_ecx & (1u << 28)) code += 1;
  if (leaf7_ebx & (1u << 5)) code += 10;
  if (leaf1_ecx & (1u << 25)) code += 100;
  if (leaf1_ecx & (1u << 22)) code += 1000;
  return code;
}

std::string GetMainVersionParam() { return base::WideToUtf8(PathManager::GetInstance().GetProductVersion()); }
std::string GetAboxVersionParam() { return ComponentVersion(ComponentKind::kBox); }
std::string GetAppletVersionParam() { return ComponentVersion(ComponentKind::kMinaroRuntime); }
std::string GetZephrisVersionParam() { return ComponentVersion(ComponentKind::kClient); }
std::string GetImageVersionParam() { return ComponentVersion(ComponentKind::kImage); }

std::string GetClientTypeParam() {
  const int32_t type = base::GetClientType();
  return type == -1 ? std::string() : std::to_string(type);
}

std::string GetHyperVEnableParam() { return ProbeState(L"HyperVState"); }
std::string GetVtEnableParam() { return ProbeState(L"VtState"); }

std::string GetMediaChannelParam() {
  return std::to_string(static_cast<uint32_t>(PathManager::GetInstance().GetChannelId()));
}

std::string GetExpIdParam() {
  return base::WideToUtf8(base::ReadRegString(HKEY_LOCAL_MACHINE, ProductKey(), L"ExperimentId", L"0"));
}

std::string GetDpiParam() {
  const std::wstring stored = base::ReadRegString(HKEY_CURRENT_USER, ClientKey(), L"CurrentDpi", L"");
  if (!stored.empty()) return base::WideToUtf8(stored);
  float scale = 0.0f;
  WithScreenDc([&](HDC dc) { scale = static_cast<float>(::GetDeviceCaps(dc, LOGPIXELSX)) / 96.0f; });
  return fmt::format("{:.2f}", scale);
}

std::string GetScreenInchParam() {
  int width = 0;
  int height = 0;
  if (!WithScreenDc([&](HDC dc) {
        width = ::GetDeviceCaps(dc, HORZSIZE);
        height = ::GetDeviceCaps(dc, VERTSIZE);
      })) {
    return "-1";
  }
  const int squares = width * width + height * height;
  return fmt::format("{:.1f}", std::sqrt(static_cast<double>(squares)) / 25.4);
}

std::string GetResolutionParam() {
  return std::to_string(::GetSystemMetrics(SM_CXSCREEN)) + "x" + std::to_string(::GetSystemMetrics(SM_CYSCREEN));
}

std::string GetMemoryAvailPhysParam() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof(status);
  if (!::GlobalMemoryStatusEx(&status)) return "DEFAULT_VALUE";
  return std::to_string(status.ullAvailPhys >> 20) + "MB";
}

std::string GetD36Param() {
  static std::mutex* const mutex = new std::mutex;
  static std::string* const cached = new std::string;
  std::lock_guard lock(*mutex);
  if (cached->empty()) *cached = DeviceIdLibraryId();
  return *cached;
}

void InitVolatileParams(zephris_report::VolatileParamGetters& getters) {
  getters["main_version"] = GetMainVersionParam;
  getters["abox_version"] = GetAboxVersionParam;
  getters["applet_version"] = GetAppletVersionParam;
  getters["zephris_version"] = GetZephrisVersionParam;
  getters["image_version"] = GetImageVersionParam;
  getters["client_type"] = GetClientTypeParam;
  getters["hyperv_enable"] = GetHyperVEnableParam;
  getters["vt_enable"] = GetVtEnableParam;
  getters["media_channel"] = GetMediaChannelParam;
  getters["exp_id"] = GetExpIdParam;
  getters["dpi"] = GetDpiParam;
  getters["screen_inch"] = GetScreenInchParam;
  getters["resolution"] = GetResolutionParam;
  getters["imei"] = Empty;
  getters["login_openid"] = Empty;
  getters["login_type"] = Empty;
  getters["region"] = [] { return std::string("CN"); };
  getters["memory_avail_phys"] = GetMemoryAvailPhysParam;
  AddGraphicsGetters(getters);
  getters["vdi_disc_type"] = [] { return std::to_string(base::GetVdiImageDiscType()); };
  getters["vdi_disk_bus_type"] = VdiDiskBusType;
  getters["cpu_special_instruction"] = CpuSpecialInstruction;
  getters["security_software_type"] = SecuritySoftwareType;
  getters["d36"] = GetD36Param;
  getters["is_system_tray_mode"] = [] {
    return QwordText(HKEY_CURRENT_USER, ClientKey(), L"is_system_tray_mode", -1);
  };
  getters["image_boot_count"] = [] {
    return QwordText(HKEY_CURRENT_USER, PathManager::GetInstance().GetEnvKey(), L"ImageBootCount", 0);
  };
}

}  // namespace param
