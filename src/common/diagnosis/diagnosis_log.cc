// diagnosis.log: the machine and the product in a few lines of text.
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <mutex>
#include <set>
#include <string>

#include <psapi.h>

#include "base/path_manager.h"
#include "base/process_util.h"
#include "base/product_log.h"
#include "base/system_probe.h"
#include "base/scoped_handle.h"
#include "base/text_conversion.h"
#include "probes/graphic_info.h"
#include "probes/process_usage.h"
#include "probes/system_info.h"
#include "src/common/diagnosis/diagnosis_collector.h"
#include "src/common/diagnosis/display_devices.h"
#include "vireon_sdk/src/report/vireon_client.h"

namespace diagnosis {
namespace {

// The system times of the previous report: its "system cpu usage" is the
// share of time since then. Both 0 at process start, so the first report
// shows the average since the system started.
struct SystemTimes {
  std::mutex mutex;
  uint64_t total = 0;
  uint64_t idle = 0;
};

SystemTimes& PreviousSystemTimes() {
  static SystemTimes* times = new SystemTimes;  // the diagnosis thread may outlive main
  return *times;
}

uint64_t Ticks(const FILETIME& time) { return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime; }

int SystemCpuUsage() {
  SystemTimes& previous = PreviousSystemTimes();
  std::lock_guard lock(previous.mutex);
  FILETIME idle, kernel, user;
  if (!::GetSystemTimes(&idle, &kernel, &user)) return -1;
  const uint64_t total = Ticks(kernel) + Ticks(user);
  const uint64_t idle_ticks = Ticks(idle);
  int usage = 100;
  if (total != previous.total) {
    const float idle_share =
        static_cast<float>(idle_ticks - previous.idle) / static_cast<float>(total - previous.total);
    usage = static_cast<int>((1.0f - idle_share) * 100.0f);
  }
  previous.total = total;
  previous.idle = idle_ticks;
  return usage;
}

// "<name> cpu:<usage> private memory:<KiB>".
std::string ProcessLine(std::wstring_view name, int32_t usage, uint64_t private_kib) {
  return base::WideToAnsi(name) + " cpu:" + std::to_string(usage) + " private memory:" + std::to_string(private_kib);
}

}  // namespace

void WriteDiagnosisLog(const std::filesystem::path& work_dir) {
  // Binary mode: every line ends with the CR LF written here, nothing else.
  std::ofstream out(work_dir / L"diagnosis.log", std::ios::binary | std::ios::trunc);
  if (!out) {
    PRODUCT_LOG("cannot create diagnosis.log in {}", base::WideToUtf8(work_dir.wstring()));
    return;
  }
  auto line = [&out](const std::string& text) { out << text << "\r\n"; };
  auto& paths = base::PathManager::GetInstance();

  int vendor = 0;
  std::string brand;
  base::GetCpuBrand(vendor, brand);
  line("CPU: " + brand);
  line("windows version: " + base::GetOsVersionString());
  line("GPU: ");
  for (const std::string& description : DisplayDeviceDescriptionsAnsi()) line(description);
  line("MainVersion: " + base::WideToUtf8(paths.GetProductVersion()));
  line("ZephrisVersion: " + base::WideToUtf8(paths.GetComponentVersion(base::ComponentKind::kClient)));
  line("ImageVersion: " + base::WideToUtf8(paths.GetComponentVersion(base::ComponentKind::kImage)));
  line("AboxVersion: " + base::WideToUtf8(paths.GetComponentVersion(base::ComponentKind::kBox)));
  line("GUID: " + VireonClient::VireonDeviceId());
  line("ChannelId: " + std::to_string(static_cast<uint32_t>(paths.GetChannelId())));
  line("env detect desc: ");
  probes::GraphicInfoDetector& detector = probes::GraphicInfoDetector::Instance();
  detector.DetectAndWait();
  for (const auto& [key, value] : probes::BuildSystemInfoText(detector.Snapshot().opengl_version)) {
    line(base::WideToAnsi(key) + ": " + base::WideToAnsi(value));
  }
  for (const wchar_t* name : {L"TuvoBoxHeadless.exe", L"QuilloraneEmulator.exe", L"Quillorane.exe"}) {
    uint64_t private_kib = 0;
    for (HANDLE raw : base::OpenProcessesByName(name)) {
      const base::ScopedKernelHandle process(raw);
      private_kib += probes::GetProcessPrivateMemory(process.Get());
    }
    line(ProcessLine(name, probes::GetProcessUsage(base::IsProcessRunning(name)), private_kib));
  }
  // Processes of these names may belong to other software: only the
  // product's own (a main module path holding "Zephris") are described.
  for (const wchar_t* name : {L"ParlioAppEx.exe", L"ParlioAppHost.exe"}) {
    for (HANDLE raw : base::OpenProcessesByName(name)) {
      const base::ScopedKernelHandle process(raw);
      char path[MAX_PATH] = {};
      if (::K32GetModuleFileNameExA(process.Get(), nullptr, path, MAX_PATH) == 0) continue;
      if (std::string_view(path).find("Zephris") == std::string_view::npos) continue;
      line(ProcessLine(name, probes::GetProcessUsage(::GetProcessId(process.Get())),
                       probes::GetProcessPrivateMemory(process.Get())));
    }
  }
  line("system cpu usage:" + std::to_string(SystemCpuUsage()));
}

}  // namespace diagnosis
