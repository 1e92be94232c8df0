#include "report/init_report.h"

#include <windows.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "base/guid_string.h"
#include "base/path_manager.h"
#include "base/registry.h"
#include "base/system_probe.h"
#include "base/text_conversion.h"
#include "device_id/tuvo_guid.h"
#include "probes/duvex_loader.h"
#include "probes/graphic_info.h"
#include "probes/opengl_check.h"
#include "probes/power_status.h"
#include "report/volatile_params.h"
#include "src/zephris_install/src/boot/device_id_registry.h"
#include "vireon_sdk/src/report/vireon_client.h"

using zephris_report::ReportParams;

namespace {

constexpr DWORD kVirtFirmwareEnabled = 21;  // PF_VIRT_FIRMWARE_ENABLED, missing from older headers

std::wstring ProductKey() { return base::PathManager::GetInstance().GetRegistryKey(base::ComponentKind::kProduct); }

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

int64_t LogicalProcessorCount() {
  const DWORD active = ::GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
  if (active != 0) return active;
  SYSTEM_INFO info{};
  ::GetSystemInfo(&info);
  return info.dwNumberOfProcessors;
}

// The power record and the OpenGL check result.
void AddPowerAndOpenglParams(ReportParams& params) {
  probes::PowerStatus power;
  power.has_battery = false;
  power.ac_line_status = 255;
  power.power_strategy = 0;
  probes::GetPowerStatus(power);
  params["laptop"] = power.has_battery ? "1" : "0";
  params["ac_status"] = std::to_string(power.ac_line_status);
  params["power_strategy"] = std::to_string(power.power_strategy);
  params["opengl_demo_enable"] = std::to_string(probes::GetOpenglDemoResult());
}

// Fills the device-id library's cache off the main thread.
void WarmDeviceIdLibrary() { probes::GetDuvexId(); }

void StartGraphicDetection() { probes::GraphicInfoDetector::Instance().Detect(); }

}  // namespace

int64_t InstalledMemoryGiB() {
  ULONGLONG kilobytes = 0;
  if (::GetPhysicallyInstalledSystemMemory(&kilobytes) && kilobytes != 0) {
    return static_cast<int64_t>(kilobytes >> 20);
  }
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof(status);
  if (!::GlobalMemoryStatusEx(&status)) return 0;
  constexpr uint64_t kGiB = uint64_t{1} << 30;
  return static_cast<int64_t>((status.ullTotalPhys + kGiB - 1) / kGiB);
}

void BuildVireonConfig(vireon::VireonConfig& config) {
  config.app_key = kInstallerAppKey;
  config.debug = base::ReadRegQword(HKEY_LOCAL_MACHINE, ProductKey(), L"DEV_enable_vireon_debug", 0) == 1;
  config.db_path = base::WideToUtf8(base::PathManager::GetInstance().GetAppDataDir(base::AppDataDirKind::kDb));
}

void BuildCommonReportParams(ReportParams& params) {
  params["architecture"] = base::GetCpuArchitecture();
  params["biz_id"] = "Quillorane";
  params["cpu_core_number"] = std::to_string(std::thread::hardware_concurrency());
  params["logic_cpu_core_number"] = std::to_string(LogicalProcessorCount());
  params["windows_manufacturer"] = base::WideToUtf8(
      base::ReadRegString(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\BIOS", L"SystemManufacturer", L""));
  params["tuvo_guid"] = base::GetTuvoDeviceId();
  params["guid"] = VireonClient::VireonDeviceId();
  WriteDeviceIdToRegistry(params["guid"]);
  params["locale"] = base::WideToUtf8(base::GetUserLanguageCode());
  params["system_type"] = "windows";
  params["system_version"] = base::GetOsVersionString();
  params["physical_memory"] = std::to_string(InstalledMemoryGiB());
  params["session_id"] = base::NewGuidString();
  params["install_source"] = base::WideToUtf8(base::ReadRegString(HKEY_LOCAL_MACHINE, ProductKey(), L"InstallSource", L""));
  int vendor = base::kCpuVendorNone;
  std::string brand;
  base::GetCpuBrand(vendor, brand);
  params["cpu_vendor"] = CpuVendorName(vendor);
  params["cpu_model"] = brand;
  AddPowerAndOpenglParams(params);
}

bool SaveVtState(int32_t state) {
  return base::WriteRegQword(HKEY_LOCAL_MACHINE, ProductKey(), L"VtState",
                             static_cast<uint64_t>(static_cast<int64_t>(state)));
}

void ProbeVirtualizationStates() {
  std::this_thread::sleep_until(std::chrono::steady_clock::now() + std::chrono::milliseconds(500));
  WarmDeviceIdLibrary();
  if (!base::IsWindows7()) {
    const int hyperv = base::ProbeMicrosoftHypervisor();
    base::WriteRegQword(HKEY_LOCAL_MACHINE, ProductKey(), L"HyperVState", hyperv == 1 ? 1 : 0);
    if (hyperv == 1) {
      SaveVtState(1);
    } else {
      const int support = base::CpuSupportsVirtualization();
      if (support != -1) SaveVtState(support == 1 && ::IsProcessorFeaturePresent(kVirtFirmwareEnabled) == 1 ? 1 : 0);
    }
  }
  StartGraphicDetection();
}

zephris_report::ReportSetup MakeReportSetup() {
  zephris_report::ReportSetup setup;
  vireon::VireonConfig& config = setup.config;
  config.app_key.clear();
  config.upload_type = 1;
  config.debug = false;
  config.db_path.clear();
  config.enable_storage = true;
  config.exit_wait_ms = 1000;
  BuildVireonConfig(config);
  BuildCommonReportParams(setup.common);
  param::InitVolatileParams(setup.getters);
  return setup;
}

void InitReport() {
  // The device ids' first runs and the client's start are most of the cost;
  // the reporter's worker does them, and the events raised meanwhile wait
  // for them in its queue.
  zephris_report::Reporter::Instance().InitOnWorker(MakeReportSetup);
  static std::once_flag probe_once;
  std::call_once(probe_once, [] { std::thread(ProbeVirtualizationStates).detach(); });
}
